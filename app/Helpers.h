// The helpers that the main window and the dialogs share, and the values the
// process keeps once (not per window).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/model/AutoType.h"
#include "app/model/KeyNames.h"
#include "app/model/ShellHelpers.h"
#include "app/model/VaultLock.h"
#include "app/model/VaultModel.h"
#include "base/Wipe.h"
#include "ui/ExtCtrls.h"
#include "ui/Graphics.h"

// ---- Process-wide values ---------------------------------------------------

// The entry hot key pressed while the vault was locked (-1: none).
extern int PendingHotKeyId;
// "id=shortcut" items joined by "|", kept while the vault is locked.
extern std::string RememberedShortcuts;
// The auto-type sequence suspended at an AWAIT command.
extern TAutomateAwait AutomateAwait;
// Noted when the vault or Windows is locked.
extern bool LockRemembered;
extern std::uint32_t LockTick;
extern bool SearchModeAtLock;
// True between the Windows session lock and unlock notifications.
extern bool SessionLockedByWindows;

// The vault's lock file that this process holds, with its heartbeat; its
// clock and identity come from AppSeams().
TVaultLock& ProcessVaultLock();

// ---- Helpers -----------------------------------------------------------------

// Sets a flag for the life of a scope and restores its old value.
class TFlagScope {
 public:
  explicit TFlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = old_; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
  bool old_;
};

// Whether the entry is still one of the vault's (a record freed meanwhile,
// by a lock or another open, is not).
inline bool HasEntry(const TVaultModel& vault, const TVaultEntry* entry) {
  if (!entry) return false;
  for (const auto& e : vault.Entries)
    if (e.get() == entry) return true;
  return false;
}

// A message box owned by the main window (when it has one), topmost and
// brought to the front; the button id. Every message of the program goes
// through it unless a dialog shows its own plain box.
int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags);

// Milliseconds since 1970 UTC (never negative) and idle time, through the
// seams.
std::int64_t UtcNowMs();
std::uint32_t IdleMilliseconds();

// Lets WM_COPYDATA from other processes through the message filter of the
// window (ChangeWindowMessageFilterEx, else ChangeWindowMessageFilter, each
// looked up by name); false for no window or when neither exists or works.
bool AllowCopyDataMessage(HWND window);

// Registers (or unregisters) the window for the session notifications of
// this session through Wtsapi32.dll; the result of that registration, false
// when the library or the function is missing.
bool SetSessionNotification(HWND window, bool doRegister);

// Gives the form window the task bar button: it loses the tool-window style
// and gains the app-window style; an owned window (the password dialog)
// loses the app-window style and gets the form as its owner.
void SetTaskbarButtonOwner(HWND formWindow, HWND ownedWindow);

// A lock was remembered at least 30 minutes ago (tick count of the seams).
bool LockedLongerThan30Min();

// Forgets a suspended auto-type sequence.
void ResetAutomateAwait();

// Covers target's picture with copies of source, side by side and row by
// row, at target's own size. Nothing happens for an empty source.
void TileFooterImage(TBitmap& source, TImage& target);

// Makes the windows of every control the form owns. Windows made later lie
// below earlier ones: a dialog makes them all before it puts its background
// pictures to the back.
void CreateControlWindows(TComponent& form);

// The program icon at size x size pixels on a background colour.
void DrawProgramIcon(TBitmap& bitmap, int size, TColor background);
