// The editing surface of the main window: the group tree, the entry list,
// the details panel, the search edit and the commands on groups and
// entries. The rules that need no window live in app/model/EntryRules.h;
// this file shows their results and keeps the controls in step with the
// vault model.
//
// Every command that waits for the user (a dialog or a message box) notes
// DocumentGeneration first and checks it, and Locked, when the wait is
// over: timers, session messages and hot keys keep running inside modal
// loops and may lock or replace the vault meanwhile, freeing the records
// and nodes the command had in hand. Such a command is then abandoned.
#include <windows.h>

#include <algorithm>

#include "app/AppSeams.h"
#include "app/FormIcon.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/Helpers.h"
#include "app/SecretClipboard.h"
#include "app/model/DialogRules.h"
#include "app/model/EntryMoves.h"
#include "app/model/EntryRules.h"
#include "app/model/VaultText.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "notes/text/Tokens.h"

namespace {

constexpr char kReadOnlyText[] = "This vault was opened read-only.\r\n\r\nUse Save As to create an editable copy.";
constexpr char kReadOnlyCaption[] = "Read-only vault";


}  // namespace

// ===========================================================================
// Binding

void TFormMain::BindEntryEvents() {
  TreeView1->OnChange = [this](TObject* s, TTreeNode* n) { TreeView1Change(s, n); };
  TreeView1->OnClick = [this](TObject* s) { TreeView1Click(s); };
  TreeView1->OnEdited = [this](TObject* s, TTreeNode* n, std::string& t) { TreeView1Edited(s, n, t); };
  TreeView1->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { TreeView1KeyDown(s, k, sh); };
  ListView1->OnGetText = [](const void* data, int column, std::string& text) {
    const auto* e = static_cast<const TVaultEntry*>(data);
    switch (column) {
      case 0: text = e->title; break;
      case 1: text = e->username; break;
      case 2: text = e->url; break;
      case 3: text = NotesPreview(*e); break;
      default: break;
    }
  };
  ListView1->OnGetImage = [](const void* data) { return static_cast<const TVaultEntry*>(data)->icon; };
  ListView1->OnClick = [this](TObject* s) { ListView1Click(s); };
  ListView1->OnDblClick = [this](TObject* s) { EntryOpenDblClick(s); };
  ListView1->OnEdited = [this](TObject* s, TEntryRow* i, std::string& t) { ListView1Edited(s, i, t); };
  ListView1->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { ListView1KeyDown(s, k, sh); };
  ListView1->OnSelectItem = [this](TObject* s, TEntryRow* i, bool sel) { ListView1SelectItem(s, i, sel); };
  QEdit1->OnChange = [this](TObject* s) { QEdit1Change(s); };
  EditPassword->OnDblClick = [this](TObject* s) { EditPasswordDblClick(s); };
  ControlBar1->OnDblClick = [this](TObject* s) { ControlBar1DblClick(s); };
  for (TEdit* e : {static_cast<TEdit*>(EditTitle), static_cast<TEdit*>(EditUser), static_cast<TEdit*>(EditPassword),
                   static_cast<TEdit*>(EditUrl), static_cast<TEdit*>(EditShortcut)})
    e->OnChange = [this](TObject* s) { EntrySave(s); };
  MemoNotes->OnChange = [this](TObject* s) { EntrySave(s); };
  EditAutomate->OnChange = [this](TObject* s) { EntrySave(s); };
}

// ===========================================================================
// Document helpers

bool TFormMain::RefuseIfReadOnly(bool showMessage) {
  if (!ReadOnly) return true;
  if (showMessage) ShowMessageBox(kReadOnlyText, kReadOnlyCaption, MB_ICONINFORMATION);
  return false;
}

void TFormMain::Changed(TObject*) {
  if (!RefuseIfReadOnly(false)) return;
  Modified = true;
  UpdateCaption();
}

void TFormMain::BuildVaultText() {
  std::string text = ::BuildVaultText(Vault);
  MemoData->SetSecretText(text);
  WipeString(text);
  Changed(MemoData);
}

