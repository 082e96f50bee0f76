// Moving entries (by renumbering) and planning group moves and drops.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/model/EntryMoves.h"
#include "app/model/tests/FakeHotKeys.h"

namespace {

TVaultEntry* Add(TVaultModel& m, int id, TVaultGroup* group, const std::string& title,
                 const std::string& shortcut = "") {
  m.Entries.push_back(std::make_unique<TVaultEntry>());
  TVaultEntry& e = *m.Entries.back();
  e.id = id;
  e.group = group;
  e.title = title;
  e.shortcut = shortcut;
  return &e;
}

// "id:title" of every entry in list order.
std::string Order(const TVaultModel& m) {
  std::string s;
  for (const auto& e : m.Entries) s += (s.empty() ? "" : " ") + std::to_string(e->id) + ":" + e->title;
  return s;
}

// Entries a1, b1, a2, a3 in groups A and B.
struct TFourEntries {
  TVaultModel m;
  TVaultGroup* a = m.Groups.Add(nullptr, "A", 0);
  TVaultGroup* b = m.Groups.Add(nullptr, "B", 0);
  TVaultEntry* a1 = Add(m, 1, a, "a1");
  TVaultEntry* b1 = Add(m, 2, b, "b1");
  TVaultEntry* a2 = Add(m, 3, a, "a2");
  TVaultEntry* a3 = Add(m, 4, a, "a3");
};

}  // namespace

TEST(MoveEntry, SwapsWithTheNeighbourOfItsGroup) {
  struct Case {
    const char* name;
    int which;  // 0 a1, 1 b1, 2 a2, 3 a3
    int delta;
    bool moved;
    const char* order;
  } cases[] = {
      {"a2 up skips b1", 2, -1, true, "1:a2 2:b1 3:a1 4:a3"},
      {"a2 down", 2, +1, true, "1:a1 2:b1 3:a3 4:a2"},
      {"a1 up at the start", 0, -1, false, "1:a1 2:b1 3:a2 4:a3"},
      {"a3 down at the end", 3, +1, false, "1:a1 2:b1 3:a2 4:a3"},
      {"b1 alone in its group", 1, -1, false, "1:a1 2:b1 3:a2 4:a3"},
  };
  for (const Case& c : cases) {
    TFourEntries f;
    TVaultEntry* entries[] = {f.a1, f.b1, f.a2, f.a3};
    EXPECT_EQ(MoveEntry(f.m, entries[c.which], c.delta), c.moved) << c.name;
    EXPECT_EQ(Order(f.m), c.order) << c.name;
  }
}

TEST(MoveEntry, FirstOfItsGroupStaysEvenAfterOtherGroups) {
  TVaultModel m;
  TVaultGroup* a = m.Groups.Add(nullptr, "A", 0);
  TVaultGroup* b = m.Groups.Add(nullptr, "B", 0);
  Add(m, 1, a, "a1");
  Add(m, 2, a, "a2");
  TVaultEntry* b1 = Add(m, 3, b, "b1");
  Add(m, 4, b, "b2");
  EXPECT_FALSE(MoveEntry(m, b1, -1));
  EXPECT_EQ(Order(m), "1:a1 2:a2 3:b1 4:b2");
}

TEST(MoveEntryToGroup, BecomesLastOfTheGroupAndKeepsItsHotKey) {
  TFourEntries f;
  f.a1->shortcut = "Ctrl+Alt+M";
  f.a1->id = 10;  // ids need not be 1..n before
  TFakeHotKeys hk;
  std::string message;
  ASSERT_TRUE(RegisterEntryHotKeys(hk, f.m.Entries, message));
  ASSERT_EQ(hk.Registered.count(0x5200 + 10), 1u);

  EXPECT_TRUE(MoveEntryToGroup(f.m, f.a1, f.b, &hk, &message));
  EXPECT_EQ(Order(f.m), "1:b1 2:a2 3:a3 4:a1");
  EXPECT_EQ(f.a1->group, f.b);
  EXPECT_EQ(f.a1->shortcut, "Ctrl+Alt+M");
  EXPECT_EQ(message, "");
  // Registered under its new id only.
  EXPECT_EQ(hk.Registered.size(), 1u);
  EXPECT_EQ(hk.Registered.at(0x5204), (TFakeHotKeys::TChord{kModControl | kModAlt, 'M'}));

  // Onto its own group, or nowhere: nothing.
  EXPECT_FALSE(MoveEntryToGroup(f.m, f.a1, f.b, &hk));
  EXPECT_FALSE(MoveEntryToGroup(f.m, f.a1, nullptr, &hk));
  EXPECT_EQ(Order(f.m), "1:b1 2:a2 3:a3 4:a1");
  EXPECT_TRUE(CanDropEntryOnGroup(f.a2, f.b));
  EXPECT_FALSE(CanDropEntryOnGroup(f.a2, f.a));
  EXPECT_FALSE(CanDropEntryOnGroup(f.a2, nullptr));
}

