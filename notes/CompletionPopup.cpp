#include "notes/CompletionPopup.h"

#include <richedit.h>

#include "notes/text/Completion.h"
#include "notes/text/LineText.h"

TQMemoCompletion::TQMemoCompletion(IQMemoCompletionHost& host) : host_(host) {}

TQMemoCompletion::~TQMemoCompletion() {
  if (box_) {
    box_->OnGetItemColor = nullptr;
    box_->OnDblClick = nullptr;
    box_->OnKeyDown = nullptr;
    box_->OnExit = nullptr;
  }
}

HWND TQMemoCompletion::EditorHandle() {
  TWinControl* editor = host_.CompletionEditor();
  return editor && editor->HandleAllocated() ? editor->Handle() : nullptr;
}

void TQMemoCompletion::SetCodeCompletion(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (!enabled_) Hide();
}

void TQMemoCompletion::SetCodeCompletionMarkFuture(bool value) {
  if (value == markFuture_) return;
  markFuture_ = value;
  if (Visible()) InvalidateRect(box_->Handle(), nullptr, TRUE);
}

bool TQMemoCompletion::Visible() const {
  return box_ && box_->HandleAllocated() && IsWindowVisible(box_->Handle());
}

bool TQMemoCompletion::IsPopupWindow(HWND wnd) const {
  return wnd && box_ && box_->HandleAllocated() && box_->Handle() == wnd;
}

bool TQMemoCompletion::EnsureBox() {
  if (box_) return true;
  TWinControl* editor = host_.CompletionEditor();
  if (!editor) return false;
  box_ = std::make_unique<TColorListBox>(nullptr);
  box_->SetParent(editor->Parent() ? editor->Parent() : editor);
  box_->Font().Assign(host_.CompletionFont());
  ApplyColors();
  box_->UpdateItemHeight();
  box_->OnGetItemColor = [this](TObject*, int index, TColor& textColor, TColor&, bool& handled) {
    if (ItemIsFuture(index)) {
      textColor = host_.CompletionNightMode() ? RGBColor(255, 120, 120) : RGBColor(255, 0, 0);
      handled = true;
    }
  };
  box_->OnDblClick = [this](TObject*) { Accept(false); };
  box_->OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
    // A key pressed in the list makes its own character there: nothing for
    // the editor to drop.
    if (HandleKey(key, false).consumed) key = 0;
  };
  box_->OnExit = [this](TObject*, HWND to) {
    // Focused by a click, then left for anything but the editor: the popup
    // goes, as it does when the editor loses the focus.
    if (!to || to != EditorHandle()) Hide();
  };
  box_->HandleNeeded();  // created hidden
  return true;
}

void TQMemoCompletion::ApplyColors() {
  if (!box_) return;
  const bool night = host_.CompletionNightMode();
  box_->SetColor(night ? clBlack : clWhite);
  box_->Font().SetColor(night ? clWhite : clBlack);
}

void TQMemoCompletion::UpdateBoxStyle() {
  if (!box_) return;
  box_->Font().Assign(host_.CompletionFont());
  ApplyColors();
  box_->UpdateItemHeight();
}

void TQMemoCompletion::Show(bool rebuild) {
  if (!enabled_ || host_.CompletionReadOnly()) return;
  if (!EnsureBox()) return;
  Refresh(rebuild);
}

