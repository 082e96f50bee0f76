// Moving groups and entries in the main window of this process under Wine:
// the Up and Down commands sent as menu commands, and both drags driven by
// the mouse messages the tree and list get (button down, the moves that
// make the control begin its drag, the drop).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/FormMain.h"
#include "app/Helpers.h"
#include "app/model/Shortcuts.h"
#include "app/model/VaultText.h"
#include "base/tests/TestUtil.h"
#include "settings/QDReg.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

namespace {

// The entry hot keys that are registered, with their chords.
struct RecordingRegistrar : THotKeyRegistrar {
  std::map<int, std::pair<unsigned, int>> keys;
  bool Register(int id, unsigned modifiers, int vk) override {
    return keys.emplace(id, std::make_pair(modifiers, vk)).second;
  }
  void Unregister(int id) override { keys.erase(id); }
};

LPARAM Point(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

struct MovesFixture : ::testing::Test {
  TApplication app;
  TFormMain* main = nullptr;
  RecordingRegistrar* hotKeys = nullptr;
  std::vector<TMessageBoxCall> boxes;
  TVaultGroup *x = nullptr, *x1 = nullptr, *x2 = nullptr, *x21 = nullptr, *y = nullptr, *z = nullptr;

  void SetUp() override {
    app.Initialize();
    MessageBoxHook = [this](const TMessageBoxCall& c) {
      boxes.push_back(c);
      return IDOK;
    };
    main = new TFormMain(&app);
    app.SetMainForm(main);
    main->TimerStartup->SetEnabled(false);
    main->TimerUpdateUI->SetEnabled(false);
    main->TimerTray->SetEnabled(false);
    auto registrar = std::make_unique<RecordingRegistrar>();
    hotKeys = registrar.get();
    main->SetHotKeys(std::move(registrar));
    main->Show();
    MakeGroups();
  }
  // Groups:  X { X1, X2 { X21 } },  Y,  Z
  void MakeGroups() {
    TGroupTree& t = main->Vault.Groups;
    x = t.Add(nullptr, "X", 2);
    x1 = t.Add(x, "X1", 3);
    x2 = t.Add(x, "X2", 4);
    x21 = t.Add(x2, "X21", 5);
    y = t.Add(nullptr, "Y", 6);
    z = t.Add(nullptr, "Z", 7);
  }
  void TearDown() override {
    MessageBoxHook = nullptr;
    RememberedShortcuts.clear();
  }

  TVaultEntry* AddEntry(TVaultGroup* group, int id, const std::string& title, const std::string& shortcut = "") {
    auto e = std::make_unique<TVaultEntry>();
    e->id = id;
    e->group = group;
    e->title = title;
    e->shortcut = shortcut;
    TVaultEntry* raw = e.get();
    main->Vault.Entries.push_back(std::move(e));
    return raw;
  }
  // The tree as shown and the vault's own, then everything expanded.
  void Fill() {
    main->FillGroupTree();
    main->RegisterEntryHotKeys();
    for (TTreeNode* n : main->TreeView1->Nodes()) n->SetExpanded(true);
    main->Modified = false;
  }
  void Command(TMenuItem* item) {
    SendMessageA(main->Handle(), WM_COMMAND, MAKEWPARAM(item->Command(), 0), 0);
  }
  void Select(const TVaultGroup* g) {
    TTreeNode* node = main->NodeOfGroup(g);
    ASSERT_NE(node, nullptr);
    SendMessageA(main->TreeView1->Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node->ItemId()));
  }
  void SelectRow(int index) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(main->ListView1->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
  }
  void Pump() {
    for (int i = 0; i < 5; ++i) {
      app.ProcessMessages();
      Sleep(5);
    }
  }

  // "X(X1,X2(X21)),Y,Z" of the tree control's own items, and of the vault.
  static std::string Shape(TTreeNode* first) {
    std::string s;
    for (TTreeNode* n = first; n; n = n->NextSibling()) {
      if (!s.empty()) s += ",";
      s += n->Text();
      if (n->FirstChild()) s += "(" + Shape(n->FirstChild()) + ")";
    }
    return s;
  }
  static std::string Shape(const TGroupTree& tree, const TVaultGroup* parent) {
    std::string s;
    const int n = parent ? parent->Count() : tree.TopCount();
    for (int i = 0; i < n; ++i) {
      const TVaultGroup* g = parent ? parent->Item(i) : tree.TopItem(i);
      if (!s.empty()) s += ",";
      s += g->Caption();
      if (g->Count()) s += "(" + Shape(tree, g) + ")";
    }
    return s;
  }
  // The shape of the tree control, checked against the vault's and against
  // every node's group.
  std::string TreeShape() {
    const std::string shown = Shape(main->TreeView1->TopItem(0));
    EXPECT_EQ(shown, Shape(main->Vault.Groups, nullptr));
    for (TTreeNode* n : main->TreeView1->Nodes()) {
      const TVaultGroup* g = TFormMain::GroupOfNode(n);
      EXPECT_NE(g, nullptr);
      if (!g) continue;
      EXPECT_EQ(n->Text(), g->Caption());
      EXPECT_EQ(main->NodeOfGroup(g), n);
      EXPECT_EQ(TFormMain::GroupOfNode(n->Parent()), g->Parent());
    }
    return shown;
  }
  // "id:title" of every entry in id order.
  std::string Entries() const {
    std::string s;
    for (const auto& e : main->Vault.Entries) s += (s.empty() ? "" : " ") + std::to_string(e->id) + ":" + e->title;
    return s;
  }
  std::vector<std::string> ListTitles() const {
    std::vector<std::string> titles;
    for (int i = 0; i < main->ListView1->Count(); ++i)
      titles.push_back(static_cast<TVaultEntry*>(main->ListView1->Item(i)->Data())->title);
    return titles;
  }
  // The vault text matches the vault after every change.
  void ExpectVaultTextCurrent() { EXPECT_EQ(main->MemoData->SecretText(), BuildVaultText(main->Vault)); }

  // A point inside a node's row: its text's middle, or at a height within
  // the full row (0 top, 1 bottom).
  POINT NodePoint(const TVaultGroup* g, double height = 0.5) {
    TTreeNode* node = main->NodeOfGroup(g);
    EXPECT_NE(node, nullptr);
    if (!node) return POINT{0, 0};
    const RECT text = node->DisplayRect(true);
    const RECT row = node->DisplayRect(false);
    return POINT{(text.left + text.right) / 2, row.top + static_cast<int>((row.bottom - row.top - 1) * height)};
  }
  POINT RowPoint(int index) {
    RECT r{};
    r.left = LVIR_LABEL;
    SendMessageA(main->ListView1->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  // A drag with the left button from one client point of a control to
  // another (of the same control's client area), as the mouse makes it.
  void Drag(HWND wnd, POINT from, POINT to) {
    PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, Point(from.x, from.y));
    PostMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, Point(from.x + 12, from.y + 12));
    PostMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, Point((from.x + to.x) / 2, (from.y + to.y) / 2));
    PostMessageA(wnd, WM_MOUSEMOVE, MK_LBUTTON, Point(to.x, to.y));
    PostMessageA(wnd, WM_LBUTTONUP, 0, Point(to.x, to.y));
    Pump();
  }
  // A list row dragged onto a tree point (in the tree's client area).
  void DragRowToTree(int row, POINT treePoint) {
    POINT to = treePoint;
    MapWindowPoints(main->TreeView1->Handle(), main->ListView1->Handle(), &to, 1);
    Drag(main->ListView1->Handle(), RowPoint(row), to);
  }
  void DragGroupTo(const TVaultGroup* g, POINT treePoint) {
    Drag(main->TreeView1->Handle(), NodePoint(g), treePoint);
  }
};

