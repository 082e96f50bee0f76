#include "controls/QToggleBitBtn.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/tests/UiTestUtil.h"

namespace {

using namespace QButtonPaint;

TEST(QButtonPaintTest, ContrastColourThreshold) {
  struct Case {
    TColor in, out;
  };
  const Case cases[] = {
      {RGBColor(128, 128, 128), clWhite},  // exactly 12800: not above, so white
      {RGBColor(129, 129, 129), clBlack},
      {clBlack, clWhite},
      {clWhite, clBlack},
      {RGBColor(55, 55, 65), clWhite},
      {RGBColor(0, 0, 255), clWhite},   // 2805
      {RGBColor(0, 255, 0), clBlack},   // 15045
      {RGBColor(255, 0, 0), clWhite},   // 7650
  };
  for (const Case& c : cases) EXPECT_EQ(ContrastColor(c.in), c.out) << std::hex << c.in;
  // A system colour is judged by its present value, not by its code.
  EXPECT_EQ(ContrastColor(clBtnFace), ContrastColor(ColorToRGB(clBtnFace)));
  EXPECT_EQ(ContrastColor(clWindow), ContrastColor(ColorToRGB(clWindow)));
}

TEST(QButtonPaintTest, EmbossColoursAndCorner) {
  TColor light, dark;
  EmbossColors(RGBColor(128, 128, 128), false, light, dark);
  EXPECT_EQ(light, RGBColor(187, 187, 187));
  EXPECT_EQ(dark, RGBColor(68, 68, 68));
  EmbossColors(RGBColor(128, 128, 128), true, light, dark);
  EXPECT_EQ(light, RGBColor(68, 68, 68));
  EXPECT_EQ(dark, RGBColor(187, 187, 187));
  EXPECT_EQ(MixColor(RGBColor(10, 20, 30), clWhite, 300), clWhite);  // amount clamped
  EXPECT_EQ(MixColor(RGBColor(10, 20, 30), clWhite, -5), RGBColor(10, 20, 30));
  EXPECT_EQ(MixColor(clBtnFace, clBtnFace, 77), ColorToRGB(clBtnFace));

  const std::pair<int, int> corners[] = {{8, 1}, {0, 0}, {2, 0}, {4, 1}, {30, 4}, {12, 2}};
  for (auto [r, k] : corners) EXPECT_EQ(EmbossCornerOffset(r), k) << r;
  std::vector<POINT> ul = EmbossUpperLeft(RECT{10, 10, 50, 30}, 1, 8);
  ASSERT_EQ(ul.size(), 5u);
  EXPECT_EQ(ul[0].x, 7);  // widened by w + 2
  EXPECT_EQ(ul[1].x, 53);
  EXPECT_EQ(ul[2].x, 48);  // F.Right - 1 - k
  EXPECT_EQ(ul[2].y, 11);
  EXPECT_EQ(ul[3].x, 11);
  EXPECT_EQ(ul[3].y, 28);
  EXPECT_EQ(ul[4].y, 33);
}

TEST(QButtonPaintTest, MarkerRingPoints) {
  const RECT item{0, 0, 100, 40};
  for (int pass : {0, 1}) {
    std::vector<POINT> pts = MarkerRingPass(item, pass);
    ASSERT_EQ(pts.size(), 39u);  // 28, 36, … 332 degrees
    for (const POINT& p : pts) {
      EXPECT_GE(p.x, 4 - 1);
      EXPECT_LE(p.x, 96 + 1);
      EXPECT_GE(p.y, 3 - 1);
      EXPECT_LE(p.y, 37 + 1);
    }
  }
  // Angle 28: Trunc(cos 28 x 46) + 50 + 1, Trunc(sin 28 x 17) + 20 + 0.
  std::vector<POINT> first = MarkerRingPass(item, 0);
  EXPECT_EQ(first[0].x, 91);
  EXPECT_EQ(first[0].y, 27);
  // The gap is on the right: no point lies right of the ends at 28 and 332 degrees.
  for (const POINT& p : first) EXPECT_LE(p.x, 92);
}

TEST(QButtonPaintTest, GlyphCells) {
  struct Case {
    int cells;
    bool enabled, pressed;
    int cell;
  };
  const Case cases[] = {
      {1, true, false, 0}, {1, false, false, 0}, {1, true, true, 0},
      {2, true, false, 0}, {2, false, false, 1}, {2, true, true, 0},  // two cells: no pressed cell
      {3, true, false, 0}, {3, false, true, 1},  {3, true, true, 2},
      {4, true, true, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(GlyphCell(c.cells, c.enabled, c.pressed), c.cell) << c.cells;
}

TEST(ToggleBitBtnTest, DefaultsAndClamps) {
  TQToggleBitBtn b(nullptr);
  EXPECT_TRUE(b.ToggleMode());
  EXPECT_FALSE(b.Down());
  EXPECT_EQ(b.DrawStyle(), qbsClassic);
  EXPECT_EQ(b.CornerRadius(), 8);
  EXPECT_EQ(b.FlatDownBorderColor(), RGBColor(80, 150, 255));
  EXPECT_EQ(b.Color(), clBtnFace);
  EXPECT_EQ(b.Margin(), -1);
  EXPECT_EQ(b.Spacing(), 4);
  struct Case {
    int in, radius, width;
  };
  const Case cases[] = {{40, 30, 8}, {-3, 0, 1}, {0, 0, 1}, {12, 12, 8}, {5, 5, 5}, {8, 8, 8}};
  for (const Case& c : cases) {
    b.SetCornerRadius(c.in);
    b.SetFlatBorderWidth(c.in);
    b.SetFlatDownBorderWidth(c.in);
    EXPECT_EQ(b.CornerRadius(), c.radius) << c.in;
    EXPECT_EQ(b.FlatBorderWidth(), c.width) << c.in;
    EXPECT_EQ(b.FlatDownBorderWidth(), c.width) << c.in;
  }
}

// Three buttons of one group under a form, clicked through real button
// messages (BM_CLICK gives BN_CLICKED to the form, reflected to the button).
struct GroupTest : ::testing::Test {
  UiTest::THostForm form{300, 100};
  std::vector<std::unique_ptr<TQToggleBitBtn>> buttons;
  int clicks = 0;
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      auto b = std::make_unique<TQToggleBitBtn>(nullptr);
      b->SetParent(&form);
      b->SetBounds(10 + 90 * i, 10, 80, 30);
      b->SetGroupIndex(1);
      b->SetCaption("B" + std::to_string(i));
      b->OnClick = [this](TObject*) { ++clicks; };
      b->Show();
      buttons.push_back(std::move(b));
    }
  }
  void Click(int i) { SendMessageA(buttons[static_cast<std::size_t>(i)]->Handle(), BM_CLICK, 0, 0); }
  std::string Downs() {
    std::string s;
    for (auto& b : buttons) s += b->Down() ? '1' : '0';
    return s;
  }
};

TEST_F(GroupTest, ClicksFollowTheGroupRules) {
  struct Step {
    bool allowAllUp;
    int click;
    const char* downs;
  };
  const Step steps[] = {
      {false, 0, "100"}, {false, 0, "100"},  // a down button stays down
      {false, 1, "010"}, {false, 2, "001"},  // another one goes down and raises the first
      {true, 2, "000"},                      // with AllowAllUp it comes up
      {true, 1, "010"}, {true, 1, "000"},
      {false, 0, "100"},
  };
  for (const Step& s : steps) {
    for (auto& b : buttons) b->SetAllowAllUp(s.allowAllUp);
    Click(s.click);
    EXPECT_EQ(Downs(), s.downs) << "click " << s.click;
  }
  EXPECT_EQ(clicks, 8);  // OnClick runs for every click
}

TEST_F(GroupTest, SetDownAndToggleModeRules) {
  buttons[0]->SetDown(true);
  EXPECT_EQ(Downs(), "100");
  buttons[0]->SetDown(false);  // refused in a group without AllowAllUp
  EXPECT_EQ(Downs(), "100");
  buttons[2]->SetDown(true);
  EXPECT_EQ(Downs(), "001");
  buttons[2]->SetToggleMode(false);  // raises it even in a group
  EXPECT_EQ(Downs(), "000");
  Click(2);  // a push button does not stay down
  EXPECT_EQ(Downs(), "000");
  EXPECT_EQ(clicks, 1);

  // Another parent's button of the same group number is a group of its own.
  UiTest::THostForm other(100, 50, "VLTestHost2");
  TQToggleBitBtn stranger(nullptr);
  stranger.SetParent(&other);
  stranger.SetGroupIndex(1);
  stranger.SetDown(true);
  buttons[1]->SetDown(true);
  EXPECT_TRUE(stranger.Down());
  EXPECT_EQ(Downs(), "010");

  // Group 0: every click flips the button.
  buttons[0]->SetGroupIndex(0);
  Click(0);
  EXPECT_TRUE(buttons[0]->Down());
  EXPECT_TRUE(buttons[1]->Down());
  Click(0);
  EXPECT_FALSE(buttons[0]->Down());
  buttons[0]->SetDown(true);
  buttons[0]->SetDown(false);
  EXPECT_FALSE(buttons[0]->Down());
}

TEST_F(GroupTest, AQuickSecondClickIsAClickOfItsOwn) {
  TQToggleBitBtn& b = *buttons[0];
  b.SetGroupIndex(0);
  const LPARAM at = MAKELPARAM(10, 10);
  SendMessageA(b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(b.Handle(), WM_LBUTTONUP, 0, at);
  EXPECT_TRUE(b.Down());
  SendMessageA(b.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageA(b.Handle(), WM_LBUTTONUP, 0, at);
  EXPECT_FALSE(b.Down());
  EXPECT_EQ(clicks, 2);
  // Released outside the button: no click.
  SendMessageA(b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(b.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 10));
  EXPECT_FALSE(b.Down());
  EXPECT_EQ(clicks, 2);
}

TEST_F(GroupTest, KindSetsTheFormResult) {
  buttons[0]->SetKind(bkOK);
  buttons[0]->SetToggleMode(false);
  Click(0);
  EXPECT_EQ(form.ModalResult(), mrOk);
}

// ---------------------------------------------------------------------------
// Drawing: the form is sent WM_DRAWITEM for the button with a bitmap's DC,
// as the button control itself does; the reflection hands it to the button.

struct ButtonPaintTest : ::testing::Test {
  UiTest::THostForm form{300, 200};
  TQToggleBitBtn button{&form};
  TBitmap out;
  TColor face = ColorToRGB(clBtnFace);
  void SetUp() override {
    button.SetParent(&form);
    button.SetBounds(10, 10, 80, 30);
    button.SetToggleMode(false);
    button.Show();
  }
  void Draw(UINT state) {
    ASSERT_TRUE(out.SetSize(80, 30));
    out.Canvas().Brush().SetColor(clFuchsia);
    out.Canvas().FillRect(RECT{0, 0, 80, 30});
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID(button.Handle()));
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hwndItem = button.Handle();
    dis.hDC = out.Canvas().Handle();
    dis.rcItem = RECT{0, 0, 80, 30};
    EXPECT_EQ(SendMessageA(form.Handle(), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis)), TRUE);
  }
  // Cells of 10 x 10 in red, lime, blue, yellow.
  void SetGlyphCells(int cells) {
    static const TColor colours[] = {clRed, clLime, clBlue, clYellow};
    TBitmap g;
    ASSERT_TRUE(g.SetSize(10 * cells, 10));
    for (int i = 0; i < cells; ++i) {
      g.Canvas().Brush().SetColor(colours[i]);
      g.Canvas().FillRect(RECT{i * 10, 0, i * 10 + 10, 10});
    }
    button.SetGlyph(g);
    button.SetNumGlyphs(cells);
  }
};

TEST_F(ButtonPaintTest, PrintClientGoesThroughTheSamePath) {
  button.SetDrawStyle(qbsFlat);
  button.SetColor(clWhite);
  button.SetCornerRadius(0);
  ASSERT_TRUE(UiTest::RenderClient(button.Handle(), out, clFuchsia));
  EXPECT_EQ(out.Pixel(1, 15), RGBColor(128, 128, 128));
  EXPECT_EQ(out.Pixel(10, 5), clWhite);
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clFuchsia), 0);
}

