#include "ui/CustomControl.h"

#include <windowsx.h>

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TShiftState MouseShiftState(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TMouseTracker::TChange TMouseTracker::Track(HWND wnd, UINT msg) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (inside_) return mtNone;
      inside_ = true;
      {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, wnd, 0};
        TrackMouseEvent(&tme);
      }
      return mtEnter;
    case WM_MOUSELEAVE:
    case WM_NCDESTROY:
      if (!inside_) return mtNone;
      inside_ = false;
      return msg == WM_MOUSELEAVE ? mtLeave : mtNone;
    default:
      return mtNone;
  }
}

// ---------------------------------------------------------------------------

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {
  font_.OnChange = [this](TGraphicsObject*) {
    Invalidate();
    FontChanged();
  };
}

TCustomControl::~TCustomControl() { font_.OnChange = nullptr; }

void TCustomControl::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WinClassName = "VLCustomControl";
  params.ClassStyle = CS_DBLCLKS;
  params.Background = nullptr;  // Paint covers everything
}

void TCustomControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
  ColorChanged();
}

void TCustomControl::InvalidatePart(const RECT& r) {
  if (HandleAllocated() && r.right > r.left && r.bottom > r.top) ::InvalidateRect(Handle(), &r, FALSE);
}

void TCustomControl::PaintOn(HDC dc) {
  canvas_.SetHandle(dc);
  canvas_.Font().Assign(font_);
  canvas_.Brush().SetStyle(bsSolid);
  canvas_.Brush().SetColor(color_);
  canvas_.Pen().SetStyle(psSolid);
  canvas_.Pen().SetWidth(1);
  canvas_.Pen().SetColor(clBlack);
  // Painting cannot report an error: whatever goes wrong leaves the picture
  // as far as it got.
  try {
    Paint();
  } catch (...) {
  }
  canvas_.SetHandle(nullptr);
}

void TCustomControl::PaintTo(HDC dc) {
  if (!dc) return;
  int saved = SaveDC(dc);
  PaintOn(dc);
  RestoreDC(dc, saved);
}

void TCustomControl::HandlePaint() {
  TPaintDC pdc(Handle());
  if (!pdc.get()) return;
  RECT client;
  GetClientRect(Handle(), &client);
  if (doubleBuffered_) {
    TBitmap buffer;
    if (buffer.SetSize(client.right, client.bottom) && !buffer.Empty()) {
      HDC mem = buffer.Canvas().Handle();
      if (mem) {
        PaintOn(mem);
        const RECT& r = pdc.ps().rcPaint;
        BitBlt(pdc.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, mem, r.left, r.top, SRCCOPY);
        return;
      }
    }
  }
  PaintOn(pdc.get());
}

void TCustomControl::Paint() { canvas_.FillRect(ClientRect()); }

void TCustomControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TCustomControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TCustomControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TCustomControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TCustomControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TCustomControl::Click() {
  if (OnClick) OnClick(this);
}

void TCustomControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

LRESULT TCustomControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (tracker_.Track(Handle(), msg)) {
    case TMouseTracker::mtEnter: MouseEnter(); break;
    case TMouseTracker::mtLeave: MouseLeave(); break;
    case TMouseTracker::mtNone: break;
  }
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  switch (msg) {
    case WM_PAINT:
      HandlePaint();
      return 0;
    case WM_PRINTCLIENT:
      PaintTo(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_ENABLE:
      Invalidate();
      break;
    case WM_MOUSEMOVE:
      MouseMove(MouseShiftState(wParam), x, y);
      return 0;
    case WM_LBUTTONDOWN:
      SetCapture(Handle());
      clicked_ = true;
      MouseDown(mbLeft, MouseShiftState(wParam), x, y);
      return 0;
    case WM_LBUTTONDBLCLK:
      SetCapture(Handle());
      MouseDown(mbLeft, MouseShiftState(wParam) | ssDouble, x, y);
      DblClick();
      return 0;
    case WM_LBUTTONUP: {
      bool wasClicked = clicked_;
      clicked_ = false;
      if (GetCapture() == Handle()) ReleaseCapture();
      MouseUp(mbLeft, MouseShiftState(wParam), x, y);
      RECT client;
      GetClientRect(Handle(), &client);
      POINT p{x, y};
      if (wasClicked && PtInRect(&client, p)) Click();
      return 0;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      MouseDown(mbRight, MouseShiftState(wParam) | (msg == WM_RBUTTONDBLCLK ? TShiftState{ssDouble} : 0u), x, y);
      return 0;
    case WM_RBUTTONUP:
      MouseUp(mbRight, MouseShiftState(wParam), x, y);
      break;  // the default turns it into WM_CONTEXTMENU
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      MouseDown(mbMiddle, MouseShiftState(wParam) | (msg == WM_MBUTTONDBLCLK ? TShiftState{ssDouble} : 0u), x, y);
      return 0;
    case WM_MBUTTONUP:
      MouseUp(mbMiddle, MouseShiftState(wParam), x, y);
      return 0;
    case WM_CANCELMODE:
      clicked_ = false;
      if (GetCapture() == Handle()) ReleaseCapture();
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
