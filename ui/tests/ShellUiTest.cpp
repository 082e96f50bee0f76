// The window layer of the program shell under Wine: the modal and message
// box hooks, dialog keys and menu shortcuts, menus, check boxes and radio
// groups, edits and combo boxes, the tree and list views, timers, the
// clipboard and the tray icon.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Platform.h"
#include "ui/Application.h"
#include "ui/Buttons.h"
#include "ui/Clipboard.h"
#include "ui/ComCtrls.h"
#include "ui/Dialogs.h"
#include "ui/EditCtrls.h"
#include "ui/ExtCtrls.h"
#include "ui/Form.h"
#include "ui/Menus.h"
#include "ui/TrayIcon.h"

namespace {

// A form that records the dialog keys and shortcuts it is offered.
class TRecordingForm : public TForm {
 public:
  explicit TRecordingForm(TComponent* owner) : TForm(owner, "TShellUiTestForm") {}
  std::vector<WORD> dialogKeys, shortCuts;
  bool takeDialogKeys = true;
  TMainMenu* menu = nullptr;
  bool DialogKey(WORD key, unsigned) override {
    dialogKeys.push_back(key);
    return takeDialogKeys;
  }
  bool IsShortCut(WORD key, unsigned shift) override {
    shortCuts.push_back(key);
    return menu && menu->IsShortCut(key, shift);
  }
};

struct UiFixture : ::testing::Test {
  TApplication app;
  TRecordingForm* form = nullptr;
  void SetUp() override {
    app.Initialize();
    form = new TRecordingForm(&app);
    app.SetMainForm(form);
    form->SetBounds(50, 50, 400, 300);
    form->HandleNeeded();
  }
  void TearDown() override {
    TForm::ModalHook = nullptr;
    MessageBoxHook = nullptr;
    TOpenDialog::ExecuteHook = nullptr;
  }
  // Posts a key to a window and runs the message loop once over it.
  void PostKey(HWND wnd, WORD key) {
    PostMessageA(wnd, WM_KEYDOWN, key, 1);
    app.ProcessMessages();
  }
};

// ---- Hooks --------------------------------------------------------------------

TEST_F(UiFixture, ModalHookRunsInsideTheModalRunAndEndsIt) {
  auto* dialog = new TForm(&app, "TShellUiTestDialog");
  int shows = 0;
  dialog->OnShow = [&](TObject*) { ++shows; };
  bool wasModal = false, wasVisible = false;
  int nested = -1;
  TForm::ModalHook = [&](TForm* f) {
    wasModal = f->Modal();
    wasVisible = IsWindowVisible(f->Handle()) != FALSE;
    nested = f->ShowModal();  // a second run of the same form is refused
    f->SetModalResult(mrOk);
  };
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_TRUE(wasModal);
  EXPECT_TRUE(wasVisible);
  EXPECT_EQ(nested, mrCancel);
  EXPECT_EQ(shows, 1);
  EXPECT_FALSE(IsWindowVisible(dialog->Handle()));
  EXPECT_FALSE(dialog->Modal());
}

TEST_F(UiFixture, MessageBoxHookAnswersEveryBoxIncludingTheExceptionDisplay) {
  std::vector<TMessageBoxCall> calls;
  MessageBoxHook = [&](const TMessageBoxCall& c) {
    calls.push_back(c);
    return IDNO;
  };
  EXPECT_EQ(UiMessageBox(form->Handle(), "Save?", "Question", MB_YESNO), IDNO);
  app.SetTitle("Quorvane Vaultline");
  app.ShowException(std::runtime_error("boom"));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].Owner, form->Handle());
  EXPECT_EQ(calls[0].Text, "Save?");
  EXPECT_EQ(calls[0].Caption, "Question");
  EXPECT_EQ(calls[0].Flags, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(calls[1].Text, "boom");
  EXPECT_EQ(calls[1].Caption, "Quorvane Vaultline");
}

