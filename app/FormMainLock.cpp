// Locking and the notification area: the vault locks on command (menu, tray,
// tool bar, Lock hot key; asking to save first), and without asking when the
// inactivity timeout runs out, when Windows is locked and on standby. A
// locked vault keeps only its path; unlocking reopens the file with the
// master password. Closing and minimising the window hide it in the tray;
// only Exit ends the program. The one-second interface timer and the tray
// timer live here too, and the file association written at start-up.
//
// A lock may fire inside any modal loop (message boxes and dialogs run the
// timers, session messages and hot keys): every wait here checks Locked and
// DocumentGeneration afterwards and gives up when the document went.
#include <windows.h>
#include <wtsapi32.h>

#include <string>

#include "app/AppSeams.h"
#include "app/FileAssociation.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/model/EntryRules.h"
#include "app/model/LockRules.h"
#include "base/SysUtils.h"
#include "base/Wipe.h"
#include "settings/ModuleFileName.h"

namespace {

constexpr char kLockCaption[] = "Lock Vaultline";
constexpr char kLockQuestion[] =
    " has been modified.\r\n\r\nDo you want to save the changes before locking?\r\n\r\n"
    "Yes = Save and lock\r\nNo = Discard changes and lock\r\nCancel = Do not lock";

// Set while the close handler hides the window to the tray, so that the
// minimise this causes is not turned into another close.
bool HidingToTray = false;

// The task bar window and its process, as last seen by the tray timer.
TTaskbarWatch& TaskbarWatch() {
  static TTaskbarWatch watch;
  return watch;
}

// The Windows session and standby options of the settings dialog, read
// live; off while there is no dialog.
bool SettingChecked(TCheckBox* TFormSettings::*box) {
  return FormSettings && (FormSettings->*box) && (FormSettings->*box)->Checked();
}

// Notes the moment of a lock (of the vault or of Windows) once, with the
// search mode in use, so that both can be given back at the next unlock.
void RememberLock(bool searchMode) {
  if (LockRemembered) return;
  LockRemembered = true;
  SearchModeAtLock = searchMode;
  LockTick = AppSeams().TickCount();
}

}  // namespace

// ===========================================================================
// Lock and unlock

bool TFormMain::LockVault(bool prompt) {
  if (Locked) return true;
  if (VaultPath.empty()) return false;
  const std::string path = VaultPath;
  const std::uint64_t generation = DocumentGeneration;
  // A wait for the user may end with the vault locked by a silent lock
  // (nothing left to do) or replaced (this lock no longer applies).
  auto replaced = [&] { return DocumentGeneration != generation || VaultPath != path; };
  bool discard = false;
  if (Modified) {
    if (prompt) {
      const int answer = ShowMessageBox(ExtractFileName(path) + kLockQuestion, kLockCaption,
                                        MB_YESNOCANCEL | MB_ICONQUESTION);
      if (Locked) return true;
      if (replaced() || answer == IDCANCEL || (answer != IDYES && answer != IDNO)) return false;
      if (answer == IDYES) {
        const bool saved = SaveVault(false);
        if (Locked) return true;
        if (!saved || replaced()) return false;
      } else {
        discard = true;
      }
    } else {
      discard = true;
    }
  }
  if (!discard) SaveState();
  ProcessVaultLock().ReleaseHeldLock();
  RememberLock(SearchMode);
  SetSearchMode(false);
  // Every copy of a secret goes: the vault text, the records (wiped by
  // their destructor), the controls that showed them, then the tree.
  MemoData->ClearSecret();
  FreeAllEntries();
  ClearEntryDetails();
  {
    TFlagScope guard(deletingNodes_);
    TreeView1->Clear();
    groupNodes_.clear();
  }
  CurrentGroup = nullptr;
  Vault.Clear();
  WipeString(SearchText);
  SearchActive = false;
  {
    TFlagScope guard(SearchEditGuard);
    QEdit1->SetText("");
  }
  ClearSearchHistory();
  ResetAutomateAwait();
  WipeString(SessionKey);
  QEnc1->ClearSessionKey();
  VaultPath = path;
  Modified = false;
  Locked = true;
  PendingHotKeyId = -1;
  ++DocumentGeneration;
  RegisterRememberedHotKeys();
  UpdateCaption();
  TrayIcon1->Minimize();
  WipeReleasedText();
  return true;
}

