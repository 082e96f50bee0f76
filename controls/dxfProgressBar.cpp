#include "controls/dxfProgressBar.h"

#include <algorithm>
#include <cmath>

#include "ui/Handle.h"

namespace dxfProgress {

int FillLength(int position, int length, int min, int max) {
  if (max <= min || length <= 0 || position <= min) return 0;
  // In floating point, so that neither the product nor the range overflows.
  const double f = (static_cast<double>(position) - min) * length / (static_cast<double>(max) - min);
  if (!(f > 0)) return 0;
  if (f >= length) return length;
  return static_cast<int>(f);  // truncated toward zero
}

TColor Gradient(int i, int n, TColor begin, TColor end) {
  if (n <= 0) return begin & 0xFFFFFF;
  auto part = [&](int b, int e) {
    const double v = std::trunc(static_cast<double>(i) * (e - b) / n + b);
    return static_cast<int>(std::clamp(v, 0.0, 255.0));
  };
  return RGBColor(part(RedOf(begin), RedOf(end)), part(GreenOf(begin), GreenOf(end)),
                  part(BlueOf(begin), BlueOf(end)));
}

// Nearest integer, ties to the even neighbour, kept inside int.
static long long RoundHalfEven(double v) {
  v = std::clamp(v, -9.0e15, 9.0e15);
  const double f = std::floor(v);
  const double d = v - f;
  long long r = static_cast<long long>(f);
  if (d > 0.5 || (d == 0.5 && (r % 2 != 0))) ++r;
  return r;
}

bool ProgressText(TdxfShowTextStyle style, int position, int min, int max, std::string& text) {
  if (style == stsPosition) {
    text = std::to_string(position);
    return true;
  }
  if (max == min) {
    text.clear();
    return false;
  }
  const double p = (static_cast<double>(position) - min) * 100.0 / (static_cast<double>(max) - min);
  text = std::to_string(RoundHalfEven(p)) + " %";
  return true;
}

static RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

TGeometry Layout(const TInput& in) {
  TGeometry g;
  RECT r{0, 0, std::max(in.Width, 0), std::max(in.Height, 0)};
  if (in.BevelOuter != bvNone) {
    r.left += 2;
    r.top += 2;
    r.right = std::max(r.left, r.right - 2);
    r.bottom = std::max(r.top, r.bottom - 2);
  }
  g.Inner = r;
  const int rw = r.right - r.left, rh = r.bottom - r.top;
  const bool horizontal = in.Orientation == orHorizontal;
  const int fill = FillLength(in.Position, horizontal ? rw : rh, in.Min, in.Max);
  if (in.Position == in.Min || fill <= 0) return g;
  g.HasBar = true;
  RECT b = r;
  if (horizontal)
    b.right = r.left + fill;
  else
    b.top = r.bottom - fill;
  g.Bar = b;
  const bool atEnd = in.Position >= in.Max;

  switch (in.Style) {
    case sSolid:
      g.Fills.push_back({b, in.BeginColor});
      break;
    case sExSolid:
      if (horizontal) {
        for (int x = b.left; x < b.right; ++x)
          g.Fills.push_back({Rect(x, b.top, x + 1, b.bottom), Gradient(x - b.left, rw, in.BeginColor, in.EndColor)});
      } else {
        for (int y = b.bottom - 1; y >= b.top; --y)
          g.Fills.push_back({Rect(b.left, y, b.right, y + 1), Gradient(b.bottom - y, rh, in.BeginColor, in.EndColor)});
      }
      break;
    case sRectangles:
    case sExRectangles: {
      g.BevelEachFill = true;
      const bool ex = in.Style == sExRectangles;
      if (horizontal) {
        const int pitch = 2 * rh / 3 + 2;
        int q = r.left;  // with no whole block the last one starts at the bar's start
        for (int k = 1; r.left + k * pitch <= b.right - 1; ++k) {
          const int boundary = r.left + k * pitch;
          g.Fills.push_back({Rect(r.left + (k - 1) * pitch, b.top, boundary - 2, b.bottom),
                             ex ? Gradient(boundary - r.left, rw, in.BeginColor, in.EndColor) : in.BeginColor});
          q = boundary;
        }
        if (atEnd && q < b.right)
          g.Fills.push_back({Rect(q, b.top, b.right, b.bottom),
                             ex ? Gradient(q - r.left, rw, in.BeginColor, in.EndColor) : in.BeginColor});
      } else {
        const int pitch = 2 * rw / 3 + 2;
        int q = b.bottom - 1;  // as if block 0 ended here
        for (int k = 1; b.bottom - 1 - k * pitch >= b.top; ++k) {
          const int y = b.bottom - 1 - k * pitch;
          g.Fills.push_back({Rect(b.left, y + 2, b.right, y + pitch),
                             ex ? Gradient(b.bottom - y, rh, in.BeginColor, in.EndColor) : in.BeginColor});
          q = y;
        }
        if (atEnd && b.top < q)
          g.Fills.push_back({Rect(b.left, b.top, b.right, q),
                             ex ? Gradient(b.bottom - q, rh, in.BeginColor, in.EndColor) : in.BeginColor});
      }
      break;
    }
    case sPictures: {
      if (in.GlyphWidth <= 0 || in.GlyphHeight <= 0) break;
      if (horizontal) {
        const int pitch = in.GlyphWidth;
        int q = b.left;
        for (int x = b.left + pitch; x <= b.right - 1; x += pitch) {
          g.Tiles.push_back(POINT{x - pitch, b.top});
          q = x;
        }
        if (in.Position == in.Max) g.Tiles.push_back(POINT{q, b.top});
      } else {
        const int pitch = in.GlyphHeight;
        int q = b.bottom - 1;
        for (int y = b.bottom - 1 - pitch; y >= b.top; y -= pitch) {
          g.Tiles.push_back(POINT{b.left, y});
          q = y;
        }
        if (in.Position == in.Max) g.Tiles.push_back(POINT{b.left, q - in.GlyphHeight});
      }
      break;
    }
  }
  return g;
}

RECT PositionStrip(const TInput& in, int oldPosition) {
  const int w = std::max(in.Width, 0), h = std::max(in.Height, 0);
  const int lo = std::min(oldPosition, in.Position), hi = std::max(oldPosition, in.Position);
  RECT s{0, 0, 0, 0};
  if (in.Orientation == orHorizontal) {
    s = RECT{FillLength(lo, w, in.Min, in.Max) - 2, 0, FillLength(hi, w, in.Min, in.Max) + 2, h};
    int widen = 0;
    if (in.Style == sRectangles || in.Style == sExRectangles) widen = 2 * h / 3 + 2;
    if (in.Style == sPictures) widen = std::max(in.GlyphWidth, 0);
    s.left -= widen;
    s.right += widen;
  } else {
    s = RECT{0, h - FillLength(hi, h, in.Min, in.Max) - 2, w, h - FillLength(lo, h, in.Min, in.Max) + 2};
    int widen = 0;
    if (in.Style == sRectangles || in.Style == sExRectangles) widen = 2 * w / 3 + 2;
    if (in.Style == sPictures) widen = std::max(in.GlyphHeight, 0);
    s.top -= widen;
    s.bottom += widen;
  }
  if (s.right <= s.left || s.bottom <= s.top) s = RECT{0, 0, 0, 0};
  return s;
}

POINT TextOrigin(int width, int height, TdxfPBOrientation orientation, SIZE text) {
  if (orientation == orHorizontal) return POINT{(width - text.cx) / 2, (height - text.cy) / 2};
  // Turned to run downwards: the glyphs' tops face right, so the reference
  // point is the box's top-right corner.
  return POINT{(width - text.cy) / 2 + text.cy, (height - text.cx) / 2};
}

RECT TextBox(int width, int height, TdxfPBOrientation orientation, SIZE text) {
  if (orientation == orHorizontal) {
    const int x = (width - text.cx) / 2, y = (height - text.cy) / 2;
    return RECT{x, y, x + text.cx, y + text.cy};
  }
  const int x = (width - text.cy) / 2, y = (height - text.cx) / 2;
  return RECT{x, y, x + text.cy, y + text.cx};
}

}  // namespace dxfProgress

