#include "app/FormMain.h"

#include <algorithm>

#include "app/AppSeams.h"
#include "app/FormAbout.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/model/ShellHelpers.h"
#include "base/Platform.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "ui/Application.h"

TFormMain* FormMain = nullptr;

namespace {

constexpr int kControlBarHeight = 30;
constexpr int kSplitterSize = 4;
constexpr int kMinDetailsHeight = 170;
constexpr int kMinTreeWidth = 80;

// Glyphs of the tool strip (resource "TOOLS16").
enum TToolGlyph {
  tgNew, tgOpen, tgClose, tgSave, tgLock, tgGroupNew, tgGroupEdit, tgGroupDelete, tgKeyNew, tgKeyDelete,
  tgOpenUrl, tgType, tgSearch, tgCopy, tgDice
};

// Mask colour of the bitmap strips.
constexpr TColor kMaskColor = RGBColor(255, 0, 255);

}  // namespace

std::vector<std::string> ProgramArguments() {
  std::vector<std::string> words = SplitCommandLine(GetCommandLineA());
  if (!words.empty()) words.erase(words.begin());
  return words;
}

// ===========================================================================
// Construction

TFormMain::TFormMain(TComponent* owner) : TForm(owner, "TFormMain") {
  SetName("FormMain");
  FormMain = this;
  SetBounds(CW_USEDEFAULT, CW_USEDEFAULT, 960, 640);
  HandleNeeded();
  CreateComponents();
  CreateMenus();
  CreateToolBars();
  CreateViews();
  CreateDetails();
  CreateStatusBar();
  BindEvents();
  created_ = true;
  LayoutControls();

  // The constructor's part: the state starts cleared (above), then the file
  // dialogs, the list's images, the search mode, the enabling of the empty
  // document and the caption.
  OpenDialog1->SetTitle("Open Vaultline File");
  OpenDialog1->SetFilter("Quorvane Vaultline (*.qvl)|*.qvl");
  OpenDialog1->SetDefaultExt("qvl");
  OpenDialog1->SetFilterIndex(1);
  OpenDialog1->SetOptions(OpenDialog1->Options() | ofFileMustExist);
  SaveDialog1->SetTitle("Save Vaultline File");
  SaveDialog1->SetFilter("Quorvane Vaultline (*.qvl)|*.qvl");
  SaveDialog1->SetDefaultExt("qvl");
  SaveDialog1->SetFilterIndex(1);
  SaveDialog1->SetOptions(SaveDialog1->Options() | ofOverwritePrompt);
  ListView1->SetSmallImages(ImageListIcons);
  SetSearchMode(false);
  TimerUpdateUI->SetEnabled(true);
  UpdateDetailControls();
  UpdateCaption();

  FormCreate(this);
}

TFormMain::~TFormMain() {
  FormDestroy(this);
  if (FormMain == this) FormMain = nullptr;
}

void TFormMain::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.WndParent = nullptr;
}

void TFormMain::CreateComponents() {
  QDReg1 = new TQDReg(this);
  QDReg1->SetName("QDReg1");
  QDReg1->SetProgrammname("Vaultline");
  QDReg1->SetFirmenname("quorvane");
  QDReg1->SetIniFileName("config.ini");
  QEnc1 = new TQEnc(this);
  QEnc1->SetName("QEnc1");
  // One keystream over the whole vault, as the container format describes it;
  // the per-chunk restart of the compatibility mode would reuse the keystream
  // in every buffer. Fast mode is chosen per vault from the settings.
  QEnc1->SetCompatibilityMode(false);
  QEnc1->SetFastMode(false);

  HINSTANCE inst = GetModuleHandleA(nullptr);
  ImageListIcons = new TImageList(this);
  ImageListIcons->SetName("ImageListIcons");
  ImageListIcons->AddMaskedFromResource(inst, "ICONS16", kMaskColor);
  ImageListTray = new TImageList(this);
  ImageListTray->SetName("ImageListTray");
  ImageListTray->AddMaskedFromResource(inst, "TRAY16", kMaskColor);
  ImageListTools = new TImageList(this);
  ImageListTools->SetName("ImageListTools");
  ImageListTools->AddMaskedFromResource(inst, "TOOLS16", kMaskColor);
  ImageMarble.LoadFromResourceName(inst, "MARBLE");

  MemoData = new TMemo(this);
  MemoData->SetName("MemoData");
  MemoData->SetParent(this);
  MemoData->SetBounds(0, 0, 10, 10);  // never shown

  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->SetName("OpenDialog1");
  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->SetName("SaveDialog1");

  TrayIcon1 = new TTrayIcon(this);
  TrayIcon1->SetName("TrayIcon1");
  TrayIcon1->SetMainForm(this);
  TrayIcon1->SetIcons(ImageListTray);
  TrayIcon1->SetIconIndex(3);
  TrayIcon1->RestoreOn = imDoubleClick;
  TrayIcon1->PopupMenuOn = imRightClickUp;

  TimerStartup = new TTimer(this);
  TimerStartup->SetName("TimerStartup");
  TimerStartup->SetInterval(222);
  TimerUpdateUI = new TTimer(this);
  TimerUpdateUI->SetName("TimerUpdateUI");
  TimerUpdateUI->SetInterval(1000);
  TimerTray = new TTimer(this);
  TimerTray->SetName("TimerTray");
  TimerTray->SetInterval(2222);
  TimerSelectAllSearch = new TTimer(this);
  TimerSelectAllSearch->SetName("TimerSelectAllSearch");
  TimerSelectAllSearch->SetEnabled(false);
  TimerSelectAllSearch->SetInterval(171);
}

