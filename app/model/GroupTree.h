// The group tree of a vault: nodes with a caption (the group name) and an
// image index (its icon), each with an ordered list of subgroups. The main
// window shows this tree in its tree view; entries point at its nodes.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TGroupTree;

class TVaultGroup {
 public:
  TVaultGroup(const TVaultGroup&) = delete;
  TVaultGroup& operator=(const TVaultGroup&) = delete;
  ~TVaultGroup();  // wipes the name

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  // The icon; the tree view's selected-image index is kept equal to it.
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int imageIndex);

  TVaultGroup* Parent() const { return parent_; }
  int Level() const { return level_; }  // 0 for a top-level group
  int Count() const { return static_cast<int>(children_.size()); }
  TVaultGroup* Item(int index) const { return children_[static_cast<std::size_t>(index)].get(); }

 private:
  friend class TGroupTree;
  TVaultGroup(TVaultGroup* parent, std::string caption, int imageIndex);

  std::string caption_;
  int imageIndex_ = 0;
  TVaultGroup* parent_ = nullptr;
  int level_ = 0;
  std::vector<std::unique_ptr<TVaultGroup>> children_;
};

class TGroupTree {
 public:
  TGroupTree() = default;
  TGroupTree(const TGroupTree&) = delete;
  TGroupTree& operator=(const TGroupTree&) = delete;
  TGroupTree(TGroupTree&&) = default;
  TGroupTree& operator=(TGroupTree&&) = default;

  // Adds a group as the last child of parent, or as the last top-level
  // group when parent is null. parent must belong to this tree.
  TVaultGroup* Add(TVaultGroup* parent, const std::string& caption, int imageIndex);
  // Deletes a group with all of its subgroups. Entries that point into the
  // deleted subtree must be dealt with by the caller first.
  void Delete(TVaultGroup* group);
  void Clear();
  // Moves group (with its subgroups, keeping every node's identity) under
  // parent (null: top level), before the sibling `before` (null: last).
  // Refused when parent lies inside group's own subtree, when before is not
  // a child of parent, or when a node is not in this tree.
  bool Move(TVaultGroup* group, TVaultGroup* parent, TVaultGroup* before);

  int TopCount() const { return static_cast<int>(top_.size()); }
  TVaultGroup* TopItem(int index) const { return top_[static_cast<std::size_t>(index)].get(); }
  int Count() const { return count_; }  // every node of the tree
  bool Empty() const { return count_ == 0; }

  // Every node in the order of the tree's node index: each group followed by
  // its subgroups, depth first, siblings in order.
  std::vector<TVaultGroup*> Nodes() const;

 private:
  static void SetLevels(TVaultGroup* group, int level);

  std::vector<std::unique_ptr<TVaultGroup>> top_;
  int count_ = 0;
};

// True when node is top or lies below it.
bool IsNodeInSubtree(const TVaultGroup* node, const TVaultGroup* top);