// ---- Up and down ----------------------------------------------------------------------

TEST_F(MovesFixture, GroupUpAndDownMoveAmongSiblingsWithTheirSubgroupsAndStopAtTheEnds) {
  Fill();
  ASSERT_EQ(TreeShape(), "X(X1,X2(X21)),Y,Z");

  Select(x2);
  Command(main->GroupUp1);
  EXPECT_EQ(TreeShape(), "X(X2(X21),X1),Y,Z");
  EXPECT_EQ(main->TreeView1->Selected(), main->NodeOfGroup(x2));
  EXPECT_EQ(main->CurrentGroup, main->NodeOfGroup(x2));
  EXPECT_TRUE(main->NodeOfGroup(x2)->Expanded());
  EXPECT_TRUE(main->Modified);
  ExpectVaultTextCurrent();

  // At the ends of a level nothing changes, nor is the vault modified.
  main->Modified = false;
  Command(main->GroupUp2);
  Select(z);
  Command(main->GroupDown1);
  Select(x21);
  Command(main->GroupUp1);
  Command(main->GroupDown2);
  EXPECT_EQ(TreeShape(), "X(X2(X21),X1),Y,Z");
  EXPECT_FALSE(main->Modified);

  Select(x);
  Command(main->GroupDown1);
  EXPECT_EQ(TreeShape(), "Y,X(X2(X21),X1),Z");
  Command(main->GroupDown2);
  EXPECT_EQ(TreeShape(), "Y,Z,X(X2(X21),X1)");
  EXPECT_EQ(main->TreeView1->Selected(), main->NodeOfGroup(x));
  ExpectVaultTextCurrent();

  // A read-only vault refuses silently.
  main->ReadOnly = true;
  Command(main->GroupUp1);
  EXPECT_EQ(TreeShape(), "Y,Z,X(X2(X21),X1)");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(MovesFixture, EntryUpAndDownSwapWithinTheGroupAndRenumberEveryEntry) {
  AddEntry(x, 1, "A1");
  AddEntry(y, 2, "B1");
  AddEntry(x, 3, "A2", "Ctrl+Alt+K");
  AddEntry(y, 4, "B2");
  Fill();
  RememberedShortcuts = "3=Ctrl+Alt+K";
  ASSERT_EQ(hotKeys->keys.count(EntryHotKeyId(3)), 1u);
  const auto chord = hotKeys->keys[EntryHotKeyId(3)];
  Select(x);
  ASSERT_EQ(ListTitles(), (std::vector<std::string>{"A1", "A2"}));
  SelectRow(1);

  Command(main->EntryUp1);
  EXPECT_EQ(Entries(), "1:A2 2:B1 3:A1 4:B2");
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"A2", "A1"}));
  ASSERT_NE(main->ListView1->Selected(), nullptr);
  EXPECT_EQ(main->ListView1->Selected()->Index(), 0);
  EXPECT_EQ(main->CurrentEntry->title, "A2");
  EXPECT_EQ(main->EditTitle->Text(), "A2");
  EXPECT_TRUE(main->Modified);
  ExpectVaultTextCurrent();
  // The hot key follows the entry to its new id.
  EXPECT_EQ(hotKeys->keys.size(), 1u);
  EXPECT_EQ(hotKeys->keys.count(EntryHotKeyId(1)), 1u);
  EXPECT_EQ(hotKeys->keys[EntryHotKeyId(1)], chord);
  // The remembered shortcuts still match the file on disk: they are
  // written with the next successful save, not by the move.
  EXPECT_EQ(RememberedShortcuts, "3=Ctrl+Alt+K");

  // The first of its group stays, with or without entries of other groups
  // in front of it in the list.
  main->Modified = false;
  Command(main->EntryUp2);
  EXPECT_EQ(Entries(), "1:A2 2:B1 3:A1 4:B2");
  EXPECT_FALSE(main->Modified);
  Select(y);
  SelectRow(0);
  Command(main->EntryUp1);
  EXPECT_EQ(Entries(), "1:A2 2:B1 3:A1 4:B2");

  Command(main->EntryDown1);
  EXPECT_EQ(Entries(), "1:A2 2:B2 3:A1 4:B1");
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"B2", "B1"}));
  Command(main->EntryDown2);  // the last of its group
  EXPECT_EQ(Entries(), "1:A2 2:B2 3:A1 4:B1");

  // Not during a search, and not in a read-only vault.
  main->SearchActive = true;
  Command(main->EntryUp1);
  main->SearchActive = false;
  main->ReadOnly = true;
  Command(main->EntryUp1);
  EXPECT_EQ(Entries(), "1:A2 2:B2 3:A1 4:B1");
  EXPECT_TRUE(boxes.empty());
}

