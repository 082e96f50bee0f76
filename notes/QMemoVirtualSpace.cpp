// TQMemo: virtual space, the caret beyond a line's end. The decisions are
// NoteText's (notes/text/VirtualSpace.h); this file carries them out on the
// control: the real selection stays at the line's end while the system
// caret stands at the virtual column.
#include <windows.h>
#include <richedit.h>

#include <algorithm>

#include "base/CodePage.h"
#include "notes/QMemo.h"
#include "notes/RichEditHelpers.h"
#include "notes/text/LineText.h"
#include "ui/Handle.h"

namespace {

NoteText::TVsKey VsKeyOf(unsigned key) {
  switch (key) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
      return NoteText::TVsKey::Modifier;
    case VK_RETURN:
      return NoteText::TVsKey::Enter;
    case VK_HOME:
      return NoteText::TVsKey::Home;
    case VK_END:
      return NoteText::TVsKey::End;
    case VK_LEFT:
      return NoteText::TVsKey::Left;
    case VK_BACK:
      return NoteText::TVsKey::Back;
    case VK_RIGHT:
      return NoteText::TVsKey::Right;
    case VK_UP:
      return NoteText::TVsKey::Up;
    case VK_DOWN:
      return NoteText::TVsKey::Down;
    case VK_TAB:
      return NoteText::TVsKey::Tab;
    case VK_DELETE:
      return NoteText::TVsKey::Delete;
    case VK_PRIOR:
      return NoteText::TVsKey::PageUp;
    case VK_NEXT:
      return NoteText::TVsKey::PageDown;
    default:
      return NoteText::TVsKey::Other;
  }
}

}  // namespace

void TQMemo::SetVirtualSpace(bool value) {
  virtualSpace_ = value;
  if (!value) VSLeave(false);
}

int TQMemo::AverageCharWidth() {
  if (!HandleAllocated()) return 8;
  TWindowDC dc(Handle());
  if (!dc.get()) return 8;
  TSelectGuard font(dc.get(), font_.Handle());
  TEXTMETRICA tm{};
  if (!GetTextMetricsA(dc.get(), &tm) || tm.tmAveCharWidth <= 0) return 8;
  return tm.tmAveCharWidth;
}

// Where column 0 of an unscrolled line stands: the left edge of the text.
int TQMemo::TextLeftMargin() {
  if (!HandleAllocated()) return 0;
  POINT at{0, 0};
  const int start = LineIndex(FirstVisibleLine());
  if (start >= 0 && PosFromChar(start, at)) return static_cast<int>(at.x) + HorizontalScroll();
  return showLineNumbers_ ? gutterWidth_ + 2 : 0;
}