void TFormMain::CreateMenus() {
  auto cmd = [this](void (TFormMain::*handler)(TObject*)) {
    return [this, handler](TObject* sender) { (this->*handler)(sender); };
  };
  MainMenu1 = new TMainMenu(this);
  MainMenu1->SetName("MainMenu1");
  TMenuItem* bar = MainMenu1->Items();

  File1 = bar->AddNew(this, "File1", "&File");
  New1 = File1->AddNew(this, "New1", "New", cmd(&TFormMain::NewFile));
  Open1 = File1->AddNew(this, "Open1", "Open", cmd(&TFormMain::OpenFile));
  Lock1 = File1->AddNew(this, "Lock1", "Lock", cmd(&TFormMain::Lock1Click));
  Close1 = File1->AddNew(this, "Close1", "Close", cmd(&TFormMain::CloseFile));
  File1->AddNew(this, "N1", "-");
  ChangeMasterPassword1 =
      File1->AddNew(this, "ChangeMasterPassword1", "Change Master Password", cmd(&TFormMain::ChangeMasterPassword1Click));
  File1->AddNew(this, "N2", "-");
  Save1 = File1->AddNew(this, "Save1", "Save", cmd(&TFormMain::SaveFile), scCtrl | 'S');
  SaveAs1 = File1->AddNew(this, "SaveAs1", "Save As...", cmd(&TFormMain::SaveFileAs));
  File1->AddNew(this, "N3", "-");
  Import1 = File1->AddNew(this, "Import1", "Import", cmd(&TFormMain::Import1Click));
  Export1 = File1->AddNew(this, "Export1", "Export", cmd(&TFormMain::Export1Click));
  File1->AddNew(this, "N4", "-");
  Settings1 = File1->AddNew(this, "Settings1", "Settings", cmd(&TFormMain::Settings1Click));
  File1->AddNew(this, "N5", "-");
  Exit1 = File1->AddNew(this, "Exit1", "Exit", cmd(&TFormMain::Exit1Click));

  Groups1 = bar->AddNew(this, "Groups1", "&Groups");
  AddGroup1 = Groups1->AddNew(this, "AddGroup1", "Add Group", cmd(&TFormMain::GroupNew));
  RenameGroup1 = Groups1->AddNew(this, "RenameGroup1", "Edit Group", cmd(&TFormMain::GroupChange));
  DeleteGroup1 = Groups1->AddNew(this, "DeleteGroup1", "Delete Group", cmd(&TFormMain::GroupDelete));
  Groups1->AddNew(this, "N6", "-");
  GroupUp1 = Groups1->AddNew(this, "GroupUp1", "Group Up", cmd(&TFormMain::GroupMoveUp));
  GroupDown1 = Groups1->AddNew(this, "GroupDown1", "Group Down", cmd(&TFormMain::GroupMoveDown));
  Groups1->AddNew(this, "N7", "-");
  ExpandCollapseAllGroups1 = Groups1->AddNew(this, "ExpandCollapseAllGroups1", "Expand/Collapse All Groups",
                                             cmd(&TFormMain::ExpandCollapseAllGroups1Click));

  Entries1 = bar->AddNew(this, "Entries1", "&Entries");
  AddEntry1 = Entries1->AddNew(this, "AddEntry1", "Add Entry", cmd(&TFormMain::EntryNew));
  DeleteEntry1 = Entries1->AddNew(this, "DeleteEntry1", "Delete Entry", cmd(&TFormMain::EntryDelete));
  Entries1->AddNew(this, "N8", "-");
  EntryUp1 = Entries1->AddNew(this, "EntryUp1", "Entry Up", cmd(&TFormMain::EntryMoveUp));
  EntryDown1 = Entries1->AddNew(this, "EntryDown1", "Entry Down", cmd(&TFormMain::EntryMoveDown));
  Entries1->AddNew(this, "N9", "-");
  OpenCategory = Entries1->AddNew(this, "OpenCategory", "OpenCategory", cmd(&TFormMain::OpenCategory1Click));
  SearchEntry1 = Entries1->AddNew(this, "SearchEntry1", "Search Entry", cmd(&TFormMain::SearchEntry1Click), scCtrl | 'F');
  Entries1->AddNew(this, "N10", "-");
  CopyUsername1 = Entries1->AddNew(this, "CopyUsername1", "Copy Username", cmd(&TFormMain::ButtonCopyUsername2lick));
  CopyPassword1 = Entries1->AddNew(this, "CopyPassword1", "Copy Password", cmd(&TFormMain::ButtonCopyPasswordClick));
  OpenUrl1 = Entries1->AddNew(this, "OpenUrl1", "Open Url", cmd(&TFormMain::OpenUrl1Click), scCtrl | 'U');
  HideShowNotes1 = Entries1->AddNew(this, "HideShowNotes1", "Hide/Show Notes", cmd(&TFormMain::CheckHideClick), scCtrl | 'N');
  TypeCredentials1 =
      Entries1->AddNew(this, "TypeCredentials1", "Type Credentials", cmd(&TFormMain::ButtonAutomateClick), scCtrl | 'T');

  Help1 = bar->AddNew(this, "Help1", "&Help");
  ProductPage1 = Help1->AddNew(this, "ProductPage1", "Vaultline on the Web", cmd(&TFormMain::ProductPage1Click));
  MakerPage1 = Help1->AddNew(this, "MakerPage1", "quorvane on the Web", cmd(&TFormMain::MakerPage1Click));
  Help1->AddNew(this, "N11", "-");
  AboutQuorvanePWM1 =
      Help1->AddNew(this, "AboutQuorvanePWM1", "About Quorvane Vaultline", cmd(&TFormMain::AboutQuorvanePWM1Click));
  MainMenu1->AttachTo(Handle());

  PopupMenuGroup = new TPopupMenu(this);
  PopupMenuGroup->SetName("PopupMenuGroup");
  TMenuItem* g = PopupMenuGroup->Items();
  AddGroup2 = g->AddNew(this, "AddGroup2", "Add Group", cmd(&TFormMain::GroupNew));
  EditGroup1 = g->AddNew(this, "EditGroup1", "Edit Group", cmd(&TFormMain::GroupChange));
  DeleteGroup2 = g->AddNew(this, "DeleteGroup2", "Delete Group", cmd(&TFormMain::GroupDelete));
  g->AddNew(this, "N12", "-");
  GroupUp2 = g->AddNew(this, "GroupUp2", "Group Up", cmd(&TFormMain::GroupMoveUp));
  GroupDown2 = g->AddNew(this, "GroupDown2", "Group Down", cmd(&TFormMain::GroupMoveDown));

  PopupMenuEntry = new TPopupMenu(this);
  PopupMenuEntry->SetName("PopupMenuEntry");
  TMenuItem* e = PopupMenuEntry->Items();
  AddEntry2 = e->AddNew(this, "AddEntry2", "Add Entry", cmd(&TFormMain::EntryNew));
  DeleteEntry2 = e->AddNew(this, "DeleteEntry2", "Delete Entry", cmd(&TFormMain::EntryDelete));
  e->AddNew(this, "N13", "-");
  EntryUp2 = e->AddNew(this, "EntryUp2", "Entry Up", cmd(&TFormMain::EntryMoveUp));
  EntryDown2 = e->AddNew(this, "EntryDown2", "Entry Down", cmd(&TFormMain::EntryMoveDown));
  e->AddNew(this, "N14", "-");
  OpenCategory2 = e->AddNew(this, "OpenCategory2", "Open Category", cmd(&TFormMain::OpenCategory1Click));
  e->AddNew(this, "N15", "-");
  CopyUsername2 = e->AddNew(this, "CopyUsername2", "Copy Username", cmd(&TFormMain::ButtonCopyUsername2lick));
  CopyPassword2 = e->AddNew(this, "CopyPassword2", "Copy Password", cmd(&TFormMain::ButtonCopyPasswordClick));
  OpenUrl2 = e->AddNew(this, "OpenUrl2", "Open Url", cmd(&TFormMain::OpenUrl1Click));
  HideShowNotes2 = e->AddNew(this, "HideShowNotes2", "Hide/Show Notes", cmd(&TFormMain::CheckHideClick), scCtrl | 'N');
  TypeCredentials2 = e->AddNew(this, "TypeCredentials2", "Type Credentials", cmd(&TFormMain::ButtonAutomateClick));

  PopupMenuTray = new TPopupMenu(this);
  PopupMenuTray->SetName("PopupMenuTray");
  TMenuItem* t = PopupMenuTray->Items();
  Vaultline1 = t->AddNew(this, "Vaultline1", "Vaultline", cmd(&TFormMain::Vaultline1Click));
  Vaultline1->SetDefault(true);
  Minimize1 = t->AddNew(this, "Minimize1", "Minimize", cmd(&TFormMain::Minimize1Click));
  Lock2 = t->AddNew(this, "Lock2", "Lock", cmd(&TFormMain::Lock1Click));
  Close2 = t->AddNew(this, "Close2", "Close", cmd(&TFormMain::CloseFile));
  t->AddNew(this, "N16", "-");
  Exit2 = t->AddNew(this, "Exit2", "Exit", cmd(&TFormMain::Exit1Click));
  TrayIcon1->SetPopupMenu(PopupMenuTray);
}

