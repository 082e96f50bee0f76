// Menus: the form's menu bar, popup menus and their items, with keyboard
// shortcuts shown beside the captions ("Save\tCtrl+S").
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/Component.h"

// A shortcut: the virtual-key code in the low byte with the modifier bits.
using TShortCut = unsigned;
enum : unsigned { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0 };

// From a key and the shift-state bits (1 Shift, 2 Alt, 4 Ctrl).
TShortCut ShortCutFromKey(WORD key, unsigned shift);
// "Ctrl+S", "Ctrl+Shift+F5", "" for none.
std::string ShortCutToText(TShortCut shortCut);

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  // "-" makes a separator; "&" marks the access key.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut shortCut);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Shown in bold as the item a double click would run.
  bool Default() const { return default_; }
  void SetDefault(bool value);

  // Sub-items. The item does not own them (their owner does); a sub-item
  // that is destroyed leaves its parent.
  void Add(TMenuItem* item);
  // Creates a sub-item owned by owner and adds it.
  TMenuItem* AddNew(TComponent* owner, const std::string& name, const std::string& caption,
                    TNotifyEvent onClick = nullptr, TShortCut shortCut = scNone);
  void Remove(TMenuItem* item);
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  TMenuItem* Parent() const { return parent_; }

  // The WM_COMMAND id of the item.
  UINT Command() const { return command_; }
  // The submenu of an item with sub-items (made on first use).
  HMENU SubMenu();

  TNotifyEvent OnClick;
  // Runs OnClick.
  virtual void Click();

  // The item with that command id anywhere in the process, or null.
  static TMenuItem* FindCommand(UINT command);
  // Clicks the item with that command id; false when there is none or it is
  // disabled.
  static bool DispatchCommand(UINT command);

  // Finds an enabled, visible item (itself or below) with the shortcut and
  // clicks it.
  bool ClickShortCut(TShortCut shortCut);

 protected:
  // The menu bar of a main menu's root item.
  virtual HMENU CreateMenuHandle() { return CreatePopupMenu(); }
  // The items changed: the menu is rebuilt.
  virtual void Rebuild();

 private:
  friend class TMainMenu;
  std::string DisplayText() const;
  void ChildChanged() { Rebuild(); }

  std::string caption_;
  TShortCut shortCut_ = scNone;
  bool enabled_ = true, checked_ = false, visible_ = true, default_ = false;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  UINT command_;
  HMENU menu_ = nullptr;
};

// A menu: its items hang below Items().
class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  TMenuItem* Items() { return items_; }
  // Finds and clicks the item of a key chord; true when it ran.
  bool IsShortCut(WORD key, unsigned shift);

 protected:
  TMenuItem* items_ = nullptr;
};

// The menu bar of a form: attach it once the form's window exists.
class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* owner);
  ~TMainMenu() override;
  // Puts the bar on the window (SetMenu); later changes redraw it.
  void AttachTo(HWND window);
  HMENU Handle() { return items_->SubMenu(); }

 private:
  HWND window_ = nullptr;
};

// A menu that pops up at a point of the screen.
class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* owner);
  // Shows the menu at (x, y) in screen coordinates for the window owner and
  // runs the chosen item.
  void Popup(int x, int y, HWND owner);
  TNotifyEvent OnPopup;
};
