// The plotter's canvas over a GDI device context. It selects its own pen
// and brush into the DC and puts the DC's previous ones back when it goes.
#pragma once

#include <windows.h>

#include "extras/PlotCanvas.h"

class TGdiPlotCanvas final : public TPlotCanvas {
 public:
  // Starts with a black pen and a white brush.
  explicit TGdiPlotCanvas(HDC dc);
  ~TGdiPlotCanvas() override;
  TGdiPlotCanvas(const TGdiPlotCanvas&) = delete;
  TGdiPlotCanvas& operator=(const TGdiPlotCanvas&) = delete;

  void SetBrushColor(TColor color) override;
  void FillRect(int left, int top, int right, int bottom) override;
  void FloodFillBorder(int x, int y, TColor border) override;
  void SetPenColor(TColor color) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;

  // A TColor as GDI takes it: system colours looked up, others masked to
  // their red, green and blue bytes.
  static COLORREF ToColorRef(TColor color);

 private:
  HDC dc_;
  HPEN pen_ = nullptr;
  HBRUSH brush_ = nullptr;
  HGDIOBJ oldPen_ = nullptr;
  HGDIOBJ oldBrush_ = nullptr;
};