void TFormMain::CreateToolBars() {
  auto cmd = [this](void (TFormMain::*handler)(TObject*)) {
    return [this, handler](TObject* sender) { (this->*handler)(sender); };
  };
  ControlBar1 = new TPanel(this);
  ControlBar1->SetName("ControlBar1");
  ControlBar1->SetParent(this);
  ControlBar1->SetBevelOuter(bcNone);
  ControlBar1->Show();

  ToolBar1 = new TToolBar(this);
  ToolBar1->SetName("ToolBar1");
  ToolBar1->SetParent(ControlBar1);
  ToolBar1->SetImages(ImageListTools);
  ToolNew = ToolBar1->AddButton(this, "ToolNew", tgNew, "New", cmd(&TFormMain::NewFile));
  ToolOpen = ToolBar1->AddButton(this, "ToolOpen", tgOpen, "Open", cmd(&TFormMain::OpenFile));
  ToolClose = ToolBar1->AddButton(this, "ToolClose", tgClose, "Close", cmd(&TFormMain::CloseFile));
  ToolSave = ToolBar1->AddButton(this, "ToolSave", tgSave, "Save", cmd(&TFormMain::SaveFile));
  ToolBar1->AddSeparator();
  ToolLock = ToolBar1->AddButton(this, "ToolLock", tgLock, "Lock the current file", cmd(&TFormMain::Lock1Click));
  ToolBar1->AddSeparator();
  ToolGroupNew = ToolBar1->AddButton(this, "ToolGroupNew", tgGroupNew, "Add Group", cmd(&TFormMain::GroupNew));
  ToolGroupEdit = ToolBar1->AddButton(this, "ToolGroupEdit", tgGroupEdit, "Edit Group", cmd(&TFormMain::GroupChange));
  ToolGroupDelete =
      ToolBar1->AddButton(this, "ToolGroupDelete", tgGroupDelete, "Delete Group", cmd(&TFormMain::GroupDelete));
  ToolBar1->AddSeparator();
  ToolKeyNew = ToolBar1->AddButton(this, "ToolKeyNew", tgKeyNew, "Add Entry", cmd(&TFormMain::EntryNew));
  ToolKeyDelete = ToolBar1->AddButton(this, "ToolKeyDelete", tgKeyDelete, "Delete Entry", cmd(&TFormMain::EntryDelete));
  ToolBar1->AddSeparator();
  ToolOpenURL = ToolBar1->AddButton(this, "ToolOpenURL", tgOpenUrl, "Open URL", cmd(&TFormMain::OpenUrl1Click));
  ToolType = ToolBar1->AddButton(this, "ToolType", tgType, "Execute Automation", cmd(&TFormMain::ButtonAutomateClick));
  ToolBar1->Show();

  QEdit1 = new TQEdit(this);
  QEdit1->SetName("QEdit1");
  QEdit1->SetParent(ControlBar1);
  QEdit1->Show();
  Edit1 = new TEditBox(this);
  Edit1->SetName("Edit1");
  Edit1->SetParent(ControlBar1);

  ToolBar2 = new TToolBar(this);
  ToolBar2->SetName("ToolBar2");
  ToolBar2->SetParent(ControlBar1);
  ToolBar2->SetImages(ImageListTools);
  ToolSearch = ToolBar2->AddButton(this, "ToolSearch", tgSearch, "Search", cmd(&TFormMain::ToolSearchClick));
  ToolCopy = ToolBar2->AddButton(this, "ToolCopy", tgCopy, "Copy", cmd(&TFormMain::ToolCopyClick));
  ToolBar2->Show();
}

