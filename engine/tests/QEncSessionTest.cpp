// The session key, the Base64 text front ends and secure deletion.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/tests/TestUtil.h"
#include "engine/KeyCache.h"
#include "engine/QEnc.h"
#include "engine/QEncBase64.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;

TEST(QEncSession, SessionKey) {
  TQEnc q;
  q.SetIterations(5000);
  // PBKDF2-HMAC-SHA256("password", "Tq4-Morrow-Salt9", 5000, 32), as any
  // peer (OpenSSL's kdf, Python's hashlib) gives it.
  EXPECT_EQ(q.DeriveSessionKey("password"), "5EC48B033472191C1EB919EB19AEF460A4ACACD4143D1DB29BB8FE685D1C7AB0");
  EXPECT_EQ(q.DeriveSessionKey(""), "");
  const std::string a = q.DeriveSessionKey("master");
  EXPECT_EQ(a.size(), 64u);
  EXPECT_EQ(a.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(q.DeriveSessionKey("master"), a);
  q.SetIterations(6000);
  EXPECT_NE(q.DeriveSessionKey("master"), a);
  EXPECT_EQ(q.Iterations(), 6000);  // nothing else changes
  EXPECT_EQ(q.Key(), "");
}

TEST(QEncSession, ClearSessionKeyWipesKeyAndCache) {
  TQEnc q;
  q.SetFastIterations(5000);
  q.SetKey(q.DeriveSessionKey("master"));
  const std::string keptCopy = q.Key();
  ASSERT_FALSE(q.EncryptString("x", "n").empty());
  ASSERT_GT(TQEncKeyCache::Count(), 0u);
  q.ClearSessionKey();
  EXPECT_EQ(q.Key(), "");
  EXPECT_EQ(TQEncKeyCache::Count(), 0u);
  EXPECT_EQ(keptCopy.size(), 64u);  // the caller's copy is its own
}

TEST(QEncSession, Base64Vectors) {
  const std::vector<std::pair<std::string, std::string>> rfc = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, text] : rfc) {
    EXPECT_EQ(Base64Encode(plain), text);
    EXPECT_EQ(Base64Decode(text), plain);
  }
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
  EXPECT_EQ(Base64Encode("\xFB\xFF"), "+/8=");
}

TEST(QEncSession, Base64DecodeLeniency) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Zm9v\r\nYmFy", "foobar"},   // line breaks
      {"  Zm9v\tYmFy  ", "foobar"}, // blanks and tabs
      {"Zm*9v!Ym-Fy", "foobar"},    // any other character outside the alphabet
      {"Zm9vYmF", "foo"},           // an incomplete last group is dropped
      {"Zg", ""},
      {"Zg==Zm8=", "ffo"},          // groups go on after padding
      {"Zg=A", "f"},                // third symbol padding: one byte
      {"Zm9=", "fo"},               // only the fourth: two bytes
      {"=m9v", ""},                 // first or second padding: nothing
      {"Z=9v", ""},
      {"====", ""},
  };
  for (const auto& [text, plain] : cases) EXPECT_EQ(Base64Decode(text), plain) << text;
}