TEST_F(ButtonPaintTest, ClassicEdgesAndPressedShift) {
  SetGlyphCells(1);
  Draw(0);
  EXPECT_EQ(out.Pixel(0, 0), ColorToRGB(cl3DLight));
  EXPECT_EQ(out.Pixel(79, 29), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(out.Pixel(40, 20), face);
  RECT up = UiTest::BoundsOf(out, clRed);
  // No caption: the glyph is centred in P = (6, 4)-(74, 26).
  EXPECT_EQ(up.left, 6 + (68 - 10) / 2);
  EXPECT_EQ(up.top, 4 + (22 - 10) / 2);
  Draw(ODS_SELECTED);
  EXPECT_EQ(out.Pixel(0, 0), ColorToRGB(clBtnShadow));
  RECT down = UiTest::BoundsOf(out, clRed);
  EXPECT_EQ(down.left, up.left + 1);
  EXPECT_EQ(down.top, up.top + 1);
  // Down draws pressed without the mouse.
  button.SetToggleMode(true);
  button.SetDown(true);
  Draw(0);
  EXPECT_EQ(UiTest::BoundsOf(out, clRed).left, up.left + 1);
}

TEST_F(ButtonPaintTest, ClassicFocusRectangle) {
  button.SetColor(clWhite);
  Draw(0);
  EXPECT_EQ(UiTest::CountColor(out, RECT{4, 4, 76, 26}, clBlack), 0);
  // Focused: a dotted rectangle at P inset by 2, (8, 6)-(72, 24).
  Draw(ODS_FOCUS);
  EXPECT_GT(UiTest::CountColor(out, RECT{8, 6, 72, 7}, clBlack), 20);
  EXPECT_GT(UiTest::CountColor(out, RECT{8, 23, 72, 24}, clBlack), 20);
  EXPECT_EQ(UiTest::CountColor(out, RECT{8, 5, 72, 6}, clBlack), 0);
  EXPECT_EQ(UiTest::CountColor(out, RECT{9, 7, 71, 23}, clBlack), 0);
  // A disabled button shows no focus.
  Draw(ODS_FOCUS | ODS_DISABLED);
  EXPECT_EQ(UiTest::CountColor(out, RECT{4, 4, 76, 26}, clBlack), 0);
}

TEST_F(ButtonPaintTest, FlatBorderFaceAndCaptionContrast) {
  button.SetDrawStyle(qbsFlat);
  button.SetColor(clWhite);
  button.SetCornerRadius(0);
  button.SetCaption("Copy");
  Draw(0);
  EXPECT_EQ(out.Pixel(0, 15), face);  // the parent's colour outside the frame
  EXPECT_EQ(out.Pixel(1, 15), RGBColor(128, 128, 128));
  EXPECT_EQ(out.Pixel(1, 1), RGBColor(128, 128, 128));
  EXPECT_EQ(out.Pixel(78, 28), RGBColor(128, 128, 128));
  EXPECT_EQ(out.Pixel(3, 3), clWhite);
  EXPECT_GT(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clBlack), 10);  // black on white

  Draw(ODS_SELECTED);
  // The 2-pixel down border: a wide GDI pen straddles the outline at x = 1.
  EXPECT_EQ(out.Pixel(1, 15), RGBColor(80, 150, 255));
  EXPECT_EQ(out.Pixel(0, 15), RGBColor(80, 150, 255));
  EXPECT_EQ(out.Pixel(2, 15), RGBColor(55, 55, 65));
  EXPECT_EQ(out.Pixel(10, 5), RGBColor(55, 55, 65));
  EXPECT_GT(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clWhite), 10);  // white on the dark face
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clBlack), 0);

  // Rounded corners leave the corner pixel to the background.
  button.SetCornerRadius(8);
  Draw(0);
  EXPECT_EQ(out.Pixel(1, 1), face);
  EXPECT_EQ(out.Pixel(40, 1), RGBColor(128, 128, 128));
  // The parent's colour is not used when told so.
  button.SetFlatUseParentColor(false);
  button.SetFlatBackColor(clYellow);
  Draw(0);
  EXPECT_EQ(out.Pixel(0, 15), clYellow);
}

