#include "ui/ExtCtrls.h"

// ---------------------------------------------------------------------------
// TTimer

TTimer::TTimer(TComponent* owner) : TComponent(owner) { Update(); }

TTimer::~TTimer() {
  if (running_ && window_ && window_->HandleAllocated()) KillTimer(window_->Handle(), 1);
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

void TTimer::Update() {
  if (!window_) {
    if (!enabled_ || interval_ == 0) return;
    window_ = std::make_unique<TMessageWindow>(nullptr, "TTimerWindow", true);
    window_->OnMessage = [this](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
      if (msg != WM_TIMER || wParam != 1) return false;
      if (enabled_) Tick();
      result = 0;
      return true;
    };
  }
  HWND wnd = window_->Handle();
  if (!wnd) return;
  if (running_) KillTimer(wnd, 1);
  running_ = enabled_ && interval_ > 0 && SetTimer(wnd, 1, interval_, nullptr) != 0;
}

void TTimer::Tick() {
  if (OnTimer) OnTimer(this);
}

// ---------------------------------------------------------------------------
// TPanel

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {}

void TPanel::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.WinClassName = "TPanel";
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

LRESULT TPanel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // Transparent children (flat tool bars) ask their parent to erase under
  // them: the panel's colour, not nothing.
  if (msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(Handle(), &r);
    TGdiObject brush(CreateSolidBrush(ColorToRGB(Color())));
    FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(brush.get()));
    return 1;
  }
  return TCustomControl::WndProc(msg, wParam, lParam);
}

void TPanel::SetBevelOuter(TBevelCut bevel) {
  if (bevel == bevelOuter_) return;
  bevelOuter_ = bevel;
  Invalidate();
}

void TPanel::SetCaption(const std::string& caption) {
  if (caption == Caption()) return;
  SetText(caption);
  Invalidate();
}

void TPanel::Paint() {
  RECT r = ClientRect();
  Canvas().FillRect(r);
  if (bevelOuter_ != bcNone)
    DrawEdge(Canvas().Handle(), &r, bevelOuter_ == bcRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
  const std::string caption = Text();
  if (!caption.empty()) {
    Canvas().Brush().SetStyle(bsClear);
    Canvas().TextRect(r, caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
}

// ---------------------------------------------------------------------------
// TSplitter

TSplitter::TSplitter(TComponent* owner, bool vertical) : TCustomControl(owner), vertical_(vertical) {}

void TSplitter::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.WinClassName = "TSplitter";
}

LRESULT TSplitter::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT) {
    SetCursor(LoadCursor(nullptr, vertical_ ? IDC_SIZEWE : IDC_SIZENS));
    return TRUE;
  }
  return TCustomControl::WndProc(msg, wParam, lParam);
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  dragging_ = true;
  GetCursorPos(&last_);
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!dragging_ || GetCapture() != Handle()) return;
  POINT now;
  GetCursorPos(&now);
  const int delta = vertical_ ? now.x - last_.x : now.y - last_.y;
  if (delta == 0) return;
  last_ = now;
  if (OnMoved) OnMoved(this, delta);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  dragging_ = false;
}

// ---------------------------------------------------------------------------
// TImage

TImage::TImage(TComponent* owner) : TCustomControl(owner) {}

void TImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Invalidate();
}

void TImage::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  Invalidate();
}

void TImage::Paint() {
  const RECT r = ClientRect();
  Canvas().FillRect(r);
  if (picture_.Empty()) return;
  if (stretch_) {
    Canvas().StretchDraw(r, picture_);
  } else if (center_) {
    Canvas().Draw((r.right - picture_.Width()) / 2, (r.bottom - picture_.Height()) / 2, picture_);
  } else {
    Canvas().Draw(0, 0, picture_);
  }
}

// ---------------------------------------------------------------------------
// TBevel

TBevel::TBevel(TComponent* owner) : TCustomControl(owner) {}

void TBevel::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.WinClassName = "TBevel";
}

void TBevel::Paint() {
  RECT r = ClientRect();
  Canvas().FillRect(r);
  DrawEdge(Canvas().Handle(), &r, EDGE_ETCHED, BF_RECT);
}