void TQMemoCompletion::Refresh(bool rebuild) {
  if (!enabled_ || !box_) return;
  // Accepting would change a read-only text.
  if (host_.CompletionReadOnly()) {
    Hide();
    return;
  }
  functions_ = host_.CompletionFunctions(rebuild);
  const std::string text = host_.CompletionText();
  // The lines of the text the function positions belong to, for the
  // colouring of functions below the caret.
  lines_ = std::make_unique<NoteText::TLineIndex>(text);
  std::string prefix;
  NoteText::CompletionGetPrefix(text, host_.CompletionSelStart(), prefix, prefixStart_);
  const std::vector<NoteText::TCompletionItem> found = NoteText::CompletionFilter(functions_, prefix);
  std::vector<TColorListBox::TItem> items;
  items.reserve(found.size());
  for (const auto& f : found) items.push_back({f.entry, f.functionIndex + 1});
  ApplyColors();
  box_->SetItems(items);
  if (items.empty()) {
    Hide();
    return;
  }
  box_->SetItemIndex(0);
  PositionPopup();
  box_->Show();
  SetWindowPos(box_->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (TWinControl* editor = host_.CompletionEditor()) editor->SetFocus();
}

void TQMemoCompletion::Hide() {
  if (Visible()) box_->Hide();
}

void TQMemoCompletion::PositionPopup() {
  HWND ed = EditorHandle();
  if (!box_ || !ed || !box_->Parent() || !box_->Parent()->HandleAllocated()) return;
  HWND parent = box_->Parent()->Handle();
  POINT anchor{0, 0};
  bool fromCaret = false;
  if (GetFocus() == ed) fromCaret = GetCaretPos(&anchor) != FALSE;
  if (!fromCaret) {
    POINTL p{0, 0};
    SendMessageA(ed, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), host_.CompletionSelStart());
    anchor = POINT{p.x, p.y};
  }
  int lineHeight = 16;
  if (HDC dc = GetDC(ed)) {
    TFont font;
    font.Assign(host_.CompletionFont());
    HGDIOBJ old = SelectObject(dc, font.Handle());
    TEXTMETRICA tm{};
    if (GetTextMetricsA(dc, &tm)) lineHeight = tm.tmHeight + tm.tmExternalLeading;
    SelectObject(dc, old);
    ReleaseDC(ed, dc);
  }
  if (lineHeight < 1) lineHeight = 16;
  if (parent != ed) MapWindowPoints(ed, parent, &anchor, 1);
  RECT client{0, 0, 0, 0};
  GetClientRect(parent, &client);
  const NoteText::TPopupRect r = NoteText::CompletionPopupRect(
      anchor.x, anchor.y, lineHeight, box_->ItemHeight(), box_->Count(), client.right, client.bottom);
  box_->SetBounds(r.left, r.top, r.width, r.height);
}

TQMemoCompletion::TKeyResult TQMemoCompletion::HandleKey(unsigned key, bool fromEditor) {
  TKeyResult r;
  if (!Visible()) return r;
  switch (key) {
    case VK_TAB:
    case VK_RETURN:
      Accept(key == VK_RETURN);
      r.consumed = true;
      r.swallowNextBlank = fromEditor;
      break;
    case VK_ESCAPE:
      Hide();
      r.consumed = true;
      break;
    case VK_PRIOR:
      MoveSelection(-5);
      r.consumed = true;
      break;
    case VK_NEXT:
      MoveSelection(5);
      r.consumed = true;
      break;
    case VK_HOME:
      if (box_->Count() > 0) box_->SetItemIndex(0);
      r.consumed = true;
      break;
    case VK_END:
      if (box_->Count() > 0) box_->SetItemIndex(box_->Count() - 1);
      r.consumed = true;
      break;
    case VK_UP:
      MoveSelection(-1);
      r.consumed = true;
      break;
    case VK_DOWN:
      MoveSelection(1);
      r.consumed = true;
      break;
    case VK_LEFT:
    case VK_RIGHT:
      Hide();  // and the caret moves
      break;
    default:
      break;
  }
  return r;
}

void TQMemoCompletion::MoveSelection(int delta) {
  if (!Visible() || box_->Count() == 0) return;
  box_->SetItemIndex(NoteText::CompletionMoveIndex(box_->ItemIndex(), delta, box_->Count()));
}

bool TQMemoCompletion::Accept(bool enterKey) {
  if (!Visible()) return false;
  const int i = box_->ItemIndex();
  if (i < 0 || i >= box_->Count()) return false;
  if (host_.CompletionReadOnly()) {
    Hide();
    return false;
  }
  NoteText::TCompletionAcceptPlan plan;
  if (!NoteText::PlanCompletionAccept(host_.CompletionText(), host_.CompletionSelStart(), box_->Item(i),
                                      enterKey, plan)) {
    return false;
  }
  host_.CompletionReplace(plan.replaceStart, plan.replaceEnd, plan.insert, plan.caret);
  Hide();
  if (TWinControl* editor = host_.CompletionEditor()) editor->SetFocus();
  return true;
}

bool TQMemoCompletion::ItemIsFuture(int itemIndex) {
  if (!markFuture_ || !box_ || functions_.empty() || !EditorHandle()) return false;
  if (itemIndex < 0 || itemIndex >= box_->Count()) return false;
  const std::intptr_t function = box_->ItemObject(itemIndex) - 1;
  if (function < 0 || function >= static_cast<std::intptr_t>(functions_.size())) return false;
  if (!lines_) return false;
  const int caretLine = lines_->LineFromIndex(host_.CompletionSelStart());
  const int functionLine = lines_->LineFromIndex(functions_[static_cast<std::size_t>(function)].position);
  return caretLine < functionLine;
}
