#include "controls/QToggleBitBtn.h"

#include <algorithm>
#include <cmath>

#include "ui/CustomControl.h"
#include "ui/Form.h"
#include "ui/Handle.h"

namespace {

// Every live button, so that a group can be found among the parent's
// controls even before their windows exist. Main thread only.
std::vector<TQToggleBitBtn*>& Buttons() {
  static std::vector<TQToggleBitBtn*> buttons;
  return buttons;
}

// The fixed transparent colour of glyphs.
constexpr TColor kGlyphKey = RGBColor(255, 0, 255);

}  // namespace

namespace QButtonPaint {

TColor ContrastColor(TColor color) {
  const TColor c = ColorToRGB(color);
  return 30 * RedOf(c) + 59 * GreenOf(c) + 11 * BlueOf(c) > 12800 ? clBlack : clWhite;
}

TColor MixColor(TColor c, TColor target, int amount) {
  amount = std::clamp(amount, 0, 255);
  c = ColorToRGB(c);
  target = ColorToRGB(target);
  auto mix = [amount](int from, int to) { return from + amount * (to - from) / 255; };
  return RGBColor(mix(RedOf(c), RedOf(target)), mix(GreenOf(c), GreenOf(target)), mix(BlueOf(c), BlueOf(target)));
}

void EmbossColors(TColor c, bool pressed, TColor& light, TColor& dark) {
  light = MixColor(c, clWhite, 120);
  dark = MixColor(c, clBlack, 120);
  if (pressed) std::swap(light, dark);
}

int EmbossCornerOffset(int radius) {
  return static_cast<int>(std::trunc((1.0 - 0.70710678118654757) * radius * 0.5 + 0.5));
}

std::vector<POINT> EmbossUpperLeft(const RECT& f, int w, int radius) {
  RECT o = f;
  InflateRect(&o, w + 2, w + 2);
  const int k = EmbossCornerOffset(radius);
  return {POINT{o.left, o.top}, POINT{o.right, o.top}, POINT{f.right - 1 - k, f.top + k},
          POINT{f.left + k, f.bottom - 1 - k}, POINT{o.left, o.bottom}};
}

std::vector<POINT> MarkerRingPass(const RECT& i, int pass) {
  RECT ring = i;
  InflateRect(&ring, -4, -3);
  const int cx = (ring.left + ring.right) / 2, cy = (ring.top + ring.bottom) / 2;
  const double rx = (ring.right - ring.left) * 0.5, ry = (ring.bottom - ring.top) * 0.5;
  std::vector<POINT> points;
  for (int a = 28; a <= 332; a += 8) {
    const double rad = a * 3.14159265358979323846 / 180.0;
    // A little fixed jitter makes the ring look drawn by hand.
    const int jx = ((17 * a + 11 * pass) % 3) - 1;
    const int jy = ((13 * a + 7 * pass) % 3) - 1;
    points.push_back(POINT{static_cast<LONG>(std::trunc(std::cos(rad) * (rx - pass))) + cx + jx,
                           static_cast<LONG>(std::trunc(std::sin(rad) * (ry - pass))) + cy + jy});
  }
  return points;
}

int GlyphCell(int numGlyphs, bool enabled, bool pressed) {
  if (!enabled && numGlyphs >= 2) return 1;
  if (pressed && numGlyphs >= 3) return 2;
  return 0;
}

}  // namespace QButtonPaint

// ---------------------------------------------------------------------------

TQToggleBitBtn::TQToggleBitBtn(TComponent* owner) : TBitBtn(owner) {
  SetColor(clBtnFace);
  Buttons().push_back(this);
}

TQToggleBitBtn::~TQToggleBitBtn() {
  auto& all = Buttons();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void TQToggleBitBtn::SetFlatBorderWidth(int value) {
  value = std::clamp(value, 1, 8);
  if (value == flatBorderWidth_) return;
  flatBorderWidth_ = value;
  UpdateVisualState();
}

void TQToggleBitBtn::SetFlatDownBorderWidth(int value) {
  value = std::clamp(value, 1, 8);
  if (value == flatDownBorderWidth_) return;
  flatDownBorderWidth_ = value;
  UpdateVisualState();
}

void TQToggleBitBtn::SetCornerRadius(int value) {
  value = std::clamp(value, 0, 30);
  if (value == cornerRadius_) return;
  cornerRadius_ = value;
  UpdateVisualState();
}

#define VL_SIMPLE_SETTER(Name, Type, field)  \
  void TQToggleBitBtn::Set##Name(Type value) { \
    if (value == field) return;                \
    field = value;                             \
    UpdateVisualState();                       \
  }