// The remembered shortcuts name entries by id and are kept in the settings
// file for a locked start: a renumbering reaches them only through a save of
// the renumbered vault. The fixture opens a vault whose file numbers A2 as
// entry 2 with its chord remembered, then moves A2 up (it becomes entry 1).
struct RememberedShortcutsFixture : MovesFixture {
  const std::string ini = TQDReg::AppDir() + TFormMain::kSettingsFile;
  bool iniExisted = false;
  std::string iniBefore;
  TempDir dir;

  void SetUp() override {
    MovesFixture::SetUp();
    iniExisted = PathExists(ini);
    if (iniExisted) iniBefore = ReadTestFile(ini);
    main->VaultPath = dir.File("Moves.qvl");
    main->QEnc1->SetIterations(5000);
    main->SessionKey = main->QEnc1->DeriveSessionKey("Correct-Horse-42x");
    ASSERT_TRUE(ProcessVaultLock().AcquireLock(main->VaultPath, false));
    AddEntry(x, 1, "A1");
    AddEntry(x, 2, "A2", "Ctrl+Alt+K");
    Fill();
    RememberedShortcuts = "2=Ctrl+Alt+K";
    WriteTestFile(ini, "\r\nLastEntryShortcuts=2=Ctrl+Alt+K\r\n");
    Select(x);
    SelectRow(1);
    Command(main->EntryUp1);
    ASSERT_EQ(Entries(), "1:A2 2:A1");
  }
  void TearDown() override {
    ProcessVaultLock().ReleaseHeldLock();
    main->VaultPath.clear();
    if (iniExisted)
      WriteTestFile(ini, iniBefore);
    else
      DeleteFileA(ini.c_str());
    MovesFixture::TearDown();
  }
};

