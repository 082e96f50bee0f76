#include "extras/QGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "extras/LocaleFormat.h"

namespace {

// Records what the plotter draws: every operation, and every line as a
// segment with the pen colour it was drawn in.
class RecordingCanvas : public TPlotCanvas {
 public:
  struct Op {
    std::string kind;
    int a = 0, b = 0, c = 0, d = 0;
    TColor color = 0;
  };
  struct Segment {
    int x0, y0, x1, y1;
    TColor color;
  };

  void SetBrushColor(TColor color) override { ops.push_back({"brush", 0, 0, 0, 0, color}); }
  void FillRect(int l, int t, int r, int b) override { ops.push_back({"fill", l, t, r, b, 0}); }
  void FloodFillBorder(int x, int y, TColor border) override { ops.push_back({"flood", x, y, 0, 0, border}); }
  void SetPenColor(TColor color) override {
    ops.push_back({"pen", 0, 0, 0, 0, color});
    pen_ = color;
  }
  void MoveTo(int x, int y) override {
    ops.push_back({"move", x, y, 0, 0, 0});
    x_ = x;
    y_ = y;
  }
  void LineTo(int x, int y) override {
    ops.push_back({"line", x, y, 0, 0, 0});
    segments.push_back({x_, y_, x, y, pen_});
    x_ = x;
    y_ = y;
  }

  std::vector<Segment> InColor(TColor color) const {
    std::vector<Segment> r;
    for (const auto& s : segments)
      if (s.color == color) r.push_back(s);
    return r;
  }

  std::vector<Op> ops;
  std::vector<Segment> segments;

 private:
  TColor pen_ = 0;
  int x_ = 0, y_ = 0;
};

constexpr TColor kRed = 255, kGreen = 0x00FF00, kBlue = 0xFF0000, kSilver = 0xC0C0C0;

class QGraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = DecimalSeparator();
    SetDecimalSeparator('.');
  }
  void TearDown() override {
    TQGraphics::SetProcessMessagesHook(nullptr);
    SetDecimalSeparator(saved_);
  }

  void AddCurve(const std::string& expr, TColor color, const std::string& step = "0.03125") {
    g.Expressions().Add(expr);
    g.Colors().Add(std::to_string(color));
    g.Steps().Add(step);
  }

  TQGraphics g;
  RecordingCanvas canvas;
  char saved_ = '.';
};

// The pixel row of y on the default 480-pixel, -10..10 range.
int DefaultRow(double y) { return static_cast<int>(std::trunc((10 - y) * 480 / 20)); }

TEST_F(QGraphicsTest, ConvertsWorldToPixels) {
  EXPECT_EQ(g.UmrechnenX(0, 640, -10, 10), 320);
  EXPECT_EQ(g.UmrechnenX(-10, 640, -10, 10), 0);
  EXPECT_EQ(g.UmrechnenY(10, 480, -10, 10), 0);
  EXPECT_EQ(g.UmrechnenY(-10, 480, -10, 10), 480);
  // Ranges that are not whole numbers divide by their true width.
  EXPECT_EQ(g.UmrechnenX(0, 640, -1.25, 1.25), 320);
  EXPECT_EQ(g.UmrechnenX(1.25, 640, -1.25, 1.25), 640);
  EXPECT_EQ(g.UmrechnenY(0, 480, 0, 0.5), 480);
  EXPECT_EQ(g.UmrechnenY(0.25, 480, 0, 0.5), 240);
  // No width, no number, or far off: still a defined pixel.
  EXPECT_EQ(g.UmrechnenX(3, 640, 5, 5), 0);
  EXPECT_EQ(g.UmrechnenY(std::numeric_limits<long double>::quiet_NaN(), 480, -10, 10), 0);
  EXPECT_EQ(g.UmrechnenY(-1e30L, 480, -10, 10), 16777216);
  EXPECT_EQ(g.UmrechnenY(1e4000L, 480, -10, 10), -16777216);
}