TEST_F(UiFixture, FileDialogHookPicksTheFile) {
  TOpenDialog open(&app);
  open.SetTitle("Open Vaultline File");
  open.SetFilter("Quorvane Vaultline (*.qvl)|*.qvl");
  std::string seenTitle;
  TOpenDialog::ExecuteHook = [&](TOpenDialog& d) {
    seenTitle = d.Title();
    EXPECT_FALSE(d.IsSaveDialog());
    d.SetFileName("C:\\v.qvl");
    return true;
  };
  ASSERT_TRUE(open.Execute(form->Handle()));
  EXPECT_EQ(open.FileName(), "C:\\v.qvl");
  EXPECT_EQ(seenTitle, "Open Vaultline File");
  TOpenDialog::ExecuteHook = [](TOpenDialog&) { return false; };
  TSaveDialog save(&app);
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(FilterToSystem("A|*.a|B|*.b"), std::string("A\0*.a\0B\0*.b\0\0", 13));
}

TEST_F(UiFixture, DialogKeysReachTheFormUnlessTheControlWantsThem) {
  auto* edit = new TEditBox(form);
  edit->SetParent(form);
  edit->SetBounds(10, 10, 100, 22);
  edit->Show();
  auto* memo = new TMemo(form);
  memo->SetParent(form);
  memo->SetBounds(10, 40, 100, 60);
  memo->Show();
  PostKey(edit->Handle(), VK_ESCAPE);
  PostKey(edit->Handle(), VK_RETURN);
  PostKey(memo->Handle(), VK_RETURN);  // a memo takes Enter and Esc itself
  PostKey(memo->Handle(), VK_ESCAPE);
  PostKey(edit->Handle(), 'A');        // not a dialog key
  ASSERT_EQ(form->dialogKeys.size(), 2u);
  EXPECT_EQ(form->dialogKeys[0], VK_ESCAPE);
  EXPECT_EQ(form->dialogKeys[1], VK_RETURN);
  // Every key down is offered as a shortcut first.
  EXPECT_EQ(form->shortCuts.size(), 5u);
}

// ---- Menus ------------------------------------------------------------------

TEST_F(UiFixture, MenusShowCaptionsShortcutsAndStatesAndDispatchCommands) {
  auto* menu = new TMainMenu(form);
  form->menu = menu;
  auto* file = menu->Items()->AddNew(form, "File1", "&File");
  int saves = 0, exits = 0;
  auto* save = file->AddNew(form, "Save1", "Save", [&](TObject*) { ++saves; }, scCtrl | 'S');
  file->AddNew(form, "N1", "-");
  auto* exit = file->AddNew(form, "Exit1", "Exit", [&](TObject*) { ++exits; });
  menu->AttachTo(form->Handle());

  HMENU bar = GetMenu(form->Handle());
  ASSERT_EQ(bar, menu->Handle());
  HMENU sub = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(sub), 3);
  char text[64] = {};
  GetMenuStringA(sub, 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "Save\tCtrl+S");

  // A menu command reaches the item through the form.
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(exit->Command(), 0), 0);
  EXPECT_EQ(exits, 1);
  // Ctrl+S clicks Save; a disabled Save is neither shown enabled nor clicked.
  EXPECT_TRUE(menu->IsShortCut('S', 4));
  EXPECT_FALSE(menu->IsShortCut('S', 0));
  EXPECT_EQ(saves, 1);
  save->SetEnabled(false);
  EXPECT_TRUE(GetMenuState(sub, save->Command(), MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(menu->IsShortCut('S', 4));
  EXPECT_FALSE(TMenuItem::DispatchCommand(save->Command()));
  EXPECT_EQ(saves, 1);
  // Hidden items leave the menu; a renamed item shows its new caption.
  exit->SetVisible(false);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 0)), 2);
  save->SetCaption("Store");
  GetMenuStringA(GetSubMenu(bar, 0), 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "Store\tCtrl+S");

  EXPECT_EQ(ShortCutToText(scCtrl | scShift | VK_F5), "Ctrl+Shift+F5");
  EXPECT_EQ(ShortCutToText(scNone), "");
}

// ---- Check boxes and radio buttons ------------------------------------------

