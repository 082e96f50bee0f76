// TQToggleBitBtn: a bitmap push button that draws itself completely and can
// act as a toggle: it stays down after a click, and buttons with the same
// group number under one parent behave like radio buttons. Four looks: the
// classic sunken/raised edge, a flat face with a coloured border, a speed
// button whose frame shows only under the mouse or while pressed, and a
// marker ring round the caption of a pressed button. It can paint its
// parent's background under itself.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/Graphics.h"
#include "ui/ImageList.h"
#include "ui/StdCtrls.h"

enum TQButtonDrawStyle { qbsClassic, qbsFlat, qbsSpeedButton, qbsMarkerCircle };

// The button's colour and shape rules, apart from the drawing.
namespace QButtonPaint {

// Black on light colours, white on dark: black when 30 r + 59 g + 11 b
// exceeds 12800 (system colours resolved first).
TColor ContrastColor(TColor color);
// c moved amount/255 of the way to target, per component, truncated.
TColor MixColor(TColor c, TColor target, int amount);
// The light and dark sides of an embossed frame of colour c.
void EmbossColors(TColor c, bool pressed, TColor& light, TColor& dark);
// The 45-degree point of a corner of radius r/2, from the corner.
int EmbossCornerOffset(int radius);
// The upper-left part of an embossed frame round f (width w, radius r).
std::vector<POINT> EmbossUpperLeft(const RECT& f, int w, int radius);
// One pass (0 or 1) of the hand-drawn ring round the rectangle i.
std::vector<POINT> MarkerRingPass(const RECT& i, int pass);
// Which cell of a glyph of numGlyphs cells shows.
int GlyphCell(int numGlyphs, bool enabled, bool pressed);

}  // namespace QButtonPaint

class TQToggleBitBtn : public TBitBtn {
 public:
  explicit TQToggleBitBtn(TComponent* owner);
  ~TQToggleBitBtn() override;

  int FlatBorderWidth() const { return flatBorderWidth_; }
  void SetFlatBorderWidth(int value);  // 1 to 8
  int FlatDownBorderWidth() const { return flatDownBorderWidth_; }
  void SetFlatDownBorderWidth(int value);  // 1 to 8
  TColor FlatBackColor() const { return flatBackColor_; }
  void SetFlatBackColor(TColor value);
  bool FlatUseParentColor() const { return flatUseParentColor_; }
  void SetFlatUseParentColor(bool value);
  TQButtonDrawStyle DrawStyle() const { return drawStyle_; }
  void SetDrawStyle(TQButtonDrawStyle value);
  bool TransparentBackground() const { return transparentBackground_; }
  void SetTransparentBackground(bool value);
  bool TransparentForeground() const { return transparentForeground_; }
  void SetTransparentForeground(bool value);
  bool Embossed() const { return embossed_; }
  void SetEmbossed(bool value);
  TColor FlatBorderColor() const { return flatBorderColor_; }
  void SetFlatBorderColor(TColor value);
  TColor FlatDownBorderColor() const { return flatDownBorderColor_; }
  void SetFlatDownBorderColor(TColor value);
  TColor FlatDownColor() const { return flatDownColor_; }
  void SetFlatDownColor(TColor value);
  TColor MarkerColor() const { return markerColor_; }
  void SetMarkerColor(TColor value);
  TColor MarkerTextColor() const { return markerTextColor_; }
  void SetMarkerTextColor(TColor value);
  TColor MarkerInactiveTextColor() const { return markerInactiveTextColor_; }
  void SetMarkerInactiveTextColor(TColor value);
  int CornerRadius() const { return cornerRadius_; }
  void SetCornerRadius(int value);  // 0 to 30
  bool ToggleMode() const { return toggleMode_; }
  // Leaving toggle mode also raises the button, whatever its group.
  void SetToggleMode(bool value);
  bool Down() const { return down_; }
  // In a group without AllowAllUp a down button cannot be raised; putting
  // one down raises the others of its group.
  void SetDown(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value) { groupIndex_ = value; }
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value) { allowAllUp_ = value; }

  // True while the mouse is over the button.
  bool Hot() const { return hot_; }

  // Raises the other down buttons of this button's group under its parent.
  void ReleaseOtherButtons();
  // Repaints when the window exists.
  void UpdateVisualState() { InvalidateButton(); }
  // Copies image index of the list into Glyph (one cell); false, with the
  // glyph unchanged, when there is no such image.
  bool LoadGlyphFromImageList(TImageList* list, int index);

  // The toggle rule, then OnClick and the modal result.
  void Click() override;

 protected:
  void CreateWnd() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void DrawItem(const DRAWITEMSTRUCT& dis) override;
  void GlyphChanged() override;

 private:
  void PrepareGlyph();
  bool ParentBackColor(TColor& color);
  void PaintParentBackground(TCanvas& canvas, const RECT& item, TColor bg);
  void DrawButton(const DRAWITEMSTRUCT& dis);
  void DrawPlainFrame(TCanvas& canvas, const RECT& f, int radius, TColor color, int width);
  void DrawEmbossedFrame(TCanvas& canvas, const RECT& f, int radius, TColor color, int width, bool pressed);
  void DrawMarkerRing(TCanvas& canvas, const RECT& item, TColor color);

  int flatBorderWidth_ = 1;
  int flatDownBorderWidth_ = 2;
  TColor flatBackColor_ = clBtnFace;
  bool flatUseParentColor_ = true;
  TQButtonDrawStyle drawStyle_ = qbsClassic;
  bool transparentBackground_ = false;
  bool transparentForeground_ = false;
  bool embossed_ = false;
  TColor flatBorderColor_ = RGBColor(128, 128, 128);
  TColor flatDownBorderColor_ = RGBColor(80, 150, 255);
  TColor flatDownColor_ = RGBColor(55, 55, 65);
  TColor markerColor_ = RGBColor(80, 150, 255);
  TColor markerTextColor_ = RGBColor(95, 170, 255);
  TColor markerInactiveTextColor_ = RGBColor(128, 128, 128);
  int cornerRadius_ = 8;
  bool toggleMode_ = true;
  bool down_ = false;
  int groupIndex_ = 0;
  bool allowAllUp_ = false;

  bool hot_ = false;
  bool releasing_ = false;
  TMouseTracker tracker_;
};
