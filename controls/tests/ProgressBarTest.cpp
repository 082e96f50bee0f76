#include "controls/dxfProgressBar.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "ui/ExtCtrls.h"
#include "ui/Menus.h"
#include "ui/tests/UiTestUtil.h"

namespace {

using dxfProgress::FillLength;
using dxfProgress::Gradient;
using dxfProgress::TInput;

const TColor kNavy = RGBColor(0, 0, 128);

TEST(ProgressFillTest, Table) {
  struct Case {
    int position, length, min, max, fill;
  };
  const Case cases[] = {
      {50, 210, 0, 100, 105},
      {100, 210, 0, 100, 210},
      {150, 210, 0, 100, 210},  // beyond Max the fill stops at the end
      {0, 210, 0, 100, 0},
      {-5, 210, 0, 100, 0},     // below Min nothing fills
      {1, 17, 0, 3, 5},         // 5.67 truncated
      {1, 150, 0, 1000, 0},
      {7, 210, 7, 7, 0},        // empty range: no division
      {8, 210, 7, 7, 0},
      {INT_MAX, 100, INT_MIN, INT_MIN + 1, 100},  // the range itself would overflow an int
      {0, 100, INT_MIN, INT_MAX, 50},
      {50, 0, 0, 100, 0},
      {50, -4, 0, 100, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FillLength(c.position, c.length, c.min, c.max), c.fill)
        << c.position << " in " << c.min << ".." << c.max << " over " << c.length;
}

TEST(ProgressGradientTest, Table) {
  struct Case {
    int i, n;
    TColor begin, end, expected;
  };
  const Case cases[] = {
      // Divided in floating point and truncated last: 127.5 gives 127.
      {1, 2, RGBColor(255, 255, 255), RGBColor(0, 0, 0), RGBColor(127, 127, 127)},
      {0, 210, kNavy, clWhite, kNavy},
      {210, 210, kNavy, clWhite, clWhite},
      {105, 210, kNavy, clWhite, RGBColor(127, 127, 191)},
      {209, 210, kNavy, clWhite, RGBColor(253, 253, 254)},
      {3, 0, RGBColor(9, 8, 7), clWhite, RGBColor(9, 8, 7)},  // no steps: the begin colour
  };
  for (const Case& c : cases) EXPECT_EQ(Gradient(c.i, c.n, c.begin, c.end), c.expected) << c.i << "/" << c.n;
}

TEST(ProgressTextTest, Table) {
  struct Case {
    TdxfShowTextStyle style;
    int position, min, max;
    bool shown;
    const char* text;
  };
  const Case cases[] = {
      {stsPercent, 1, 0, 3, true, "33 %"},
      {stsPercent, 1, 0, 200, true, "0 %"},  // 0.5: ties go to the even number
      {stsPercent, 5, 0, 200, true, "2 %"},  // 2.5
      {stsPercent, 3, 0, 200, true, "2 %"},  // 1.5
      {stsPercent, 2, 0, 3, true, "67 %"},
      {stsPercent, 100, 0, 100, true, "100 %"},
      {stsPercent, 150, 0, 100, true, "150 %"},
      {stsPercent, -10, 0, 100, true, "-10 %"},
      {stsPercent, 60, 50, 70, true, "50 %"},
      {stsPercent, 5, 5, 5, false, ""},  // an empty range has no percentage
      {stsPosition, 42, 0, 100, true, "42"},
      {stsPosition, 7, 5, 5, true, "7"},
      {stsPosition, -3, -5, 5, true, "-3"},
  };
  for (const Case& c : cases) {
    std::string text = "unchanged";
    EXPECT_EQ(dxfProgress::ProgressText(c.style, c.position, c.min, c.max, text), c.shown) << c.text;
    if (c.shown) {
      EXPECT_EQ(text, c.text);
    }
  }
}

SIZE MeasureText(const TFont& font, const std::string& text) {
  TBitmap scratch;
  if (!scratch.SetSize(1, 1)) return SIZE{0, 0};
  scratch.Canvas().Font().Assign(font);
  return scratch.Canvas().TextExtent(text);
}

TInput Bar(int w, int h, TdxfPBStyle style, int position, TdxfPBOrientation o = orHorizontal) {
  TInput in;
  in.Width = w;
  in.Height = h;
  in.Style = style;
  in.Orientation = o;
  in.Position = position;
  in.BeginColor = kNavy;
  in.EndColor = clWhite;
  return in;
}

TEST(ProgressLayoutTest, HorizontalBlocks) {
  // 214 x 21 with a lowered bevel: inner 210 x 17, pitch Trunc(34 / 3) + 2 = 13,
  // blocks 11 wide.
  auto g = dxfProgress::Layout(Bar(214, 21, sRectangles, 50));
  EXPECT_EQ(g.Inner.left, 2);
  EXPECT_EQ(g.Inner.right - g.Inner.left, 210);
  EXPECT_EQ(g.Inner.bottom - g.Inner.top, 17);
  ASSERT_TRUE(g.HasBar);
  EXPECT_EQ(g.Bar.right, 2 + 105);
  ASSERT_EQ(g.Fills.size(), 8u);  // only whole blocks below Max
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(g.Fills[k].Rect.left, 2 + 13 * k);
    EXPECT_EQ(g.Fills[k].Rect.right, 2 + 13 * k + 11);
    EXPECT_EQ(g.Fills[k].Rect.top, 2);
    EXPECT_EQ(g.Fills[k].Rect.bottom, 19);
    EXPECT_EQ(g.Fills[k].Color, kNavy);
  }
  EXPECT_TRUE(g.BevelEachFill);

  g = dxfProgress::Layout(Bar(214, 21, sRectangles, 100));
  ASSERT_EQ(g.Fills.size(), 17u);  // 16 blocks and the 2-pixel rest
  EXPECT_EQ(g.Fills[15].Rect.left, 2 + 13 * 15);
  EXPECT_EQ(g.Fills[16].Rect.left, 2 + 208);
  EXPECT_EQ(g.Fills[16].Rect.right, 212);

  // Gradient blocks take the colour at their far boundary.
  g = dxfProgress::Layout(Bar(214, 21, sExRectangles, 100));
  EXPECT_EQ(g.Fills[0].Color, Gradient(13, 210, kNavy, clWhite));
  EXPECT_EQ(g.Fills[16].Color, Gradient(208, 210, kNavy, clWhite));

  // With room for no whole block, the full bar is one block from the start.
  g = dxfProgress::Layout(Bar(14, 21, sRectangles, 100));
  ASSERT_EQ(g.Fills.size(), 1u);
  EXPECT_EQ(g.Fills[0].Rect.left, 2);
  EXPECT_EQ(g.Fills[0].Rect.right, 12);
  g = dxfProgress::Layout(Bar(14, 21, sRectangles, 99));
  EXPECT_TRUE(g.Fills.empty());
}

TEST(ProgressLayoutTest, VerticalBlocksGrowFromTheBottom) {
  // 21 x 100: inner (2, 2)-(19, 98), pitch Trunc(34 / 3) + 2 = 13.
  auto g = dxfProgress::Layout(Bar(21, 100, sRectangles, 100, orVertical));
  ASSERT_TRUE(g.HasBar);
  ASSERT_GE(g.Fills.size(), 2u);
  // Block 1: y = 97 - 13 = 84, rows 86 to 96; row 97 stays empty.
  EXPECT_EQ(g.Fills[0].Rect.top, 86);
  EXPECT_EQ(g.Fills[0].Rect.bottom, 97);
  EXPECT_EQ(g.Fills[1].Rect.bottom, 84);  // two rows of gap
  EXPECT_EQ(g.Fills[0].Rect.left, 2);
  EXPECT_EQ(g.Fills[0].Rect.right, 19);
  // 96 rows hold 7 whole blocks (7 x 13 = 91 <= 95); the rest from the top.
  ASSERT_EQ(g.Fills.size(), 8u);
  EXPECT_EQ(g.Fills[7].Rect.top, 2);
  EXPECT_EQ(g.Fills[7].Rect.bottom, 97 - 7 * 13);

  // Gradient rows: the bottom row is one step in.
  g = dxfProgress::Layout(Bar(21, 100, sExSolid, 100, orVertical));
  ASSERT_EQ(g.Fills.size(), 96u);
  EXPECT_EQ(g.Fills[0].Rect.top, 97);
  EXPECT_EQ(g.Fills[0].Color, Gradient(1, 96, kNavy, clWhite));
  EXPECT_EQ(g.Fills[95].Rect.top, 2);
  EXPECT_EQ(g.Fills[95].Color, clWhite);
}

TEST(ProgressLayoutTest, NothingFillsAtMinBelowMinOrInAnEmptyRange) {
  for (TdxfPBStyle style : {sSolid, sRectangles, sExSolid, sExRectangles, sPictures}) {
    for (TdxfPBOrientation o : {orHorizontal, orVertical}) {
      TInput in = Bar(100, 100, style, 0, o);
      in.GlyphWidth = in.GlyphHeight = 8;
      EXPECT_FALSE(dxfProgress::Layout(in).HasBar);
      in.Position = -20;
      EXPECT_FALSE(dxfProgress::Layout(in).HasBar);
      in.Min = in.Max = 40;
      for (int p : {39, 40, 41, INT_MAX, INT_MIN}) {
        in.Position = p;
        auto g = dxfProgress::Layout(in);
        EXPECT_FALSE(g.HasBar) << style << " " << o << " " << p;
        EXPECT_TRUE(g.Fills.empty());
        EXPECT_TRUE(g.Tiles.empty());
      }
    }
  }
}

TEST(ProgressLayoutTest, SolidGradientAndTiles) {
  auto g = dxfProgress::Layout(Bar(214, 21, sExSolid, 100));
  ASSERT_EQ(g.Fills.size(), 210u);
  EXPECT_EQ(g.Fills[0].Color, kNavy);  // the first column is the begin colour
  EXPECT_EQ(g.Fills[209].Color, Gradient(209, 210, kNavy, clWhite));
  EXPECT_FALSE(g.BevelEachFill);

  TInput in = Bar(104, 14, sPictures, 100);
  in.BevelOuter = bvNone;
  in.GlyphWidth = 10;
  in.GlyphHeight = 10;
  g = dxfProgress::Layout(in);
  // x = 10, 20, … 100 are at most 103: ten tiles, and at Max one more at q = 100.
  ASSERT_EQ(g.Tiles.size(), 11u);
  EXPECT_EQ(g.Tiles[0].x, 0);
  EXPECT_EQ(g.Tiles[9].x, 90);
  EXPECT_EQ(g.Tiles[10].x, 100);
  in.Position = 101;  // beyond Max: no extra tile ("equal", not "at least")
  EXPECT_EQ(dxfProgress::Layout(in).Tiles.size(), 10u);
  in.Position = 5;  // 5 pixels: no whole tile, no extra
  EXPECT_TRUE(dxfProgress::Layout(in).Tiles.empty());
  in.Position = 100;
  in.Width = 6;  // at Max with no whole tile the extra one starts at the bar's start
  g = dxfProgress::Layout(in);
  ASSERT_EQ(g.Tiles.size(), 1u);
  EXPECT_EQ(g.Tiles[0].x, 0);
}

TEST(ProgressLayoutTest, InvalidationStrips) {
  // Horizontal 214 x 21 block bar, 0 to 100: fills of 214 pixels.
  TInput in = Bar(214, 21, sRectangles, 60);
  RECT s = dxfProgress::PositionStrip(in, 50);
  // 107 - 2 - 16 to 128 + 2 + 16 (the block pitch of 2 x 21 / 3 + 2).
  EXPECT_EQ(s.left, 107 - 2 - 16);
  EXPECT_EQ(s.right, 128 + 2 + 16);
  EXPECT_EQ(s.top, 0);
  EXPECT_EQ(s.bottom, 21);
  in.Style = sSolid;
  s = dxfProgress::PositionStrip(in, 50);
  EXPECT_EQ(s.left, 105);
  EXPECT_EQ(s.right, 130);
  // Vertical 21 x 100 solid bar: rows counted from the bottom.
  in = Bar(21, 100, sSolid, 60, orVertical);
  s = dxfProgress::PositionStrip(in, 50);
  EXPECT_EQ(s.top, 100 - 60 - 2);
  EXPECT_EQ(s.bottom, 100 - 50 + 2);
  EXPECT_EQ(s.left, 0);
  EXPECT_EQ(s.right, 21);
}

// ---------------------------------------------------------------------------
// Drawing under Wine: the bar painted through WM_PRINTCLIENT, pixels checked
// where the geometry puts edges.

struct ProgressPaintTest : ::testing::Test {
  UiTest::THostForm form{400, 300};
  TdxfProgressBar bar{&form};
  TBitmap out;
  TColor face = ColorToRGB(clBtnFace);
  void SetUp() override {
    bar.SetParent(&form);
    bar.SetBounds(10, 10, 214, 21);
    bar.Show();
  }
  void Render() { ASSERT_TRUE(UiTest::RenderClient(bar.Handle(), out, clFuchsia)); }
};

TEST_F(ProgressPaintTest, BlocksAtHalfAndFull) {
  bar.SetPosition(50);
  Render();
  EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 214, 21}, clFuchsia), 0);  // every pixel painted
  // The lowered bevel: shadow on the top-left, highlight on the bottom-right.
  EXPECT_EQ(out.Pixel(0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(out.Pixel(213, 20), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(out.Pixel(1, 1), face);  // the gap between bevel and bar
  // Block 1 from R.Left to R.Left + 10, gap at R.Left + 11 and + 12, block 2 at + 13.
  EXPECT_EQ(out.Pixel(2, 2), kNavy);
  EXPECT_EQ(out.Pixel(12, 18), kNavy);
  EXPECT_EQ(out.Pixel(13, 10), face);
  EXPECT_EQ(out.Pixel(14, 10), face);
  EXPECT_EQ(out.Pixel(15, 10), kNavy);
  // Eight blocks: the last ends at R.Left + 7 x 13 + 11; nothing after it.
  EXPECT_EQ(out.Pixel(2 + 91 + 10, 10), kNavy);
  EXPECT_EQ(out.Pixel(2 + 91 + 11, 10), face);
  EXPECT_EQ(UiTest::CountColor(out, RECT{2 + 104, 2, 212, 19}, kNavy), 0);
  EXPECT_EQ(out.Pixel(2, 1), face);  // the block spans the inner height only
  EXPECT_EQ(out.Pixel(2, 19), face);

  bar.SetPosition(100);
  Render();
  EXPECT_EQ(out.Pixel(2 + 15 * 13 + 10, 10), kNavy);  // block 16
  EXPECT_EQ(out.Pixel(2 + 15 * 13 + 11, 10), face);
  EXPECT_EQ(out.Pixel(2 + 208, 10), kNavy);  // the 2-pixel rest
  EXPECT_EQ(out.Pixel(2 + 209, 10), kNavy);
  EXPECT_EQ(out.Pixel(212, 10), face);
}

TEST_F(ProgressPaintTest, GradientEndsAndBarBevel) {
  bar.SetStyle(sExSolid);
  bar.SetBarBevelOuter(bvNone);
  bar.SetPosition(100);
  Render();
  EXPECT_EQ(out.Pixel(2, 10), kNavy);
  EXPECT_EQ(out.Pixel(211, 10), Gradient(209, 210, kNavy, clWhite));
  EXPECT_EQ(out.Pixel(107, 2), Gradient(105, 210, kNavy, clWhite));
  EXPECT_EQ(out.Pixel(107, 18), Gradient(105, 210, kNavy, clWhite));
  // A colour change repaints the gradient.
  bar.SetEndColor(clRed);
  Render();
  EXPECT_EQ(out.Pixel(211, 10), Gradient(209, 210, kNavy, clRed));

  // A raised bar bevel round each block: light top-left, dark bottom-right.
  bar.SetStyle(sRectangles);
  bar.SetBarBevelOuter(bvRaised);
  Render();
  EXPECT_NE(out.Pixel(2, 2), kNavy);
  EXPECT_NE(out.Pixel(12, 18), kNavy);
  EXPECT_NE(out.Pixel(2, 2), out.Pixel(12, 18));
  EXPECT_EQ(out.Pixel(6, 10), kNavy);
}

TEST_F(ProgressPaintTest, VerticalBlocksLeaveTheLowestRow) {
  bar.SetBounds(10, 10, 21, 100);
  bar.SetOrientation(orVertical);
  bar.SetPosition(100);
  Render();
  EXPECT_EQ(out.Pixel(10, 97), face);  // the lowest inner row stays empty
  EXPECT_EQ(out.Pixel(10, 96), kNavy);
  EXPECT_EQ(out.Pixel(10, 86), kNavy);
  EXPECT_EQ(out.Pixel(10, 85), face);  // two rows between blocks
  EXPECT_EQ(out.Pixel(10, 84), face);
  EXPECT_EQ(out.Pixel(10, 83), kNavy);
  EXPECT_EQ(out.Pixel(10, 2), kNavy);  // the rest reaches the top
  bar.SetPosition(0);
  Render();
  EXPECT_EQ(UiTest::CountColor(out, RECT{2, 2, 19, 98}, kNavy), 0);
}

TEST_F(ProgressPaintTest, PicturesAreTiledAndCutAtTheEnd) {
  TBitmap tile;
  ASSERT_TRUE(tile.SetSize(10, 10));
  tile.Canvas().Brush().SetColor(clLime);
  tile.Canvas().FillRect(RECT{0, 0, 10, 10});
  tile.SetPixel(0, 9, clFuchsia);  // the bottom-left pixel: transparent
  tile.SetPixel(5, 5, clFuchsia);
  bar.SetStyle(sPictures);
  bar.SetGlyph(tile);
  EXPECT_EQ(bar.Height(), 14);  // the picture's height plus 4
  bar.SetBevelOuter(bvNone);
  bar.SetPosition(100);  // 214 pixels: 21 tiles and one cut at 210
  Render();
  EXPECT_EQ(out.Pixel(0, 0), clLime);
  EXPECT_EQ(out.Pixel(5, 5), face);  // the transparent colour shows the background
  EXPECT_EQ(out.Pixel(213, 0), clLime);
  EXPECT_EQ(out.Pixel(0, 10), face);  // below the 10 picture rows
  bar.SetTransparentGlyph(false);
  Render();
  EXPECT_EQ(out.Pixel(5, 5), clFuchsia);
  bar.SetPosition(99);  // 211 pixels: no extra tile
  Render();
  EXPECT_EQ(out.Pixel(209, 0), clLime);
  EXPECT_EQ(out.Pixel(211, 0), face);
}

TEST_F(ProgressPaintTest, TextIsCentredAndAbsentForAnEmptyRange) {
  bar.SetStyle(sSolid);
  bar.SetShowText(true);
  bar.Font().SetColor(clRed);
  bar.SetPosition(1);
  bar.SetMax(3);
  Render();
  RECT red = UiTest::BoundsOf(out, clRed);
  ASSERT_GT(red.right, red.left) << "no text drawn";
  RECT box = dxfProgress::TextBox(214, 21, orHorizontal, MeasureText(bar.Font(), "33 %"));
  EXPECT_GE(red.left, box.left);
  EXPECT_LE(red.right, box.right);
  EXPECT_GE(red.top, box.top);
  EXPECT_LE(red.bottom, box.bottom);
  // Centred: the glyphs' margins on both sides differ by little.
  EXPECT_LE(std::abs((red.left - 0) - (214 - red.right)), 4);

  // Max equal to Min: no fill, no percentage, in every style and way round.
  for (TdxfPBStyle style : {sSolid, sRectangles, sExSolid, sExRectangles, sPictures}) {
    for (TdxfPBOrientation o : {orHorizontal, orVertical}) {
      bar.SetStyle(style);
      bar.SetOrientation(o);
      bar.SetMin(0);
      bar.SetMax(0);
      ASSERT_EQ(bar.Max(), 0);
      bar.SetPosition(0);
      bar.SetPosition(5);
      Render();
      EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 214, 21}, clRed), 0) << style << o;
      EXPECT_EQ(UiTest::CountColor(out, RECT{0, 0, 214, 21}, kNavy), 0) << style << o;
      bar.SetMax(100);
    }
  }
  // The position text needs no range.
  bar.SetOrientation(orHorizontal);
  bar.SetShowTextStyle(stsPosition);
  bar.SetMax(0);
  Render();
  EXPECT_GT(UiTest::CountColor(out, RECT{0, 0, 214, 21}, clRed), 0);
}

