#include "ui/EditCtrls.h"

#include <commctrl.h>

#include <algorithm>

#include "base/Wipe.h"

// ---------------------------------------------------------------------------
// TLabel

TLabel::TLabel(TComponent* owner) : TStdControl(owner) { brush_.SetColor(color_); }

void TLabel::CreateParams(TCreateParams& params) {
  params.WinClassName = "STATIC";
  params.BuiltInClass = true;
  DWORD align = alignment_ == taRightJustify ? SS_RIGHT : alignment_ == taCenter ? SS_CENTER : SS_LEFT;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | SS_NOTIFY | SS_NOPREFIX | align;
}

void TLabel::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  brush_.SetColor(color);
  Invalidate();
}

void TLabel::SetAlignment(TAlignment alignment) { alignment_ = alignment; }

LRESULT TLabel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SETCURSOR && handCursor_) {
    SetCursor(LoadCursor(nullptr, IDC_HAND));
    return TRUE;
  }
  return TStdControl::WndProc(msg, wParam, lParam);
}

bool TLabel::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, ColorToRGB(Font().Color()));
    SetBkColor(dc, ColorToRGB(color_));
    result = reinterpret_cast<LRESULT>(brush_.Handle());
    return true;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
    (void)lParam;
    if (OnClick) OnClick(this);
    result = 0;
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// TEditBuffer

namespace {

// Replaces an edit's text with blanks, then deletes them as a user would,
// so that they also land where the edit keeps the text a user deleted.
void PutBlanks(HWND edit, int chars) {
  const std::wstring blanks(static_cast<std::size_t>(chars), L' ');
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(blanks.c_str()));
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
  SendMessageW(edit, EM_EMPTYUNDOBUFFER, 0, 0);
}

}  // namespace

void TEditBuffer::Reserve(HWND edit) {
  if (!edit || GetWindowTextLengthW(edit) > 0) return;
  wiping_ = true;
  PutBlanks(edit, kReservedChars);
  wiping_ = false;
  held_ = std::max(held_, kReservedChars);
}

void TEditBuffer::Note(HWND edit) {
  if (!edit) return;
  const int n = GetWindowTextLengthW(edit);
  held_ = std::max(held_, n);
  if (n > 0) dirty_ = true;
}

void TEditBuffer::Wipe(HWND edit) {
  if (!edit) return;
  Note(edit);
  wiping_ = true;
  PutBlanks(edit, held_);
  wiping_ = false;
  dirty_ = false;
}

// ---------------------------------------------------------------------------
// TEditBox

TEditBox::TEditBox(TComponent* owner) : TEdit(owner) { brush_.SetColor(color_); }

void TEditBox::CreateParams(TCreateParams& params) {
  TEdit::CreateParams(params);
  if (passwordChar_) params.Style |= ES_PASSWORD;
  if (readOnly_) params.Style |= ES_READONLY;
}

void TEditBox::CreateWnd() {
  TEdit::CreateWnd();
  if (passwordChar_) SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar_), 0);
  buffer_.Reserve(Handle());
  buffer_.Note(Handle());
}

void TEditBox::SetPasswordChar(char c) {
  if (c == passwordChar_) return;
  passwordChar_ = c;
  if (HandleAllocated()) {
    SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(c), 0);
    Invalidate();
  }
}

void TEditBox::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETREADONLY, value, 0);
}

void TEditBox::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  brush_.SetColor(color);
  Invalidate();
}

TEditBox::~TEditBox() { WipeString(secret_); }

void TEditBox::SetText(const std::string& text) {
  if (!HandleAllocated()) {
    TEdit::SetText(text);
    return;
  }
  if (buffer_.Dirty()) buffer_.Wipe(Handle());
  TEdit::SetText(text);
  buffer_.Note(Handle());
}

void TEditBox::ClearSecret() {
  WipeString(secret_);
  if (!HandleAllocated()) {
    TEdit::SetText("");
    return;
  }
  buffer_.Wipe(Handle());
  if (OnChange) OnChange(this);  // the blanks went unannounced, the empty text does not
}

void TEditBox::SetSecretText(const std::string& text) {
  // Emptied first, so that a larger buffer leaves only zeros behind.
  WipeString(secret_);
  secret_.reserve(text.size());
  secret_.assign(text);
}

LRESULT TEditBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_LBUTTONDBLCLK && OnDblClick) {
    LRESULT r = TEdit::WndProc(msg, wParam, lParam);
    OnDblClick(this);
    return r;
  }
  return TEdit::WndProc(msg, wParam, lParam);
}