TEST_F(RememberedShortcutsFixture, RenumberedShortcutsAreRememberedWithTheSaveOnly) {
  EXPECT_EQ(RememberedShortcuts, "2=Ctrl+Alt+K");
  EXPECT_EQ(ReadTestFile(ini), "\r\nLastEntryShortcuts=2=Ctrl+Alt+K\r\n");

  ASSERT_TRUE(main->SaveVault(true));
  EXPECT_EQ(RememberedShortcuts, "1=Ctrl+Alt+K");
  EXPECT_NE(ReadTestFile(ini).find("LastEntryShortcuts=1=Ctrl+Alt+K"), std::string::npos) << ReadTestFile(ini);
}

// A Save As that fails saved nothing: the remembered chords stay mapped to
// the entries as the file on disk numbers them.
TEST_F(RememberedShortcutsFixture, AFailedSaveAsKeepsTheRememberedShortcuts) {
  // The new file cannot replace its temporary one.
  TOpenDialog::ExecuteHook = [&](TOpenDialog& d) {
    d.SetFileName(dir.File("Other.qvl"));
    return true;
  };
  main->SaveIo.Replace = [](const std::string&, const std::string&) { return false; };
  EXPECT_FALSE(main->SaveVaultAs());
  main->SaveIo.Replace = nullptr;
  TOpenDialog::ExecuteHook = nullptr;
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(main->VaultPath, dir.File("Moves.qvl"));
  EXPECT_EQ(RememberedShortcuts, "2=Ctrl+Alt+K");
  EXPECT_NE(ReadTestFile(ini).find("LastEntryShortcuts=2=Ctrl+Alt+K"), std::string::npos) << ReadTestFile(ini);
}

