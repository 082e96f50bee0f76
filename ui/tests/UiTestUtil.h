// Helpers for tests of windows under Wine: a host form, message pumping,
// rendering a window into a bitmap and saving bitmaps as PNG.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ui/Form.h"
#include "ui/Graphics.h"
#include "ui/tests/PngWriter.h"

namespace UiTest {

// Dispatches every waiting message of this thread.
inline void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Pumps until done() holds or the time runs out; true when it held.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Pump();
    Sleep(5);
  }
  return true;
}

// Other test programs may share the display and take the foreground (and
// with it the keyboard focus) at any moment. Runs attempt with the window in
// front until one run ends with it still in front; false if none does.
inline bool InForeground(HWND window, const std::function<void()>& attempt, int tries = 20) {
  for (int i = 0; i < tries; ++i) {
    SetForegroundWindow(window);
    SetActiveWindow(window);
    Pump();
    if (GetForegroundWindow() != window) {
      Sleep(50);
      continue;
    }
    attempt();
    if (GetForegroundWindow() == window) return true;
  }
  return false;
}

// A top-level form of a given client size at the top-left of the screen.
class THostForm : public TForm {
 public:
  explicit THostForm(int clientWidth = 400, int clientHeight = 300, const char* className = "VLTestHost")
      : TForm(nullptr, className) {
    static const bool commonControls = [] {
      INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
      return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)commonControls;
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
    SetBounds(0, 0, r.right - r.left, r.bottom - r.top);
    SetCaption("Test");
    HandleNeeded();
  }
};

inline void CALLBACK CloseMenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
}
// Closes the popup menu whose loop is about to run (call it from the menu's
// OnPopup): a thread timer that the menu loop dispatches ends it.
inline void CloseMenuSoon() { SetTimer(nullptr, 0, 50, CloseMenuTimer); }

// The client area of a window as WM_PRINTCLIENT draws it, on a background
// of the given colour.
inline bool RenderClient(HWND wnd, TBitmap& out, TColor background = clWhite) {
  RECT r;
  if (!GetClientRect(wnd, &r) || !out.SetSize(r.right, r.bottom) || out.Empty()) return false;
  out.Canvas().Brush().SetColor(background);
  out.Canvas().FillRect(r);
  SendMessageA(wnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(out.Canvas().Handle()), PRF_CLIENT);
  return true;
}

// What the screen shows of a window's client area (children included).
inline bool CaptureClient(HWND wnd, TBitmap& out) {
  RECT r;
  if (!GetClientRect(wnd, &r) || !out.SetSize(r.right, r.bottom) || out.Empty()) return false;
  HDC dc = GetDC(wnd);
  if (!dc) return false;
  BOOL ok = BitBlt(out.Canvas().Handle(), 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
  ReleaseDC(wnd, dc);
  return ok != FALSE;
}

inline bool SavePng(TBitmap& bmp, const std::string& path) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<std::size_t>(bmp.Width()) * static_cast<std::size_t>(bmp.Height()) * 3);
  for (int y = 0; y < bmp.Height(); ++y) {
    for (int x = 0; x < bmp.Width(); ++x) {
      TColor c = bmp.Pixel(x, y);
      rgb.push_back(static_cast<std::uint8_t>(RedOf(c)));
      rgb.push_back(static_cast<std::uint8_t>(GreenOf(c)));
      rgb.push_back(static_cast<std::uint8_t>(BlueOf(c)));
    }
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  return PngWriter::Write(path, bmp.Width(), bmp.Height(), rgb);
}

// How many pixels of a rectangle have exactly the colour c.
inline int CountColor(const TBitmap& bmp, const RECT& r, TColor c) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (bmp.Pixel(x, y) == c) ++n;
  return n;
}

// The bounding box of the pixels of colour c (empty when there are none).
inline RECT BoundsOf(const TBitmap& bmp, TColor c) {
  RECT b{bmp.Width(), bmp.Height(), 0, 0};
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if (bmp.Pixel(x, y) == c) {
        b.left = std::min<LONG>(b.left, x);
        b.top = std::min<LONG>(b.top, y);
        b.right = std::max<LONG>(b.right, x + 1);
        b.bottom = std::max<LONG>(b.bottom, y + 1);
      }
  if (b.right <= b.left) b = RECT{0, 0, 0, 0};
  return b;
}

inline std::string ScreenshotPath(const std::string& name) {
  return (std::filesystem::path(VL_BINARY_DIR) / "screenshots" / name).string();
}

}  // namespace UiTest
