// The group tree, the entry list and the details panel of the main window in
// this process under Wine: a small vault is made in memory, and the window
// is driven through the messages its controls get (selection changes, typed
// text, in-place edits, keys, timers), with the modal-run and message-box
// hooks answering the dialogs.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <wtsapi32.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/AppSeams.h"
#include "app/FormIcon.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/SecretClipboard.h"
#include "app/model/EntryRules.h"
#include "app/model/VaultText.h"
#include "app/tests/Harness.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

namespace {

// Records the entry hot keys that are registered.
struct FakeRegistrar : THotKeyRegistrar {
  std::set<int> ids;
  bool Register(int id, unsigned, int) override { return ids.insert(id).second; }
  void Unregister(int id) override { ids.erase(id); }
};

struct EntriesFixture : ::testing::Test {
  TApplication app;
  TFormMain* main = nullptr;
  TFormIcon* icon = nullptr;
  TFormPwd* pwd = nullptr;
  FakeRegistrar* hotKeys = nullptr;
  std::vector<TMessageBoxCall> boxes;
  std::function<int(const TMessageBoxCall&)> answer;  // IDOK when unset

  void SetUp() override {
    app.Initialize();
    MessageBoxHook = [this](const TMessageBoxCall& c) {
      boxes.push_back(c);
      return answer ? answer(c) : IDOK;
    };
    main = new TFormMain(&app);
    app.SetMainForm(main);
    main->TimerStartup->SetEnabled(false);
    main->TimerUpdateUI->SetEnabled(false);
    main->TimerTray->SetEnabled(false);
    auto registrar = std::make_unique<FakeRegistrar>();
    hotKeys = registrar.get();
    main->SetHotKeys(std::move(registrar));
    icon = new TFormIcon(&app);
    pwd = new TFormPwd(&app);
    main->Show();
  }
  void TearDown() override {
    TForm::ModalHook = nullptr;
    MessageBoxHook = nullptr;
    ResetAppSeams();
  }

  TVaultGroup* AddGroup(TVaultGroup* parent, const std::string& name, int image = 2) {
    return main->Vault.Groups.Add(parent, name, image);
  }
  TVaultEntry* AddEntry(TVaultGroup* group, int id, const std::string& title, const std::string& shortcut = "") {
    auto e = std::make_unique<TVaultEntry>();
    e->id = id;
    e->group = group;
    e->title = title;
    e->username = title + "-user";
    e->password = title + "-pw";
    e->url = "https://" + title + ".example";
    e->notes = "first line\r\nsecond line";
    e->shortcut = shortcut;
    TVaultEntry* raw = e.get();
    main->Vault.Entries.push_back(std::move(e));
    if (!shortcut.empty()) hotKeys->ids.insert(EntryHotKeyId(id));
    return raw;
  }
  // Selects the group's node as a click would: TVM_SELECTITEM, whose
  // change notification the window handles.
  void SelectGroup(const TVaultGroup* g) {
    TTreeNode* node = main->NodeOfGroup(g);
    ASSERT_NE(node, nullptr);
    SendMessageA(main->TreeView1->Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node->ItemId()));
  }
  // A left click on the group's text: the button's release is waiting when
  // the tree tracks the press.
  void ClickNode(const TVaultGroup* g) {
    TTreeNode* node = main->NodeOfGroup(g);
    ASSERT_NE(node, nullptr);
    const RECT r = node->DisplayRect(true);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    HWND tree = main->TreeView1->Handle();
    PostMessageA(tree, WM_LBUTTONUP, 0, at);
    SendMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
    app.ProcessMessages();
  }
  void SelectRow(int index) { SelectRowOf(main->ListView1, index); }
  // For commands that must stop before any dialog: one that shows fails the
  // test; every question is answered Yes.
  void RefuseEveryDialogAndAnswerYes() {
    TForm::ModalHook = [](TForm* form) {
      ADD_FAILURE() << "dialog shown: " << form->Caption();
      form->SetModalResult(mrCancel);
    };
    answer = [](const TMessageBoxCall&) { return IDYES; };
  }
  static void SelectRowOf(TWinControl* list, int index) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
  // Text typed over an edit's whole text (EM_REPLACESEL, as typing and
  // pasting do); its change notification runs the window's handler.
  static void Type(TWinControl* control, const std::string& text) {
    SendMessageA(control->Handle(), EM_SETSEL, 0, -1);
    SendMessageA(control->Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  }
  std::vector<std::string> ListTitles() const {
    std::vector<std::string> titles;
    for (int i = 0; i < main->ListView1->Count(); ++i) titles.push_back(CellText(i, 0));
    return titles;
  }
  // The text the list control itself shows for a cell.
  std::string CellText(int row, int column) const {
    char buffer[256] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(main->ListView1->Handle(), LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
      app.ProcessMessages();
      Sleep(5);
    } while (GetTickCount() - start < ms);
  }
  // Runs a modal dialog's commands from inside its modal run.
  void OnNextModal(std::function<void(TForm*)> hook) {
    TForm::ModalHook = [hook](TForm* form) {
      TForm::ModalHook = nullptr;
      hook(form);
    };
  }
  // What a lock does to the window: the records are freed and the tree
  // emptied.
  void LockNow() {
    main->Locked = true;
    main->FreeAllEntries();
    main->TreeView1->Clear();
    main->Vault.Clear();
  }
  const TMessageBoxCall* LastBox() const { return boxes.empty() ? nullptr : &boxes.back(); }
};

// ---- Filling and selection ------------------------------------------------------------

TEST_F(EntriesFixture, SelectingAGroupListsItsEntriesWithPreviewsAndShowsNoDetails) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  TVaultGroup* bank = AddGroup(nullptr, "Bank");
  AddEntry(mail, 2, "Gmail");
  TVaultEntry* hidden = AddEntry(mail, 1, "Outlook");
  hidden->hiddenNotes = true;
  AddEntry(bank, 3, "Chase");
  main->FillGroupTree();
  EXPECT_EQ(main->TreeView1->Count(), 2);
  EXPECT_EQ(main->ListView1->Count(), 0);

  SelectGroup(mail);
  EXPECT_EQ(main->CurrentGroup, main->NodeOfGroup(mail));
  // Id order; the notes column shows the first line, or [HIDDEN].
  ASSERT_EQ(ListTitles(), (std::vector<std::string>{"Outlook", "Gmail"}));
  EXPECT_EQ(CellText(0, 3), "[HIDDEN]");
  EXPECT_EQ(CellText(1, 1), "Gmail-user");
  EXPECT_EQ(CellText(1, 2), "https://Gmail.example");
  EXPECT_EQ(CellText(1, 3), "first line");
  EXPECT_FALSE(main->EntryOpen);
  EXPECT_FALSE(main->EditTitle->Enabled());