TEST(QEncSession, TextFrontEnds) {
  TQEnc q;
  q.SetKey("k");
  q.SetFastIterations(5000);
  const std::string plain(500, 'p');
  const std::string text = q.EncryptText(plain, "n", 76);
  // CR LF after every 76 characters, never at the end.
  std::size_t at = 0, lines = 0;
  while (true) {
    const std::size_t br = text.find("\r\n", at);
    if (br == std::string::npos) break;
    EXPECT_EQ(br - at, 76u);
    at = br + 2;
    ++lines;
  }
  EXPECT_GT(lines, 0u);
  EXPECT_LE(text.size() - at, 76u);
  EXPECT_GT(text.size() - at, 0u);
  EXPECT_EQ(q.DecryptText(text, "n"), plain);
  std::string unbroken;
  for (char c : text)
    if (c != '\r' && c != '\n') unbroken += c;
  EXPECT_EQ(q.DecryptText("  \r\n" + unbroken + "\t \r\n", "n"), plain);
  EXPECT_TRUE(q.IsEncryptedText(text));
  EXPECT_EQ(q.DetectTextAlgorithm(text), qeaAES128CTR);
  EXPECT_EQ(q.DetectTextAlgorithm(Base64Encode(q.EncryptString("x", qeaTwofishCTR, qeaChaCha20, qeaNone, "n"))),
            qeaTwofishCTR);
  EXPECT_FALSE(q.IsEncryptedText("Zm9vYmFy"));
  EXPECT_EQ(q.DetectTextAlgorithm(""), qeaUnknown);

  // Text that decodes to nothing is reported, not passed off as success.
  for (const char* bad : {"", "!!!!", "Zg"}) {
    ASSERT_EQ(q.DecryptText(text, "n"), plain);  // a success just before
    EXPECT_EQ(q.DecryptText(bad, "n"), "");
    EXPECT_EQ(q.LastError(), ErrInvalidEncryptedData) << bad;
  }
  q.SetKey("");
  EXPECT_EQ(q.EncryptText("x", "n", 0), "");
  EXPECT_EQ(q.LastError(), ErrEmptyKey);
}

struct TDeleteEvent {
  int Position, Max, Pass, PassCount;
  std::uintmax_t Size;
};

bool HasWipeTemporary(const std::string& dir) {
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string().rfind("~qenc_", 0) == 0) return true;
  return false;
}

