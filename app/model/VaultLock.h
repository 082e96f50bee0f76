// The lock file beside a vault: it names the client that holds the vault for
// editing and is rewritten every 30 seconds while held. A lock whose last
// refresh lies more than 150 seconds away from now (either way) counts as
// free. Each TVaultLock holds at most one lock at a time; the program keeps
// one for the whole process.
//
// File "<vault>.lock", 8-bit text, seven lines each ended by CR LF:
//   VAULTLINE-LOCK-1 / active=1|0 / vault=<file name> / clientId=<id> /
//   clientName=<name> / createdUtc=<ms> / refreshedUtc=<ms>
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

inline constexpr char kLockMagic[] = "VAULTLINE-LOCK-1";
inline constexpr std::int64_t kLockLiveMs = 150000;       // a lock lives this long after a refresh
inline constexpr std::uint32_t kLockHeartbeatMs = 30000;  // rewritten this often while held
inline constexpr std::int64_t kLockReadLimit = 65536;     // bytes read of a lock file at most

// Texts of the lock messages that the main window shows.
namespace LockTexts {
inline constexpr char kCaption[] = "Vault locked";
inline constexpr char kAnotherClient[] = "another client";
// Opening a vault whose lock another live client holds (Yes/No/Cancel,
// warning icon, second button default).
inline constexpr char kLockedByPrefix[] = "This vault is currently locked by:\r\n\r\n";
// The same question when another client took the lock while the vault was
// being opened.
inline constexpr char kLockedWhileOpeningPrefix[] = "This vault was locked while it was opening by:\r\n\r\n";
inline constexpr char kChoices[] =
    "\r\n\r\nYes = Take ownership and open for editing\r\nNo = Open read-only\r\nCancel = Do not open";
// Save refused by the lock (warning icon).
inline constexpr char kSaveRefused[] =
    "The vault is currently locked by another client or its lock file cannot be written.\r\n\r\n"
    "The vault was not saved.";
// Opening failed at the lock step (warning icon).
inline constexpr char kNotAcquired[] = "The vault lock could not be acquired.";
// Save As to a vault that is locked or whose lock file cannot be created.
inline constexpr char kSaveAsRefused[] =
    "The destination vault is currently locked or its lock file cannot be created.";
}  // namespace LockTexts

// "This vault is currently locked by:" question for a lock's client name.
std::string LockedByPrompt(const std::string& clientName);
// "This vault was locked while it was opening by:" question.
std::string LockedWhileOpeningPrompt(const std::string& clientName);

struct TLockInfo {
  bool parsed = false;  // the file was read and its first line is the magic
  bool active = false;  // its active value was "1"
  std::string vault;
  std::string clientId;
  std::string clientName;
  std::int64_t createdUtc = 0;    // ms since 1970 UTC
  std::int64_t refreshedUtc = 0;  // ms since 1970 UTC
  // The file is longer than kLockReadLimit: it counts as a live lock of an
  // unknown client (no id, no name), never as free.
  bool oversized = false;
};

void InitLockInfo(TLockInfo& info);

// "<vault path>.lock"; empty for an empty path.
std::string LockFilePath(const std::string& vaultPath);

// The parser of a lock file's text. False (info as InitLockInfo) when the
// text has no lines or its first line, trimmed, is not the magic.
bool ParseLockText(std::string_view text, TLockInfo& info);

// The seven lines of a lock file.
std::string FormatLockText(bool active, const std::string& vaultFileName, const std::string& clientId,
                           const std::string& clientName, std::int64_t nowUtc);

// Oversized, or parsed, active, refreshed at a time > 0 that lies within kLockLiveMs of
// nowUtc in either direction (a client whose clock runs a little behind
// still sees a live lock as live).
bool IsLockLiveAt(const TLockInfo& info, std::int64_t nowUtc);

// The answer to the question of a lock taken while the vault was opening.
enum class TLockAnswer { TakeOver, ReadOnly, Cancel };

// What the lock functions need from outside; the defaults call the platform.
struct TLockSeams {
  std::function<std::int64_t()> UtcNowMs;
  std::function<std::uint32_t()> TickCount;
  std::function<std::string()> ComputerName;  // "" when it cannot be had
  std::function<std::string()> UserName;      // "" when it cannot be had
  // Reads at most kLockReadLimit + 1 bytes of an existing file (a longer
  // text shows the file is too long to read whole), allowing all sharing;
  // false when the file is missing or cannot be read.
  std::function<bool(const std::string& path, std::string& text)> ReadFile;
  // Writes the file through "<path>.tmp" and a replacing move that writes
  // through; false (and no temporary left) on any failure.
  std::function<bool(const std::string& path, const std::string& text)> WriteFile;
  // Asks the user the "locked while it was opening" question (caption,
  // Yes/No/Cancel, warning icon, second button default). Unset: Cancel.
  std::function<TLockAnswer(const std::string& text, const std::string& caption)> AskLockedWhileOpening;
};

TLockSeams DefaultLockSeams();

class TVaultLock {
 public:
  explicit TVaultLock(TLockSeams seams = DefaultLockSeams());

  TLockSeams& Seams() { return seams_; }

  // The vault whose lock this client holds ("" for none) and the tick of the
  // last successful write of it (0 for none).
  const std::string& HeldLockPath() const { return heldLockPath_; }
  std::uint32_t LastHeartbeatTick() const { return lastHeartbeatTick_; }

  // "<computer> / <user>", with "Windows PC" and "User" standing in for
  // names that cannot be had.
  std::string GetClientName();
  // "windows-client:" + the client name in lower case; computed once.
  std::string GetClientId();

  // The text of the lock file, at most kLockReadLimit bytes of it.
  bool ReadLockFile(const std::string& lockPath, std::string& text);
  // Parses the lock file; a file longer than kLockReadLimit gives an
  // oversized lock (see TLockInfo).
  bool ParseLockFile(const std::string& vaultPath, TLockInfo& info);
  bool WriteLockFile(const std::string& vaultPath, bool active);
  bool IsLockLive(const TLockInfo& info);
  // A live lock of another client id (case ignored).
  bool IsLockedByOther(const std::string& vaultPath, TLockInfo& info);
  // Marks the vault's lock inactive when it is active and ours; other
  // clients' locks are never touched.
  void ReleaseLock(const std::string& vaultPath);
  void ReleaseHeldLock();
  // Takes the lock (over another client's live lock only when forced) and
  // verifies it by reading it back; a lock held on another vault is
  // released.
  bool AcquireLock(const std::string& vaultPath, bool force);
  // The lock step of opening a vault: readOnly already set drops any held
  // lock and succeeds; a lock taken by another client meanwhile is put to
  // the user (take over, read-only, or cancel).
  bool AcquireLockWithPrompt(const std::string& vaultPath, bool& readOnly, bool force, bool& cancelled);
  // Before a save: refuses while another client holds a live lock,
  // otherwise writes (and so re-takes) ours.
  bool CheckLockBeforeSave(const std::string& vaultPath);
  // The heartbeat, run every second by the interface timer: rewrites the
  // held lock every 30 s; a lock that another client took over is dropped
  // silently (the next save reports it).
  void RefreshLock();

 private:
  bool WriteAndVerify(const std::string& fullPath);
  // ReadLockFile, telling whether the file went past kLockReadLimit.
  bool ReadLockText(const std::string& lockPath, std::string& text, bool& oversized);

  TLockSeams seams_;
  std::string heldLockPath_;
  std::uint32_t lastHeartbeatTick_ = 0;
  std::string clientId_;
};
