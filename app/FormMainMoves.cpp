// Moving groups among their siblings and entries inside their group, and
// the two drags of the main window: entries from the list onto a group of
// the tree (or onto another row of their own group), and groups inside the
// tree. The rules live in app/model/EntryMoves.h; this file applies them to
// the vault, the tree and the list.
//
// A drag begins when the control reports it (the mouse moved the system's
// drag distance with the left button held on a row or node) and holds the
// control's mouse capture until the button is let go. A drag that outlives
// its document (a lock or another vault meanwhile) ends without a drop.
//
// Renumbering gives the entries new ids but leaves the remembered
// shortcuts alone: they name entries by id and must match the vault file,
// so they are written together with a successful save only.
#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/FormMain.h"
#include "app/Helpers.h"
#include "app/model/EntryMoves.h"
#include "app/model/Shortcuts.h"

namespace {

bool HasGroup(const TGroupTree& tree, const TVaultGroup* group) {
  if (!group) return false;
  const std::vector<TVaultGroup*> nodes = tree.Nodes();
  return std::find(nodes.begin(), nodes.end(), group) != nodes.end();
}

// Our drag pointer (the arrow carrying a sheet) where a drop is taken, the
// system's no-drop pointer elsewhere.
void ShowDragCursor(bool canDrop) {
  static const HCURSOR drag = LoadCursorA(GetModuleHandleA(nullptr), "DRAGCURSOR");
  SetCursor(canDrop && drag ? drag : LoadCursor(nullptr, canDrop ? IDC_ARROW : IDC_NO));
}

bool InClientArea(HWND wnd, POINT p) {
  RECT r{};
  GetClientRect(wnd, &r);
  return PtInRect(&r, p) != FALSE;
}

}  // namespace

void TFormMain::BindMoveEvents() {
  ListView1->OnStartDrag = [this](TObject* s, TEntryRow* row, int x, int y) { ListView1StartDrag(s, row, x, y); };
  ListView1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { ListView1MouseMove(s, sh, x, y); };
  ListView1->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    ListView1MouseUp(s, b, sh, x, y);
  };
  TreeView1->OnStartDrag = [this](TObject* s, TTreeNode* node, int x, int y) { TreeView1StartDrag(s, node, x, y); };
  TreeView1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { TreeView1MouseMove(s, sh, x, y); };
  TreeView1->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    TreeView1MouseUp(s, b, sh, x, y);
  };
  // Another window took the mouse (a message box, a menu): no drop.
  auto lost = [this](TObject*) {
    if (EntryDragging || GroupDragging) CancelDrag();
  };
  ListView1->OnCaptureLost = lost;
  TreeView1->OnCaptureLost = lost;
}

// ===========================================================================
// Groups

bool TFormMain::PlaceGroup(TVaultGroup* group, const TGroupPlacement& plan) {
  TTreeNode* node = NodeOfGroup(group);
  if (!node || plan.Kind == TGroupPlacement::None) return false;
  bool moved = false;
  if (plan.Kind == TGroupPlacement::Move) {
    TTreeNode* parentNode = plan.Parent ? NodeOfGroup(plan.Parent) : nullptr;
    TTreeNode* beforeNode = plan.Before ? NodeOfGroup(plan.Before) : nullptr;
    if ((plan.Parent && !parentNode) || (plan.Before && !beforeNode)) return false;
    // The node objects of the subtree survive the move; their items change.
    std::vector<std::pair<TVaultGroup*, TTreeNode*>> subtree;
    std::vector<TVaultGroup*> stack{group};
    while (!stack.empty()) {
      TVaultGroup* g = stack.back();
      stack.pop_back();
      subtree.emplace_back(g, NodeOfGroup(g));
      for (int i = 0; i < g->Count(); ++i) stack.push_back(g->Item(i));
    }
    if (!Vault.Groups.Move(group, plan.Parent, plan.Before)) return false;
    bool nodeMoved = false;
    {
      // The selection notifications of the move are not the user's.
      TFlagScope guard(deletingNodes_);
      TreeView1->BeginUpdate();
      nodeMoved = TreeView1->MoveNode(node, parentNode, beforeNode);
      TreeView1->EndUpdate();
    }
    if (!nodeMoved) {
      // The tree could not follow: it is built again from the vault.
      FillGroupTree();
      node = NodeOfGroup(group);
      if (!node) return false;
    } else {
      for (const auto& [g, n] : subtree)
        if (n) groupNodes_[g] = n->ItemId();
    }
    if (plan.ExpandParent && parentNode) parentNode->Expand(false);
    moved = true;
  }
  TreeView1->SetSelected(node);
  CurrentGroup = node;
  if (moved) BuildVaultText();
  node->MakeVisible();
  return moved;
}