TEST_F(ProgressPaintTest, VerticalTextRunsDownTheMiddle) {
  bar.SetBounds(10, 10, 30, 150);
  bar.SetOrientation(orVertical);
  bar.SetShowText(true);
  bar.Font().SetColor(clRed);
  bar.SetPosition(100);
  bar.SetPosition(57);
  Render();
  RECT red = UiTest::BoundsOf(out, clRed);
  ASSERT_GT(red.bottom, red.top);
  EXPECT_GT(red.bottom - red.top, red.right - red.left);
  RECT box = dxfProgress::TextBox(30, 150, orVertical, MeasureText(bar.Font(), "57 %"));
  EXPECT_GE(red.left, box.left - 1);
  EXPECT_LE(red.right, box.right + 1);
  EXPECT_GE(red.top, box.top - 1);
  EXPECT_LE(red.bottom, box.bottom + 1);
}

TEST(ProgressBarTest, SettersKeepTheRangeAndStep) {
  TdxfProgressBar bar(nullptr);
  EXPECT_EQ(bar.Width(), 150);
  EXPECT_EQ(bar.Height(), 16);
  EXPECT_EQ(bar.Style(), sRectangles);
  EXPECT_EQ(bar.BeginColor(), RGBColor(0, 0, 128));
  EXPECT_EQ(bar.EndColor(), clWhite);
  bar.SetMax(-1);  // below Min: refused
  EXPECT_EQ(bar.Max(), 100);
  bar.SetMin(101);  // above Max: refused
  EXPECT_EQ(bar.Min(), 0);
  bar.SetMin(100);  // equal is allowed
  EXPECT_EQ(bar.Min(), 100);
  bar.SetMin(0);
  bar.SetPosition(250);  // not clamped
  EXPECT_EQ(bar.Position(), 250);
  bar.SetPosition(0);
  bar.SetStep(0);
  bar.StepIt();
  bar.StepBy(0);
  EXPECT_EQ(bar.Position(), 0);
  bar.SetStep(10);
  bar.StepIt();
  bar.StepBy(-3);
  EXPECT_EQ(bar.Position(), 7);
  TBitmap tile;
  ASSERT_TRUE(tile.SetSize(6, 9));
  bar.SetOrientation(orVertical);
  bar.SetGlyph(tile);
  EXPECT_EQ(bar.Width(), 10);
  EXPECT_EQ(bar.Height(), 16);
}

