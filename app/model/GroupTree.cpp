#include "app/model/GroupTree.h"

#include <algorithm>
#include <utility>

#include "base/Wipe.h"

TVaultGroup::TVaultGroup(TVaultGroup* parent, std::string caption, int imageIndex)
    : caption_(std::move(caption)),
      imageIndex_(imageIndex),
      parent_(parent),
      level_(parent ? parent->level_ + 1 : 0) {}

TVaultGroup::~TVaultGroup() { WipeString(caption_); }

void TVaultGroup::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  WipeString(caption_);
  caption_ = caption;
}

void TVaultGroup::SetImageIndex(int imageIndex) {
  if (imageIndex == imageIndex_) return;
  imageIndex_ = imageIndex;
}

TVaultGroup* TGroupTree::Add(TVaultGroup* parent, const std::string& caption, int imageIndex) {
  std::unique_ptr<TVaultGroup> node(new TVaultGroup(parent, caption, imageIndex));
  TVaultGroup* result = node.get();
  (parent ? parent->children_ : top_).push_back(std::move(node));
  ++count_;
  return result;
}

static int CountSubtree(const TVaultGroup* group) {
  int n = 1;
  for (int i = 0; i < group->Count(); ++i) n += CountSubtree(group->Item(i));
  return n;
}

void TGroupTree::Delete(TVaultGroup* group) {
  if (!group) return;
  auto& siblings = group->parent_ ? group->parent_->children_ : top_;
  auto it = std::find_if(siblings.begin(), siblings.end(),
                         [group](const std::unique_ptr<TVaultGroup>& p) { return p.get() == group; });
  if (it == siblings.end()) return;
  count_ -= CountSubtree(group);
  siblings.erase(it);
}

// Whether node belongs to this tree (its top ancestor is one of top_).
static bool InTree(const std::vector<std::unique_ptr<TVaultGroup>>& top, const TVaultGroup* node) {
  while (node->Parent()) node = node->Parent();
  return std::any_of(top.begin(), top.end(),
                     [node](const std::unique_ptr<TVaultGroup>& p) { return p.get() == node; });
}

void TGroupTree::SetLevels(TVaultGroup* group, int level) {
  std::vector<TVaultGroup*> work{group};
  group->level_ = level;
  while (!work.empty()) {
    TVaultGroup* g = work.back();
    work.pop_back();
    for (auto& child : g->children_) {
      child->level_ = g->level_ + 1;
      work.push_back(child.get());
    }
  }
}

bool TGroupTree::Move(TVaultGroup* group, TVaultGroup* parent, TVaultGroup* before) {
  if (!group || !InTree(top_, group)) return false;
  if (parent && (!InTree(top_, parent) || IsNodeInSubtree(parent, group))) return false;
  if (before == group) return true;  // already in place
  auto& target = parent ? parent->children_ : top_;
  if (before && before->parent_ != parent) return false;
  auto& source = group->parent_ ? group->parent_->children_ : top_;
  auto it = std::find_if(source.begin(), source.end(),
                         [group](const std::unique_ptr<TVaultGroup>& p) { return p.get() == group; });
  if (it == source.end()) return false;
  std::unique_ptr<TVaultGroup> owned = std::move(*it);
  source.erase(it);
  auto pos = target.end();
  if (before)
    pos = std::find_if(target.begin(), target.end(),
                       [before](const std::unique_ptr<TVaultGroup>& p) { return p.get() == before; });
  target.insert(pos, std::move(owned));
  group->parent_ = parent;
  SetLevels(group, parent ? parent->level_ + 1 : 0);
  return true;
}

void TGroupTree::Clear() {
  top_.clear();
  count_ = 0;
}

std::vector<TVaultGroup*> TGroupTree::Nodes() const {
  std::vector<TVaultGroup*> nodes;
  nodes.reserve(static_cast<std::size_t>(count_));
  // Depth first without recursion, so that very deep trees cannot exhaust
  // the stack.
  std::vector<std::pair<const std::vector<std::unique_ptr<TVaultGroup>>*, std::size_t>> stack;
  stack.emplace_back(&top_, 0);
  while (!stack.empty()) {
    auto& [list, next] = stack.back();
    if (next == list->size()) {
      stack.pop_back();
      continue;
    }
    TVaultGroup* node = (*list)[next++].get();
    nodes.push_back(node);
    if (!node->children_.empty()) stack.emplace_back(&node->children_, 0);
  }
  return nodes;
}

bool IsNodeInSubtree(const TVaultGroup* node, const TVaultGroup* top) {
  for (; node; node = node->Parent())
    if (node == top) return true;
  return false;
}
