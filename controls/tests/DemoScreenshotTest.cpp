// A small demo window with every control in each of its states, saved as
// screenshots/controls.png in the build tree for a person to look at.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "controls/QEdit.h"
#include "controls/QStatus.h"
#include "controls/QToggleBitBtn.h"
#include "controls/dxfProgressBar.h"
#include "base/tests/TestUtil.h"
#include "ui/tests/UiTestUtil.h"

namespace {

// A line of text on the form's colour.
class TDemoLabel : public TCustomControl {
 public:
  TDemoLabel(TWinControl* parent, int x, int y, int w, const std::string& text) : TCustomControl(parent) {
    SetParent(parent);
    SetBounds(x, y, w, 16);
    text_ = text;
    Show();
  }

 protected:
  void Paint() override {
    TCustomControl::Paint();
    Canvas().Brush().SetStyle(bsClear);
    Canvas().TextOut(0, 1, text_);
  }

 private:
  std::string text_;
};

// A picture under transparent buttons, as the dialogs have at their foot:
// diagonal bands of two colours.
class TDemoPicture : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  bool IsBackgroundPicture() const override { return true; }

 protected:
  void Paint() override {
    RECT r = ClientRect();
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; x += 1) {
        const int band = ((x + y) / 12) % 2;
        Canvas().SetPixel(x, y, band ? RGBColor(196, 210, 228) : RGBColor(168, 186, 210));
      }
  }
};

// A 16 x 16 key on magenta.
void MakeKeyGlyph(TBitmap& g) {
  ASSERT_TRUE(g.SetSize(16, 16));
  TCanvas& c = g.Canvas();
  c.Brush().SetColor(clFuchsia);
  c.FillRect(RECT{0, 0, 16, 16});
  c.Pen().SetColor(RGBColor(120, 80, 0));
  c.Brush().SetColor(RGBColor(230, 180, 40));
  c.Ellipse(1, 4, 9, 12);
  c.Brush().SetColor(clFuchsia);
  c.Ellipse(3, 6, 7, 10);
  c.Brush().SetColor(RGBColor(230, 180, 40));
  c.Rectangle(8, 7, 15, 10);
  c.Rectangle(12, 9, 14, 12);
}

