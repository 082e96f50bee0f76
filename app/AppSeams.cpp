#include "app/AppSeams.h"

#include <windows.h>
#include <shellapi.h>

#include "app/model/ShellHelpers.h"
#include "base/Platform.h"

namespace {

std::int64_t SystemUtcNowMs() {
  FILETIME ft{};
  GetSystemTimeAsFileTime(&ft);
  return UnixMsFromFileTime((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

// GetTickCount minus the time of the last input, from GetLastInputInfo looked
// up by name; 0 when the module, the function or the call fails.
std::uint32_t SystemIdleMilliseconds() {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) return 0;
  using TGetLastInputInfo = BOOL(WINAPI*)(PLASTINPUTINFO);
  auto fn = reinterpret_cast<TGetLastInputInfo>(reinterpret_cast<void*>(GetProcAddress(user32, "GetLastInputInfo")));
  if (!fn) return 0;
  LASTINPUTINFO info{};
  info.cbSize = sizeof info;  // 8
  if (!fn(&info)) return 0;
  return GetTickCount() - info.dwTime;
}

TAppSeams Defaults() {
  TAppSeams s;
  s.UtcNowMs = SystemUtcNowMs;
  s.TickCount = [] { return static_cast<std::uint32_t>(GetTickCount()); };
  s.IdleMilliseconds = SystemIdleMilliseconds;
  s.Sleep = [](std::uint32_t ms) { ::Sleep(ms); };
  s.Random = SystemRandomSource();
  s.ComputerName = Platform::ComputerName;
  s.UserName = Platform::UserName;
  s.OpenUrl = [](const std::string& url) {
    return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
  };
  return s;
}

}  // namespace

TAppSeams& AppSeams() {
  static TAppSeams seams = Defaults();
  return seams;
}

void ResetAppSeams() { AppSeams() = Defaults(); }
