// Colours, fonts, pens, brushes, a canvas over a device context and a 32-bit
// bitmap with pixel access: the drawing objects of our controls.
//
// TColor keeps the class library's layout: 0x00BBGGRR for plain colours, and
// 0xFF0000nn for the system colour nn (COLOR_BTNFACE, …), which ColorToRGB
// resolves. Nothing here throws; a failed GDI call draws nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/Component.h"
#include "ui/Handle.h"

using TColor = std::uint32_t;

constexpr TColor clSystemColor = 0xFF000000u;

constexpr TColor RGBColor(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr bool IsSystemColor(TColor c) { return (c & 0xFF000000u) == clSystemColor; }

// A system colour becomes its present RGB value; any other colour is masked
// to its red, green and blue bytes.
TColor ColorToRGB(TColor color);

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000,
                 clOlive = 0x008080, clNavy = 0x800000, clPurple = 0x800080,
                 clTeal = 0x808000, clGray = 0x808080, clSilver = 0xC0C0C0,
                 clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00,
                 clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;

constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
constexpr TColor clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION;
constexpr TColor clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION;
constexpr TColor clMenu = clSystemColor | COLOR_MENU;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
constexpr TColor clMenuText = clSystemColor | COLOR_MENUTEXT;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clCaptionText = clSystemColor | COLOR_CAPTIONTEXT;
constexpr TColor clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER;
constexpr TColor clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER;
constexpr TColor clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;
constexpr TColor clHotLight = clSystemColor | COLOR_HOTLIGHT;
constexpr TColor clGradientActiveCaption = clSystemColor | COLOR_GRADIENTACTIVECAPTION;
constexpr TColor clGradientInactiveCaption = clSystemColor | COLOR_GRADIENTINACTIVECAPTION;
constexpr TColor clMenuHighlight = clSystemColor | COLOR_MENUHILIGHT;
constexpr TColor clMenuBar = clSystemColor | COLOR_MENUBAR;

// ---------------------------------------------------------------------------
// Pens, brushes and fonts: property holders that make their GDI object on
// first use. A change drops the old object (a canvas that has it selected
// takes it out of its DC first) and then calls OnChange.
class TGraphicsObject : public TObject {
 public:
  std::function<void(TGraphicsObject* sender)> OnChange;

 protected:
  void Changed();
  TGdiObject handle_;

 private:
  friend class TCanvas;
  std::function<void()> beforeDrop_;  // the canvas that owns the object
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

class TPen : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);  // at least 1
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  void Assign(const TPen& other);
  HPEN Handle();

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  void Assign(const TBrush& other);
  HBRUSH Handle();  // the stock hollow brush for bsClear

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

class TFont : public TGraphicsObject {
 public:
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  // Height in pixels as LOGFONT has it: negative is the character height.
  int Height() const { return height_; }
  void SetHeight(int height);
  // Size in points at the screen's resolution.
  int Size() const;
  void SetSize(int points);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  // Angle of the text's base line in tenths of a degree, counter-clockwise
  // (2700 runs the text downwards).
  int Orientation() const { return orientation_; }
  void SetOrientation(int tenths);
  BYTE Charset() const { return charset_; }
  void SetCharset(BYTE charset);
  void Assign(const TFont& other);
  HFONT Handle();

  static int ScreenPixelsPerInch();

 private:
  std::string name_ = "Tahoma";
  int height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
  int orientation_ = 0;
  BYTE charset_ = DEFAULT_CHARSET;
};

class TBitmap;

// ---------------------------------------------------------------------------
// TCanvas: drawing on a device context with its own pen, brush and font.
// The objects are selected on demand and the DC's own objects are put back
// when the canvas lets go of the DC (SetHandle, destruction). Every call on
// a canvas without a DC does nothing.
class TCanvas : public TObject {
 public:
  TCanvas();
  explicit TCanvas(HDC dc);
  ~TCanvas() override;

  HDC Handle() const { return dc_; }
  void SetHandle(HDC dc);

  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  TFont& Font() { return font_; }

  void FillRect(const RECT& r);   // with the brush, no outline
  void FrameRect(const RECT& r);  // one-pixel frame in the brush colour
  void Rectangle(int left, int top, int right, int bottom);  // pen outline, brush inside
  void Rectangle(const RECT& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void RoundRect(int left, int top, int right, int bottom, int ellipseW, int ellipseH);
  void Ellipse(int left, int top, int right, int bottom);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const POINT* points, int count);
  void Polygon(const POINT* points, int count);
  void DrawFocusRect(const RECT& r);

  // Text in the font's colour; a clear brush leaves the background.
  void TextOut(int x, int y, const std::string& text);
  // DrawText into r with the DT_… flags.
  void TextRect(RECT r, const std::string& text, UINT format);
  SIZE TextExtent(const std::string& text);
  // The size DrawText gives the text with these DT_… flags ("&" prefixes
  // taken out unless DT_NOPREFIX).
  SIZE TextExtentFormatted(const std::string& text, UINT format);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  bool GetTextMetrics(TEXTMETRICA& tm);

  // Draws the bitmap at its own size; a transparent bitmap leaves the
  // pixels of its transparent colour out.
  void Draw(int x, int y, TBitmap& bitmap);
  // Draws the part src of the bitmap at (x, y), with the same rule.
  void DrawPart(int x, int y, TBitmap& bitmap, const RECT& src);
  void StretchDraw(const RECT& dest, TBitmap& bitmap);
  // Copies src of another canvas onto dest of this one.
  void CopyRect(const RECT& dest, TCanvas& source, const RECT& src);

  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);

 private:
  bool RequirePen();
  bool RequireBrush();
  bool RequireFont();
  void ReleaseObjects();

  HDC dc_ = nullptr;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  HGDIOBJ oldPen_ = nullptr, oldBrush_ = nullptr, oldFont_ = nullptr;
  bool penIn_ = false, brushIn_ = false, fontIn_ = false;
};

