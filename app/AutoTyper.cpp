#include "app/AutoTyper.h"

#include "app/AppSeams.h"

#ifndef MOD_NOREPEAT
#define MOD_NOREPEAT 0x4000
#endif

TVkKeyScan LayoutVkKeyScan() {
  return [](char c) { return static_cast<std::int16_t>(VkKeyScanA(c)); };
}

namespace {

void SendKey(int vk, bool up) {
  const BYTE key = static_cast<BYTE>(vk);
  const BYTE scan = static_cast<BYTE>(MapVirtualKeyA(static_cast<UINT>(vk), 0));
  keybd_event(key, scan, up ? KEYEVENTF_KEYUP : 0, 0);
}

}  // namespace

void ExecuteAutomatePlan(const TAutomatePlan& plan, int entryId, TAutomateAwait& await) {
  TAppSeams& seams = AppSeams();
  for (const TAutoTypeAction& a : plan.Actions) {
    switch (a.Kind) {
      case TAutoTypeAction::KeyDown:
        SendKey(a.Value, false);
        break;
      case TAutoTypeAction::KeyUp:
        SendKey(a.Value, true);
        break;
      case TAutoTypeAction::Sleep:
        if (a.Value > 0) seams.Sleep(static_cast<std::uint32_t>(a.Value));
        break;
      case TAutoTypeAction::OpenUrl:
        seams.OpenUrl(plan.Url);  // the result is of no consequence
        break;
      case TAutoTypeAction::Await:
        SuspendAutomate(await, entryId, a, seams.TickCount());
        return;
    }
  }
}

bool HotKeyNoRepeatSupported() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  return info.dwMajorVersion > 6 || (info.dwMajorVersion == 6 && info.dwMinorVersion >= 1);
}

bool TWin32HotKeyRegistrar::Register(int id, unsigned modifiers, int vk) {
  static const bool noRepeat = HotKeyNoRepeatSupported();
  const UINT mods = modifiers | (noRepeat ? MOD_NOREPEAT : 0u);
  return RegisterHotKey(window_, id, mods, static_cast<UINT>(vk)) != 0;
}

void TWin32HotKeyRegistrar::Unregister(int id) { UnregisterHotKey(window_, id); }

namespace {

bool KeyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

bool ChordHeld(LPARAM lParam) {
  const unsigned mods = LOWORD(lParam);
  const int vk = HIWORD(lParam);
  if (vk && KeyDown(vk)) return true;
  if ((mods & kModControl) && KeyDown(VK_CONTROL)) return true;
  if ((mods & kModShift) && KeyDown(VK_SHIFT)) return true;
  if ((mods & kModAlt) && KeyDown(VK_MENU)) return true;
  if ((mods & kModWin) && (KeyDown(VK_LWIN) || KeyDown(VK_RWIN))) return true;
  return false;
}

}  // namespace

bool WaitForChordRelease(LPARAM lParam, std::uint32_t timeoutMs) {
  TAppSeams& seams = AppSeams();
  const std::uint32_t start = seams.TickCount();
  while (ChordHeld(lParam)) {
    if (seams.TickCount() - start > timeoutMs) return false;
    seams.Sleep(10);
  }
  return true;
}

int DropQueuedHotKeys(HWND window, int id) {
  // PeekMessage filters by message, not by wParam: the other ids' messages
  // are taken out and put back after the scan.
  struct TKept {
    WPARAM w;
    LPARAM l;
  };
  TKept kept[64];
  int keptCount = 0;
  int dropped = 0;
  MSG msg;
  while (PeekMessageA(&msg, window, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) {
    if (static_cast<int>(msg.wParam) == id) {
      ++dropped;
    } else if (keptCount < 64) {
      kept[keptCount++] = {msg.wParam, msg.lParam};
    }
  }
  for (int i = 0; i < keptCount; ++i) PostMessageA(window, WM_HOTKEY, kept[i].w, kept[i].l);
  return dropped;
}