TEST(DemoScreenshotTest, EveryControlInEachState) {
  UiTest::THostForm form(700, 500, "VLControlsDemo");
  form.SetCaption("Vaultline controls");
  std::vector<std::unique_ptr<TComponent>> keep;
  auto label = [&](int x, int y, int w, const std::string& text) {
    keep.push_back(std::make_unique<TDemoLabel>(&form, x, y, w, text));
  };

  // Progress bars, horizontal.
  TBitmap tile;
  ASSERT_TRUE(tile.SetSize(8, 13));
  tile.Canvas().Brush().SetColor(clFuchsia);
  tile.Canvas().FillRect(RECT{0, 0, 8, 13});
  tile.Canvas().Brush().SetColor(RGBColor(40, 150, 60));
  tile.Canvas().Pen().SetColor(RGBColor(20, 90, 30));
  tile.Canvas().RoundRect(0, 0, 7, 13, 4, 4);
  struct Bar {
    const char* text;
    TdxfPBStyle style;
    int position, max;
    bool showText;
    TdxfBevelOuter barBevel;
    TColor begin, end;
  };
  const Bar bars[] = {
      {"Blocks at 50", sRectangles, 50, 100, false, bvNone, RGBColor(0, 0, 128), clWhite},
      {"Blocks at 100", sRectangles, 100, 100, false, bvNone, RGBColor(0, 0, 128), clWhite},
      {"Raised blocks at 37", sRectangles, 37, 100, false, bvRaised, RGBColor(0, 120, 215), clWhite},
      {"Solid at 70, lowered", sSolid, 70, 100, false, bvLowered, RGBColor(0, 128, 0), clWhite},
      {"Gradient at 100", sExSolid, 100, 100, false, bvNone, RGBColor(0, 0, 128), clWhite},
      {"Gradient at 60, text", sExSolid, 60, 100, true, bvNone, RGBColor(128, 0, 0), RGBColor(255, 220, 0)},
      {"Gradient blocks at 80", sExRectangles, 80, 100, true, bvNone, RGBColor(0, 0, 128), RGBColor(80, 150, 255)},
      {"Pictures at 100", sPictures, 100, 100, false, bvNone, 0, 0},
      {"Pictures at 60", sPictures, 60, 100, false, bvNone, 0, 0},
      {"Max = Min, text", sRectangles, 5, 0, true, bvNone, RGBColor(0, 0, 128), clWhite},
  };
  int y = 10;
  for (const Bar& b : bars) {
    label(10, y + 3, 140, b.text);
    auto bar = std::make_unique<TdxfProgressBar>(&form);
    bar->SetParent(&form);
    bar->SetBounds(150, y, 214, 21);
    bar->SetStyle(b.style);
    bar->SetBarBevelOuter(b.barBevel);
    bar->SetBeginColor(b.begin);
    bar->SetEndColor(b.end);
    bar->SetShowText(b.showText);
    if (b.style == sPictures) bar->SetGlyph(tile);
    bar->SetMax(b.max);  // refused below Min: set Min after for the empty range
    if (b.max == 0) {
      bar->SetMax(0);
      bar->SetMin(0);
    }
    bar->SetPosition(b.position);
    bar->Show();
    y += 26;
    keep.push_back(std::move(bar));
  }
  // Vertical bars.
  struct VBar {
    TdxfPBStyle style;
    int position;
    bool text;
  };
  const VBar vbars[] = {{sRectangles, 100, false}, {sRectangles, 45, false}, {sExSolid, 70, false}, {sExRectangles, 55, true}};
  int x = 390;
  label(390, 10, 140, "Vertical");
  for (const VBar& v : vbars) {
    auto bar = std::make_unique<TdxfProgressBar>(&form);
    bar->SetParent(&form);
    bar->SetOrientation(orVertical);
    bar->SetBounds(x, 30, 26, 150);
    bar->SetStyle(v.style);
    bar->SetEndColor(RGBColor(80, 200, 255));
    bar->SetShowText(v.text);
    bar->SetPosition(v.position);
    bar->Show();
    x += 34;
    keep.push_back(std::move(bar));
  }

  // The completing edit, after typing "be" over the candidates.
  label(540, 10, 150, "TQEdit: typed \"be\"");
  TQEdit edit(&form);
  edit.SetParent(&form);
  edit.SetBounds(540, 30, 150, 22);
  edit.DataList().Add("alpha");
  edit.DataList().Add("alps");
  edit.DataList().Add("beta");
  edit.Show();

  // Buttons: one row per look, one column per state.
  TBitmap key;
  MakeKeyGlyph(key);
  const char* states[] = {"normal", "mouse over", "down", "disabled", "focused"};
  for (int s = 0; s < 5; ++s) label(120 + 96 * s, 270, 90, states[s]);
  struct Look {
    const char* name;
    TQButtonDrawStyle style;
    const char* caption;
    bool glyph, embossed, transparent;
  };
  const Look looks[] = {
      {"Classic", qbsClassic, "Open", true, false, false},
      {"Flat", qbsFlat, "Copy", true, false, false},
      {"Speed, embossed", qbsSpeedButton, "OK", false, true, false},
      {"Marker", qbsMarkerCircle, "Mark", false, false, false},
      {"On a picture", qbsSpeedButton, "Cancel", false, true, true},
  };
  std::vector<TQToggleBitBtn*> hot;
  TQToggleBitBtn* focusMe = nullptr;
  HWND pictureWnd = nullptr;
  y = 290;
  for (const Look& l : looks) {
    label(10, y + 7, 105, l.name);
    if (l.transparent) {
      auto picture = std::make_unique<TDemoPicture>(&form);
      picture->SetParent(&form);
      picture->SetBounds(114, y - 4, 96 * 4 + 4, 38);
      picture->Show();
      pictureWnd = picture->Handle();
      keep.push_back(std::move(picture));
    }
    for (int s = 0; s < 5; ++s) {
      if (s == 4 && l.style != qbsClassic) continue;  // only the classic look draws a focus rectangle
      auto b = std::make_unique<TQToggleBitBtn>(&form);
      b->SetParent(&form);
      b->SetBounds(120 + 96 * s, y, 86, 30);
      b->SetCaption(l.caption);
      b->SetDrawStyle(l.style);
      b->SetEmbossed(l.embossed);
      if (l.embossed) b->SetCornerRadius(0);
      if (l.transparent) {
        b->SetTransparentBackground(true);
        b->SetTransparentForeground(true);
      }
      if (l.glyph) b->SetGlyph(key);
      if (s == 2) b->SetDown(true);
      if (s == 3) b->SetEnabled(false);
      b->Show();
      if (s == 1) hot.push_back(b.get());
      if (s == 4) focusMe = b.get();
      keep.push_back(std::move(b));
    }
    y += 36;
  }
  // Children made later lie lower: the picture goes under its buttons.
  ASSERT_NE(pictureWnd, nullptr);
  SetWindowPos(pictureWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  // The status bar with the program's panels and the hosted progress bar.
  TQStatus status(&form);
  status.SetParent(&form);
  const int widths[] = {85, 60, 100, 217, 50};
  const char* texts[] = {"Entries: 42", "Modified", "Lock in 4:59", "", "Ready"};
  for (int i = 0; i < 5; ++i) status.AddPanel(widths[i], texts[i]);
  status.Show();
  TdxfProgressBar progress(&form);
  progress.SetParent(&status);
  RECT panel = status.PanelRect(3);
  progress.SetBounds(panel.left + 1, panel.top + 1, panel.right - panel.left - 2, panel.bottom - panel.top - 2);
  progress.SetBevelOuter(bvNone);
  progress.SetShowText(true);
  progress.SetPosition(65);
  progress.Show();

  form.Show();
  auto redraw = [&] {
    RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  };
  TBitmap shot;
  ASSERT_NE(focusMe, nullptr);
  // With the form in front: the edit shows its selection while it has the
  // focus, the classic button its focus rectangle (taken from a second
  // picture).
  ASSERT_TRUE(UiTest::InForeground(form.Handle(), [&] {
    edit.SetFocus();
    edit.SetText("");
    for (char ch : std::string("be")) {
      SendMessageA(edit.Handle(), WM_KEYDOWN, static_cast<WPARAM>(toupper(ch)), 0);
      SendMessageA(edit.Handle(), WM_CHAR, static_cast<WPARAM>(ch), 0);
      SendMessageA(edit.Handle(), WM_KEYUP, static_cast<WPARAM>(toupper(ch)), 0xC0000001);
    }
    UiTest::Pump();
    // The mouse-over column: each of these buttons gets a WM_MOUSEMOVE; the
    // picture is taken before the WM_MOUSELEAVE that follows is handled.
    for (TQToggleBitBtn* b : hot) SendMessageA(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    redraw();
    ASSERT_TRUE(UiTest::CaptureClient(form.Handle(), shot));
    focusMe->SetFocus();
    redraw();
    TBitmap second;
    ASSERT_TRUE(UiTest::CaptureClient(form.Handle(), second));
    RECT fb{focusMe->Left(), focusMe->Top(), focusMe->Left() + focusMe->Width(), focusMe->Top() + focusMe->Height()};
    shot.Canvas().CopyRect(fb, second.Canvas(), fb);
  }));
  ASSERT_EQ(edit.Text(), "beta");
  for (TQToggleBitBtn* b : hot) EXPECT_TRUE(b->Hot());

  // A few marks that the picture shows what the controls draw.
  EXPECT_EQ(shot.Pixel(150 + 2, 10 + 2), RGBColor(0, 0, 128));  // first block of the first bar
  EXPECT_EQ(shot.Pixel(150 + 2 + 11, 10 + 5), ColorToRGB(clBtnFace));  // the gap after it
  RECT statusRect{status.Left(), status.Top(), status.Left() + status.Width(), status.Top() + status.Height()};
  EXPECT_GT(UiTest::CountColor(shot, statusRect, RGBColor(0, 0, 128)), 100);  // the hosted bar
  RECT hotSpeed{hot[2]->Left(), hot[2]->Top(), hot[2]->Left() + hot[2]->Width(), hot[2]->Top() + hot[2]->Height()};
  TColor light, dark;
  QButtonPaint::EmbossColors(RGBColor(128, 128, 128), false, light, dark);
  EXPECT_GT(UiTest::CountColor(shot, hotSpeed, light), 40);  // its frame shows under the mouse

  const std::string path = UiTest::ScreenshotPath("controls.png");
  ASSERT_TRUE(UiTest::SavePng(shot, path));
  EXPECT_GT(ReadTestFile(path).size(), 1000u);
  UiTest::Pump();
}

}  // namespace
