#include <gtest/gtest.h>

#include "notes/text/ScrollThumb.h"
#include "notes/text/Zoom.h"

using namespace NoteText;

TEST(ScrollThumb, MulDivRoundsAsWindowsDoes) {
  struct Case {
    int a, b, c, r;
  };
  const Case cases[] = {
      {500, 50, 10000, 3},  // 2.5 rounds up
      {5, 1, 2, 3},
      {-5, 1, 2, -3},       // halves away from zero
      {7, 1, 2, 4},
      {1, 1, 3, 0},
      {2, 1, 3, 1},
      {1, 1, 0, -1},        // no divisor
      {0x40000000, 4, 1, -1},  // does not fit
      {0x40000000, 4, 4, 0x40000000},  // a product beyond 32 bits, divided back
      {-7, -3, 2, 11},
  };
  for (const auto& c : cases) EXPECT_EQ(WinMulDiv(c.a, c.b, c.c), c.r) << c.a << "*" << c.b << "/" << c.c;
}

TEST(ScrollThumb, MetricsFromTheEditor) {
  // 1000 lines, an 800-pixel format rectangle of 16-pixel lines: 50 visible.
  TScrollMetrics v = VerticalScrollMetrics(1000, 960, 800, 16);
  EXPECT_EQ(v.page, 50);
  EXPECT_EQ(v.maximum, 950);
  EXPECT_EQ(v.position, 950);  // clamped to the maximum
  v = VerticalScrollMetrics(10, 0, 800, 0);  // no line height: 16
  EXPECT_EQ(v.page, 50);
  EXPECT_EQ(v.maximum, 0);
  v = VerticalScrollMetrics(0, -3, 5, 16);
  EXPECT_EQ(v.page, 1);
  EXPECT_EQ(v.maximum, 0);
  EXPECT_EQ(v.position, 0);

  TScrollMetrics h = HorizontalScrollMetrics(999, 200, 300);
  EXPECT_EQ(h.page, 200);
  EXPECT_EQ(h.maximum, 800);
  EXPECT_EQ(h.position, 300);
  h = HorizontalScrollMetrics(999, 200, 5000);
  EXPECT_EQ(h.position, 800);
  h = HorizontalScrollMetrics(999, 0, -5);  // no page set
  EXPECT_EQ(h.page, 1);
  EXPECT_EQ(h.maximum, 999);
  EXPECT_EQ(h.position, 0);
  h = HorizontalScrollMetrics(100, 400, 0);
  EXPECT_EQ(h.maximum, 0);
}

TEST(ScrollThumb, ThumbTable) {
  struct Case {
    const char* name;
    int track;
    TScrollMetrics m;
    int start, length;
  };
  const Case cases[] = {
      {"fits the view: the whole track", 500, {0, 0, 50}, 0, 500},
      {"1000 lines, 50 visible", 500, {0, 950, 50}, 0, 25},
      {"... at the end", 500, {950, 950, 50}, 475, 25},
      {"... half way", 500, {475, 950, 50}, 238, 25},  // 475 x 475 / 950 = 237.5
      {"10,000 lines: 20 at least", 500, {0, 9950, 50}, 0, 20},
      {"10,000 lines at the end", 500, {9950, 9950, 50}, 480, 20},
      {"a short track: never longer than the track", 12, {0, 9950, 50}, 0, 12},
      {"no track", 0, {0, 950, 50}, 0, 0},
  };
  for (const auto& c : cases) {
    const TThumbSpan s = DarkThumbSpan(c.track, c.m);
    EXPECT_EQ(s.start, c.start) << c.name;
    EXPECT_EQ(s.length, c.length) << c.name;
  }
  const TBarRect v = DarkThumbRect({100, 25}, true, 17, 500);
  EXPECT_EQ(v.left, 4);
  EXPECT_EQ(v.right, 13);
  EXPECT_EQ(v.top, 102);
  EXPECT_EQ(v.bottom, 123);
  const TBarRect h = DarkThumbRect({100, 25}, false, 500, 17);
  EXPECT_EQ(h.left, 102);
  EXPECT_EQ(h.right, 123);
  EXPECT_EQ(h.top, 4);
  EXPECT_EQ(h.bottom, 13);
  EXPECT_TRUE(DarkThumbRect({0, 0}, true, 17, 500).Empty());
}

TEST(ScrollThumb, TrackLength) {
  EXPECT_EQ(DarkTrackLength(300, true, true, 17), 283);  // stops above the native bar
  EXPECT_EQ(DarkTrackLength(300, true, true, 0), 283);
  EXPECT_EQ(DarkTrackLength(300, true, false, 17), 300);
  EXPECT_EQ(DarkTrackLength(300, false, true, 17), 300);
  EXPECT_EQ(DarkTrackLength(10, true, true, 17), 1);
}