void TFormMain::CreateViews() {
  TreeView1 = new TTreeView(this);
  TreeView1->SetName("TreeView1");
  TreeView1->SetParent(this);
  TreeView1->SetHideSelection(false);
  TreeView1->SetImages(ImageListIcons);
  TreeView1->Show();

  Splitter1 = new TSplitter(this, true);
  Splitter1->SetName("Splitter1");
  Splitter1->SetParent(this);
  Splitter1->Show();

  ListView1 = new TEntryListView(this);
  ListView1->SetName("ListView1");
  ListView1->SetParent(this);
  ListView1->SetViewStyle(vsReport);
  ListView1->SetRowSelect(true);
  ListView1->SetHideSelection(false);
  ListView1->AddColumn("Title", 135);
  ListView1->AddColumn("Username", 100);
  ListView1->AddColumn("URL", 130);
  ListView1->AddColumn("Notes", 333);
  ListView1->Show();

  Splitter2 = new TSplitter(this, false);
  Splitter2->SetName("Splitter2");
  Splitter2->SetParent(this);
  Splitter2->Show();
}

TQToggleBitBtn* TFormMain::PanelButton(const std::string& name, int glyph) {
  auto* b = new TQToggleBitBtn(this);
  b->SetName(name);
  b->SetParent(PanelDetails);
  b->SetToggleMode(false);
  b->SetDrawStyle(qbsFlat);
  if (glyph >= 0) b->LoadGlyphFromImageList(ImageListTools, glyph);
  b->Show();
  return b;
}