TEST_F(ButtonPaintTest, SpeedButtonFrameOnlyWhenHotOrPressed) {
  button.SetDrawStyle(qbsSpeedButton);
  button.SetCornerRadius(0);
  button.SetColor(clWhite);
  Draw(0);
  EXPECT_EQ(out.Pixel(1, 15), clWhite);  // no frame
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, RGBColor(128, 128, 128)), 0);
  // The mouse comes in: a real WM_MOUSEMOVE makes it hot and asks for a repaint.
  SendMessageA(button.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(button.Hot());
  Draw(0);
  EXPECT_EQ(out.Pixel(1, 15), RGBColor(128, 128, 128));
  SendMessageA(button.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(button.Hot());
  Draw(0);
  EXPECT_EQ(out.Pixel(1, 15), clWhite);
  Draw(ODS_SELECTED);
  EXPECT_EQ(out.Pixel(1, 15), RGBColor(80, 150, 255));
}

TEST_F(ButtonPaintTest, EmbossedFrames) {
  button.SetDrawStyle(qbsSpeedButton);
  button.SetEmbossed(true);
  button.SetColor(clWhite);
  button.SetCornerRadius(0);
  TColor light, dark;
  EmbossColors(RGBColor(128, 128, 128), false, light, dark);
  SendMessageA(button.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  Draw(0);
  EXPECT_EQ(out.Pixel(1, 15), light);   // left side
  EXPECT_EQ(out.Pixel(40, 1), light);   // top side
  EXPECT_EQ(out.Pixel(78, 15), dark);   // right side
  EXPECT_EQ(out.Pixel(40, 28), dark);   // bottom side
  // Pressed: the down border colour, sides swapped, two rings.
  TColor plight, pdark;
  EmbossColors(RGBColor(80, 150, 255), true, plight, pdark);
  Draw(ODS_SELECTED);
  EXPECT_EQ(out.Pixel(1, 15), plight);
  EXPECT_EQ(out.Pixel(2, 15), plight);
  EXPECT_EQ(out.Pixel(78, 15), pdark);
  EXPECT_EQ(out.Pixel(77, 15), pdark);
  // Rounded: light above the diagonal, dark below it.
  button.SetCornerRadius(8);
  Draw(0);
  EXPECT_EQ(out.Pixel(40, 1), light);
  EXPECT_EQ(out.Pixel(40, 28), dark);
  EXPECT_EQ(out.Pixel(1, 15), light);
  EXPECT_EQ(out.Pixel(78, 15), dark);
  SendMessageA(button.Handle(), WM_MOUSELEAVE, 0, 0);
}

TEST_F(ButtonPaintTest, MarkerRingAroundAPressedCaption) {
  button.SetDrawStyle(qbsMarkerCircle);
  button.SetColor(clWhite);
  button.SetCaption("Mark");
  const TColor ring = RGBColor(80, 150, 255), active = RGBColor(95, 170, 255), inactive = RGBColor(128, 128, 128);
  const RECT all{0, 0, 80, 30};
  Draw(0);
  EXPECT_EQ(UiTest::CountColor(out, all, ring), 0);
  EXPECT_EQ(UiTest::CountColor(out, all, active), 0);
  EXPECT_GT(UiTest::CountColor(out, all, inactive), 10);
  const RECT plain = UiTest::BoundsOf(out, inactive);
  Draw(ODS_SELECTED);
  EXPECT_GT(UiTest::CountColor(out, all, ring), 60);
  EXPECT_GT(UiTest::CountColor(out, all, active), 10);
  EXPECT_EQ(UiTest::CountColor(out, all, inactive), 0);
  // The caption turns bold: it grows wider.
  RECT caption = UiTest::BoundsOf(out, active);
  EXPECT_GT(caption.right - caption.left, plain.right - plain.left);
  // The ring leaves a gap on the right side.
  EXPECT_EQ(UiTest::CountColor(out, RECT{70, 13, 80, 17}, RGBColor(80, 150, 255)), 0);
  Draw(ODS_SELECTED | ODS_DISABLED);
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, RGBColor(80, 150, 255)), 0);
}