// ---------------------------------------------------------------------------

TdxfProgressBar::TdxfProgressBar(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 150, 16); }

TdxfProgressBar::~TdxfProgressBar() = default;

void TdxfProgressBar::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.WinClassName = "TdxfProgressBar";
}

void TdxfProgressBar::SetBarBevelOuter(TdxfBevelOuter value) {
  if (value == barBevelOuter_) return;
  barBevelOuter_ = value;
  Invalidate();
}

void TdxfProgressBar::SetBevelOuter(TdxfBevelOuter value) {
  if (value == bevelOuter_) return;
  bevelOuter_ = value;
  Invalidate();
}

void TdxfProgressBar::SetOrientation(TdxfPBOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  Invalidate();
}

void TdxfProgressBar::SetMax(int value) {
  if (value == max_ || value < min_) return;
  max_ = value;
  Invalidate();
}

void TdxfProgressBar::SetMin(int value) {
  if (value == min_ || value > max_) return;
  min_ = value;
  Invalidate();
}

void TdxfProgressBar::SetPosition(int value) {
  if (value == position_) return;
  const int old = position_;
  position_ = value;
  InvalidatePosition(old);
  if (showText_) invalidateText();
}

void TdxfProgressBar::SetShowText(bool value) {
  if (value == showText_) return;
  showText_ = value;
  Invalidate();
}