// ---------------------------------------------------------------------------
// TBitmap: a top-down 32-bit DIB section with a canvas on a memory DC and
// direct pixel access. Transparency: when Transparent is set, Draw leaves out
// the pixels of TransparentColor, which is a fixed colour once set and the
// bottom-left pixel until then.
class TBitmap : public TObject {
 public:
  TBitmap();
  ~TBitmap() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  // A new black image of that size; false (and empty) when it cannot be made.
  bool SetSize(int width, int height);
  void Clear() { SetSize(0, 0); }
  // Copies pixels and transparency settings.
  void Assign(const TBitmap& source);

  TCanvas& Canvas();
  HDC CanvasHandle() { return Canvas().Handle(); }
  // The DIB section. Before another DC selects it, call ReleaseCanvas.
  HBITMAP Handle() const { return bitmap_.get() ? static_cast<HBITMAP>(bitmap_.get()) : nullptr; }
  // Takes the bitmap out of its memory DC; Canvas() makes a new one.
  void ReleaseCanvas();

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent) { transparent_ = transparent; }
  TColor TransparentColor() const;
  void SetTransparentColor(TColor color);
  bool TransparentColorFixed() const { return fixedTransparent_; }

  TColor Pixel(int x, int y) const;  // clNone outside
  void SetPixel(int x, int y, TColor color);
  // Row y as 0x00RRGGBB values (the DIB's order); null outside.
  std::uint32_t* ScanLine(int y);
  const std::uint32_t* ScanLine(int y) const;

  // Copies any GDI bitmap into this one at its own size.
  bool LoadFromHandle(HBITMAP source);
  // A BITMAP resource by name or MAKEINTRESOURCE id.
  bool LoadFromResourceName(HINSTANCE instance, const char* name);

 private:
  TGdiObject bitmap_;
  TMemoryDC dc_;
  HGDIOBJ oldBitmap_ = nullptr;
  TCanvas canvas_;
  std::uint32_t* bits_ = nullptr;
  int width_ = 0, height_ = 0;
  bool transparent_ = false;
  bool fixedTransparent_ = false;
  TColor transparentColor_ = clDefault;
};