TEST_F(QGraphicsTest, DefaultPlotOfYEqualsX) {
  AddCurve("x", kRed);
  ASSERT_EQ(g.DrawToCanvas(&canvas), 0);

  // Clear to silver, flood the background white from (10, 10).
  ASSERT_GE(canvas.ops.size(), 4u);
  EXPECT_EQ(canvas.ops[0].kind, "brush");
  EXPECT_EQ(canvas.ops[0].color, kSilver);
  EXPECT_EQ(canvas.ops[1].kind + std::to_string(canvas.ops[1].c) + "x" + std::to_string(canvas.ops[1].d), "fill640x480");
  EXPECT_EQ(canvas.ops[2].color, 0xFFFFFF);
  EXPECT_EQ(canvas.ops[3].kind, "flood");
  EXPECT_EQ(canvas.ops[3].a, 10);
  EXPECT_EQ(canvas.ops[3].b, 10);
  EXPECT_EQ(canvas.ops[3].color, 0xFFFFFF);

  // The axes cross at (320, 240).
  auto axes = canvas.InColor(0);
  ASSERT_EQ(axes.size(), 2u);
  EXPECT_EQ(axes[0].x0, 1);
  EXPECT_EQ(axes[0].y0, 240);
  EXPECT_EQ(axes[0].x1, 640);
  EXPECT_EQ(axes[0].y1, 240);
  EXPECT_EQ(axes[1].x0, 320);
  EXPECT_EQ(axes[1].y0, 1);
  EXPECT_EQ(axes[1].x1, 320);
  EXPECT_EQ(axes[1].y1, 480);

  // One one-pixel stroke per column, ending on the diagonal.
  auto curve = canvas.InColor(kRed);
  ASSERT_EQ(curve.size(), 640u);
  for (int px = 1; px <= 640; ++px) {
    const auto& s = curve[static_cast<std::size_t>(px - 1)];
    int py = DefaultRow(px * 20.0 / 640 - 10);
    EXPECT_EQ(s.x0, px - 1);
    EXPECT_EQ(s.y0, py - 1);
    EXPECT_EQ(s.x1, px);
    EXPECT_EQ(s.y1, py);
  }
}

TEST_F(QGraphicsTest, JoinedPointsMakeOneStroke) {
  g.SetPointsOnly(false);
  AddCurve("x", kRed);
  ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  auto curve = canvas.InColor(kRed);
  ASSERT_EQ(curve.size(), 640u);
  EXPECT_EQ(curve[0].x0, 0);
  EXPECT_EQ(curve[0].y0, DefaultRow(20.0 / 640 - 10) - 1);
  for (std::size_t i = 1; i < curve.size(); ++i) {
    EXPECT_EQ(curve[i].x0, curve[i - 1].x1);
    EXPECT_EQ(curve[i].y0, curve[i - 1].y1);
    EXPECT_EQ(curve[i].x1, static_cast<int>(i) + 1);
  }
}

TEST_F(QGraphicsTest, UnbuildableExpressionIsSkippedAndNamed) {
  AddCurve("x", kRed);
  AddCurve("1/", kGreen);
  AddCurve("0-x", kBlue);
  EXPECT_EQ(g.DrawToCanvas(&canvas), 2);
  EXPECT_EQ(canvas.InColor(kRed).size(), 640u);
  EXPECT_EQ(canvas.InColor(kGreen).size(), 0u);
  EXPECT_EQ(canvas.InColor(kBlue).size(), 640u);
  // The plotter's own evaluator leaves the expressions as they were given.
  EXPECT_EQ(g.Expressions()[1], "1/");
}

TEST_F(QGraphicsTest, GridLinesAroundTheAxes) {
  g.SetGrid(true);
  ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  auto grid = canvas.InColor(kSilver);
  std::vector<int> below, above, right, left;
  for (const auto& s : grid) {
    if (s.y0 == s.y1) {
      EXPECT_EQ(s.x0, 1);
      EXPECT_EQ(s.x1, 640);
      (s.y0 > 240 ? below : above).push_back(s.y0);
    } else {
      EXPECT_EQ(s.y0, 1);
      EXPECT_EQ(s.y1, 480);
      (s.x0 > 320 ? right : left).push_back(s.x0);
    }
  }
  std::vector<int> expBelow, expAbove, expRight, expLeft;
  for (int k = 1; k <= 10; ++k) {
    expBelow.push_back(240 + 24 * k);
    expAbove.push_back(240 - 24 * k);
    expRight.push_back(320 + 32 * k);
    expLeft.push_back(320 - 32 * k);
  }
  EXPECT_EQ(below, expBelow);
  EXPECT_EQ(above, expAbove);
  EXPECT_EQ(right, expRight);
  EXPECT_EQ(left, expLeft);
  // Drawn in that order: below, above, right, left.
  ASSERT_EQ(grid.size(), 40u);
  EXPECT_EQ(grid[0].y0, 264);
  EXPECT_EQ(grid[10].y0, 216);
  EXPECT_EQ(grid[20].x0, 352);
  EXPECT_EQ(grid[30].x0, 288);
}

