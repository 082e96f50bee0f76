#include <gtest/gtest.h>

#include <vector>

#include "base/Component.h"

namespace {
struct Probe : TComponent {
  Probe(TComponent* owner, std::vector<std::string>& log, std::string n)
      : TComponent(owner), log_(log) { SetName(std::move(n)); }
  ~Probe() override { log_.push_back(Name()); }
  std::vector<std::string>& log_;
};
}  // namespace

TEST(Component, OwnerDestroysChildrenNewestFirst) {
  std::vector<std::string> log;
  auto* root = new Probe(nullptr, log, "root");
  auto* a = new Probe(root, log, "a");
  new Probe(root, log, "b");
  new Probe(a, log, "a1");
  EXPECT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(root->FindComponent("b")->Name(), "b");
  delete root;
  // A derived destructor runs before its owned components are destroyed.
  EXPECT_EQ(log, (std::vector<std::string>{"root", "b", "a", "a1"}));
}

TEST(Component, ChildDeletedEarlyLeavesOwner) {
  std::vector<std::string> log;
  Probe root(nullptr, log, "root");
  auto* a = new Probe(&root, log, "a");
  delete a;
  EXPECT_EQ(root.ComponentCount(), 0);
  auto* b = new Probe(nullptr, log, "b");
  b->SetOwner(&root);
  EXPECT_EQ(root.Components(0), b);
  EXPECT_EQ(b->Owner(), &root);
}