TEST_F(ButtonPaintTest, DisabledCaptionHasAHighlightCopy) {
  button.SetColor(RGBColor(0, 0, 128));
  button.SetCaption("Off");
  Draw(ODS_DISABLED);
  // Inside the edge, the highlight copy lies one pixel right of and below
  // the grey caption.
  auto boundsInside = [&](TColor c) {
    RECT b{80, 30, 0, 0};
    for (int y = 4; y < 26; ++y)
      for (int x = 4; x < 76; ++x)
        if (out.Pixel(x, y) == c) {
          b.left = std::min<LONG>(b.left, x);
          b.top = std::min<LONG>(b.top, y);
          b.right = std::max<LONG>(b.right, x + 1);
          b.bottom = std::max<LONG>(b.bottom, y + 1);
        }
    return b;
  };
  const RECT grey = boundsInside(ColorToRGB(clGrayText));
  const RECT light = boundsInside(ColorToRGB(clBtnHighlight));
  ASSERT_GT(grey.right, grey.left);
  EXPECT_EQ(light.left, grey.left + 1);
  EXPECT_EQ(light.top, grey.top + 1);
  EXPECT_EQ(light.right, grey.right + 1);
  EXPECT_EQ(light.bottom, grey.bottom + 1);
  Draw(0);
  EXPECT_EQ(boundsInside(ColorToRGB(clGrayText)).right, 0);
}

