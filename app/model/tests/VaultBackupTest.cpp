// Backups: the daily-copy names, each mode's files after a save with an
// injected date, the plain-text rule and failed copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <filesystem>
#include <string>
#include <vector>

#include "app/model/OsServices.h"
#include "app/model/VaultBackup.h"
#include "base/SysUtils.h"
#include "base/tests/TestUtil.h"

namespace {

bool MakeFolder(const std::string& path) { return std::filesystem::create_directory(path); }
bool IsFolder(const std::string& path) { return std::filesystem::is_directory(path); }

TEST(VaultBackup, NamesAndDates) {
  struct ParseCase {
    const char* file;
    bool ok;
    const char* date;
  } parses[] = {
      {"vault-20240131.bak", true, "20240131"},
      {"VAULT-20240131.BAK", true, "20240131"},
      {"vault-2024013.bak", false, ""},    // 7 digits
      {"vault-202401311.bak", false, ""},  // 9 digits
      {"vault-2024O131.bak", false, ""},   // a letter among them
      {"vault-20240131.qvl", false, ""},
      {"vault20240131.bak", false, ""},
      {"other-20240131.bak", false, ""},
      {"my-vault-20240131.bak", false, ""},
      {"vault-20240131.bak.tmp", false, ""},
  };
  for (const auto& c : parses) {
    std::string date = "unchanged";
    EXPECT_EQ(ParseDailyBackupName(c.file, "vault", date), c.ok) << c.file;
    if (c.ok) {
      EXPECT_EQ(date, c.date) << c.file;
    }
  }
  std::string date;
  EXPECT_TRUE(ParseDailyBackupName("my-vault-20240131.bak", "my-vault", date));

  EXPECT_EQ(DailyBackupName("/d/x-y/vault.qvl", "20240131"), "/d/x-y/vault-20240131.bak");
  EXPECT_EQ(DailyBackupName("C:\\a.b\\my.vault.qvl", "20240131"), "C:\\a.b\\my.vault-20240131.bak");
  EXPECT_EQ(BakFileName("C:\\v\\vault.qvl"), "C:\\v\\vault.qvl.bak");

  struct DayCase {
    const char* date;
    int days;
    const char* result;
  } days[] = {
      {"20240308", -7, "20240301"}, {"20240307", -7, "20240229"}, {"20230307", -7, "20230228"},
      {"20240105", -7, "20231229"}, {"20241231", 1, "20250101"},  {"20240230", -7, ""},
      {"2024010", -7, ""},          {"2024x101", -7, ""},         {"20241301", -7, ""},
  };
  for (const auto& c : days) EXPECT_EQ(AddDaysToDate(c.date, c.days), c.result) << c.date;

  for (int button = -1; button <= 5; ++button)
    EXPECT_EQ(GetBackupMode(button), button >= 1 && button <= 4 ? button : 2) << button;
}

// A vault folder on disk with a date of our choosing: "today" and the
// vault file's last-write date are injected; files are real. A file counts
// as encrypted when it begins with the container's magic.
class BackupFolder {
 public:
  BackupFolder() : backup_(Seams()) {}

  std::string Vault() const { return dir_.File("vault.qvl"); }
  std::string File(const std::string& name) const { return dir_.File(name); }
  void Write(const std::string& name, const std::string& data) { WriteTestFile(dir_.File(name), data); }

  // The set of file names and contents in the folder.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const std::string& name : OsServices::ListFileNames(dir_.Path())) files[name] = ReadTestFile(dir_.File(name));
    return files;
  }

  // One save: the backup copies, the new vault replacing the old one, then
  // pruning. Returns the error text ("" for success).
  std::string Save(int mode, const std::string& newContent) {
    std::string error;
    if (!backup_.MakeBackupCopies(Vault(), mode, error)) return error;
    WriteTestFile(Vault(), newContent);
    vaultDate = today;
    backup_.ApplyBackupMode(Vault(), mode);
    return "";
  }

  std::string today = "20240310";
  std::string vaultDate = "20240309";
  TVaultBackup backup_;

 private:
  TBackupSeams Seams() {
    TBackupSeams s = DefaultBackupSeams([](const std::string& path) {
      return ReadTestFile(path).rfind("QVF1", 0) == 0;
    });
    s.Today = [this] { return today; };
    auto realDate = s.FileDate;
    s.FileDate = [this, realDate](const std::string& path, std::string& date) {
      if (path != Vault()) return realDate(path, date);
      if (vaultDate.empty()) return false;
      date = vaultDate;
      return true;
    };
    return s;
  }

  TempDir dir_;
};

using FileSet = std::map<std::string, std::string>;