bool TEditBox::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_COMMAND && (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == EN_UPDATE)) {
    // The blanks of a wipe are no change of the text.
    if (buffer_.Wiping()) {
      result = 0;
      return true;
    }
    if (HIWORD(wParam) == EN_CHANGE) buffer_.Note(Handle());
  }
  if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, ColorToRGB(IsWindowEnabled(Handle()) ? Font().Color() : clGrayText));
    SetBkColor(dc, ColorToRGB(color_));
    result = reinterpret_cast<LRESULT>(brush_.Handle());
    return true;
  }
  return TEdit::ReflectedMessage(msg, wParam, lParam, result);
}

// ---------------------------------------------------------------------------
// TMemo

TMemo::TMemo(TComponent* owner) : TEditBox(owner) {}

void TMemo::CreateParams(TCreateParams& params) {
  TEditBox::CreateParams(params);
  params.Style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
  params.Style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
  if (!wordWrap_) params.Style |= ES_AUTOHSCROLL | WS_HSCROLL;
}

// ---------------------------------------------------------------------------
// TComboBox

TComboBox::TComboBox(TComponent* owner) : TStdControl(owner) { brush_.SetColor(color_); }

void TComboBox::CreateParams(TCreateParams& params) {
  params.WinClassName = "COMBOBOX";
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
}

void TComboBox::CreateWnd() {
  TStdControl::CreateWnd();
  for (const std::string& item : items_) SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  if (itemIndex_ >= 0) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
  ApplyHeight();
  buffer_.Reserve(EditHandle());
  buffer_.Note(EditHandle());
}

HWND TComboBox::EditHandle() {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  return HandleAllocated() && GetComboBoxInfo(Handle(), &info) ? info.hwndItem : nullptr;
}

void TComboBox::SetText(const std::string& text) {
  if (HandleAllocated() && buffer_.Dirty()) buffer_.Wipe(EditHandle());
  TStdControl::SetText(text);
  if (HandleAllocated()) buffer_.Note(EditHandle());
}

void TComboBox::ClearSecret() {
  if (!HandleAllocated()) {
    TStdControl::SetText("");
    return;
  }
  buffer_.Wipe(EditHandle());
  if (OnChange) OnChange(this);
}

void TComboBox::ApplyHeight() {
  if (HandleAllocated()) SendMessageA(Handle(), CB_SETMINVISIBLE, static_cast<WPARAM>(dropDownCount_), 0);
}

void TComboBox::AddItem(const std::string& item) {
  items_.push_back(item);
  if (HandleAllocated()) SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void TComboBox::ClearItems() {
  items_.clear();
  itemIndex_ = -1;
  if (HandleAllocated()) SendMessageA(Handle(), CB_RESETCONTENT, 0, 0);
}

int TComboBox::ItemIndex() {
  if (HandleAllocated()) itemIndex_ = static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
  return itemIndex_;
}

void TComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= ItemCount()) index = -1;
  itemIndex_ = index;
  if (HandleAllocated()) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TComboBox::SetDropDownCount(int count) {
  if (count == dropDownCount_) return;
  dropDownCount_ = count;
  ApplyHeight();
}

void TComboBox::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  brush_.SetColor(color);
  Invalidate();
  if (HandleAllocated()) RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

LRESULT TComboBox::ColorMessage(HDC dc) {
  SetTextColor(dc, ColorToRGB(IsWindowEnabled(Handle()) ? Font().Color() : clGrayText));
  SetBkColor(dc, ColorToRGB(color_));
  return reinterpret_cast<LRESULT>(brush_.Handle());
}

LRESULT TComboBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // The combo box's own edit asks it for its colours.
  if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORSTATIC) return ColorMessage(reinterpret_cast<HDC>(wParam));
  return TStdControl::WndProc(msg, wParam, lParam);
}

bool TComboBox::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND && (HIWORD(wParam) == CBN_EDITCHANGE || HIWORD(wParam) == CBN_EDITUPDATE) &&
      buffer_.Wiping()) {
    result = 0;  // the blanks of a wipe are no change of the text
    return true;
  }
  if (msg == WM_COMMAND && (HIWORD(wParam) == CBN_EDITCHANGE || HIWORD(wParam) == CBN_SELCHANGE)) {
    buffer_.Note(EditHandle());
    if (HIWORD(wParam) == CBN_SELCHANGE) {
      // The edit shows the picked item only after this notification.
      const int index = static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
      if (index >= 0 && index < ItemCount()) SetWindowTextOf(Handle(), Item(index));
    }
    if (OnChange) OnChange(this);
    result = 0;
    return true;
  }
  return false;
}
