// Backup copies of a vault, made while it is saved: the ".bak" copy of the
// previous vault file ("<vault>.qvl.bak") and dated daily copies
// ("<dir><name>-yyyymmdd.bak", dated by the last write of the file being
// replaced). Backups are plain copies of the encrypted vault file.
//
// Mode (settings buttons 1 to 4): 1 none, 2 ".bak", 3 ".bak" and the
// previous day, 4 ".bak" and one week of daily copies.
//
// Within a save: encrypt to "<vault>.tmp"; MakeBackupCopies; replace the
// vault by the temporary file; ApplyBackupMode.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace BackupTexts {
inline constexpr char kCaption[] = "Backup error";
inline constexpr char kDailyFailed[] =
    "The daily backup file could not be created.\r\n\r\nThe existing vault file was not changed.";
inline constexpr char kBakFailed[] =
    "The backup file could not be created.\r\n\r\nThe existing vault file was not changed.";
}  // namespace BackupTexts

// The backup mode from the settings dialog's checked button (1 to 4); 2
// when none is checked or the dialog does not exist (pass 0).
int GetBackupMode(int checkedButton);

// "<vault path>.bak".
std::string BakFileName(const std::string& vaultPath);

// The vault's directory + its file name without extension + "-" + date +
// ".bak".
std::string DailyBackupName(const std::string& vaultPath, const std::string& date);

// True when fileName is baseName + "-" + eight digits + ".bak" (the prefix
// and the extension compared ignoring case); date receives the digits.
bool ParseDailyBackupName(const std::string& fileName, const std::string& baseName, std::string& date);

// The "yyyymmdd" date days after (or before, when negative) date; "" when
// date is no valid date.
std::string AddDaysToDate(const std::string& date, int days);

// What the backup functions need from outside; the defaults call the
// platform.
struct TBackupSeams {
  std::function<std::string()> Today;  // the local date, "yyyymmdd"
  // The local date of a file's last write; false when it cannot be read.
  std::function<bool(const std::string& path, std::string& date)> FileDate;
  std::function<bool(const std::string& path)> FileExists;  // a file, not a folder
  // Whether a file is an encrypted container (the engine's recognition).
  // Unset: every file counts as encrypted.
  std::function<bool(const std::string& path)> IsEncryptedFile;
  std::function<bool(const std::string& path)> CanReadFile;
  std::function<bool(const std::string& source, const std::string& target)> CopyFileOverwrite;
  // Moves with write-through; replace allows an existing target.
  std::function<bool(const std::string& source, const std::string& target, bool replace)> MoveFileTo;
  std::function<bool(const std::string& path)> RemoveFile;
  // The names of the files (not folders) in a directory.
  std::function<std::vector<std::string>(const std::string& directory)> ListFileNames;
};

TBackupSeams DefaultBackupSeams(std::function<bool(const std::string& path)> isEncryptedFile);

class TVaultBackup {
 public:
  explicit TVaultBackup(TBackupSeams seams);

  TBackupSeams& Seams() { return seams_; }

  // Copies source to "<destination>.tmp" and moves that over destination
  // (an existing destination only when replace). False on any failure, and
  // then no temporary file is left.
  bool CopyFileViaTemp(const std::string& source, const std::string& destination, bool replace);

  // True when the vault file on disk is a readable file that is not an
  // encrypted container: a plain vault text that this save encrypts for the
  // first time. Such a file is never copied into a backup.
  bool IsPlainVaultFile(const std::string& vaultPath);

  // The first save of a day (modes 3 and 4) keeps the previous vault file as
  // the daily copy dated by its last write. False only when that copy was
  // needed and could not be made.
  bool MakeDailyBackup(const std::string& vaultPath, int mode);

  // Both copies made before the vault is replaced: the daily copy, then (mode
  // >= 2) the ".bak" copy. On failure errorText is the message to show
  // (caption BackupTexts::kCaption) and the save must stop before the vault
  // is touched.
  bool MakeBackupCopies(const std::string& vaultPath, int mode, std::string& errorText);

  // Deletes the daily copies the mode does not keep: all (modes 1 and 2), all
  // but the newest (3), those dated more than seven days before today (4).
  // Files whose names are no daily-copy names are never deleted; failures
  // are ignored.
  void PruneDailyBackups(const std::string& vaultPath, int mode);

  // After the vault was replaced: mode 1 deletes the ".bak" copy; then the
  // daily copies are pruned.
  void ApplyBackupMode(const std::string& vaultPath, int mode);

 private:
  TBackupSeams seams_;
};
