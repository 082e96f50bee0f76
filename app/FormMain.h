// TFormMain: the program's main window. It owns the document state of the
// open vault, the window's controls (menus, tool bars, the group tree, the
// entry list, the details panel, the status bar with its progress bar), the
// tray icon, the four timers and the settings store, and it receives a
// vault path handed over by a second start of the program.
//
// The commands of the menus, tool bars and buttons are bound to the
// handlers below; their work is spread over the FormMain*.cpp files by
// subject (vault document, groups and entries, moves, auto-type and hot
// keys, locking, settings, KeePass text).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/EntryListView.h"
#include "app/model/Shortcuts.h"
#include "app/model/VaultBackup.h"
#include "app/model/VaultDocument.h"
#include "app/model/VaultModel.h"
#include "controls/QEdit.h"
#include "controls/QStatus.h"
#include "controls/QToggleBitBtn.h"
#include "controls/dxfProgressBar.h"
#include "engine/QEnc.h"
#include "notes/QMemo.h"
#include "settings/QDReg.h"
#include "ui/ComCtrls.h"
#include "ui/Dialogs.h"
#include "ui/EditCtrls.h"
#include "ui/ExtCtrls.h"
#include "ui/Form.h"
#include "ui/ImageList.h"
#include "ui/Menus.h"
#include "ui/TrayIcon.h"

struct TGroupPlacement;

class TFormMain : public TForm {
 public:
  explicit TFormMain(TComponent* owner);
  ~TFormMain() override;

  // ---- Document state ------------------------------------------------------
  bool Locked = false;
  bool Unlocking = false;
  bool ReadOnly = false;
  bool Modified = false;
  std::string VaultPath;   // full path of the open or locked vault; "" for none or a new one
  std::string SessionKey;  // wiped with WipeString before it is replaced or dropped
  std::string DefaultAutomate;
  bool ExitRequested = false;
  TVaultModel Vault;       // the group tree and the entries

  // ---- Selection and editing state -------------------------------------------
  TTreeNode* CurrentGroup = nullptr;
  TVaultEntry* CurrentEntry = nullptr;
  TTreeNode* EntryGroup = nullptr;
  bool EntryOpen = false;
  int EditedIcon = 1;
  bool Updating = false;
  bool SearchActive = false;
  std::string SearchText;
  bool SearchEditGuard = false;
  bool TitleEditAllowed = false;
  bool SearchMode = false;  // the tool-bar edit Edit1 shows instead of QEdit1

  // ---- Group tree and entry list (FormMainEntries.cpp) -----------------------
  // Changes whenever the shown document is replaced, emptied or locked: a
  // command that waited for the user compares it before going on.
  std::uint64_t DocumentGeneration = 0;
  bool GroupsExpanded = false;

  // ---- Components -------------------------------------------------------------
  TQDReg* QDReg1;
  TQEnc* QEnc1;  // the vault's engine: cipher cascade, iterations, key
  TImageList* ImageListIcons;
  TImageList* ImageListTray;
  TImageList* ImageListTools;
  TBitmap ImageMarble;  // the footer picture of the dialogs
  TMemo* MemoData;      // hidden: the vault text
  TOpenDialog* OpenDialog1;
  TSaveDialog* SaveDialog1;
  TTrayIcon* TrayIcon1;
  TTimer* TimerStartup;
  TTimer* TimerUpdateUI;
  TTimer* TimerTray;
  TTimer* TimerSelectAllSearch;

  TMainMenu* MainMenu1;
  TMenuItem *File1, *New1, *Open1, *Lock1, *Close1, *ChangeMasterPassword1, *Save1, *SaveAs1, *Import1, *Export1,
      *Settings1, *Exit1;
  TMenuItem *Groups1, *AddGroup1, *RenameGroup1, *DeleteGroup1, *GroupUp1, *GroupDown1, *ExpandCollapseAllGroups1;
  TMenuItem *Entries1, *AddEntry1, *DeleteEntry1, *EntryUp1, *EntryDown1, *OpenCategory, *SearchEntry1,
      *CopyUsername1, *CopyPassword1, *OpenUrl1, *HideShowNotes1, *TypeCredentials1;
  TMenuItem *Help1, *ProductPage1, *MakerPage1, *AboutQuorvanePWM1;
  TPopupMenu* PopupMenuGroup;
  TMenuItem *AddGroup2, *EditGroup1, *DeleteGroup2, *GroupUp2, *GroupDown2;
  TPopupMenu* PopupMenuEntry;
  TMenuItem *AddEntry2, *DeleteEntry2, *EntryUp2, *EntryDown2, *OpenCategory2, *CopyUsername2, *CopyPassword2,
      *OpenUrl2, *HideShowNotes2, *TypeCredentials2;
  TPopupMenu* PopupMenuTray;
  TMenuItem *Vaultline1, *Minimize1, *Lock2, *Close2, *Exit2;