TEST_F(UiFixture, RadioButtonsUncheckTheirSiblingsOnly) {
  auto* panelA = new TPanel(form);
  panelA->SetParent(form);
  auto* panelB = new TPanel(form);
  panelB->SetParent(form);
  std::vector<TRadioButton*> a, b;
  int clicks = 0;
  for (int i = 0; i < 3; ++i) {
    a.push_back(new TRadioButton(form));
    a.back()->SetParent(panelA);
    a.back()->SetBounds(0, i * 20, 100, 20);
    a.back()->Show();
    a.back()->OnClick = [&](TObject*) { ++clicks; };
  }
  for (int i = 0; i < 2; ++i) {
    b.push_back(new TRadioButton(form));
    b.back()->SetParent(panelB);
  }
  b[0]->SetChecked(true);
  a[0]->SetChecked(true);
  a[1]->SetChecked(true);  // through the TCheckable interface the same
  EXPECT_FALSE(a[0]->Checked());
  EXPECT_TRUE(a[1]->Checked());
  EXPECT_FALSE(a[2]->Checked());
  EXPECT_TRUE(b[0]->Checked());
  EXPECT_EQ(SendMessageA(a[0]->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(a[1]->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(clicks, 2);
  // A click of the user checks the button and unchecks the group.
  SendMessageA(a[2]->Handle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(a[2]->Checked());
  EXPECT_FALSE(a[1]->Checked());
  EXPECT_EQ(clicks, 3);
  TCheckable* asCheckable = a[0];
  asCheckable->SetChecked(true);
  EXPECT_FALSE(a[2]->Checked());
}

TEST_F(UiFixture, CheckBoxFollowsClicksAndReportsChanges) {
  auto* box = new TCheckBox(form);
  box->SetParent(form);
  box->SetCaption("View Password");
  box->SetBounds(10, 10, 150, 20);
  box->Show();
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  SendMessageA(box->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(box->Checked());
  box->SetChecked(true);  // no change, no click
  box->SetChecked(false);
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(clicks, 2);
}

// ---- Edits and combo boxes ---------------------------------------------------

TEST_F(UiFixture, EditBoxMasksAndClearsItsSecret) {
  auto* edit = new TEditBox(form);
  edit->SetParent(form);
  edit->SetPasswordChar('*');
  edit->Show();
  edit->SetText("secret");
  EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), '*');
  edit->SetPasswordChar('\0');
  EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), 0);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->ClearSecret();
  EXPECT_EQ(edit->Text(), "");
  EXPECT_GE(changes, 1);
  EXPECT_FALSE(SendMessageA(edit->Handle(), EM_CANUNDO, 0, 0));
  edit->SetReadOnly(true);
  EXPECT_TRUE(GetWindowLongA(edit->Handle(), GWL_STYLE) & ES_READONLY);
}

// Whether this process's memory holds text as UTF-16 anywhere but in the
// buffer the search itself makes.
bool MemoryHoldsWide(const std::string& text) {
  const std::u16string wide(text.begin(), text.end());
  const std::string_view needle(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t));
  MEMORY_BASIC_INFORMATION m{};
  for (const char* at = nullptr; VirtualQuery(at, &m, sizeof m) == sizeof m;
       at = static_cast<const char*>(m.BaseAddress) + m.RegionSize) {
    const bool readable = m.State == MEM_COMMIT && m.Protect != 0 && !(m.Protect & (PAGE_NOACCESS | PAGE_GUARD));
    if (!readable) continue;
    const std::string_view region(static_cast<const char*>(m.BaseAddress), m.RegionSize);
    for (std::size_t p = region.find(needle); p != std::string_view::npos; p = region.find(needle, p + 1))
      if (region.data() + p != needle.data()) return true;
  }
  return false;
}

