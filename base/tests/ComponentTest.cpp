#include <gtest/gtest.h>

#include <functional>
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

namespace {
// Keeps a pointer to a component it does not own, as a control keeps its
// image list, and logs what it is told.
struct Holder : TComponent {
  explicit Holder(TComponent* owner = nullptr) : TComponent(owner) {}
  void SetTarget(TComponent* t) { SetReference(target, t); }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    told.push_back(c);
    if (op == opRemove && DropReference(target, c) && onRemove) onRemove();
  }
  TComponent* target = nullptr;
  std::vector<TComponent*> told;
  std::function<void()> onRemove;
};
}  // namespace

TEST(Component, FreeNotificationClearsAReferenceToADestroyedComponent) {
  Holder first, second;
  auto* target = new TComponent;
  first.SetTarget(target);
  second.SetTarget(target);
  second.SetTarget(target);  // linked once
  delete target;
  EXPECT_EQ(first.target, nullptr);
  EXPECT_EQ(second.target, nullptr);
  EXPECT_EQ(first.told, std::vector<TComponent*>{target});
  EXPECT_EQ(second.told, std::vector<TComponent*>{target});
}

TEST(Component, FreeNotificationEndsWithTheLinkOrWithEitherSide) {
  // Unlinked, or moved to another target: the old one tells nothing.
  auto* old = new TComponent;
  auto* other = new TComponent;
  Holder h;
  h.SetTarget(old);
  h.SetTarget(other);
  delete old;
  EXPECT_TRUE(h.told.empty());
  h.SetTarget(nullptr);
  delete other;
  EXPECT_TRUE(h.told.empty());

  // The holder goes first: the target's later end must not reach it (the
  // sanitizer build reports a use after free otherwise).
  TComponent target;
  auto* gone = new Holder;
  gone->SetTarget(&target);
  delete gone;
  Holder still;
  still.SetTarget(&target);
  EXPECT_EQ(still.told.size(), 0u);
}

TEST(Component, HandlerMayDestroyAnotherLinkedComponent) {
  auto* target = new TComponent;
  auto* a = new Holder;
  auto* b = new Holder;
  a->SetTarget(target);
  b->SetTarget(target);
  // Whichever is told first destroys the other.
  a->onRemove = [&] { delete b; b = nullptr; };
  b->onRemove = [&] { delete a; a = nullptr; };
  delete target;
  EXPECT_TRUE((a == nullptr) != (b == nullptr));
  delete a;
  delete b;
}

TEST(Component, OwnerDestroysLinkedComponentsInEitherOrder) {
  for (bool targetFirst : {true, false}) {
    auto* root = new TComponent;
    Holder* h = nullptr;
    TComponent* target = nullptr;
    if (targetFirst) {
      target = new TComponent(root);
      h = new Holder(root);  // newer: destroyed first
    } else {
      h = new Holder(root);
      target = new TComponent(root);  // destroyed first: h is told
    }
    h->SetTarget(target);
    bool told = false;
    h->onRemove = [&] { told = true; };
    delete root;
    EXPECT_EQ(told, !targetFirst);
  }
}
