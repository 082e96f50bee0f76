#include "app/model/EntryMoves.h"

#include <algorithm>
#include <memory>

namespace {

using TEntryIter = TVaultEntryList::iterator;

TEntryIter FindEntry(TVaultEntryList& entries, const TVaultEntry* entry) {
  return std::find_if(entries.begin(), entries.end(),
                      [entry](const std::unique_ptr<TVaultEntry>& p) { return p.get() == entry; });
}

// How many levels the subtree reaches below its top (0 for a leaf).
int SubtreeHeight(const TVaultGroup* node) {
  int height = 0;
  // Iterative over an explicit stack of (node, depth below the top).
  std::vector<std::pair<const TVaultGroup*, int>> stack{{node, 0}};
  while (!stack.empty()) {
    auto [n, d] = stack.back();
    stack.pop_back();
    height = std::max(height, d);
    for (int i = 0; i < n->Count(); ++i) stack.emplace_back(n->Item(i), d + 1);
  }
  return height;
}

TGroupPlacement MoveTo(TVaultGroup* parent, TVaultGroup* before) {
  TGroupPlacement p;
  p.Kind = TGroupPlacement::Move;
  p.Parent = parent;
  p.Before = before;
  return p;
}

}  // namespace

bool RenumberEntries(TVaultModel& vault, THotKeyRegistrar* hotKeys, std::string* hotKeyConflict) {
  if (hotKeyConflict) hotKeyConflict->clear();
  if (hotKeys) UnregisterEntryHotKeys(*hotKeys, vault.Entries);
  int id = 1;
  for (auto& e : vault.Entries) e->id = id++;
  if (!hotKeys) return true;
  std::string message;
  const bool ok = RegisterEntryHotKeys(*hotKeys, vault.Entries, message);
  if (hotKeyConflict) *hotKeyConflict = message;
  return ok;
}

bool MoveEntry(TVaultModel& vault, TVaultEntry* entry, int delta, THotKeyRegistrar* hotKeys,
               std::string* hotKeyConflict) {
  if (!entry || !entry->group || delta == 0) return false;
  SortEntries(vault.Entries);
  auto& list = vault.Entries;
  auto it = FindEntry(list, entry);
  if (it == list.end()) return false;
  const auto step = delta < 0 ? -1 : 1;
  auto index = static_cast<std::ptrdiff_t>(it - list.begin());
  const auto size = static_cast<std::ptrdiff_t>(list.size());
  for (std::ptrdiff_t j = index + step; j >= 0 && j < size; j += step) {
    if (list[static_cast<std::size_t>(j)]->group != entry->group) continue;
    std::swap(list[static_cast<std::size_t>(index)], list[static_cast<std::size_t>(j)]);
    RenumberEntries(vault, hotKeys, hotKeyConflict);
    return true;
  }
  return false;
}

bool MoveEntryToGroup(TVaultModel& vault, TVaultEntry* entry, TVaultGroup* group, THotKeyRegistrar* hotKeys,
                      std::string* hotKeyConflict) {
  if (!entry || !group || entry->group == group) return false;
  SortEntries(vault.Entries);
  auto it = FindEntry(vault.Entries, entry);
  if (it == vault.Entries.end()) return false;
  std::rotate(it, it + 1, vault.Entries.end());  // to the end, the others keep their order
  entry->group = group;
  RenumberEntries(vault, hotKeys, hotKeyConflict);
  return true;
}

bool MoveEntryOntoEntry(TVaultModel& vault, TVaultEntry* dragged, TVaultEntry* target, THotKeyRegistrar* hotKeys,
                        std::string* hotKeyConflict) {
  if (!dragged || !target || dragged == target || dragged->group != target->group) return false;
  SortEntries(vault.Entries);
  auto from = FindEntry(vault.Entries, dragged);
  auto to = FindEntry(vault.Entries, target);
  if (from == vault.Entries.end() || to == vault.Entries.end()) return false;
  if (from < to) std::rotate(from, from + 1, to + 1);
  else std::rotate(to, from, from + 1);
  RenumberEntries(vault, hotKeys, hotKeyConflict);
  return true;
}

bool CanDropEntryOnGroup(const TVaultEntry* entry, const TVaultGroup* group) {
  return entry && group && entry->group != group;
}

int SiblingCount(const TGroupTree& tree, const TVaultGroup* parent) {
  return parent ? parent->Count() : tree.TopCount();
}

TVaultGroup* SiblingAt(const TGroupTree& tree, const TVaultGroup* parent, int index) {
  if (index < 0 || index >= SiblingCount(tree, parent)) return nullptr;
  return parent ? parent->Item(index) : tree.TopItem(index);
}

int SiblingIndex(const TGroupTree& tree, const TVaultGroup* node) {
  if (!node) return -1;
  const int n = SiblingCount(tree, node->Parent());
  for (int i = 0; i < n; ++i)
    if (SiblingAt(tree, node->Parent(), i) == node) return i;
  return -1;
}

TGroupPlacement PlanGroupMoveUp(const TGroupTree& tree, TVaultGroup* node) {
  const int i = SiblingIndex(tree, node);
  if (i <= 0) return {};
  return MoveTo(node->Parent(), SiblingAt(tree, node->Parent(), i - 1));
}

TGroupPlacement PlanGroupMoveDown(const TGroupTree& tree, TVaultGroup* node) {
  const int i = SiblingIndex(tree, node);
  if (i < 0 || i + 1 >= SiblingCount(tree, node->Parent())) return {};
  // Behind the next sibling: in front of the one after it, or last.
  return MoveTo(node->Parent(), SiblingAt(tree, node->Parent(), i + 2));
}

TGroupDropZone GroupDropZone(int pointerY, int rowTop, int rowBottom) {
  const int h = std::max(rowBottom - rowTop, 3);
  if (pointerY < rowTop + h / 3) return TGroupDropZone::Before;
  if (pointerY > rowBottom - h / 3) return TGroupDropZone::After;
  return TGroupDropZone::Into;
}

bool CanDropGroup(const TVaultGroup* dragged, const TVaultGroup* target, TGroupDropZone zone) {
  if (!dragged || !target || IsNodeInSubtree(target, dragged)) return false;
  const int level = zone == TGroupDropZone::Into ? target->Level() + 1 : target->Level();
  return level + SubtreeHeight(dragged) <= kMaxGroupLevel;
}

TGroupPlacement PlanGroupDrop(const TGroupTree& tree, TVaultGroup* dragged, TVaultGroup* target,
                              TGroupDropZone zone) {
  if (!CanDropGroup(dragged, target, zone)) return {};
  TVaultGroup* parent = target->Parent();
  switch (zone) {
    case TGroupDropZone::Before:
      return MoveTo(parent, target);
    case TGroupDropZone::After: {
      TVaultGroup* next = SiblingAt(tree, parent, SiblingIndex(tree, target) + 1);
      if (next == dragged) {
        TGroupPlacement p;
        p.Kind = TGroupPlacement::SelectOnly;
        return p;
      }
      return MoveTo(parent, next);
    }
    case TGroupDropZone::Into: {
      TGroupPlacement p = MoveTo(target, nullptr);
      p.ExpandParent = true;
      return p;
    }
  }
  return {};
}
