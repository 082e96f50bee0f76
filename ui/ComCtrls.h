// The common controls of the main window: the tree view of groups, the list
// view of entries and the tool bar.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/ImageList.h"
#include "ui/StdCtrls.h"

// ---------------------------------------------------------------------------
class TTreeView;

// One node of a tree view. Nodes belong to their tree view, which frees them
// when they are deleted or the tree is cleared.
class TTreeNode {
 public:
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  HTREEITEM ItemId() const { return item_; }
  TTreeView* Owner() const { return tree_; }

  std::string Text() const;
  void SetText(const std::string& text);
  // The image, also used while the node is selected.
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }

  TTreeNode* Parent() const;
  int Level() const;
  // Child nodes in order.
  int Count() const;
  TTreeNode* Item(int index) const;
  TTreeNode* FirstChild() const;
  TTreeNode* NextSibling() const;
  TTreeNode* PrevSibling() const;
  // Position among its siblings.
  int Index() const;

  bool Expanded() const;
  void SetExpanded(bool expanded);
  // Expands or collapses the node and, when recursive, its subtree.
  void Expand(bool recursive);
  void Collapse(bool recursive);
  bool Selected() const;
  void MakeVisible();
  // The node's rectangle in client coordinates: its whole row, or only its
  // text when textOnly. Empty when the node is not shown.
  RECT DisplayRect(bool textOnly) const;
  // Starts editing the node's text in place.
  void EditText();
  // Deletes the node and its subtree.
  void Delete();

 private:
  friend class TTreeView;
  TTreeNode(TTreeView* tree, HTREEITEM item) : tree_(tree), item_(item) {}
  TTreeView* tree_;
  HTREEITEM item_;
  int imageIndex_ = 0;
  void* data_ = nullptr;
};

// Tree and list views: redraw held off between BeginUpdate and EndUpdate
// (nested calls count), and a key-down event that may swallow the key.
// The mouse events run before the control's own handling of the message;
// they serve a drag that the control began and whose capture it holds.
class TItemControl : public TStdControl {
 public:
  explicit TItemControl(TComponent* owner) : TStdControl(owner) {}
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updating_ != 0; }
  TKeyEvent OnKeyDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  // The control lost the mouse capture (WM_CAPTURECHANGED).
  TNotifyEvent OnCaptureLost;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  int updating_ = 0;
};

class TTreeView : public TItemControl {
 public:
  explicit TTreeView(TComponent* owner);
  ~TTreeView() override;

  void SetImages(TImageList* images);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);  // no in-place editing (before the window exists)
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value) { hideSelection_ = value; }  // before the window exists

  // Adds a node as the last child of parent (null: the last top-level node).
  TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
  void Clear();
  // Every node, in the order of the tree (each node before its children).
  std::vector<TTreeNode*> Nodes() const;
  int Count() const { return static_cast<int>(nodes_.size()); }
  int TopCount() const;
  TTreeNode* TopItem(int index) const;
  TTreeNode* NodeOf(HTREEITEM item) const;
  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* node);
  // The node under a client point, or null.
  TTreeNode* GetNodeAt(int x, int y) const;
  // Moves node with its subtree below parent (null: the top level), in front
  // of before (a child of parent; null: last). The node objects stay the
  // same (their items are new); a selection inside the subtree moves along,
  // expanded nodes stay expanded. False, with nothing changed, when parent
  // lies in node's subtree or before is not a child of parent.
  bool MoveNode(TTreeNode* node, TTreeNode* parent, TTreeNode* before);
  // The node shown as the target of a drag and drop (null: none).
  TTreeNode* DropTarget() const;
  void SetDropTarget(TTreeNode* node);
  // Batches changes without repainting.

  // The selection moved to node (null: none).
  std::function<void(TObject* sender, TTreeNode* node)> OnChange;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  // An in-place edit ended with text (only when it was not cancelled); the
  // handler may change text, which the node then shows.
  std::function<void(TObject* sender, TTreeNode* node, std::string& text)> OnEdited;
  // The right mouse button was released over the tree (client point).
  std::function<void(TObject* sender, int x, int y)> OnContextPopup;
  // The left button went down on node and the mouse moved the system's
  // drag distance with it held (TVN_BEGINDRAG): a drag begins at (x, y).
  std::function<void(TObject* sender, TTreeNode* node, int x, int y)> OnStartDrag;

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  friend class TTreeNode;
  void Forget(HTREEITEM item);
  std::map<HTREEITEM, std::unique_ptr<TTreeNode>> nodes_;
  // Counts the clears and the nodes freed, so that code holding a node
  // across a wait can tell whether it may still be alive.
  std::uint64_t removals_ = 0;
  TImageList* images_ = nullptr;
  bool readOnly_ = false;
  bool hideSelection_ = false;
};

