#include "app/model/LockRules.h"

#include <limits>

#include "base/SysUtils.h"

namespace {

constexpr int kDefaultIdleMinutes = 120;

}  // namespace

int IdleLockMinutes(const std::string& text) {
  int minutes = 0;
  if (!TryStrToInt(text, minutes)) minutes = kDefaultIdleMinutes;
  return minutes <= 0 ? 1 : minutes;
}

int SecondsUntilIdleLockAt(int minutes, std::uint32_t idleMs) {
  const std::int64_t limit = static_cast<std::int64_t>(minutes < 1 ? 1 : minutes) * 60000;
  const std::int64_t idle = idleMs;
  if (idle >= limit) return 0;
  // A timeout of millions of minutes has more seconds than an int holds.
  const std::int64_t seconds = (limit - idle + 999) / 1000;
  return seconds > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(seconds);
}

std::string LockStatusText(int seconds, bool lockWithWindows, bool lockOnStandby, bool lockOnExit) {
  if (seconds >= 0) return "Lock in " + IntToStr(seconds) + " Sec";
  if (lockWithWindows) return "Lock w/ Windows";
  if (lockOnStandby) return "Lock on Standby";
  if (lockOnExit) return "Lock on Exit";
  return "";
}

bool TTaskbarWatch::Seen(std::uintptr_t window, std::uint32_t processId) {
  if (window == 0 || processId == 0) return false;
  if (!known_) {
    known_ = true;
    window_ = window;
    processId_ = processId;
    return false;
  }
  if (window == window_ && processId == processId_) return false;
  window_ = window;
  processId_ = processId;
  return true;
}
