// TTrayIcon: the program's icon in the notification area, with a hint, a
// popup menu, click events, and hiding and restoring of the main window.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ui/Handle.h"
#include "ui/ImageList.h"
#include "ui/Menus.h"
#include "ui/MessageWindow.h"

class TForm;

enum TTrayInputMode { imNone, imClick, imDoubleClick, imRightClickUp };

class TTrayIcon : public TComponent {
 public:
  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;

  // Shows or removes the icon; false when the notification area refused.
  bool Visible() const { return visible_; }
  bool SetVisible(bool visible);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  // The icon: image index of an image list.
  void SetIcons(TImageList* icons) {
    SetReference(icons_, icons);
    UpdateIcon();
  }
  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int index);

  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu) { SetReference(popupMenu_, menu); }
  TTrayInputMode PopupMenuOn = imRightClickUp;
  TTrayInputMode RestoreOn = imDoubleClick;
  // The window that Minimize hides and Restore brings back.
  void SetMainForm(TForm* form) { mainForm_ = form; }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

  // Hides the main window to the notification area (the icon is shown).
  void Minimize();
  // Brings the main window back from the notification area.
  void Restore();

  // The hidden window that receives the icon's mouse messages.
  HWND CallbackWindow() { return window_->Handle(); }
  // The message the icon sends to CallbackWindow (lParam: the mouse message).
  static constexpr UINT kCallbackMessage = WM_APP + 0x3F10;

 protected:
  // An image list or menu that goes away is dropped.
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool Notify(DWORD message);
  void UpdateIcon();
  void HandleMouse(UINT mouseMessage);

  std::unique_ptr<TMessageWindow> window_;
  bool visible_ = false;
  std::string hint_;
  TImageList* icons_ = nullptr;
  int iconIndex_ = 0;
  TIconHandle icon_;
  TPopupMenu* popupMenu_ = nullptr;
  TForm* mainForm_ = nullptr;
};