bool TFormMain::StillSameDocument(std::uint64_t generation) {
  if (Locked) {
    UnlockIfLocked();
    return false;
  }
  return generation == DocumentGeneration;
}

TVaultGroup* TFormMain::GroupOfNode(const TTreeNode* node) {
  return node ? static_cast<TVaultGroup*>(node->Data()) : nullptr;
}

TTreeNode* TFormMain::NodeOfGroup(const TVaultGroup* group) const {
  // The tree's own lookup of the item: a node that was deleted meanwhile
  // (the tree emptied by a lock) is not found, and is never read.
  auto it = groupNodes_.find(group);
  if (it == groupNodes_.end()) return nullptr;
  TTreeNode* node = TreeView1->NodeOf(it->second);
  return node && GroupOfNode(node) == group ? node : nullptr;
}

void TFormMain::FillGroupTree() {
  ++DocumentGeneration;
  CurrentGroup = nullptr;
  EntryGroup = nullptr;
  {
    TFlagScope guard(deletingNodes_);
    TreeView1->BeginUpdate();
    TreeView1->Clear();
    groupNodes_.clear();
    // Parents come before their children in the tree's node order.
    for (TVaultGroup* g : Vault.Groups.Nodes()) {
      TTreeNode* node = TreeView1->AddChild(NodeOfGroup(g->Parent()), g->Caption());
      if (!node) continue;
      node->SetImageIndex(g->ImageIndex());
      node->SetData(g);
      groupNodes_[g] = node->ItemId();
    }
    TreeView1->EndUpdate();
  }
  ClearEntryDetails();
  FillEntryList();
}

void TFormMain::ShowReadVault() {
  // Every group open, the first one chosen and its entries listed: a vault
  // just read is ready to use without a click.
  SetAllGroupsExpanded(true);
  TTreeNode* first = TreeView1->Count() > 0 ? TreeView1->TopItem(0) : nullptr;
  if (first) {
    TFlagScope guard(listMovesTree_);  // the list is filled once, below
    TreeView1->SetSelected(first);
    first->MakeVisible();
  }
  CurrentGroup = first;
  SearchActive = false;
  {
    TFlagScope guard(SearchEditGuard);
    QEdit1->SetText("");
  }
  ClearEntryDetails();
  FillEntryList();
}

void TFormMain::FreeAllEntries() {
  ++DocumentGeneration;
  ResetAutomateAwait();
  UnregisterEntryHotKeys();
  Vault.Entries.clear();
  CurrentEntry = nullptr;
  CurrentGroup = nullptr;
  EntryGroup = nullptr;
  EntryOpen = false;
  {
    TFlagScope guard(Updating);
    ListView1->Clear();
  }
}

// ===========================================================================
// Details panel

void TFormMain::ClearEntryDetails() {
  {
    TFlagScope guard(Updating);
    // Every character the controls' buffers held is overwritten, not
    // only as many as they show now.
    for (TEditBox* e : {EditTitle, EditUser, EditPassword, EditUrl, EditShortcut}) e->ClearSecret();
    EditAutomate->ClearSecret();
    MemoNotes->SetText("");
    CurrentEntry = nullptr;
    EntryGroup = nullptr;
    EntryOpen = false;
    EditedIcon = 1;
  }
  UpdateIconButton();
  UpdateDetailControls();
}

void TFormMain::ShowEntry(TVaultEntry* entry) {
  if (!entry) {
    ClearEntryDetails();
    return;
  }
  {
    TFlagScope guard(Updating);
    CurrentEntry = entry;
    EntryGroup = NodeOfGroup(entry->group);
    EntryOpen = true;
    EditedIcon = entry->icon;
    EditTitle->SetText(entry->title);
    EditUser->SetText(entry->username);
    EditPassword->SetText(entry->password);
    EditUrl->SetText(entry->url);
    EditAutomate->SetText(Trim(entry->automate).empty() ? DefaultAutomate : entry->automate);
    EditShortcut->SetText(entry->shortcut);
  }
  UpdateIconButton();
  UpdateDetailControls();
}

