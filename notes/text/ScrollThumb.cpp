#include "notes/text/ScrollThumb.h"

#include <algorithm>
#include <cstdint>

namespace NoteText {

int WinMulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t p = static_cast<std::int64_t>(a) * b;
  const bool negative = (p < 0) != (c < 0);
  const std::uint64_t num = p < 0 ? static_cast<std::uint64_t>(-(p + 1)) + 1 : static_cast<std::uint64_t>(p);
  const std::uint64_t den = c < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(c)) : static_cast<std::uint64_t>(c);
  const std::uint64_t q = (num + den / 2) / den;
  if (q > 0x7FFFFFFFu) return -1;
  return negative ? -static_cast<int>(q) : static_cast<int>(q);
}

TScrollMetrics VerticalScrollMetrics(int lineCount, int firstVisibleLine, int formatRectHeight,
                                     int lineHeight) {
  if (lineHeight < 1) lineHeight = 16;
  TScrollMetrics m;
  const int lines = std::max(lineCount, 1);
  const int first = std::max(firstVisibleLine, 0);
  const int visible = std::max(formatRectHeight / lineHeight, 1);
  m.maximum = std::max(lines - visible, 0);
  m.position = std::min(first, m.maximum);
  m.page = visible;
  return m;
}

TScrollMetrics HorizontalScrollMetrics(int rangeMax, int infoPage, int scrollOffset) {
  TScrollMetrics m;
  m.page = std::max(infoPage, 1);
  const long long max = infoPage > 0 ? static_cast<long long>(rangeMax) - m.page + 1 : rangeMax;
  m.maximum = static_cast<int>(std::clamp<long long>(max, 0, 0x7FFFFFFF));
  m.position = std::clamp(scrollOffset, 0, m.maximum);
  return m;
}

int DarkTrackLength(int clientExtent, bool vertical, bool nativeHorzBarShown, int horzBarHeight) {
  int t = clientExtent;
  if (vertical && nativeHorzBarShown) t -= horzBarHeight > 0 ? horzBarHeight : 17;
  return std::max(t, 1);
}

TThumbSpan DarkThumbSpan(int track, const TScrollMetrics& m) {
  TThumbSpan s;
  if (track <= 0) return s;
  s.length = track;
  if (m.maximum > 0) {
    const long long divisor = std::max(static_cast<long long>(m.maximum) + m.page, 1LL);
    const int len = WinMulDiv(track, m.page, static_cast<int>(std::min<long long>(divisor, 0x7FFFFFFF)));
    s.length = std::min(std::max(len, 20), track);
    if (track - s.length > 0) s.start = WinMulDiv(track - s.length, m.position, m.maximum);
  }
  return s;
}

TBarRect DarkThumbRect(const TThumbSpan& span, bool vertical, int clientWidth, int clientHeight) {
  if (span.length <= 0) return {};
  if (vertical) return {4, span.start + 2, clientWidth - 4, span.start + span.length - 2};
  return {span.start + 2, 4, span.start + span.length - 2, clientHeight - 4};
}

int DarkGrabOffset(int coord, const TBarRect& thumb, bool vertical) {
  const int start = (vertical ? thumb.top : thumb.left) - 2;
  const int end = (vertical ? thumb.bottom : thumb.right) + 2;
  if (coord >= start && coord < end) return coord - start;
  return (end - start) / 2;
}

int DarkDragTarget(int coord, int grabOffset, const TBarRect& thumb, bool vertical, int track,
                   int maximum) {
  if (maximum <= 0) return -1;
  const int extent = std::max((vertical ? thumb.bottom - thumb.top : thumb.right - thumb.left) + 4, 1);
  const int free = track - extent;
  if (free <= 0) return -1;
  const int offset = std::clamp(coord - grabOffset, 0, free);
  return WinMulDiv(offset, maximum, free);
}

TBarRect DarkVerticalBarBounds(int editorLeft, int editorTop, int editorWidth, int editorHeight,
                               int barWidth) {
  const int left = editorLeft + editorWidth - barWidth;
  return {left, editorTop, left + barWidth, editorTop + editorHeight};
}

TBarRect DarkHorizontalBarBounds(int editorLeft, int editorTop, int editorWidth, int editorHeight,
                                 int barWidth, int barHeight, bool leaveRoom) {
  const int top = editorTop + editorHeight - barHeight;
  const int width = std::max(editorWidth - (leaveRoom ? barWidth : 0), 1);
  return {editorLeft, top, editorLeft + width, top + barHeight};
}

}  // namespace NoteText
