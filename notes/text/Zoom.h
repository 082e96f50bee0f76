// Zoom of the notes editor: the font size is the base size scaled by the
// zoom percentage, 20 to 400.
#pragma once

namespace NoteText {

constexpr int kZoomMin = 20;
constexpr int kZoomMax = 400;

inline int ClampZoomPercent(int percent) {
  return percent < kZoomMin ? kZoomMin : percent > kZoomMax ? kZoomMax : percent;
}

// The size zoom scales: the remembered base size when it is set (above 0),
// else the font's present size, else 10.
inline int ZoomBaseSize(int baseFontSize, int fontSize) {
  if (baseFontSize > 0) return baseFontSize;
  return fontSize > 0 ? fontSize : 10;
}

// (base x percent + 50) / 100, at least 6; the percentage is clamped first.
inline int ZoomedFontSize(int base, int percent) {
  const long long size = (static_cast<long long>(base) * ClampZoomPercent(percent) + 50) / 100;
  return size < 6 ? 6 : size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
}

// What the editor's UpdateZoom applies: a base size of 0 or less counts as
// unset (and becomes the font's size, or 10), and the zoom is clamped to
// 20..400 as everywhere else. baseFontSize and zoomPercent are updated; the
// result is the font size to set.
inline int UpdateZoomSize(int& baseFontSize, int fontSize, int& zoomPercent) {
  baseFontSize = ZoomBaseSize(baseFontSize, fontSize);
  zoomPercent = ClampZoomPercent(zoomPercent);
  return ZoomedFontSize(baseFontSize, zoomPercent);
}

}  // namespace NoteText