void TFormMain::EntrySave(TObject* sender) {
  if (!RefuseIfReadOnly(false) || Updating || !EntryOpen || !EntryGroup) return;
  TEntryField field = TEntryField::Other;
  if (sender == EditTitle) field = TEntryField::Title;
  else if (sender == EditUser) field = TEntryField::User;
  else if (sender == EditPassword) field = TEntryField::Password;
  else if (sender == EditUrl) field = TEntryField::Url;
  else if (sender == EditAutomate) field = TEntryField::Automate;
  else if (sender == EditShortcut) field = TEntryField::Shortcut;
  else if (sender == MemoNotes) field = TEntryField::Notes;
  else if (sender == ButtonIcon) field = TEntryField::Icon;

  TEntryEditState state;
  state.Updating = Updating;
  state.ReadOnly = ReadOnly;
  state.EntryOpen = EntryOpen;
  state.EntryGroup = GroupOfNode(EntryGroup);
  state.CurrentEntry = CurrentEntry;
  state.EditedIcon = EditedIcon;
  TEntryEditTexts texts;
  texts.Title = EditTitle->Text();
  texts.User = EditUser->Text();
  texts.Password = EditPassword->Text();
  texts.Url = EditUrl->Text();
  texts.Automate = EditAutomate->Text();
  texts.Shortcut = EditShortcut->Text();
  texts.Notes = MemoNotes->Text();
  const TEntrySaveResult r = ::EntrySave(Vault, state, texts, field);
  if (!r.Stored) return;
  CurrentEntry = state.CurrentEntry;
  Changed(sender);
  if (r.UpdateRow) UpdateEntryRow(r.Entry);
  if (r.Created) UpdateNotesState();
}

void TFormMain::CheckHideClick(TObject*) {
  if (!RefuseIfReadOnly(true)) return;
  if (Updating || !EntryOpen || !CurrentEntry) return;
  if (!CurrentEntry->hiddenNotes) {
    std::string notes = MemoNotes->Text();
    AssignWiping(CurrentEntry->notes, notes);
    WipeString(notes);
  }
  CurrentEntry->hiddenNotes = !CurrentEntry->hiddenNotes;
  UpdateNotesState();
  BuildVaultText();
  UpdateEntryRow(CurrentEntry);
}

void TFormMain::EditPasswordDblClick(TObject*) {
  EditPassword->SetPasswordChar(EditPassword->PasswordChar() ? '\0' : '*');
}

void TFormMain::ButtonIconClick(TObject*) {
  if (!RefuseIfReadOnly(true) || !FormIcon) return;
  const std::uint64_t generation = DocumentGeneration;
  FormIcon->SetCaption(EntryTexts::kSelectIconCaption);
  FormIcon->GroupMode = false;
  FormIcon->IconIndex = EditedIcon;
  FormIcon->SetModalResult(mrNone);
  const int result = FormIcon->ShowModal();
  if (!StillSameDocument(generation) || result != mrOk || FormIcon->Cancelled) return;
  EditedIcon = FormIcon->IconIndex;
  UpdateIconButton();
  EntrySave(ButtonIcon);
}