bool TFormMain::UnlockVault() {
  if (!Locked) return true;
  if (Unlocking) return false;
  const std::string path = VaultPath;
  UnregisterRememberedHotKeys();
  if (FormPwd) {
    FormPwd->AllowClose = true;
    FormPwd->ClosePressed = false;
  }
  Unlocking = true;
  const bool opened = OpenVault(path, false);
  Unlocking = false;
  const bool closePressed = FormPwd && FormPwd->ClosePressed;
  if (FormPwd) FormPwd->AllowClose = false;
  if (opened) {
    Locked = false;
    // The open ran while still locked: the commands come back now, not at
    // the next tick of the timer.
    UpdateEditingCommands();
    if (FormPwd) FormPwd->ClosePressed = false;
    if (LockRemembered && !SessionLockedByWindows) {
      if (LockedLongerThan30Min()) {
        Edit1->SetText("");
        SearchModeAtLock = false;
      }
      LockRemembered = false;
      SetSearchMode(SearchModeAtLock);
    }
    UpdateCaption();
    if (PendingHotKeyId >= 0) {
      const int id = PendingHotKeyId;
      PendingHotKeyId = -1;
      if (TVaultEntry* entry = FindEntryById(Vault.Entries, id)) {
        SearchActive = false;
        SearchText.clear();
        {
          TFlagScope guard(SearchEditGuard);
          QEdit1->SetText("");
        }
        TTreeNode* node = NodeOfGroup(entry->group);
        if (node) TreeView1->SetSelected(node);
        CurrentGroup = node;
        CurrentEntry = entry;
        FillEntryList();
        ShowEntry(entry);
      }
    }
    return true;
  }
  PendingHotKeyId = -1;
  if (closePressed) {
    // The prompt's Close button: no vault is left, locked or open.
    if (FormPwd) FormPwd->ClosePressed = false;
    Locked = false;
    Modified = false;
    CloseFile(this);
    return false;
  }
  // The open may have got as far as replacing the path: the locked vault
  // stays what it was.
  VaultPath = path;
  Modified = false;
  Locked = true;
  RegisterRememberedHotKeys();
  UpdateCaption();
  TrayIcon1->Minimize();
  return false;
}

void TFormMain::ShowMainWindow(bool unlockIfLocked) {
  TrayIcon1->Restore();
  HWND wnd = Handle();
  if (IsIconic(wnd)) ShowWindow(wnd, SW_RESTORE);
  Show();
  BringWindowToTop(wnd);
  SetForegroundWindow(wnd);
  SetActiveWindow(wnd);
  if (unlockIfLocked && Locked) UnlockVault();
}

// ===========================================================================
// Windows session and power messages

LRESULT TFormMain::HandleSessionChange(WPARAM code) {
  if (code == WTS_SESSION_LOCK) {
    RememberLock(SearchMode);
    SessionLockedByWindows = true;
    SetSearchMode(false);
    if (SettingChecked(&TFormSettings::CheckSessionWindowsLock)) LockVault(false);
  } else if (code == WTS_SESSION_UNLOCK) {
    SessionLockedByWindows = false;
    if (LockRemembered && !Locked && !Unlocking) {
      if (LockedLongerThan30Min()) {
        Edit1->SetText("");
        SearchModeAtLock = false;
      }
      LockRemembered = false;
      SetSearchMode(SearchModeAtLock);
    }
  }
  return 0;
}

LRESULT TFormMain::HandlePowerBroadcast(WPARAM event) {
  if ((event == PBT_APMQUERYSUSPEND || event == PBT_APMSUSPEND || event == PBT_APMSTANDBY) &&
      SettingChecked(&TFormSettings::CheckSessionStandby))
    LockVault(false);
  // A suspension is always granted.
  return 1;
}

LRESULT TFormMain::HandleSysCommand(WPARAM wParam, LPARAM lParam) {
  // Minimising goes through the close: the save question, then the tray.
  if ((wParam & 0xFFF0) == SC_MINIMIZE && !HidingToTray) {
    Close();
    return 0;
  }
  return TForm::WndProc(WM_SYSCOMMAND, wParam, lParam);
}

UINT TFormMain::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

LRESULT TFormMain::HandleTaskbarCreated() {
  // The new notification area knows no icons: ours is added again.
  TrayIcon1->SetVisible(false);
  TrayIcon1->SetVisible(true);
  return 0;
}

// ===========================================================================
// Timers

int TFormMain::SecondsUntilIdleLock() {
  if (Locked || Unlocking || VaultPath.empty() || !SettingChecked(&TFormSettings::CheckSessionTimeout)) return -1;
  return SecondsUntilIdleLockAt(IdleLockMinutes(FormSettings->EditTimeout->Text()), IdleMilliseconds());
}

void TFormMain::UpdateEditingCommands() {
  const bool editable = !Locked && !ReadOnly && !SessionKey.empty();
  for (TMenuItem* item : {Save1, AddGroup1, DeleteGroup1, RenameGroup1, AddEntry1, DeleteEntry1, AddGroup2, EditGroup1,
                          DeleteGroup2, AddEntry2, DeleteEntry2, GroupUp1, GroupDown1, GroupUp2, GroupDown2, EntryUp1,
                          EntryDown1, EntryUp2, EntryDown2, ChangeMasterPassword1, Import1})
    item->SetEnabled(editable);
  for (TToolButton* b : {ToolSave, ToolGroupNew, ToolGroupDelete, ToolGroupEdit, ToolKeyNew, ToolKeyDelete})
    b->SetEnabled(editable);
}

