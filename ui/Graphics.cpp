#include "ui/Graphics.h"

#include <algorithm>
#include <cstring>

TColor ColorToRGB(TColor color) {
  if (IsSystemColor(color)) return static_cast<TColor>(GetSysColor(static_cast<int>(color & 0xFF))) & 0xFFFFFF;
  return color & 0xFFFFFF;
}

static COLORREF Ref(TColor color) { return static_cast<COLORREF>(ColorToRGB(color)); }

// ---------------------------------------------------------------------------

void TGraphicsObject::Changed() {
  if (beforeDrop_) beforeDrop_();
  handle_.reset();
  if (OnChange) OnChange(this);
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int width) {
  width = std::max(width, 1);
  if (width == width_) return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TPen::Assign(const TPen& other) {
  if (other.color_ == color_ && other.width_ == width_ && other.style_ == style_) return;
  color_ = other.color_;
  width_ = other.width_;
  style_ = other.style_;
  Changed();
}

HPEN TPen::Handle() {
  if (!handle_) {
    int style = PS_SOLID;
    switch (style_) {
      case psSolid: style = PS_SOLID; break;
      case psDash: style = PS_DASH; break;
      case psDot: style = PS_DOT; break;
      case psDashDot: style = PS_DASHDOT; break;
      case psDashDotDot: style = PS_DASHDOTDOT; break;
      case psClear: style = PS_NULL; break;
      case psInsideFrame: style = PS_INSIDEFRAME; break;
    }
    handle_.reset(CreatePen(style, width_, Ref(color_)));
  }
  return static_cast<HPEN>(handle_.get());
}

void TBrush::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TBrush::Assign(const TBrush& other) {
  if (other.color_ == color_ && other.style_ == style_) return;
  color_ = other.color_;
  style_ = other.style_;
  Changed();
}

HBRUSH TBrush::Handle() {
  if (style_ == bsClear) return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
  if (!handle_) handle_.reset(CreateSolidBrush(Ref(color_)));
  return static_cast<HBRUSH>(handle_.get());
}

int TFont::ScreenPixelsPerInch() {
  HDC dc = GetDC(nullptr);
  int ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return ppi > 0 ? ppi : 96;
}

void TFont::SetName(const std::string& name) {
  if (name == name_) return;
  name_ = name;
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

int TFont::Size() const { return -MulDiv(height_, 72, ScreenPixelsPerInch()); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetOrientation(int tenths) {
  if (tenths == orientation_) return;
  orientation_ = tenths;
  Changed();
}

void TFont::SetCharset(BYTE charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::Assign(const TFont& other) {
  if (other.name_ == name_ && other.height_ == height_ && other.color_ == color_ &&
      other.style_ == style_ && other.orientation_ == orientation_ && other.charset_ == charset_)
    return;
  color_ = other.color_;
  name_ = other.name_;
  height_ = other.height_;
  style_ = other.style_;
  orientation_ = other.orientation_;
  charset_ = other.charset_;
  Changed();
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONTA lf{};
    lf.lfHeight = height_;
    lf.lfEscapement = orientation_;
    lf.lfOrientation = orientation_;
    lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
    lf.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
    lf.lfCharSet = charset_;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::size_t n = std::min(name_.size(), sizeof lf.lfFaceName - 1);
    std::memcpy(lf.lfFaceName, name_.data(), n);
    handle_.reset(CreateFontIndirectA(&lf));
  }
  return static_cast<HFONT>(handle_.get());
}

// ---------------------------------------------------------------------------

TCanvas::TCanvas() {
  pen_.beforeDrop_ = [this] {
    if (penIn_) {
      SelectObject(dc_, oldPen_ ? oldPen_ : GetStockObject(BLACK_PEN));
      penIn_ = false;
    }
  };
  brush_.beforeDrop_ = [this] {
    if (brushIn_) {
      SelectObject(dc_, oldBrush_ ? oldBrush_ : GetStockObject(WHITE_BRUSH));
      brushIn_ = false;
    }
  };
  font_.beforeDrop_ = [this] {
    if (fontIn_) {
      SelectObject(dc_, oldFont_ ? oldFont_ : GetStockObject(SYSTEM_FONT));
      fontIn_ = false;
    }
  };
}

TCanvas::TCanvas(HDC dc) : TCanvas() { dc_ = dc; }

TCanvas::~TCanvas() { ReleaseObjects(); }

void TCanvas::ReleaseObjects() {
  if (dc_) {
    if (penIn_ && oldPen_) SelectObject(dc_, oldPen_);
    if (brushIn_ && oldBrush_) SelectObject(dc_, oldBrush_);
    if (fontIn_ && oldFont_) SelectObject(dc_, oldFont_);
  }
  penIn_ = brushIn_ = fontIn_ = false;
  oldPen_ = oldBrush_ = oldFont_ = nullptr;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  ReleaseObjects();
  dc_ = dc;
}

bool TCanvas::RequirePen() {
  if (!dc_) return false;
  if (!penIn_) {
    HPEN h = pen_.Handle();
    if (!h) return false;
    HGDIOBJ old = SelectObject(dc_, h);
    if (!oldPen_) oldPen_ = old;
    penIn_ = true;
  }
  return true;
}

bool TCanvas::RequireBrush() {
  if (!dc_) return false;
  if (!brushIn_) {
    HBRUSH h = brush_.Handle();
    if (!h) return false;
    HGDIOBJ old = SelectObject(dc_, h);
    if (!oldBrush_) oldBrush_ = old;
    brushIn_ = true;
  }
  SetBrushOrgEx(dc_, 0, 0, nullptr);
  return true;
}

bool TCanvas::RequireFont() {
  if (!dc_) return false;
  if (!fontIn_) {
    HFONT h = font_.Handle();
    if (!h) return false;
    HGDIOBJ old = SelectObject(dc_, h);
    if (!oldFont_) oldFont_ = old;
    fontIn_ = true;
  }
  SetTextColor(dc_, Ref(font_.Color()));
  if (brush_.Style() == bsClear) {
    SetBkMode(dc_, TRANSPARENT);
  } else {
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, Ref(brush_.Color()));
  }
  return true;
}

void TCanvas::FillRect(const RECT& r) {
  if (!dc_ || brush_.Style() == bsClear) return;
  ::FillRect(dc_, &r, brush_.Handle());
}

void TCanvas::FrameRect(const RECT& r) {
  if (!dc_ || brush_.Style() == bsClear) return;
  ::FrameRect(dc_, &r, brush_.Handle());
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  if (!RequirePen() || !RequireBrush()) return;
  ::Rectangle(dc_, left, top, right, bottom);
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int ellipseW, int ellipseH) {
  if (!RequirePen() || !RequireBrush()) return;
  ::RoundRect(dc_, left, top, right, bottom, ellipseW, ellipseH);
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
  if (!RequirePen() || !RequireBrush()) return;
  ::Ellipse(dc_, left, top, right, bottom);
}

void TCanvas::MoveTo(int x, int y) {
  if (dc_) MoveToEx(dc_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  if (RequirePen()) ::LineTo(dc_, x, y);
}

void TCanvas::Polyline(const POINT* points, int count) {
  if (count > 0 && RequirePen()) ::Polyline(dc_, points, count);
}

void TCanvas::Polygon(const POINT* points, int count) {
  if (count > 0 && RequirePen() && RequireBrush()) ::Polygon(dc_, points, count);
}

void TCanvas::DrawFocusRect(const RECT& r) {
  if (!dc_) return;
  // The focus rectangle is an XOR of the text and background colours.
  SetTextColor(dc_, RGB(0, 0, 0));
  SetBkColor(dc_, RGB(255, 255, 255));
  ::DrawFocusRect(dc_, &r);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  if (!RequireFont()) return;
  ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

void TCanvas::TextRect(RECT r, const std::string& text, UINT format) {
  if (!RequireFont()) return;
  ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &r, format);
}

SIZE TCanvas::TextExtent(const std::string& text) {
  SIZE s{0, 0};
  if (!RequireFont()) return s;
  if (!GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &s)) s = SIZE{0, 0};
  return s;
}

SIZE TCanvas::TextExtentFormatted(const std::string& text, UINT format) {
  SIZE s{0, 0};
  if (!RequireFont()) return s;
  RECT r{0, 0, 0, 0};
  ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
  s.cx = r.right - r.left;
  s.cy = r.bottom - r.top;
  return s;
}

bool TCanvas::GetTextMetrics(TEXTMETRICA& tm) {
  if (!RequireFont()) return false;
  return ::GetTextMetricsA(dc_, &tm) != FALSE;
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
  RECT src{0, 0, bitmap.Width(), bitmap.Height()};
  DrawPart(x, y, bitmap, src);
}

void TCanvas::DrawPart(int x, int y, TBitmap& bitmap, const RECT& src) {
  if (!dc_ || bitmap.Empty()) return;
  RECT s = src;
  s.left = std::max<LONG>(s.left, 0);
  s.top = std::max<LONG>(s.top, 0);
  s.right = std::min<LONG>(s.right, bitmap.Width());
  s.bottom = std::min<LONG>(s.bottom, bitmap.Height());
  int w = s.right - s.left, h = s.bottom - s.top;
  if (w <= 0 || h <= 0) return;
  HDC source = bitmap.CanvasHandle();
  if (!source) return;
  if (bitmap.Transparent()) {
    GdiTransparentBlt(dc_, x, y, w, h, source, s.left, s.top, w, h,
                      static_cast<UINT>(ColorToRGB(bitmap.TransparentColor())));
  } else {
    BitBlt(dc_, x, y, w, h, source, s.left, s.top, SRCCOPY);
  }
}

void TCanvas::StretchDraw(const RECT& dest, TBitmap& bitmap) {
  if (!dc_ || bitmap.Empty()) return;
  HDC source = bitmap.CanvasHandle();
  if (!source) return;
  int w = dest.right - dest.left, h = dest.bottom - dest.top;
  if (w <= 0 || h <= 0) return;
  if (bitmap.Transparent()) {
    GdiTransparentBlt(dc_, dest.left, dest.top, w, h, source, 0, 0, bitmap.Width(), bitmap.Height(),
                      static_cast<UINT>(ColorToRGB(bitmap.TransparentColor())));
  } else {
    int oldMode = SetStretchBltMode(dc_, COLORONCOLOR);
    StretchBlt(dc_, dest.left, dest.top, w, h, source, 0, 0, bitmap.Width(), bitmap.Height(), SRCCOPY);
    SetStretchBltMode(dc_, oldMode);
  }
}

void TCanvas::CopyRect(const RECT& dest, TCanvas& source, const RECT& src) {
  if (!dc_ || !source.Handle()) return;
  int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  int sw = src.right - src.left, sh = src.bottom - src.top;
  if (dw == sw && dh == sh) {
    BitBlt(dc_, dest.left, dest.top, dw, dh, source.Handle(), src.left, src.top, SRCCOPY);
  } else {
    StretchBlt(dc_, dest.left, dest.top, dw, dh, source.Handle(), src.left, src.top, sw, sh, SRCCOPY);
  }
}

TColor TCanvas::Pixel(int x, int y) {
  if (!dc_) return clNone;
  COLORREF c = GetPixel(dc_, x, y);
  return c == CLR_INVALID ? clNone : static_cast<TColor>(c);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (dc_) ::SetPixelV(dc_, x, y, Ref(color));
}

// ---------------------------------------------------------------------------

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() { ReleaseCanvas(); }

void TBitmap::ReleaseCanvas() {
  canvas_.SetHandle(nullptr);
  if (dc_) {
    if (oldBitmap_) SelectObject(dc_.get(), oldBitmap_);
    oldBitmap_ = nullptr;
    dc_.reset();
  }
}

bool TBitmap::SetSize(int width, int height) {
  ReleaseCanvas();
  bitmap_.reset();
  bits_ = nullptr;
  width_ = height_ = 0;
  if (width <= 0 || height <= 0) return width == 0 || height == 0;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp || !bits) {
    if (bmp) DeleteObject(bmp);
    return false;
  }
  bitmap_.reset(bmp);
  bits_ = static_cast<std::uint32_t*>(bits);
  width_ = width;
  height_ = height;
  std::memset(bits_, 0, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  return true;
}

TCanvas& TBitmap::Canvas() {
  if (!dc_ && bitmap_) {
    dc_.reset(CreateCompatibleDC(nullptr));
    if (dc_) oldBitmap_ = SelectObject(dc_.get(), bitmap_.get());
    canvas_.SetHandle(dc_.get());
  }
  return canvas_;
}

void TBitmap::Assign(const TBitmap& source) {
  if (&source == this) return;
  transparent_ = source.transparent_;
  fixedTransparent_ = source.fixedTransparent_;
  transparentColor_ = source.transparentColor_;
  if (!SetSize(source.width_, source.height_) || Empty()) return;
  GdiFlush();
  std::memcpy(bits_, source.bits_, static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4);
}

TColor TBitmap::TransparentColor() const {
  if (fixedTransparent_) return transparentColor_;
  if (Empty()) return clDefault;
  return Pixel(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  fixedTransparent_ = color != clDefault;
}

TColor TBitmap::Pixel(int x, int y) const {
  const std::uint32_t* row = ScanLine(y);
  if (!row || x < 0 || x >= width_) return clNone;
  std::uint32_t v = row[x];
  return RGBColor(static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF));
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  std::uint32_t* row = ScanLine(y);
  if (!row || x < 0 || x >= width_) return;
  TColor c = ColorToRGB(color);
  row[x] = (static_cast<std::uint32_t>(RedOf(c)) << 16) | (static_cast<std::uint32_t>(GreenOf(c)) << 8) |
           static_cast<std::uint32_t>(BlueOf(c));
}

std::uint32_t* TBitmap::ScanLine(int y) {
  if (!bits_ || y < 0 || y >= height_) return nullptr;
  GdiFlush();
  return bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
}

const std::uint32_t* TBitmap::ScanLine(int y) const {
  if (!bits_ || y < 0 || y >= height_) return nullptr;
  GdiFlush();
  return bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
}

bool TBitmap::LoadFromHandle(HBITMAP source) {
  BITMAP info{};
  if (!source || !GetObjectA(source, sizeof info, &info)) return false;
  int h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  if (!SetSize(info.bmWidth, h) || Empty()) return false;
  TMemoryDC src(CreateCompatibleDC(nullptr));
  if (!src) return false;
  HGDIOBJ old = SelectObject(src.get(), source);
  bool ok = BitBlt(Canvas().Handle(), 0, 0, width_, height_, src.get(), 0, 0, SRCCOPY) != FALSE;
  SelectObject(src.get(), old);
  return ok;
}

bool TBitmap::LoadFromResourceName(HINSTANCE instance, const char* name) {
  HANDLE h = LoadImageA(instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (!h) return false;
  TGdiObject owned(static_cast<HGDIOBJ>(h));
  return LoadFromHandle(static_cast<HBITMAP>(h));
}
