#include "extras/GdiPlotCanvas.h"

TGdiPlotCanvas::TGdiPlotCanvas(HDC dc) : dc_(dc) {
  pen_ = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  brush_ = CreateSolidBrush(RGB(255, 255, 255));
  oldPen_ = SelectObject(dc_, pen_);
  oldBrush_ = SelectObject(dc_, brush_);
}

TGdiPlotCanvas::~TGdiPlotCanvas() {
  SelectObject(dc_, oldPen_);
  SelectObject(dc_, oldBrush_);
  DeleteObject(pen_);
  DeleteObject(brush_);
}

COLORREF TGdiPlotCanvas::ToColorRef(TColor color) {
  if ((color & 0xFF000000u) == 0xFF000000u) return GetSysColor(static_cast<int>(color & 0xFFu));
  return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

void TGdiPlotCanvas::SetBrushColor(TColor color) {
  HBRUSH brush = CreateSolidBrush(ToColorRef(color));
  if (brush == nullptr) return;
  SelectObject(dc_, brush);
  DeleteObject(brush_);
  brush_ = brush;
}

void TGdiPlotCanvas::FillRect(int left, int top, int right, int bottom) {
  RECT r{left, top, right, bottom};
  ::FillRect(dc_, &r, brush_);
}

void TGdiPlotCanvas::FloodFillBorder(int x, int y, TColor border) {
  ExtFloodFill(dc_, x, y, ToColorRef(border), FLOODFILLBORDER);
}

void TGdiPlotCanvas::SetPenColor(TColor color) {
  HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(color));
  if (pen == nullptr) return;
  SelectObject(dc_, pen);
  DeleteObject(pen_);
  pen_ = pen;
}

void TGdiPlotCanvas::MoveTo(int x, int y) { MoveToEx(dc_, x, y, nullptr); }

void TGdiPlotCanvas::LineTo(int x, int y) { ::LineTo(dc_, x, y); }