// The repaints a change asks for, read back as the window's update area.
struct ProgressInvalidateTest : ProgressPaintTest {
  RECT UpdateBox() {
    RECT r{0, 0, 0, 0};
    if (!GetUpdateRect(bar.Handle(), &r, FALSE)) r = RECT{0, 0, 0, 0};
    return r;
  }
  void Validate() { ValidateRect(bar.Handle(), nullptr); }
};

TEST_F(ProgressInvalidateTest, PositionRepaintsOnlyItsStrip) {
  form.Show();  // only a visible window keeps an update area
  bar.SetPosition(50);
  Validate();
  bar.SetPosition(50);
  EXPECT_EQ(UpdateBox().right, 0);  // unchanged: nothing
  bar.SetPosition(60);
  RECT expected = dxfProgress::PositionStrip(bar.LayoutInput(), 50);
  RECT got = UpdateBox();
  EXPECT_EQ(got.left, expected.left);
  EXPECT_EQ(got.right, expected.right);
  EXPECT_LT(got.right - got.left, 214 / 2);

  // With the text shown, its box (sized for "100 %") joins the strip.
  Validate();
  bar.SetShowText(true);
  Validate();
  bar.SetPosition(61);
  got = UpdateBox();
  RECT text = dxfProgress::TextBox(214, 21, orHorizontal, MeasureText(bar.Font(), "100 %"));
  EXPECT_LE(got.left, text.left);
  EXPECT_GE(got.right, text.right);

  // An end colour that a block bar does not use repaints nothing.
  Validate();
  bar.SetEndColor(clRed);
  EXPECT_EQ(UpdateBox().right, 0);
  bar.SetStyle(sExRectangles);
  Validate();
  bar.SetEndColor(clBlue);
  EXPECT_EQ(UpdateBox().right, 214);
  // So does the text style while no text is shown.
  bar.SetShowText(false);
  Validate();
  bar.SetShowTextStyle(stsPosition);
  EXPECT_EQ(UpdateBox().right, 0);
}


