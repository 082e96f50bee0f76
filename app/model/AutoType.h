// Auto-type: an entry's automate sequence ("USERNAME TAB PASSWORD ENTER")
// turned into the keystrokes, pauses and URL openings that type its
// credentials into another window. The whole sequence is checked before
// anything is planned, so a bad token or an untypeable character types
// nothing. The Win32 typist executes the plan (keybd_event, Sleep,
// ShellExecuteA) and then shows the plan's message, if any.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/model/VaultEntry.h"

inline constexpr char kDefaultAutomate[] = "USERNAME TAB PASSWORD ENTER";

// The presets of the automate field, in this order.
inline constexpr const char* kAutomatePresets[5] = {
    "USERNAME",
    "USERNAME ENTER PASSWORD ENTER",
    "USERNAME TAB PASSWORD ENTER",
    "OPENURL WAIT2000 USERNAME PASSWORD ENTER",
    "OPENURL AWAIT USERNAME PASSWORD ENTER",
};

namespace AutoTypeTexts {
inline constexpr char kCaption[] = "Automate";
inline constexpr char kOpenEntryFirst[] = "Please open a password entry first.";
inline constexpr char kUnknownCommand[] = "Unknown automate command:\r\n\r\n";  // + the token as written
inline constexpr char kUserNotTypeable[] =
    "Username contains a character that cannot be typed with the current keyboard layout.";
inline constexpr char kPasswordNotTypeable[] =
    "Password contains a character that cannot be typed with the current keyboard layout.";
inline constexpr char kNoUrl[] = "This entry does not contain a URL.";
}  // namespace AutoTypeTexts

// How long an AWAIT suspension lasts.
inline constexpr std::uint32_t kAwaitTimeoutMs = 60000;

// A sequence suspended at AWAIT: the next run of the same entry within
// 60,000 ms resumes after it.
struct TAutomateAwait {
  int EntryId = -1;
  int Index = 0;
  std::uint32_t Tick = 0;
  void Reset() { *this = TAutomateAwait(); }  // ResetAutomateAwait
};

// One step for the typist.
struct TAutoTypeAction {
  enum TKind {
    KeyDown,  // Value: virtual-key code
    KeyUp,    // Value: virtual-key code
    Sleep,    // Value: milliseconds
    OpenUrl,  // the plan's Url, opened with the shell's "open"
    Await,    // Value: token index to resume at; the typist calls Suspend
  } Kind = KeyDown;
  int Value = 0;
};

struct TAutomatePlan {
  std::vector<TAutoTypeAction> Actions;  // executed first, in order
  std::string Url;                       // what an OpenUrl action opens
  std::string Message;                   // then shown, when not empty
  bool ErrorIcon = false;                // error icon, else information
  TAutomatePlan() = default;
  TAutomatePlan(TAutomatePlan&&) = default;
  TAutomatePlan& operator=(TAutomatePlan&&) = default;
  ~TAutomatePlan();  // the key codes spell the credentials: wiped
};

// The layout's key for a character, as VkKeyScanA answers: the virtual key
// in the low byte, the shift state in the high byte (1 Shift, 2 Ctrl,
// 4 Alt), -1 when the layout has no key for it.
using TVkKeyScan = std::function<std::int16_t(char)>;

// Cuts a sequence into tokens: every byte that is at most 32 as a signed
// 8-bit number (blanks, control characters and every byte from 0x80 on)
// separates them.
void SplitAutomate(const std::string& text, std::vector<std::string>& tokens);

// True with ms set for "WAIT" followed only by decimal digits whose value
// fits an int (WAIT0 included); the token is compared in upper case.
bool ParseWaitToken(const std::string& token, int& ms);

// True when the token (any case) is a command or a valid WAIT token.
bool IsAutomateCommand(const std::string& token);

// True when the layout has a key for every character of text.
bool IsTypeable(const std::string& text, const TVkKeyScan& vkKeyScan);

// Appends the keystrokes that type text: per character Ctrl, Alt, Shift
// down as the layout needs them, the key tapped (down, 10 ms, up), the
// modifiers released in reverse order, then 5 ms. False (nothing appended)
// when a character has no key.
bool PlanTypeText(const std::string& text, const TVkKeyScan& vkKeyScan, std::vector<TAutoTypeAction>& actions);

// The plan of one run of the entry's sequence (the trimmed automate text, or
// kDefaultAutomate when it is empty) at nowTick. It starts at the AWAIT
// resume index when the same entry was suspended at most 60,000 ms ago
// (unsigned tick arithmetic, so a wrapped tick count works), else from the
// first token, and ends at the end of the sequence (which resets the
// suspension), at an AWAIT (an Await action is the last one), or at an
// OPENURL without URL (its message follows what was typed up to there). A
// bad token or an untypeable user name or password gives no actions, a
// message, and a reset suspension. With altTabFirst the plan first
// switches to the previous window (Alt+Tab, then 300 ms), but only when
// there is anything to type.
TAutomatePlan PlanAutomate(const TVaultEntry* entry, TAutomateAwait& await, std::uint32_t nowTick,
                           const TVkKeyScan& vkKeyScan, bool altTabFirst = false);

// The Type Credentials command: with an open entry, the suspension is reset
// and the run starts at the first token after switching to the previous
// window; without one, only the message "Please open a password entry
// first.".
TAutomatePlan PlanTypeCredentials(const TVaultEntry* currentEntry, bool entryOpen, TAutomateAwait& await,
                                  std::uint32_t nowTick, const TVkKeyScan& vkKeyScan);

// What the typist does on reaching an Await action.
inline void SuspendAutomate(TAutomateAwait& await, int entryId, const TAutoTypeAction& action,
                            std::uint32_t nowTick) {
  await.EntryId = entryId;
  await.Index = action.Value;
  await.Tick = nowTick;
}