void TdxfProgressBar::SetShowTextStyle(TdxfShowTextStyle value) {
  if (value == showTextStyle_) return;
  showTextStyle_ = value;
  if (showText_) Invalidate();
}

void TdxfProgressBar::SetBeginColor(TColor value) {
  if (value == beginColor_) return;
  beginColor_ = value;
  if (style_ != sPictures) Invalidate();
}

void TdxfProgressBar::SetEndColor(TColor value) {
  if (value == endColor_) return;
  endColor_ = value;
  if (style_ == sExSolid || style_ == sExRectangles) Invalidate();
}

void TdxfProgressBar::SetStyle(TdxfPBStyle value) {
  if (value == style_) return;
  style_ = value;
  Invalidate();
}

void TdxfProgressBar::SetGlyph(const TBitmap& glyph) {
  glyph_.Assign(glyph);
  if (!glyph_.Empty()) {
    if (orientation_ == orVertical)
      SetBounds(Left(), Top(), glyph_.Width() + 4, Height());
    else
      SetBounds(Left(), Top(), Width(), glyph_.Height() + 4);
    glyph_.SetTransparent(transparentGlyph_);
  }
  if (style_ == sPictures) Invalidate();
}

void TdxfProgressBar::SetTransparentGlyph(bool value) {
  if (value == transparentGlyph_) return;
  transparentGlyph_ = value;
  glyph_.SetTransparent(value);
  Invalidate();
}

void TdxfProgressBar::StepBy(int delta) {
  if (delta != 0) SetPosition(position_ + delta);
}

void TdxfProgressBar::StepIt() {
  if (step_ != 0) SetPosition(position_ + step_);
}

dxfProgress::TInput TdxfProgressBar::LayoutInput() {
  dxfProgress::TInput in;
  RECT c = ClientRect();
  in.Width = c.right - c.left;
  in.Height = c.bottom - c.top;
  in.BevelOuter = bevelOuter_;
  in.Orientation = orientation_;
  in.Style = style_;
  in.Min = min_;
  in.Max = max_;
  in.Position = position_;
  // System colours take their present value before they are mixed.
  in.BeginColor = ColorToRGB(beginColor_);
  in.EndColor = ColorToRGB(endColor_);
  in.GlyphWidth = glyph_.Width();
  in.GlyphHeight = glyph_.Height();
  return in;
}

