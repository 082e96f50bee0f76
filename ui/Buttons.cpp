#include "ui/Buttons.h"

#include <algorithm>
#include <vector>

namespace {
// Every radio button of the process, to find the siblings of one.
std::vector<TRadioButton*>& RadioButtons() {
  static std::vector<TRadioButton*> all;
  return all;
}
}  // namespace

// ---------------------------------------------------------------------------

TCheckBox::TCheckBox(TComponent* owner) : TStdControl(owner) {}

void TCheckBox::CreateParams(TCreateParams& params) {
  params.WinClassName = "BUTTON";
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_AUTOCHECKBOX;
}

void TCheckBox::CreateWnd() {
  TStdControl::CreateWnd();
  SendMessageA(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  if (OnClick) OnClick(this);
}

bool TCheckBox::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
  result = 0;
  // The box has toggled itself; the object follows and reports the click.
  checked_ = SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (OnClick) OnClick(this);
  return true;
}

// ---------------------------------------------------------------------------

TRadioButton::TRadioButton(TComponent* owner) : TStdControl(owner) { RadioButtons().push_back(this); }

TRadioButton::~TRadioButton() {
  auto& all = RadioButtons();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void TRadioButton::CreateParams(TCreateParams& params) {
  params.WinClassName = "BUTTON";
  params.BuiltInClass = true;
  // Not an automatic radio button: the object decides the group's state.
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_RADIOBUTTON;
}

void TRadioButton::CreateWnd() {
  TStdControl::CreateWnd();
  ShowState();
}

void TRadioButton::ShowState() {
  if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  ShowState();
  if (!value) return;
  for (TRadioButton* other : std::vector<TRadioButton*>(RadioButtons()))
    if (other != this && other->Parent() == Parent()) other->SetChecked(false);
  if (OnClick) OnClick(this);
}

bool TRadioButton::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
  result = 0;
  SetChecked(true);
  return true;
}

// ---------------------------------------------------------------------------

TGroupBox::TGroupBox(TComponent* owner) : TStdControl(owner) {}

void TGroupBox::CreateParams(TCreateParams& params) {
  params.WinClassName = "BUTTON";
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | BS_GROUPBOX;
  params.ExStyle = WS_EX_CONTROLPARENT;
}
