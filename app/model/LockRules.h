// The rules of locking that need no window: the inactivity countdown, the
// lock status text of the status bar, and the watch over the task bar that
// tells when the notification area was recreated.
#pragma once

#include <cstdint>
#include <string>

// The inactivity timeout in minutes from the settings text: 120 when the
// text is no decimal integer, 1 for 0 or less.
int IdleLockMinutes(const std::string& text);

// Whole seconds, rounded up, until the vault locks after minutes of
// inactivity when the user's last input was idleMs ago; 0 once the limit is
// reached; at most the largest int. The limit is reckoned in 64 bits, so no
// timeout wraps into an immediate lock.
int SecondsUntilIdleLockAt(int minutes, std::uint32_t idleMs);

// The lock status panel: "Lock in <seconds> Sec" while a countdown runs
// (seconds 0 or more), else the first of "Lock w/ Windows", "Lock on
// Standby" and "Lock on Exit" whose setting is on, else "".
std::string LockStatusText(int seconds, bool lockWithWindows, bool lockOnStandby, bool lockOnExit);

// Follows the task bar window and its process. Seen reports true when
// either differs from the pair seen before: the task bar was recreated and
// the notification area has forgotten its icons. The first pair is only
// noted, and a missing window or process is ignored.
class TTaskbarWatch {
 public:
  bool Seen(std::uintptr_t window, std::uint32_t processId);

 private:
  bool known_ = false;
  std::uintptr_t window_ = 0;
  std::uint32_t processId_ = 0;
};