// ---------------------------------------------------------------------------
// What every control has from the control base, tried on the progress bar:
// alignment, hints, the parent's colour and font, the popup menu and
// dragging.

struct ProgressControlTest : ::testing::Test {
  UiTest::THostForm form{400, 300};
  TPanel panel{&form};
  void SetUp() override {
    panel.SetParent(&form);
    panel.SetBounds(20, 20, 300, 200);
    panel.Show();
  }
  static RECT Bounds(const TWinControl& c) { return RECT{c.Left(), c.Top(), c.Left() + c.Width(), c.Top() + c.Height()}; }
  static std::string Str(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  }
};

// Edges are taken in the order top, bottom, left, right, each in what the
// earlier ones left; the client one takes the rest, and a new size of the
// parent lays them out again.
TEST_F(ProgressControlTest, AlignedBarsShareTheParentsClientArea) {
  struct Bar {
    TAlign align;
    RECT at300x200, at200x100;
  };
  const Bar bars[] = {
      {alClient, {40, 16, 260, 184}, {40, 16, 160, 84}},
      {alRight, {260, 16, 300, 184}, {160, 16, 200, 84}},
      {alLeft, {0, 16, 40, 184}, {0, 16, 40, 84}},
      {alBottom, {0, 184, 300, 200}, {0, 84, 200, 100}},
      {alTop, {0, 0, 300, 16}, {0, 0, 200, 16}},
  };
  std::vector<std::unique_ptr<TdxfProgressBar>> made;
  for (const Bar& b : bars) {
    auto bar = std::make_unique<TdxfProgressBar>(nullptr);
    bar->SetBounds(5, 5, 40, 16);  // the constructor's 150 x 16, narrowed
    bar->SetParent(&panel);
    bar->SetAlign(b.align);
    bar->Show();
    made.push_back(std::move(bar));
  }
  for (std::size_t i = 0; i < made.size(); ++i) {
    EXPECT_EQ(Str(Bounds(*made[i])), Str(bars[i].at300x200)) << "align " << bars[i].align;
    RECT screen;
    GetWindowRect(made[i]->Handle(), &screen);
    MapWindowPoints(nullptr, panel.Handle(), reinterpret_cast<POINT*>(&screen), 2);
    EXPECT_EQ(Str(screen), Str(bars[i].at300x200)) << "the window itself";
  }
  for (std::size_t i = 0; i < made.size(); ++i) {
    made[i]->SetStyle(sSolid);
    made[i]->SetPosition(20 * static_cast<int>(i + 1));
  }
  form.Show();
  UiTest::Pump();
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(form.Handle(), shot));
  EXPECT_TRUE(UiTest::SavePng(shot, UiTest::ScreenshotPath("progress-aligned.png")));
  panel.SetBounds(20, 20, 200, 100);
  for (std::size_t i = 0; i < made.size(); ++i)
    EXPECT_EQ(Str(Bounds(*made[i])), Str(bars[i].at200x100)) << "align " << bars[i].align;
  // A hidden bar gives its room to the others; alNone leaves a bar alone.
  made[4]->Hide();
  EXPECT_EQ(Bounds(*made[0]).top, 0);
  made[1]->SetAlign(alNone);
  EXPECT_EQ(Str(Bounds(*made[1])), Str(RECT{160, 0, 200, 84}));
  EXPECT_EQ(Bounds(*made[0]).right, 200);
  // A bar destroyed gives its room back too.
  made[2].reset();
  EXPECT_EQ(Bounds(*made[0]).left, 0);
}