// Daily copies of earlier days, and names that only look like them.
void SeedOldBackups(BackupFolder& f) {
  f.Write("vault.qvl", "QVF1 old");
  f.Write("vault.qvl.bak", "QVF1 older");
  f.Write("vault-20240302.bak", "QVF1 d8");
  f.Write("vault-20240303.bak", "QVF1 d7");
  f.Write("vault-20240308.bak", "QVF1 d2");
  f.Write("vault-2024030.bak", "7 digits");
  f.Write("vault-202403011.bak", "9 digits");
  f.Write("vault-2024O301.bak", "letter");
  f.Write("other-20240101.bak", "other vault");
}

const FileSet kNeverTouched = {{"vault-2024030.bak", "7 digits"},
                               {"vault-202403011.bak", "9 digits"},
                               {"vault-2024O301.bak", "letter"},
                               {"other-20240101.bak", "other vault"}};

FileSet With(FileSet files, const FileSet& more) {
  for (const auto& [k, v] : more) files[k] = v;
  return files;
}

TEST(VaultBackup, EachModeKeepsItsFilesAfterTheFirstSaveOfADay) {
  struct Case {
    int mode;
    FileSet after;
  } cases[] = {
      // none: the ".bak" copy and every daily copy go
      {1, With(kNeverTouched, {{"vault.qvl", "QVF1 new"}})},
      // .bak only: the old vault becomes the ".bak"; daily copies go
      {2, With(kNeverTouched, {{"vault.qvl", "QVF1 new"}, {"vault.qvl.bak", "QVF1 old"}})},
      // .bak and the previous day: only the newest daily copy stays, which
      // is the one this save made (dated by the old vault's last write)
      {3, With(kNeverTouched,
               {{"vault.qvl", "QVF1 new"}, {"vault.qvl.bak", "QVF1 old"}, {"vault-20240309.bak", "QVF1 old"}})},
      // one week: exactly seven days old stays, eight days old goes
      {4, With(kNeverTouched, {{"vault.qvl", "QVF1 new"},
                               {"vault.qvl.bak", "QVF1 old"},
                               {"vault-20240303.bak", "QVF1 d7"},
                               {"vault-20240308.bak", "QVF1 d2"},
                               {"vault-20240309.bak", "QVF1 old"}})},
  };
  for (const Case& c : cases) {
    BackupFolder f;
    SeedOldBackups(f);
    EXPECT_EQ(f.Save(c.mode, "QVF1 new"), "") << c.mode;
    EXPECT_EQ(f.Files(), c.after) << "mode " << c.mode;
  }
}

TEST(VaultBackup, SecondSaveOfTheDayMakesNoSecondDailyCopy) {
  BackupFolder f;
  f.Write("vault.qvl", "QVF1 v1");
  ASSERT_EQ(f.Save(4, "QVF1 v2"), "");
  ASSERT_EQ(f.Save(4, "QVF1 v3"), "");
  EXPECT_EQ(f.Files(), (FileSet{{"vault.qvl", "QVF1 v3"},
                                {"vault.qvl.bak", "QVF1 v2"},
                                {"vault-20240309.bak", "QVF1 v1"}}));
  // The next day the vault's own date (today's save) names the copy.
  f.today = "20240311";
  ASSERT_EQ(f.Save(4, "QVF1 v4"), "");
  EXPECT_EQ(f.Files().at("vault-20240310.bak"), "QVF1 v3");
  // A daily copy that already exists is kept as it is.
  f.Write("vault-20240311.bak", "QVF1 kept");
  f.today = "20240312";
  ASSERT_EQ(f.Save(4, "QVF1 v5"), "");
  EXPECT_EQ(f.Files().at("vault-20240311.bak"), "QVF1 kept");
}

TEST(VaultBackup, SwitchingModesDeletesWhatTheNewModeDoesNotKeep) {
  BackupFolder f;
  SeedOldBackups(f);
  f.vaultDate = f.today;  // already saved today: no new daily copy
  ASSERT_EQ(f.Save(2, "QVF1 a"), "");
  EXPECT_EQ(f.Files(), With(kNeverTouched, {{"vault.qvl", "QVF1 a"}, {"vault.qvl.bak", "QVF1 old"}}));
  ASSERT_EQ(f.Save(1, "QVF1 b"), "");
  EXPECT_EQ(f.Files(), With(kNeverTouched, {{"vault.qvl", "QVF1 b"}}));
}

TEST(VaultBackup, FirstSaveOfANewVaultMakesNoCopies) {
  BackupFolder f;
  ASSERT_EQ(f.Save(4, "QVF1 first"), "");
  EXPECT_EQ(f.Files(), (FileSet{{"vault.qvl", "QVF1 first"}}));
}