VL_SIMPLE_SETTER(FlatBackColor, TColor, flatBackColor_)
VL_SIMPLE_SETTER(FlatUseParentColor, bool, flatUseParentColor_)
VL_SIMPLE_SETTER(DrawStyle, TQButtonDrawStyle, drawStyle_)
VL_SIMPLE_SETTER(TransparentBackground, bool, transparentBackground_)
VL_SIMPLE_SETTER(TransparentForeground, bool, transparentForeground_)
VL_SIMPLE_SETTER(Embossed, bool, embossed_)
VL_SIMPLE_SETTER(FlatBorderColor, TColor, flatBorderColor_)
VL_SIMPLE_SETTER(FlatDownBorderColor, TColor, flatDownBorderColor_)
VL_SIMPLE_SETTER(FlatDownColor, TColor, flatDownColor_)
VL_SIMPLE_SETTER(MarkerColor, TColor, markerColor_)
VL_SIMPLE_SETTER(MarkerTextColor, TColor, markerTextColor_)
VL_SIMPLE_SETTER(MarkerInactiveTextColor, TColor, markerInactiveTextColor_)
#undef VL_SIMPLE_SETTER

void TQToggleBitBtn::SetToggleMode(bool value) {
  if (value == toggleMode_) return;
  toggleMode_ = value;
  if (!value) down_ = false;  // directly: the group rule does not hold it down
  UpdateVisualState();
}

void TQToggleBitBtn::SetDown(bool value) {
  if (value == down_) return;
  if (!value && groupIndex_ != 0 && !allowAllUp_ && !releasing_) return;
  down_ = value;
  if (value && groupIndex_ != 0) ReleaseOtherButtons();
  UpdateVisualState();
}

void TQToggleBitBtn::ReleaseOtherButtons() {
  if (!Parent()) return;
  // A copy: a handler may create or destroy buttons.
  const std::vector<TQToggleBitBtn*> all = Buttons();
  for (TQToggleBitBtn* b : all) {
    if (b == this || b->Parent() != Parent() || b->groupIndex_ != groupIndex_) continue;
    b->releasing_ = true;
    b->SetDown(false);
    b->releasing_ = false;
  }
}

void TQToggleBitBtn::Click() {
  if (toggleMode_) {
    if (groupIndex_ == 0)
      SetDown(!down_);
    else if (!down_)
      SetDown(true);
    else if (allowAllUp_)
      SetDown(false);
    else
      UpdateVisualState();
  }
  TBitBtn::Click();
  UpdateVisualState();
}

void TQToggleBitBtn::PrepareGlyph() {
  if (Glyph().Empty()) return;
  Glyph().SetTransparentColor(kGlyphKey);
  Glyph().SetTransparent(true);
}

void TQToggleBitBtn::GlyphChanged() {
  PrepareGlyph();
  UpdateVisualState();
}

void TQToggleBitBtn::CreateWnd() {
  TBitBtn::CreateWnd();
  PrepareGlyph();
  UpdateVisualState();
}

bool TQToggleBitBtn::LoadGlyphFromImageList(TImageList* list, int index) {
  if (!list || index < 0 || index >= list->Count()) return false;
  TBitmap image;
  if (!image.SetSize(list->Width(), list->Height())) return false;
  image.Canvas().Brush().SetColor(kGlyphKey);
  image.Canvas().FillRect(RECT{0, 0, image.Width(), image.Height()});
  if (!list->Draw(image.Canvas(), 0, 0, index)) return false;
  image.SetTransparentColor(kGlyphKey);
  SetNumGlyphs(1);
  SetGlyph(image);  // prepares the glyph and repaints
  return true;
}