// The hint is a tooltip of the bar's window while the effective ShowHint is
// on: the parent's with ParentShowHint, else the bar's own.
TEST_F(ProgressControlTest, HintIsATooltipWhileHintsAreShown) {
  TdxfProgressBar bar(&form);
  bar.SetParent(&panel);
  bar.Show();
  const auto tip = [&]() -> std::string {
    HWND tool = bar.HintWindow();
    if (!tool) return "(none)";
    EXPECT_EQ(SendMessageA(tool, TTM_GETTOOLCOUNT, 0, 0), 1);
    char text[80] = {};
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = bar.Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(bar.Handle());
    ti.lpszText = text;
    SendMessageA(tool, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&ti));
    return text;
  };
  EXPECT_TRUE(bar.ParentShowHint());
  EXPECT_FALSE(bar.ShowHint());
  bar.SetHint("Password quality");
  EXPECT_EQ(tip(), "(none)");
  panel.SetShowHint(true);
  EXPECT_TRUE(bar.ShowHint());
  EXPECT_EQ(tip(), "Password quality");
  bar.SetHint("Quality");
  EXPECT_EQ(tip(), "Quality");
  bar.SetShowHint(false);  // its own now
  EXPECT_FALSE(bar.ParentShowHint());
  EXPECT_EQ(tip(), "(none)");
  panel.SetShowHint(false);
  bar.SetShowHint(true);
  EXPECT_EQ(tip(), "Quality");
  bar.SetParentShowHint(true);
  EXPECT_EQ(tip(), "(none)");
  bar.SetHint("");
  panel.SetShowHint(true);
  EXPECT_EQ(tip(), "(none)") << "no text, no tooltip";
}

