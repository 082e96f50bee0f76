// The main window's auto-type commands and global hot keys: Type
// Credentials, the Open, Lock and entry hot keys, capturing an entry's
// shortcut, and the registrations at start-up, lock and exit.
#include <windows.h>

#include "app/AppSeams.h"
#include "app/AutoTyper.h"
#include "app/FormMain.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/model/AutoType.h"
#include "app/model/EntryRules.h"
#include "app/model/Shortcuts.h"
#include "base/SysUtils.h"

namespace {

// How long an entry's chord may stay held before its hot key is given up.
constexpr std::uint32_t kReleaseTimeoutMs = 3000;
// After a shortcut is captured its chord is still down: its own hot key is
// ignored for this long.
constexpr std::uint32_t kCaptureGuardMs = 500;

void ShowPlanMessage(const TAutomatePlan& plan) {
  if (plan.Message.empty()) return;
  ShowMessageBox(plan.Message, AutoTypeTexts::kCaption, plan.ErrorIcon ? MB_ICONERROR : MB_ICONINFORMATION);
}

}  // namespace

THotKeyRegistrar& TFormMain::HotKeys() {
  if (!hotKeys_) hotKeys_ = std::make_unique<TWin32HotKeyRegistrar>(Handle());
  return *hotKeys_;
}

void TFormMain::SetHotKeys(std::unique_ptr<THotKeyRegistrar> registrar) { hotKeys_ = std::move(registrar); }

// ===========================================================================
// Auto-type

void TFormMain::RunAutomate(TVaultEntry* entry, bool altTabFirst) {
  if (!entry) return;
  const TAutomatePlan plan =
      PlanAutomate(entry, AutomateAwait, AppSeams().TickCount(), LayoutVkKeyScan(), altTabFirst);
  ExecuteAutomatePlan(plan, entry->id, AutomateAwait);
  ShowPlanMessage(plan);
}

void TFormMain::ButtonAutomateClick(TObject*) {
  const TAutomatePlan plan =
      PlanTypeCredentials(CurrentEntry, EntryOpen, AutomateAwait, AppSeams().TickCount(), LayoutVkKeyScan());
  ExecuteAutomatePlan(plan, CurrentEntry ? CurrentEntry->id : -1, AutomateAwait);
  ShowPlanMessage(plan);
}

// ===========================================================================
// Global hot keys

bool TFormMain::SetOpenHotKey(const std::string& text) {
  return SetGlobalHotKey(HotKeys(), kOpenHotKeyId, OpenHotKey, text);
}

bool TFormMain::SetLockHotKey(const std::string& text) {
  return SetGlobalHotKey(HotKeys(), kLockHotKeyId, LockHotKey, text);
}

void TFormMain::ClearOpenHotKey() { ClearGlobalHotKey(HotKeys(), kOpenHotKeyId, OpenHotKey); }

void TFormMain::ClearLockHotKey() { ClearGlobalHotKey(HotKeys(), kLockHotKeyId, LockHotKey); }

bool TFormMain::CheckEntryHotKeyConflicts(TVaultEntry* entry, const std::string& text) {
  return ::CheckEntryHotKeyConflicts(HotKeys(), entry, text);
}

bool TFormMain::RegisterEntryHotKeys() {
  std::string message;
  if (::RegisterEntryHotKeys(HotKeys(), Vault.Entries, message)) return true;
  ShowMessageBox(message, ShortcutTexts::kConflictCaption, MB_ICONWARNING);
  return false;
}

void TFormMain::UnregisterEntryHotKeys() { ::UnregisterEntryHotKeys(HotKeys(), Vault.Entries); }

void TFormMain::BuildRememberedShortcuts() { RememberedShortcuts = ::BuildRememberedShortcuts(Vault.Entries); }

void TFormMain::RegisterRememberedHotKeys() { ::RegisterRememberedHotKeys(HotKeys(), RememberedShortcuts); }

void TFormMain::UnregisterRememberedHotKeys() { ::UnregisterRememberedHotKeys(HotKeys(), RememberedShortcuts); }

void TFormMain::RegisterGlobalHotKeys() {
  SetOpenHotKey(QDReg1->PopString(kShortcutKey, kDefaultOpenShortcut));
  SetLockHotKey(QDReg1->PopString(kShortcut2Key, kDefaultLockShortcut));
}

void TFormMain::UnregisterAllHotKeys() {
  if (!HandleAllocated()) return;
  UnregisterRememberedHotKeys();
  UnregisterEntryHotKeys();
  ClearLockHotKey();
  ClearOpenHotKey();
}

