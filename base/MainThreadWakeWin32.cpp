#include <windows.h>

#include <atomic>

#include "base/MainThreadWake.h"
#include "base/Thread.h"

namespace MainThread {
namespace {

const UINT kSyncMessage = WM_APP + 0x3A1;
std::atomic<HWND> hookWindow{nullptr};

LRESULT CALLBACK HookProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kSyncMessage) {
    CheckSynchronize(0);
    return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

}  // namespace

void InstallMessageHook() {
  if (hookWindow.load() || !IsCurrent()) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = HookProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TQSyncWindow";
  RegisterClassA(&wc);
  hookWindow.store(CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   wc.hInstance, nullptr));
}

void WakeMainThread() {
  if (HWND w = hookWindow.load()) PostMessageA(w, kSyncMessage, 0, 0);
}

}  // namespace MainThread