TEST(QEncSession, SecureDeletePasses) {
  TempDir dir;
  const std::string file = dir.File("secret.txt");
  WriteTestFile(file, std::string(1000, 'S'));
  TQEnc q;
  std::vector<TDeleteEvent> events;
  std::vector<std::string> statuses;
  int done = 0;
  bool doneSuccess = false;
  q.OnStatus = [&](TObject*, const std::string& s) { statuses.push_back(s); };
  q.OnDeleteFileProgress = [&](TObject*, const std::string& name, int position, int max, int pass, int count,
                               bool&) {
    EXPECT_EQ(name, file);
    std::error_code ec;
    events.push_back({position, max, pass, count, std::filesystem::file_size(file, ec)});
  };
  q.OnDeleteFileDone = [&](TObject*, const std::string&, bool success) {
    ++done;
    doneSuccess = success;
  };
  ASSERT_TRUE(q.DeleteFileSecure(file, -1, -1, -1)) << q.LastError();
  EXPECT_EQ(statuses, std::vector<std::string>{"Secure deleting secret.txt"});
  EXPECT_EQ(done, 1);
  EXPECT_TRUE(doneSuccess);
  EXPECT_FALSE(PathExists(file));
  EXPECT_FALSE(HasWipeTemporary(dir.Path()));
  // Three passes over 1,000 bytes, three over 10,000, then the cut.
  ASSERT_GE(events.size(), 8u);
  EXPECT_EQ(events.front().Position, 0);
  EXPECT_EQ(events.front().Pass, 0);
  std::vector<int> passes;
  for (std::size_t i = 1; i + 1 < events.size(); ++i) {
    const auto& e = events[i];
    EXPECT_EQ(e.Max, 100);
    EXPECT_EQ(e.PassCount, 6);
    if (passes.empty() || passes.back() != e.Pass) passes.push_back(e.Pass);
    EXPECT_EQ(e.Size, e.Pass <= 3 ? 1000u : 10000u) << "pass " << e.Pass;
  }
  EXPECT_EQ(passes, (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(events.back().Position, 100);
  EXPECT_EQ(events.back().Pass, 6);
  EXPECT_EQ(events.back().Size, 0u);  // cut before the last event
  // The percentages: 1,000 of 33,000 bytes after the first pass.
  EXPECT_EQ(events[1].Position, 3);
}

TEST(QEncSession, SecureDeleteEdges) {
  TempDir dir;
  TQEnc q;
  // No passes at all still cuts and removes the file.
  WriteTestFile(dir.File("a"), "abc");
  EXPECT_TRUE(q.DeleteFileSecure(dir.File("a"), 0, 0, 0));
  EXPECT_FALSE(PathExists(dir.File("a")));
  // An empty file.
  WriteTestFile(dir.File("e"), "");
  EXPECT_TRUE(q.DeleteFileSecure(dir.File("e"), 2, 1, 3));
  EXPECT_FALSE(PathExists(dir.File("e")));

  struct TCase {
    std::string File;
    TQEncError Error;
  };
  for (const TCase& c : std::vector<TCase>{
           {"", ErrEmptyInputFile}, {dir.File("missing"), ErrFileNotFound}, {dir.Path(), ErrDirectoryNotSupported}}) {
    EXPECT_FALSE(q.DeleteFileSecure(c.File, 1, 1, 1));
    EXPECT_EQ(q.LastError(), c.Error);
  }
  EXPECT_TRUE(PathExists(dir.Path()));

  // Cancelling from the progress event leaves the file where it is.
  for (int cancelAt : {0, 2}) {
    WriteTestFile(dir.File("keep"), std::string(3000, 'K'));
    bool doneSuccess = true;
    q.OnDeleteFileProgress = [&](TObject*, const std::string&, int, int, int pass, int, bool& cancel) {
      if (pass == cancelAt) cancel = true;
    };
    q.OnDeleteFileDone = [&](TObject*, const std::string&, bool success) { doneSuccess = success; };
    EXPECT_FALSE(q.DeleteFileSecure(dir.File("keep"), 3, 0, 1));
    EXPECT_EQ(q.LastError(), ErrCanceled);
    EXPECT_FALSE(doneSuccess);
    EXPECT_TRUE(PathExists(dir.File("keep")));
    EXPECT_FALSE(HasWipeTemporary(dir.Path()));
  }
}

}  // namespace

namespace {

// Where the system enforces share modes (Windows, Wine), a file held open by
// someone else is refused and left alone; elsewhere there is nothing to test.
bool ShareModesEnforced(const std::string& file) {
  TFileStream holder(file, fmOpenRead | fmShareDenyWrite);
  const Platform::FileHandle h = Platform::FileOpen(file, Platform::OpenMode::ReadWrite, Platform::ShareMode::Exclusive);
  if (h == Platform::InvalidFile) return true;
  Platform::FileClose(h);
  return false;
}

TEST(QEncSession, FilesHeldOpenElsewhere) {
  TempDir dir;
  WriteTestFile(dir.File("held"), "held contents");
  if (!ShareModesEnforced(dir.File("held"))) GTEST_SKIP() << "share modes are not enforced here";
  TQEnc q;
  q.SetKey("k");
  q.SetFastIterations(5000);
  {
    TFileStream holder(dir.File("held"), fmOpenRead | fmShareDenyWrite);
    EXPECT_FALSE(q.DeleteFileSecure(dir.File("held"), 1, 1, 1));
    EXPECT_EQ(q.LastError(), ErrFileOpenFailed);
  }
  EXPECT_EQ(ReadTestFile(dir.File("held")), "held contents");

  // Decryption onto an output held open: the move fails, the old output
  // stays and the temporary goes.
  WriteTestFile(dir.File("in"), "new");
  ASSERT_TRUE(q.EncryptFile(dir.File("in"), dir.File("enc")));
  {
    TFileStream holder(dir.File("held"), fmOpenRead | fmShareDenyWrite);
    EXPECT_FALSE(q.DecryptFile(dir.File("enc"), dir.File("held")));
    EXPECT_EQ(q.LastError(), ErrFileRenameFailed);
  }
  EXPECT_EQ(ReadTestFile(dir.File("held")), "held contents");
  EXPECT_FALSE(PathExists(dir.File("held.tmp")));
}

}  // namespace