  // A row selected shows the entry; the hidden notes stay hidden.
  SelectRow(0);
  EXPECT_EQ(main->CurrentEntry, hidden);
  EXPECT_EQ(main->EditTitle->Text(), "Outlook");
  EXPECT_EQ(main->EditPassword->Text(), "Outlook-pw");
  EXPECT_EQ(main->EditAutomate->Text(), main->DefaultAutomate);
  EXPECT_EQ(main->MemoNotes->Text(), "[HIDDEN]");
  EXPECT_EQ(main->LabelHideNotes->Text(), "Show Notes");
  EXPECT_TRUE(main->EditTitle->Enabled());

  SelectGroup(bank);
  EXPECT_EQ(ListTitles(), std::vector<std::string>{"Chase"});
  EXPECT_FALSE(main->EntryOpen);
  EXPECT_EQ(main->EditTitle->Text(), "");
}

// ---- Entries ------------------------------------------------------------------------------

TEST_F(EntriesFixture, NewEntryStoresNothingUntilItHasATitleThenTakesTheNextId) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail", 5);
  AddEntry(mail, 7, "Gmail");
  main->FillGroupTree();

  main->EntryNew(nullptr);  // no group selected
  ASSERT_NE(LastBox(), nullptr);
  EXPECT_EQ(LastBox()->Text, "Please select a group first.");
  EXPECT_EQ(LastBox()->Caption, "New Password Entry");

  SelectGroup(mail);
  main->EntryNew(nullptr);
  EXPECT_TRUE(main->EntryOpen);
  EXPECT_EQ(main->CurrentEntry, nullptr);
  EXPECT_EQ(main->EditedIcon, 5);  // the group's icon
  EXPECT_EQ(main->EditAutomate->Text(), "USERNAME TAB PASSWORD ENTER");
  Type(main->EditUser, "alice");
  Type(main->EditPassword, "s3cret");
  Type(main->EditTitle, "   ");
  EXPECT_EQ(main->Vault.Entries.size(), 1u);
  EXPECT_FALSE(main->Modified);

  Type(main->EditTitle, "  Proton ");
  ASSERT_EQ(main->Vault.Entries.size(), 2u);
  TVaultEntry* created = main->CurrentEntry;
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->id, 8);
  EXPECT_EQ(created->title, "Proton");
  EXPECT_EQ(created->username, "alice");
  EXPECT_EQ(created->password, "s3cret");
  EXPECT_EQ(created->icon, 5);
  EXPECT_EQ(created->group, mail);
  EXPECT_TRUE(main->Modified);
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"Gmail", "Proton"}));
  ASSERT_NE(main->ListView1->Selected(), nullptr);
  EXPECT_EQ(main->ListView1->Selected()->Data(), created);

  // Later changes go into the same record and its row.
  Type(main->EditUrl, "https://proton.me");
  EXPECT_EQ(main->Vault.Entries.size(), 2u);
  EXPECT_EQ(created->url, "https://proton.me");
  EXPECT_EQ(CellText(1, 2), "https://proton.me");
}

TEST_F(EntriesFixture, HiddenNotesAreNeverStoredAsTheirPlaceholder) {
  TVaultGroup* g = AddGroup(nullptr, "Mail");
  TVaultEntry* e = AddEntry(g, 1, "Gmail");
  main->FillGroupTree();
  SelectGroup(g);
  SelectRow(0);
  Type(main->MemoNotes, "pin 1234\r\nmore");
  EXPECT_EQ(e->notes, "pin 1234\r\nmore");

  main->CheckHideClick(main->LabelHideNotes);
  EXPECT_TRUE(e->hiddenNotes);
  EXPECT_EQ(main->MemoNotes->Text(), "[HIDDEN]");
  EXPECT_EQ(CellText(0, 3), "[HIDDEN]");
  Type(main->EditUser, "bob");
  EXPECT_EQ(e->username, "bob");
  EXPECT_EQ(e->notes, "pin 1234\r\nmore");

  main->CheckHideClick(main->LabelHideNotes);
  EXPECT_FALSE(e->hiddenNotes);
  EXPECT_EQ(main->MemoNotes->Text(), "pin 1234\r\nmore");
  EXPECT_EQ(CellText(0, 3), "pin 1234");
}

TEST_F(EntriesFixture, F2AloneStartsTheInPlaceTitleEditAndBlankTitlesAreKept) {
  TVaultGroup* g = AddGroup(nullptr, "Mail");
  TVaultEntry* e = AddEntry(g, 1, "Gmail");
  main->FillGroupTree();
  SelectGroup(g);
  SelectRow(0);
  HWND list = main->ListView1->Handle();

  // A click on a selected row asks the control to edit: refused.
  SendMessageA(list, LVM_EDITLABELA, 0, 0);
  EXPECT_EQ(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0), 0);

  struct Case {
    const char* typed;
    const char* title;
    bool fromTree;  // F2 pressed in the group tree edits the selected row too
  };
  for (const Case& c : {Case{"  Gmail Work ", "Gmail Work", false}, Case{"   ", "Gmail Work", false},
                        Case{"Gmail Home", "Gmail Home", true}}) {
    HWND from = c.fromTree ? main->TreeView1->Handle() : list;
    SetFocus(from);
    SendMessageA(from, WM_KEYDOWN, VK_F2, 1);
    HWND edit = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr) << c.typed;
    SetWindowTextA(edit, c.typed);
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);  // ends the edit
    app.ProcessMessages();
    EXPECT_EQ(e->title, c.title) << c.typed;
    EXPECT_EQ(main->EditTitle->Text(), c.title) << c.typed;
    EXPECT_EQ(CellText(0, 0), c.title) << c.typed;
  }
  // A read-only vault swallows F2.
  main->ReadOnly = true;
  SendMessageA(list, WM_KEYDOWN, VK_F2, 1);
  EXPECT_EQ(SendMessageA(list, LVM_GETEDITCONTROL, 0, 0), 0);
  main->ReadOnly = false;
}

// The entry buttons of the tool bar, clicked with the mouse where the bar
// draws them, run the same commands as the Entries menu.
TEST_F(EntriesFixture, ToolBarEntryButtonsAddAndDeleteEntries) {
  TVaultGroup* g = AddGroup(nullptr, "Mail", 4);
  AddEntry(g, 1, "Gmail");
  main->FillGroupTree();
  SelectGroup(g);
  const auto click = [&](TToolButton* button) {
    HWND bar = main->ToolBar1->Handle();
    RECT r{};
    ASSERT_TRUE(SendMessageA(bar, TB_GETRECT, static_cast<WPARAM>(button->Command()), reinterpret_cast<LPARAM>(&r)));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(bar, WM_LBUTTONUP, 0, at);
    app.ProcessMessages();
  };

  SelectRow(0);
  answer = [](const TMessageBoxCall&) { return IDYES; };
  click(main->ToolKeyDelete);
  ASSERT_NE(LastBox(), nullptr);
  EXPECT_EQ(LastBox()->Text, "Delete entry \"Gmail\"?");
  EXPECT_TRUE(main->Vault.Entries.empty());

  click(main->ToolKeyNew);
  EXPECT_TRUE(main->EntryOpen);
  EXPECT_EQ(main->CurrentEntry, nullptr);
  EXPECT_EQ(main->EditedIcon, 4);
  Type(main->EditTitle, "Proton");
  ASSERT_EQ(main->Vault.Entries.size(), 1u);
  EXPECT_EQ(main->Vault.Entries[0]->title, "Proton");
}