TEST_F(QGraphicsTest, GridOnAFractionalRangeLinesUpWithTheAxes) {
  g.SetGrid(true);
  g.SetGridSpace(0.5L);
  g.SetMinusX(-1.25L);
  g.SetPlusX(1.25L);
  ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  auto axes = canvas.InColor(0);
  ASSERT_EQ(axes.size(), 2u);
  EXPECT_EQ(axes[1].x0, 320);
  std::vector<int> columns;
  for (const auto& s : canvas.InColor(kSilver))
    if (s.x0 == s.x1) columns.push_back(s.x0);
  EXPECT_EQ(columns, (std::vector<int>{448, 576, 192, 64}));
}

TEST_F(QGraphicsTest, DivisionByZeroLeavesAGapAndRestartsTheStroke) {
  AddCurve("1/x", kRed);
  ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  auto points = canvas.InColor(kRed);
  EXPECT_EQ(points.size(), 639u);
  for (const auto& s : points) EXPECT_NE(s.x1, 320);

  RecordingCanvas joined;
  g.SetPointsOnly(false);
  ASSERT_EQ(g.DrawToCanvas(&joined), 0);
  auto strokes = joined.InColor(kRed);
  EXPECT_EQ(strokes.size(), 639u);
  for (const auto& s : strokes) EXPECT_FALSE(s.x0 <= 319 && s.x1 >= 320) << s.x0 << "->" << s.x1;
}

TEST_F(QGraphicsTest, JumpThresholdComparesWithThePreviousPoint) {
  g.SetPointsOnly(false);
  // Steps of height 1 at every whole x: joined only below the threshold.
  AddCurve("x-(x mod 1)", kRed);
  ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  int tall = 0;
  for (const auto& s : canvas.InColor(kRed)) tall += std::abs(s.y1 - s.y0) >= 12;
  EXPECT_GT(tall, 0);  // without a threshold the steps are joined

  RecordingCanvas separated;
  g.SetAbstand(0.5L);
  ASSERT_EQ(g.DrawToCanvas(&separated), 0);
  for (const auto& s : separated.InColor(kRed)) EXPECT_LT(std::abs(s.y1 - s.y0), 12);

  // A smooth curve far from 0 stays one stroke.
  RecordingCanvas smooth;
  g.Expressions().SetStrings(0, "x/4+5");
  ASSERT_EQ(g.DrawToCanvas(&smooth), 0);
  auto strokes = smooth.InColor(kRed);
  ASSERT_EQ(strokes.size(), 640u);
  for (std::size_t i = 1; i < strokes.size(); ++i) {
    EXPECT_EQ(strokes[i].x0, strokes[i - 1].x1);
    EXPECT_EQ(strokes[i].y0, strokes[i - 1].y1);
  }
}

TEST_F(QGraphicsTest, CancelFromAMessageHandlerDuringTheGrid) {
  g.SetGrid(true);
  AddCurve("x", kRed);
  int calls = 0;
  TQGraphics::SetProcessMessagesHook([&] {
    if (++calls == 3) g.Cancel();
  });
  EXPECT_EQ(g.DrawToCanvas(&canvas), -1);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(canvas.InColor(kSilver).size(), 3u);
  EXPECT_EQ(canvas.InColor(kRed).size(), 0u);
  // A cancel before the next drawing is forgotten when it starts.
  TQGraphics::SetProcessMessagesHook(nullptr);
  g.Cancel();
  RecordingCanvas again;
  EXPECT_EQ(g.DrawToCanvas(&again), 0);
}

TEST_F(QGraphicsTest, HandlerThatDestroysThePlotter) {
  auto* plot = new TQGraphics;
  plot->Expressions().Add("x");
  plot->Colors().Add("255");
  plot->Steps().Add("1");
  TQGraphics::SetProcessMessagesHook([&] {
    delete plot;
    plot = nullptr;
  });
  EXPECT_EQ(plot->DrawToCanvas(&canvas), -1);
  EXPECT_EQ(plot, nullptr);
  EXPECT_EQ(canvas.InColor(kRed).size(), 0u);
}

TEST_F(QGraphicsTest, NestedDrawingIsRefused) {
  AddCurve("x", kRed);
  int nested = 0;
  RecordingCanvas inner;
  TQGraphics::SetProcessMessagesHook([&] { nested = g.DrawToCanvas(&inner); });
  EXPECT_EQ(g.DrawToCanvas(&canvas), 0);
  EXPECT_EQ(nested, -1);
  EXPECT_TRUE(inner.ops.empty());
}

TEST_F(QGraphicsTest, MissingStepOrColourLineRaisesTheListError) {
  g.Expressions().Add("x");
  g.Colors().Add("255");
  EXPECT_THROW(g.DrawToCanvas(&canvas), EListError);
  g.Steps().Add("1");
  g.Expressions().Add("x");
  g.Steps().Add("1");
  EXPECT_THROW(g.DrawToCanvas(&canvas), EListError);
}