// ---------------------------------------------------------------------------
// One row of a list view: a caption, an image, a data pointer and the texts
// of the further columns. The list view asks for the texts when it paints,
// so rows are cheap to add and change. The row's state (selected, focused)
// is the control's.
class TListRow {
 public:
  virtual ~TListRow() = default;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }
  // Texts of columns 1, 2, …
  int SubItemCount() const { return static_cast<int>(subItems_.size()); }
  const std::string& SubItem(int index) const { return subItems_.at(static_cast<std::size_t>(index)); }
  void SetSubItem(int index, const std::string& text);
  void ClearSubItems();
  // The text of a column: the caption for column 0, then the sub-items;
  // empty beyond them.
  const std::string& ColumnText(int column) const;

  // The row's place in its list.
  virtual int Index() const = 0;
  bool Selected() const;
  void SetSelected(bool value);
  bool Focused() const;
  void SetFocused(bool value);
  void MakeVisible(bool partialOk);
  // Starts editing the caption in place.
  void EditCaption();
  // Repaints the row after its texts changed.
  virtual void Update() = 0;

 protected:
  explicit TListRow(TItemControl* list) : list_(list) {}
  TListRow(const TListRow&) = default;
  TListRow& operator=(const TListRow&) = default;
  TItemControl* list_;

 private:
  std::string caption_;
  int imageIndex_ = -1;
  void* data_ = nullptr;
  std::vector<std::string> subItems_;
};

enum TViewStyle { vsReport, vsList };

// What the list views share: the window with its columns and small images,
// the selection, the texts and images asked for at paint, and the
// notifications of clicks, selection and in-place editing. The rows are
// the derived class's.
class TListViewBase : public TItemControl {
 public:
  explicit TListViewBase(TComponent* owner) : TItemControl(owner) {}

  void SetSmallImages(TImageList* images);
  // Before the window exists.
  void SetHideSelection(bool value) { hideSelection_ = value; }
  void SetRowSelect(bool value) { rowSelect_ = value; }
  // Report style: a column with a caption and a width.
  void AddColumn(const std::string& caption, int width);

  virtual int Count() const = 0;
  int SelCount() const;
  void ClearSelection();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  std::function<void(TObject* sender, int x, int y)> OnContextPopup;

 protected:
  // The row at index, or null when there is none.
  virtual TListRow* RowAt(int index) const = 0;
  // The first selected row, the focused row, the row at a client point and
  // the first row whose data is data (-1: none).
  int SelectedIndex() const;
  int FocusedIndex() const;
  int IndexAt(int x, int y) const;
  int IndexOfData(const void* data) const;
  // What a row shows: its image and the text of a column, copied into the
  // control's buffer of max characters.
  virtual int RowImage(const TListRow& row) const { return row.ImageIndex(); }
  virtual void CopyCellText(const TListRow& row, int column, void* buffer, int max, bool wide);
  // The events, with the derived class's rows.
  virtual void SelectItem(TListRow* row, bool selected) = 0;
  virtual void Editing(TListRow* row, bool& allow) = 0;
  virtual void Edited(TListRow* row, std::string& text) = 0;
  // After the edit of the row at index, whose data was data, has run its
  // handler (which may have refilled the list): the row that shows the
  // edited text as its caption, or null.
  virtual TListRow* EditedRowAfter(int index, TListRow* row, const void* data) const = 0;

  void Notification(TComponent* component, TOperation operation) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct TColumn {
    std::string Caption;
    int Width;
  };
  std::vector<TColumn> columns_;
  TImageList* smallImages_ = nullptr;
  bool hideSelection_ = false, rowSelect_ = true;
};

// A list view whose rows are Row: the lookups and events name Row.
template <class Row>
class TRowListView : public TListViewBase {
 public:
  using TListViewBase::TListViewBase;

