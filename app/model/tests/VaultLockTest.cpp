// The lock file: its bytes, its parser, liveness at the boundaries, and two
// clients sharing one vault through their own identities and one clock.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <filesystem>
#include <string>
#include <vector>

#include "app/model/VaultLock.h"
#include "base/SysUtils.h"
#include "base/tests/TestUtil.h"

namespace {

bool MakeFolder(const std::string& path) { return std::filesystem::create_directory(path); }
bool IsFolder(const std::string& path) { return std::filesystem::is_directory(path); }

// One clock for every client of a test: UTC milliseconds and a tick count.
struct FakeClock {
  std::int64_t utc = 1700000000000;
  std::uint32_t tick = 5000;
  void Advance(std::uint32_t ms) {
    utc += ms;
    tick += ms;
  }
};

TLockSeams ClientSeams(FakeClock& clock, const std::string& computer, const std::string& user) {
  TLockSeams s = DefaultLockSeams();
  s.UtcNowMs = [&clock] { return clock.utc; };
  s.TickCount = [&clock] { return clock.tick; };
  s.ComputerName = [computer] { return computer; };
  s.UserName = [user] { return user; };
  return s;
}

TEST(VaultLock, WrittenFileHasExactBytes) {
  TempDir dir;
  FakeClock clock;
  TVaultLock lock(ClientSeams(clock, "PC1", "Alice"));
  const std::string vault = dir.File("My Vault.qvl");
  ASSERT_TRUE(lock.WriteLockFile(vault, true));
  EXPECT_EQ(ReadTestFile(vault + ".lock"),
            "VAULTLINE-LOCK-1\r\n"
            "active=1\r\n"
            "vault=My Vault.qvl\r\n"
            "clientId=windows-client:pc1 / alice\r\n"
            "clientName=PC1 / Alice\r\n"
            "createdUtc=1700000000000\r\n"
            "refreshedUtc=1700000000000\r\n");
  clock.Advance(1234);
  ASSERT_TRUE(lock.WriteLockFile(vault, false));
  const std::string released = ReadTestFile(vault + ".lock");
  EXPECT_NE(released.find("\r\nactive=0\r\n"), std::string::npos);
  EXPECT_NE(released.find("\r\ncreatedUtc=1700000001234\r\nrefreshedUtc=1700000001234\r\n"), std::string::npos);
  EXPECT_FALSE(PathExists(vault + ".lock.tmp"));
  EXPECT_EQ(LockFilePath(""), "");
  EXPECT_FALSE(lock.WriteLockFile("", true));
}

TEST(VaultLock, ClientNameFallbacksAndAnsiLowerCaseId) {
  FakeClock clock;
  TVaultLock unnamed(ClientSeams(clock, "", ""));
  EXPECT_EQ(unnamed.GetClientName(), "Windows PC / User");
  EXPECT_EQ(unnamed.GetClientId(), "windows-client:windows pc / user");
  // The code page's own letters are lowered too (0xC4 -> 0xE4).
  TVaultLock named(ClientSeams(clock, "K\xC4SE", "Bob"));
  EXPECT_EQ(named.GetClientId(), "windows-client:k\xE4se / bob");
  // Computed once: later answers of the identity do not change it.
  named.Seams().UserName = [] { return std::string("Eve"); };
  EXPECT_EQ(named.GetClientId(), "windows-client:k\xE4se / bob");
}

TEST(VaultLock, ParsingTable) {
  struct Case {
    const char* name;
    std::string text;
    bool parsed, active;
    std::string clientId;
    std::int64_t refreshed;
  } cases[] = {
      {"our own file", "VAULTLINE-LOCK-1\r\nactive=1\r\nclientId=a\r\nrefreshedUtc=42\r\n", true, true, "a", 42},
      {"empty text", "", false, false, "", 0},
      {"magic in other case", "vaultline-lock-1\r\nactive=1", false, false, "", 0},
      {"magic with blanks around", "  VAULTLINE-LOCK-1 \nactive=1", true, true, "", 0},
      {"magic not on the first line", "\r\nVAULTLINE-LOCK-1\r\nactive=1", false, false, "", 0},
      {"key in other case is ignored", "VAULTLINE-LOCK-1\r\nActive=1\r\nclientid=x", true, false, "", 0},
      {"active value is trimmed", "VAULTLINE-LOCK-1\r\nactive= 1 ", true, true, "", 0},
      {"active must be 1", "VAULTLINE-LOCK-1\r\nactive=yes", true, false, "", 0},
      {"key is trimmed, value is not", "VAULTLINE-LOCK-1\r\n clientId =  x ", true, false, "  x ", 0},
      {"value keeps further equals signs", "VAULTLINE-LOCK-1\rclientId=a=b", true, false, "a=b", 0},
      {"lines without = or starting with = are skipped",
       "VAULTLINE-LOCK-1\r\nactive\r\n=1\r\nclientId=c", true, false, "c", 0},
      {"bad numbers give 0", "VAULTLINE-LOCK-1\r\nrefreshedUtc=12x\r\n", true, false, "", 0},
      {"negative and large numbers", "VAULTLINE-LOCK-1\r\nrefreshedUtc=-5", true, false, "", -5},
      {"the last line need not end", "VAULTLINE-LOCK-1\r\nrefreshedUtc=9223372036854775807", true, false, "",
       INT64_MAX},
  };
  for (const Case& c : cases) {
    TLockInfo info;
    EXPECT_EQ(ParseLockText(c.text, info), c.parsed) << c.name;
    EXPECT_EQ(info.parsed, c.parsed) << c.name;
    EXPECT_EQ(info.active, c.active) << c.name;
    EXPECT_EQ(info.clientId, c.clientId) << c.name;
    EXPECT_EQ(info.refreshedUtc, c.refreshed) << c.name;
  }
  TLockInfo info;
  ASSERT_TRUE(ParseLockText(FormatLockText(true, "v.qvl", "id", "name", 77), info));
  EXPECT_EQ(info.vault, "v.qvl");
  EXPECT_EQ(info.clientName, "name");
  EXPECT_EQ(info.createdUtc, 77);
}

TEST(VaultLock, LivenessAtTheBoundariesInBothDirections) {
  const std::int64_t now = 1700000000000;
  TLockInfo live;
  live.parsed = live.active = true;
  struct Case {
    std::int64_t refreshed;
    bool live;
  } cases[] = {
      {now, true},
      {now - 150000, true},
      {now - 150001, false},
      // A client whose clock runs behind still sees the lock as live.
      {now + 150000, true},
      {now + 150001, false},
      {0, false},
      {-1, false},
      {INT64_MAX, false},
  };
  for (const Case& c : cases) {
    TLockInfo info = live;
    info.refreshedUtc = c.refreshed;
    EXPECT_EQ(IsLockLiveAt(info, now), c.live) << c.refreshed - now;
  }
  TLockInfo inactive = live;
  inactive.active = false;
  inactive.refreshedUtc = now;
  EXPECT_FALSE(IsLockLiveAt(inactive, now));
  TLockInfo unparsed = live;
  unparsed.parsed = false;
  unparsed.refreshedUtc = now;
  EXPECT_FALSE(IsLockLiveAt(unparsed, now));

  // The same through a client and the injected clock.
  TempDir dir;
  FakeClock clock;
  TVaultLock a(ClientSeams(clock, "PC1", "a"));
  TVaultLock b(ClientSeams(clock, "PC2", "b"));
  const std::string vault = dir.File("v.qvl");
  ASSERT_TRUE(a.AcquireLock(vault, false));
  TLockInfo info;
  clock.Advance(150000);
  EXPECT_TRUE(b.IsLockedByOther(vault, info));
  EXPECT_FALSE(a.IsLockedByOther(vault, info)) << "our own lock";
  clock.Advance(1);
  EXPECT_FALSE(b.IsLockedByOther(vault, info));
  EXPECT_TRUE(info.parsed && info.active) << "stale, not unreadable";
}

TEST(VaultLock, TwoClientsAcquireRefuseTakeOverAndHeartbeat) {
  TempDir dir;
  FakeClock clock;
  TVaultLock a(ClientSeams(clock, "PC1", "anna"));
  TVaultLock b(ClientSeams(clock, "PC2", "ben"));
  const std::string vault = dir.File("shared.qvl");

  ASSERT_TRUE(a.AcquireLock(vault, false));
  EXPECT_EQ(a.HeldLockPath(), ExpandFileName(vault));
  EXPECT_EQ(a.LastHeartbeatTick(), clock.tick);

  // B finds A's live lock and is refused without force.
  TLockInfo info;
  ASSERT_TRUE(b.IsLockedByOther(vault, info));
  EXPECT_EQ(info.clientName, "PC1 / anna");
  EXPECT_EQ(LockedByPrompt(info.clientName),
            "This vault is currently locked by:\r\n\r\nPC1 / anna\r\n\r\nYes = Take ownership and open for "
            "editing\r\nNo = Open read-only\r\nCancel = Do not open");
  EXPECT_FALSE(b.AcquireLock(vault, false));
  EXPECT_FALSE(b.CheckLockBeforeSave(vault));
  EXPECT_EQ(b.HeldLockPath(), "");

  // B takes it over by force.
  clock.Advance(1000);
  ASSERT_TRUE(b.AcquireLock(vault, true));
  ASSERT_TRUE(a.IsLockedByOther(vault, info));
  EXPECT_EQ(info.clientId, "windows-client:pc2 / ben");

  // A's heartbeat waits 30 s, then drops the lost lock without writing.
  const std::string bFile = ReadTestFile(vault + ".lock");
  clock.Advance(28000);
  a.RefreshLock();
  EXPECT_EQ(a.HeldLockPath(), ExpandFileName(vault)) << "not yet 30 s since A's last write";
  clock.Advance(2000);
  a.RefreshLock();
  EXPECT_EQ(a.HeldLockPath(), "");
  EXPECT_EQ(a.LastHeartbeatTick(), 0u);
  EXPECT_EQ(ReadTestFile(vault + ".lock"), bFile);

  // A's save is refused while B's lock lives; A releasing never touches it.
  EXPECT_FALSE(a.CheckLockBeforeSave(vault));
  a.ReleaseLock(vault);
  a.ReleaseHeldLock();
  EXPECT_EQ(ReadTestFile(vault + ".lock"), bFile);

  // B's heartbeat keeps the lock alive; once B releases it, A may save.
  clock.Advance(30000);
  b.RefreshLock();
  EXPECT_EQ(b.LastHeartbeatTick(), clock.tick);
  ASSERT_TRUE(ParseLockText(ReadTestFile(vault + ".lock"), info));
  EXPECT_EQ(info.refreshedUtc, clock.utc);
  b.ReleaseHeldLock();
  EXPECT_EQ(b.HeldLockPath(), "");
  ASSERT_TRUE(ParseLockText(ReadTestFile(vault + ".lock"), info));
  EXPECT_FALSE(info.active);
  EXPECT_TRUE(a.CheckLockBeforeSave(vault));
  EXPECT_EQ(a.HeldLockPath(), ExpandFileName(vault));
}

TEST(VaultLock, StaleLockIsTakenWithoutForceAndSameIdInOtherCaseIsOurs) {
  TempDir dir;
  FakeClock clock;
  TVaultLock a(ClientSeams(clock, "PC1", "anna"));
  TVaultLock b(ClientSeams(clock, "PC2", "ben"));
  const std::string vault = dir.File("v.qvl");
  ASSERT_TRUE(a.AcquireLock(vault, false));
  clock.Advance(150001);  // A's process ended without releasing
  EXPECT_TRUE(b.AcquireLock(vault, false));

  TVaultLock shouting(ClientSeams(clock, "PC2", "BEN"));
  TLockInfo info;
  EXPECT_FALSE(shouting.IsLockedByOther(vault, info));
  EXPECT_TRUE(shouting.AcquireLock(vault, false));
}

TEST(VaultLock, AcquiringAnotherVaultReleasesTheFirst) {
  TempDir dir;
  FakeClock clock;
  TVaultLock a(ClientSeams(clock, "PC1", "anna"));
  const std::string first = dir.File("one.qvl"), second = dir.File("two.qvl");
  ASSERT_TRUE(a.AcquireLock(first, false));
  ASSERT_TRUE(a.AcquireLock(second, false));
  TLockInfo info;
  ASSERT_TRUE(ParseLockText(ReadTestFile(first + ".lock"), info));
  EXPECT_FALSE(info.active);
  ASSERT_TRUE(ParseLockText(ReadTestFile(second + ".lock"), info));
  EXPECT_TRUE(info.active);
  EXPECT_EQ(a.HeldLockPath(), ExpandFileName(second));
}

TEST(VaultLock, PromptWhenAnotherClientWinsTheRace) {
  struct Case {
    TLockAnswer answer;
    bool result, readOnly, cancelled, aHolds;
  } cases[] = {
      {TLockAnswer::Cancel, false, false, true, false},
      {TLockAnswer::ReadOnly, true, true, false, false},
      {TLockAnswer::TakeOver, true, false, false, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    FakeClock clock;
    TVaultLock a(ClientSeams(clock, "PC1", "anna"));
    TVaultLock b(ClientSeams(clock, "PC2", "ben"));
    const std::string vault = dir.File("v.qvl"), other = dir.File("other.qvl");
    ASSERT_TRUE(a.AcquireLock(other, false));
    // B writes its lock right after A's first write, so A's read-back fails.
    int writes = 0;
    auto write = a.Seams().WriteFile;
    a.Seams().WriteFile = [&](const std::string& path, const std::string& text) {
      bool ok = write(path, text);
      if (++writes == 1) b.WriteLockFile(vault, true);
      return ok;
    };
    std::vector<std::string> asked;
    a.Seams().AskLockedWhileOpening = [&](const std::string& text, const std::string& caption) {
      asked.push_back(caption + "|" + text);
      return c.answer;
    };
    bool readOnly = false, cancelled = false;
    EXPECT_EQ(a.AcquireLockWithPrompt(vault, readOnly, false, cancelled), c.result);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Vault locked|This vault was locked while it was opening by:\r\n\r\nPC2 / ben\r\n\r\nYes = Take "
              "ownership and open for editing\r\nNo = Open read-only\r\nCancel = Do not open");
    EXPECT_EQ(readOnly, c.readOnly);
    EXPECT_EQ(cancelled, c.cancelled);
    EXPECT_EQ(a.HeldLockPath() == ExpandFileName(vault), c.aHolds);
    if (c.answer == TLockAnswer::ReadOnly) {
      EXPECT_EQ(a.HeldLockPath(), "") << "the old lock is released";
    }
    if (c.answer == TLockAnswer::Cancel) {
      EXPECT_EQ(a.HeldLockPath(), ExpandFileName(other));
    }
  }
}

TEST(VaultLock, PromptStepsWithoutAQuestion) {
  TempDir dir;
  FakeClock clock;
  TVaultLock a(ClientSeams(clock, "PC1", "anna"));
  int asked = 0;
  a.Seams().AskLockedWhileOpening = [&](const std::string&, const std::string&) {
    ++asked;
    return TLockAnswer::TakeOver;
  };
  const std::string vault = dir.File("v.qvl");
  ASSERT_TRUE(a.AcquireLock(vault, false));

  // Opening read-only drops the held lock and needs none.
  bool readOnly = true, cancelled = false;
  EXPECT_TRUE(a.AcquireLockWithPrompt(dir.File("w.qvl"), readOnly, false, cancelled));
  EXPECT_EQ(a.HeldLockPath(), "");
  EXPECT_FALSE(PathExists(dir.File("w.qvl.lock")));

  // A lock file that cannot be written fails without asking.
  ASSERT_TRUE(MakeFolder(dir.File("x.qvl.lock")));
  readOnly = false;
  EXPECT_FALSE(a.AcquireLockWithPrompt(dir.File("x.qvl"), readOnly, false, cancelled));
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(cancelled);
}

// A folder standing where the lock file goes makes every write fail; no
// temporary file is left behind and nothing is held.
TEST(VaultLock, FailedWriteLeavesNoTemporaryFile) {
  TempDir dir;
  FakeClock clock;
  TVaultLock a(ClientSeams(clock, "PC1", "anna"));
  const std::string vault = dir.File("v.qvl");
  ASSERT_TRUE(MakeFolder(vault + ".lock"));
  EXPECT_FALSE(a.WriteLockFile(vault, true));
  EXPECT_FALSE(a.AcquireLock(vault, true));
  EXPECT_FALSE(a.CheckLockBeforeSave(vault));
  EXPECT_EQ(a.HeldLockPath(), "");
  EXPECT_FALSE(PathExists(vault + ".lock.tmp"));
  EXPECT_TRUE(IsFolder(vault + ".lock"));

  // A heartbeat that cannot write keeps the lock and tries again later.
  const std::string good = dir.File("g.qvl");
  ASSERT_TRUE(a.AcquireLock(good, false));
  const std::uint32_t tick = a.LastHeartbeatTick();
  clock.Advance(30000);
  a.Seams().WriteFile = [](const std::string&, const std::string&) { return false; };
  a.RefreshLock();
  EXPECT_EQ(a.HeldLockPath(), ExpandFileName(good));
  EXPECT_EQ(a.LastHeartbeatTick(), tick);
}

TEST(VaultLock, ReadsAtMost64KiBAndOneByteToTellALongerFile) {
  TempDir dir;
  FakeClock clock;
  TVaultLock a(ClientSeams(clock, "PC1", "anna"));
  const std::string vault = dir.File("v.qvl");
  std::string text = "VAULTLINE-LOCK-1\r\nactive=1\r\nclientId=early\r\n";
  text += std::string(70000, 'x') + "\r\nclientId=late\r\n";
  WriteTestFile(vault + ".lock", text);
  std::string read;
  ASSERT_TRUE(a.ReadLockFile(vault + ".lock", read));
  EXPECT_EQ(read.size(), 65536u);
  // The file reader itself stops one byte past the limit: a huge file on a
  // shared folder is never read whole.
  std::string head;
  ASSERT_TRUE(DefaultLockSeams().ReadFile(vault + ".lock", head));
  EXPECT_EQ(head, text.substr(0, 65537));
  EXPECT_FALSE(a.ReadLockFile(dir.File("missing.lock"), read));
  EXPECT_EQ(read, "");
}

// A lock file of this program's own seven lines, with a padding line that
// brings it to `size` bytes; its times lie at the end, past 64 KiB when the
// file is longer.
std::string PaddedLock(std::size_t size, std::int64_t refreshedUtc) {
  const std::string head = "VAULTLINE-LOCK-1\r\nactive=1\r\nvault=v.qvl\r\nclientId=windows-client:pc9 / zoe\r\n"
                           "clientName=PC9 / zoe\r\n";
  const std::string tail = "createdUtc=" + IntToStr(refreshedUtc) + "\r\nrefreshedUtc=" + IntToStr(refreshedUtc) +
                           "\r\n";
  const std::string padLine = "padding=\r\n";
  std::string text = head + padLine;
  text.insert(text.size() - 2, size - head.size() - padLine.size() - tail.size(), 'p');
  return text + tail;
}

TEST(VaultLock, AFileTooLongToReadWholeIsALiveLockOfAnUnknownClient) {
  struct TCase {
    const char* Name;
    std::string Text;
    bool LockedByOther;
    std::string ClientName;
  };
  FakeClock clock;
  const std::string garbage65536(65536, 'g');
  const TCase cases[] = {
      // Read whole: judged like any lock file by its times (fresh is live,
      // stale or unreadable is not).
      {"a live lock of exactly 64 KiB", PaddedLock(65536, clock.utc), true, "PC9 / zoe"},
      {"a stale lock of exactly 64 KiB", PaddedLock(65536, clock.utc - 150001), false, ""},
      {"garbage of exactly 64 KiB", garbage65536, false, ""},
      // One byte more: its end is never read, so it may be live.
      {"a lock of 64 KiB + 1 whose times lie past the limit", PaddedLock(65537, clock.utc), true, ""},
      {"a stale lock of 64 KiB + 1", PaddedLock(65537, clock.utc - 150001), true, ""},
      {"garbage of 64 KiB + 1", garbage65536 + "g", true, ""},
      {"garbage of 1 MiB", std::string(1 << 20, '\0'), true, ""},
  };
  for (const TCase& c : cases) {
    TempDir dir;
    TVaultLock a(ClientSeams(clock, "PC1", "anna"));
    const std::string vault = dir.File("v.qvl");
    WriteTestFile(vault + ".lock", c.Text);
    TLockInfo info;
    EXPECT_EQ(a.IsLockedByOther(vault, info), c.LockedByOther) << c.Name;
    if (!c.LockedByOther) {
      EXPECT_TRUE(a.AcquireLock(vault, false)) << c.Name;
      continue;
    }
    EXPECT_EQ(info.clientName, c.ClientName) << c.Name;
    // The prompt names no one it cannot read.
    const std::string shown = c.ClientName.empty() ? "another client" : c.ClientName;
    EXPECT_EQ(LockedByPrompt(info.clientName).substr(std::strlen(LockTexts::kLockedByPrefix), shown.size()), shown)
        << c.Name;
    // Neither opening for editing nor saving takes it silently, and
    // releasing ours never touches it.
    EXPECT_FALSE(a.AcquireLock(vault, false)) << c.Name;
    EXPECT_FALSE(a.CheckLockBeforeSave(vault)) << c.Name;
    a.ReleaseLock(vault);
    EXPECT_EQ(ReadTestFile(vault + ".lock"), c.Text) << c.Name;
    // The opening prompt's take-over replaces it with ours.
    bool readOnly = false, cancelled = false;
    ASSERT_TRUE(a.AcquireLockWithPrompt(vault, readOnly, true, cancelled)) << c.Name;
    ASSERT_TRUE(ParseLockText(ReadTestFile(vault + ".lock"), info)) << c.Name;
    EXPECT_EQ(info.clientId, "windows-client:pc1 / anna") << c.Name;
  }
}

TEST(VaultLock, AHeldLockReplacedByAnOversizedFileStopsTheHeartbeat) {
  TempDir dir;
  FakeClock clock;
  TVaultLock a(ClientSeams(clock, "PC1", "anna"));
  const std::string vault = dir.File("v.qvl");
  ASSERT_TRUE(a.AcquireLock(vault, false));
  const std::string planted(65537, 'x');
  WriteTestFile(vault + ".lock", planted);
  clock.Advance(30000);
  a.RefreshLock();
  EXPECT_EQ(a.HeldLockPath(), "");
  EXPECT_EQ(ReadTestFile(vault + ".lock"), planted);
}

}  // namespace