TEST_F(ButtonPaintTest, GlyphCellsByState) {
  SetGlyphCells(3);
  Draw(0);
  EXPECT_GT(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clRed), 0);
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clLime), 0);
  Draw(ODS_SELECTED);
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clBlue), 100);
  Draw(ODS_DISABLED);
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clLime), 100);
  SetGlyphCells(2);
  Draw(ODS_SELECTED);
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clRed), 100);
}

TEST_F(ButtonPaintTest, GlyphBesideTheCaptionAndMagentaLeftOut) {
  SetGlyphCells(1);
  button.Glyph().SetPixel(0, 0, clFuchsia);
  button.SetCaption("Go");
  button.SetColor(clWhite);
  for (TButtonLayout layout : {blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom}) {
    button.SetLayout(layout);
    button.SetBounds(10, 10, 80, 50);
    ASSERT_TRUE(out.SetSize(80, 50));
    RECT p{6, 4, 74, 46};  // EDGE_RAISED takes 2, then 4 across and 2 down
    TBitmap scratch;
    ASSERT_TRUE(scratch.SetSize(1, 1));
    scratch.Canvas().Font().Assign(button.Font());
    SIZE ts = scratch.Canvas().TextExtentFormatted("Go", DT_SINGLELINE);
    TGlyphPlacement at = PlaceGlyphAndCaption(p, true, 10, 10, true, ts.cx, ts.cy, layout, -1, 4);
    out.Canvas().Brush().SetColor(clFuchsia);
    out.Canvas().FillRect(RECT{0, 0, 80, 50});
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.hwndItem = button.Handle();
    dis.hDC = out.Canvas().Handle();
    dis.rcItem = RECT{0, 0, 80, 50};
    SendMessageA(form.Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    RECT red = UiTest::BoundsOf(out, clRed);
    EXPECT_EQ(red.left, at.Glyph.x) << layout;
    EXPECT_EQ(red.top, at.Glyph.y) << layout;
    EXPECT_EQ(out.Pixel(at.Glyph.x, at.Glyph.y), clWhite) << layout;  // magenta is transparent
    // The caption's black pixels lie in its box.
    RECT text = UiTest::BoundsOf(out, clBlack);
    EXPECT_GE(text.left, at.Text.x) << layout;
    EXPECT_LE(text.right, at.Text.x + ts.cx + 2) << layout;
    EXPECT_GE(text.top, at.Text.y) << layout;
    EXPECT_LE(text.bottom, at.Text.y + ts.cy + 2) << layout;
  }
}

// A container of our own whose left half is red and right half blue.
class TTwoTonePanel : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override {
    RECT r = ClientRect();
    Canvas().Brush().SetColor(clRed);
    Canvas().FillRect(RECT{0, 0, r.right / 2, r.bottom});
    Canvas().Brush().SetColor(clBlue);
    Canvas().FillRect(RECT{r.right / 2, 0, r.right, r.bottom});
  }
};

