// TQMemo: code scanning at the caret and under the mouse (bracket highlight
// and jumps, identifiers, quoted references, links), the function list and
// its blocks and jumps, find and replace, line comments, indentation, and
// the selection and caret queries.
#include <windows.h>
#include <richedit.h>
#include <shellapi.h>

#include <algorithm>

#include "base/CodePage.h"
#include "base/Wipe.h"
#include "notes/QMemo.h"
#include "notes/RichEditHelpers.h"
#include "notes/text/CodeScan.h"
#include "notes/text/LineText.h"
#include "notes/text/SearchReplace.h"
#include "notes/text/TextQueries.h"

std::function<void(UINT)> TQMemo::BeepHook;
std::function<void(const std::string&)> TQMemo::OpenUrlHook;

namespace {

bool CtrlDown() { return GetKeyState(VK_CONTROL) < 0; }

std::string Trimmed(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
  while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
  return s.substr(a, b - a);
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared pieces

void TQMemo::Beep(UINT type) {
  if (BeepHook) {
    BeepHook(type);
  } else {
    MessageBeep(type);
  }
}

void TQMemo::RefuseEdit() { Beep(0); }

void TQMemo::OpenUrl(const std::string& url) {
  if (OpenUrlHook) {
    OpenUrlHook(url);
    return;
  }
  ShellExecuteA(HandleAllocated() ? Handle() : nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

int TQMemo::ReplaceRangeAsStep(int start, int end, const std::string& text) {
  // The group before closes first, and this change closes its own.
  undo_.Snapshot();
  SetSel(start, end);
  std::u16string wide = CodePage::AnsiToWide(text);
  const int length = static_cast<int>(wide.size());
  ReplaceSelWide(wide);
  RichEdit::WipeWide(wide);
  return length;
}

void TQMemo::ApplyLineEdit(const NoteText::TLineEdit& edit) {
  SetRedraw(false);
  const int length = ReplaceRangeAsStep(edit.blockStart, edit.blockEnd, edit.newBlock);
  SetSel(edit.blockStart, edit.blockStart + length);
  SetRedraw(true);
  Invalidate();
}

int TQMemo::VisibleLinesWg() {
  RECT client{0, 0, 0, 0};
  if (HandleAllocated()) GetClientRect(Handle(), &client);
  return std::max(1, static_cast<int>(client.bottom) / std::max(1, LineHeightWg()));
}

// ---------------------------------------------------------------------------
// Brackets

bool TQMemo::IsBracketChar(char c) { return NoteText::IsBracketChar(c); }

int TQMemo::FindMatchingBracket(int index) {
  if (!HandleAllocated()) return -1;
  return NoteText::FindMatchingBracket(CurrentText(), index);
}

int TQMemo::FindSingleBracketInLine(int line) {
  if (!HandleAllocated() || line < 0 || line >= LineCount()) return -1;
  const int start = LineIndex(line);
  if (start < 0) return -1;
  return NoteText::FindSingleBracketInLine(CurrentText(), start);
}

int TQMemo::FindBracketNearCaret() {
  if (!HandleAllocated()) return -1;
  return NoteText::FindBracketNearCaret(CurrentText(), CaretIndex());
}

int TQMemo::CharIndexFromPointApprox(int x, int y) {
  if (!HandleAllocated()) return -1;
  const int n = TextLength();
  if (n <= 0) return -1;
  if (showLineNumbers_ && x < gutterWidth_ + 2) x = gutterWidth_ + 2;
  POINTL pt{x, y};
  const int i = static_cast<int>(SendMessageW(Handle(), EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&pt)));
  return std::clamp(i, 0, n - 1);
}

int TQMemo::FindBracketAtPointOrLine(int x, int y) {
  const int i = CharIndexFromPointApprox(x, y);
  if (i < 0) return -1;
  return NoteText::FindBracketAround(CurrentText(), i);
}

void TQMemo::ApplyBracketHighlightChar(int index) {
  SetSel(index, index + 1);
  CHARFORMAT2W cf = RichEdit::EmptyFormat();
  cf.dwMask = CFM_BOLD | CFM_COLOR | CFM_BACKCOLOR;
  cf.dwEffects = CFE_BOLD;
  cf.crTextColor = RGB(0, 0, 0);
  cf.crBackColor = RGB(255, 255, 0);
  RichEdit::SetFormat(Handle(), cf, SCF_SELECTION);
}

void TQMemo::ResetBracketCharFormat(int index) {
  SetSel(index, index + 1);
  CHARFORMAT2W cf = RichEdit::EmptyFormat();
  cf.dwMask = CFM_BOLD | CFM_COLOR | CFM_BACKCOLOR;
  cf.crTextColor = ColorToRGB(GetDefaultTextColor());
  // The automatic background follows the control's colour, also after a
  // switch to or from night mode.
  cf.dwEffects = CFE_AUTOBACKCOLOR;
  RichEdit::SetFormat(Handle(), cf, SCF_SELECTION);
}

namespace {
// The selection with its direction: anchor and the moving end.
struct TSelectionKeep {
  int anchor = 0;
  int caret = 0;
};
}  // namespace

void TQMemo::UpdateBracketHighlight() {
  if (inBracketUpdate_ || !HandleAllocated()) return;
  int pos = -1, match = -1;
  if (CtrlDown()) {
    pos = FindBracketNearCaret();
    if (pos >= 0) match = FindMatchingBracket(pos);
  }
  // Nothing to show and nothing shown: the view is left alone.
  if ((pos < 0 || match < 0) && bracketHighlightPos_ < 0 && bracketMatchPos_ < 0) return;
  inBracketUpdate_ = true;
  const int oldFirst = bracketHighlightPos_, oldSecond = bracketMatchPos_;
  bracketHighlightPos_ = bracketMatchPos_ = -1;
  if (pos >= 0 && match >= 0) {
    bracketHighlightPos_ = pos;
    bracketMatchPos_ = match;
  }
  ReformatBracketsKeepingView(oldFirst, oldSecond, bracketHighlightPos_, bracketMatchPos_);
  inBracketUpdate_ = false;
}

// Resets the old pair's characters and highlights the new pair's (-1: none)
// with redrawing off; the view and the selection, with its direction, stay.
void TQMemo::ReformatBracketsKeepingView(int oldFirst, int oldSecond, int newFirst, int newSecond) {
  const TQMemoViewState view = SaveViewState();
  int s, e;
  GetSel(s, e);
  const int caret = s == e ? s : CaretIndex();
  const TSelectionKeep keep{caret == s ? e : s, caret};
  const int n = TextLength();
  SetRedraw(false);
  const bool wasInternal = internalUpdate_;
  internalUpdate_ = true;
  if (oldFirst >= 0 && oldFirst < n) ResetBracketCharFormat(oldFirst);
  if (oldSecond >= 0 && oldSecond != oldFirst && oldSecond < n) ResetBracketCharFormat(oldSecond);
  if (newFirst >= 0 && newSecond >= 0) {
    ApplyBracketHighlightChar(newFirst);
    ApplyBracketHighlightChar(newSecond);
  }
  internalUpdate_ = wasInternal;
  RestoreViewState(view, true);
  // The selection keeps its direction, so that Shift keys go on from its
  // moving end.
  if (keep.anchor != keep.caret) SetSel(keep.anchor, keep.caret);
  SetRedraw(true);
  Invalidate();
}

void TQMemo::ClearBracketHighlight() {
  if (bracketHighlightPos_ < 0 && bracketMatchPos_ < 0) return;
  const int first = bracketHighlightPos_, second = bracketMatchPos_;
  bracketHighlightPos_ = bracketMatchPos_ = -1;
  if (!HandleAllocated()) return;
  ReformatBracketsKeepingView(first, second, -1, -1);
  // The two characters took the default colour: a pass gives them their
  // syntax colour back.
  ScheduleColorize(80, true);
}

void TQMemo::JumpToMatchingBracketAtPoint(int x, int y) {
  VSLeave(false);
  const int bracket = FindBracketAtPointOrLine(x, y);
  if (bracket < 0) return;
  const int partner = FindMatchingBracket(bracket);
  if (partner < 0) return;
  SetSel(partner, partner);
  CenterLineVertically(LineFromChar(partner));
  ScrollCaret();
  UpdateBracketHighlight();
}

std::string TQMemo::GetIdentifierAtPoint(int x, int y) {
  const int i = CharIndexFromPointApprox(x, y);
  if (i < 0) return std::string();
  return NoteText::IdentifierTextAt(CurrentText(), i);
}

std::string TQMemo::MaskCodeForFunction(const std::string& text) { return NoteText::MaskCodeForFunction(text); }

std::string TQMemo::GetQuotedReferenceAtPoint(int x, int y) {
  const int i = CharIndexFromPointApprox(x, y);
  if (i < 0) return std::string();
  return NoteText::QuotedReferenceAt(CurrentText(), i);
}

std::string TQMemo::GetUrlAtPoint(int x, int y) {
  const int i = CharIndexFromPointApprox(x, y);
  if (i < 0) return std::string();
  return NoteText::UrlAt(CurrentText(), i);
}

// ---------------------------------------------------------------------------
// Find and replace, line comments, indentation

int TQMemo::SearchAndReplaceNext(const std::string& findText, const std::string& replaceText, int startPos,
                                 int endPos, bool ignoreCase, bool selectResult, int& matchIndex, int& matchCount,
                                 bool backward, bool matchWhitespace, bool replaceWithEmpty) {
  matchIndex = 0;
  matchCount = 0;
  if (!HandleAllocated() || findText.empty()) return -1;
  NoteText::TSearchRequest request;
  request.findText = findText;
  request.replaceText = replaceText;
  request.startPos = startPos;
  request.endPos = endPos;
  request.ignoreCase = ignoreCase;
  request.backward = backward;
  request.matchWhitespace = matchWhitespace;
  request.replaceWithEmpty = replaceWithEmpty;
  NoteText::TSearchResult result = NoteText::SearchAndReplaceNext(CurrentText(), request);
  WipeString(request.findText);
  WipeString(request.replaceText);
  matchIndex = result.matchIndex;
  matchCount = result.matchCount;
  if (result.index < 0) return -1;
  VSLeave(false);
  int selectStart = result.rangeStart, selectEnd = result.rangeEnd;
  if (result.replace) {
    if (readOnly_) {
      WipeString(result.insertText);
      RefuseEdit();
      return -1;
    }
    const int length = ReplaceRangeAsStep(result.rangeStart, result.rangeEnd, result.insertText);
    WipeString(result.insertText);
    selectEnd = selectStart + length;
    if (!selectResult) return result.rangeStart;
  } else if (!selectResult) {
    return result.rangeStart;
  }
  SetSel(selectStart, selectEnd);
  CenterLineVertically(LineFromChar(selectStart));
  ScrollCaret();
  if (syntaxHighlighting_) ColorizeTextKeepView();
  return result.rangeStart;
}

void TQMemo::ToggleLineComments(const std::string& prefix) {
  if (!HandleAllocated()) return;
  VSLeave(false);
  int s, e;
  GetSel(s, e);
  const NoteText::TLineEdit edit = NoteText::ToggleLineComments(CurrentText(), s, e - s, prefix);
  if (!edit.changed) return;
  if (readOnly_) {
    RefuseEdit();
    return;
  }
  ApplyLineEdit(edit);
  ScheduleColorize(222, true);
}

void TQMemo::IndentSelectedLines(bool outdent) {
  if (!HandleAllocated()) return;
  int s, e;
  GetSel(s, e);
  if (s == e) return;
  VSLeave(false);
  if (readOnly_) {
    RefuseEdit();
    return;
  }
  const NoteText::TLineEdit edit = NoteText::IndentSelectedLines(CurrentText(), s, e - s, outdent, tabSpaces_);
  if (!edit.changed) return;
  ApplyLineEdit(edit);
}

// ---------------------------------------------------------------------------
// Selection and caret queries

int TQMemo::CurrentLine() {
  if (!HandleAllocated()) return 1;
  return LineFromChar(SelStart()) + 1;
}

int TQMemo::CurrentColumn() {
  if (!HandleAllocated()) return 1;
  const int s = SelStart();
  const int column = s - LineIndex(LineFromChar(s));
  return column < 0 ? 1 : column + 1;
}

int TQMemo::TotalLines() { return LineCount(); }

bool TQMemo::IsAllSelected() {
  if (!HandleAllocated()) return false;
  int s, e;
  GetSel(s, e);
  const int n = TextLength();
  return n > 0 && s == 0 && e >= n;
}

void TQMemo::SetSelectionFast(int start, int end) {
  if (!HandleAllocated()) return;
  const int n = TextLength();
  start = std::clamp(start, 0, n);
  end = std::clamp(end, 0, n);
  if (end < start) std::swap(start, end);
  // Compared with what the control holds now: the user may have moved the
  // selection since the last call.
  int s, e;
  GetSel(s, e);
  if (s == start && e == end) return;
  HWND wnd = Handle();
  HideCaret(wnd);
  SetSel(start, end);
  ShowCaret(wnd);
}

int TQMemo::CharIndexFromMousePoint(int x, int y) {
  if (!HandleAllocated()) return SelStart();
  return CharFromPoint(x, y);
}

// ---------------------------------------------------------------------------
// The function list, blocks and jumps

void TQMemo::UpdateFunctionNames() {
  if (!HandleAllocated()) {
    functions_.clear();
    return;
  }
  functions_ = NoteText::DetectFunctions(CurrentText());
}

bool TQMemo::FindFunctionBlockAtPos(int position, int& blockStart, int& blockEnd) {
  blockStart = blockEnd = 0;
  if (!HandleAllocated()) return false;
  const std::string& text = CurrentText();
  if (text.empty()) return false;
  const NoteText::TFunctionBlocks blocks(text);
  functions_ = blocks.Entries();
  return blocks.BlockAt(position, blockStart, blockEnd);
}

bool TQMemo::FindFunctionBlockAtCaretEx(int& blockStart, int& blockEnd) {
  blockStart = blockEnd = 0;
  if (!HandleAllocated()) return false;
  const std::string& text = CurrentText();
  if (text.empty()) return false;
  const NoteText::TFunctionBlocks blocks(text);
  functions_ = blocks.Entries();
  return blocks.BlockAtCaret(std::clamp(SelStart(), 0, static_cast<int>(text.size())), blockStart, blockEnd);
}

std::string TQMemo::GetFunctionTextAtCaret() {
  int s, e;
  if (!FindFunctionBlockAtCaretEx(s, e)) return std::string();
  return CurrentText().substr(static_cast<std::size_t>(s), static_cast<std::size_t>(e - s));
}

bool TQMemo::IsFunctionAtCaret() {
  int s, e;
  return FindFunctionBlockAtCaretEx(s, e);
}

bool TQMemo::IsFunctionSelected() {
  if (!HandleAllocated() || !HasSelection()) return false;
  std::string selected = SelText();
  const std::string& text = CurrentText();
  const NoteText::TFunctionBlocks blocks(text);
  functions_ = blocks.Entries();
  const bool result = blocks.IsFunctionText(selected);
  WipeString(selected);
  return result;
}

void TQMemo::ScrollSelectionIntoView() {
  if (!HandleAllocated()) return;
  int s, e;
  GetSel(s, e);
  const int first = LineFromChar(s);
  const int last = LineFromChar(std::max(s, e));
  const int top = NoteText::ScrollTopForSelection(first, last - first + 1, VisibleLinesWg());
  const int delta = top - FirstVisibleLine();
  if (delta != 0) SendMessageW(Handle(), EM_LINESCROLL, 0, delta);
  Invalidate();
}

bool TQMemo::SelectFunctionAtCaret(bool copy, bool remove) {
  int s, e;
  if (!FindFunctionBlockAtCaretEx(s, e)) return false;
  VSLeave(false);
  e = NoteText::TrimBlockEnd(CurrentText(), s, e);
  SetSel(s, e);
  if (!remove) ScrollSelectionIntoView();
  if (copy) HandleCopyWithTokens(false);
  if (remove) {
    if (readOnly_) {
      RefuseEdit();
      return false;
    }
    ReplaceRangeAsStep(s, e, std::string());
  }
  return true;
}

int TQMemo::JumpToFunction(const std::string& entry, bool select, int* occurrences) {
  if (occurrences) *occurrences = 0;
  if (!HandleAllocated() || entry.empty() || TextLength() == 0) return 0;
  VSLeave(false);
  const NoteText::TFunctionJumper::TResult r = jumper_.Next(CurrentText(), entry);
  if (occurrences) *occurrences = r.occurrences;
  if (r.beep) Beep(MB_ICONEXCLAMATION);
  if (r.ordinal <= 0 || r.index < 0) return 0;
  const int line = LineFromChar(r.index);
  if (select) {
    SetSel(r.index, r.index + r.length);
  } else {
    const int start = LineIndex(line);
    SetSel(start, start);
  }
  const int top = std::max(0, line - VisibleLinesWg() / 2);
  const int delta = top - FirstVisibleLine();
  if (delta != 0) SendMessageW(Handle(), EM_LINESCROLL, 0, delta);
  ScrollCaret();
  Invalidate();
  return r.ordinal;
}

bool TQMemo::JumpToFunctionDefinitionByName(const std::string& name) {
  const std::string wanted = Trimmed(name);
  if (wanted.empty() || !HandleAllocated()) return false;
  UpdateFunctionNames();
  const int i = NoteText::IndexOfSimpleName(functions_, wanted);
  if (i < 0) return false;
  JumpToFunction(functions_[static_cast<std::size_t>(i)].entry, true, nullptr);
  return true;
}

void TQMemo::JumpToFunctionDefinition(const std::string& entry) {
  const std::string wanted = Trimmed(entry);
  if (!HandleAllocated()) return;
  UpdateFunctionNames();
  int i = NoteText::IndexOfFunctionEntry(functions_, wanted);
  if (i < 0) i = NoteText::IndexOfSimpleName(functions_, NoteText::ExtractSimpleFunctionName(wanted));
  if (i < 0) return;
  VSLeave(false);
  const int pos = std::clamp(functions_[static_cast<std::size_t>(i)].position, 0, TextLength());
  SetSel(pos, pos);
  CenterLineVertically(LineFromChar(pos));
  ScrollCaret();
  SetFocus();
}
