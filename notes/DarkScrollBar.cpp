#include "notes/DarkScrollBar.h"

#include <richedit.h>

#include <algorithm>

using namespace NoteText;

namespace {

int VerticalBarWidth() { return DarkBarSize(GetSystemMetrics(SM_CXVSCROLL)); }
int HorizontalBarHeight() { return DarkBarSize(GetSystemMetrics(SM_CYHSCROLL)); }

HWND EditorWindow(IQMemoScrollHost* host) {
  if (!host) return nullptr;
  TWinControl* e = host->ScrollEditor();
  return e && e->HandleAllocated() ? e->Handle() : nullptr;
}

bool NativeHorzBarWanted(IQMemoScrollHost* host) {
  return !host->ScrollWordWrap() && host->ScrollBarsHorizontal();
}

// Whether the editor is on screen (a hidden editor takes its bars along).
bool EditorShown(IQMemoScrollHost* host) {
  HWND ed = EditorWindow(host);
  return ed && IsWindowVisible(ed);
}

void ShowInFront(TQMemoDarkScrollBar* bar) {
  bar->Show();
  SetWindowPos(bar->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  bar->Invalidate();
}

}  // namespace

TQMemoDarkScrollBar::TQMemoDarkScrollBar(IQMemoScrollHost* editor, bool vertical)
    : TCustomControl(nullptr), editor_(editor), vertical_(vertical), timer_(std::make_unique<TTimer>(nullptr)) {
  timer_->SetInterval(80);
  timer_->OnTimer = [this](TObject*) { SyncTimer(); };
  timer_->SetEnabled(true);
}

TQMemoDarkScrollBar::~TQMemoDarkScrollBar() {
  timer_->SetEnabled(false);
  timer_->OnTimer = nullptr;
}

void TQMemoDarkScrollBar::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.WinClassName = "TQMemoDarkScrollBar";
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;  // no tab stop
}

LRESULT TQMemoDarkScrollBar::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CAPTURECHANGED && dragging_ && reinterpret_cast<HWND>(lParam) != Handle()) {
    // Another window took the mouse: the drag ends where it is.
    dragging_ = false;
    Invalidate();
  }
  return TCustomControl::WndProc(msg, wParam, lParam);
}

int TQMemoDarkScrollBar::TrackLength() {
  const RECT c = ClientRect();
  const bool nativeHorz = vertical_ && editor_ && NativeHorzBarWanted(editor_);
  return DarkTrackLength(vertical_ ? c.bottom : c.right, vertical_, nativeHorz,
                         GetSystemMetrics(SM_CYHSCROLL));
}

bool TQMemoDarkScrollBar::GetScrollMetrics(TScrollMetrics& m) {
  m = TScrollMetrics{};
  HWND ed = EditorWindow(editor_);
  if (!ed) return false;
  if (vertical_) {
    const int lines = static_cast<int>(SendMessageA(ed, EM_GETLINECOUNT, 0, 0));
    const int first = static_cast<int>(SendMessageA(ed, EM_GETFIRSTVISIBLELINE, 0, 0));
    RECT fr{0, 0, 0, 0};
    SendMessageA(ed, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&fr));
    m = VerticalScrollMetrics(lines, first, fr.bottom - fr.top, editor_->ScrollLineHeight());
    return true;
  }
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  if (!GetScrollInfo(ed, SB_HORZ, &si)) return false;
  if (si.nPage == 0) {
    // The control keeps no page (and leaves the range at its default) while
    // the text fits its width: nothing scrolls sideways, whatever the bar
    // that the timer shows says.
    m = HorizontalScrollMetrics(0, 1, 0);
    return true;
  }
  POINT pos{0, 0};
  SendMessageA(ed, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos));
  m = HorizontalScrollMetrics(si.nMax, static_cast<int>(si.nPage), pos.x);
  return true;
}

TBarRect TQMemoDarkScrollBar::ThumbRect() {
  TScrollMetrics m;
  if (!GetScrollMetrics(m)) return {};
  const int track = TrackLength();
  if (track <= 0) return {};
  const RECT c = ClientRect();
  return DarkThumbRect(DarkThumbSpan(track, m), vertical_, c.right, c.bottom);
}

void TQMemoDarkScrollBar::Paint() {
  Canvas().Brush().SetColor(editor_ ? editor_->ScrollTrackColor() : clBlack);
  Canvas().FillRect(ClientRect());
  TScrollMetrics m;
  if (!GetScrollMetrics(m) || m.maximum <= 0) return;  // everything fits: an empty track
  const TBarRect t = ThumbRect();
  if (t.Empty()) return;
  Canvas().Brush().SetColor(dragging_ ? kDarkThumbDragColor : kDarkThumbColor);
  Canvas().FillRect(RECT{t.left, t.top, t.right, t.bottom});
}

void TQMemoDarkScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  TScrollMetrics m;
  if (!GetScrollMetrics(m) || m.maximum <= 0) return;
  const int along = vertical_ ? y : x;
  if (along < 0 || along >= TrackLength()) return;
  grabOffset_ = DarkGrabOffset(along, ThumbRect(), vertical_);
  dragging_ = true;
  if (GetCapture() != Handle()) SetCapture(Handle());
  if (TWinControl* e = editor_->ScrollEditor()) e->SetFocus();
  DragTo(x, y);
  Invalidate();
}

void TQMemoDarkScrollBar::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (dragging_) DragTo(x, y);
}

void TQMemoDarkScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !dragging_) return;
  DragTo(x, y);
  dragging_ = false;
  if (GetCapture() == Handle()) ReleaseCapture();
  Invalidate();
}

void TQMemoDarkScrollBar::DragTo(int x, int y) {
  HWND ed = EditorWindow(editor_);
  TScrollMetrics m;
  if (!ed || !GetScrollMetrics(m) || m.maximum <= 0) return;
  const int target = DarkDragTarget(vertical_ ? y : x, grabOffset_, ThumbRect(), vertical_, TrackLength(), m.maximum);
  if (target < 0) return;
  if (vertical_) {
    // A few steps at most: the control may stop short of a far target.
    for (int step = 0; step < 4; ++step) {
      const int first = static_cast<int>(SendMessageA(ed, EM_GETFIRSTVISIBLELINE, 0, 0));
      if (target == first) break;
      SendMessageA(ed, EM_LINESCROLL, 0, target - first);
      if (static_cast<int>(SendMessageA(ed, EM_GETFIRSTVISIBLELINE, 0, 0)) == first) break;
    }
  } else {
    POINT pos{0, 0};
    SendMessageA(ed, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos));
    if (pos.x != target) {
      POINT to{target, pos.y};
      SendMessageA(ed, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&to));
    }
  }
  Invalidate();
  Update();
  editor_->ScrollViewMoved();
}

void TQMemoDarkScrollBar::PlaceOverEditor() {
  TWinControl* e = editor_ ? editor_->ScrollEditor() : nullptr;
  if (!e) return;
  if (Parent() != e->Parent()) SetParent(e->Parent());
  const int bw = VerticalBarWidth(), bh = HorizontalBarHeight();
  const TBarRect r = vertical_
      ? DarkVerticalBarBounds(e->Left(), e->Top(), e->Width(), e->Height(), bw)
      : DarkHorizontalBarBounds(e->Left(), e->Top(), e->Width(), e->Height(), bw, bh,
                                editor_->ScrollBarsVertical());
  if (Left() != r.left || Top() != r.top || Width() != r.right - r.left || Height() != r.bottom - r.top)
    SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TQMemoDarkScrollBar::SyncTimer() {
  if (!editor_) return;
  HWND ed = EditorWindow(editor_);
  if (vertical_ && ed) {
    const bool want = NativeHorzBarWanted(editor_);
    const bool shown = (GetWindowLongA(ed, GWL_STYLE) & WS_HSCROLL) != 0;
    if (want != shown) ShowScrollBar(ed, SB_HORZ, want);
  }
  const bool show = wanted_ && EditorShown(editor_);
  if (show && !Visible()) {
    PlaceOverEditor();
    ShowInFront(this);
  } else if (!show && Visible()) {
    if (dragging_ && GetCapture() == Handle()) ReleaseCapture();
    dragging_ = false;
    Hide();
  }
  if (Visible()) PlaceOverEditor();
  TScrollMetrics m;
  if (GetScrollMetrics(m) &&
      (m.position != lastPosition_ || m.maximum != lastMaximum_ || m.page != lastPage_)) {
    lastPosition_ = m.position;
    lastMaximum_ = m.maximum;
    lastPage_ = m.page;
    Invalidate();
  }
}

// ---------------------------------------------------------------------------

void TQMemoDarkScrollBars::Update() {
  TWinControl* e = editor_.ScrollEditor();
  if (!e || !e->Parent()) return;
  if (!vertical_) {
    vertical_ = std::make_unique<TQMemoDarkScrollBar>(&editor_, true);
    vertical_->SetParent(e->Parent());
  }
  if (!horizontal_) {
    horizontal_ = std::make_unique<TQMemoDarkScrollBar>(&editor_, false);
    horizontal_->SetParent(e->Parent());
  }
  const bool night = editor_.ScrollNightMode();
  const bool showVertical = night && editor_.ScrollBarsVertical();
  const bool showHorizontal = night && !editor_.ScrollWordWrap() && editor_.ScrollBarsHorizontal();
  const bool shown = EditorShown(&editor_);
  for (TQMemoDarkScrollBar* bar : {vertical_.get(), horizontal_.get()}) {
    bar->wanted_ = bar == vertical_.get() ? showVertical : showHorizontal;
    if (bar->wanted_ && shown) {
      bar->PlaceOverEditor();
      ShowInFront(bar);
    } else if (bar->Visible()) {
      bar->Hide();
    }
  }
}
