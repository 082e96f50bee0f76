#include "app/Helpers.h"

#include "app/AppSeams.h"
#include "app/FormMain.h"
#include "ui/Dialogs.h"

int PendingHotKeyId = -1;
std::string RememberedShortcuts;
TAutomateAwait AutomateAwait;
bool LockRemembered = false;
std::uint32_t LockTick = 0;
bool SearchModeAtLock = false;
bool SessionLockedByWindows = false;

TVaultLock& ProcessVaultLock() {
  static TVaultLock lock = [] {
    TLockSeams s = DefaultLockSeams();
    s.UtcNowMs = [] { return AppSeams().UtcNowMs(); };
    s.TickCount = [] { return AppSeams().TickCount(); };
    s.ComputerName = [] { return AppSeams().ComputerName(); };
    s.UserName = [] { return AppSeams().UserName(); };
    return TVaultLock(s);
  }();
  return lock;
}

int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags) {
  HWND owner = FormMain && FormMain->HandleAllocated() ? FormMain->Handle() : nullptr;
  return UiMessageBox(owner, text, caption, flags | MB_TOPMOST | MB_SETFOREGROUND);
}

std::int64_t UtcNowMs() {
  const std::int64_t ms = AppSeams().UtcNowMs();
  return ms < 0 ? 0 : ms;
}

std::uint32_t IdleMilliseconds() { return AppSeams().IdleMilliseconds(); }

bool AllowCopyDataMessage(HWND window) {
  if (!window) return false;
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) return false;
  using TFilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  using TFilter = BOOL(WINAPI*)(UINT, DWORD);
  if (auto ex = reinterpret_cast<TFilterEx>(reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))) {
    if (ex(window, WM_COPYDATA, 1 /* MSGFLT_ALLOW */, nullptr)) return true;
  }
  if (auto plain = reinterpret_cast<TFilter>(reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter"))))
    return plain(WM_COPYDATA, 1 /* MSGFLT_ADD */) != FALSE;
  return false;
}

bool SetSessionNotification(HWND window, bool doRegister) {
  HMODULE wts = LoadLibraryA("Wtsapi32.dll");
  if (!wts) return false;
  bool result = false;
  if (doRegister) {
    using TRegister = BOOL(WINAPI*)(HWND, DWORD);
    if (auto fn = reinterpret_cast<TRegister>(reinterpret_cast<void*>(GetProcAddress(wts, "WTSRegisterSessionNotification"))))
      result = fn(window, 0 /* NOTIFY_FOR_THIS_SESSION */) != FALSE;
  } else {
    using TUnregister = BOOL(WINAPI*)(HWND);
    if (auto fn = reinterpret_cast<TUnregister>(reinterpret_cast<void*>(GetProcAddress(wts, "WTSUnRegisterSessionNotification"))))
      result = fn(window) != FALSE;
  }
  // The caller learns whether the registration worked, not whether the
  // library could be freed.
  FreeLibrary(wts);
  return result;
}

static void RestyleWindow(HWND wnd, LONG_PTR remove, LONG_PTR add) {
  const LONG_PTR before = GetWindowLongPtrA(wnd, GWL_EXSTYLE);
  const LONG_PTR after = (before & ~remove) | add;
  if (after != before) SetWindowLongPtrA(wnd, GWL_EXSTYLE, after);
}

void SetTaskbarButtonOwner(HWND formWindow, HWND ownedWindow) {
  if (!formWindow) return;
  const UINT refresh = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;
  // The program has no separate application window: the main form is the
  // only one that can own the task bar button.
  RestyleWindow(formWindow, WS_EX_TOOLWINDOW, WS_EX_APPWINDOW);
  SetWindowPos(formWindow, nullptr, 0, 0, 0, 0, refresh);
  if (ownedWindow) {
    RestyleWindow(ownedWindow, WS_EX_APPWINDOW, 0);
    SetWindowLongPtrA(ownedWindow, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(formWindow));
    SetWindowPos(ownedWindow, nullptr, 0, 0, 0, 0, refresh);
  }
}

bool LockedLongerThan30Min() { return LockedLongerThan30MinAt(LockRemembered, LockTick, AppSeams().TickCount()); }

void ResetAutomateAwait() { AutomateAwait = TAutomateAwait{}; }

void TileFooterImage(TBitmap& source, TImage& target) {
  if (source.Empty()) return;
  TBitmap& pic = target.Picture();
  const int w = target.Width(), h = target.Height();
  if (w <= 0 || h <= 0 || !pic.SetSize(w, h)) return;
  for (int x = 0; x < w; x += source.Width())
    for (int y = 0; y < h; y += source.Height()) pic.Canvas().Draw(x, y, source);
  target.PictureChanged();
}

void CreateControlWindows(TComponent& form) {
  for (int i = 0; i < form.ComponentCount(); ++i)
    if (auto* control = dynamic_cast<TWinControl*>(form.Components(i))) control->HandleNeeded();
}

void DrawProgramIcon(TBitmap& bitmap, int size, TColor background) {
  if (!bitmap.SetSize(size, size)) return;
  bitmap.Canvas().Brush().SetColor(background);
  bitmap.Canvas().FillRect(RECT{0, 0, size, size});
  HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, size, size, 0));
  if (!icon) return;
  DrawIconEx(bitmap.Canvas().Handle(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  DestroyIcon(icon);
}
