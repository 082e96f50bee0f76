// The rules of the vault document that need no window: the caption, the
// text that goes into the container, the iteration counts a master password
// is tried with, and the order of the file steps of a save with what each
// failure leaves behind.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Texts and captions of the document's messages.
namespace DocumentTexts {
inline constexpr char kSaveChangesCaption[] = "Save changes?";
inline constexpr char kSaveChangesQuestion[] =
    " has been modified.\r\n\r\nDo you want to save your changes?\r\n\r\n"
    "Yes = Save changes\r\nNo = Continue without saving\r\nCancel = Keep editing";
inline constexpr char kSaveErrorCaption[] = "Save error";
inline constexpr char kNoMasterKey[] = "No master key is available.";
inline constexpr char kEncryptFailed[] = "Could not encrypt the file:\r\n\r\n";
inline constexpr char kReplaceFailed[] =
    "The encrypted temporary file could not replace the destination file.\r\n\r\n"
    "The previous vault file was not changed.";
inline constexpr char kOpenErrorCaption[] = "Open error";
inline constexpr char kFileMissing[] = "The selected file does not exist.";
inline constexpr char kInvalidTypeCaption[] = "Invalid file type";
inline constexpr char kOnlyQvl[] = "Only .qvl files are supported.";
inline constexpr char kUnencryptedCaption[] = "Unencrypted Vaultline file";
inline constexpr char kUnencryptedQuestion[] =
    "This file is not encrypted.\r\n\r\nOpen it and encrypt it when it is next saved?";
inline constexpr char kUnencryptedUnreadable[] = "The unencrypted file could not be read.";
inline constexpr char kWrongPassword[] = "The password is incorrect.";
inline constexpr char kPasswordErrorCaption[] = "Password error";
inline constexpr char kSessionKeyFailed[] = "The session key could not be created.";
inline constexpr char kNewMasterKeyFailed[] = "The new master key could not be created.";
inline constexpr char kOpeningSuffix[] = " - Vaultline [Opening...]";
}  // namespace DocumentTexts

// "[Locked] ", "[Read-only] ", "*", then the file name of the path (or
// "Untitled") and " - Vaultline".
std::string VaultCaption(const std::string& vaultPath, bool modified, bool readOnly, bool locked);

// The text a vault is encrypted from. An empty vault gives the empty vault
// text, and a container of nothing is refused by the reader: such a vault
// is written as one line break, which reads back as an empty vault.
std::string VaultTextForContainer(const std::string& vaultText);

// The session key is derived with the engine's iteration count of the
// moment, which is not recorded in the vault and may have changed since the
// key of a vault was made. After a wrong password the same password is
// tried again with these counts in this order, each at most once and never
// the count already tried: the count in the file's header, the count the
// open document's key was made with, the Defaults count and 200,000. Counts
// are taken as the engine takes them (at least 5,000); a count of 0 or less
// stands for none.
std::vector<int> PasswordRetryCounts(int triedCount, int headerCount, int documentKeyCount, int defaultsCount);

inline constexpr int kEngineIterationFloor = 5000;
inline constexpr int kStandardIterations = 200000;

// ---- Saving ---------------------------------------------------------------------

// The file steps of a save, in order. The vault file is replaced only by the
// replacing move; before it the old vault is complete on disk, after it the
// new one.
enum class TVaultSaveStep {
  Encrypted,    // the container was written to "<vault>.tmp"
  BackedUp,     // the daily and ".bak" copies were made
  Replaced,     // the temporary file replaced the vault
  BackupsKept,  // old copies were removed as the backup mode says
};

enum class TVaultSaveResult {
  Saved,
  EncryptFailed,  // writing the temporary file failed (EncryptError tells why)
  BackupFailed,   // a backup copy failed (BackupError is the message)
  ReplaceFailed,  // the move over the vault failed
  Stopped,        // AfterStep stopped the save, as a crash there would
};

struct TVaultSaveIo {
  // Writes the container to the temporary file; 0 when written, else the
  // writer's error code.
  std::function<int(const std::string& tmpPath)> Encrypt;
  // The daily and ".bak" copies; false with the message when one failed.
  std::function<bool(const std::string& vaultPath, std::string& errorText)> MakeBackupCopies;
  // Moves the temporary file over the vault, replacing it, written through.
  std::function<bool(const std::string& tmpPath, const std::string& vaultPath)> Replace;
  // Removes the backup copies the mode does not keep.
  std::function<void(const std::string& vaultPath)> ApplyBackupMode;
  std::function<bool(const std::string& path)> RemoveFile;
  // Optional: told after each step (progress).
  std::function<void(TVaultSaveStep done)> OnStep;
  // Optional test seam: false after a step stops the save right there,
  // leaving the disk as a crash at that moment would.
  std::function<bool(TVaultSaveStep done)> AfterStep;
};

struct TVaultSaveOutcome {
  TVaultSaveResult Result = TVaultSaveResult::Saved;
  int EncryptError = 0;
  std::string BackupError;
};

// "<vault>.tmp".
std::string VaultTempName(const std::string& vaultPath);

// Runs the steps: remove an old temporary file, encrypt into it, make the
// backups, replace the vault, prune the backups. Every failure removes the
// temporary file and leaves the vault file as it was.
TVaultSaveOutcome WriteVaultFile(const std::string& vaultPath, const TVaultSaveIo& io);