TEST(ScrollThumb, PressAndDrag) {
  // 1000 lines, 50 visible, 500-pixel track: the thumb is 25 long at 0.
  const TScrollMetrics m{0, 950, 50};
  const TThumbSpan span = DarkThumbSpan(500, m);
  const TBarRect thumb = DarkThumbRect(span, true, 17, 500);
  // A press on the thumb holds it where it was pressed.
  EXPECT_EQ(DarkGrabOffset(10, thumb, true), 10);
  EXPECT_EQ(DarkGrabOffset(0, thumb, true), 0);
  EXPECT_EQ(DarkGrabOffset(24, thumb, true), 24);
  // A press below it holds its middle: the thumb centres on the press and
  // the view goes there at once.
  EXPECT_EQ(DarkGrabOffset(300, thumb, true), 12);
  EXPECT_EQ(DarkDragTarget(300, 12, thumb, true, 500, 950), WinMulDiv(288, 950, 475));
  // Dragging to either end reaches the first and the last position.
  EXPECT_EQ(DarkDragTarget(-50, 12, thumb, true, 500, 950), 0);
  EXPECT_EQ(DarkDragTarget(9999, 12, thumb, true, 500, 950), 950);
  EXPECT_EQ(DarkDragTarget(487, 12, thumb, true, 500, 950), 950);
  // Nothing to scroll, or a thumb that fills the track: no target.
  EXPECT_EQ(DarkDragTarget(100, 0, thumb, true, 500, 0), -1);
  const TBarRect full = DarkThumbRect(DarkThumbSpan(12, m), true, 17, 12);
  EXPECT_EQ(DarkDragTarget(5, 0, full, true, 12, 950), -1);
}

TEST(ScrollThumb, BarsLieOverTheEditorsEdges) {
  EXPECT_EQ(DarkBarSize(0), 17);
  EXPECT_EQ(DarkBarSize(9), 17);
  EXPECT_EQ(DarkBarSize(21), 21);
  const TBarRect v = DarkVerticalBarBounds(10, 20, 300, 200, 17);
  EXPECT_EQ(v.left, 293);
  EXPECT_EQ(v.top, 20);
  EXPECT_EQ(v.right, 310);
  EXPECT_EQ(v.bottom, 220);
  // With both bars the horizontal one ends where the vertical one begins.
  const TBarRect h = DarkHorizontalBarBounds(10, 20, 300, 200, 17, 17, true);
  EXPECT_EQ(h.left, 10);
  EXPECT_EQ(h.top, 203);
  EXPECT_EQ(h.right, v.left);
  EXPECT_EQ(h.bottom, 220);
  EXPECT_EQ(DarkHorizontalBarBounds(10, 20, 300, 200, 17, 17, false).right, 310);
  EXPECT_EQ(DarkHorizontalBarBounds(10, 20, 5, 200, 17, 17, true).right, 11);  // at least 1 wide
}

TEST(Zoom, SizesAndClamping) {
  EXPECT_EQ(ClampZoomPercent(10), 20);
  EXPECT_EQ(ClampZoomPercent(25), 25);
  EXPECT_EQ(ClampZoomPercent(410), 400);
  struct Case {
    int base, font, zoom;
    int baseAfter, zoomAfter, size;
  };
  const Case cases[] = {
      {10, 12, 25, 10, 25, 6},     // (250 + 50) / 100 = 3, raised to 6
      {10, 12, 150, 10, 150, 15},
      {-1, 12, 100, 12, 100, 12},  // unset: the font's size
      {0, 12, 100, 12, 100, 12},   // 0 is unset too, not a zero base
      {0, 0, 100, 10, 100, 10},    // no font size either: 10
      {10, 12, 10, 10, 20, 6},     // clamped to 20..400 like the property
      {10, 12, 1000, 10, 400, 40},
      {9, 0, 105, 9, 105, 9},      // 945 + 50 = 995 / 100
  };
  for (const auto& c : cases) {
    int base = c.base, zoom = c.zoom;
    EXPECT_EQ(UpdateZoomSize(base, c.font, zoom), c.size) << c.base << "/" << c.zoom;
    EXPECT_EQ(base, c.baseAfter) << c.base << "/" << c.zoom;
    EXPECT_EQ(zoom, c.zoomAfter) << c.base << "/" << c.zoom;
  }
  EXPECT_EQ(ZoomBaseSize(-1, 0), 10);
  EXPECT_EQ(ZoomedFontSize(11, 200), 22);
}
