// The entry list of the main window: a report list view whose rows the
// control asks for when it paints (owner data), so that filling it with
// tens of thousands of entries costs a vector, not a control item per row.
// Each row holds a data pointer; its texts and image come from OnGetText
// and OnGetImage when they are set and the row has data, else from the
// row's own caption, sub-items and image.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/ComCtrls.h"

class TEntryListView;

// One row. Row pointers stay valid until rows are added or removed.
class TEntryRow : public TListRow {
 public:
  explicit TEntryRow(TEntryListView* list);
  int Index() const override;
  void Update() override;
};

class TEntryListView : public TRowListView<TEntryRow> {
 public:
  explicit TEntryListView(TComponent* owner);
  ~TEntryListView() override;

  // Before the window exists (the list is always in report style).
  void SetViewStyle(TViewStyle) {}

  // Replaces every row by one row per data pointer, in order; the
  // selection is cleared.
  void SetRows(const std::vector<void*>& data);
  TEntryRow* Add();
  void Clear();
  void Delete(int index);
  int Count() const override { return static_cast<int>(rows_.size()); }
  TEntryRow* Item(int index) { return &rows_.at(static_cast<std::size_t>(index)); }

  // Texts (column 0 is the caption) and image of a row with data.
  std::function<void(const void* data, int column, std::string& text)> OnGetText;
  std::function<int(const void* data)> OnGetImage;

  // The left button went down on row and the mouse moved the system's drag
  // distance with it held (LVN_BEGINDRAG): a drag begins at (x, y).
  std::function<void(TObject* sender, TEntryRow* row, int x, int y)> OnStartDrag;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  TListRow* RowAt(int index) const override;
  int RowImage(const TListRow& row) const override;
  void CopyCellText(const TListRow& row, int column, void* buffer, int max, bool wide) override;
  TListRow* EditedRowAfter(int index, TListRow* row, const void* data) const override;

 private:
  friend class TEntryRow;
  void ApplyCount();
  std::vector<TEntryRow> rows_;
  std::string text_;  // the text of one cell, handed to the control
};