TEST_F(EntriesFixture, DeletingAnEntryAsksWithNoAsDefaultAndFreesItsHotKey) {
  TVaultGroup* g = AddGroup(nullptr, "Mail");
  AddEntry(g, 1, "Gmail", "Ctrl+Alt+G");
  AddEntry(g, 2, "Proton");
  main->FillGroupTree();
  SelectGroup(g);

  main->EntryDelete(nullptr);
  EXPECT_EQ(LastBox()->Text, "Please select an entry first.");

  SelectRow(0);
  answer = [](const TMessageBoxCall&) { return IDNO; };
  main->EntryDelete(nullptr);
  EXPECT_EQ(LastBox()->Text, "Delete entry \"Gmail\"?");
  EXPECT_EQ(LastBox()->Caption, "Delete Entry");
  EXPECT_EQ(LastBox()->Flags & (MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2),
            static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_EQ(main->Vault.Entries.size(), 2u);

  answer = [](const TMessageBoxCall&) { return IDYES; };
  main->EntryDelete(nullptr);
  ASSERT_EQ(main->Vault.Entries.size(), 1u);
  EXPECT_EQ(main->Vault.Entries[0]->title, "Proton");
  EXPECT_TRUE(hotKeys->ids.empty());
  EXPECT_EQ(ListTitles(), std::vector<std::string>{"Proton"});
  EXPECT_EQ(main->CurrentEntry, nullptr);
  EXPECT_TRUE(main->Modified);
}

// A lock, or another vault, arriving while a question is up frees what the
// command had in hand: it must stop without touching it.
TEST_F(EntriesFixture, ALockOrANewDocumentDuringTheDeleteQuestionAbandonsTheDelete) {
  for (const bool lock : {true, false}) {
    SCOPED_TRACE(lock ? "lock" : "new document");
    main->Locked = false;
    main->Vault.Clear();
    TVaultGroup* g = AddGroup(nullptr, "Mail");
    TVaultGroup* sub = AddGroup(g, "Old");
    AddEntry(sub, 1, "Gmail", "Ctrl+Alt+G");
    main->FillGroupTree();
    SelectGroup(sub);
    SelectRow(0);
    answer = [&](const TMessageBoxCall&) {
      if (lock) {
        LockNow();
      } else {
        main->FreeAllEntries();
        main->Vault.Clear();
        TVaultGroup* other = AddGroup(nullptr, "Other");
        AddEntry(other, 1, "Kept");
        main->FillGroupTree();
      }
      return IDYES;
    };
    main->EntryDelete(nullptr);
    main->Locked = false;
    if (!lock) {
      ASSERT_EQ(main->Vault.Entries.size(), 1u);
      EXPECT_EQ(main->Vault.Entries[0]->title, "Kept");
    }
    // The same for the group question.
    main->Vault.Clear();
    main->FreeAllEntries();
    g = AddGroup(nullptr, "Mail");
    AddEntry(g, 1, "Gmail");
    main->FillGroupTree();
    SelectGroup(g);
    main->GroupDelete(nullptr);
    if (!lock) {
      EXPECT_EQ(main->Vault.Groups.Count(), 1);
      EXPECT_EQ(main->Vault.Groups.TopItem(0)->Caption(), "Other");
      EXPECT_EQ(main->Vault.Entries.size(), 1u);
    } else {
      EXPECT_TRUE(main->Vault.Groups.Empty());
      EXPECT_EQ(main->NodeOfGroup(g), nullptr);  // its node went with the tree
    }
    main->Locked = false;
    answer = nullptr;
  }
}

// ---- Groups ---------------------------------------------------------------------------

TEST_F(EntriesFixture, GroupDialogAddsAndEditsGroupsAndRefusesAColon) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  main->FillGroupTree();
  SelectGroup(mail);
  // A colon is refused by the dialog itself, which stays open until Cancel.
  OnNextModal([&](TForm*) {
    icon->Edit1->SetText("Work:Old");
    icon->ButtonOK->Click();
    EXPECT_TRUE(icon->Modal());
    icon->ButtonCancel->Click();
  });
  main->GroupNew(nullptr);
  ASSERT_NE(LastBox(), nullptr);
  EXPECT_EQ(LastBox()->Text, "A group name cannot contain a colon.");
  EXPECT_EQ(LastBox()->Caption, "Invalid Group Name");
  EXPECT_EQ(main->Vault.Groups.Count(), 1);

  OnNextModal([&](TForm* form) {
    EXPECT_EQ(form->Caption(), "New Group");
    EXPECT_EQ(icon->Label1->Text(), "Group Name:");
    icon->Edit1->SetText("  Work  ");
    SelectRowOf(icon->ListView1, 4);
    icon->ButtonOK->Click();
  });
  main->GroupNew(nullptr);
  ASSERT_EQ(mail->Count(), 1);
  TVaultGroup* work = mail->Item(0);
  EXPECT_EQ(work->Caption(), "Work");
  EXPECT_EQ(work->ImageIndex(), 4);
  TTreeNode* node = main->NodeOfGroup(work);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Text(), "Work");
  EXPECT_TRUE(node->Selected());
  EXPECT_TRUE(main->NodeOfGroup(mail)->Expanded());
  EXPECT_EQ(main->CurrentGroup, node);
  EXPECT_TRUE(main->Modified);

  OnNextModal([&](TForm* form) {
    EXPECT_EQ(form->Caption(), "Edit Group");
    EXPECT_EQ(icon->Edit1->Text(), "Work");
    icon->Edit1->SetText("Office");
    icon->ButtonOK->Click();
  });
  main->GroupChange(nullptr);
  EXPECT_EQ(work->Caption(), "Office");
  EXPECT_EQ(node->Text(), "Office");
  EXPECT_EQ(work->ImageIndex(), 4);

  // The last icon of the list (KeePass's last one) can be chosen; OK with
  // no row selected gives icon 0.
  const struct {
    int row;  // -1: the selection is cleared before OK
    int icon;
  } picks[] = {{302, 302}, {-1, 0}};
  for (const auto& pick : picks) {
    OnNextModal([&](TForm*) {
      EXPECT_EQ(icon->ListView1->Count(), 303);
      if (pick.row >= 0)
        SelectRowOf(icon->ListView1, pick.row);
      else
        icon->ListView1->ClearSelection();
      icon->ButtonOK->Click();
    });
    main->GroupChange(nullptr);
    EXPECT_EQ(work->ImageIndex(), pick.icon) << pick.row;
    EXPECT_EQ(node->ImageIndex(), pick.icon) << pick.row;
  }
}