TEST_F(MovesFixture, AChordThatCannotBeRegisteredAgainIsReported) {
  AddEntry(x, 1, "A1");
  AddEntry(x, 2, "A2", "Ctrl+Alt+K");
  Fill();
  Select(x);
  SelectRow(1);
  // Another program takes the chord while it is free for a moment.
  struct Refusing : RecordingRegistrar {
    bool Register(int, unsigned, int) override { return false; }
  };
  main->SetHotKeys(std::make_unique<Refusing>());
  Command(main->EntryUp1);
  EXPECT_EQ(Entries(), "1:A2 2:A1");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Shortcut conflict");
  EXPECT_NE(boxes[0].Text.find("A2: Ctrl+Alt+K"), std::string::npos) << boxes[0].Text;
  EXPECT_EQ(boxes[0].Flags & MB_ICONWARNING, static_cast<UINT>(MB_ICONWARNING));
}

// The conflict message waits for the user: a lock meanwhile frees the moved
// entry, which is then not shown in the locked window.
struct LockDuringConflictFixture : MovesFixture {
  TempDir dir;
  void SetUp() override {
    MovesFixture::SetUp();
    struct Refusing : RecordingRegistrar {
      bool Register(int, unsigned, int) override { return false; }
    };
    MessageBoxHook = [this](const TMessageBoxCall& c) {
      boxes.push_back(c);
      if (c.Caption == "Shortcut conflict") main->LockVault(false);
      return IDOK;
    };
    main->VaultPath = dir.File("Moves.qvl");
    AddEntry(x, 1, "A1");
    TVaultEntry* moved = AddEntry(x, 2, "A2", "Ctrl+Alt+K");
    moved->password = "hunter2-secret";
    Fill();
    main->SetHotKeys(std::make_unique<Refusing>());
    Select(x);
    SelectRow(1);
  }
  void TearDown() override {
    main->Locked = false;
    main->VaultPath.clear();
    MovesFixture::TearDown();
  }
  void ExpectLockedWithNothingShown() {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(main->Locked);
    EXPECT_EQ(main->CurrentEntry, nullptr);
    EXPECT_EQ(main->EditTitle->Text(), "");
    EXPECT_EQ(main->EditPassword->Text(), "");
    EXPECT_TRUE(main->Vault.Entries.empty());
  }
};

TEST_F(LockDuringConflictFixture, EntryMovedUp) {
  Command(main->EntryUp1);
  ExpectLockedWithNothingShown();
}

TEST_F(LockDuringConflictFixture, EntryDraggedOntoAGroup) {
  DragRowToTree(1, NodePoint(y));
  ExpectLockedWithNothingShown();
}

// ---- Dragging entries -----------------------------------------------------------------------

