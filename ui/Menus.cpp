#include "ui/Menus.h"

#include <algorithm>
#include <map>

namespace {

std::map<UINT, TMenuItem*>& Commands() {
  static std::map<UINT, TMenuItem*> commands;
  return commands;
}

UINT NextCommand() {
  // Menu command ids stay below 0x8000 and clear of the dialog ids (IDOK…).
  static UINT next = 0x1000;
  if (next >= 0x7FFF) next = 0x1000;
  while (Commands().count(next)) ++next;
  return next++;
}

// The root item of a menu bar: its menu is a bar, and a change redraws the
// window that shows it.
class TMenuBarRoot : public TMenuItem {
 public:
  explicit TMenuBarRoot(TComponent* owner) : TMenuItem(owner) {}
  HWND window = nullptr;

 protected:
  HMENU CreateMenuHandle() override { return CreateMenu(); }
  void Rebuild() override {
    TMenuItem::Rebuild();
    if (window && IsWindow(window)) DrawMenuBar(window);
  }
};

}  // namespace

TShortCut ShortCutFromKey(WORD key, unsigned shift) {
  TShortCut sc = key & 0xFF;
  if (shift & 1) sc |= scShift;
  if (shift & 2) sc |= scAlt;
  if (shift & 4) sc |= scCtrl;
  return sc;
}

std::string ShortCutToText(TShortCut sc) {
  const unsigned key = sc & 0xFF;
  if (key == 0) return "";
  std::string name;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
    name = std::string(1, static_cast<char>(key));
  else if (key >= VK_F1 && key <= VK_F24)
    name = "F" + std::to_string(key - VK_F1 + 1);
  else if (key == VK_DELETE)
    name = "Del";
  else if (key == VK_INSERT)
    name = "Ins";
  else if (key == VK_RETURN)
    name = "Enter";
  else
    name = "#" + std::to_string(key);
  std::string text;
  if (sc & scCtrl) text += "Ctrl+";
  if (sc & scShift) text += "Shift+";
  if (sc & scAlt) text += "Alt+";
  return text + name;
}

// ---------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(NextCommand()) {
  Commands()[command_] = this;
}

TMenuItem::~TMenuItem() {
  Commands().erase(command_);
  if (parent_) parent_->Remove(this);
  for (TMenuItem* child : items_) child->parent_ = nullptr;
  if (menu_ && IsMenu(menu_)) {
    // Detach the submenus first: they belong to their own items.
    while (GetMenuItemCount(menu_) > 0) RemoveMenu(menu_, 0, MF_BYPOSITION);
    DestroyMenu(menu_);
  }
}

void TMenuItem::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::SetShortCut(TShortCut shortCut) {
  if (shortCut == shortCut_) return;
  shortCut_ = shortCut;
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  if (parent_) parent_->ChildChanged();
}

void TMenuItem::Add(TMenuItem* item) {
  if (!item || item == this) return;
  if (item->parent_) item->parent_->Remove(item);
  item->parent_ = this;
  items_.push_back(item);
  Rebuild();
  // A first sub-item turns this item into a submenu of its parent.
  if (items_.size() == 1 && parent_) parent_->ChildChanged();
}

TMenuItem* TMenuItem::AddNew(TComponent* owner, const std::string& name, const std::string& caption,
                             TNotifyEvent onClick, TShortCut shortCut) {
  auto* item = new TMenuItem(owner);
  item->SetName(name);
  item->caption_ = caption;
  item->shortCut_ = shortCut;
  item->OnClick = std::move(onClick);
  Add(item);
  return item;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
  Rebuild();
}

HMENU TMenuItem::SubMenu() {
  if (!menu_) {
    menu_ = CreateMenuHandle();
    Rebuild();
  }
  return menu_;
}

std::string TMenuItem::DisplayText() const {
  const std::string sc = ShortCutToText(shortCut_);
  return sc.empty() ? caption_ : caption_ + "\t" + sc;
}

void TMenuItem::Rebuild() {
  if (!menu_) return;
  while (GetMenuItemCount(menu_) > 0) RemoveMenu(menu_, 0, MF_BYPOSITION);
  UINT pos = 0;
  for (TMenuItem* child : items_) {
    if (!child->visible_) continue;
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    std::string text = child->DisplayText();
    if (child->caption_ == "-") {
      mii.fMask = MIIM_FTYPE;
      mii.fType = MFT_SEPARATOR;
    } else {
      mii.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_SUBMENU;
      mii.fType = MFT_STRING;
      mii.fState = (child->enabled_ ? MFS_ENABLED : MFS_GRAYED) | (child->checked_ ? MFS_CHECKED : 0u) |
                   (child->default_ ? MFS_DEFAULT : 0u);
      mii.wID = child->command_;
      mii.hSubMenu = child->items_.empty() ? nullptr : child->SubMenu();
      mii.dwTypeData = text.data();
    }
    InsertMenuItemA(menu_, pos++, TRUE, &mii);
  }
}

void TMenuItem::Click() {
  if (OnClick) OnClick(this);
}

TMenuItem* TMenuItem::FindCommand(UINT command) {
  auto it = Commands().find(command);
  return it == Commands().end() ? nullptr : it->second;
}

bool TMenuItem::DispatchCommand(UINT command) {
  TMenuItem* item = FindCommand(command);
  if (!item || !item->enabled_) return false;
  item->Click();
  return true;
}

bool TMenuItem::ClickShortCut(TShortCut shortCut) {
  if (shortCut == scNone) return false;
  for (TMenuItem* child : items_) {
    if (!child->visible_ || !child->enabled_) continue;
    if (child->items_.empty()) {
      if (child->shortCut_ == shortCut) {
        child->Click();
        return true;
      }
    } else if (child->ClickShortCut(shortCut)) {
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------

TMenu::TMenu(TComponent* owner) : TComponent(owner) {}

TMenu::~TMenu() { delete items_; }

bool TMenu::IsShortCut(WORD key, unsigned shift) {
  return items_ && items_->ClickShortCut(ShortCutFromKey(key, shift));
}

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) { items_ = new TMenuBarRoot(nullptr); }

TMainMenu::~TMainMenu() {
  // The window would destroy the bar with itself; take it off first.
  if (window_ && IsWindow(window_) && GetMenu(window_) == items_->SubMenu()) SetMenu(window_, nullptr);
}

void TMainMenu::AttachTo(HWND window) {
  window_ = window;
  static_cast<TMenuBarRoot*>(items_)->window = window;
  SetMenu(window, items_->SubMenu());
  DrawMenuBar(window);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) { items_ = new TMenuItem(nullptr); }

void TPopupMenu::Popup(int x, int y, HWND owner) {
  if (OnPopup) OnPopup(this);
  HMENU menu = items_->SubMenu();
  // A menu of a background window closes only when that window is in front.
  SetForegroundWindow(owner);
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr));
  PostMessageA(owner, WM_NULL, 0, 0);
  if (command) TMenuItem::DispatchCommand(command);
}