void TFormMain::CreateDetails() {
  PanelDetails = new TPanel(this);
  PanelDetails->SetName("PanelDetails");
  PanelDetails->SetParent(this);
  PanelDetails->SetBevelOuter(bcNone);
  PanelDetails->Show();

  auto label = [this](const std::string& name, const std::string& caption) {
    auto* l = new TLabel(this);
    l->SetName(name);
    l->SetParent(PanelDetails);
    l->SetCaption(caption);
    l->Show();
    return l;
  };
  auto edit = [this](const std::string& name) {
    auto* e = new TEditBox(this);
    e->SetName(name);
    e->SetParent(PanelDetails);
    e->Show();
    return e;
  };

  // Tab walks the panel's children in the order they are made: the fields
  // first, top to bottom, then the buttons.
  LabelTitle = label("LabelTitle", "Title:");
  EditTitle = edit("EditTitle");
  LabelUser = label("LabelUser", "Username:");
  EditUser = edit("EditUser");
  LabelPassword = label("LabelPassword", "Password:");
  EditPassword = edit("EditPassword");
  EditPassword->SetPasswordChar('*');
  LabelUrl = label("LabelUrl", "URL:");
  EditUrl = edit("EditUrl");
  LabelAutomate = label("LabelAutomate", "Auto-Type:");
  EditAutomate = new TComboBox(this);
  EditAutomate->SetName("EditAutomate");
  EditAutomate->SetParent(PanelDetails);
  EditAutomate->Show();
  LabelShortcut = label("LabelShortcut", "Shortcut:");
  EditShortcut = edit("EditShortcut");
  EditShortcut->SetReadOnly(true);
  LabelNotes = label("LabelNotes", "Notes:");
  LabelHideNotes = label("LabelHideNotes", "Hide Notes");
  LabelHideNotes->Font().SetColor(clBlue);
  LabelHideNotes->Font().SetStyle(fsUnderline);
  LabelHideNotes->SetHandCursor(true);
  MemoNotes = new TQMemo(this);
  MemoNotes->SetName("MemoNotes");
  MemoNotes->SetScrollBars(ssBoth);
  MemoNotes->SetWordWrap(false);
  MemoNotes->SetSyntaxHighlighting(false);
  MemoNotes->SetParent(PanelDetails);
  MemoNotes->Show();

  ButtonIcon = PanelButton("ButtonIcon", -1);
  ButtonCopyTitle = PanelButton("ButtonCopyTitle", tgCopy);
  ButtonCopyUsername2 = PanelButton("ButtonCopyUsername2", tgCopy);
  ButtonCopyPassword = PanelButton("ButtonCopyPassword", tgCopy);
  ButtonGeneratePassword = PanelButton("ButtonGeneratePassword", tgDice);
  ButtonCopyUrl = PanelButton("ButtonCopyUrl", tgCopy);
  ButtonOpenUrl = PanelButton("ButtonOpenUrl", tgOpenUrl);
  ButtonAutomate = PanelButton("ButtonAutomate", tgType);
  ButtonCopyNotes = PanelButton("ButtonCopyNotes", tgCopy);
}

void TFormMain::CreateStatusBar() {
  QStatus1 = new TQStatus(this);
  QStatus1->SetName("QStatus1");
  QStatus1->SetParent(this);
  for (int width : {85, 60, 100, 217, 50}) QStatus1->AddPanel(width);
  QStatus1->Show();
  Progress = new TdxfProgressBar(this);
  Progress->SetName("Progress");
  Progress->SetParent(QStatus1);
  Progress->SetStyle(sExRectangles);
  Progress->SetBeginColor(RGBColor(40, 90, 170));
  Progress->SetEndColor(RGBColor(120, 190, 250));
}

void TFormMain::BindEvents() {
  OnShow = [this](TObject* s) { FormShow(s); };
  OnCloseQuery = [this](TObject* s, bool& canClose) { FormCloseQuery(s, canClose); };
  BindEntryEvents();
  BindMoveEvents();
  TimerStartup->OnTimer = [this](TObject* s) { TimerStartupTimer(s); };
  TimerUpdateUI->OnTimer = [this](TObject* s) { TimerUpdateUITimer(s); };
  TimerTray->OnTimer = [this](TObject* s) { TimerTrayTimer(s); };
  TimerSelectAllSearch->OnTimer = [this](TObject* s) { TimerSelectAllSearchTimer(s); };
  TrayIcon1->OnClick = [this](TObject* s) { TrayIcon1Click(s); };
  ButtonCopyTitle->OnClick = [this](TObject* s) { ButtonCopyTitleClick(s); };
  ButtonCopyUsername2->OnClick = [this](TObject* s) { ButtonCopyUsername2lick(s); };
  ButtonCopyPassword->OnClick = [this](TObject* s) { ButtonCopyPasswordClick(s); };
  ButtonCopyUrl->OnClick = [this](TObject* s) { ButtonCopyUrlClick(s); };
  ButtonCopyNotes->OnClick = [this](TObject* s) { ButtonCopyNotesClick(s); };
  ButtonOpenUrl->OnClick = [this](TObject* s) { OpenUrl1Click(s); };
  ButtonGeneratePassword->OnClick = [this](TObject* s) { ButtonGeneratePasswordClick(s); };
  ButtonAutomate->OnClick = [this](TObject* s) { ButtonAutomateClick(s); };
  EditShortcut->OnKeyDown = [this](TObject* s, WORD& key, TShiftState shift) { EditShortcutKeyDown(s, key, shift); };
  EditShortcut->OnDblClick = [this](TObject* s) { EditShortcutDblClick(s); };
  ButtonIcon->OnClick = [this](TObject* s) { ButtonIconClick(s); };
  LabelHideNotes->OnClick = [this](TObject* s) { CheckHideClick(s); };
  // In-place title editing starts only through F2, which allows it.
  ListView1->OnEditing = [this](TObject*, TEntryRow*, bool& allow) { allow = TitleEditAllowed; };
  TreeView1->OnContextPopup = [this](TObject*, int x, int y) {
    POINT p{x, y};
    ClientToScreen(TreeView1->Handle(), &p);
    PopupMenuGroup->Popup(p.x, p.y, Handle());
  };
  ListView1->OnContextPopup = [this](TObject*, int x, int y) {
    POINT p{x, y};
    ClientToScreen(ListView1->Handle(), &p);
    PopupMenuEntry->Popup(p.x, p.y, Handle());
  };
  Splitter1->OnMoved = [this](TSplitter*, int delta) {
    treeWidth_ += delta;
    LayoutControls();
  };
  Splitter2->OnMoved = [this](TSplitter*, int delta) {
    detailsHeight_ -= delta;
    detailsRatio_ = -1.0;
    LayoutControls();
  };
}

// ===========================================================================
// Layout