TEST_F(QGraphicsTest, StepsAndColoursAsText) {
  AddCurve("x", 0, "pi");  // 100 pixels between samples
  g.Colors().SetStrings(0, "  4210752xyz");
  ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  auto samples = canvas.InColor(4210752);
  ASSERT_EQ(samples.size(), 7u);
  EXPECT_EQ(samples[1].x1, 101);

  // A step that is no number gives a pixel step of 1; a huge colour stays
  // within 32 bits, a negative one is taken bit for bit.
  RecordingCanvas other;
  g.Steps().SetStrings(0, "abc");
  g.Colors().SetStrings(0, "99999999999");
  ASSERT_EQ(g.DrawToCanvas(&other), 0);
  EXPECT_EQ(other.InColor(0x7FFFFFFFu).size(), 640u);
  RecordingCanvas system;
  g.Colors().SetStrings(0, "-16777211");
  ASSERT_EQ(g.DrawToCanvas(&system), 0);
  EXPECT_EQ(system.InColor(0xFF000005u).size(), 640u);
}

TEST_F(QGraphicsTest, FaultyInputFinishesSafely) {
  // No usable width: nothing drawn.
  g.SetMinusY(5);
  g.SetPlusY(5);
  AddCurve("x", kRed);
  EXPECT_EQ(g.DrawToCanvas(&canvas), 0);
  EXPECT_TRUE(canvas.ops.empty());
  g.SetPlusY(std::numeric_limits<long double>::infinity());
  EXPECT_EQ(g.DrawToCanvas(&canvas), 0);
  EXPECT_TRUE(canvas.ops.empty());

  // A range narrower than 1 is drawn (the width is not truncated).
  g.SetMinusY(0);
  g.SetPlusY(0.5L);
  EXPECT_EQ(g.DrawToCanvas(&canvas), 0);
  EXPECT_EQ(canvas.InColor(kRed).size(), 640u);

  // Grid spacing of zero or less draws no grid lines; a tiny one is capped.
  g.SetMinusY(-10);
  g.SetPlusY(10);
  g.SetGrid(true);
  for (long double space : {0.0L, -1.0L, std::numeric_limits<long double>::quiet_NaN()}) {
    RecordingCanvas c;
    g.SetGridSpace(space);
    EXPECT_EQ(g.DrawToCanvas(&c), 0);
    EXPECT_EQ(c.InColor(kSilver).size(), 0u);
  }
  RecordingCanvas tiny;
  g.SetGridSpace(1e-12L);
  EXPECT_EQ(g.DrawToCanvas(&tiny), 0);
  EXPECT_EQ(tiny.InColor(kSilver).size(), 2u * 480 + 2u * 640);
  g.SetGrid(false);

  // Failing powers, huge values and logarithms of negatives are gaps.
  g.Expressions().SetStrings(0, "10^400");
  RecordingCanvas none;
  EXPECT_EQ(g.DrawToCanvas(&none), 0);
  EXPECT_EQ(none.InColor(kRed).size(), 0u);
  g.Expressions().SetStrings(0, "(0-8)^0.5");
  EXPECT_EQ(g.DrawToCanvas(&none), 0);
  EXPECT_EQ(none.InColor(kRed).size(), 0u);
  g.Expressions().SetStrings(0, "ln(x)");
  RecordingCanvas half;
  EXPECT_EQ(g.DrawToCanvas(&half), 0);
  EXPECT_EQ(half.InColor(kRed).size(), 320u);
  g.Expressions().SetStrings(0, "x^200");
  RecordingCanvas far;
  EXPECT_EQ(g.DrawToCanvas(&far), 0);
  for (const auto& s : far.InColor(kRed)) EXPECT_GE(s.y1, -16777216);
}

TEST_F(QGraphicsTest, WithoutClearingOnlyTheBackgroundIsFlooded) {
  g.SetClearCanvas(false);
  g.SetCross(false);
  g.SetBackground(0x123456);
  ASSERT_EQ(g.DrawToCanvas(&canvas), 0);
  ASSERT_EQ(canvas.ops.size(), 2u);
  EXPECT_EQ(canvas.ops[0].kind, "brush");
  EXPECT_EQ(canvas.ops[0].color, 0x123456);
  EXPECT_EQ(canvas.ops[1].kind, "flood");
  EXPECT_EQ(canvas.ops[1].color, 0x123456);
}

TEST_F(QGraphicsTest, ListSettersCopy) {
  TStringList list;
  list.Add("x");
  list.Add("x^2");
  g.SetExpressions(list);
  list.Clear();
  EXPECT_EQ(g.Expressions().Count(), 2);
  g.SetExpressions(g.Expressions());
  EXPECT_EQ(g.Expressions().Count(), 2);
}

}  // namespace
