// TQMemo: the line-number gutter and the bookmarks drawn in it.
#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>

#include "notes/QMemo.h"
#include "ui/Handle.h"

void TQMemo::SetBookmarksEnabled(bool value) {
  if (value == bookmarksEnabled_) return;
  bookmarksEnabled_ = value;
  Invalidate();
}

void TQMemo::ToggleBookmarkLine(int line) {
  if (!bookmarksEnabled_ || line < 0) return;
  const bool bookmarked = bookmarks_.Toggle(line);
  Invalidate();
  if (OnBookmark) OnBookmark(this, line + 1, bookmarked);
}

void TQMemo::ToggleBookmarkAtCaret() {
  if (!HandleAllocated()) return;
  ToggleBookmarkLine(LineFromChar(SelStart()));
}

void TQMemo::GotoNextBookmark() {
  const int current = HandleAllocated() ? LineFromChar(CaretIndex()) : 0;
  const int target = bookmarks_.NextTarget(current, HandleAllocated() ? LineCount() : 0);
  if (target < 0) {
    Beep(0);
    return;
  }
  VSLeave(false);
  if (!HandleAllocated()) return;
  const int start = std::max(0, LineIndex(target));
  SetSel(start, start);
  CenterLineVertically(target);
  ScrollCaret();
  Invalidate();
}

void TQMemo::SetBookmarks(const std::string& text) {
  bookmarks_.SetFromText(text, HandleAllocated() ? LineCount() : 0);
  Invalidate();
}

int TQMemo::LineFromMouseY(int y) {
  if (!HandleAllocated()) return -1;
  POINTL pt{std::max(0, gutterWidth_) + 4, y};
  const int index = static_cast<int>(SendMessageW(Handle(), EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&pt)));
  if (index < 0) return -1;
  const int line = LineFromChar(index);
  return line >= 0 && line < LineCount() ? line : -1;
}

void TQMemo::PaintLineNumbers(HDC dc) {
  if (!showLineNumbers_ || !HandleAllocated() || !dc || gutterWidth_ <= 0) return;
  HWND wnd = Handle();
  RECT client;
  GetClientRect(wnd, &client);
  const RECT gutter{0, 0, gutterWidth_, client.bottom};
  HBRUSH background = CreateSolidBrush(ColorToRGB(color_));
  FillRect(dc, &gutter, background);
  DeleteObject(background);

  TSelectGuard font(dc, font_.Handle());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  int lineHeight = tm.tmHeight + tm.tmExternalLeading;
  if (lineHeight <= 0) lineHeight = 14;
  const int charWidth = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 8;
  SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ColorToRGB(nightMode_ ? lineNumberColorNight_ : lineNumberColor_));

  const int count = LineCount();
  const int digits = NoteText::GutterDigits(count);
  const int first = FirstVisibleLine();
  const int last = std::min(count, first + std::max(20, static_cast<int>(client.bottom) / lineHeight + 8));
  const int x = std::max(0, gutterWidth_ - 4 - digits * charWidth);
  const int dot = NoteText::BookmarkDotSize(lineHeight);
  HBRUSH dotBrush = CreateSolidBrush(nightMode_ ? RGB(255, 255, 0) : RGB(150, 120, 0));
  for (int line = first; line < last; ++line) {
    const int start = LineIndex(line);
    if (start < 0) break;
    POINTL at{0, 0};
    SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), start);
    const int y = at.y;
    if (y + lineHeight < 0) continue;
    if (y > client.bottom) break;
    if (bookmarks_.IsBookmarked(line)) {
      TSelectGuard pen(dc, GetStockObject(NULL_PEN));
      TSelectGuard brush(dc, dotBrush);
      const int top = y + (lineHeight - dot) / 2;
      // A null pen draws the ellipse one pixel smaller: the box is one larger.
      Ellipse(dc, 3, top, 3 + dot + 1, top + dot + 1);
    }
    char number[16];
    const int n = std::snprintf(number, sizeof number, "%*d", digits, line + 1);
    if (n > 0) TextOutA(dc, x, y, number, std::min(n, static_cast<int>(sizeof number) - 1));
  }
  DeleteObject(dotBrush);
}

void TQMemo::PaintEditingOverlay() {
  if (!HandleAllocated()) return;
  if (showLineNumbers_) {
    TWindowDC dc(Handle());
    PaintLineNumbers(dc.get());
  }
  VSUpdateCaret();
}