  TPanel* ControlBar1;
  TToolBar* ToolBar1;
  TToolButton *ToolNew, *ToolOpen, *ToolClose, *ToolSave, *ToolLock, *ToolGroupNew, *ToolGroupEdit,
      *ToolGroupDelete, *ToolKeyNew, *ToolKeyDelete, *ToolOpenURL, *ToolType;
  TQEdit* QEdit1;   // the search edit
  TEditBox* Edit1;  // the tool-bar edit of the other search mode
  TToolBar* ToolBar2;
  TToolButton *ToolSearch, *ToolCopy;

  TTreeView* TreeView1;
  TSplitter* Splitter1;
  TEntryListView* ListView1;
  TSplitter* Splitter2;
  TPanel* PanelDetails;
  TQToggleBitBtn* ButtonIcon;
  TLabel *LabelTitle, *LabelUser, *LabelPassword, *LabelUrl, *LabelAutomate, *LabelShortcut, *LabelNotes;
  TEditBox *EditTitle, *EditUser, *EditPassword, *EditUrl, *EditShortcut;
  TComboBox* EditAutomate;
  TQMemo* MemoNotes;  // the notes editor
  TLabel* LabelHideNotes;
  TQToggleBitBtn *ButtonCopyTitle, *ButtonCopyUsername2, *ButtonCopyPassword, *ButtonCopyUrl, *ButtonCopyNotes,
      *ButtonOpenUrl, *ButtonGeneratePassword, *ButtonAutomate;
  TQStatus* QStatus1;
  TdxfProgressBar* Progress;

  // ---- Life cycle -------------------------------------------------------------
  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormDestroy(TObject* sender);
  void TimerStartupTimer(TObject* sender);
  void TimerUpdateUITimer(TObject* sender);
  void TimerTrayTimer(TObject* sender);
  void TimerSelectAllSearchTimer(TObject* sender);

  // Remembers the open vault in the settings file (LastOpenedFile,
  // LastEntryShortcuts), keeping what else the file holds. rememberShortcuts
  // false keeps the remembered chords as the file on disk has them (the
  // entries may have been renumbered since its last save).
  void SaveState(bool rememberShortcuts = true);
  // Reopens the last vault at start, or only remembers it locked.
  void LoadState(bool startLocked);

  // ---- Progress on the status bar ---------------------------------------------------
  void ShowProgress(int position);
  void HideProgress();
  void FinishProgress();