// A picture under the button: green.
class TGreenPicture : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  bool IsBackgroundPicture() const override { return true; }

 protected:
  void Paint() override {
    Canvas().Brush().SetColor(clLime);
    Canvas().FillRect(ClientRect());
  }
};

TEST(ButtonBackgroundTest, TransparentButtonShowsItsParentAndPictures) {
  UiTest::THostForm form(300, 200);
  TTwoTonePanel panel(&form);
  panel.SetParent(&form);
  panel.SetBounds(0, 0, 200, 100);
  panel.SetColor(clYellow);
  panel.Show();
  TGreenPicture picture(&form);
  picture.SetParent(&panel);
  picture.SetBounds(60, 40, 30, 50);  // under the button's lower left
  picture.Show();
  TQToggleBitBtn button(&form);
  button.SetParent(&panel);
  button.SetBounds(60, 30, 80, 30);  // across the panel's red-blue boundary at 100
  button.SetToggleMode(false);
  button.SetDrawStyle(qbsSpeedButton);
  button.SetTransparentBackground(true);
  button.SetTransparentForeground(true);
  button.SetCornerRadius(0);
  button.Show();
  TBitmap out;
  ASSERT_TRUE(UiTest::RenderClient(button.Handle(), out, clFuchsia));
  EXPECT_EQ(out.Pixel(5, 3), clRed);     // panel x 65: red half
  EXPECT_EQ(out.Pixel(75, 3), clBlue);   // panel x 135: blue half
  EXPECT_EQ(out.Pixel(5, 25), clLime);   // over the picture
  EXPECT_EQ(out.Pixel(35, 25), clRed);   // right of the picture
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 80, 30}, clFuchsia), 0);

  // Opaque: the flat background is the panel's colour.
  button.SetTransparentBackground(false);
  button.SetTransparentForeground(false);
  button.SetColor(clWhite);
  ASSERT_TRUE(UiTest::RenderClient(button.Handle(), out, clFuchsia));
  EXPECT_EQ(out.Pixel(0, 0), clYellow);
  EXPECT_EQ(out.Pixel(40, 15), clWhite);
}

