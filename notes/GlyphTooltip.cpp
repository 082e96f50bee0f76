#include "notes/GlyphTooltip.h"

#include <string>

#include "ui/Graphics.h"
#include "ui/Handle.h"

namespace {

std::u16string Utf16Of(std::uint32_t cp) {
  std::u16string s;
  if (cp > 0xFFFF && cp <= 0x10FFFF) {
    const std::uint32_t v = cp - 0x10000;
    s.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
    s.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
  } else {
    s.push_back(static_cast<char16_t>(cp & 0xFFFF));
  }
  return s;
}

}  // namespace

TGlyphTooltip::TGlyphTooltip() : TWinControl(nullptr) {}

TGlyphTooltip::~TGlyphTooltip() {
  DestroyHandle();
  if (font_) DeleteObject(font_);
}

void TGlyphTooltip::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = "VLGlyphTooltip";
  params.Style = WS_POPUP;
  params.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  params.X = 0;
  params.Y = 0;
  params.Width = 40;
  params.Height = 40;
  params.ClassStyle = 0;
}

HFONT TGlyphTooltip::Font() {
  if (!font_) {
    TWindowDC screen(nullptr);
    const int height = -MulDiv(20, screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96, 72);
    font_ = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Segoe UI Emoji");
  }
  return font_;
}

void TGlyphTooltip::ShowAt(std::uint32_t codePoint, int x, int y) {
  HWND wnd = Handle();
  if (!wnd) return;
  glyph_ = Utf16Of(codePoint);
  SIZE extent{0, 0};
  {
    TWindowDC dc(wnd);
    if (dc.get()) {
      TSelectGuard guard(dc.get(), Font());
      if (!GetTextExtentPoint32W(dc.get(), reinterpret_cast<LPCWSTR>(glyph_.c_str()), static_cast<int>(glyph_.size()),
                                 &extent)) {
        extent = SIZE{0, 0};
      }
    }
  }
  int w = extent.cx + 8, h = extent.cy + 8;
  if (extent.cx <= 0 || extent.cy <= 0) w = h = 24;
  // The client is the whole window (no border).
  SetWindowPos(wnd, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(wnd, nullptr, TRUE);
  shown_ = true;
  codePoint_ = codePoint;
}

void TGlyphTooltip::HideTip() {
  if (HandleAllocated() && shown_) ShowWindow(Handle(), SW_HIDE);
  shown_ = false;
  codePoint_ = 0;
}

void TGlyphTooltip::Paint(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  HBRUSH brush = CreateSolidBrush(ColorToRGB(clInfoBk));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  TSelectGuard guard(dc, Font());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  TextOutW(dc, 4, 4, reinterpret_cast<LPCWSTR>(glyph_.c_str()), static_cast<int>(glyph_.size()));
}

LRESULT TGlyphTooltip::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_NCHITTEST:
      // The mouse goes through to the editor below.
      return HTTRANSPARENT;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      TPaintDC dc(Handle());
      if (dc.get()) Paint(dc.get());
      return 0;
    }
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