void TFormMain::LayoutControls() {
  if (!created_ || !HandleAllocated()) return;
  const RECT c = ClientRect();
  const int w = c.right, h = c.bottom;
  if (w <= 0 || h <= 0) return;

  ControlBar1->SetBounds(0, 0, w, kControlBarHeight);
  const int toolsWidth = std::max(ToolBar1->ButtonsWidth(), 100);
  ToolBar1->SetBounds(2, 2, toolsWidth, kControlBarHeight - 4);
  const int searchLeft = toolsWidth + 10;
  QEdit1->SetBounds(searchLeft, 4, 180, 22);
  Edit1->SetBounds(searchLeft, 4, 180, 22);
  ToolBar2->SetBounds(searchLeft + 184, 2, 60, kControlBarHeight - 4);

  QStatus1->Realign();
  const int statusHeight = QStatus1->HandleAllocated() ? QStatus1->Height() : 22;
  const int top = kControlBarHeight;
  const int areaHeight = std::max(h - top - statusHeight, 0);

  treeWidth_ = std::clamp(treeWidth_, kMinTreeWidth, std::max(kMinTreeWidth, w - 200));
  TreeView1->SetBounds(0, top, treeWidth_, areaHeight);
  Splitter1->SetBounds(treeWidth_, top, kSplitterSize, areaHeight);
  const int right = treeWidth_ + kSplitterSize;
  const int rightWidth = std::max(w - right, 0);

  // The details panel keeps its share of the height: the share is taken
  // once (and again after the splitter was dragged), then every size
  // applies it, within 170 and the height minus the splitter and 80 pixels
  // for the list.
  const int ch = areaHeight;
  if (ch > 0) {
    if (detailsRatio_ < 0) detailsRatio_ = static_cast<double>(detailsHeight_) / ch;
    const int upper = std::max(ch - kSplitterSize - 80, kMinDetailsHeight);
    detailsHeight_ = std::clamp(static_cast<int>(ch * detailsRatio_ + 0.5), kMinDetailsHeight, upper);
  }
  const int listHeight = std::max(ch - detailsHeight_ - kSplitterSize, 0);
  ListView1->SetBounds(right, top, rightWidth, listHeight);
  Splitter2->SetBounds(right, top + listHeight, rightWidth, kSplitterSize);
  PanelDetails->SetBounds(right, top + listHeight + kSplitterSize, rightWidth, detailsHeight_);
  LayoutDetails();
  PlaceProgress();
}