TEST(MoveEntryOntoEntry, TakesTheTargetsPlace) {
  struct Case {
    int dragged, target;
    bool moved;
    const char* order;
  } cases[] = {
      {0, 3, true, "1:b1 2:a2 3:a3 4:a1"},   // down: the others shift up
      {3, 0, true, "1:a3 2:a1 3:b1 4:a2"},   // up: the others shift down
      {2, 2, false, "1:a1 2:b1 3:a2 4:a3"},
      {0, 1, false, "1:a1 2:b1 3:a2 4:a3"},  // another group's row
  };
  for (const Case& c : cases) {
    TFourEntries f;
    TVaultEntry* e[] = {f.a1, f.b1, f.a2, f.a3};
    EXPECT_EQ(MoveEntryOntoEntry(f.m, e[c.dragged], e[c.target]), c.moved);
    EXPECT_EQ(Order(f.m), c.order);
  }
}

TEST(RenumberEntries, ReportsAChordThatCannotBeRegisteredAgain) {
  TFourEntries f;
  f.a2->shortcut = "Ctrl+Alt+K";
  TFakeHotKeys hk;
  hk.Taken.insert({kModControl | kModAlt, 'K'});
  std::string message = "stale";
  EXPECT_FALSE(RenumberEntries(f.m, &hk, &message));
  EXPECT_EQ(message, "The following automation shortcuts could not be registered:\r\n\r\na2: Ctrl+Alt+K");
  EXPECT_EQ(Order(f.m), "1:a1 2:b1 3:a2 4:a3");
}

// Groups:  X { X1, X2 { X21 } },  Y,  Z
struct TGroups {
  TGroupTree t;
  TVaultGroup* x = t.Add(nullptr, "X", 0);
  TVaultGroup* x1 = t.Add(x, "X1", 0);
  TVaultGroup* x2 = t.Add(x, "X2", 0);
  TVaultGroup* x21 = t.Add(x2, "X21", 0);
  TVaultGroup* y = t.Add(nullptr, "Y", 0);
  TVaultGroup* z = t.Add(nullptr, "Z", 0);
};

TEST(PlanGroupMove, UpAndDownWithinALevel) {
  TGroups g;
  using P = TGroupPlacement;
  struct Case {
    const char* name;
    TGroupPlacement plan;
    P::TKind kind;
    TVaultGroup* parent;
    TVaultGroup* before;
  } cases[] = {
      {"first up", PlanGroupMoveUp(g.t, g.x), P::None, nullptr, nullptr},
      {"Y up", PlanGroupMoveUp(g.t, g.y), P::Move, nullptr, g.x},
      {"Z up", PlanGroupMoveUp(g.t, g.z), P::Move, nullptr, g.y},
      {"last down", PlanGroupMoveDown(g.t, g.z), P::None, nullptr, nullptr},
      {"X down", PlanGroupMoveDown(g.t, g.x), P::Move, nullptr, g.z},   // behind Y
      {"Y down", PlanGroupMoveDown(g.t, g.y), P::Move, nullptr, nullptr},  // last
      {"X1 down", PlanGroupMoveDown(g.t, g.x1), P::Move, g.x, nullptr},
      {"X2 up", PlanGroupMoveUp(g.t, g.x2), P::Move, g.x, g.x1},
      {"only child", PlanGroupMoveUp(g.t, g.x21), P::None, nullptr, nullptr},
      {"no group", PlanGroupMoveDown(g.t, nullptr), P::None, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.plan.Kind, c.kind) << c.name;
    EXPECT_EQ(c.plan.Parent, c.parent) << c.name;
    EXPECT_EQ(c.plan.Before, c.before) << c.name;
  }
}