TEST_F(EntriesFixture, InPlaceGroupRenameRefusesAColonAndIgnoresABlankName) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  main->FillGroupTree();
  SelectGroup(mail);
  HWND tree = main->TreeView1->Handle();
  struct Case {
    const char* typed;
    const char* name;
    bool refused;
  };
  for (const Case& c : {Case{"Mail:Old", "Mail", true}, Case{"  ", "Mail", false}, Case{" Inbox ", "Inbox", false}}) {
    boxes.clear();
    SetFocus(tree);
    HWND edit = reinterpret_cast<HWND>(
        SendMessageA(tree, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(main->NodeOfGroup(mail)->ItemId())));
    ASSERT_NE(edit, nullptr) << c.typed;
    SetWindowTextA(edit, c.typed);
    SendMessageA(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
    app.ProcessMessages();
    EXPECT_EQ(mail->Caption(), c.name) << c.typed;
    EXPECT_EQ(main->NodeOfGroup(mail)->Text(), c.name) << c.typed;
    EXPECT_EQ(!boxes.empty() && boxes.back().Text == "A group name cannot contain a colon.", c.refused) << c.typed;
  }
}

// The colon message of an in-place rename is shown while the tree is still
// ending the edit. A Windows lock arriving then empties the tree, and an
// unlock may fill it again before the message is closed, the new nodes
// perhaps on the freed items: the refused text must land on none of them.
TEST_F(EntriesFixture, ALockDuringTheColonMessageOfAnInPlaceRenameLeavesTheTreeAlone) {
  auto* settings = new TFormSettings(&app);
  settings->CheckSessionWindowsLock->SetChecked(true);
  TVaultGroup* old = AddGroup(nullptr, "Old name");
  main->FillGroupTree();
  SelectGroup(old);
  main->VaultPath = "C:\\nowhere\\Mail.qvl";
  main->Modified = true;  // a lock then drops the changes and writes no settings
  HWND tree = main->TreeView1->Handle();
  const HTREEITEM oldItem = main->NodeOfGroup(old)->ItemId();
  bool reused = false;
  answer = [&](const TMessageBoxCall& c) {
    EXPECT_EQ(c.Text, "A group name cannot contain a colon.");
    SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    EXPECT_TRUE(main->Locked);
    EXPECT_EQ(main->TreeView1->Count(), 0);
    // What an unlock leaves: another vault in the tree.
    main->Locked = false;
    AddGroup(nullptr, "Mail");
    AddGroup(nullptr, "Bank");
    main->FillGroupTree();
    for (TTreeNode* n : main->TreeView1->Nodes()) reused = reused || n->ItemId() == oldItem;
    return IDOK;
  };
  SetFocus(tree);
  HWND edit = reinterpret_cast<HWND>(SendMessageA(tree, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(oldItem)));
  ASSERT_NE(edit, nullptr);
  SetWindowTextA(edit, "a:b");
  SendMessageA(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
  app.ProcessMessages();
  answer = nullptr;
  LockRemembered = false;
  SessionLockedByWindows = false;

  ASSERT_EQ(boxes.size(), 1u);
  std::vector<std::string> shown;
  for (TTreeNode* n : main->TreeView1->Nodes()) {
    char text[64] = {};
    TVITEMA item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = n->ItemId();
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    shown.push_back(text);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"Mail", "Bank"})) << (reused ? "an item was reused" : "");
  ASSERT_EQ(main->Vault.Groups.Count(), 2);
  EXPECT_EQ(main->Vault.Groups.TopItem(0)->Caption(), "Mail");
  EXPECT_EQ(main->Vault.Groups.TopItem(1)->Caption(), "Bank");
}

TEST_F(EntriesFixture, DeletingAGroupRemovesItsSubtreeEntriesAndHotKeysOnly) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  TVaultGroup* old = AddGroup(mail, "Old");
  TVaultGroup* older = AddGroup(old, "Older");
  TVaultGroup* bank = AddGroup(nullptr, "Bank");
  AddEntry(mail, 1, "Gmail", "Ctrl+Alt+G");
  AddEntry(bank, 2, "Chase", "Ctrl+Alt+C");
  AddEntry(older, 3, "Hotmail", "Ctrl+Alt+H");
  AddEntry(old, 4, "Yahoo");
  main->FillGroupTree();
  SelectGroup(old);
  main->NodeOfGroup(old)->Expand(true);
  main->ExpandCollapseAllGroups1Click(nullptr);  // the first use collapses
  EXPECT_FALSE(main->NodeOfGroup(old)->Expanded());
  SelectGroup(old);

  answer = [](const TMessageBoxCall&) { return IDYES; };
  main->GroupDelete(nullptr);
  EXPECT_EQ(LastBox()->Text, "Delete the group \"Old\" and all of its subgroups?");
  EXPECT_EQ(LastBox()->Caption, "Delete Group");
  std::vector<std::string> left;
  for (const auto& e : main->Vault.Entries) left.push_back(e->title);
  EXPECT_EQ(left, (std::vector<std::string>{"Gmail", "Chase"}));
  EXPECT_EQ(hotKeys->ids, (std::set<int>{EntryHotKeyId(1), EntryHotKeyId(2)}));
  EXPECT_EQ(main->Vault.Groups.Count(), 2);
  EXPECT_EQ(main->TreeView1->Count(), 2);
  EXPECT_EQ(main->NodeOfGroup(old), nullptr);
  EXPECT_EQ(main->CurrentGroup, main->TreeView1->Selected());

  SelectGroup(bank);
  main->GroupDelete(nullptr);
  EXPECT_EQ(LastBox()->Text, "Delete the group \"Bank\"?");
  EXPECT_EQ(main->Vault.Entries.size(), 1u);
}