TEST_F(MovesFixture, AnEntryDraggedOntoAGroupBecomesItsLastEntryAndKeepsItsHotKey) {
  AddEntry(x, 1, "A1", "Ctrl+Alt+K");
  AddEntry(y, 2, "B1");
  AddEntry(x, 3, "A2");
  AddEntry(z, 4, "C1");
  Fill();
  const auto chord = hotKeys->keys[EntryHotKeyId(1)];
  Select(x);
  ASSERT_EQ(ListTitles(), (std::vector<std::string>{"A1", "A2"}));

  DragRowToTree(0, NodePoint(y));
  EXPECT_EQ(Entries(), "1:B1 2:A2 3:C1 4:A1");
  EXPECT_EQ(main->Vault.Entries[3]->group, y);
  EXPECT_EQ(main->TreeView1->Selected(), main->NodeOfGroup(y));
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"B1", "A1"}));
  ASSERT_NE(main->ListView1->Selected(), nullptr);
  EXPECT_EQ(main->ListView1->Selected()->Index(), 1);
  EXPECT_EQ(main->EditTitle->Text(), "A1");
  EXPECT_TRUE(main->Modified);
  ExpectVaultTextCurrent();
  EXPECT_EQ(hotKeys->keys.size(), 1u);
  EXPECT_EQ(hotKeys->keys[EntryHotKeyId(4)], chord);
  // The drag is over: no capture, no drop target.
  EXPECT_FALSE(main->EntryDragging);
  EXPECT_EQ(main->DragEntry, nullptr);
  EXPECT_EQ(main->TreeView1->DropTarget(), nullptr);
  EXPECT_NE(GetCapture(), main->ListView1->Handle());

  // Onto its own group, or outside every group: nothing.
  main->Modified = false;
  DragRowToTree(1, NodePoint(y));
  RECT tree{};
  GetClientRect(main->TreeView1->Handle(), &tree);
  DragRowToTree(1, POINT{tree.right - 4, tree.bottom - 4});
  EXPECT_EQ(Entries(), "1:B1 2:A2 3:C1 4:A1");
  EXPECT_FALSE(main->Modified);
}

TEST_F(MovesFixture, AnEntryDroppedOnAnotherRowOfItsGroupTakesItsPlace) {
  AddEntry(x, 1, "A1");
  AddEntry(y, 2, "B1");
  AddEntry(x, 3, "A2");
  AddEntry(x, 4, "A3");
  Fill();
  Select(x);
  Drag(main->ListView1->Handle(), RowPoint(2), RowPoint(0));
  EXPECT_EQ(Entries(), "1:A3 2:A1 3:B1 4:A2");
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"A3", "A1", "A2"}));
  EXPECT_EQ(main->CurrentEntry->title, "A3");
  ExpectVaultTextCurrent();

  // During a search the rows are not the group's order: no reordering.
  main->SearchActive = true;
  main->Modified = false;
  Drag(main->ListView1->Handle(), RowPoint(0), RowPoint(2));
  EXPECT_EQ(Entries(), "1:A3 2:A1 3:B1 4:A2");
  EXPECT_FALSE(main->Modified);
}

TEST_F(MovesFixture, AReadOnlyVaultRefusesEveryDrop) {
  AddEntry(x, 1, "A1");
  Fill();
  Select(x);
  main->ReadOnly = true;
  DragRowToTree(0, NodePoint(y));
  DragGroupTo(z, NodePoint(y));
  EXPECT_EQ(Entries(), "1:A1");
  EXPECT_EQ(TreeShape(), "X(X1,X2(X21)),Y,Z");
  EXPECT_FALSE(main->Modified);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(GetCapture(), nullptr);
}

// ---- Dragging groups -----------------------------------------------------------------------