// With ParentColor and ParentFont the bar takes the panel's colour and font
// and follows their changes, until it is given its own.
TEST_F(ProgressControlTest, ParentColourAndFontAreFollowedUntilSetOwn) {
  TdxfProgressBar bar(&form);
  bar.SetParent(&panel);
  bar.SetBounds(0, 0, 100, 20);
  bar.Show();
  panel.SetColor(clRed);
  EXPECT_NE(bar.Color(), clRed);
  bar.SetParentColor(true);
  EXPECT_EQ(bar.Color(), clRed);
  panel.SetColor(clLime);
  EXPECT_EQ(bar.Color(), clLime);
  TBitmap out;
  ASSERT_TRUE(UiTest::RenderClient(bar.Handle(), out, clFuchsia));
  EXPECT_EQ(out.Pixel(50, 10), clLime) << "the background is painted in it";
  bar.SetColor(clBlue);
  EXPECT_FALSE(bar.ParentColor());
  panel.SetColor(clRed);
  EXPECT_EQ(bar.Color(), clBlue);

  bar.SetParentFont(true);
  panel.Font().SetName("Courier New");
  panel.Font().SetSize(15);
  EXPECT_EQ(bar.Font().Name(), "Courier New");
  EXPECT_EQ(bar.Font().Size(), 15);
  EXPECT_TRUE(bar.ParentFont());
  bar.Font().SetSize(9);
  EXPECT_FALSE(bar.ParentFont());
  panel.Font().SetSize(20);
  EXPECT_EQ(bar.Font().Size(), 9);
  // Taken at once when the flag is set, or when moved to another parent.
  TPanel other(&form);
  other.SetColor(clYellow);
  bar.SetParentColor(true);
  EXPECT_EQ(bar.Color(), clRed);
  bar.SetParent(&other);
  EXPECT_EQ(bar.Color(), clYellow);
}