void TFormMain::GroupMoveUp(TObject*) {
  if (!RefuseIfReadOnly(false)) return;
  TVaultGroup* group = GroupOfNode(TreeView1->Selected());
  if (!group) return;
  PlaceGroup(group, PlanGroupMoveUp(Vault.Groups, group));
}

void TFormMain::GroupMoveDown(TObject*) {
  if (!RefuseIfReadOnly(false)) return;
  TVaultGroup* group = GroupOfNode(TreeView1->Selected());
  if (!group) return;
  PlaceGroup(group, PlanGroupMoveDown(Vault.Groups, group));
}

// ===========================================================================
// Entries

bool TFormMain::AfterRenumber(const std::string& hotKeyConflict) {
  PendingHotKeyId = -1;
  ResetAutomateAwait();
  BuildVaultText();
  ClearSearchHistory();
  FillEntryList();
  if (hotKeyConflict.empty()) return true;
  // A lock while the message is up frees every entry the caller holds.
  const std::uint64_t generation = DocumentGeneration;
  ShowMessageBox(hotKeyConflict, ShortcutTexts::kConflictCaption, MB_ICONWARNING);
  return !Locked && generation == DocumentGeneration;
}

void TFormMain::RenumberEntries() {
  std::string conflict;
  ::RenumberEntries(Vault, &HotKeys(), &conflict);
  AfterRenumber(conflict);
}

void TFormMain::MoveEntry(int delta) {
  if (!RefuseIfReadOnly(false) || SearchActive) return;
  TVaultEntry* entry = nullptr;
  if (TEntryRow* row = ListView1->Selected()) entry = static_cast<TVaultEntry*>(row->Data());
  if (!entry) entry = CurrentEntry;
  if (!entry || !entry->group || !HasEntry(Vault, entry)) return;
  std::string conflict;
  if (!::MoveEntry(Vault, entry, delta, &HotKeys(), &conflict)) return;
  CurrentEntry = entry;
  if (AfterRenumber(conflict)) ShowEntry(entry);
}

void TFormMain::EntryMoveUp(TObject*) { MoveEntry(-1); }

void TFormMain::EntryMoveDown(TObject*) { MoveEntry(+1); }

void TFormMain::MoveEntryToGroup(TVaultEntry* entry, TTreeNode* node) {
  if (!RefuseIfReadOnly(false) || !entry || !node) return;
  TVaultGroup* group = GroupOfNode(node);
  if (!group || entry->group == group || !HasEntry(Vault, entry)) return;
  std::string conflict;
  if (!::MoveEntryToGroup(Vault, entry, group, &HotKeys(), &conflict)) return;
  SearchActive = false;
  {
    TFlagScope guard(SearchEditGuard);
    QEdit1->SetText("");
  }
  CurrentGroup = node;
  CurrentEntry = entry;
  {
    // Only the selection moves: the list is filled once, below.
    TFlagScope guard(listMovesTree_);
    TreeView1->SetSelected(node);
  }
  CurrentGroup = node;
  if (AfterRenumber(conflict)) ShowEntry(entry);
}

// ===========================================================================
// Drag and drop

bool TFormMain::DragStillValid() const {
  if (Locked || ReadOnly || dragGeneration_ != DocumentGeneration) return false;
  if (DragEntry && !HasEntry(Vault, DragEntry)) return false;
  if (DragGroup && !HasGroup(Vault.Groups, DragGroup)) return false;
  return DragEntry || DragGroup;
}