void TFormMain::TimerUpdateUITimer(TObject*) {
  // A search remembered at a lock is forgotten after 30 minutes.
  if (LockedLongerThan30Min()) {
    Edit1->SetText("");
    SearchModeAtLock = false;
    LockRemembered = false;
    SetSearchMode(false);
  }
  // The lock file's heartbeat.
  if (!Locked && !VaultPath.empty() && !SessionKey.empty()) ProcessVaultLock().RefreshLock();
  UpdateEditingCommands();
  QStatus1->SetPanelText(0, IntToStr(static_cast<std::int64_t>(Vault.Entries.size())) + " Entries");
  QStatus1->SetPanelText(1, Modified ? "Modified" : "");
  // The inactivity countdown, or the lock options in force.
  const int seconds = SecondsUntilIdleLock();
  QStatus1->SetPanelText(2, LockStatusText(seconds, SettingChecked(&TFormSettings::CheckSessionWindowsLock),
                                           SettingChecked(&TFormSettings::CheckSessionStandby),
                                           SettingChecked(&TFormSettings::CheckSessionTermination)));
  // The cipher cascade of the vault whose key is held; nothing without a
  // vault or while it is locked.
  QStatus1->SetPanelText(4, SessionKey.empty() ? std::string() : DescribeCipherCascade(QEnc1));
  // The inactivity timeout ran out: locked without asking, as for the
  // Windows lock. Last, since the lock may run the messages of others.
  if (seconds == 0) {
    LockVault(false);
    QStatus1->SetPanelText(0, IntToStr(static_cast<std::int64_t>(Vault.Entries.size())) + " Entries");
    QStatus1->SetPanelText(1, Modified ? "Modified" : "");
    QStatus1->SetPanelText(2, LockStatusText(SecondsUntilIdleLock(),
                                             SettingChecked(&TFormSettings::CheckSessionWindowsLock),
                                             SettingChecked(&TFormSettings::CheckSessionStandby),
                                             SettingChecked(&TFormSettings::CheckSessionTermination)));
  }
}

void TFormMain::TimerTrayTimer(TObject*) {
  // A task bar that was recreated has lost the icon: it is added again.
  HWND bar = FindWindowA("Shell_TrayWnd", nullptr);
  DWORD pid = 0;
  if (bar) GetWindowThreadProcessId(bar, &pid);
  if (TaskbarWatch().Seen(reinterpret_cast<std::uintptr_t>(bar), pid)) HandleTaskbarCreated();
  // A locked window brought to the screen asks for the password, unless
  // a dialog of this program is up (it asks itself once the dialog ends).
  HWND wnd = Handle();
  const bool pwdShown = FormPwd && FormPwd->HandleAllocated() && IsWindowVisible(FormPwd->Handle());
  if (Locked && !Unlocking && !VaultPath.empty() && IsWindowVisible(wnd) && !IsIconic(wnd) && IsWindowEnabled(wnd) &&
      !pwdShown)
    UnlockVault();
}

// ===========================================================================
// Tray, closing and minimising

void TFormMain::TrayIcon1Click(TObject*) { ShowMainWindow(true); }

void TFormMain::Minimize1Click(TObject*) { Close(); }

void TFormMain::Lock1Click(TObject*) { LockVault(true); }

void TFormMain::Exit1Click(TObject*) {
  ExitRequested = true;
  Close();
}

void TFormMain::FormCloseQuery(TObject*, bool& canClose) {
  canClose = false;
  const bool wasLocked = Locked;
  int answer = 0;
  const bool confirmed = ConfirmSaveChanges(&answer);
  // A lock during the question dropped the changes: nothing is left to
  // save, and Yes or No goes on with the close. Cancel still keeps the
  // program (the lock has hidden the window already).
  const bool lockedMeanwhile = Locked && !wasLocked;
  if (!confirmed && !(lockedMeanwhile && (answer == IDYES || answer == IDNO))) {
    // Refused: a later close hides the window again, as any close does.
    ExitRequested = false;
    return;
  }
  if (ExitRequested) {
    ProcessVaultLock().ReleaseHeldLock();
    WipeString(SessionKey);
    QEnc1->ClearSessionKey();
    MemoData->ClearSecret();
    canClose = true;
    return;
  }
  TFlagScope hiding(HidingToTray);
  TrayIcon1->Restore();
  TrayIcon1->Minimize();
}

// ===========================================================================
// File association

void TFormMain::RegisterVaultFileType() {
  // Failures are silent: the program runs on without the association.
  RegisterFileAssociation(kVaultExtension, kVaultTypeName, kVaultTypeDescription, qdreg_win32::ModuleFileName());
}