// The bar's popup menu opens on WM_CONTEXTMENU, from the mouse and from the
// keyboard. A menu destroyed is dropped.
TEST_F(ProgressControlTest, PopupMenuOpensOnTheContextMenuMessage) {
  TdxfProgressBar bar(&form);
  bar.SetParent(&panel);
  bar.SetBounds(10, 30, 100, 20);
  bar.Show();
  form.Show();
  auto menu = std::make_unique<TPopupMenu>(&form);
  menu->Items()->AddNew(&form, "Item1", "Reset", nullptr);
  int opened = 0;
  menu->OnPopup = [&](TObject*) {
    ++opened;
    UiTest::CloseMenuSoon();
  };
  EXPECT_EQ(bar.PopupMenu(), nullptr);
  SendMessageA(bar.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bar.Handle()), MAKELPARAM(40, 50));
  EXPECT_EQ(opened, 0) << "no menu: nothing opens";
  bar.SetPopupMenu(menu.get());
  EXPECT_EQ(bar.PopupMenu(), menu.get());
  SendMessageA(bar.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bar.Handle()), MAKELPARAM(40, 50));
  EXPECT_EQ(opened, 1);
  SendMessageA(bar.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bar.Handle()), MAKELPARAM(-1, -1));
  EXPECT_EQ(opened, 2);
  menu.reset();
  EXPECT_EQ(bar.PopupMenu(), nullptr);
  SendMessageA(bar.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bar.Handle()), MAKELPARAM(40, 50));
  EXPECT_EQ(opened, 2);
}