// The group commands with no group selected, and a double-click in the list
// on no row, say what is missing and change nothing.
TEST_F(EntriesFixture, CommandsWithNothingSelectedSayWhatIsMissing) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  TVaultEntry* e = AddEntry(mail, 1, "Gmail");
  main->FillGroupTree();
  SendMessageA(main->TreeView1->Handle(), TVM_SELECTITEM, TVGN_CARET, 0);
  ASSERT_EQ(main->TreeView1->Selected(), nullptr);
  const std::string before = BuildVaultText(main->Vault);
  RefuseEveryDialogAndAnswerYes();
  const struct {
    const char* caption;
    std::function<void()> run;
  } commands[] = {
      {"Edit Group", [&] { main->GroupChange(nullptr); }},
      {"Delete Group", [&] { main->GroupDelete(nullptr); }},
  };
  for (const auto& c : commands) {
    boxes.clear();
    c.run();
    ASSERT_EQ(boxes.size(), 1u) << c.caption;
    EXPECT_EQ(boxes[0].Text, "Please select a group first.") << c.caption;
    EXPECT_EQ(boxes[0].Caption, c.caption);
    EXPECT_EQ(boxes[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION)) << c.caption;
    EXPECT_EQ(BuildVaultText(main->Vault), before) << c.caption;
    EXPECT_EQ(main->TreeView1->Count(), 1) << c.caption;
  }
  TForm::ModalHook = nullptr;

  // A double-click below the rows: no entry to open.
  SelectGroup(mail);
  ASSERT_EQ(main->ListView1->Count(), 1);
  HWND list = main->ListView1->Handle();
  RECT row{};
  row.left = LVIR_BOUNDS;
  SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  boxes.clear();
  SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(row.left + 20, row.bottom + 40));
  app.ProcessMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "Please select an entry first.");
  EXPECT_EQ(boxes[0].Caption, "Open Password Entry");
  EXPECT_EQ(boxes[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_FALSE(main->EntryOpen);

  // On a row (selected by the first click) it opens the entry with its
  // password masked.
  SelectRow(0);
  boxes.clear();
  main->EditPassword->SetPasswordChar('\0');
  SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(row.left + 20, (row.top + row.bottom) / 2));
  app.ProcessMessages();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(main->CurrentEntry, e);
  EXPECT_TRUE(main->EntryOpen);
  EXPECT_EQ(main->EditTitle->Text(), "Gmail");
  EXPECT_EQ(main->EditPassword->PasswordChar(), '*');
}

// ---- Read-only vaults -------------------------------------------------------------------

// Every editing command on a read-only vault shows the read-only message and
// changes nothing; in-place edits are refused silently, the old text back.
TEST_F(EntriesFixture, ReadOnlyVaultsRefuseEveryEditingCommand) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  TVaultEntry* e = AddEntry(mail, 1, "Gmail", "Ctrl+Alt+G");
  main->FillGroupTree();
  SelectGroup(mail);
  SelectRow(0);
  ASSERT_EQ(main->CurrentEntry, e);
  main->Modified = false;
  main->ReadOnly = true;
  const std::string before = BuildVaultText(main->Vault);
  RefuseEveryDialogAndAnswerYes();
  const struct {
    const char* name;
    std::function<void()> run;
  } commands[] = {
      {"GroupNew", [&] { main->GroupNew(nullptr); }},
      {"GroupChange", [&] { main->GroupChange(nullptr); }},
      {"GroupDelete", [&] { main->GroupDelete(nullptr); }},
      {"EntryNew", [&] { main->EntryNew(nullptr); }},
      {"EntryDelete", [&] { main->EntryDelete(nullptr); }},
      {"CheckHideClick", [&] { main->CheckHideClick(nullptr); }},
      {"ButtonIconClick", [&] { main->ButtonIconClick(nullptr); }},
      {"ButtonGeneratePasswordClick", [&] { main->ButtonGeneratePasswordClick(nullptr); }},
  };
  for (const auto& c : commands) {
    boxes.clear();
    c.run();
    ASSERT_EQ(boxes.size(), 1u) << c.name;
    EXPECT_EQ(boxes[0].Text, "This vault was opened read-only.\r\n\r\nUse Save As to create an editable copy.")
        << c.name;
    EXPECT_EQ(boxes[0].Caption, "Read-only vault") << c.name;
    EXPECT_EQ(boxes[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION)) << c.name;
    EXPECT_EQ(BuildVaultText(main->Vault), before) << c.name;
    EXPECT_FALSE(e->hiddenNotes) << c.name;
    EXPECT_EQ(main->TreeView1->Count(), 1) << c.name;
    EXPECT_EQ(main->CurrentEntry, e) << c.name;
    EXPECT_EQ(hotKeys->ids, std::set<int>{EntryHotKeyId(1)}) << c.name;
    EXPECT_FALSE(main->Modified) << c.name;
  }
  TForm::ModalHook = nullptr;
  boxes.clear();

  // The in-place group rename puts the old name back.
  HWND tree = main->TreeView1->Handle();
  SetFocus(tree);
  HWND edit = reinterpret_cast<HWND>(
      SendMessageA(tree, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(main->NodeOfGroup(mail)->ItemId())));
  ASSERT_NE(edit, nullptr);
  SetWindowTextA(edit, "Inbox");
  SendMessageA(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
  app.ProcessMessages();
  EXPECT_EQ(mail->Caption(), "Mail");
  EXPECT_EQ(main->NodeOfGroup(mail)->Text(), "Mail");

  // So does the list's title edit, started here as F2 would on a writable
  // vault.
  HWND list = main->ListView1->Handle();
  SetFocus(list);
  main->TitleEditAllowed = true;
  edit = reinterpret_cast<HWND>(SendMessageA(list, LVM_EDITLABELA, 0, 0));
  main->TitleEditAllowed = false;
  ASSERT_NE(edit, nullptr);
  SetWindowTextA(edit, "Proton");
  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
  app.ProcessMessages();
  EXPECT_EQ(e->title, "Gmail");
  EXPECT_EQ(CellText(0, 0), "Gmail");
  EXPECT_EQ(main->EditTitle->Text(), "Gmail");

  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(BuildVaultText(main->Vault), before);
  EXPECT_FALSE(main->Modified);
  main->ReadOnly = false;
}

// ---- Search ---------------------------------------------------------------------------