// A plain vault text being encrypted for the first time is never copied into
// a backup; once encrypted, the next save backs it up as usual.
TEST(VaultBackup, PlainTextIsNeverCopied) {
  for (int mode = 2; mode <= 4; ++mode) {
    BackupFolder f;
    f.Write("vault.qvl", "- Mail: 1\r\n\r\n[1]\r\npassword: plain\r\nnotes:\r\n.\r\n");
    f.Write("vault.qvl.bak", "QVF1 earlier");
    ASSERT_EQ(f.Save(mode, "QVF1 encrypted"), "") << mode;
    for (const auto& [name, data] : f.Files()) EXPECT_EQ(data.find("plain"), std::string::npos) << name;
    EXPECT_EQ(f.Files().at("vault.qvl.bak"), "QVF1 earlier") << mode;
    f.today = "20240311";
    ASSERT_EQ(f.Save(mode, "QVF1 again"), "");
    EXPECT_EQ(f.Files().at("vault.qvl.bak"), "QVF1 encrypted") << mode;
  }
}

// A folder standing where a copy goes makes it fail: the save must stop,
// the vault is unchanged, and no temporary file is left.
TEST(VaultBackup, FailedCopiesLeaveTheVaultIntactAndNoTemporaryFile) {
  struct Case {
    const char* name;
    int mode;
    const char* folder;
    const char* error;
  } cases[] = {
      {"daily copy", 3, "vault-20240309.bak", BackupTexts::kDailyFailed},
      {".bak copy", 2, "vault.qvl.bak", BackupTexts::kBakFailed},
  };
  for (const Case& c : cases) {
    BackupFolder f;
    f.Write("vault.qvl", "QVF1 old");
    ASSERT_TRUE(MakeFolder(f.File(c.folder)));
    EXPECT_EQ(f.Save(c.mode, "QVF1 new"), c.error) << c.name;
    EXPECT_EQ(f.Files(), (FileSet{{"vault.qvl", "QVF1 old"}})) << c.name;
    EXPECT_TRUE(IsFolder(f.File(c.folder))) << c.name;
  }
  // A vault whose date cannot be read makes no daily copy: the save stops.
  BackupFolder f;
  f.Write("vault.qvl", "QVF1 old");
  f.vaultDate = "";
  EXPECT_EQ(f.Save(4, "QVF1 new"), BackupTexts::kDailyFailed);
  EXPECT_EQ(f.Save(2, "QVF1 new"), "") << "modes without daily copies need no date";
}

TEST(VaultBackup, CopyFileViaTempReplacesOnlyWhenAsked) {
  BackupFolder f;
  f.Write("a", "new");
  f.Write("b", "old");
  EXPECT_FALSE(f.backup_.CopyFileViaTemp(f.File("a"), f.File("b"), false));
  EXPECT_EQ(ReadTestFile(f.File("b")), "old");
  EXPECT_TRUE(f.backup_.CopyFileViaTemp(f.File("a"), f.File("b"), true));
  EXPECT_EQ(ReadTestFile(f.File("b")), "new");
  EXPECT_FALSE(f.backup_.CopyFileViaTemp(f.File("missing"), f.File("c"), true));
  EXPECT_EQ(f.Files(), (FileSet{{"a", "new"}, {"b", "new"}}));
}

TEST(OsServices, DatesListingAndMoves) {
  TempDir dir;
  const std::string today = OsServices::LocalDateToday();
  ASSERT_EQ(today.size(), 8u);
  EXPECT_EQ(AddDaysToDate(today, 0), today) << "a valid date";
  WriteTestFile(dir.File("f"), "x");
  std::string date;
  ASSERT_TRUE(OsServices::FileLocalDate(dir.File("f"), date));
  EXPECT_TRUE(date == today || date == OsServices::LocalDateToday());
  EXPECT_FALSE(OsServices::FileLocalDate(dir.File("missing"), date));

  ASSERT_TRUE(MakeFolder(dir.File("sub")));
  WriteTestFile(dir.File("g"), "y");
  std::vector<std::string> names = OsServices::ListFileNames(dir.Path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"f", "g"}));

  EXPECT_FALSE(OsServices::MoveFileNoReplace(dir.File("f"), dir.File("g")));
  EXPECT_EQ(ReadTestFile(dir.File("g")), "y");
  EXPECT_TRUE(OsServices::MoveFileNoReplace(dir.File("f"), dir.File("h")));
  EXPECT_FALSE(PathExists(dir.File("f")));
  EXPECT_EQ(ReadTestFile(dir.File("h")), "x");
  EXPECT_TRUE(OsServices::CopyFileOverwrite(dir.File("h"), dir.File("g")));
  EXPECT_EQ(ReadTestFile(dir.File("g")), "x");
}

}  // namespace
