// TQMemo: the keys, clicks and mouse moves of code navigation and editing
// (the window procedure calls in here), and the glyph tooltip.
#include <windows.h>
#include <richedit.h>

#include <algorithm>

#include "notes/QMemo.h"
#include "notes/text/Tokens.h"
#include "ui/Handle.h"

namespace {

bool Down(int vk) { return GetKeyState(vk) < 0; }

bool IsCtrlKey(WORD key) { return key == VK_CONTROL || key == VK_LCONTROL || key == VK_RCONTROL; }

bool IsModifierKey(WORD key) {
  return IsCtrlKey(key) || key == VK_SHIFT || key == VK_LSHIFT || key == VK_RSHIFT || key == VK_MENU ||
         key == VK_LMENU || key == VK_RMENU;
}

}  // namespace

bool TQMemo::HandleEditingKeyDown(WORD key) {
  const bool ctrl = Down(VK_CONTROL), shift = Down(VK_SHIFT), alt = Down(VK_MENU);
  vsSwallowBackspace_ = false;
  // Any other key acts on the text or the caret: the highlighted pair goes
  // first, so that nothing typed or pasted next to it takes its colours.
  if (!IsModifierKey(key) && (bracketHighlightPos_ >= 0 || bracketMatchPos_ >= 0)) ClearBracketHighlight();
  if (IsCtrlKey(key)) {
    // Once per press, not for the key's repeats.
    if (!ctrlHeld_) {
      ctrlHeld_ = true;
      UpdateEmojiTooltipUnderMouse();
      UpdateBracketHighlight();
    }
  }
  // A paste at a virtual column lands at that column.
  if (vs_.inVirtual && !alt && ((ctrl && !shift && key == 'V') || (shift && !ctrl && key == VK_INSERT))) {
    VSMaterialize();
  }
  if (VSKeyDown(key)) {
    vsSwallowBackspace_ = key == VK_BACK;
    return true;
  }
  if (!ctrl || alt) return false;
  switch (key) {
    case 'B':
      if (shift) {
        ToggleBookmarkAtCaret();
      } else {
        GotoNextBookmark();
      }
      return true;
    case VK_OEM_2:
    case VK_DIVIDE:
      ToggleLineComments("//");
      return true;
    case '7':
      if (!shift) return false;
      ToggleLineComments("//");
      return true;
    case VK_OEM_5:
      ToggleLineComments("#");
      return true;
    case '3':
      if (!shift) return false;
      ToggleLineComments("#");
      return true;
    default:
      return false;
  }
}

bool TQMemo::HandleEditingChar(char16_t ch) {
  if (vsSwallowBackspace_) {
    vsSwallowBackspace_ = false;
    if (ch == u'\b') return true;
  }
  // A character typed at a virtual column lands at that column.
  if (vs_.inVirtual && (ch >= 32 || ch == u'\r')) VSMaterialize();
  return false;
}

void TQMemo::HandleEditingKeyUp(WORD key) {
  if (!IsCtrlKey(key)) return;
  ctrlHeld_ = false;
  if (bracketHighlightPos_ >= 0 || bracketMatchPos_ >= 0) {
    ClearBracketHighlight();
    ScrollCaret();
    Invalidate();
  }
  HideEmojiTooltip();
}

bool TQMemo::HandleEditingLeftClick(int x, int y) {
  if (showLineNumbers_ && x >= 0 && x < gutterWidth_) {
    const int line = LineFromMouseY(y);
    if (line >= 0) {
      ToggleBookmarkLine(line);
      return true;
    }
  }
  if (!Down(VK_CONTROL)) return VSMouseDown(x, y);
  const std::string reference = GetQuotedReferenceAtPoint(x, y);
  if (!reference.empty() && OnOpenReference) {
    bool handled = false;
    OnOpenReference(this, reference, handled);
    if (handled) return true;
  }
  const std::string url = GetUrlAtPoint(x, y);
  if (!url.empty()) {
    OpenUrl(url);
    return true;
  }
  const std::string identifier = GetIdentifierAtPoint(x, y);
  if (!identifier.empty()) {
    bool handled = false;
    if (OnCtrlFunctionClick) OnCtrlFunctionClick(this, identifier, handled);
    if (handled || JumpToFunctionDefinitionByName(identifier)) return true;
  }
  const int bracket = FindBracketAtPointOrLine(x, y);
  if (bracket >= 0 && FindMatchingBracket(bracket) >= 0) {
    VSLeave(false);
    SetFocus();
    SetSel(bracket, bracket);
    UpdateBracketHighlight();
    return true;
  }
  ClearBracketHighlight();
  Invalidate();
  return false;
}

