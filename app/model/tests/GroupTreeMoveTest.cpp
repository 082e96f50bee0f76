#include <gtest/gtest.h>

#include "app/model/GroupTree.h"

namespace {

std::string Shape(const TGroupTree& tree) {
  std::string s;
  for (TVaultGroup* g : tree.Nodes()) s += std::to_string(g->Level()) + g->Caption() + " ";
  return s;
}

struct Fixture {
  TGroupTree tree;
  TVaultGroup* a = tree.Add(nullptr, "A", 1);
  TVaultGroup* a1 = tree.Add(a, "a1", 1);
  TVaultGroup* a11 = tree.Add(a1, "a11", 1);
  TVaultGroup* b = tree.Add(nullptr, "B", 1);
  TVaultGroup* b1 = tree.Add(b, "b1", 1);
};

}  // namespace

TEST(GroupTreeMove, MovesSubtreesAndKeepsLevels) {
  Fixture f;
  ASSERT_EQ(Shape(f.tree), "0A 1a1 2a11 0B 1b1 ");
  // A subtree under another parent: levels follow.
  EXPECT_TRUE(f.tree.Move(f.a1, f.b1, nullptr));
  EXPECT_EQ(Shape(f.tree), "0A 0B 1b1 2a1 3a11 ");
  EXPECT_EQ(f.a11->Parent(), f.a1);
  // To the top level before A.
  EXPECT_TRUE(f.tree.Move(f.a1, nullptr, f.a));
  EXPECT_EQ(Shape(f.tree), "0a1 1a11 0A 0B 1b1 ");
  // Reorder siblings: B before A.
  EXPECT_TRUE(f.tree.Move(f.b, nullptr, f.a));
  EXPECT_EQ(Shape(f.tree), "0a1 1a11 0B 1b1 0A ");
  EXPECT_EQ(f.tree.Count(), 5);
}

TEST(GroupTreeMove, RefusesCyclesAndForeignNodes) {
  Fixture f;
  TGroupTree other;
  TVaultGroup* foreign = other.Add(nullptr, "X", 0);
  struct Case { TVaultGroup* group; TVaultGroup* parent; TVaultGroup* before; };
  const Case refused[] = {
      {f.a, f.a, nullptr},     // onto itself
      {f.a, f.a11, nullptr},   // into its own descendant
      {f.a, f.b, f.a1},        // `before` is not a child of the new parent
      {foreign, nullptr, nullptr},
      {f.a, foreign, nullptr},
      {nullptr, nullptr, nullptr},
  };
  for (const auto& c : refused) EXPECT_FALSE(f.tree.Move(c.group, c.parent, c.before));
  EXPECT_EQ(Shape(f.tree), "0A 1a1 2a11 0B 1b1 ");
}
