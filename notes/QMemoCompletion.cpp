// TQMemo: the completion popup's keys and its edits, and the icon picker.
#include <windows.h>

#include "notes/IconPicker.h"
#include "notes/QMemo.h"

namespace {

bool Held(int vk) { return GetKeyState(vk) < 0; }

}  // namespace

bool TQMemo::HandlePopupKeyDown(WORD key) {
  if (!completion_) return false;
  // The blank to drop belongs to the key press that set the flag; a key
  // press without a character (a layout that gives none) must not pass the
  // flag on to the next one.
  swallowNextBlank_ = false;
  const bool ctrl = Held(VK_CONTROL), alt = Held(VK_MENU);
  if (key == VK_SPACE && ctrl && !alt && completion_->CodeCompletion()) {
    completion_->Show(true);
    swallowNextBlank_ = true;
    return true;
  }
  const TQMemoCompletion::TKeyResult r = completion_->HandleKey(key, true);
  if (r.swallowNextBlank) swallowNextBlank_ = true;
  if (r.consumed) return true;
  if (key == VK_OEM_PERIOD && !alt) {
    if (ctrl) {
      ShowIconPickerWindow();
      return true;
    }
    if (Held(VK_LWIN) || Held(VK_RWIN)) {
      TQMemoIconPicker::OpenIconServiceOverview();
      return true;
    }
  }
  return false;
}

void TQMemo::CompletionAfterChar(UINT msg, WPARAM wParam) {
  if (!completion_ || !completion_->Visible()) return;
  const unsigned ch = msg == WM_IME_CHAR ? LOWORD(wParam) : static_cast<unsigned>(wParam);
  if (ch == 8 || ch >= 32) completion_->Refresh(false);
}

void TQMemo::CompletionHideUnlessFocusTo(HWND focused) {
  if (completion_ && !completion_->IsPopupWindow(focused)) completion_->Hide();
}

void TQMemo::CompletionHideOnResize() {
  RECT r{0, 0, 0, 0};
  GetWindowRect(Handle(), &r);
  const SIZE now{r.right - r.left, r.bottom - r.top};
  const bool resized = now.cx != completionWindowSize_.cx || now.cy != completionWindowSize_.cy;
  completionWindowSize_ = now;
  if (resized) CompletionHide();
}

std::string TQMemo::CompletionText() { return CurrentText(); }

std::vector<NoteText::TFunctionEntry> TQMemo::CompletionFunctions(bool rebuild) {
  // The editor's own function list (the one Ctrl+click jumps use).
  if (rebuild || functions_.empty()) UpdateFunctionNames();
  return functions_;
}

void TQMemo::CompletionReplace(int start, int end, const std::string& text, int caret) {
  if (readOnly_ || !HandleAllocated()) return;
  // The replacement was measured at the real caret.
  VSLeave(false);
  // The inserted call is an undo step of its own.
  undo_.ForceBoundary();
  SetSel(start, end);
  ReplaceSelection(text);
  SetSel(caret, caret);
  ScrollCaret();
}

// ---------------------------------------------------------------------------
// The icon picker

void TQMemo::ShowIconPickerWindow() {
  // A pick could not be inserted.
  if (readOnly_) return;
  TQMemoIconPicker::ShowIconPickerWindow(this, [this](const std::string& tokens) { InsertPickedTokens(tokens); });
}

void TQMemo::InsertPickedTokens(const std::string& tokens) {
  if (readOnly_ || !HandleAllocated() || tokens.empty()) return;
  SetFocus();
  // At a virtual column the pick lands there.
  VSMaterialize();
  undo_.ForceBoundary();
  ReplaceSelection(tokens);
  ScrollCaret();
}

// ---------------------------------------------------------------------------

void TQMemo::ReleaseAttachments() {
  // No pick, no job's completion and no popup may reach an editor that goes.
  TQMemoIconPicker::CloseIconPickerFor(this);
  fileJobs_.reset();
  completion_.reset();
  darkBars_.reset();
}