  // ---- Waits for the engine (FormMainVault.cpp) ---------------------------------
  // Keys derived from a password may take minutes (a header may claim any
  // iteration count). While that runs on this thread the status bar's bar
  // moves, Esc cancels, and only painting runs: a hand-over, a session or
  // standby lock and a hot key that come meanwhile are put off until the
  // wait is over, so nothing opens, locks or saves under the running engine.
  int EngineWaitDepth = 0;
  std::vector<std::string> DeferredHandOvers;
  static constexpr UINT kRunDeferredMessage = WM_APP + 0x51;
  // One report of a running derivation: the bar at position, painting done,
  // Esc (pressed since the last report) sets cancel.
  void EngineWaitProgress(int position, bool& cancel);
  // During a wait: takes a message that must not run now and puts it off
  // (result is its answer); false for any other message.
  bool DeferDuringEngineWait(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The hand-overs put off by a wait, in the order they came.
  void RunDeferredHandOvers();

  // ---- Document ----------------------------------------------------------------------
  // Caption, application title and tray hint: "[Locked] ", "[Read-only] ",
  // "*", then the file name (or "Untitled") and " - Vaultline".
  void UpdateCaption();
  // The editing commands of the menus and the tool bar: enabled while an
  // unlocked vault can be changed.
  void UpdateEditingCommands();
  // answer, when given, receives the button pressed (0 when nothing was
  // asked).
  bool ConfirmSaveChanges(int* answer = nullptr);
  bool SaveVault(bool silent);
  bool OpenVault(const std::string& path, bool force);
  // Asks for a file name and saves the vault there (FormMainVault.cpp).
  bool SaveVaultAs();
  // The iteration count the held session key was derived with (0: none);
  // opening tries it again after a wrong password.
  int SessionKeyIterations = 0;
  // The new session key, made at iterations, replaces the held one (which is
  // wiped); key is left empty.
  // Zeroes the memory the process freed and the stack's unused part: once a
  // vault is locked, closed or replaced, the copies of its text that the
  // system made while showing it are freed without wiping. It runs from the
  // message loop, right after the message being handled, where the stack
  // is shallowest.
  void WipeReleasedText();
  static constexpr UINT kWipeReleasedMessage = WM_APP + 0x52;
  bool WipeReleasedPosted = false;
  void TakeSessionKey(std::string& key, int iterations);
  // The file steps of a save: a step a test sets here replaces the default
  // (failures injected, a save stopped after a step as a crash would).
  TVaultSaveIo SaveIo;
  // The backup copies that saves make.
  TVaultBackup VaultBackups{DefaultBackupSeams(nullptr)};
  // Locking (FormMainLock.cpp). With prompt a modified vault asks to be
  // saved first; without it the changes are dropped. True when locked.
  bool LockVault(bool prompt);
  bool UnlockVault();
  // Seconds until the inactivity lock, or -1 when none is counting down.
  int SecondsUntilIdleLock();
  // Closing hides the window in the tray; after Exit it ends the program.
  void FormCloseQuery(TObject* sender, bool& canClose);
  // Associates ".qvl" files with this executable (start-up).
  void RegisterVaultFileType();
  // Restores the window from the tray and brings it to the front; unlocks a
  // locked vault when asked.
  void ShowMainWindow(bool unlockIfLocked);
  void SetSearchMode(bool on);
  // Enabling and colours of the details panel for the present entry.
  void UpdateDetailControls();
  void UpdateNotesState();
  void UpdateIconButton();

  // ---- Commands ----------------------------------------------------------------------
  void NewFile(TObject* sender);
  void OpenFile(TObject* sender);
  void Lock1Click(TObject* sender);
  void CloseFile(TObject* sender);
  void ChangeMasterPassword1Click(TObject* sender);
  void SaveFile(TObject* sender);
  void SaveFileAs(TObject* sender);
  void Import1Click(TObject* sender);
  void Export1Click(TObject* sender);
  void Settings1Click(TObject* sender);
  void Exit1Click(TObject* sender);
  void GroupNew(TObject* sender);
  void GroupChange(TObject* sender);
  void GroupDelete(TObject* sender);
  void GroupMoveUp(TObject* sender);
  void GroupMoveDown(TObject* sender);
  void ExpandCollapseAllGroups1Click(TObject* sender);
  void EntryNew(TObject* sender);
  void EntryDelete(TObject* sender);
  void EntryMoveUp(TObject* sender);
  void EntryMoveDown(TObject* sender);
  void OpenCategory1Click(TObject* sender);
  void SearchEntry1Click(TObject* sender);
  void ButtonCopyUsername2lick(TObject* sender);
  void ButtonCopyPasswordClick(TObject* sender);
  void OpenUrl1Click(TObject* sender);
  void CheckHideClick(TObject* sender);
  void ButtonAutomateClick(TObject* sender);
  void ButtonCopyTitleClick(TObject* sender);
  void ButtonCopyUrlClick(TObject* sender);
  void ButtonCopyNotesClick(TObject* sender);
  void ButtonIconClick(TObject* sender);
  void ButtonGeneratePasswordClick(TObject* sender);
  void ToolSearchClick(TObject* sender);
  void ToolCopyClick(TObject* sender);
  void AboutQuorvanePWM1Click(TObject* sender);
  void ProductPage1Click(TObject* sender);
  void MakerPage1Click(TObject* sender);
  void TrayIcon1Click(TObject* sender);
  void Vaultline1Click(TObject* sender);
  void Minimize1Click(TObject* sender);
  // Group tree and entry list (FormMainEntries.cpp).
  bool RefuseIfReadOnly(bool showMessage);
  void Changed(TObject* sender);
  void BuildVaultText();
  void FillGroupTree();
  // After a read: every group expanded, the first selected and scrolled
  // into view, its entries listed.
  void ShowReadVault();
  void SetAllGroupsExpanded(bool expanded);
  TTreeNode* NodeOfGroup(const TVaultGroup* group) const;
  static TVaultGroup* GroupOfNode(const TTreeNode* node);
  void ClearEntryDetails();
  void ShowEntry(TVaultEntry* entry);
  void FillEntryList();
  void UpdateEntryRow(TVaultEntry* entry);
  void ClearSearchHistory();
  void FreeAllEntries();
  std::string GetSearchQuery();
  void EntrySave(TObject* sender);
  void EntryOpenDblClick(TObject* sender);
  void TreeView1Change(TObject* sender, TTreeNode* node);
  void TreeView1Click(TObject* sender);
  void TreeView1Edited(TObject* sender, TTreeNode* node, std::string& text);
  void TreeView1KeyDown(TObject* sender, WORD& key, TShiftState shift);
  void ListView1Click(TObject* sender);
  void ListView1Edited(TObject* sender, TEntryRow* item, std::string& text);
  void ListView1KeyDown(TObject* sender, WORD& key, TShiftState shift);
  void ListView1SelectItem(TObject* sender, TEntryRow* item, bool selected);
  void QEdit1Change(TObject* sender);
  void EditPasswordDblClick(TObject* sender);
  void ControlBar1DblClick(TObject* sender);
  // Tab and Enter in the search edit.
  bool SearchDialogKey(WORD key, unsigned shift);
  // After a wait for the user: false (and the locked window shown with its
  // prompt) when the vault was locked or the document replaced meanwhile.
  bool StillSameDocument(std::uint64_t generation);
  // After a modal dialog of a command: a vault locked meanwhile is shown
  // with the unlock prompt and the command is abandoned (true).
  bool UnlockIfLocked();

  // ---- Messages ------------------------------------------------------------------
  LRESULT HandleCopyData(const COPYDATASTRUCT* data);
  // A path handed over by a second start ("" only shows the window).
  void HandOver(std::string path);
  LRESULT HandleSysCommand(WPARAM wParam, LPARAM lParam);
  LRESULT HandlePowerBroadcast(WPARAM event);
  LRESULT HandleSessionChange(WPARAM code);
  // The task bar was (re)created: the tray icon is added again.
  static UINT TaskbarCreatedMessage();
  LRESULT HandleTaskbarCreated();
  // WM_HOTKEY: wParam the hot-key id, lParam the chord (modifiers in the
  // low word, key in the high word).
  LRESULT HandleHotKey(WPARAM id, LPARAM lParam);

  // ---- Auto-type and hot keys (FormMainAutoType.cpp) ----------------------------
  TGlobalHotKey OpenHotKey;
  TGlobalHotKey LockHotKey;
  int HotKeyGuardId = 0;
  std::uint32_t HotKeyGuardUntil = 0;
  // The hot-key table of this window (RegisterHotKey); tests may replace it.
  THotKeyRegistrar& HotKeys();
  void SetHotKeys(std::unique_ptr<THotKeyRegistrar> registrar);
  // Types the entry's credentials by its sequence into the window that has
  // the keyboard focus, after Alt+Tab when altTabFirst.
  void RunAutomate(TVaultEntry* entry, bool altTabFirst = false);
  bool SetOpenHotKey(const std::string& text);
  bool SetLockHotKey(const std::string& text);
  void ClearOpenHotKey();
  void ClearLockHotKey();
  bool CheckEntryHotKeyConflicts(TVaultEntry* entry, const std::string& text);
  bool RegisterEntryHotKeys();
  void UnregisterEntryHotKeys();
  void BuildRememberedShortcuts();
  void RegisterRememberedHotKeys();
  void UnregisterRememberedHotKeys();
  // The Open and Lock hot keys from the settings store, at start-up.
  void RegisterGlobalHotKeys();
  // Every hot key of the window, when it is destroyed.
  void UnregisterAllHotKeys();
  void UpdateShortcutCaptions();
  void EditShortcutKeyDown(TObject* sender, WORD& key, TShiftState shift);
  void EditShortcutDblClick(TObject* sender);

  // ---- Moving groups and entries, drag and drop (FormMainMoves.cpp) ----------
  // An entry dragged from the list, and a group dragged in the tree; each
  // drag holds the mouse capture of its control until the button is let go.
  TVaultEntry* DragEntry = nullptr;
  bool EntryDragging = false;
  POINT DragStart{0, 0};
  TVaultGroup* DragGroup = nullptr;
  bool GroupDragging = false;
  // Exchanges the selected entry with its neighbour in its group (-1 up,
  // +1 down).
  void MoveEntry(int delta);
  // Ids 1..n in list order, the entry hot keys registered under the new
  // ids, the vault text and the list refreshed.
  void RenumberEntries();
  void MoveEntryToGroup(TVaultEntry* entry, TTreeNode* node);
  // The tree node under a point of the entry list's client area, or null.
  TTreeNode* NodeAtListPoint(int x, int y);
  void ListView1StartDrag(TObject* sender, TEntryRow* row, int x, int y);
  void ListView1MouseMove(TObject* sender, TShiftState shift, int x, int y);
  void ListView1MouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void TreeView1StartDrag(TObject* sender, TTreeNode* node, int x, int y);
  void TreeView1MouseMove(TObject* sender, TShiftState shift, int x, int y);
  void TreeView1MouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  // Whether the node under the tree's client point takes what is dragged
  // from source (the list or the tree).
  bool TreeView1DragOver(TObject* source, int x, int y);
  void TreeView1DragDrop(TObject* source, int x, int y);
  // Ends any drag: state reset, capture released, cursor and drop target
  // cleared.
  void CancelDrag();

  // Tab from the search edit moves into the entry list.
  bool DialogKey(WORD key, unsigned shift) override;
  bool IsShortCut(WORD key, unsigned shift) override;

  // The settings file beside the executable.
  static constexpr char kSettingsFile[] = "Vaultline.ini";

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateComponents();
  void CreateMenus();
  void CreateToolBars();
  void CreateViews();
  void CreateDetails();
  void CreateStatusBar();
  void BindEvents();
  void LayoutControls();
  void RepaintResizedBars();
  void LayoutDetails();
  void PlaceProgress();
  void SettingsStoreToFile();
  TQToggleBitBtn* PanelButton(const std::string& name, int glyph);

  void BindEntryEvents();
  void BindMoveEvents();
  // Carries out a planned group move in the vault and the tree, then
  // selects the group; false when nothing was moved.
  bool PlaceGroup(TVaultGroup* group, const TGroupPlacement& plan);
  // The rest of a renumbering: hot-key and auto-type state, vault text,
  // list, and the message about chords that could not be registered again;
  // false when the vault was locked or replaced while the message was up.
  bool AfterRenumber(const std::string& hotKeyConflict);
  // A drag begun in this document that may go on (the vault not locked,
  // replaced or read-only meanwhile).
  bool DragStillValid() const;
  std::uint64_t dragGeneration_ = 0;  // DocumentGeneration when the drag began
  std::unordered_map<const TVaultGroup*, HTREEITEM> groupNodes_;  // the tree item of each group
  bool listMovesTree_ = false;  // the list moves the tree's selection
  bool deletingNodes_ = false;  // tree nodes are being deleted
  int treeWidth_ = 220;
  int detailsHeight_ = 206;
  double detailsRatio_ = -1.0;
  bool destroyed_ = false;
  bool created_ = false;
  std::unique_ptr<THotKeyRegistrar> hotKeys_;
};

extern TFormMain* FormMain;

// The session key of password made by engine, with the main window's wait
// (FormMainVault.cpp) between from and to; "" when it failed or the user
// cancelled (the engine's CancelRequested tells which).
std::string DeriveKeyWaiting(TFormMain& form, TQEnc& engine, const std::string& password, int from, int to);

// The program's command-line arguments after its own name, parsed like
// ParamStr: blanks separate, double quotes group and are removed.
std::vector<std::string> ProgramArguments();
