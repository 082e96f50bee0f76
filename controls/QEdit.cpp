#include "controls/QEdit.h"

#include <algorithm>

namespace {

// Asks the edit to take the focus back, after the focus change that is
// under way has finished.
UINT RefocusMessage() {
  static const UINT msg = RegisterWindowMessageA("Vaultline.QEdit.Refocus");
  return msg;
}

}  // namespace

namespace QEditCompletion {

bool IgnoredKey(WORD key) {
  switch (key) {
    case 8: case 12: case 13: case 16: case 20: case 27: case 32:
      return true;
    default:
      return (key >= 33 && key <= 46) || (key >= 91 && key <= 93) || (key >= 112 && key <= 123);
  }
}

std::string AnsiLower(const std::string& text) {
  std::string s = text;
  if (!s.empty()) CharLowerBuffA(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// Whether entry begins with text (its first length(text) characters equal
// the text), in the given case rule.
static bool Begins(const std::string& entry, const std::string& text, const std::string& lowerText,
                   bool caseSensitive) {
  const std::string head = entry.substr(0, text.size());
  return caseSensitive ? head == text : AnsiLower(head) == lowerText;
}

bool FindCandidate(const std::string& text, const TStringList& data, const TStringList& exclusion,
                   bool caseSensitiveData, bool caseSensitiveExclusion, bool onlyIfUnequivocal,
                   std::string& candidate) {
  const std::string lower = AnsiLower(text);
  for (const std::string& e : exclusion.Items())
    if (Begins(e, text, lower, caseSensitiveExclusion)) return false;
  int matches = 0;
  for (const std::string& d : data.Items()) {
    if (!Begins(d, text, lower, caseSensitiveData)) continue;
    if (matches++ == 0) candidate = d;
    if (onlyIfUnequivocal && matches > 1) return false;
  }
  return matches > 0;
}

}  // namespace QEditCompletion

TQEdit::TQEdit(TComponent* owner) : TEdit(owner) {}

TQEdit::~TQEdit() = default;

std::string TQEdit::Select(const std::string& text, int* selStart) {
  std::string selText = text;
  int selPos = selStart ? *selStart : 0;
  if (OnSelect) OnSelect(this, selText, selPos);
  if (selStart) *selStart = selPos;
  return selText;
}

void TQEdit::KeyUp(WORD& key, TShiftState) {
  if (QEditCompletion::IgnoredKey(key)) return;
  const std::string typed = Text();
  std::string candidate;
  if (!QEditCompletion::FindCandidate(typed, dataList_, exclusionList_, caseSensitiveData_,
                                      caseSensitiveExclusion_, onlyIfUnequivocal_, candidate))
    return;
  int start = static_cast<int>(typed.size());
  const std::string completed = Select(candidate, &start);
  SetText(completed);
  // A handler may move the start anywhere: the selection stays inside the text.
  const int length = static_cast<int>(completed.size());
  start = std::clamp(start, 0, length);
  SetSelection(start, length - start);
}

void TQEdit::DoExit() {
  if (exitAfterTab_) {
    TEdit::DoExit();
    return;
  }
  if (HandleAllocated()) PostMessageA(Handle(), RefocusMessage(), 0, 0);
}

LRESULT TQEdit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == RefocusMessage()) {
    // Only while the focus stays in this window: a switch to another
    // program is not undone.
    HWND focus = GetFocus();
    if (!exitAfterTab_ && focus && focus != Handle() &&
        GetAncestor(focus, GA_ROOT) == GetAncestor(Handle(), GA_ROOT))
      ::SetFocus(Handle());
    return 0;
  }
  return TEdit::WndProc(msg, wParam, lParam);
}