TEST(GroupDropZone, ThirdsOfTheRow) {
  struct Case {
    int y, top, bottom;
    TGroupDropZone zone;
  } cases[] = {
      {100, 100, 118, TGroupDropZone::Before}, {105, 100, 118, TGroupDropZone::Before},
      {106, 100, 118, TGroupDropZone::Into},   {112, 100, 118, TGroupDropZone::Into},
      {113, 100, 118, TGroupDropZone::After},  {117, 100, 118, TGroupDropZone::After},
      {100, 100, 100, TGroupDropZone::Before},  // a row of no height counts as 3
      {99, 100, 100, TGroupDropZone::Before},  {101, 100, 100, TGroupDropZone::After},
  };
  for (const Case& c : cases) EXPECT_EQ(GroupDropZone(c.y, c.top, c.bottom), c.zone) << c.y << " " << c.bottom;
}

TEST(PlanGroupDrop, OwnSubtreeRefusedAndWhereTheGroupGoes) {
  TGroups g;
  using P = TGroupPlacement;
  using Z = TGroupDropZone;
  struct Case {
    const char* name;
    TVaultGroup* dragged;
    TVaultGroup* target;
    Z zone;
    P::TKind kind;
    TVaultGroup* parent;
    TVaultGroup* before;
    bool expand;
  } cases[] = {
      {"onto itself", g.x, g.x, Z::Into, P::None, nullptr, nullptr, false},
      {"onto its child", g.x, g.x2, Z::Into, P::None, nullptr, nullptr, false},
      {"onto its grandchild", g.x, g.x21, Z::Before, P::None, nullptr, nullptr, false},
      {"into a sibling", g.z, g.x, Z::Into, P::Move, g.x, nullptr, true},
      {"in front of a child", g.z, g.x2, Z::Before, P::Move, g.x, g.x2, false},
      {"behind a middle child", g.y, g.x1, Z::After, P::Move, g.x, g.x2, false},
      {"behind the last child", g.y, g.x2, Z::After, P::Move, g.x, nullptr, false},
      {"behind the last top group", g.x, g.z, Z::After, P::Move, nullptr, nullptr, false},
      {"behind its previous sibling", g.y, g.x, Z::After, P::SelectOnly, nullptr, nullptr, false},
      {"a child up to the top", g.x21, g.y, Z::Before, P::Move, nullptr, g.y, false},
  };
  for (const Case& c : cases) {
    const TGroupPlacement p = PlanGroupDrop(g.t, c.dragged, c.target, c.zone);
    EXPECT_EQ(p.Kind, c.kind) << c.name;
    EXPECT_EQ(p.Parent, c.parent) << c.name;
    EXPECT_EQ(p.Before, c.before) << c.name;
    EXPECT_EQ(p.ExpandParent, c.expand) << c.name;
    EXPECT_EQ(CanDropGroup(c.dragged, c.target, c.zone), c.kind != P::None) << c.name;
  }
}

TEST(PlanGroupDrop, NoDeeperThanTheVaultTextKeeps) {
  TGroupTree t;
  TVaultGroup* deepest = nullptr;
  for (int level = 0; level <= kMaxGroupLevel - 1; ++level) deepest = t.Add(deepest, "L", 0);
  ASSERT_EQ(deepest->Level(), kMaxGroupLevel - 1);
  TVaultGroup* leaf = t.Add(nullptr, "leaf", 0);
  TVaultGroup* parent = t.Add(nullptr, "parent", 0);
  t.Add(parent, "child", 0);
  EXPECT_TRUE(CanDropGroup(leaf, deepest, TGroupDropZone::Into));             // level 127
  EXPECT_FALSE(CanDropGroup(parent, deepest, TGroupDropZone::Into));          // its child at 128
  EXPECT_TRUE(CanDropGroup(parent, deepest, TGroupDropZone::After));          // 126 and 127
  EXPECT_EQ(PlanGroupDrop(t, parent, deepest, TGroupDropZone::Into).Kind, TGroupPlacement::None);
}