void TFormMain::CancelDrag() {
  const bool dragging = DragEntry || EntryDragging || DragGroup || GroupDragging;
  DragEntry = nullptr;
  EntryDragging = false;
  DragGroup = nullptr;
  GroupDragging = false;
  if (TreeView1->HandleAllocated()) TreeView1->SetDropTarget(nullptr);
  if (!dragging) return;
  HWND capture = GetCapture();
  if (capture && (capture == ListView1->Handle() || capture == TreeView1->Handle())) ReleaseCapture();
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

TTreeNode* TFormMain::NodeAtListPoint(int x, int y) {
  POINT p{x, y};
  ClientToScreen(ListView1->Handle(), &p);
  ScreenToClient(TreeView1->Handle(), &p);
  if (!InClientArea(TreeView1->Handle(), p)) return nullptr;
  return TreeView1->GetNodeAt(p.x, p.y);
}

bool TFormMain::TreeView1DragOver(TObject* source, int x, int y) {
  TTreeNode* node = TreeView1->GetNodeAt(x, y);
  TVaultGroup* target = GroupOfNode(node);
  bool accept = false;
  if (target && source == ListView1) {
    accept = CanDropEntryOnGroup(DragEntry, target);
  } else if (target && source == TreeView1 && DragGroup) {
    const RECT r = node->DisplayRect(false);
    accept = CanDropGroup(DragGroup, target, GroupDropZone(y, r.top, r.bottom));
  }
  TreeView1->SetDropTarget(accept ? node : nullptr);
  return accept;
}

void TFormMain::TreeView1DragDrop(TObject* source, int x, int y) {
  TTreeNode* node = TreeView1->GetNodeAt(x, y);
  TVaultGroup* target = GroupOfNode(node);
  if (source == ListView1) {
    TVaultEntry* entry = DragEntry;
    DragEntry = nullptr;
    if (entry && target && entry->group != target) MoveEntryToGroup(entry, node);
    return;
  }
  if (source != TreeView1 || !DragGroup) return;
  TVaultGroup* dragged = DragGroup;
  DragGroup = nullptr;  // the end of the drag that follows finds nothing to do
  if (!target || !RefuseIfReadOnly(false)) return;
  const RECT r = node->DisplayRect(false);
  PlaceGroup(dragged, PlanGroupDrop(Vault.Groups, dragged, target, GroupDropZone(y, r.top, r.bottom)));
}

void TFormMain::ListView1StartDrag(TObject*, TEntryRow* row, int x, int y) {
  CancelDrag();
  if (!row || Locked || !RefuseIfReadOnly(false)) return;
  auto* entry = static_cast<TVaultEntry*>(row->Data());
  if (!entry) return;
  row->SetSelected(true);
  row->SetFocused(true);
  if (!HasEntry(Vault, entry)) return;  // the selection's handler may have changed the list
  DragEntry = entry;
  EntryDragging = true;
  DragStart = POINT{x, y};
  dragGeneration_ = DocumentGeneration;
  SetCapture(ListView1->Handle());
  ShowDragCursor(true);
}

void TFormMain::ListView1MouseMove(TObject*, TShiftState, int x, int y) {
  if (!EntryDragging) return;
  if (!DragStillValid()) {
    CancelDrag();
    return;
  }
  POINT p{x, y};
  ClientToScreen(ListView1->Handle(), &p);
  ScreenToClient(TreeView1->Handle(), &p);
  if (InClientArea(TreeView1->Handle(), p) && TreeView1DragOver(ListView1, p.x, p.y)) {
    ShowDragCursor(true);
    return;
  }
  TreeView1->SetDropTarget(nullptr);
  ShowDragCursor(InClientArea(ListView1->Handle(), POINT{x, y}));
}

void TFormMain::ListView1MouseUp(TObject*, TMouseButton button, TShiftState, int x, int y) {
  if (button != mbLeft || !EntryDragging) return;
  const bool valid = DragStillValid();
  TVaultEntry* entry = DragEntry;
  CancelDrag();
  if (!valid) return;
  if (TTreeNode* node = NodeAtListPoint(x, y)) {
    if (GroupOfNode(node) != entry->group) MoveEntryToGroup(entry, node);
    return;
  }
  // Onto another row of the entry's own group: it takes that row's place.
  if (SearchActive || !InClientArea(ListView1->Handle(), POINT{x, y})) return;
  TEntryRow* row = ListView1->GetItemAt(x, y);
  if (!row) row = ListView1->GetItemAt(8, y);
  auto* target = row ? static_cast<TVaultEntry*>(row->Data()) : nullptr;
  if (!target || target == entry || target->group != entry->group) return;
  std::string conflict;
  if (!::MoveEntryOntoEntry(Vault, entry, target, &HotKeys(), &conflict)) return;
  CurrentEntry = entry;
  if (AfterRenumber(conflict)) ShowEntry(entry);
}

void TFormMain::TreeView1StartDrag(TObject*, TTreeNode* node, int x, int y) {
  CancelDrag();
  TVaultGroup* group = GroupOfNode(node);
  if (!group || Locked || !RefuseIfReadOnly(false)) return;
  TreeView1->SetSelected(node);
  if (NodeOfGroup(group) != node) return;  // the selection's handler replaced the tree
  DragGroup = group;
  GroupDragging = true;
  DragStart = POINT{x, y};
  dragGeneration_ = DocumentGeneration;
  SetCapture(TreeView1->Handle());
  ShowDragCursor(true);
}

void TFormMain::TreeView1MouseMove(TObject*, TShiftState, int x, int y) {
  if (!GroupDragging) return;
  if (!DragStillValid()) {
    CancelDrag();
    return;
  }
  ShowDragCursor(TreeView1DragOver(TreeView1, x, y));
}

void TFormMain::TreeView1MouseUp(TObject*, TMouseButton button, TShiftState, int x, int y) {
  if (button != mbLeft || !GroupDragging) return;
  const bool valid = DragStillValid();
  TVaultGroup* dragged = DragGroup;
  CancelDrag();
  if (!valid) return;
  DragGroup = dragged;
  TreeView1DragDrop(TreeView1, x, y);
  DragGroup = nullptr;
}