bool TQMemo::HandleEditingDblClk(int x, int y) {
  if (!Down(VK_CONTROL)) return false;
  const int bracket = FindBracketAtPointOrLine(x, y);
  if (bracket < 0 || FindMatchingBracket(bracket) < 0) return false;
  JumpToMatchingBracketAtPoint(x, y);
  return true;
}

void TQMemo::AfterEditingButton(bool down) {
  if (!vs_.Active()) return;
  int s, e;
  GetSel(s, e);
  if (down) {
    if (s == e) VSUpdateCaret();
    return;
  }
  if (s == e) {
    VSUpdateCaret();
  } else {
    VSLeave(false);
  }
}

void TQMemo::EditingFocusLost() {
  ctrlHeld_ = false;
  VSClearDragState();
  ClearBracketHighlight();
  HideEmojiTooltip();
}

void TQMemo::HandleEditingMouseMove(WPARAM keys, int x, int y) {
  if (!showEmojiOnCtrlHover_ || !(keys & MK_CONTROL)) {
    HideEmojiTooltip();
    return;
  }
  std::uint32_t codePoint = 0;
  RECT rect;
  if (GetTokenAtPosition(x, y, codePoint, rect)) {
    ShowEmojiTooltip(rect, codePoint);
  } else {
    HideEmojiTooltip();
  }
}

// ---------------------------------------------------------------------------
// The glyph tooltip

bool TQMemo::GetTokenAtPosition(int x, int y, std::uint32_t& codePoint, RECT& rect) {
  codePoint = 0;
  rect = RECT{0, 0, 0, 0};
  const int index = CharIndexFromPointApprox(x, y);
  if (index < 0) return false;
  // Only the characters of the point's line.
  const int line = LineFromChar(index);
  const int start = LineIndex(line);
  if (start < 0) return false;
  const std::string& text = CurrentText();
  NoteText::TCodePointToken token;
  if (!NoteText::CodePointTokenAt(text, index, token) || token.start < start) return false;
  codePoint = token.codePoint;
  int fontHeight = 16;
  if (HandleAllocated()) {
    TWindowDC dc(Handle());
    if (dc.get()) {
      TSelectGuard font(dc.get(), font_.Handle());
      TEXTMETRICA tm{};
      if (GetTextMetricsA(dc.get(), &tm) && tm.tmHeight > 0) fontHeight = tm.tmHeight;
    }
  }
  rect = RECT{x + 12 - 4, y + 12 - 4, x + 36 + 4, y + fontHeight + 20 + 4};
  return true;
}

void TQMemo::ShowEmojiTooltip(const RECT&, std::uint32_t codePoint) {
  if (!tooltip_) tooltip_ = std::make_unique<TGlyphTooltip>();
  POINT cursor{0, 0};
  GetCursorPos(&cursor);
  tooltip_->ShowAt(codePoint, cursor.x + 8, cursor.y + 10);
}

void TQMemo::HideEmojiTooltip() {
  if (tooltip_) tooltip_->HideTip();
}

void TQMemo::UpdateEmojiTooltipUnderMouse() {
  if (!showEmojiOnCtrlHover_ || !HandleAllocated() || !Down(VK_CONTROL)) return;
  POINT p{0, 0};
  if (!GetCursorPos(&p)) return;
  ScreenToClient(Handle(), &p);
  RECT client;
  GetClientRect(Handle(), &client);
  if (!PtInRect(&client, p)) return;
  std::uint32_t codePoint = 0;
  RECT rect;
  if (GetTokenAtPosition(p.x, p.y, codePoint, rect)) ShowEmojiTooltip(rect, codePoint);
}

bool TQMemo::EmojiTooltipShown() const { return tooltip_ && tooltip_->Shown(); }

std::uint32_t TQMemo::EmojiTooltipCodePoint() const { return tooltip_ ? tooltip_->CodePoint() : 0; }

HWND TQMemo::EmojiTooltipHandle() const {
  return tooltip_ && tooltip_->HandleAllocated() ? const_cast<TGlyphTooltip&>(*tooltip_).Handle() : nullptr;
}
