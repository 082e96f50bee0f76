#include "ui/ComCtrls.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "base/Wipe.h"
#include "ui/CommonControlText.h"

using CommonControlText::CopyToBuffer;
using CommonControlText::CursorIn;
using CommonControlText::FromWide;

// ===========================================================================
// TTreeNode

std::string TTreeNode::Text() const {
  char buffer[1024] = {};
  TVITEMA item{};
  item.mask = TVIF_TEXT | TVIF_HANDLE;
  item.hItem = item_;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(tree_->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

void TTreeNode::SetText(const std::string& text) {
  TVITEMA item{};
  item.mask = TVIF_TEXT | TVIF_HANDLE;
  item.hItem = item_;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(tree_->Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void TTreeNode::SetImageIndex(int index) {
  imageIndex_ = index;
  TVITEMA item{};
  item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
  item.hItem = item_;
  item.iImage = item.iSelectedImage = index;
  SendMessageA(tree_->Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

TTreeNode* TTreeNode::Parent() const {
  return tree_->NodeOf(TreeView_GetParent(tree_->Handle(), item_));
}

int TTreeNode::Level() const {
  int level = 0;
  for (TTreeNode* p = Parent(); p; p = p->Parent()) ++level;
  return level;
}

TTreeNode* TTreeNode::FirstChild() const { return tree_->NodeOf(TreeView_GetChild(tree_->Handle(), item_)); }

TTreeNode* TTreeNode::NextSibling() const {
  return tree_->NodeOf(TreeView_GetNextSibling(tree_->Handle(), item_));
}

TTreeNode* TTreeNode::PrevSibling() const {
  return tree_->NodeOf(TreeView_GetPrevSibling(tree_->Handle(), item_));
}

int TTreeNode::Count() const {
  int n = 0;
  for (TTreeNode* c = FirstChild(); c; c = c->NextSibling()) ++n;
  return n;
}

TTreeNode* TTreeNode::Item(int index) const {
  TTreeNode* c = FirstChild();
  for (int i = 0; c && i < index; ++i) c = c->NextSibling();
  return c;
}

int TTreeNode::Index() const {
  int i = 0;
  for (TTreeNode* s = PrevSibling(); s; s = s->PrevSibling()) ++i;
  return i;
}

bool TTreeNode::Expanded() const {
  return (TreeView_GetItemState(tree_->Handle(), item_, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

void TTreeNode::SetExpanded(bool expanded) {
  TreeView_Expand(tree_->Handle(), item_, expanded ? TVE_EXPAND : TVE_COLLAPSE);
}

void TTreeNode::Expand(bool recursive) {
  SetExpanded(true);
  if (recursive)
    for (TTreeNode* c = FirstChild(); c; c = c->NextSibling()) c->Expand(true);
}

void TTreeNode::Collapse(bool recursive) {
  SetExpanded(false);
  if (recursive)
    for (TTreeNode* c = FirstChild(); c; c = c->NextSibling()) c->Collapse(true);
}

bool TTreeNode::Selected() const { return TreeView_GetSelection(tree_->Handle()) == item_; }

void TTreeNode::MakeVisible() { TreeView_EnsureVisible(tree_->Handle(), item_); }

RECT TTreeNode::DisplayRect(bool textOnly) const {
  RECT r{0, 0, 0, 0};
  if (!TreeView_GetItemRect(tree_->Handle(), item_, &r, textOnly ? TRUE : FALSE)) r = RECT{0, 0, 0, 0};
  return r;
}

void TTreeNode::EditText() {
  SetFocus(tree_->Handle());
  SendMessageA(tree_->Handle(), TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item_));
}

void TTreeNode::Delete() {
  // The deletion notifications free this node and its subtree.
  TreeView_DeleteItem(tree_->Handle(), item_);
}

// ===========================================================================
// TTreeView

void TItemControl::BeginUpdate() {
  if (updating_++ == 0 && HandleAllocated()) SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
}

void TItemControl::EndUpdate() {
  if (updating_ == 0) return;
  if (--updating_ == 0 && HandleAllocated()) {
    SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
}

LRESULT TItemControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN && OnKeyDown) {
    WORD key = static_cast<WORD>(wParam);
    OnKeyDown(this, key, KeyboardShiftState());
    if (key == 0 || !HandleAllocated()) return 0;
    return TStdControl::WndProc(msg, key, lParam);
  }
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  switch (msg) {
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(this, MouseShiftState(wParam), x, y);
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (OnMouseUp) OnMouseUp(this, msg == WM_LBUTTONUP ? mbLeft : mbRight, MouseShiftState(wParam), x, y);
      break;
    case WM_CAPTURECHANGED:
      if (OnCaptureLost) OnCaptureLost(this);
      break;
    default:
      break;
  }
  if (!HandleAllocated()) return 0;
  return TStdControl::WndProc(msg, wParam, lParam);
}

TTreeView::TTreeView(TComponent* owner) : TItemControl(owner) {}

TTreeView::~TTreeView() { DestroyHandle(); }

void TTreeView::CreateParams(TCreateParams& params) {
  params.WinClassName = WC_TREEVIEWA;
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT;
  if (!hideSelection_) params.Style |= TVS_SHOWSELALWAYS;
  if (!readOnly_) params.Style |= TVS_EDITLABELS;
  params.ExStyle = WS_EX_CLIENTEDGE;
}

void TTreeView::CreateWnd() {
  TStdControl::CreateWnd();
  if (images_) TreeView_SetImageList(Handle(), images_->Handle(), TVSIL_NORMAL);
}

void TTreeView::SetImages(TImageList* images) {
  SetReference(images_, images);
  if (HandleAllocated()) TreeView_SetImageList(Handle(), images ? images->Handle() : nullptr, TVSIL_NORMAL);
}

void TTreeView::SetReadOnly(bool value) { readOnly_ = value; }

TTreeNode* TTreeView::AddChild(TTreeNode* parent, const std::string& text) {
  HWND wnd = Handle();
  if (!wnd) return nullptr;
  TVINSERTSTRUCTA ins{};
  ins.hParent = parent ? parent->item_ : TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  ins.item.pszText = const_cast<char*>(text.c_str());
  ins.item.iImage = ins.item.iSelectedImage = 0;
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(wnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
  if (!item) return nullptr;
  auto node = std::unique_ptr<TTreeNode>(new TTreeNode(this, item));
  TTreeNode* result = node.get();
  nodes_[item] = std::move(node);
  return result;
}

void TTreeView::Clear() {
  ++removals_;
  if (HandleAllocated()) {
    // The tree frees each item's text as it is: blanks of the same length
    // go over it first, in the item's own buffer.
    HWND wnd = Handle();
    wchar_t text[1024];
    for (const auto& [item, node] : nodes_) {
      TVITEMW tv{};
      tv.mask = TVIF_TEXT | TVIF_HANDLE;
      tv.hItem = item;
      tv.pszText = text;
      tv.cchTextMax = static_cast<int>(std::size(text));
      text[0] = L'\0';
      if (!SendMessageW(wnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) continue;
      const std::size_t n = wcsnlen(text, std::size(text));
      std::fill(text, text + n, L' ');
      tv.pszText = text;
      SendMessageW(wnd, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    }
    WipeBytes(text, sizeof text);
    TreeView_DeleteAllItems(wnd);
  }
  nodes_.clear();
}

void TTreeView::Forget(HTREEITEM item) {
  if (nodes_.erase(item)) ++removals_;
}

TTreeNode* TTreeView::NodeOf(HTREEITEM item) const {
  if (!item) return nullptr;
  auto it = nodes_.find(item);
  return it == nodes_.end() ? nullptr : it->second.get();
}

std::vector<TTreeNode*> TTreeView::Nodes() const {
  std::vector<TTreeNode*> out;
  out.reserve(nodes_.size());
  // Depth first: each node, then its children, then its next sibling.
  std::vector<TTreeNode*> stack;
  for (TTreeNode* n = TopItem(0); n; n = n->NextSibling()) stack.push_back(n);
  std::reverse(stack.begin(), stack.end());
  while (!stack.empty()) {
    TTreeNode* n = stack.back();
    stack.pop_back();
    out.push_back(n);
    std::vector<TTreeNode*> children;
    for (TTreeNode* c = n->FirstChild(); c; c = c->NextSibling()) children.push_back(c);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return out;
}

int TTreeView::TopCount() const {
  int n = 0;
  for (TTreeNode* t = TopItem(0); t; t = t->NextSibling()) ++n;
  return n;
}

TTreeNode* TTreeView::TopItem(int index) const {
  if (!const_cast<TTreeView*>(this)->HandleAllocated()) return nullptr;
  TTreeNode* t = NodeOf(TreeView_GetRoot(const_cast<TTreeView*>(this)->Handle()));
  for (int i = 0; t && i < index; ++i) t = t->NextSibling();
  return t;
}

TTreeNode* TTreeView::Selected() const {
  auto* self = const_cast<TTreeView*>(this);
  if (!self->HandleAllocated()) return nullptr;
  return NodeOf(TreeView_GetSelection(self->Handle()));
}

void TTreeView::SetSelected(TTreeNode* node) { TreeView_SelectItem(Handle(), node ? node->item_ : nullptr); }

TTreeNode* TTreeView::GetNodeAt(int x, int y) const {
  auto* self = const_cast<TTreeView*>(this);
  TVHITTESTINFO hit{};
  hit.pt = POINT{x, y};
  HTREEITEM item = TreeView_HitTest(self->Handle(), &hit);
  if (!(hit.flags & (TVHT_ONITEM | TVHT_ONITEMINDENT | TVHT_ONITEMRIGHT | TVHT_ONITEMBUTTON))) return nullptr;
  return NodeOf(item);
}

bool TTreeView::MoveNode(TTreeNode* node, TTreeNode* parent, TTreeNode* before) {
  if (!node || node->tree_ != this || !HandleAllocated()) return false;
  for (TTreeNode* p = parent; p; p = p->Parent())
    if (p == node) return false;
  if (before && before->Parent() != parent) return false;
  if (before == node) return true;
  HWND wnd = Handle();
  HTREEITEM after = TVI_LAST;
  if (before) {
    HTREEITEM prev = TreeView_GetPrevSibling(wnd, before->item_);
    after = prev ? prev : TVI_FIRST;
  }
  const HTREEITEM selected = TreeView_GetSelection(wnd);
  const HTREEITEM dropTarget = TreeView_GetDropHilight(wnd);
  HTREEITEM newSelected = nullptr, newDropTarget = nullptr;

  // Copies of the subtree's items, parents first, each new child last
  // below its new parent; then the node objects take the new items.
  struct TCopy {
    HTREEITEM from, parent, after;
  };
  std::vector<TCopy> stack{{node->item_, parent ? parent->item_ : TVI_ROOT, after}};
  std::vector<std::pair<HTREEITEM, HTREEITEM>> moved;
  std::vector<HTREEITEM> expanded;
  std::vector<char> text(32768, '\0');
  while (!stack.empty()) {
    const TCopy c = stack.back();
    stack.pop_back();
    TVITEMA item{};
    item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
    item.hItem = c.from;
    item.stateMask = static_cast<UINT>(-1);
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    text[0] = '\0';
    SendMessageA(wnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    TVINSERTSTRUCTA ins{};
    ins.hParent = c.parent;
    ins.hInsertAfter = c.after;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
    ins.item.pszText = text.data();
    ins.item.iImage = item.iImage;
    ins.item.iSelectedImage = item.iSelectedImage;
    ins.item.lParam = item.lParam;
    ins.item.stateMask = TVIS_BOLD | TVIS_CUT;
    ins.item.state = item.state & ins.item.stateMask;
    auto copy = reinterpret_cast<HTREEITEM>(SendMessageA(wnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
    if (!copy) {
      // Out of room: the copies made so far go, the subtree stays as it was.
      if (!moved.empty()) TreeView_DeleteItem(wnd, moved.front().second);
      return false;
    }
    moved.emplace_back(c.from, copy);
    if (item.state & TVIS_EXPANDED) expanded.push_back(copy);
    if (c.from == selected) newSelected = copy;
    if (c.from == dropTarget) newDropTarget = copy;
    std::vector<HTREEITEM> children;
    for (HTREEITEM ch = TreeView_GetChild(wnd, c.from); ch; ch = TreeView_GetNextSibling(wnd, ch)) children.push_back(ch);
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({*it, copy, TVI_LAST});
  }
  for (const auto& [from, to] : moved) {
    auto it = nodes_.find(from);
    if (it == nodes_.end()) continue;
    std::unique_ptr<TTreeNode> object = std::move(it->second);
    nodes_.erase(it);
    object->item_ = to;
    nodes_[to] = std::move(object);
  }
  for (HTREEITEM item : expanded) TreeView_Expand(wnd, item, TVE_EXPAND);
  if (newSelected) TreeView_SelectItem(wnd, newSelected);
  if (newDropTarget) TreeView_SelectDropTarget(wnd, newDropTarget);
  // The old items are no longer anyone's: their deletion forgets nothing.
  TreeView_DeleteItem(wnd, moved.front().first);
  return true;
}

TTreeNode* TTreeView::DropTarget() const {
  auto* self = const_cast<TTreeView*>(this);
  if (!self->HandleAllocated()) return nullptr;
  return NodeOf(TreeView_GetDropHilight(self->Handle()));
}

void TTreeView::SetDropTarget(TTreeNode* node) {
  if (HandleAllocated()) TreeView_SelectDropTarget(Handle(), node ? node->item_ : nullptr);
}

bool TTreeView::ReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
  if (msg != WM_NOTIFY) return false;
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  switch (hdr->code) {
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW:
      Forget(reinterpret_cast<NMTREEVIEWA*>(lParam)->itemOld.hItem);
      result = 0;
      return true;
    case TVN_BEGINDRAGA:
    case TVN_BEGINDRAGW: {
      const auto* nm = reinterpret_cast<NMTREEVIEWA*>(lParam);
      result = 0;
      if (OnStartDrag) OnStartDrag(this, NodeOf(nm->itemNew.hItem), nm->ptDrag.x, nm->ptDrag.y);
      return true;
    }
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
      if (OnChange) OnChange(this, NodeOf(reinterpret_cast<NMTREEVIEWA*>(lParam)->itemNew.hItem));
      result = 0;
      return true;
    case TVN_ENDLABELEDITA:
    case TVN_ENDLABELEDITW: {
      auto* info = reinterpret_cast<NMTVDISPINFOA*>(lParam);
      result = FALSE;  // the node's text is set here, not by the control
      if (!info->item.pszText) return true;
      std::string text = hdr->code == TVN_ENDLABELEDITW
                             ? FromWide(reinterpret_cast<NMTVDISPINFOW*>(lParam)->item.pszText)
                             : std::string(info->item.pszText);
      TTreeNode* node = NodeOf(info->item.hItem);
      if (!node) return true;
      const std::uint64_t removals = removals_;
      if (OnEdited) OnEdited(this, node, text);
      // The handler may have waited for the user (a message box), and nodes
      // may have been freed meanwhile: the tree cleared and filled again can
      // even hand the same item to a new node. The text then goes nowhere.
      if (removals_ == removals && NodeOf(info->item.hItem) == node) node->SetText(text);
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
        const POINT p = CursorIn(Handle());
        OnContextPopup(this, p.x, p.y);
        result = 1;
        return true;
      }
      return false;
    default:
      return false;
  }
}

// ===========================================================================
// TListRow

void TListRow::SetCaption(const std::string& caption) {
  caption_ = caption;
  Update();
}

void TListRow::SetImageIndex(int index) {
  imageIndex_ = index;
  Update();
}

void TListRow::SetSubItem(int index, const std::string& text) {
  if (index < 0) return;
  if (static_cast<std::size_t>(index) >= subItems_.size()) subItems_.resize(static_cast<std::size_t>(index) + 1);
  subItems_[static_cast<std::size_t>(index)] = text;
  Update();
}

void TListRow::ClearSubItems() {
  subItems_.clear();
  Update();
}

const std::string& TListRow::ColumnText(int column) const {
  static const std::string none;
  if (column == 0) return caption_;
  return column > 0 && column - 1 < SubItemCount() ? subItems_[static_cast<std::size_t>(column - 1)] : none;
}

bool TListRow::Selected() const {
  return ListView_GetItemState(list_->Handle(), Index(), LVIS_SELECTED) & LVIS_SELECTED;
}

void TListRow::SetSelected(bool value) {
  ListView_SetItemState(list_->Handle(), Index(), value ? LVIS_SELECTED : 0u, LVIS_SELECTED);
}

bool TListRow::Focused() const {
  return ListView_GetItemState(list_->Handle(), Index(), LVIS_FOCUSED) & LVIS_FOCUSED;
}

void TListRow::SetFocused(bool value) {
  ListView_SetItemState(list_->Handle(), Index(), value ? LVIS_FOCUSED : 0u, LVIS_FOCUSED);
}

void TListRow::MakeVisible(bool partialOk) { ListView_EnsureVisible(list_->Handle(), Index(), partialOk); }

void TListRow::EditCaption() {
  SetFocus(list_->Handle());
  SendMessageA(list_->Handle(), LVM_EDITLABELA, static_cast<WPARAM>(Index()), 0);
}

// ===========================================================================
// TListViewBase

void TListViewBase::CreateParams(TCreateParams& params) {
  params.WinClassName = WC_LISTVIEWA;
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | LVS_SINGLESEL | LVS_SHAREIMAGELISTS;
  if (!hideSelection_) params.Style |= LVS_SHOWSELALWAYS;
  params.ExStyle = WS_EX_CLIENTEDGE;
}

void TListViewBase::CreateWnd() {
  TStdControl::CreateWnd();
  HWND wnd = Handle();
  if (rowSelect_) ListView_SetExtendedListViewStyle(wnd, LVS_EX_FULLROWSELECT);
  if (smallImages_) ListView_SetImageList(wnd, smallImages_->Handle(), LVSIL_SMALL);
  for (std::size_t i = 0; i < columns_.size(); ++i)
    CommonControlText::InsertListColumn(wnd, static_cast<int>(i), columns_[i].Caption, columns_[i].Width);
}

void TListViewBase::SetSmallImages(TImageList* images) {
  SetReference(smallImages_, images);
  if (HandleAllocated()) ListView_SetImageList(Handle(), images ? images->Handle() : nullptr, LVSIL_SMALL);
}

void TListViewBase::AddColumn(const std::string& caption, int width) {
  columns_.push_back({caption, width});
  if (HandleAllocated())
    CommonControlText::InsertListColumn(Handle(), static_cast<int>(columns_.size()) - 1, caption, width);
}

int TListViewBase::SelectedIndex() const {
  auto* self = const_cast<TListViewBase*>(this);
  return self->HandleAllocated() ? ListView_GetNextItem(self->Handle(), -1, LVNI_SELECTED) : -1;
}

int TListViewBase::SelCount() const {
  auto* self = const_cast<TListViewBase*>(this);
  return self->HandleAllocated() ? static_cast<int>(ListView_GetSelectedCount(self->Handle())) : 0;
}

void TListViewBase::ClearSelection() {
  if (HandleAllocated()) ListView_SetItemState(Handle(), -1, 0, LVIS_SELECTED);
}

int TListViewBase::FocusedIndex() const {
  auto* self = const_cast<TListViewBase*>(this);
  return self->HandleAllocated() ? ListView_GetNextItem(self->Handle(), -1, LVNI_FOCUSED) : -1;
}

int TListViewBase::IndexAt(int x, int y) const {
  auto* self = const_cast<TListViewBase*>(this);
  LVHITTESTINFO hit{};
  hit.pt = POINT{x, y};
  const int i = ListView_HitTest(self->Handle(), &hit);
  return (hit.flags & LVHT_ONITEM) ? i : -1;
}

int TListViewBase::IndexOfData(const void* data) const {
  for (int i = 0; i < Count(); ++i)
    if (RowAt(i)->Data() == data) return i;
  return -1;
}

void TListViewBase::CopyCellText(const TListRow& row, int column, void* buffer, int max, bool wide) {
  CopyToBuffer(row.ColumnText(column), buffer, max, wide);
}

bool TListViewBase::ReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
  if (msg != WM_NOTIFY) return false;
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  switch (hdr->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: {
      LVITEMA& it = reinterpret_cast<NMLVDISPINFOA*>(lParam)->item;
      result = 0;
      const TListRow* row = RowAt(it.iItem);
      if (!row) return true;
      if (it.mask & LVIF_IMAGE) it.iImage = RowImage(*row);
      if (it.mask & LVIF_TEXT) CopyCellText(*row, it.iSubItem, it.pszText, it.cchTextMax, hdr->code == LVN_GETDISPINFOW);
      return true;
    }
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(lParam);
      result = 0;
      if ((nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED))
        SelectItem(RowAt(nm->iItem), (nm->uNewState & LVIS_SELECTED) != 0);
      return true;
    }
    case LVN_BEGINLABELEDITA:
    case LVN_BEGINLABELEDITW: {
      TListRow* row = RowAt(reinterpret_cast<NMLVDISPINFOA*>(lParam)->item.iItem);
      bool allow = row != nullptr;
      if (row) Editing(row, allow);
      result = allow ? FALSE : TRUE;
      return true;
    }
    case LVN_ENDLABELEDITA:
    case LVN_ENDLABELEDITW: {
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
      result = FALSE;  // the row's caption is set here
      TListRow* row = RowAt(info->item.iItem);
      if (!info->item.pszText || !row) return true;
      std::string text = hdr->code == LVN_ENDLABELEDITW
                             ? FromWide(reinterpret_cast<NMLVDISPINFOW*>(lParam)->item.pszText)
                             : std::string(info->item.pszText);
      const int index = info->item.iItem;
      const void* data = row->Data();
      Edited(row, text);
      if (TListRow* still = EditedRowAfter(index, row, data)) still->SetCaption(text);
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
        const POINT p = CursorIn(Handle());
        OnContextPopup(this, p.x, p.y);
        result = 1;
        return true;
      }
      return false;
    default:
      return false;
  }
}

// A list that goes away is taken from the window before its images are read.
void TListViewBase::Notification(TComponent* component, TOperation operation) {
  TItemControl::Notification(component, operation);
  if (operation == opRemove && DropReference(smallImages_, component) && HandleAllocated())
    ListView_SetImageList(Handle(), nullptr, LVSIL_SMALL);
}

// ===========================================================================
// TListItem and TListView

TListItem::TListItem(TListView* list) : TListRow(list) {}

int TListItem::Index() const { return static_cast<TListView*>(list_)->IndexOf(this); }

void TListItem::Update() {
  if (list_->HandleAllocated() && !list_->Updating()) ListView_Update(list_->Handle(), Index());
}

TListView::TListView(TComponent* owner) : TRowListView(owner) {}

TListView::~TListView() { DestroyHandle(); }

void TListView::CreateParams(TCreateParams& params) {
  TListViewBase::CreateParams(params);
  params.Style |= viewStyle_ == vsReport ? LVS_REPORT : LVS_LIST;
  if (!readOnly_) params.Style |= LVS_EDITLABELS;
}

void TListView::CreateWnd() {
  TListViewBase::CreateWnd();
  if (columnWidth_ > 0) ListView_SetColumnWidth(Handle(), 0, columnWidth_);
  for (int i = 0; i < Count(); ++i) InsertRow(i);
}

void TListView::SetColumnWidth(int width) {
  columnWidth_ = width;
  if (HandleAllocated()) ListView_SetColumnWidth(Handle(), 0, width);
}

void TListView::InsertRow(int index) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = index;
  item.pszText = LPSTR_TEXTCALLBACKA;
  item.iImage = I_IMAGECALLBACK;
  item.lParam = reinterpret_cast<LPARAM>(items_[static_cast<std::size_t>(index)].get());
  SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

TListItem* TListView::Add() {
  items_.push_back(std::unique_ptr<TListItem>(new TListItem(this)));
  if (HandleAllocated()) InsertRow(Count() - 1);
  return items_.back().get();
}

void TListView::Clear() {
  if (HandleAllocated()) ListView_DeleteAllItems(Handle());
  items_.clear();
}

void TListView::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  if (HandleAllocated()) ListView_DeleteItem(Handle(), index);
  items_.erase(items_.begin() + index);
}

int TListView::IndexOf(const TListRow* item) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<int>(i);
  return -1;
}

// The items stay where they are while they live: the edited one takes the
// text unless the handler removed it.
TListRow* TListView::EditedRowAfter(int, TListRow* row, const void*) const { return IndexOf(row) >= 0 ? row : nullptr; }

void TListView::Scroll(int dx, int dy) {
  if (HandleAllocated()) ListView_Scroll(Handle(), dx, dy);
}

// ===========================================================================
// TToolButton and TToolBar

void TToolButton::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (bar_) SendMessageA(bar_, TB_ENABLEBUTTON, static_cast<WPARAM>(command_), MAKELPARAM(enabled ? TRUE : FALSE, 0));
}

void TToolButton::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (bar_) SendMessageA(bar_, TB_HIDEBUTTON, static_cast<WPARAM>(command_), MAKELPARAM(visible ? FALSE : TRUE, 0));
}

TToolBar::TToolBar(TComponent* owner) : TStdControl(owner) {}

void TToolBar::CreateParams(TCreateParams& params) {
  params.WinClassName = TOOLBARCLASSNAMEA;
  params.BuiltInClass = true;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE |
                 CCS_NOPARENTALIGN;
}

void TToolBar::CreateWnd() {
  TStdControl::CreateWnd();
  HWND wnd = Handle();
  SendMessageA(wnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  if (images_) SendMessageA(wnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_->Handle()));
  for (TToolButton* b : buttons_) InsertButton(b);
}

void TToolBar::SetImages(TImageList* images) {
  SetReference(images_, images);
  if (HandleAllocated()) SendMessageA(Handle(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images ? images->Handle() : nullptr));
}

void TToolBar::InsertButton(TToolButton* b) {
  TBBUTTON tb{};
  tb.iBitmap = b->separator_ ? 6 : b->imageIndex_;
  tb.idCommand = b->command_;
  tb.fsState = static_cast<BYTE>((b->enabled_ ? TBSTATE_ENABLED : 0) | (b->visible_ ? 0 : TBSTATE_HIDDEN));
  tb.fsStyle = static_cast<BYTE>(b->separator_ ? BTNS_SEP : BTNS_BUTTON);
  tb.iString = -1;
  SendMessageA(Handle(), TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&tb));
  b->bar_ = Handle();
}

TToolButton* TToolBar::AddButton(TComponent* owner, const std::string& name, int imageIndex, const std::string& hint,
                                 TNotifyEvent onClick) {
  auto* b = new TToolButton(owner, nextCommand_++);
  b->SetName(name);
  b->imageIndex_ = imageIndex;
  b->hint_ = hint;
  b->OnClick = std::move(onClick);
  buttons_.push_back(b);
  if (HandleAllocated()) InsertButton(b);
  return b;
}

void TToolBar::AddSeparator() {
  separators_.push_back(std::make_unique<TToolButton>(nullptr, nextCommand_++));
  TToolButton* b = separators_.back().get();
  b->separator_ = true;
  buttons_.push_back(b);
  if (HandleAllocated()) InsertButton(b);
}

int TToolBar::ButtonsWidth() {
  if (!HandleAllocated() || buttons_.empty()) return 0;
  const int n = static_cast<int>(SendMessageA(Handle(), TB_BUTTONCOUNT, 0, 0));
  int right = 0;
  for (int i = 0; i < n; ++i) {
    RECT r{};
    if (SendMessageA(Handle(), TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)))
      right = std::max(right, static_cast<int>(r.right));
  }
  return right;
}

bool TToolBar::ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_COMMAND) {
    const int command = LOWORD(wParam);
    for (TToolButton* b : buttons_) {
      if (b->command_ == command && !b->separator_) {
        b->Click();
        result = 0;
        return true;
      }
    }
    return false;
  }
  if (msg == WM_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->code == TBN_GETINFOTIPA || hdr->code == TBN_GETINFOTIPW) {
      const bool wide = hdr->code == TBN_GETINFOTIPW;
      auto* tip = reinterpret_cast<NMTBGETINFOTIPA*>(lParam);
      for (TToolButton* b : buttons_)
        if (b->command_ == tip->iItem) CopyToBuffer(b->hint_, tip->pszText, tip->cchTextMax, wide);
      result = 0;
      return true;
    }
  }
  return false;
}

// A list that goes away is taken from the window before its images are read.
void TTreeView::Notification(TComponent* component, TOperation operation) {
  TItemControl::Notification(component, operation);
  if (operation == opRemove && DropReference(images_, component) && HandleAllocated())
    TreeView_SetImageList(Handle(), nullptr, TVSIL_NORMAL);
}

void TToolBar::Notification(TComponent* component, TOperation operation) {
  TStdControl::Notification(component, operation);
  if (operation == opRemove && DropReference(images_, component) && HandleAllocated())
    SendMessageA(Handle(), TB_SETIMAGELIST, 0, 0);
}