LRESULT TQToggleBitBtn::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (tracker_.Track(Handle(), msg)) {
    case TMouseTracker::mtEnter:
      if (!hot_) {
        hot_ = true;
        UpdateVisualState();
      }
      break;
    case TMouseTracker::mtLeave:
      if (hot_) {
        hot_ = false;
        UpdateVisualState();
      }
      break;
    case TMouseTracker::mtNone:
      break;
  }
  return TBitBtn::WndProc(msg, wParam, lParam);
}

// The parent's colour when it is a form or one of our own painted
// containers (panels, group boxes).
bool TQToggleBitBtn::ParentBackColor(TColor& color) {
  TWinControl* p = Parent();
  if (!p) return false;
  if (auto* custom = dynamic_cast<TCustomControl*>(p)) {
    color = custom->Color();
    return true;
  }
  if (dynamic_cast<TForm*>(p)) {
    color = clBtnFace;  // the forms' window class background
    return true;
  }
  return false;
}

void TQToggleBitBtn::PaintParentBackground(TCanvas& canvas, const RECT& item, TColor bg) {
  TColor parentColor = bg;
  const bool known = ParentBackColor(parentColor);
  HWND parentWnd = HandleAllocated() ? GetParent(Handle()) : nullptr;
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(parentWnd && known ? parentColor : bg);
  canvas.FillRect(item);
  if (!parentWnd) return;

  HDC dc = canvas.Handle();
  RECT self;
  GetWindowRect(Handle(), &self);
  MapWindowPoints(nullptr, parentWnd, reinterpret_cast<POINT*>(&self), 2);
  POINT origin;
  GetViewportOrgEx(dc, &origin);
  // The parent draws its client area shifted so that the button's part
  // lands on the button.
  SetViewportOrgEx(dc, origin.x - self.left, origin.y - self.top, nullptr);
  SendMessageA(parentWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  SendMessageA(parentWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  // Pictures that lie under the button are part of that background.
  for (HWND child = GetWindow(parentWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child == Handle() || !(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) continue;
    auto* picture = dynamic_cast<TCustomControl*>(TWinControl::FromHandle(child));
    if (!picture || !picture->IsBackgroundPicture()) continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parentWnd, reinterpret_cast<POINT*>(&r), 2);
    RECT overlap;
    if (!IntersectRect(&overlap, &r, &self)) continue;
    SetViewportOrgEx(dc, origin.x - self.left + r.left, origin.y - self.top + r.top, nullptr);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
    picture->PaintTo(dc);
    RestoreDC(dc, saved);
  }
  SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
}

void TQToggleBitBtn::DrawPlainFrame(TCanvas& canvas, const RECT& f, int radius, TColor color, int width) {
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetColor(color);
  canvas.Pen().SetWidth(width);
  canvas.Brush().SetStyle(bsClear);
  if (radius < 1)
    canvas.Rectangle(f);
  else
    canvas.RoundRect(f.left, f.top, f.right, f.bottom, radius, radius);
}

void TQToggleBitBtn::DrawEmbossedFrame(TCanvas& canvas, const RECT& f, int radius, TColor color, int width,
                                       bool pressed) {
  TPen savedPen;
  savedPen.Assign(canvas.Pen());
  TBrush savedBrush;
  savedBrush.Assign(canvas.Brush());
  TColor light, dark;
  QButtonPaint::EmbossColors(color, pressed, light, dark);
  HDC dc = canvas.Handle();
  if (radius > 0) {
    std::vector<POINT> ul = QButtonPaint::EmbossUpperLeft(f, width, radius);
    RECT o = f;
    InflateRect(&o, width + 2, width + 2);
    // Regions are in device units.
    LPtoDP(dc, ul.data(), static_cast<int>(ul.size()));
    LPtoDP(dc, reinterpret_cast<POINT*>(&o), 2);
    TGdiObject upper(CreatePolygonRgn(ul.data(), static_cast<int>(ul.size()), WINDING));
    TGdiObject lower(CreateRectRgn(o.left, o.top, o.right, o.bottom));
    if (upper && lower &&
        CombineRgn(static_cast<HRGN>(lower.get()), static_cast<HRGN>(lower.get()),
                   static_cast<HRGN>(upper.get()), RGN_DIFF) != ERROR) {
      for (int part = 0; part < 2; ++part) {
        // The canvas lets go of the DC around SaveDC and RestoreDC, so that
        // the saved state holds none of its objects (which it may replace).
        canvas.SetHandle(nullptr);
        const int saved = SaveDC(dc);
        canvas.SetHandle(dc);
        ExtSelectClipRgn(dc, static_cast<HRGN>(part == 0 ? upper.get() : lower.get()), RGN_AND);
        DrawPlainFrame(canvas, f, radius, part == 0 ? light : dark, width);
        canvas.SetHandle(nullptr);
        RestoreDC(dc, saved);
        canvas.SetHandle(dc);
      }
    } else {
      DrawPlainFrame(canvas, f, radius, color, width);
    }
  } else {
    canvas.Pen().SetStyle(psSolid);
    canvas.Pen().SetWidth(1);
    for (int i = 0; i < width; ++i) {
      const int l = f.left + i, t = f.top + i, r = f.right - 1 - i, b = f.bottom - 1 - i;
      if (r <= l || b <= t) break;
      canvas.Pen().SetColor(light);
      canvas.MoveTo(l, b);
      canvas.LineTo(l, t);
      canvas.LineTo(r, t);
      canvas.Pen().SetColor(dark);
      canvas.MoveTo(r, t);
      canvas.LineTo(r, b);
      canvas.LineTo(l, b);
    }
  }
  canvas.Pen().Assign(savedPen);
  canvas.Brush().Assign(savedBrush);
}

void TQToggleBitBtn::DrawMarkerRing(TCanvas& canvas, const RECT& item, TColor color) {
  TPen savedPen;
  savedPen.Assign(canvas.Pen());
  TBrush savedBrush;
  savedBrush.Assign(canvas.Brush());
  canvas.Brush().SetStyle(bsClear);
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetColor(color);
  canvas.Pen().SetWidth(2);
  for (int pass = 0; pass < 2; ++pass) {
    const std::vector<POINT> points = QButtonPaint::MarkerRingPass(item, pass);
    canvas.Polyline(points.data(), static_cast<int>(points.size()));
  }
  canvas.Pen().Assign(savedPen);
  canvas.Brush().Assign(savedBrush);
}

void TQToggleBitBtn::DrawItem(const DRAWITEMSTRUCT& dis) {
  if (!dis.hDC) return;
  const int saved = SaveDC(dis.hDC);
  try {
    DrawButton(dis);
  } catch (...) {
    // A paint cannot report anything; what was drawn stays.
  }
  RestoreDC(dis.hDC, saved);
}

void TQToggleBitBtn::DrawButton(const DRAWITEMSTRUCT& dis) {
  TCanvas c(dis.hDC);
  const RECT item = dis.rcItem;
  const bool pressed = down_ || (dis.itemState & ODS_SELECTED);
  const bool focused = (dis.itemState & ODS_FOCUS) != 0;
  const bool enabled = !(dis.itemState & ODS_DISABLED) && Enabled();

  // Background.
  TColor bg = Color();
  if (drawStyle_ == qbsFlat || drawStyle_ == qbsSpeedButton) {
    bg = flatBackColor_;
    TColor parent;
    if (flatUseParentColor_ && ParentBackColor(parent)) bg = parent;
  }
  if (transparentBackground_) {
    PaintParentBackground(c, item, bg);
  } else {
    c.Brush().SetColor(bg);
    c.FillRect(item);
  }

  // The face by look; p becomes the caption's rectangle.
  RECT p = item;
  TColor tc = enabled ? QButtonPaint::ContrastColor(Color()) : clGrayText;
  bool bold = false;
  const int w = pressed ? flatDownBorderWidth_ : flatBorderWidth_;
  const TColor face = pressed ? flatDownColor_ : Color();
  const TColor border = pressed ? flatDownBorderColor_ : flatBorderColor_;
  RECT f = item;
  InflateRect(&f, -(w + 1) / 2, -(w + 1) / 2);
  const TColor flatText =
      !enabled ? clGrayText : (transparentForeground_ ? Font().Color() : QButtonPaint::ContrastColor(face));
  switch (drawStyle_) {
    case qbsClassic:
      DrawEdge(dis.hDC, &p, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
      if (!transparentForeground_) {
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(p);
      }
      if (pressed) OffsetRect(&p, 1, 1);
      InflateRect(&p, -4, -2);
      if (transparentForeground_) tc = enabled ? Font().Color() : clGrayText;
      break;
    case qbsFlat:
      c.Pen().SetStyle(psSolid);
      c.Pen().SetColor(border);
      c.Pen().SetWidth(w);
      c.Brush().SetStyle(transparentForeground_ ? bsClear : bsSolid);
      c.Brush().SetColor(face);
      if (cornerRadius_ < 1)
        c.Rectangle(f);
      else
        c.RoundRect(f.left, f.top, f.right, f.bottom, cornerRadius_, cornerRadius_);
      p = f;
      InflateRect(&p, -(w + 5), -(w + 3));
      tc = flatText;
      break;
    case qbsSpeedButton:
      if (!transparentForeground_) {
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(face);
        if (cornerRadius_ < 1) {
          c.FillRect(f);
        } else {
          // Without an outline GDI fills one pixel short on the right and bottom.
          c.Pen().SetStyle(psClear);
          c.RoundRect(f.left, f.top, f.right + 1, f.bottom + 1, cornerRadius_, cornerRadius_);
          c.Pen().SetStyle(psSolid);
        }
      }
      if (pressed || hot_) {
        if (embossed_)
          DrawEmbossedFrame(c, f, cornerRadius_, border, w, pressed);
        else
          DrawPlainFrame(c, f, cornerRadius_, border, w);
      }
      p = f;
      if (pressed) OffsetRect(&p, 1, 1);
      InflateRect(&p, -(w + 4), -(w + 2));
      tc = flatText;
      break;
    case qbsMarkerCircle:
      InflateRect(&p, -4, -2);
      if (pressed && enabled) {
        DrawMarkerRing(c, item, markerColor_);
        tc = markerTextColor_;
        bold = true;
      } else {
        tc = enabled ? markerInactiveTextColor_ : clGrayText;
      }
      break;
  }

  // The caption's font.
  c.Font().Assign(Font());
  c.Font().SetColor(tc);
  if (bold) c.Font().SetStyle(c.Font().Style() | fsBold);
  c.Brush().SetStyle(bsClear);

  // Glyph and caption placement.
  const std::string caption = Text();
  const UINT textFlags = DT_SINGLELINE;
  const SIZE ts = caption.empty() ? SIZE{0, 0} : c.TextExtentFormatted(caption, textFlags);
  TBitmap& glyph = Glyph();
  const bool hasGlyph = !glyph.Empty();
  const int cells = std::max(NumGlyphs(), 1);
  const int gw = hasGlyph ? glyph.Width() / cells : 0, gh = hasGlyph ? glyph.Height() : 0;
  const TGlyphPlacement at =
      PlaceGlyphAndCaption(p, hasGlyph, gw, gh, !caption.empty(), ts.cx, ts.cy, Layout(), Margin(), Spacing());

  // A disabled caption: a highlight copy one pixel down and right, then grey.
  auto drawCaption = [&](RECT r, UINT flags) {
    if (!enabled) {
      RECT shadow = r;
      OffsetRect(&shadow, 1, 1);
      c.Font().SetColor(clBtnHighlight);
      c.TextRect(shadow, caption, flags);
      c.Font().SetColor(clGrayText);
    }
    c.TextRect(r, caption, flags);
  };

  if (hasGlyph) {
    const int cell = QButtonPaint::GlyphCell(cells, enabled, pressed);
    glyph.SetTransparentColor(kGlyphKey);
    glyph.SetTransparent(true);
    c.DrawPart(at.Glyph.x, at.Glyph.y, glyph, RECT{cell * gw, 0, cell * gw + gw, gh});
    if (!caption.empty())
      drawCaption(RECT{at.Text.x, at.Text.y, at.Text.x + ts.cx + 2, at.Text.y + ts.cy + 2},
                  textFlags | DT_VCENTER | DT_LEFT);
  } else if (!caption.empty()) {
    drawCaption(p, textFlags | DT_VCENTER | DT_CENTER);
  }

  if (drawStyle_ == qbsClassic && focused && enabled) {
    RECT fr = p;
    InflateRect(&fr, -2, -2);
    c.DrawFocusRect(fr);
  }
}