void TQMemo::VSClearDragState() {
  if (vsDragging_ && HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
  vsDragging_ = false;
}

void TQMemo::VSLeave(bool scrollCaret) {
  ApplyVsOutcome(NoteText::VSLeave(vs_, scrollCaret), HorizontalScroll());
  VSClearDragState();
}

bool TQMemo::VSLineInfo(int line, int& lineStart, int& lineLength) {
  lineStart = -1;
  lineLength = 0;
  if (!HandleAllocated() || line < 0 || line >= LineCount()) return false;
  lineStart = LineIndex(line);
  if (lineStart < 0) return false;
  lineLength = std::max(0, static_cast<int>(SendMessageW(Handle(), EM_LINELENGTH, static_cast<WPARAM>(lineStart), 0)));
  return true;
}

int TQMemo::VSColFromX(int x) {
  return NoteText::VSColumnFromX(x, HorizontalScroll(), TextLeftMargin(), AverageCharWidth());
}

void TQMemo::VSSet(int line, int column) {
  const NoteText::TLineIndex lines(CurrentText());
  NoteText::TVsContext ctx;
  ctx.lines = &lines;
  ApplyVsOutcome(NoteText::VSSet(vs_, line, column, ctx), HorizontalScroll());
}

void TQMemo::VSSetSelection(int line, int column, int anchor) {
  const NoteText::TLineIndex lines(CurrentText());
  NoteText::TVsContext ctx;
  ctx.lines = &lines;
  ApplyVsOutcome(NoteText::VSSetSelection(vs_, line, column, anchor, ctx), HorizontalScroll());
}

void TQMemo::VSUpdateCaret() {
  if (!vs_.inVirtual || !HandleAllocated() || !Focused()) return;
  int start, length;
  if (!VSLineInfo(vs_.line, start, length)) {
    VSLeave(false);
    return;
  }
  if (vs_.anchor < 0) {
    // The real caret waits at the line's end. Anywhere else, something
    // moved it (the host, a command of the control): virtual space is over,
    // and the caret stays where it was put.
    int s, e;
    GetSel(s, e);
    if (s != start + length || e != start + length) {
      VSLeave(false);
      return;
    }
  }
  POINT at{0, 0};
  if (!PosFromChar(start, at)) return;
  const int x = NoteText::VSCaretX(vs_.column, AverageCharWidth(), TextLeftMargin(), HorizontalScroll());
  SetCaretPos(x, at.y);
}

bool TQMemo::VSMaterialize() {
  if (!vs_.inVirtual || !HandleAllocated()) return false;
  const NoteText::TLineIndex lines(CurrentText());
  NoteText::TVsContext ctx;
  ctx.lines = &lines;
  ctx.readOnly = readOnly_;
  ctx.tabSpaces = tabSpaces_;
  const NoteText::TVsOutcome outcome = NoteText::VSMaterialize(vs_, ctx);
  ApplyVsOutcome(outcome, HorizontalScroll());
  return outcome.handled;
}

bool TQMemo::VSKeyDown(unsigned key) {
  if (!HandleAllocated()) return false;
  const NoteText::TVsKey vsKey = VsKeyOf(key);
  NoteText::TVsModifiers mods;
  mods.shift = GetKeyState(VK_SHIFT) < 0;
  mods.ctrl = GetKeyState(VK_CONTROL) < 0;
  mods.alt = GetKeyState(VK_MENU) < 0;
  NoteText::TVsContext ctx;
  ctx.virtualSpace = virtualSpace_;
  ctx.wordWrap = wordWrap_;
  ctx.readOnly = readOnly_;
  ctx.tabSpaces = tabSpaces_;
  const int hscroll = HorizontalScroll();
  if (!virtualSpace_ || wordWrap_ || mods.ctrl || mods.alt || vsKey == NoteText::TVsKey::Modifier) {
    // Decided without the lines: leaving (when active) or nothing.
    const NoteText::TVsOutcome outcome = NoteText::VSKeyDown(vs_, vsKey, mods, ctx);
    ApplyVsOutcome(outcome, hscroll);
    // A chord the control carries out (Ctrl+Left, Ctrl+A, …) moves the real
    // caret: the virtual one goes first.
    if (!outcome.handled && vsKey != NoteText::TVsKey::Modifier && (mods.ctrl || mods.alt)) VSLeave(false);
    if (!vs_.Active()) VSClearDragState();
    return outcome.handled;
  }
  const NoteText::TLineIndex lines(CurrentText());
  ctx.lines = &lines;
  int s, e;
  GetSel(s, e);
  ctx.caret = s == e ? s : CaretIndex();
  ctx.hasSelection = s != e;
  const NoteText::TVsOutcome outcome = NoteText::VSKeyDown(vs_, vsKey, mods, ctx);
  ApplyVsOutcome(outcome, hscroll);
  return outcome.handled;
}

bool TQMemo::VSMouseDown(int x, int y) {
  if (!HandleAllocated()) return false;
  const bool inGutter = showLineNumbers_ && x < gutterWidth_;
  if (!virtualSpace_ || wordWrap_ || inGutter) {
    VSLeave(false);
    return false;
  }
  const NoteText::TLineIndex lines(CurrentText());
  NoteText::TVsContext ctx;
  ctx.lines = &lines;
  ctx.virtualSpace = virtualSpace_;
  ctx.wordWrap = wordWrap_;
  const int line = LineFromMouseY(y);
  const int column = VSColFromX(x);
  VSClearDragState();
  const NoteText::TVsOutcome outcome = NoteText::VSMouseDown(vs_, line, column, inGutter, ctx);
  if (vs_.inVirtual) SetFocus();
  ApplyVsOutcome(outcome, HorizontalScroll());
  return false;
}

void TQMemo::ApplyVsOutcome(const NoteText::TVsOutcome& outcome, int hscrollBefore) {
  if (!HandleAllocated()) return;
  for (const NoteText::TVsAction& act : outcome.actions) {
    switch (act.kind) {
      case NoteText::TVsActionKind::Leave: {
        VSClearDragState();
        // The control puts its own caret back at the real selection.
        int s, e;
        GetSel(s, e);
        const int caret = s == e ? s : CaretIndex();
        SetSel(caret == s ? e : s, caret);
        if (act.flag) ScrollCaret();
        Invalidate();
        break;
      }
      case NoteText::TVsActionKind::SetCaret:
        SetSel(act.a, act.a);
        break;
      case NoteText::TVsActionKind::SetSelection:
        SetSel(act.a, act.b);
        break;
      case NoteText::TVsActionKind::PlaceCaret:
        VSUpdateCaret();
        break;
      case NoteText::TVsActionKind::Insert: {
        if (readOnly_) {
          RefuseEdit();
          break;
        }
        // An undo step of its own: the group before it closes first.
        if (act.flag) undo_.Snapshot();
        std::u16string wide = CodePage::AnsiToWide(act.text);
        ReplaceSelWide(wide);
        RichEdit::WipeWide(wide);
        break;
      }
      case NoteText::TVsActionKind::ScrollCaret:
        ScrollCaret();
        break;
      case NoteText::TVsActionKind::ScrollFullyLeft:
        SendMessageW(Handle(), WM_HSCROLL, SB_LEFT, 0);
        break;
      case NoteText::TVsActionKind::FixShortLine:
        FixHorizontalScrollForShortCurrentLine(hscrollBefore);
        break;
      case NoteText::TVsActionKind::Repaint:
        Invalidate();
        break;
      case NoteText::TVsActionKind::Beep:
        RefuseEdit();
        break;
    }
  }
}
