#include "ui/TrayIcon.h"

#include <shellapi.h>

#include <cstring>

#include "ui/Form.h"

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner) {
  // A hidden top-level window, so that it also hears broadcasts.
  window_ = std::make_unique<TMessageWindow>(nullptr, "TTrayIconWindow", false);
  window_->OnMessage = [this](UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    if (msg != kCallbackMessage) return false;
    HandleMouse(static_cast<UINT>(lParam));
    result = 0;
    return true;
  };
}

TTrayIcon::~TTrayIcon() {
  if (visible_) Notify(NIM_DELETE);
}

bool TTrayIcon::Notify(DWORD message) {
  NOTIFYICONDATAA nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = window_->Handle();
  nid.uID = 1;
  nid.uFlags = NIF_MESSAGE | NIF_TIP | (icon_ ? NIF_ICON : 0u);
  nid.uCallbackMessage = kCallbackMessage;
  nid.hIcon = icon_.get();
  std::strncpy(nid.szTip, hint_.c_str(), sizeof nid.szTip - 1);
  return Shell_NotifyIconA(message, &nid) != FALSE;
}

bool TTrayIcon::SetVisible(bool visible) {
  if (visible == visible_) return true;
  if (visible) {
    if (!icon_) UpdateIcon();
    if (!Notify(NIM_ADD)) return false;
  } else {
    Notify(NIM_DELETE);
  }
  visible_ = visible;
  return true;
}

void TTrayIcon::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  if (visible_) Notify(NIM_MODIFY);
}

void TTrayIcon::SetIconIndex(int index) {
  if (index == iconIndex_ && icon_) return;
  iconIndex_ = index;
  UpdateIcon();
}

void TTrayIcon::UpdateIcon() {
  HICON icon = nullptr;
  if (icons_ && icons_->Handle() && iconIndex_ >= 0 && iconIndex_ < icons_->Count())
    icon = ImageList_GetIcon(icons_->Handle(), iconIndex_, ILD_NORMAL);
  if (!icon) icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, 16, 16, 0));
  icon_.reset(icon);
  if (visible_) Notify(NIM_MODIFY);
}

void TTrayIcon::HandleMouse(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONUP:
      if (OnClick) OnClick(this);
      break;
    case WM_LBUTTONDBLCLK:
      if (RestoreOn == imDoubleClick) Restore();
      if (OnDblClick) OnDblClick(this);
      break;
    case WM_RBUTTONUP:
      if (PopupMenuOn == imRightClickUp && popupMenu_) {
        POINT p;
        GetCursorPos(&p);
        popupMenu_->Popup(p.x, p.y, window_->Handle());
      }
      break;
    default:
      break;
  }
}

void TTrayIcon::Minimize() {
  SetVisible(true);
  if (mainForm_ && mainForm_->HandleAllocated()) mainForm_->Hide();
}

void TTrayIcon::Restore() {
  if (!mainForm_) return;
  HWND wnd = mainForm_->Handle();
  if (!wnd) return;
  if (IsIconic(wnd)) ShowWindow(wnd, SW_RESTORE);
  mainForm_->Show();
  SetForegroundWindow(wnd);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  DropReference(popupMenu_, component);
  // The icon made from the list is our own copy and stays.
  DropReference(icons_, component);
}
