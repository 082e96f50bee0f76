// The document's rules without a window: the caption, the text of an empty
// vault, the counts a password is tried with, and the file steps of a save
// with a failure injected at each step and a stop (a crash) after each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/model/OsServices.h"
#include "app/model/VaultBackup.h"
#include "app/model/VaultDocument.h"
#include "app/model/VaultText.h"
#include "base/Platform.h"
#include "base/tests/TestUtil.h"

namespace {

TEST(VaultDocumentRules, Caption) {
  struct Case {
    const char* path;
    bool modified, readOnly, locked;
    const char* caption;
  } cases[] = {
      {"", false, false, false, "Untitled - Vaultline"},
      {"", true, false, false, "*Untitled - Vaultline"},
      {"C:\\d\\work.qvl", false, false, false, "work.qvl - Vaultline"},
      {"C:\\d\\work.qvl", true, true, false, "[Read-only] *work.qvl - Vaultline"},
      {"C:\\d\\work.qvl", true, true, true, "[Locked] [Read-only] *work.qvl - Vaultline"},
      {"C:\\d\\work.qvl", false, false, true, "[Locked] work.qvl - Vaultline"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VaultCaption(c.path, c.modified, c.readOnly, c.locked), c.caption) << c.caption;
}

TEST(VaultDocumentRules, AnEmptyVaultIsWrittenAsALineBreakThatReadsBackEmpty) {
  TVaultModel empty;
  const std::string text = BuildVaultText(empty);
  ASSERT_EQ(text, "");
  EXPECT_EQ(VaultTextForContainer(text), "\r\n");
  TVaultModel back;
  back.Groups.Add(nullptr, "left over", 1);
  ParseVaultText(VaultTextForContainer(text), back);
  EXPECT_EQ(back.Groups.Count(), 0);
  EXPECT_TRUE(back.Entries.empty());
  // A vault with content is written as it is.
  EXPECT_EQ(VaultTextForContainer("- Mail\r\n"), "- Mail\r\n");
}

TEST(VaultDocumentRules, PasswordRetryCounts) {
  struct Case {
    int tried, header, documentKey, defaults;
    std::vector<int> counts;
  } cases[] = {
      // Everything agrees: nothing more to try.
      {200000, 200000, 0, 200000, {}},
      {200000, 200000, 200000, 200000, {}},
      // The file was written with another count than today's Defaults.
      {300000, 100000, 0, 300000, {100000, 200000}},
      // The Defaults changed since the key was made with the old Defaults,
      // and the file's count was set apart from them.
      {300000, 100000, 0, 250000, {100000, 250000, 200000}},
      // The open document's key was made at a count that is nowhere else.
      {200000, 200000, 123456, 200000, {123456}},
      // Counts below the engine's floor are taken as the floor; 0 is none.
      {1000, 4000, 0, 5000, {200000}},
      {200000, 0, 0, 0, {}},
      {200000, 0, -5, 70000, {70000}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PasswordRetryCounts(c.tried, c.header, c.documentKey, c.defaults), c.counts)
        << c.tried << " " << c.header << " " << c.documentKey << " " << c.defaults;
}

// ---- The file steps of a save ----------------------------------------------------

constexpr char kOld[] = "old vault container bytes";
constexpr char kNew[] = "new vault container bytes, longer than the old";

struct VaultSaveSteps : ::testing::Test {
  TempDir dir;
  std::string vault = dir.File("work.qvl");
  TVaultBackup backup{DefaultBackupSeams(nullptr)};
  int mode = 2;
  TVaultSaveIo io;
  std::vector<TVaultSaveStep> steps;

  void SetUp() override {
    WriteTestFile(vault, kOld);
    io.Encrypt = [](const std::string& tmp) {
      WriteTestFile(tmp, kNew);
      return 0;
    };
    io.MakeBackupCopies = [this](const std::string& v, std::string& error) {
      return backup.MakeBackupCopies(v, mode, error);
    };
    io.Replace = [](const std::string& tmp, const std::string& v) { return Platform::MoveFileReplacing(tmp, v); };
    io.ApplyBackupMode = [this](const std::string& v) { backup.ApplyBackupMode(v, mode); };
    io.RemoveFile = [](const std::string& path) { return Platform::RemoveFile(path); };
    io.OnStep = [this](TVaultSaveStep step) { steps.push_back(step); };
  }
  std::string Tmp() const { return VaultTempName(vault); }
};

TEST_F(VaultSaveSteps, StepsInOrderAndTheOldVaultKeptAsBak) {
  WriteTestFile(Tmp(), "left by a save that stopped");
  const TVaultSaveOutcome outcome = WriteVaultFile(vault, io);
  EXPECT_EQ(outcome.Result, TVaultSaveResult::Saved);
  EXPECT_EQ(ReadTestFile(vault), kNew);
  EXPECT_EQ(ReadTestFile(BakFileName(vault)), kOld);
  EXPECT_FALSE(PathExists(Tmp()));
  EXPECT_EQ(steps, (std::vector<TVaultSaveStep>{TVaultSaveStep::Encrypted, TVaultSaveStep::BackedUp,
                                                TVaultSaveStep::Replaced, TVaultSaveStep::BackupsKept}));
}

TEST_F(VaultSaveSteps, EveryFailureLeavesTheVaultAsItWasAndNoTemporaryFile) {
  struct Case {
    const char* name;
    TVaultSaveResult result;
    const char* backupError;
  } cases[] = {
      {"encryption refused", TVaultSaveResult::EncryptFailed, ""},
      {"disk full while encrypting", TVaultSaveResult::EncryptFailed, ""},
      {"daily backup", TVaultSaveResult::BackupFailed, BackupTexts::kDailyFailed},
      {".bak copy", TVaultSaveResult::BackupFailed, BackupTexts::kBakFailed},
      {".bak copy cannot be moved into place", TVaultSaveResult::BackupFailed, BackupTexts::kBakFailed},
      {"final move", TVaultSaveResult::ReplaceFailed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir caseDir;
    vault = caseDir.File("work.qvl");
    WriteTestFile(vault, kOld);
    backup = TVaultBackup(DefaultBackupSeams(nullptr));
    mode = 2;
    SetUp();
    WriteTestFile(vault, kOld);
    const std::string name = c.name;
    if (name == "encryption refused") {
      io.Encrypt = [](const std::string&) { return 3; };
    } else if (name == "disk full while encrypting") {
      io.Encrypt = [](const std::string& tmp) {
        WriteTestFile(tmp, std::string(kNew).substr(0, 9));  // the disk filled up here
        return 32;
      };
    } else if (name == "daily backup") {
      // The vault was last written on an earlier day: the first save of
      // today copies it, and that copy fails.
      mode = 3;
      backup.Seams().Today = [] { return std::string("20300101"); };
      backup.Seams().CopyFileOverwrite = [](const std::string&, const std::string&) { return false; };
    } else if (name == ".bak copy") {
      backup.Seams().CopyFileOverwrite = [](const std::string&, const std::string& target) {
        WriteTestFile(target, "part");
        return false;
      };
    } else if (name == ".bak copy cannot be moved into place") {
      backup.Seams().MoveFileTo = [](const std::string&, const std::string&, bool) { return false; };
    } else if (name == "final move") {
      io.Replace = [](const std::string&, const std::string&) { return false; };
    }
    const TVaultSaveOutcome outcome = WriteVaultFile(vault, io);
    EXPECT_EQ(outcome.Result, c.result);
    EXPECT_EQ(outcome.BackupError, c.backupError);
    if (c.result == TVaultSaveResult::EncryptFailed) {
      EXPECT_NE(outcome.EncryptError, 0);
    }
    EXPECT_EQ(ReadTestFile(vault), kOld);
    EXPECT_FALSE(PathExists(Tmp()));
    EXPECT_FALSE(PathExists(BakFileName(vault) + ".tmp"));
    for (const std::string& f : OsServices::ListFileNames(caseDir.Path()))
      EXPECT_TRUE(f == "work.qvl" || f == "work.qvl.bak") << f;
  }
}

TEST_F(VaultSaveSteps, AStopAfterAnyStepLeavesTheOldOrTheNewVaultWhole) {
  const TVaultSaveStep all[] = {TVaultSaveStep::Encrypted, TVaultSaveStep::BackedUp, TVaultSaveStep::Replaced,
                                TVaultSaveStep::BackupsKept};
  for (TVaultSaveStep stopAfter : all) {
    SCOPED_TRACE(static_cast<int>(stopAfter));
    WriteTestFile(vault, kOld);
    Platform::RemoveFile(BakFileName(vault));
    io.AfterStep = [stopAfter](TVaultSaveStep done) { return done != stopAfter; };
    const TVaultSaveOutcome outcome = WriteVaultFile(vault, io);
    EXPECT_EQ(outcome.Result, TVaultSaveResult::Stopped);
    const std::string onDisk = ReadTestFile(vault);
    const bool replaced = stopAfter == TVaultSaveStep::Replaced || stopAfter == TVaultSaveStep::BackupsKept;
    EXPECT_EQ(onDisk, replaced ? kNew : kOld);
    // A temporary file left by the stop is complete and is removed by the
    // next save before it writes its own.
    if (PathExists(Tmp())) {
      EXPECT_EQ(ReadTestFile(Tmp()), kNew);
    }
    io.AfterStep = nullptr;
    EXPECT_EQ(WriteVaultFile(vault, io).Result, TVaultSaveResult::Saved);
    EXPECT_EQ(ReadTestFile(vault), kNew);
    EXPECT_FALSE(PathExists(Tmp()));
  }
}

}  // namespace