TEST(ButtonImageListTest, LoadGlyphFromImageList) {
  TImageList list;
  list.SetSize(12, 12);
  TBitmap strip;
  ASSERT_TRUE(strip.SetSize(24, 12));
  strip.Canvas().Brush().SetColor(clTeal);
  strip.Canvas().FillRect(RECT{0, 0, 24, 12});
  strip.Canvas().Brush().SetColor(clOlive);
  strip.Canvas().FillRect(RECT{12, 0, 24, 12});
  strip.SetPixel(13, 1, clSilver);  // image 1's mask colour
  ASSERT_EQ(list.AddMasked(strip, clSilver), 0);

  TQToggleBitBtn b(nullptr);
  EXPECT_FALSE(b.LoadGlyphFromImageList(nullptr, 0));
  EXPECT_FALSE(b.LoadGlyphFromImageList(&list, 2));  // index equal to the count
  EXPECT_FALSE(b.LoadGlyphFromImageList(&list, -1));
  EXPECT_TRUE(b.Glyph().Empty());
  b.SetNumGlyphs(3);
  ASSERT_TRUE(b.LoadGlyphFromImageList(&list, 1));
  EXPECT_EQ(b.NumGlyphs(), 1);
  EXPECT_EQ(b.Glyph().Width(), 12);
  EXPECT_EQ(b.Glyph().Pixel(5, 5), clOlive);
  EXPECT_EQ(b.Glyph().Pixel(1, 1), clFuchsia);  // the masked pixel becomes magenta
  EXPECT_TRUE(b.Glyph().Transparent());
  EXPECT_EQ(b.Glyph().TransparentColor(), clFuchsia);
  EXPECT_FALSE(b.LoadGlyphFromImageList(&list, 5));
  EXPECT_EQ(b.Glyph().Pixel(5, 5), clOlive);  // unchanged
}

}  // namespace