// An edit that showed a long text and then a shorter one keeps nothing of the
// longer one, and after ClearSecret nothing of either: the edit keeps its
// buffer when the text gets shorter, and the end of a longer text would stay
// there behind the shorter one.
TEST_F(UiFixture, EditsLeaveNoCharacterOfALongerTextBehind) {
  struct TCase {
    const char* Name;
    std::function<TWinControl*(TForm*)> Make;
    std::function<void(TWinControl*, const std::string&)> Set;
    std::function<void(TWinControl*)> Clear;
  };
  auto editBox = [](char passwordChar) {
    return [passwordChar](TForm* owner) -> TWinControl* {
      auto* e = new TEditBox(owner);
      e->SetPasswordChar(passwordChar);
      return e;
    };
  };
  auto setEdit = [](TWinControl* c, const std::string& t) { static_cast<TEditBox*>(c)->SetText(t); };
  auto clearEdit = [](TWinControl* c) { static_cast<TEditBox*>(c)->ClearSecret(); };
  const TCase cases[] = {
      {"edit", editBox('\0'), setEdit, clearEdit},
      {"password edit", editBox('*'), setEdit, clearEdit},
      {"combo box", [](TForm* owner) -> TWinControl* { return new TComboBox(owner); },
       [](TWinControl* c, const std::string& t) { static_cast<TComboBox*>(c)->SetText(t); },
       [](TWinControl* c) { static_cast<TComboBox*>(c)->ClearSecret(); }},
  };
  int n = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string tag = std::to_string(++n);
    const std::string longStart = "QZXLongS" + tag + "JWVK", longEnd = "QZXLongE" + tag + "JWVK";
    const std::string shortStart = "QZXShortS" + tag + "JWVK", shortEnd = "QZXShortE" + tag + "JWVK";
    TWinControl* control = c.Make(form);
    control->SetParent(form);
    control->SetBounds(10, 10, 200, 24);
    control->Show();
    c.Set(control, longStart + std::string(300, 'x') + longEnd);
    ASSERT_TRUE(MemoryHoldsWide(longEnd)) << "the search does not see what the control holds";
    c.Set(control, shortStart + shortEnd);
    Platform::WipeFreedMemory();
    EXPECT_TRUE(MemoryHoldsWide(shortEnd));
    EXPECT_FALSE(MemoryHoldsWide(longStart));
    EXPECT_FALSE(MemoryHoldsWide(longEnd));
    c.Clear(control);
    Platform::WipeFreedMemory();
    EXPECT_EQ(control->Text(), "");
    EXPECT_FALSE(MemoryHoldsWide(shortStart));
    EXPECT_FALSE(MemoryHoldsWide(shortEnd));
  }
}

// Freed blocks of every heap lose what they held, however the heap keeps
// them (blocks of many sizes, from the C++ allocator and from the process
// heap as the system's controls use it), while the blocks in use keep theirs
// and the heaps stay sound. Each block has a marker at its head, where a
// heap that hands blocks out from groups keeps nothing of its own, and one
// further on, where a free list keeps nothing either.
TEST(FreedMemory, WipeLeavesNoFreedTextAndKeepsWhatIsInUse) {
  // The markers are kept in ANSI: the only UTF-16 copies are the blocks'.
  const std::string heads[2] = {"QZXhdJW", "QZXkeep"}, tails[2] = {"QZXtlJW", "QZXkept"};
  auto wide = [](const std::string& ansi) { return std::u16string(ansi.begin(), ansi.end()); };
  std::vector<std::u16string*> strings;
  std::vector<char16_t*> blocks;
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = wide(heads[i % 2]) + std::u16string(static_cast<std::size_t>(4 + i % 40 * 7), u'x') +
                                wide(tails[i % 2]) + u"xxxxxxxx";
    strings.push_back(new std::u16string(text));
    auto* block = static_cast<char16_t*>(HeapAlloc(GetProcessHeap(), 0, text.size() * sizeof(char16_t)));
    ASSERT_NE(block, nullptr);
    std::copy(text.begin(), text.end(), block);
    blocks.push_back(block);
  }
  for (std::size_t i = 0; i < strings.size(); i += 2) {
    delete strings[i];
    HeapFree(GetProcessHeap(), 0, blocks[i]);
  }
  ASSERT_TRUE(MemoryHoldsWide(heads[0]) && MemoryHoldsWide(tails[0])) << "the search does not see freed blocks";
  Platform::WipeFreedMemory();
  EXPECT_FALSE(MemoryHoldsWide(heads[0]));
  EXPECT_FALSE(MemoryHoldsWide(tails[0]));
  const std::u16string head = wide(heads[1]);
  for (std::size_t i = 1; i < strings.size(); i += 2) {
    ASSERT_EQ(strings[i]->compare(0, head.size(), head), 0);
    ASSERT_TRUE(std::equal(head.begin(), head.end(), blocks[i]));
    delete strings[i];
    HeapFree(GetProcessHeap(), 0, blocks[i]);
  }
  HANDLE heaps[64];
  const DWORD count = GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < count && i < 64; ++i) EXPECT_TRUE(HeapValidate(heaps[i], 0, nullptr));
}

