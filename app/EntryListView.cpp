#include "app/EntryListView.h"

#include "base/Wipe.h"
#include "ui/CommonControlText.h"

using CommonControlText::CopyToBuffer;

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

TEntryListView::TEntryListView(TComponent* owner) : TRowListView(owner) {}

TEntryListView::~TEntryListView() { DestroyHandle(); }

void TEntryListView::CreateParams(TCreateParams& params) {
  TListViewBase::CreateParams(params);
  params.Style |= LVS_REPORT | LVS_OWNERDATA | LVS_EDITLABELS;
}

void TEntryListView::CreateWnd() {
  TListViewBase::CreateWnd();
  ApplyCount();
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

TListRow* TEntryListView::RowAt(int index) const {
  return index >= 0 && index < Count() ? const_cast<TEntryRow*>(&rows_[static_cast<std::size_t>(index)]) : nullptr;
}

// A row with data shows what OnGetImage and OnGetText give for its data.
int TEntryListView::RowImage(const TListRow& row) const {
  return row.Data() && OnGetImage ? OnGetImage(row.Data()) : row.ImageIndex();
}

void TEntryListView::CopyCellText(const TListRow& row, int column, void* buffer, int max, bool wide) {
  text_.clear();
  if (row.Data() && OnGetText)
    OnGetText(row.Data(), column, text_);
  else
    text_ = row.ColumnText(column);
  CopyToBuffer(text_, buffer, max, wide);
  // The cell may show a secret: nothing of it stays behind here.
  WipeString(text_);
}

// The rows move when the list changes: a row without data at the same place
// takes the edited text (a row with data shows its data's title).
TListRow* TEntryListView::EditedRowAfter(int index, TListRow*, const void* data) const {
  TListRow* still = RowAt(index);
  return still && still->Data() == data && !data ? still : nullptr;
}

bool TEntryListView::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == LVN_BEGINDRAG) {
    const auto* nm = reinterpret_cast<NMLISTVIEW*>(lParam);
    result = 0;
    if (OnStartDrag) OnStartDrag(this, Typed(nm->iItem), nm->ptAction.x, nm->ptAction.y);
    return true;
  }
  return TListViewBase::ReflectedMessage(msg, wParam, lParam, result);
}
