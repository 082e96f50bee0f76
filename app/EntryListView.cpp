#include "app/EntryListView.h"

#include "base/Wipe.h"
#include "ui/CommonControlText.h"

using CommonControlText::CopyToBuffer;
using CommonControlText::FromWide;

// ===========================================================================
// TEntryRow

TEntryRow::TEntryRow(TEntryListView* list) : TListRow(list) {}

int TEntryRow::Index() const {
  return static_cast<int>(this - static_cast<const TEntryListView*>(list_)->rows_.data());
}

void TEntryRow::Update() {
  if (list_->HandleAllocated() && !list_->Updating()) ListView_RedrawItems(list_->Handle(), Index(), Index());
}

// ===========================================================================
// TEntryListView

TEntryListView::TEntryListView(TComponent* owner) : TItemControl(owner) {}

TEntryListView::~TEntryListView() { DestroyHandle(); }

void TEntryListView::CreateParams(TCreateParams& params) {
  params.WinClassName = WC_LISTVIEWA;
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL |
                 LVS_SHAREIMAGELISTS | LVS_EDITLABELS;
  if (!hideSelection_) params.Style |= LVS_SHOWSELALWAYS;
  params.ExStyle = WS_EX_CLIENTEDGE;
}

void TEntryListView::CreateWnd() {
  TStdControl::CreateWnd();
  HWND wnd = Handle();
  if (rowSelect_) ListView_SetExtendedListViewStyle(wnd, LVS_EX_FULLROWSELECT);
  if (smallImages_) ListView_SetImageList(wnd, smallImages_->Handle(), LVSIL_SMALL);
  for (std::size_t i = 0; i < columns_.size(); ++i)
    CommonControlText::InsertListColumn(wnd, static_cast<int>(i), columns_[i].Caption, columns_[i].Width);
  ApplyCount();
}

void TEntryListView::SetSmallImages(TImageList* images) {
  smallImages_ = images;
  if (HandleAllocated()) ListView_SetImageList(Handle(), images ? images->Handle() : nullptr, LVSIL_SMALL);
}

void TEntryListView::AddColumn(const std::string& caption, int width) {
  columns_.push_back({caption, width});
  if (HandleAllocated())
    CommonControlText::InsertListColumn(Handle(), static_cast<int>(columns_.size()) - 1, caption, width);
}

void TEntryListView::ApplyCount() {
  if (!HandleAllocated()) return;
  SendMessageA(Handle(), LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
  if (!Updating()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TEntryListView::SetRows(const std::vector<void*>& data) {
  ClearSelection();
  rows_.assign(data.size(), TEntryRow(this));
  for (std::size_t i = 0; i < data.size(); ++i) rows_[i].SetData(data[i]);
  ApplyCount();
}

TEntryRow* TEntryListView::Add() {
  rows_.emplace_back(this);
  ApplyCount();
  return &rows_.back();
}

void TEntryListView::Clear() {
  ClearSelection();
  rows_.clear();
  ApplyCount();
}

void TEntryListView::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  ClearSelection();
  rows_.erase(rows_.begin() + index);
  ApplyCount();
}

TEntryRow* TEntryListView::Selected() {
  if (!HandleAllocated()) return nullptr;
  return RowAt(ListView_GetNextItem(Handle(), -1, LVNI_SELECTED));
}

int TEntryListView::SelCount() { return HandleAllocated() ? static_cast<int>(ListView_GetSelectedCount(Handle())) : 0; }

void TEntryListView::ClearSelection() {
  if (HandleAllocated()) ListView_SetItemState(Handle(), -1, 0, LVIS_SELECTED);
}

TEntryRow* TEntryListView::ItemFocused() {
  if (!HandleAllocated()) return nullptr;
  return RowAt(ListView_GetNextItem(Handle(), -1, LVNI_FOCUSED));
}

TEntryRow* TEntryListView::GetItemAt(int x, int y) {
  LVHITTESTINFO hit{};
  hit.pt = POINT{x, y};
  const int i = ListView_HitTest(Handle(), &hit);
  return (hit.flags & LVHT_ONITEM) ? RowAt(i) : nullptr;
}

TEntryRow* TEntryListView::FindData(const void* data) {
  for (TEntryRow& row : rows_)
    if (row.Data() == data) return &row;
  return nullptr;
}

bool TEntryListView::ReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
  if (msg != WM_NOTIFY) return false;
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  switch (hdr->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: {
      const bool wide = hdr->code == LVN_GETDISPINFOW;
      LVITEMA& it = reinterpret_cast<NMLVDISPINFOA*>(lParam)->item;
      result = 0;
      const TEntryRow* row = RowAt(it.iItem);
      if (!row) return true;
      const bool provided = row->Data() != nullptr;
      if (it.mask & LVIF_IMAGE) it.iImage = provided && OnGetImage ? OnGetImage(row->Data()) : row->ImageIndex();
      if (it.mask & LVIF_TEXT) {
        text_.clear();
        if (provided && OnGetText)
          OnGetText(row->Data(), it.iSubItem, text_);
        else
          text_ = row->ColumnText(it.iSubItem);
        CopyToBuffer(text_, it.pszText, it.cchTextMax, wide);
        // The cell may show a secret: nothing of it stays behind here.
        WipeString(text_);
      }
      return true;
    }
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(lParam);
      result = 0;
      if ((nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED) && OnSelectItem)
        OnSelectItem(this, RowAt(nm->iItem), (nm->uNewState & LVIS_SELECTED) != 0);
      return true;
    }
    case LVN_BEGINLABELEDITA:
    case LVN_BEGINLABELEDITW: {
      TEntryRow* row = RowAt(reinterpret_cast<NMLVDISPINFOA*>(lParam)->item.iItem);
      bool allow = row != nullptr;
      if (row && OnEditing) OnEditing(this, row, allow);
      result = allow ? FALSE : TRUE;
      return true;
    }
    case LVN_ENDLABELEDITA:
    case LVN_ENDLABELEDITW: {
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
      result = FALSE;
      TEntryRow* row = RowAt(info->item.iItem);
      if (!info->item.pszText || !row) return true;
      std::string text = hdr->code == LVN_ENDLABELEDITW
                             ? FromWide(reinterpret_cast<NMLVDISPINFOW*>(lParam)->item.pszText)
                             : std::string(info->item.pszText);
      const int index = info->item.iItem;
      void* data = row->Data();
      if (OnEdited) OnEdited(this, row, text);
      // The handler may have refilled the list.
      if (TEntryRow* still = RowAt(index); still && still->Data() == data && !data) still->SetCaption(text);
      return true;
    }
    case LVN_BEGINDRAG: {
      const auto* nm = reinterpret_cast<NMLISTVIEW*>(lParam);
      result = 0;
      if (OnStartDrag) OnStartDrag(this, RowAt(nm->iItem), nm->ptAction.x, nm->ptAction.y);
      return true;
    }
    case NM_CLICK:
      if (OnClick) OnClick(this);
      result = 0;
      return true;
    case NM_DBLCLK:
      if (OnDblClick) OnDblClick(this);
      result = 0;
      return true;
    case NM_RCLICK:
      if (OnContextPopup) {
        const POINT p = CommonControlText::CursorIn(Handle());
        OnContextPopup(this, p.x, p.y);
        result = 1;
        return true;
      }
      return false;
    default:
      return false;
  }
}