TEST_F(UiFixture, ComboBoxItemsSelectionAndChange) {
  auto* combo = new TComboBox(form);
  combo->SetParent(form);
  combo->SetBounds(10, 10, 200, 24);
  combo->Show();
  for (const char* s : {"USERNAME", "USERNAME TAB PASSWORD ENTER"}) combo->AddItem(s);
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETCOUNT, 0, 0), 2);
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->ItemIndex(), 1);
  // The parent hears the selection change and hands it to the combo box.
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo->Handle()));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(combo->Text(), "USERNAME TAB PASSWORD ENTER");
  combo->SetItemIndex(-1);
  combo->SetText("");
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->ClearItems();
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETCOUNT, 0, 0), 0);
}

// ---- Tree and list views -----------------------------------------------------

TEST_F(UiFixture, TreeViewNodesOrderSelectionAndInPlaceEdit) {
  auto* tree = new TTreeView(form);
  tree->SetParent(form);
  tree->SetBounds(0, 0, 200, 200);
  tree->Show();
  TTreeNode* mail = tree->AddChild(nullptr, "Mail");
  TTreeNode* work = tree->AddChild(mail, "Work");
  TTreeNode* deep = tree->AddChild(work, "Deep");
  TTreeNode* bank = tree->AddChild(nullptr, "Bank");
  mail->SetImageIndex(12);
  ASSERT_EQ(tree->Count(), 4);
  EXPECT_EQ(tree->Nodes(), (std::vector<TTreeNode*>{mail, work, deep, bank}));
  EXPECT_EQ(deep->Level(), 2);
  EXPECT_EQ(deep->Parent(), work);
  EXPECT_EQ(bank->Index(), 1);
  EXPECT_EQ(mail->Count(), 1);
  EXPECT_EQ(mail->ImageIndex(), 12);
  EXPECT_EQ(tree->TopCount(), 2);

  std::vector<TTreeNode*> changes;
  tree->OnChange = [&](TObject*, TTreeNode* n) { changes.push_back(n); };
  tree->SetSelected(work);
  EXPECT_EQ(tree->Selected(), work);
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes.back(), work);

  // In-place edit: the handler sees the typed text and may change it.
  std::string seen;
  tree->OnEdited = [&](TObject*, TTreeNode*, std::string& text) {
    seen = text;
    text = "Office";
  };
  work->EditText();
  HWND editor = TreeView_GetEditControl(tree->Handle());
  ASSERT_NE(editor, nullptr);
  SetWindowTextA(editor, " Job ");
  TreeView_EndEditLabelNow(tree->Handle(), FALSE);
  EXPECT_EQ(seen, " Job ");
  EXPECT_EQ(work->Text(), "Office");

  // Deleting a node frees its subtree.
  mail->Delete();
  EXPECT_EQ(tree->Count(), 1);
  EXPECT_EQ(tree->Nodes(), std::vector<TTreeNode*>{bank});
  tree->Clear();
  EXPECT_EQ(tree->Count(), 0);
  EXPECT_EQ(tree->Selected(), nullptr);
}

