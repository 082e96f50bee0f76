// The drawing surface of the function plotter: the few canvas operations it
// uses, so that it can draw on GDI (GdiPlotCanvas) or into a recorder.
#pragma once

#include <cstdint>

// A colour as the class library keeps it (and ui/Graphics.h declares it):
// 0x00BBGGRR, or 0xFF0000nn for the system colour nn.
using TColor = std::uint32_t;

class TPlotCanvas {
 public:
  virtual ~TPlotCanvas() = default;

  virtual void SetBrushColor(TColor color) = 0;
  // Fills left <= x < right, top <= y < bottom with the brush.
  virtual void FillRect(int left, int top, int right, int bottom) = 0;
  // Fills with the brush every pixel reachable from (x, y) without crossing
  // a pixel of the colour border.
  virtual void FloodFillBorder(int x, int y, TColor border) = 0;

  // A solid pen one pixel wide.
  virtual void SetPenColor(TColor color) = 0;
  virtual void MoveTo(int x, int y) = 0;
  // A line from the current position to (x, y), which becomes the current
  // position; the end pixel itself is not drawn.
  virtual void LineTo(int x, int y) = 0;
};
