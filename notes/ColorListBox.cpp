#include "notes/ColorListBox.h"

#include <algorithm>


TColorListBox::TColorListBox(TComponent* owner) : TStdControl(owner) {}

void TColorListBox::CreateParams(TCreateParams& params) {
  params.WinClassName = "LISTBOX";
  params.BuiltInClass = true;
  // No LBS_HASSTRINGS: the texts live here, the window keeps only the rows.
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT |
                 LBS_NOTIFY;
  params.ExStyle = 0;  // flat: no client edge
}

void TColorListBox::CreateWnd() {
  TStdControl::CreateWnd();  // the font, which sets the item height
  UpdateItemHeight();
  // The window starts with its own height, whatever was measured before.
  SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(itemHeight_, 0));
  AddToWindow(0);
}

void TColorListBox::AddToWindow(std::size_t from) {
  if (!HandleAllocated()) return;
  for (std::size_t i = from; i < items_.size(); ++i)
    SendMessageA(Handle(), LB_ADDSTRING, 0, static_cast<LPARAM>(i));
}

void TColorListBox::Clear() {
  items_.clear();
  if (HandleAllocated()) SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
}

int TColorListBox::AddItem(const std::string& text, std::intptr_t object) {
  items_.push_back({text, object});
  AddToWindow(items_.size() - 1);
  return Count() - 1;
}

void TColorListBox::SetItems(const std::vector<TItem>& items) {
  if (HandleAllocated()) {
    SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
    SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
  }
  items_ = items;
  AddToWindow(0);
  if (HandleAllocated()) {
    SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
}

std::string TColorListBox::Item(int index) const {
  if (index < 0 || index >= Count()) return {};
  return items_[static_cast<std::size_t>(index)].text;
}

std::intptr_t TColorListBox::ItemObject(int index) const {
  if (index < 0 || index >= Count()) return 0;
  return items_[static_cast<std::size_t>(index)].object;
}

int TColorListBox::ItemIndex() {
  if (!HandleAllocated()) return -1;
  const LRESULT r = SendMessageA(Handle(), LB_GETCURSEL, 0, 0);
  return r == LB_ERR ? -1 : static_cast<int>(r);
}

void TColorListBox::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) return;
  SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TColorListBox::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TColorListBox::UpdateItemHeight() {
  int height = 0;
  if (HDC dc = GetDC(nullptr)) {
    HGDIOBJ old = SelectObject(dc, Font().Handle());
    SIZE s{0, 0};
    if (GetTextExtentPoint32A(dc, "Wg", 2, &s)) height = s.cy;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  height = std::max(height + 6, 18);
  if (height == itemHeight_) return;
  itemHeight_ = height;
  if (HandleAllocated()) SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(height, 0));
}

LRESULT TColorListBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETFONT: {
      const LRESULT r = TStdControl::WndProc(msg, wParam, lParam);
      UpdateItemHeight();
      InvalidateRect(Handle(), nullptr, TRUE);
      return r;
    }
    case WM_KEYDOWN:
      if (OnKeyDown) {
        WORD key = static_cast<WORD>(wParam);
        OnKeyDown(this, key, KeyboardShiftState());
        if (key == 0) return 0;
        wParam = key;
      }
      break;
    case WM_KILLFOCUS: {
      const LRESULT r = TStdControl::WndProc(msg, wParam, lParam);
      if (OnExit) OnExit(this, reinterpret_cast<HWND>(wParam));
      return r;
    }
    default:
      break;
  }
  return TStdControl::WndProc(msg, wParam, lParam);
}

bool TColorListBox::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_DRAWITEM: {
      const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (!dis || dis->CtlType != ODT_LISTBOX) return false;
      if (dis->itemID != static_cast<UINT>(-1))
        DrawItem(dis->hDC, static_cast<int>(dis->itemID), dis->rcItem, dis->itemState);
      result = TRUE;
      return true;
    }
    case WM_CTLCOLORLISTBOX:
      backBrush_.SetColor(color_);
      result = reinterpret_cast<LRESULT>(backBrush_.Handle());
      return true;
    case WM_COMMAND:
      if (HIWORD(wParam) == LBN_DBLCLK) {
        if (OnDblClick) OnDblClick(this);
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

void TColorListBox::DrawItem(HDC dc, int index, RECT rect, UINT state) {
  if (index < 0 || index >= Count() || !dc) return;
  TColor textColor = Font().Color();
  TColor backColor = color_;
  if (state & ODS_SELECTED) {
    textColor = clHighlightText;
    backColor = clHighlight;
  } else if (OnGetItemColor) {
    bool handled = false;
    OnGetItemColor(this, index, textColor, backColor, handled);
  }
  TCanvas canvas(dc);
  canvas.Brush().SetColor(backColor);
  canvas.FillRect(rect);
  canvas.Font().Assign(Font());
  canvas.Font().SetColor(textColor);
  canvas.Brush().SetStyle(bsClear);
  RECT textRect{rect.left + 4, rect.top, rect.right - 2, rect.bottom};
  canvas.TextRect(textRect, items_[static_cast<std::size_t>(index)].text,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (state & ODS_FOCUS) DrawFocusRect(dc, &rect);
}