TEST_F(MovesFixture, AGroupDroppedGoesInFrontOfIntoOrBehindTheTargetByTheThirdOfItsRow) {
  struct Case {
    const char* name;
    TVaultGroup* MovesFixture::*dragged;
    TVaultGroup* MovesFixture::*target;
    double height;  // 0 top of the row, 1 its bottom
    const char* shape;
    bool modified;
  };
  const Case cases[] = {
      {"upper third: in front", &MovesFixture::z, &MovesFixture::x1, 0.1, "X(Z,X1,X2(X21)),Y", true},
      {"middle: last child", &MovesFixture::z, &MovesFixture::x1, 0.5, "X(X1(Z),X2(X21)),Y", true},
      {"lower third: behind", &MovesFixture::z, &MovesFixture::x1, 0.95, "X(X1,Z,X2(X21)),Y", true},
      {"behind the last of a level", &MovesFixture::x1, &MovesFixture::z, 0.95, "X(X2(X21)),Y,Z,X1", true},
      {"behind its previous sibling", &MovesFixture::y, &MovesFixture::x, 0.95, "X(X1,X2(X21)),Y,Z", false},
      {"onto its own child", &MovesFixture::x2, &MovesFixture::x21, 0.5, "X(X1,X2(X21)),Y,Z", false},
      {"onto a deeper descendant", &MovesFixture::x, &MovesFixture::x21, 0.1, "X(X1,X2(X21)),Y,Z", false},
      {"onto itself", &MovesFixture::x2, &MovesFixture::x2, 0.5, "X(X1,X2(X21)),Y,Z", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    main->Vault.Groups.Clear();
    MakeGroups();
    Fill();
    TVaultGroup* dragged = this->*c.dragged;
    DragGroupTo(dragged, NodePoint(this->*c.target, c.height));
    EXPECT_EQ(TreeShape(), c.shape);
    EXPECT_EQ(main->Modified, c.modified);
    // The dragged group is selected whenever the drop was taken.
    if (c.modified || std::string(c.name) == "behind its previous sibling") {
      EXPECT_EQ(main->TreeView1->Selected(), main->NodeOfGroup(dragged));
      EXPECT_EQ(main->CurrentGroup, main->NodeOfGroup(dragged));
    }
    if (c.modified) ExpectVaultTextCurrent();
    EXPECT_FALSE(main->GroupDragging);
    EXPECT_EQ(main->TreeView1->DropTarget(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

TEST_F(MovesFixture, ADroppedGroupKeepsItsEntriesAndTheTargetOpens) {
  AddEntry(x21, 1, "Deep");
  AddEntry(z, 2, "Zed");
  Fill();
  main->NodeOfGroup(y)->SetExpanded(false);
  DragGroupTo(x2, NodePoint(y, 0.5));
  EXPECT_EQ(TreeShape(), "X(X1),Y(X2(X21)),Z");
  EXPECT_TRUE(main->NodeOfGroup(y)->Expanded());
  EXPECT_EQ(main->Vault.Entries[0]->group, x21);
  Select(x21);
  EXPECT_EQ(ListTitles(), std::vector<std::string>{"Deep"});
}

// The same drags made with the system's mouse: the pointer moved over the
// screen and the button pressed and let go, from a thread of its own (the
// tree follows the pointer inside its button-down message until the drag
// begins). watch runs on this thread while the button is held.
TEST_F(MovesFixture, DragsMadeWithTheMouseItself) {
  AddEntry(x, 1, "A1", "Ctrl+Alt+K");
  Fill();
  SetForegroundWindow(main->Handle());
  Pump();
  auto screen = [](TWinControl* control, POINT p) {
    ClientToScreen(control->Handle(), &p);
    return p;
  };
  auto mouseDrag = [this](POINT from, POINT to, const std::function<void()>& watch) {
    std::atomic<bool> over{false};
    std::thread mouse([&] {
      auto button = [](DWORD flags) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flags;
        SendInput(1, &in, sizeof in);
      };
      SetCursorPos(from.x, from.y);
      Sleep(100);
      button(MOUSEEVENTF_LEFTDOWN);
      Sleep(100);
      for (int step = 1; step <= 8; ++step) {
        SetCursorPos(from.x + (to.x - from.x) * step / 8, from.y + (to.y - from.y) * step / 8);
        Sleep(50);
      }
      Sleep(200);
      button(MOUSEEVENTF_LEFTUP);
      Sleep(100);
      over = true;
    });
    while (!over) {
      app.ProcessMessages();
      watch();
      Sleep(5);
    }
    mouse.join();
    Pump();
  };

  TTreeNode* targetSeen = nullptr;
  mouseDrag(screen(main->TreeView1, NodePoint(z)), screen(main->TreeView1, NodePoint(x1, 0.5)), [&] {
    if (main->GroupDragging) targetSeen = main->TreeView1->DropTarget();
  });
  EXPECT_EQ(targetSeen, main->NodeOfGroup(x1));
  EXPECT_EQ(TreeShape(), "X(X1(Z),X2(X21)),Y");
  EXPECT_FALSE(main->GroupDragging);
  EXPECT_EQ(GetCapture(), nullptr);

  Select(x);
  const auto chord = hotKeys->keys[EntryHotKeyId(1)];
  targetSeen = nullptr;
  mouseDrag(screen(main->ListView1, RowPoint(0)), screen(main->TreeView1, NodePoint(y)), [&] {
    if (main->EntryDragging) targetSeen = main->TreeView1->DropTarget();
  });
  EXPECT_EQ(targetSeen, main->NodeOfGroup(y));
  ASSERT_EQ(main->Vault.Entries.size(), 1u);
  EXPECT_EQ(main->Vault.Entries[0]->group, y);
  EXPECT_EQ(hotKeys->keys[EntryHotKeyId(1)], chord);
  EXPECT_FALSE(main->EntryDragging);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MovesFixture, ALockDuringADragEndsItWithoutADrop) {
  AddEntry(x, 1, "A1");
  Fill();
  Select(x);
  HWND list = main->ListView1->Handle();
  const POINT from = RowPoint(0);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, Point(from.x, from.y));
  PostMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, Point(from.x + 12, from.y + 12));
  Pump();
  ASSERT_TRUE(main->EntryDragging);
  // What a lock does to the window meanwhile.
  main->Locked = true;
  main->FreeAllEntries();
  main->TreeView1->Clear();
  main->Vault.Clear();
  PostMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, Point(from.x - 300, from.y));
  PostMessageA(list, WM_LBUTTONUP, 0, Point(from.x - 300, from.y));
  Pump();
  EXPECT_FALSE(main->EntryDragging);
  EXPECT_EQ(main->DragEntry, nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(main->Modified);
}

// The pointer during an entry drag: the program's drag cursor (hot spot at
// the arrow's tip) inside the list and over a group that takes the entry,
// the no-drop cursor outside both; the arrow again after the drop.
TEST_F(MovesFixture, AnEntryDragShowsTheDragCursorWhereADropIsTaken) {
  const HCURSOR drag = LoadCursorA(GetModuleHandleA(nullptr), "DRAGCURSOR");
  ASSERT_NE(drag, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(drag, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 0u);
  EXPECT_EQ(info.yHotspot, 0u);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);

  AddEntry(x, 1, "A1");
  AddEntry(x, 2, "A2");
  Fill();
  Select(x);
  HWND list = main->ListView1->Handle();
  const POINT from = RowPoint(0);
  POINT onY = NodePoint(y);
  MapWindowPoints(main->TreeView1->Handle(), list, &onY, 1);
  RECT client{};
  GetClientRect(list, &client);
  const struct {
    const char* where;
    POINT at;
    bool takes;
  } moves[] = {
      {"inside the list", POINT{from.x + 12, from.y + 12}, true},
      {"over another group", onY, true},
      {"outside the list and the tree", POINT{client.right / 2, client.bottom + 200}, false},
      {"back inside the list", POINT{from.x + 20, from.y}, true},
  };
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, Point(from.x, from.y));
  Pump();
  for (const auto& m : moves) {
    // Read before any other message can set the pointer again (the real
    // pointer of the display rests elsewhere).
    SendMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, Point(m.at.x, m.at.y));
    const HCURSOR shown = GetCursor();
    ASSERT_TRUE(main->EntryDragging) << m.where;
    EXPECT_EQ(shown, m.takes ? drag : LoadCursor(nullptr, IDC_NO)) << m.where;
  }
  PostMessageA(list, WM_LBUTTONUP, 0, Point(from.x + 20, from.y));
  Pump();
  EXPECT_FALSE(main->EntryDragging);
  EXPECT_NE(GetCursor(), drag);
}

}  // namespace
