// TdxfProgressBar: a progress bar that draws itself: a solid bar, a row of
// blocks, a colour gradient, gradient blocks or tiles of a picture,
// horizontal or vertical, with optional bevels and a centred text.
//
// The bar never divides by an empty range: with Max equal to Min it draws no
// fill and no percentage. Painting never throws.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/CustomControl.h"
#include "ui/Graphics.h"

enum TdxfBevelOuter { bvNone, bvLowered, bvRaised };
enum TdxfPBOrientation { orVertical, orHorizontal };
enum TdxfShowTextStyle { stsPercent, stsPosition };
enum TdxfPBStyle { sSolid, sRectangles, sExSolid, sExRectangles, sPictures };

// What one paint draws, worked out apart from the drawing so that it can be
// checked on its own.
namespace dxfProgress {

struct TInput {
  int Width = 0, Height = 0;  // the control's client size
  TdxfBevelOuter BevelOuter = bvLowered;
  TdxfPBOrientation Orientation = orHorizontal;
  TdxfPBStyle Style = sRectangles;
  int Min = 0, Max = 100, Position = 0;
  TColor BeginColor = 0, EndColor = 0;  // plain RGB
  int GlyphWidth = 0, GlyphHeight = 0;
};

struct TFill {
  RECT Rect;
  TColor Color;
};

struct TGeometry {
  RECT Inner{};         // the area inside the outer bevel
  bool HasBar = false;  // false: nothing is filled
  RECT Bar{};           // the filled part of Inner
  // Solid: the bar; gradient: one line per column or row; blocks: each block.
  std::vector<TFill> Fills;
  bool BevelEachFill = false;  // blocks carry the bar bevel each, else it goes round Bar
  std::vector<POINT> Tiles;    // top-left corners of the picture tiles
};

// The filled length of a length-pixel bar at position, 0 to length. An empty
// range (max equal to min) and a position at or below min fill nothing.
int FillLength(int position, int length, int min, int max);
// Colour i of n steps from begin to end, per component, truncated.
TColor Gradient(int i, int n, TColor begin, TColor end);
// The text the bar shows; false when there is none (a percentage of an
// empty range).
bool ProgressText(TdxfShowTextStyle style, int position, int min, int max, std::string& text);
TGeometry Layout(const TInput& in);
// The strip that a move from oldPosition to in.Position repaints; empty when
// nothing does.
RECT PositionStrip(const TInput& in, int oldPosition);
// Where a text of size text (unrotated width and height) is drawn: the
// reference point for TextOut, and the box it covers.
POINT TextOrigin(int width, int height, TdxfPBOrientation orientation, SIZE text);
RECT TextBox(int width, int height, TdxfPBOrientation orientation, SIZE text);

}  // namespace dxfProgress

class TdxfProgressBar : public TCustomControl {
 public:
  explicit TdxfProgressBar(TComponent* owner);
  ~TdxfProgressBar() override;

  TdxfBevelOuter BarBevelOuter() const { return barBevelOuter_; }
  void SetBarBevelOuter(TdxfBevelOuter value);
  TdxfBevelOuter BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TdxfBevelOuter value);
  TdxfPBOrientation Orientation() const { return orientation_; }
  void SetOrientation(TdxfPBOrientation value);
  // Max below Min and Min above Max are refused.
  int Max() const { return max_; }
  void SetMax(int value);
  int Min() const { return min_; }
  void SetMin(int value);
  // Not clamped: beyond Max the fill stops at the end, below Min nothing fills.
  int Position() const { return position_; }
  void SetPosition(int value);
  bool ShowText() const { return showText_; }
  void SetShowText(bool value);
  TdxfShowTextStyle ShowTextStyle() const { return showTextStyle_; }
  void SetShowTextStyle(TdxfShowTextStyle value);
  TColor BeginColor() const { return beginColor_; }
  void SetBeginColor(TColor value);
  TColor EndColor() const { return endColor_; }
  void SetEndColor(TColor value);
  TdxfPBStyle Style() const { return style_; }
  void SetStyle(TdxfPBStyle value);
  // The tile picture of sPictures. Setting it sizes the bar across to the
  // picture plus 4 pixels.
  const TBitmap& Glyph() const { return glyph_; }
  void SetGlyph(const TBitmap& glyph);
  int Step() const { return step_; }
  void SetStep(int value) { step_ = value; }
  bool TransparentGlyph() const { return transparentGlyph_; }
  void SetTransparentGlyph(bool value);

  void StepBy(int delta);
  void StepIt();

  // The partial repaints of a position change: the strip between the old and
  // the new end of the fill, and the box of the text.
  void InvalidatePosition(int oldPosition);
  void invalidateText();

  // What a paint at the present size and settings draws.
  dxfProgress::TInput LayoutInput();

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;

 private:
  void PaintBar();
  void DrawBevel(HDC dc, RECT r, TdxfBevelOuter bevel);

  TdxfBevelOuter barBevelOuter_ = bvNone;
  TdxfBevelOuter bevelOuter_ = bvLowered;
  TdxfPBOrientation orientation_ = orHorizontal;
  int max_ = 100;
  int min_ = 0;
  int position_ = 0;
  bool showText_ = false;
  TdxfShowTextStyle showTextStyle_ = stsPercent;
  TColor beginColor_ = RGBColor(0, 0, 128);
  TColor endColor_ = RGBColor(255, 255, 255);
  TdxfPBStyle style_ = sRectangles;
  TBitmap glyph_;
  int step_ = 10;
  bool transparentGlyph_ = true;
};