  // The first selected row, or null.
  Row* Selected() const { return Typed(SelectedIndex()); }
  Row* ItemFocused() const { return Typed(FocusedIndex()); }
  // The row at a client point, or null.
  Row* GetItemAt(int x, int y) const { return Typed(IndexAt(x, y)); }
  // The first row whose data is data, or null.
  Row* FindData(const void* data) const { return Typed(IndexOfData(data)); }

  // A row became selected (selected true) or lost its selection (false).
  std::function<void(TObject* sender, Row* item, bool selected)> OnSelectItem;
  // In-place editing is about to start; set allow to false to refuse.
  std::function<void(TObject* sender, Row* item, bool& allow)> OnEditing;
  // An in-place edit ended with text (only when not cancelled).
  std::function<void(TObject* sender, Row* item, std::string& text)> OnEdited;

 protected:
  Row* Typed(int index) const { return static_cast<Row*>(RowAt(index)); }
  void SelectItem(TListRow* row, bool selected) override {
    if (OnSelectItem) OnSelectItem(this, static_cast<Row*>(row), selected);
  }
  void Editing(TListRow* row, bool& allow) override {
    if (OnEditing) OnEditing(this, static_cast<Row*>(row), allow);
  }
  void Edited(TListRow* row, std::string& text) override {
    if (OnEdited) OnEdited(this, static_cast<Row*>(row), text);
  }
};

class TListView;

class TListItem : public TListRow {
 public:
  TListItem(const TListItem&) = delete;
  TListItem& operator=(const TListItem&) = delete;
  int Index() const override;
  void Update() override;

 private:
  friend class TListView;
  explicit TListItem(TListView* list);
};

class TListView : public TRowListView<TListItem> {
 public:
  explicit TListView(TComponent* owner);
  ~TListView() override;

  // Before the window exists.
  void SetViewStyle(TViewStyle style) { viewStyle_ = style; }
  void SetReadOnly(bool value) { readOnly_ = value; }  // no in-place editing
  // List style: the width of every column of items.
  void SetColumnWidth(int width);

  TListItem* Add();
  void Clear();
  void Delete(int index);
  int Count() const override { return static_cast<int>(items_.size()); }
  TListItem* Item(int index) const { return items_.at(static_cast<std::size_t>(index)).get(); }
  void Scroll(int dx, int dy);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  TListRow* RowAt(int index) const override { return index >= 0 && index < Count() ? Item(index) : nullptr; }
  TListRow* EditedRowAfter(int index, TListRow* row, const void* data) const override;

 private:
  friend class TListItem;
  int IndexOf(const TListRow* item) const;
  void InsertRow(int index);
  std::vector<std::unique_ptr<TListItem>> items_;
  TViewStyle viewStyle_ = vsReport;
  bool readOnly_ = false;
  int columnWidth_ = 0;
};

// ---------------------------------------------------------------------------
// A button of a tool bar: an image, a hint shown as a tool tip, and a click.
class TToolButton : public TComponent {
 public:
  TToolButton(TComponent* owner, int command) : TComponent(owner), command_(command) {}

  int Command() const { return command_; }
  int ImageIndex() const { return imageIndex_; }
  const std::string& Hint() const { return hint_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool IsSeparator() const { return separator_; }

  TNotifyEvent OnClick;
  void Click() {
    if (OnClick) OnClick(this);
  }

 private:
  friend class TToolBar;
  int command_;
  int imageIndex_ = -1;
  std::string hint_;
  bool enabled_ = true, visible_ = true, separator_ = false;
  HWND bar_ = nullptr;
};

class TToolBar : public TStdControl {
 public:
  explicit TToolBar(TComponent* owner);

  void SetImages(TImageList* images);
  // Adds a button (owned by owner) with an image and a hint.
  TToolButton* AddButton(TComponent* owner, const std::string& name, int imageIndex, const std::string& hint,
                         TNotifyEvent onClick);
  void AddSeparator();
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TToolButton* Button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
  // The width the buttons take.
  int ButtonsWidth();

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void InsertButton(TToolButton* button);
  std::vector<TToolButton*> buttons_;
  std::vector<std::unique_ptr<TToolButton>> separators_;
  TImageList* images_ = nullptr;
  int nextCommand_ = 1;
};