// A bar with dmAutomatic is dragged by a left press: the control under the
// mouse is asked (enter, move, leave), takes the drop when it accepts, and
// the bar hears where the drag ended.
TEST_F(ProgressControlTest, DraggingTheBarOntoAPanel) {
  TdxfProgressBar bar(&form);
  bar.SetParent(&form);
  bar.SetBounds(330, 20, 60, 20);
  bar.Show();
  form.Show();
  UiTest::Pump();
  std::vector<std::string> log;
  bool accept = true;
  bar.SetDragMode(dmAutomatic);
  bar.OnStartDrag = [&](TObject* sender) { log.push_back(sender == &bar ? "start" : "start?"); };
  panel.OnDragOver = [&](TObject* sender, TObject* source, int x, int y, TDragState state, bool& ok) {
    EXPECT_EQ(sender, &panel);
    EXPECT_EQ(source, &bar);
    log.push_back("over " + std::to_string(state) + " " + std::to_string(x) + "," + std::to_string(y));
    ok = accept;
  };
  panel.OnDragDrop = [&](TObject*, TObject* source, int x, int y) {
    log.push_back(std::string(source == &bar ? "drop " : "drop? ") + std::to_string(x) + "," + std::to_string(y));
  };
  TObject* endedOn = &form;
  bar.OnEndDrag = [&](TObject*, TObject* target, int x, int y) {
    endedOn = target;
    log.push_back("end " + std::to_string(x) + "," + std::to_string(y));
  };
  // Panel point (p) in the bar's client coordinates.
  const auto onPanel = [&](int x, int y) {
    POINT p{x, y};
    MapWindowPoints(panel.Handle(), bar.Handle(), &p, 1);
    return MAKELPARAM(p.x, p.y);
  };
  HWND wnd = bar.Handle();
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(bar.Dragging());
  EXPECT_EQ(GetCapture(), wnd);
  SendMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 5));  // over itself: nobody asks
  SendMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, onPanel(50, 60));
  SendMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, onPanel(70, 80));
  SendMessageA(wnd, WM_LBUTTONUP, 0, onPanel(100, 90));
  EXPECT_FALSE(bar.Dragging());
  EXPECT_NE(GetCapture(), wnd);
  EXPECT_EQ(endedOn, &panel);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over 0 50,60", "over 2 70,80", "over 2 100,90", "drop 100,90",
                                           "end 100,90"}));

  // Refused: no drop, the end has no target. Esc ends a drag without one.
  log.clear();
  accept = false;
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, onPanel(50, 60));
  SendMessageA(wnd, WM_LBUTTONUP, 0, onPanel(50, 60));
  EXPECT_EQ(endedOn, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over 0 50,60", "over 2 50,60", "end " + [&] {
                                             POINT p{50, 60};
                                             MapWindowPoints(panel.Handle(), wnd, &p, 1);
                                             return std::to_string(p.x) + "," + std::to_string(p.y);
                                           }()}));
  log.clear();
  accept = true;
  endedOn = &form;
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, onPanel(50, 60));
  SendMessageA(wnd, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(bar.Dragging());
  EXPECT_EQ(endedOn, nullptr);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2], "over 1 50,60") << "the panel hears the drag leave";

  // dmManual: a press is the bar's own again.
  log.clear();
  bar.SetDragMode(dmManual);
  SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_FALSE(bar.Dragging());
  EXPECT_TRUE(log.empty());
}

}  // namespace