TEST_F(EntriesFixture, TypingASearchFiltersTitlesAndLeavingItShowsTheGroup) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  TVaultGroup* bank = AddGroup(nullptr, "Bank");
  AddEntry(mail, 1, "Gmail Work");
  AddEntry(mail, 2, "Gmail Home");
  AddEntry(bank, 3, "Work Bank");
  main->FillGroupTree();
  SelectGroup(mail);

  struct Case {
    const char* query;
    std::vector<std::string> titles;
  };
  const Case cases[] = {
      {"work", {"Gmail Work", "Work Bank"}},
      {"mail\twork", {"Gmail Work"}},
      {"work gm", {"Gmail Work"}},
      {"   ", {"Gmail Work", "Gmail Home", "Work Bank"}},
      {"home-user", {}},  // user names are not searched
  };
  for (const Case& c : cases) {
    Type(main->QEdit1, c.query);
    EXPECT_TRUE(main->SearchActive) << c.query;
    EXPECT_EQ(ListTitles(), c.titles) << c.query;
  }
  // A found entry selected moves the tree to its group, without leaving
  // the search.
  Type(main->QEdit1, "bank");
  SelectRow(0);
  EXPECT_TRUE(main->SearchActive);
  EXPECT_TRUE(main->NodeOfGroup(bank)->Selected());
  EXPECT_EQ(main->EditTitle->Text(), "Work Bank");

  // Open Category leaves the search for the entry's group.
  main->OpenCategory1Click(nullptr);
  EXPECT_FALSE(main->SearchActive);
  EXPECT_EQ(main->QEdit1->Text(), "");
  EXPECT_EQ(ListTitles(), std::vector<std::string>{"Work Bank"});
  EXPECT_EQ(main->CurrentEntry->title, "Work Bank");

  Type(main->QEdit1, "gmail");
  SelectGroup(mail);
  EXPECT_FALSE(main->SearchActive);
  EXPECT_EQ(main->QEdit1->Text(), "");
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"Gmail Work", "Gmail Home"}));

  // A click on the group already selected leaves the search as well.
  Type(main->QEdit1, "bank");
  ASSERT_TRUE(main->SearchActive);
  ASSERT_EQ(ListTitles(), std::vector<std::string>{"Work Bank"});
  ClickNode(mail);
  EXPECT_FALSE(main->SearchActive);
  EXPECT_EQ(main->QEdit1->Text(), "");
  EXPECT_EQ(main->CurrentGroup, main->NodeOfGroup(mail));
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"Gmail Work", "Gmail Home"}));

  // An entry renamed so that it no longer matches leaves the found rows.
  Type(main->QEdit1, "gmail");
  SelectRow(0);
  TVaultEntry* renamed = main->CurrentEntry;
  ASSERT_NE(renamed, nullptr);
  ASSERT_EQ(renamed->title, "Gmail Work");
  Type(main->EditTitle, "Outlook Work");
  EXPECT_EQ(renamed->title, "Outlook Work");
  EXPECT_TRUE(main->SearchActive);
  EXPECT_EQ(ListTitles(), std::vector<std::string>{"Gmail Home"});
}

TEST_F(EntriesFixture, CtrlFSelectsTheWholeSearchTextAfterTheTimerAndEnterSearches) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  AddEntry(mail, 1, "Gmail");
  main->FillGroupTree();
  SelectGroup(mail);
  {
    // Written by the program: no search starts.
    main->SearchEditGuard = true;
    main->QEdit1->SetText("gma");
    main->SearchEditGuard = false;
  }
  main->ListView1->SetFocus();
  main->SearchEntry1Click(nullptr);
  EXPECT_FALSE(main->SearchActive);
  EXPECT_TRUE(main->TimerSelectAllSearch->Enabled());
  SendMessageA(main->QEdit1->Handle(), EM_SETSEL, 1, 1);  // the caret moved meanwhile
  Pump(400);
  EXPECT_FALSE(main->TimerSelectAllSearch->Enabled());
  DWORD start = 0, end = 0;
  SendMessageA(main->QEdit1->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 3u);

  // Enter in the search edit searches.
  PostMessageA(main->QEdit1->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  app.ProcessMessages();
  EXPECT_TRUE(main->SearchActive);
  EXPECT_EQ(ListTitles(), std::vector<std::string>{"Gmail"});
}

// ---- Clipboard and URL ------------------------------------------------------------------

// The clipboard's text and whether the three markers that keep it out of
// history, cloud and monitors are there with the value 0.
struct ClipboardSeen {
  std::string text;
  std::u16string wide;  // CF_UNICODETEXT, what a paste into most programs gives
  bool marked = false;
};
ClipboardSeen ReadClipboard(HWND owner) {
  ClipboardSeen seen;
  if (!OpenClipboard(owner)) return seen;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      seen.text = p;
      GlobalUnlock(h);
    }
  }
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
      seen.wide = p;
      GlobalUnlock(h);
    }
  }
  seen.marked = true;
  for (const char* name : {SecretClipboard::kExcludeFromMonitoring, SecretClipboard::kCanIncludeInHistory,
                           SecretClipboard::kCanUploadToCloud}) {
    HANDLE h = GetClipboardData(RegisterClipboardFormatA(name));
    const auto* v = h ? static_cast<const DWORD*>(GlobalLock(h)) : nullptr;
    if (!v || *v != 0) seen.marked = false;
    if (v) GlobalUnlock(h);
  }
  CloseClipboard();
  return seen;
}

TEST_F(EntriesFixture, CopyButtonsPutMarkedTextOnTheClipboardAndOpenUrlUsesTheOpener) {
  TVaultGroup* g = AddGroup(nullptr, "Mail");
  TVaultEntry* e = AddEntry(g, 1, "Gmail");
  // A character outside the code page is held in the notes as a token.
  e->notes = "pin [[U+263A]]\r\nx";
  main->FillGroupTree();
  SelectGroup(g);
  SelectRow(0);
  struct Case {
    TQToggleBitBtn* button;
    std::string text;
    std::u16string wide;
  };
  const Case cases[] = {
      {main->ButtonCopyTitle, "Gmail", u"Gmail"},
      {main->ButtonCopyUsername2, "Gmail-user", u"Gmail-user"},
      {main->ButtonCopyPassword, "Gmail-pw", u"Gmail-pw"},
      {main->ButtonCopyUrl, "https://Gmail.example", u"https://Gmail.example"},
      // The notes copy as the editor's own copy does: the token's character,
      // and the code page's nearest for the programs that read only CF_TEXT.
      {main->ButtonCopyNotes, "pin ?\r\nx", u"pin \u263A\r\nx"},
  };
  for (const Case& c : cases) {
    c.button->Click();
    const ClipboardSeen seen = ReadClipboard(main->Handle());
    EXPECT_EQ(seen.text, c.text) << c.button->Name();
    EXPECT_TRUE(seen.wide == c.wide) << c.button->Name();
    EXPECT_TRUE(seen.marked) << c.button->Name();
  }
  // Hidden notes copy as they are shown.
  e->hiddenNotes = true;
  main->ShowEntry(e);
  main->ButtonCopyNotes->Click();
  const ClipboardSeen hidden = ReadClipboard(main->Handle());
  EXPECT_EQ(hidden.text, "[HIDDEN]");
  EXPECT_TRUE(hidden.wide == u"[HIDDEN]");
  EXPECT_TRUE(hidden.marked);

  std::vector<std::string> opened;
  AppSeams().OpenUrl = [&](const std::string& url) {
    opened.push_back(url);
    return true;
  };
  Type(main->EditUrl, "  https://mail.example/login ");
  main->ButtonOpenUrl->Click();
  Type(main->EditUrl, "   ");
  main->OpenUrl1Click(nullptr);
  EXPECT_EQ(opened, std::vector<std::string>{"https://mail.example/login"});
}

// ---- Icon, generated password and the tool-bar edit ------------------------------------