void TFormMain::ButtonGeneratePasswordClick(TObject*) {
  if (!RefuseIfReadOnly(true) || !CurrentEntry || !EntryOpen || !FormPwd) return;
  const std::uint64_t generation = DocumentGeneration;
  TVaultEntry* entry = CurrentEntry;
  if (!EditPassword->Text().empty()) {
    const int answer = ShowMessageBox(EntryTexts::kReplacePassword, EntryTexts::kReplacePasswordCaption,
                                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (!StillSameDocument(generation) || answer != IDYES) return;
  }
  FormPwd->GenerateMode = true;
  FormPwd->ChangeMode = false;
  FormPwd->VerifyMode = false;
  FormPwd->AllowClose = false;
  FormPwd->ClosePressed = false;
  FormPwd->ShowModal();
  FormPwd->GenerateMode = false;
  std::string password = FormPwd->Cancelled ? std::string() : FormPwd->EditPwd->Text();
  FormPwd->EditPwd->ClearSecret();
  // The record the password was made for must still be the one shown.
  if (StillSameDocument(generation) && CurrentEntry == entry && HasEntry(Vault, entry) && !password.empty()) {
    EditPassword->SetPasswordChar('*');
    EditPassword->SetText(password);  // its change stores it
    EntrySave(EditPassword);
    EditPassword->SetFocus();
    EditPassword->SelectAll();
  }
  WipeString(password);
}

// ===========================================================================
// The entry list

std::string TFormMain::GetSearchQuery() { return Trim(QEdit1->Text()); }

void TFormMain::FillEntryList() {
  TVaultEntry* remembered = CurrentEntry;
  SortEntries(Vault.Entries);
  TFlagScope guard(Updating);
  ListView1->BeginUpdate();
  // The rows only point at the records: the list asks for their texts
  // when it paints, so a fill costs one pass over the entries.
  const TSearchQuery query(GetSearchQuery());
  const TVaultGroup* group = GroupOfNode(CurrentGroup);
  std::vector<void*> rows;
  int rememberedRow = -1;
  for (const auto& e : Vault.Entries) {
    const bool shown = SearchActive ? query.Matches(e->title) : (group && e->group == group);
    if (!shown) continue;
    if (e.get() == remembered) rememberedRow = static_cast<int>(rows.size());
    rows.push_back(e.get());
  }
  ListView1->SetRows(rows);
  ListView1->EndUpdate();
  if (rememberedRow >= 0) {
    TEntryRow* row = ListView1->Item(rememberedRow);
    row->SetSelected(true);
    row->SetFocused(true);
  }
}

void TFormMain::UpdateEntryRow(TVaultEntry* entry) {
  if (!entry) return;
  if (SearchActive && !MatchesSearch(entry->title, SearchText)) {
    FillEntryList();
    return;
  }
  if (!SearchActive && (!CurrentGroup || entry->group != GroupOfNode(CurrentGroup))) return;
  TFlagScope guard(Updating);
  TEntryRow* row = ListView1->FindData(entry);
  if (!row) {
    row = ListView1->Add();
    row->SetData(entry);
  }
  row->Update();  // its texts are read from the record
  row->SetSelected(true);
  row->SetFocused(true);
  row->MakeVisible(false);
}

void TFormMain::ClearSearchHistory() { QEdit1->DataList().Clear(); }

void TFormMain::ListView1SelectItem(TObject*, TEntryRow* item, bool selected) {
  if (Updating || !item) return;
  auto* entry = static_cast<TVaultEntry*>(item->Data());
  if (selected) {
    if (SearchActive && entry && entry->group) {
      if (TTreeNode* node = NodeOfGroup(entry->group)) {
        TFlagScope guard(listMovesTree_);
        TreeView1->SetSelected(node);
        node->MakeVisible();
      }
    }
    ShowEntry(entry);
  } else if (ListView1->SelCount() == 0) {
    ClearEntryDetails();
  }
}

void TFormMain::ListView1Click(TObject*) {
  if (!ListView1->Selected()) ClearEntryDetails();
}

void TFormMain::EntryOpenDblClick(TObject*) {
  TEntryRow* row = ListView1->Selected();
  if (!row) {
    ShowMessageBox(EntryTexts::kSelectEntryFirst, EntryTexts::kOpenEntryCaption, MB_ICONINFORMATION);
    return;
  }
  EditPassword->SetPasswordChar('*');
  ShowEntry(static_cast<TVaultEntry*>(row->Data()));
}

void TFormMain::ListView1Edited(TObject*, TEntryRow* item, std::string& text) {
  if (Updating || !item) return;
  auto* entry = static_cast<TVaultEntry*>(item->Data());
  if (!entry) return;
  if (!RefuseIfReadOnly(false)) {
    text = entry->title;
    return;
  }
  const std::string title = Trim(text);
  if (title.empty()) {
    text = entry->title;
    return;
  }
  text = title;
  entry->title = title;
  if (entry == CurrentEntry) {
    TFlagScope guard(Updating);
    EditTitle->SetText(title);
  }
  BuildVaultText();
  ClearSearchHistory();
  FillEntryList();
}

void TFormMain::ListView1KeyDown(TObject*, WORD& key, TShiftState shift) {
  if (key == VK_F2) {
    TEntryRow* row = ListView1->Selected();
    key = 0;
    if (!row || ReadOnly) return;
    TitleEditAllowed = true;
    row->EditCaption();
    TitleEditAllowed = false;
    return;
  }
  if (key == 'V' && (shift & ssCtrl) && !(shift & (ssShift | ssAlt)) && ListView1->Selected()) {
    key = 0;
    // Types the credentials only once V and Ctrl are both up, so that the
    // typing does not mix with the keys still held; 3 s of holding give up.
    for (int waited = 0; (GetAsyncKeyState('V') & 0x8000) || (GetAsyncKeyState(VK_CONTROL) & 0x8000);
         waited += 10) {
      if (waited >= 3000) return;
      AppSeams().Sleep(10);
    }
    AppSeams().Sleep(50);
    ButtonAutomateClick(ListView1);
  }
}

// ===========================================================================
// Entries

void TFormMain::EntryNew(TObject*) {
  if (!RefuseIfReadOnly(true)) return;
  CurrentGroup = TreeView1->Selected();
  if (!CurrentGroup) {
    ShowMessageBox(EntryTexts::kSelectGroupFirst, EntryTexts::kNewEntryCaption, MB_ICONINFORMATION);
    return;
  }
  EditPassword->SetPasswordChar('*');
  {
    TFlagScope guard(Updating);
    ListView1->ClearSelection();
  }
  ClearEntryDetails();
  {
    TFlagScope guard(Updating);
    EditAutomate->SetText(DefaultAutomate);
  }
  CurrentEntry = nullptr;
  EntryGroup = CurrentGroup;
  EntryOpen = true;
  EditedIcon = CurrentGroup->ImageIndex() > 0 ? CurrentGroup->ImageIndex() : 1;
  UpdateIconButton();
  UpdateDetailControls();
  EditTitle->SetFocus();
}

void TFormMain::EntryDelete(TObject*) {
  if (!RefuseIfReadOnly(true)) return;
  TVaultEntry* entry = CurrentEntry;
  if (!entry)
    if (TEntryRow* row = ListView1->Selected()) entry = static_cast<TVaultEntry*>(row->Data());
  if (!entry) {
    ShowMessageBox(EntryTexts::kSelectEntryFirst, EntryTexts::kDeleteEntryCaption, MB_ICONINFORMATION);
    return;
  }
  const std::uint64_t generation = DocumentGeneration;
  const int answer = ShowMessageBox(DeleteEntryQuestion(*entry), EntryTexts::kDeleteEntryCaption,
                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  // The record may have been freed while the question was up: it is only
  // compared, never read, until it is found in the list again.
  if (!StillSameDocument(generation) || answer != IDYES || !HasEntry(Vault, entry)) return;
  if (CurrentEntry == entry) CurrentEntry = nullptr;
  {
    TFlagScope guard(Updating);
    if (TEntryRow* row = ListView1->FindData(entry)) ListView1->Delete(row->Index());
  }
  ::DeleteEntry(Vault, entry, &HotKeys());
  CurrentEntry = nullptr;
  ClearEntryDetails();
  BuildVaultText();
  ClearSearchHistory();
  FillEntryList();
}

void TFormMain::OpenCategory1Click(TObject*) {
  TEntryRow* row = ListView1->Selected();
  auto* entry = row ? static_cast<TVaultEntry*>(row->Data()) : nullptr;
  TTreeNode* node = entry ? NodeOfGroup(entry->group) : nullptr;
  if (!node) return;
  SearchActive = false;
  {
    TFlagScope guard(SearchEditGuard);
    QEdit1->SetText("");
  }
  CurrentGroup = node;
  {
    TFlagScope guard(listMovesTree_);
    TreeView1->SetSelected(node);
  }
  node->MakeVisible();
  CurrentEntry = entry;
  FillEntryList();
  ShowEntry(entry);
}

// ===========================================================================
// Groups

void TFormMain::GroupNew(TObject*) {
  if (!RefuseIfReadOnly(true) || !FormIcon) return;
  const std::uint64_t generation = DocumentGeneration;
  FormIcon->SetCaption(EntryTexts::kNewGroupCaption);
  FormIcon->Label1->SetCaption(EntryTexts::kGroupNameLabel);
  FormIcon->GroupMode = true;
  FormIcon->Edit1->SetText("");
  FormIcon->IconIndex = 0;
  FormIcon->SetModalResult(mrNone);
  const int result = FormIcon->ShowModal();
  if (!StillSameDocument(generation) || result != mrOk || FormIcon->Cancelled) return;
  const TGroupNameDecision name = CheckGroupNameEdit(FormIcon->Edit1->Text());
  if (name.Action == TGroupNameEdit::Ignore) return;
  if (name.Action == TGroupNameEdit::RefuseColon) {
    ShowMessageBox(GroupTexts::kColonText, GroupTexts::kColonCaption, MB_ICONINFORMATION);
    return;
  }
  const int icon = FormIcon->SelectedIconIndex();
  TTreeNode* parentNode = TreeView1->Selected();
  TVaultGroup* parent = GroupOfNode(parentNode);
  if (parent && parent->Level() >= kMaxGroupLevel) parent = nullptr, parentNode = nullptr;
  TVaultGroup* group = Vault.Groups.Add(parent, name.Name, icon);
  TTreeNode* node = TreeView1->AddChild(parentNode, name.Name);
  if (!node) {
    Vault.Groups.Delete(group);
    return;
  }
  node->SetImageIndex(icon);
  node->SetData(group);
  groupNodes_[group] = node->ItemId();
  if (parentNode) parentNode->Expand(false);
  TreeView1->SetSelected(node);
  BuildVaultText();
}

void TFormMain::GroupChange(TObject*) {
  if (!RefuseIfReadOnly(true) || !FormIcon) return;
  TTreeNode* node = TreeView1->Selected();
  if (!node) {
    ShowMessageBox(EntryTexts::kSelectGroupFirst, EntryTexts::kEditGroupCaption, MB_ICONINFORMATION);
    return;
  }
  TVaultGroup* group = GroupOfNode(node);
  const std::uint64_t generation = DocumentGeneration;
  FormIcon->SetCaption(EntryTexts::kEditGroupCaption);
  FormIcon->Label1->SetCaption(EntryTexts::kGroupNameLabel);
  FormIcon->IconIndex = node->ImageIndex();
  FormIcon->GroupMode = true;
  FormIcon->Edit1->SetText(node->Text());
  FormIcon->SetModalResult(mrNone);
  const int result = FormIcon->ShowModal();
  if (!StillSameDocument(generation) || result != mrOk || FormIcon->Cancelled) return;
  if (NodeOfGroup(group) != node || !ContainsGroup(Vault.Groups, group)) return;
  const TGroupNameDecision name = CheckGroupNameEdit(FormIcon->Edit1->Text());
  if (name.Action == TGroupNameEdit::Ignore) return;
  if (name.Action == TGroupNameEdit::RefuseColon) {
    ShowMessageBox(GroupTexts::kColonText, GroupTexts::kColonCaption, MB_ICONINFORMATION);
    return;
  }
  const int icon = FormIcon->SelectedIconIndex();
  group->SetCaption(name.Name);
  group->SetImageIndex(icon);
  node->SetText(name.Name);
  node->SetImageIndex(icon);
  BuildVaultText();
  ClearSearchHistory();
}

void TFormMain::GroupDelete(TObject*) {
  if (!RefuseIfReadOnly(true)) return;
  TTreeNode* node = TreeView1->Selected();
  if (!node) {
    ShowMessageBox(EntryTexts::kSelectGroupFirst, EntryTexts::kDeleteGroupCaption, MB_ICONINFORMATION);
    return;
  }
  TVaultGroup* group = GroupOfNode(node);
  if (!group) return;
  const std::uint64_t generation = DocumentGeneration;
  const int answer = ShowMessageBox(DeleteGroupQuestion(*group), EntryTexts::kDeleteGroupCaption,
                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  // A lock or a new document meanwhile has freed the group and its node;
  // they are looked up again before anything is touched.
  if (!StillSameDocument(generation) || answer != IDYES) return;
  if (!ContainsGroup(Vault.Groups, group) || NodeOfGroup(group) != node) return;

  ::DeleteGroupEntries(Vault, group, &HotKeys(), [this](const TVaultEntry& e) {
    if (CurrentEntry == &e) CurrentEntry = nullptr;
  });
  CurrentEntry = nullptr;
  // Forget the nodes of the subtree, then delete them and the groups.
  std::vector<TVaultGroup*> stack{group};
  while (!stack.empty()) {
    TVaultGroup* g = stack.back();
    stack.pop_back();
    groupNodes_.erase(g);
    for (int i = 0; i < g->Count(); ++i) stack.push_back(g->Item(i));
  }
  {
    TFlagScope guard(deletingNodes_);
    node->Delete();
  }
  Vault.Groups.Delete(group);
  CurrentGroup = TreeView1->Selected();
  ClearEntryDetails();
  BuildVaultText();
  ClearSearchHistory();
  FillEntryList();
}

void TFormMain::TreeView1Change(TObject*, TTreeNode* node) {
  if (deletingNodes_) return;
  CurrentGroup = node;
  if (listMovesTree_) return;
  SearchActive = false;
  {
    TFlagScope guard(SearchEditGuard);
    QEdit1->SetText("");
  }
  ClearEntryDetails();
  FillEntryList();
}

void TFormMain::TreeView1Click(TObject*) {
  if (!SearchActive) return;
  // The click lands before the selection moves: the one it leaves is shown
  // now, a new one by the change that follows.
  CurrentGroup = TreeView1->Selected();
  SearchActive = false;
  {
    TFlagScope guard(SearchEditGuard);
    QEdit1->SetText("");
  }
  ClearEntryDetails();
  FillEntryList();
}

void TFormMain::TreeView1Edited(TObject*, TTreeNode* node, std::string& text) {
  const std::string old = node->Text();
  if (!RefuseIfReadOnly(false)) {
    text = old;
    return;
  }
  const TGroupNameDecision name = CheckGroupNameEdit(text);
  if (name.Action == TGroupNameEdit::Ignore) {
    text = old;
    return;
  }
  if (name.Action == TGroupNameEdit::RefuseColon) {
    text = old;
    ShowMessageBox(GroupTexts::kColonText, GroupTexts::kColonCaption, MB_ICONINFORMATION);
    return;
  }
  text = name.Name;
  if (TVaultGroup* group = GroupOfNode(node)) group->SetCaption(name.Name);
  BuildVaultText();
  ClearSearchHistory();
}

void TFormMain::TreeView1KeyDown(TObject*, WORD& key, TShiftState) {
  if (key != VK_F2) return;
  key = 0;
  TEntryRow* row = ListView1->Selected();
  if (!row || ReadOnly) return;
  TitleEditAllowed = true;
  row->EditCaption();
  TitleEditAllowed = false;
}

void TFormMain::SetAllGroupsExpanded(bool expanded) {
  TreeView1->BeginUpdate();
  const std::vector<TTreeNode*> nodes = TreeView1->Nodes();
  for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) (*it)->SetExpanded(expanded);
  TreeView1->EndUpdate();
}

void TFormMain::ExpandCollapseAllGroups1Click(TObject*) {
  SetAllGroupsExpanded(GroupsExpanded);
  GroupsExpanded = !GroupsExpanded;
}

// ===========================================================================
// Search

void TFormMain::QEdit1Change(TObject*) {
  if (SearchEditGuard) return;
  SearchActive = true;
  SearchText = GetSearchQuery();
  ClearEntryDetails();
  FillEntryList();
}

void TFormMain::ToolSearchClick(TObject*) {
  SetSearchMode(false);
  QEdit1Change(QEdit1);
  QEdit1->SelectAll();
  QEdit1->SetFocus();
}

void TFormMain::SearchEntry1Click(TObject*) {
  {
    TFlagScope guard(SearchEditGuard);
    SetSearchMode(false);
    QEdit1->SetFocus();
    const std::string text = QEdit1->Text();
    QEdit1->SetText(text);
    QEdit1->SetSelection(0, static_cast<int>(text.size()));
  }
  // The focus change may still move the caret: the selection is made again
  // once the messages have run, and once more 171 ms later.
  PostMessageA(QEdit1->Handle(), EM_SETSEL, 0, -1);
  TimerSelectAllSearch->SetEnabled(false);
  TimerSelectAllSearch->SetEnabled(true);
}

bool TFormMain::SearchDialogKey(WORD key, unsigned shift) {
  if (!QEdit1->Focused()) return false;
  if (key == VK_RETURN) {
    ToolSearchClick(QEdit1);
    return true;
  }
  if (key != VK_TAB || (shift & ssShift) || ListView1->Count() == 0) return false;
  ListView1->ClearSelection();
  ListView1->SetFocus();
  TEntryRow* first = ListView1->Item(0);
  first->SetFocused(true);
  first->SetSelected(true);
  first->MakeVisible(false);
  return true;
}

void TFormMain::ControlBar1DblClick(TObject*) {
  if (Locked || LockRemembered || SessionLockedByWindows) return;
  SetSearchMode(!SearchMode);
  if (SearchMode) {
    Edit1->SetFocus();
    Edit1->SelectAll();
  }
}

void TFormMain::ToolCopyClick(TObject*) {
  Edit1->SetFocus();
  Edit1->SelectAll();
  SecretClipboard::SetText(Handle(), Edit1->Text());
}

// ===========================================================================
// Clipboard and URL

void TFormMain::ButtonCopyTitleClick(TObject*) {
  EditTitle->SelectAll();
  SecretClipboard::SetText(Handle(), EditTitle->Text());
}

void TFormMain::ButtonCopyUsername2lick(TObject*) {
  EditUser->SelectAll();
  SecretClipboard::SetText(Handle(), EditUser->Text());
}

void TFormMain::ButtonCopyPasswordClick(TObject*) {
  std::string password = EditPassword->Text();
  SecretClipboard::SetText(Handle(), password);
  WipeString(password);
}

void TFormMain::ButtonCopyUrlClick(TObject*) {
  EditUrl->SelectAll();
  SecretClipboard::SetText(Handle(), EditUrl->Text());
}

void TFormMain::ButtonCopyNotesClick(TObject*) {
  MemoNotes->SelectAll();
  // As the editor's own copy: its tokens become the characters they stand
  // for, and the line breaks CR LF.
  std::string notes = MemoNotes->Text();
  std::u16string wide = NoteText::EditorTextToClipboardWide(notes);
  WipeString(notes);
  SecretClipboard::SetWideText(Handle(), wide);
  WipeBytes(wide.data(), wide.capacity() * sizeof(char16_t));
  wide.clear();
}

void TFormMain::OpenUrl1Click(TObject*) {
  const std::string url = Trim(EditUrl->Text());
  if (!url.empty()) AppSeams().OpenUrl(url);
}
