// TQMemo: night mode's frame and dark scroll bars, and zoom.
#include <windows.h>
#include <richedit.h>

#include <algorithm>

#include "notes/QMemo.h"
#include "notes/RichEditHelpers.h"
#include "notes/text/Zoom.h"

void TQMemo::SetBorderStyle(TBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  if (!HandleAllocated()) return;
  // The frame changes on the window as it is: a new window would lose the
  // text's formatting, the selection and the view.
  HWND wnd = Handle();
  LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE);
  if (style == bsSingle) ex |= WS_EX_CLIENTEDGE;
  SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex);
  SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The client area grew or shrank with the frame.
  if (showLineNumbers_) {
    gutterWidth_ = -1;
    UpdateGutter();
  } else {
    RebuildFormatRect();
  }
  Invalidate();
}

void TQMemo::UpdateNightModeBorder(bool night) {
  if (night) {
    savedBorderStyle_ = borderStyle_;
    SetBorderStyle(bsNone);
  } else {
    SetBorderStyle(savedBorderStyle_);
  }
}

void TQMemo::AfterNightModeSwitch() {
  if (completion_) completion_->UpdateBoxStyle();
  UpdateDarkScrollBars();
}

void TQMemo::UpdateDarkScrollBars() {
  if (darkBars_) darkBars_->Update();
}

int TQMemo::ScrollLineHeight() {
  if (!HandleAllocated()) return 16;
  TWindowDC dc(Handle());
  if (!dc.get()) return 16;
  TSelectGuard font(dc.get(), font_.Handle());
  TEXTMETRICA tm{};
  if (!GetTextMetricsA(dc.get(), &tm)) return 16;
  const int h = tm.tmHeight + tm.tmExternalLeading;
  return h > 0 ? h : 16;
}

void TQMemo::ScrollViewMoved() {
  CompletionHide();
  lastTopLine_ = FirstVisibleLine();
  ScheduleColorize(120, true);
  Invalidate();
}

void TQMemo::UpdateZoom() {
  int base = baseFontSize_;
  int zoom = zoomPercent_;
  const int size = NoteText::UpdateZoomSize(base, font_.Size(), zoom);
  baseFontSize_ = base;
  zoomPercent_ = zoom;
  {
    const bool wasInternal = internalUpdate_;
    struct TRestore {
      bool& flag;
      bool value;
      ~TRestore() { flag = value; }
    } restore{internalUpdate_, wasInternal};
    internalUpdate_ = true;
    font_.SetSize(size);
    if (HandleAllocated()) {
      CHARFORMAT2W cf = RichEdit::EmptyFormat();
      cf.dwMask = CFM_SIZE;
      cf.yHeight = size * 20;
      RichEdit::SetFormat(Handle(), cf, SCF_DEFAULT);
      RichEdit::SetFormat(Handle(), cf, SCF_ALL);
    }
  }
  if (showLineNumbers_ && HandleAllocated()) UpdateGutter();
  Invalidate();
}