TEST_F(EntriesFixture, IconAndGeneratedPasswordGoIntoTheRecordUnlessTheVaultWasLockedMeanwhile) {
  TVaultGroup* g = AddGroup(nullptr, "Mail");
  TVaultEntry* e = AddEntry(g, 1, "Gmail");
  main->FillGroupTree();
  SelectGroup(g);
  SelectRow(0);

  OnNextModal([&](TForm* form) {
    EXPECT_EQ(form->Caption(), "Select Entry Icon");
    EXPECT_FALSE(icon->GroupMode);
    SelectRowOf(icon->ListView1, 9);
    icon->ButtonOK->Click();
  });
  main->ButtonIcon->Click();
  EXPECT_EQ(e->icon, 9);
  EXPECT_EQ(main->EditedIcon, 9);

  // The question comes first; No keeps the password.
  answer = [](const TMessageBoxCall&) { return IDNO; };
  main->ButtonGeneratePassword->Click();
  EXPECT_EQ(LastBox()->Caption, "Replace password?");
  EXPECT_EQ(e->password, "Gmail-pw");
  answer = [](const TMessageBoxCall&) { return IDYES; };
  std::string generated;
  OnNextModal([&](TForm*) {
    EXPECT_TRUE(pwd->GenerateMode);
    generated = pwd->EditPwd->Text();
    pwd->ButtonOK->Click();
  });
  main->ButtonGeneratePassword->Click();
  EXPECT_FALSE(pwd->GenerateMode);
  EXPECT_FALSE(generated.empty());
  EXPECT_EQ(e->password, generated);
  EXPECT_EQ(main->EditPassword->Text(), generated);
  EXPECT_EQ(pwd->EditPwd->Text(), "");

  // A lock while the dialog is up: the freed record is not touched.
  OnNextModal([&](TForm*) {
    SelectRowOf(icon->ListView1, 3);
    LockNow();
    icon->ButtonOK->Click();
  });
  main->ButtonIcon->Click();
  EXPECT_EQ(main->EditedIcon, 9);  // the pick made during the lock is dropped
  EXPECT_TRUE(main->Vault.Entries.empty());
  main->Locked = false;
}

TEST_F(EntriesFixture, ToolBarEditSwitchesWithADoubleClickAndCopiesMarked) {
  main->ControlBar1DblClick(main->ControlBar1);
  EXPECT_TRUE(main->SearchMode);
  EXPECT_TRUE(IsWindowVisible(main->Edit1->Handle()));
  EXPECT_FALSE(IsWindowVisible(main->QEdit1->Handle()));
  main->Edit1->SetText("scratch");
  main->ToolCopy->Click();
  const ClipboardSeen seen = ReadClipboard(main->Handle());
  EXPECT_EQ(seen.text, "scratch");
  EXPECT_TRUE(seen.marked);
  main->Locked = true;  // locked: the search edit comes back and stays
  main->ControlBar1DblClick(main->ControlBar1);
  EXPECT_TRUE(main->SearchMode);
  main->SetSearchMode(true);
  EXPECT_FALSE(main->SearchMode);
  main->Locked = false;
  main->ControlBar1DblClick(main->ControlBar1);
  EXPECT_TRUE(main->SearchMode);
  main->ControlBar1DblClick(main->ControlBar1);
  EXPECT_FALSE(main->SearchMode);
}

// ---- Speed and a picture -----------------------------------------------------------------

// Not an assertion: prints how long the list takes to fill for a group of
// 10,000 entries and for search keystrokes over 100,000 entries.
TEST_F(EntriesFixture, ListFillTimesForLargeVaults) {
  TVaultGroup* big = AddGroup(nullptr, "Big");
  TVaultGroup* rest = AddGroup(nullptr, "Rest");
  for (int i = 1; i <= 100000; ++i) {
    auto e = std::make_unique<TVaultEntry>();
    e->id = i;
    e->group = i <= 10000 ? big : rest;
    e->title = "Entry " + std::to_string(i) + (i % 10 == 0 ? " mail" : "");
    e->username = "user" + std::to_string(i);
    e->url = "https://site" + std::to_string(i) + ".example";
    e->notes = "notes";
    main->Vault.Entries.push_back(std::move(e));
  }
  main->FillGroupTree();
  using Clock = std::chrono::steady_clock;
  auto ms = [](Clock::time_point a) {
    return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
  };
  auto t = Clock::now();
  SelectGroup(big);
  app.ProcessMessages();
  const double group = ms(t);
  EXPECT_EQ(main->ListView1->Count(), 10000);
  std::printf("[ speed ] select a group of 10,000 entries: %.1f ms\n", group);
  for (const char* query : {"m", "ma", "mail", "mail 9", "", "e"}) {
    t = Clock::now();
    Type(main->QEdit1, query);
    app.ProcessMessages();
    std::printf("[ speed ] search keystroke \"%s\" over 100,000 entries: %d rows, %.1f ms\n", query,
                main->ListView1->Count(), ms(t));
  }
  // Structural changes rewrite the vault text into the hidden memo.
  t = Clock::now();
  main->BuildVaultText();
  std::printf("[ speed ] vault text of 100,000 entries into the memo: %.1f ms\n", ms(t));
}

TEST_F(EntriesFixture, ScreenshotOfASmallVault) {
  TVaultGroup* personal = AddGroup(nullptr, "Personal", 3);
  TVaultGroup* mail = AddGroup(personal, "Mail", 7);
  AddGroup(nullptr, "Work", 12);
  AddEntry(mail, 1, "Gmail");
  AddEntry(mail, 2, "Proton Mail");
  AddEntry(personal, 3, "Bank");
  main->FillGroupTree();
  main->NodeOfGroup(personal)->Expand(true);
  SelectGroup(mail);
  SelectRow(1);
  Pump(300);
  const std::string png = harness::SaveScreenshot(main->Handle(), "main-window-vault");
  EXPECT_FALSE(png.empty());
}

// The details panel keeps its share of the window's height through resizes,
// never below 170 pixels and never leaving the list less than 80.
TEST_F(EntriesFixture, DetailsPanelKeepsItsShareOfTheHeight) {
  auto area = [&] { return main->ListView1->Height() + main->Splitter2->Height() + main->PanelDetails->Height(); };
  const int ch0 = area();
  ASSERT_GT(ch0, 0);
  const double ratio = static_cast<double>(main->PanelDetails->Height()) / ch0;
  for (int height : {900, 1200, 420, 300, 640}) {
    main->SetBounds(main->Left(), main->Top(), main->Width(), height);
    Pump(20);
    const int ch = area();
    const int upper = std::max(ch - main->Splitter2->Height() - 80, 170);
    EXPECT_EQ(main->PanelDetails->Height(), std::clamp(static_cast<int>(ch * ratio + 0.5), 170, upper))
        << "window height " << height;
  }
}