void TFormMain::UpdateShortcutCaptions() {
  // The chords are shown only: the menus do not react to them.
  const std::string open = Trim(QDReg1->PopString(kShortcutKey, kDefaultOpenShortcut));
  const std::string lock = Trim(QDReg1->PopString(kShortcut2Key, kDefaultLockShortcut));
  for (TMenuItem* item : {Vaultline1, Lock1, Lock2}) item->SetShortCut(0);
  Vaultline1->SetCaption(OpenMenuCaption(open));
  Lock1->SetCaption(LockMenuCaption(lock));
  Lock2->SetCaption(LockMenuCaption(lock));
}

LRESULT TFormMain::HandleHotKey(WPARAM wParam, LPARAM lParam) {
  const int id = static_cast<int>(wParam);
  // The settings dialog captures chords of its own.
  if (FormSettings && FormSettings->HandleAllocated() && FormSettings->Visible()) return 0;
  HWND wnd = Handle();
  const bool foreground = GetForegroundWindow() == wnd && IsWindowVisible(wnd) && !IsIconic(wnd);
  // A freshly captured shortcut's chord is still held: its hot key (and
  // every repeat of it) is ignored until the guard runs out.
  if (HotKeyGuardId != 0 && id == HotKeyGuardId) {
    if (static_cast<std::int32_t>(AppSeams().TickCount() - HotKeyGuardUntil) <= 0) {
      DropQueuedHotKeys(wnd, id);
      return 0;
    }
    HotKeyGuardId = 0;
    HotKeyGuardUntil = 0;
  }
  if (EditShortcut->HandleAllocated() && EditShortcut->Focused()) {
    ShowMessageBox(ShortcutTexts::kAlreadyInUse, ShortcutTexts::kConflictCaption, MB_ICONWARNING);
    return 0;
  }
  // The Lock hot key asks to save a modified vault, as the menu does.
  if (id == kLockHotKeyId) {
    if (!Locked && !Unlocking && !VaultPath.empty()) LockVault(true);
    return 0;
  }
  if (id == kOpenHotKeyId) {
    PendingHotKeyId = -1;
    ShowMainWindow(true);
    return 0;
  }
  if (!IsEntryHotKeyId(id)) return 0;
  // The keys still held would mix with the typed ones. Auto-repeat of
  // the held chord queues more WM_HOTKEY messages for this id meanwhile
  // (where the no-repeat flag is not honoured): they are dropped, so that
  // one press types once.
  const bool released = WaitForChordRelease(lParam, kReleaseTimeoutMs);
  DropQueuedHotKeys(wnd, id);
  if (!released) return 0;
  AppSeams().Sleep(50);
  const int entryId = EntryIdOfHotKey(id);
  if (Locked) {
    if (IsRememberedHotKey(RememberedShortcuts, entryId)) {
      PendingHotKeyId = entryId;
      ShowMainWindow(true);
    }
  } else if (TVaultEntry* entry = FindEntryById(Vault.Entries, entryId)) {
    RunAutomate(entry, foreground);
  }
  DropQueuedHotKeys(wnd, id);
  return 0;
}

// ===========================================================================
// Capturing an entry's shortcut

void TFormMain::EditShortcutKeyDown(TObject*, WORD& key, TShiftState shift) {
  const TShortcutKeyAction action = ShortcutKeyAction(key, (shift & ssCtrl) != 0, (shift & ssShift) != 0,
                                                      (shift & ssAlt) != 0, ReadOnly, CurrentEntry != nullptr);
  if (action.Kind == TShortcutKeyAction::PassThrough) return;
  key = 0;
  if (action.Kind == TShortcutKeyAction::Swallow) return;
  if (!CheckEntryHotKeyConflicts(CurrentEntry, action.Text)) {
    ShowMessageBox(ShortcutTexts::kInvalidOrInUse, ShortcutTexts::kConflictCaption, MB_ICONWARNING);
    return;
  }
  HotKeyGuardId = EntryHotKeyId(*CurrentEntry);
  HotKeyGuardUntil = AppSeams().TickCount() + kCaptureGuardMs;
  const bool wasUpdating = Updating;
  Updating = true;
  EditShortcut->SetText(action.Text);
  EditShortcut->SetSelStart(static_cast<int>(action.Text.size()));
  Updating = wasUpdating;
  Modified = true;
  UpdateCaption();
  if (EditShortcut->HandleAllocated() && EditShortcut->Enabled() && EditShortcut->Visible()) EditShortcut->SetFocus();
}

void TFormMain::EditShortcutDblClick(TObject*) {
  if (ReadOnly) return;
  if (CurrentEntry) CheckEntryHotKeyConflicts(CurrentEntry, "");
  const bool wasUpdating = Updating;
  Updating = true;
  EditShortcut->SetText("");
  Updating = wasUpdating;
  Modified = true;
  UpdateCaption();
  if (EditShortcut->HandleAllocated() && EditShortcut->Enabled() && EditShortcut->Visible()) EditShortcut->SetFocus();
}