std::string RowText(HWND list, int row, int column) {
  char buffer[256] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

TEST_F(UiFixture, ListViewRowsSelectionAndEditing) {
  auto* list = new TListView(form);
  list->SetParent(form);
  list->SetBounds(0, 0, 380, 200);
  list->AddColumn("Title", 135);
  list->AddColumn("Username", 100);
  list->Show();
  int tag1 = 1, tag2 = 2;
  TListItem* r1 = list->Add();
  r1->SetCaption("Mail");
  r1->SetSubItem(0, "alice");
  r1->SetData(&tag1);
  TListItem* r2 = list->Add();
  r2->SetCaption("Bank");
  r2->SetData(&tag2);
  ASSERT_EQ(ListView_GetItemCount(list->Handle()), 2);
  EXPECT_EQ(RowText(list->Handle(), 0, 0), "Mail");
  EXPECT_EQ(RowText(list->Handle(), 0, 1), "alice");
  EXPECT_EQ(RowText(list->Handle(), 1, 1), "");
  r1->SetCaption("Post");
  EXPECT_EQ(RowText(list->Handle(), 0, 0), "Post");
  EXPECT_EQ(list->FindData(&tag2), r2);

  std::vector<std::pair<TListItem*, bool>> events;
  list->OnSelectItem = [&](TObject*, TListItem* item, bool selected) { events.emplace_back(item, selected); };
  r2->SetSelected(true);
  EXPECT_EQ(list->Selected(), r2);
  r1->SetSelected(true);  // single selection: r2 loses it
  EXPECT_EQ(list->Selected(), r1);
  EXPECT_EQ(list->SelCount(), 1);
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front(), std::make_pair(r2, true));
  EXPECT_EQ(events.back(), std::make_pair(r1, true));

  // Editing is refused unless the handler allows it.
  bool allow = false;
  list->OnEditing = [&](TObject*, TListItem*, bool& a) { a = allow; };
  r1->EditCaption();
  EXPECT_EQ(ListView_GetEditControl(list->Handle()), nullptr);
  allow = true;
  std::string edited;
  list->OnEdited = [&](TObject*, TListItem*, std::string& text) { edited = text; };
  r1->EditCaption();
  HWND editor = ListView_GetEditControl(list->Handle());
  ASSERT_NE(editor, nullptr);
  SetWindowTextA(editor, "Postbox");
  SendMessageA(editor, WM_KEYDOWN, VK_RETURN, 0);
  app.ProcessMessages();
  EXPECT_EQ(edited, "Postbox");
  EXPECT_EQ(r1->Caption(), "Postbox");

  list->Delete(0);
  EXPECT_EQ(list->Count(), 1);
  EXPECT_EQ(RowText(list->Handle(), 0, 0), "Bank");
  list->Clear();
  EXPECT_EQ(ListView_GetItemCount(list->Handle()), 0);
}

// ---- Timers, clipboard, tray ---------------------------------------------------

TEST_F(UiFixture, TimerTicksFromTheMessageLoopUntilDisabled) {
  TTimer timer(&app);
  timer.SetEnabled(false);
  int ticks = 0;
  timer.OnTimer = [&](TObject*) { ++ticks; };
  timer.Tick();
  EXPECT_EQ(ticks, 1);
  timer.SetInterval(20);
  timer.SetEnabled(true);
  for (int waited = 0; ticks < 3 && waited < 5000; waited += 10) {
    app.ProcessMessages();
    Sleep(10);
  }
  EXPECT_GE(ticks, 3);
  timer.SetEnabled(false);
  const int stopped = ticks;
  for (int i = 0; i < 10; ++i) {
    app.ProcessMessages();
    Sleep(10);
  }
  EXPECT_EQ(ticks, stopped);
}

TEST_F(UiFixture, ClipboardTextRoundTrip) {
  ASSERT_TRUE(Clipboard::SetText("copied text"));
  EXPECT_TRUE(Clipboard::HasText());
  std::string text;
  ASSERT_TRUE(Clipboard::GetText(text));
  EXPECT_EQ(text, "copied text");
  ASSERT_TRUE(Clipboard::SetText(""));
  ASSERT_TRUE(Clipboard::GetText(text));
  EXPECT_EQ(text, "");
}

TEST_F(UiFixture, TrayIconClicksMinimizeAndRestore) {
  TTrayIcon tray(&app);
  tray.SetMainForm(form);
  tray.SetHint("Untitled - Vaultline");
  int clicks = 0;
  tray.OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  // Whether the notification area takes the icon depends on the desktop
  // (Wine's tray may be missing); the window is hidden either way.
  const bool accepted = tray.SetVisible(true);
  tray.Minimize();
  EXPECT_EQ(tray.Visible(), accepted);
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  SendMessageA(tray.CallbackWindow(), TTrayIcon::kCallbackMessage, 1, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 1);
  // A double click restores the window.
  SendMessageA(tray.CallbackWindow(), TTrayIcon::kCallbackMessage, 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  tray.SetVisible(false);
  EXPECT_FALSE(tray.Visible());
}

}  // namespace