void TFormMain::RepaintResizedBars() {
  // The list's header and the status bar draw only what a size change
  // exposes: the column separators and the size grip of the old width would
  // stay on the screen. Both are drawn again whole.
  for (HWND wnd : {ListView1->HandleAllocated() ? ListView1->Handle() : nullptr,
                   QStatus1->HandleAllocated() ? QStatus1->Handle() : nullptr})
    if (wnd) RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TFormMain::LayoutDetails() {
  const int w = PanelDetails->Width(), h = PanelDetails->Height();
  const int labelX = 52, editX = 118, editW = 230, buttonX = editX + editW + 4;
  const int pitch = 27;
  ButtonIcon->SetBounds(8, 8, 36, 36);
  struct TRow {
    TLabel* label;
    TWinControl* field;
    TQToggleBitBtn* b1;
    TQToggleBitBtn* b2;
  };
  const TRow rows[] = {
      {LabelTitle, EditTitle, ButtonCopyTitle, nullptr},
      {LabelUser, EditUser, ButtonCopyUsername2, nullptr},
      {LabelPassword, EditPassword, ButtonCopyPassword, ButtonGeneratePassword},
      {LabelUrl, EditUrl, ButtonCopyUrl, ButtonOpenUrl},
      {LabelAutomate, EditAutomate, ButtonAutomate, nullptr},
      {LabelShortcut, EditShortcut, nullptr, nullptr},
  };
  int y = 8;
  for (const TRow& r : rows) {
    r.label->SetBounds(labelX, y + 3, editX - labelX - 4, 16);
    r.field->SetBounds(editX, y, editW, r.field == EditAutomate ? 160 : 22);
    if (r.b1) r.b1->SetBounds(buttonX, y, 24, 22);
    if (r.b2) r.b2->SetBounds(buttonX + 26, y, 24, 22);
    y += pitch;
  }
  const int notesX = buttonX + 58;
  const int notesW = std::max(w - notesX - 8, 40);
  LabelNotes->SetBounds(notesX, 11, 44, 16);
  LabelHideNotes->SetBounds(notesX + 48, 11, 90, 16);
  ButtonCopyNotes->SetBounds(notesX + notesW - 24, 6, 24, 22);
  MemoNotes->SetBounds(notesX, 32, notesW, std::max(h - 40, 20));
}

void TFormMain::PlaceProgress() {
  if (!QStatus1->HandleAllocated()) return;
  RECT r = QStatus1->PanelRect(3);
  if (r.right <= r.left) return;
  Progress->SetBounds(r.left + 2, r.top + 2, r.right - r.left - 4, r.bottom - r.top - 4);
}

// ===========================================================================
// Life cycle

void TFormMain::FormCreate(TObject*) {
  ExitRequested = false;
  AllowCopyDataMessage(Handle());
  DefaultAutomate = "USERNAME TAB PASSWORD ENTER";
  Progress->SetMin(0);
  Progress->SetMax(100);
  Progress->SetPosition(0);
  Progress->Hide();
  // The auto-type presets, with the change handlers silenced.
  const bool wasUpdating = Updating;
  Updating = true;
  try {
    EditAutomate->ClearItems();
    for (const char* preset : kAutomatePresets) EditAutomate->AddItem(preset);
    EditAutomate->SetDropDownCount(5);
    EditAutomate->SetItemIndex(-1);
    EditAutomate->SetText("");
  } catch (...) {
    Updating = wasUpdating;
    throw;
  }
  Updating = wasUpdating;
  SetSessionNotification(Handle(), true);
}

void TFormMain::FormShow(TObject*) {
  SetTaskbarButtonOwner(Handle(), FormPwd && FormPwd->HandleAllocated() ? FormPwd->Handle() : nullptr);
  UpdateCaption();
}

void TFormMain::FormDestroy(TObject*) {
  if (destroyed_) return;
  destroyed_ = true;
  TimerStartup->SetEnabled(false);
  TimerUpdateUI->SetEnabled(false);
  TimerTray->SetEnabled(false);
  TimerSelectAllSearch->SetEnabled(false);
  ProcessVaultLock().ReleaseHeldLock();
  if (HandleAllocated()) SetSessionNotification(Handle(), false);
  UnregisterAllHotKeys();
  WipeString(SessionKey);
  TrayIcon1->SetVisible(false);
}

void TFormMain::SettingsStoreToFile() {
  QDReg1->SetIniFileDir(TQDReg::AppDir());
  QDReg1->SetIniFileName(kSettingsFile);
}

void TFormMain::TimerStartupTimer(TObject*) {
  // A tray that refuses the icon is no reason to stop.
  if (!TrayIcon1->Visible()) TrayIcon1->SetVisible(true);
  TimerStartup->SetEnabled(false);
  SettingsStoreToFile();
  QDReg1->LoadFromFile();
  if (!FormSettings) new TFormSettings(Application);
  FormSettings->LoadSettings(*QDReg1);
  // The Defaults page gives the engine its cascade and iterations.
  DefaultsPageToEngine(QEnc1);
  RegisterVaultFileType();
  RegisterGlobalHotKeys();
  bool startMinimised = FormSettings->CheckBoxMinimized->Checked();
  const std::vector<std::string> args = ProgramArguments();
  const std::string path = args.empty() ? std::string() : Trim(args[0]);
  if (path.empty()) {
    if (FormSettings->CheckBoxLastFile->Checked()) LoadState(startMinimised);
  } else {
    startMinimised = false;
    OpenVault(ExpandFileName(path), false);
  }
  UpdateShortcutCaptions();
  if (startMinimised) TrayIcon1->Minimize();
}

void TFormMain::LoadState(bool startLocked) {
  SettingsStoreToFile();
  if (!QDReg1->LoadFromFile()) return;
  const std::string last = QDReg1->PopString("LastOpenedFile", "");
  const std::string shortcuts = QDReg1->PopString("LastEntryShortcuts", "");
  if (last.empty() || !Platform::FileExists(last) || !SameText(ExtractFileExt(last), ".qvl")) return;
  PendingHotKeyId = -1;
  if (startLocked) {
    // The vault is not read: it opens at the first unlock.
    VaultPath = ExpandFileName(last);
    Modified = false;
    Locked = true;
    RememberedShortcuts = shortcuts;
    WipeString(SessionKey);
    // The engine's key is cleared here once it exists.
    RegisterRememberedHotKeys();
    UpdateCaption();
  } else {
    OpenVault(last, false);
  }
}

void TFormMain::SaveState(bool rememberShortcuts) {
  if (VaultPath.empty()) return;
  if (rememberShortcuts && !Locked) BuildRememberedShortcuts();
  // Values the settings dialog wrote meanwhile are kept.
  SettingsStoreToFile();
  QDReg1->LoadFromFile();
  QDReg1->PushString("LastOpenedFile", VaultPath);
  QDReg1->PushString("LastEntryShortcuts", RememberedShortcuts);
  QDReg1->SaveToFile();
}

void TFormMain::TimerSelectAllSearchTimer(TObject*) {
  TimerSelectAllSearch->SetEnabled(false);
  PostMessageA(QEdit1->Handle(), EM_SETSEL, 0, -1);
}

// ===========================================================================
// Progress

void TFormMain::ShowProgress(int position) {
  if (!Progress) return;
  position = std::clamp(position, 0, 100);
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  Progress->Show();
  Progress->SetPosition(position);
  Progress->Repaint();
  Update();
}

void TFormMain::HideProgress() {
  if (!Progress) return;
  Progress->Hide();
  Progress->SetPosition(0);
  Progress->Repaint();
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  Update();
}

void TFormMain::FinishProgress() {
  ShowProgress(100);
  AppSeams().Sleep(150);
  HideProgress();
}

// ===========================================================================
// Document

void TFormMain::SetSearchMode(bool on) {
  if (Locked || LockRemembered || SessionLockedByWindows) on = false;
  SearchMode = on;
  Edit1->SetVisible(on);
  ToolCopy->SetVisible(on);
  QEdit1->SetVisible(!on);
  ToolSearch->SetVisible(!on);
  Edit1->SetBounds(QEdit1->Left(), Edit1->Top(), QEdit1->Width(), Edit1->Height());
}

void TFormMain::UpdateIconButton() {
  int icon = EditedIcon;
  if (icon < 0 || icon >= ImageListIcons->Count()) icon = 1;
  ButtonIcon->LoadGlyphFromImageList(ImageListIcons, icon);
}

void TFormMain::UpdateDetailControls() {
  const bool open = EntryOpen && EntryGroup;
  const bool editable = open && !ReadOnly;
  for (TEditBox* e : {EditTitle, EditUser, EditPassword, EditUrl}) {
    e->SetEnabled(open);
    e->SetReadOnly(!editable);
    e->SetColor(open ? clWhite : clBtnFace);
  }
  EditAutomate->SetEnabled(editable);
  EditShortcut->SetEnabled(editable);
  ButtonIcon->SetEnabled(editable);
  ButtonGeneratePassword->SetEnabled(editable);
  EditAutomate->SetColor(editable ? clWhite : clBtnFace);
  EditShortcut->SetColor(editable ? clWhite : clBtnFace);
  UpdateIconButton();
  UpdateNotesState();
}

void TFormMain::UpdateNotesState() {
  const bool wasUpdating = Updating;
  Updating = true;
  const bool open = EntryOpen && EntryGroup;
  const bool hidden = open && CurrentEntry && CurrentEntry->hiddenNotes;
  LabelHideNotes->SetEnabled(open && CurrentEntry && !ReadOnly);
  LabelHideNotes->SetCaption(hidden ? "Show Notes" : "Hide Notes");
  MemoNotes->SetEnabled(open);
  const bool writable = open && !hidden && !ReadOnly;
  MemoNotes->SetReadOnly(!writable);
  MemoNotes->SetColor(writable ? clWhite : clBtnFace);
  if (!open)
    MemoNotes->SetText("");
  else if (hidden)
    MemoNotes->SetText("[HIDDEN]");
  else if (CurrentEntry)
    MemoNotes->SetText(CurrentEntry->notes);
  Updating = wasUpdating;
}

// ===========================================================================
// Commands of the Help menu and the tray; the others live in the
// FormMain*.cpp file of their subject.


void TFormMain::AboutQuorvanePWM1Click(TObject*) {
  if (FormAbout) FormAbout->ShowModal();
  UnlockIfLocked();
}

void TFormMain::ProductPage1Click(TObject*) { AppSeams().OpenUrl(kProductUrl); }

void TFormMain::MakerPage1Click(TObject*) { AppSeams().OpenUrl(kMakerUrl); }

void TFormMain::Vaultline1Click(TObject*) { ShowMainWindow(true); }

bool TFormMain::UnlockIfLocked() {
  if (!Locked) return false;
  ShowMainWindow(true);
  return true;
}

// ===========================================================================
// Messages

bool TFormMain::DialogKey(WORD key, unsigned shift) {
  // Tab from the search edit into the entry list, Enter searches.
  return SearchDialogKey(key, shift);
}

bool TFormMain::IsShortCut(WORD key, unsigned shift) { return MainMenu1->IsShortCut(key, shift); }

LRESULT TFormMain::HandleCopyData(const COPYDATASTRUCT* data) {
  // The data comes from any process: no more than cbData bytes are read.
  HandOver(DecodeHandOverPath(data->lpData, data->cbData));
  return 1;
}

void TFormMain::HandOver(std::string path) {
  if (path.empty()) {
    ShowMainWindow(true);
    return;
  }
  path = ExpandFileName(path);
  if (Locked) {
    const std::string oldPath = VaultPath;
    UnregisterRememberedHotKeys();
    Locked = false;
    Modified = false;
    PendingHotKeyId = -1;
    UpdateCaption();
    ShowMainWindow(false);
    if (!OpenVault(path, true)) {
      VaultPath = oldPath;
      Modified = false;
      Locked = true;
      RegisterRememberedHotKeys();
      UpdateCaption();
      TrayIcon1->Minimize();
    }
    return;
  }
  const bool same = !VaultPath.empty() && SameText(ExpandFileName(VaultPath), path);
  ShowMainWindow(false);
  if (!same) OpenVault(path, false);
}

LRESULT TFormMain::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == TaskbarCreatedMessage()) return HandleTaskbarCreated();
  if (EngineWaitDepth > 0) {
    LRESULT result = 0;
    if (DeferDuringEngineWait(msg, wParam, lParam, result)) return result;
  }
  switch (msg) {
    case kRunDeferredMessage:
      RunDeferredHandOvers();
      return 0;
    case kWipeReleasedMessage:
      WipeReleasedPosted = false;
      Platform::WipeFreedMemory();
      return 0;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data && data->dwData == kHandOverTag) return HandleCopyData(data);
      break;
    }
    case WM_SYSCOMMAND:
      return HandleSysCommand(wParam, lParam);
    case WM_POWERBROADCAST:
      return HandlePowerBroadcast(wParam);
    case WM_WTSSESSION_CHANGE:
      return HandleSessionChange(wParam);
    case WM_HOTKEY:
      return HandleHotKey(wParam, lParam);
    case WM_SIZE: {
      LRESULT r = TForm::WndProc(msg, wParam, lParam);
      if (wParam != SIZE_MINIMIZED) {
        LayoutControls();
        RepaintResizedBars();
      }
      return r;
    }
    case WM_GETMINMAXINFO: {
      auto* mm = reinterpret_cast<MINMAXINFO*>(lParam);
      mm->ptMinTrackSize.x = 640;
      mm->ptMinTrackSize.y = 420;
      return 0;
    }
    default:
      break;
  }
  return TForm::WndProc(msg, wParam, lParam);
}