// Growing the window step by step leaves nothing of the old width on the
// screen: the list header right of its last column is one plain band (no
// separator of an earlier width), and the status bar shows one size grip.
TEST_F(EntriesFixture, ResizingRepaintsTheListHeaderAndTheStatusBar) {
  main->SetBounds(20, 20, 1000, 640);
  Pump(200);
  for (int width = 1020; width <= 1200; width += 30) {
    main->SetBounds(20, 20, width, 640);
    // Only the window's own painting runs between the steps, as while the
    // user drags the frame.
    UpdateWindow(main->Handle());
  }
  Pump(100);
  int w = 0, h = 0;
  std::vector<std::uint32_t> pixels;
  ASSERT_TRUE(harness::CaptureWindow(main->Handle(), w, h, pixels));
  RECT window{};
  GetWindowRect(main->Handle(), &window);
  auto at = [&](int screenX, int screenY) {
    return pixels[static_cast<std::size_t>(screenY - window.top) * static_cast<std::size_t>(w) +
                  static_cast<std::size_t>(screenX - window.left)] & 0xFFFFFF;
  };
  HWND header = reinterpret_cast<HWND>(SendMessageA(main->ListView1->Handle(), LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  const int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  ASSERT_GT(columns, 0);
  RECT last{};
  SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(columns - 1), reinterpret_cast<LPARAM>(&last));
  MapWindowPoints(header, nullptr, reinterpret_cast<POINT*>(&last), 2);
  RECT band{};
  GetWindowRect(header, &band);
  ASSERT_GT(band.right - last.right, 100) << "the list is too narrow for an empty header band";
  const int y = (band.top + band.bottom) / 2;
  const std::uint32_t plain = at(band.right - 6, y);
  int marks = 0;
  for (int x = last.right + 4; x < band.right - 6; ++x)
    if (at(x, y) != plain) ++marks;
  EXPECT_EQ(marks, 0) << "old column separators in the header";

  // The status bar: the columns of the size grip's dark dots appear only
  // at its right end.
  RECT status{};
  GetWindowRect(main->QStatus1->Handle(), &status);
  const std::uint32_t face = GetSysColor(COLOR_BTNFACE);
  const std::uint32_t faceRgb = ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF);
  int gripColumns = 0;
  for (int x = status.right - 200; x < status.right - 20; ++x) {
    bool mark = false;
    for (int yy = status.bottom - 12; yy < status.bottom - 2; ++yy)
      if (at(x, yy) != faceRgb) mark = true;
    if (mark) ++gripColumns;
  }
  EXPECT_EQ(gripColumns, 0) << "old size grips in the status bar";
  EXPECT_FALSE(harness::SaveScreenshot(main->Handle(), "main-window-after-resize").empty());
}

// The notes field is the notes editor: tokens travel unchanged between the
// record and the editor, switching entries starts a fresh undo history, and
// typed notes reach the record.
TEST_F(EntriesFixture, NotesFieldIsTheEditor) {
  TVaultGroup* dev = AddGroup(nullptr, "Dev", 5);
  TVaultEntry* api = AddEntry(dev, 1, "API");
  TVaultEntry* db = AddEntry(dev, 2, "Database");
  api->notes = "// rotate yearly [[U+263A]]\r\nfunction token(key) {\r\n  return \"k-\" + key;\r\n}";
  db->notes = "port 5432";
  main->FillGroupTree();
  SelectGroup(dev);
  SelectRow(0);
  Pump(100);
  EXPECT_EQ(main->MemoNotes->Text(), api->notes);
  EXPECT_EQ(main->MemoNotes->ControlText().find('\n'), std::string::npos);

  SelectRow(1);
  Pump(50);
  EXPECT_EQ(main->MemoNotes->Text(), "port 5432");
  EXPECT_FALSE(main->MemoNotes->Undo());
  EXPECT_EQ(main->MemoNotes->Text(), "port 5432");
  EXPECT_EQ(api->notes.find("port"), std::string::npos);

  Type(main->MemoNotes, "port 6543");
  EXPECT_EQ(db->notes, "port 6543");
  EXPECT_TRUE(main->Modified);

  // Colouring is off in the notes field until the user zooms it; switched
  // on here so that the picture shows the coloured code and the glyph.
  SelectRow(0);
  main->MemoNotes->SetSyntaxHighlighting(true);
  Pump(400);
  const std::string png = harness::SaveScreenshot(main->Handle(), "main-window-notes");
  EXPECT_FALSE(png.empty());
  EXPECT_EQ(main->MemoNotes->Text(), api->notes);
}

// Tab in the details panel goes down the fields as they stand (title, user
// name, password, URL, then the rest), and reaches the buttons only after
// the last field: a key typed after Tab lands in the next field.
TEST_F(EntriesFixture, TabWalksTheDetailFieldsTopToBottomBeforeTheButtons) {
  TVaultGroup* mail = AddGroup(nullptr, "Mail");
  AddEntry(mail, 1, "Gmail");
  main->FillGroupTree();
  SelectGroup(mail);
  SelectRow(0);
  ASSERT_TRUE(main->EntryOpen);
  SetForegroundWindow(main->Handle());
  main->EditTitle->SetFocus();
  Pump(50);
  ASSERT_EQ(GetFocus(), main->EditTitle->Handle());

  // The panel's control a window belongs to (the combo box's edit is its
  // combo box's), by name.
  auto nameOf = [this](HWND w) -> std::string {
    HWND panel = main->PanelDetails->Handle();
    while (w && GetParent(w) != panel) w = GetParent(w);
    TWinControl* c = w ? TWinControl::FromHandle(w) : nullptr;
    return c ? c->Name() : "<outside the panel>";
  };
  // Tab pressed in the focused field, through the program's message loop.
  for (const char* next : {"EditUser", "EditPassword", "EditUrl", "EditAutomate"}) {
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    PostMessageA(GetFocus(), WM_KEYUP, VK_TAB, 0xC0000001);
    Pump(30);
    EXPECT_EQ(nameOf(GetFocus()), next);
  }
  // The whole round of the panel's tab stops, as the system walks them.
  std::vector<std::string> round{nameOf(main->EditTitle->Handle())};
  for (HWND w = main->EditTitle->Handle(); round.size() < 40;) {
    w = GetNextDlgTabItem(main->Handle(), w, FALSE);
    if (!w || nameOf(w) == "<outside the panel>" || w == main->EditTitle->Handle()) break;
    round.push_back(nameOf(w));
  }
  EXPECT_EQ(round, (std::vector<std::string>{"EditTitle", "EditUser", "EditPassword", "EditUrl", "EditAutomate",
                                             "EditShortcut", "MemoNotes", "ButtonIcon", "ButtonCopyTitle",
                                             "ButtonCopyUsername2", "ButtonCopyPassword", "ButtonGeneratePassword",
                                             "ButtonCopyUrl", "ButtonOpenUrl", "ButtonAutomate", "ButtonCopyNotes"}));
}

}  // namespace
