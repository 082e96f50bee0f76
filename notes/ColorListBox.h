// TColorListBox: a list box that draws its items itself, each in colours
// that an event may choose item by item. Fixed item height (the font's "Wg"
// height + 6, at least 18), no integral height, flat (no 3-D edge).
//
// Each item is a text and an integer object. The parent must be one of our
// controls (it hands WM_DRAWITEM and the list's notifications back here).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/Graphics.h"
#include "ui/StdCtrls.h"

// Asked for every item that is not selected: the list's font colour and its
// background colour come in and may be changed. handled is for the handler's
// own use; the list reads only the colours.
using TGetItemColorEvent =
    std::function<void(TObject* sender, int index, TColor& textColor, TColor& backColor, bool& handled)>;

class TColorListBox : public TStdControl {
 public:
  explicit TColorListBox(TComponent* owner);

  // --- Items -----------------------------------------------------------------
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear();
  // Adds an item at the end; returns its index.
  int AddItem(const std::string& text, std::intptr_t object = 0);
  struct TItem {
    std::string text;
    std::intptr_t object = 0;
  };
  // Replaces every item at once (the selection is cleared).
  void SetItems(const std::vector<TItem>& items);
  // Empty text and 0 for an index outside the items.
  std::string Item(int index) const;
  std::intptr_t ItemObject(int index) const;

  // The selected item, -1 for none.
  int ItemIndex();
  // -1 clears the selection; an index outside the items does nothing.
  void SetItemIndex(int index);

  // --- Look --------------------------------------------------------------------
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int ItemHeight() const { return itemHeight_; }
  // Item height = "Wg" height in the list's font + 6, at least 18; set only
  // when it differs.
  void UpdateItemHeight();

  TGetItemColorEvent OnGetItemColor;
  TNotifyEvent OnDblClick;
  // A key pressed while the list has the focus; setting key to 0 keeps it
  // from the list.
  TKeyEvent OnKeyDown;
  // The list lost the focus to the window to (null: to no window of ours).
  std::function<void(TObject* sender, HWND to)> OnExit;

  // Draws item index into rect as WM_DRAWITEM asks (state: ODS_SELECTED,
  // ODS_FOCUS, …). Does nothing for an index outside the items.
  virtual void DrawItem(HDC dc, int index, RECT rect, UINT state);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void AddToWindow(std::size_t from);

  std::vector<TItem> items_;
  TColor color_ = clWindow;
  TBrush backBrush_;
  int itemHeight_ = 18;
};