void TdxfProgressBar::InvalidatePosition(int oldPosition) {
  if (!HandleAllocated()) return;
  InvalidatePart(dxfProgress::PositionStrip(LayoutInput(), oldPosition));
}

void TdxfProgressBar::invalidateText() {
  if (!HandleAllocated()) return;
  // The widest text the bar can show.
  const std::string widest = showTextStyle_ == stsPercent ? std::string("100 %") : std::to_string(max_);
  TWindowDC wdc(Handle());
  TCanvas measure(wdc.get());
  measure.Font().Assign(Font());
  const SIZE s = measure.TextExtent(widest);
  measure.SetHandle(nullptr);
  RECT c = ClientRect();
  InvalidatePart(dxfProgress::TextBox(c.right, c.bottom, orientation_, s));
}

void TdxfProgressBar::DrawBevel(HDC dc, RECT r, TdxfBevelOuter bevel) {
  if (bevel == bvLowered)
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  else if (bevel == bvRaised)
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
}

void TdxfProgressBar::Paint() {
  try {
    PaintBar();
  } catch (...) {
    // Whatever was drawn stays; a paint has no one to report to.
  }
}

void TdxfProgressBar::PaintBar() {
  TCanvas& c = Canvas();
  HDC dc = c.Handle();
  if (!dc) return;
  const dxfProgress::TInput in = LayoutInput();
  RECT client{0, 0, in.Width, in.Height};
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(client);
  DrawBevel(dc, client, bevelOuter_);

  const dxfProgress::TGeometry g = dxfProgress::Layout(in);
  if (g.HasBar) {
    for (const dxfProgress::TFill& f : g.Fills) {
      c.Brush().SetColor(f.Color);
      c.FillRect(f.Rect);
      if (g.BevelEachFill) DrawBevel(dc, f.Rect, barBevelOuter_);
    }
    if (!g.Tiles.empty() && !glyph_.Empty()) {
      // A last tile may reach past the bar's end: it is cut at the inner edge.
      // The canvas lets go of the DC around SaveDC and RestoreDC, so that
      // the saved state holds none of its objects.
      c.SetHandle(nullptr);
      const int saved = SaveDC(dc);
      c.SetHandle(dc);
      IntersectClipRect(dc, g.Inner.left, g.Inner.top, g.Inner.right, g.Inner.bottom);
      for (const POINT& p : g.Tiles) c.Draw(p.x, p.y, glyph_);
      c.SetHandle(nullptr);
      RestoreDC(dc, saved);
      c.SetHandle(dc);
    }
    if (!g.BevelEachFill && style_ != sPictures) DrawBevel(dc, g.Bar, barBevelOuter_);
  }

  std::string text;
  if (showText_ && dxfProgress::ProgressText(showTextStyle_, position_, min_, max_, text)) {
    c.Brush().SetStyle(bsClear);
    const SIZE s = c.TextExtent(text);
    if (orientation_ == orHorizontal) {
      const POINT at = dxfProgress::TextOrigin(in.Width, in.Height, orientation_, s);
      c.TextOut(at.x, at.y, text);
    } else {
      TEXTMETRICA tm{};
      const bool trueType = c.GetTextMetrics(tm) && (tm.tmPitchAndFamily & TMPF_TRUETYPE);
      TFont turned;
      turned.Assign(c.Font());
      if (!trueType) turned.SetName("Arial");
      turned.SetOrientation(2700);
      c.Font().Assign(turned);
      const POINT at = dxfProgress::TextOrigin(in.Width, in.Height, orientation_, s);
      c.TextOut(at.x, at.y, text);
    }
  }
}
