// The geometry of the notes editor's dark scroll bars: the scroll metrics
// read from the editor, the thumb inside the track, where a press grabs the
// thumb, the scroll target of a drag, and where the bars lie over the
// editor. Integer arithmetic only, rounding as Windows' MulDiv does.
#pragma once

namespace NoteText {

// a x b / c with a 64-bit product, rounded to the nearest integer (halves
// away from zero); -1 when c is 0 or the result does not fit 32 bits.
int WinMulDiv(int a, int b, int c);

// The thumb's bounds and the rectangles here: [left, right) x [top, bottom).
struct TBarRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
};

struct TScrollMetrics {
  int position = 0;
  int maximum = 0;  // the largest position; 0 when everything fits
  int page = 1;     // how much one view shows
};

// Vertical metrics from the editor's lines: V = format-rectangle height /
// line height (16 when below 1), at least 1; maximum = lines (at least 1) -
// V, at least 0; position = first visible line (at least 0) up to maximum.
TScrollMetrics VerticalScrollMetrics(int lineCount, int firstVisibleLine, int formatRectHeight,
                                     int lineHeight);

// Horizontal metrics from the editor's horizontal scroll information: page
// at least 1; maximum = rangeMax - page + 1 when a page is set, else
// rangeMax, at least 0; position = the scroll offset clamped to [0, maximum].
TScrollMetrics HorizontalScrollMetrics(int rangeMax, int infoPage, int scrollOffset);

// The track: the client extent along the bar; the vertical bar stops above
// the editor's own horizontal bar when that one shows (its height 17 when
// not positive). At least 1.
int DarkTrackLength(int clientExtent, bool vertical, bool nativeHorzBarShown, int horzBarHeight);

// The thumb along the track: start and length. The whole track when nothing
// scrolls (maximum 0); else track x page / (maximum + page), at least 20 and
// at most the track, placed in proportion to position. Length 0 for a track
// of 0 or less.
struct TThumbSpan {
  int start = 0;
  int length = 0;
};
TThumbSpan DarkThumbSpan(int track, const TScrollMetrics& m);

// The thumb rectangle in the bar's client area (inset 4 across the bar and 2
// at each end); empty when the span is.
TBarRect DarkThumbRect(const TThumbSpan& span, bool vertical, int clientWidth, int clientHeight);

// Where a press at coord (along the bar) holds the thumb: its distance from
// the thumb's start when it lies on the thumb (the rectangle plus 2 at each
// end), else half the thumb, which then centres on the press.
int DarkGrabOffset(int coord, const TBarRect& thumb, bool vertical);

// The scroll position a drag to coord asks for, or -1 when the thumb cannot
// move (it fills the track): the thumb's start (coord - grab, clamped to the
// free length) scaled to [0, maximum].
int DarkDragTarget(int coord, int grabOffset, const TBarRect& thumb, bool vertical, int track,
                   int maximum);

// Where the bars lie, in the editor's parent's coordinates. barWidth and
// barHeight are the system scroll-bar sizes (17 when below 10). The
// horizontal bar leaves room at its right end for the vertical one when
// leaveRoom is set.
TBarRect DarkVerticalBarBounds(int editorLeft, int editorTop, int editorWidth, int editorHeight,
                               int barWidth);
TBarRect DarkHorizontalBarBounds(int editorLeft, int editorTop, int editorWidth, int editorHeight,
                                 int barWidth, int barHeight, bool leaveRoom);
// A system scroll-bar size as the bars use it.
inline int DarkBarSize(int systemMetric) { return systemMetric < 10 ? 17 : systemMetric; }

}  // namespace NoteText
