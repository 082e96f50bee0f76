// Locking in this process under Wine: a real vault file is opened in the
// main window (the password dialog answered from inside its modal run),
// then locked from every trigger, unlocked, closed and hidden in the tray.
// Idle time and the tick count come from the seams, so the countdown and
// the 30-minute rule run without waiting.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/AppSeams.h"
#include "app/FormIcon.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/model/EntryRules.h"
#include "app/model/KeePassText.h"
#include "app/model/Shortcuts.h"
#include "app/model/VaultLock.h"
#include "app/model/VaultText.h"
#include "app/model/tests/FakeHotKeys.h"
#include "app/tests/Harness.h"
#include "base/SysUtils.h"
#include "base/tests/TestUtil.h"
#include "engine/QEnc.h"
#include "settings/QDReg.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

namespace {

constexpr char kPassword[] = "correct horse";
constexpr int kIterations = 5000;
constexpr char kLockQuestion[] =
    "Mail.qvl has been modified.\r\n\r\nDo you want to save the changes before locking?\r\n\r\n"
    "Yes = Save and lock\r\nNo = Discard changes and lock\r\nCancel = Do not lock";

// What every record's destructor left in its texts: each buffer must be
// all zero bytes up to its capacity.
struct TReleased {
  int count = 0;
  std::vector<std::string> dirty;  // "title of entry 3", …
};
TReleased* Released = nullptr;

bool BufferWiped(const std::string& s) {
  const char* p = s.data();
  for (std::size_t i = 0; i < s.capacity(); ++i)
    if (p[i] != 0) return false;
  return s.empty();
}

void RecordRelease(const TVaultEntry& e) {
  if (!Released) return;
  ++Released->count;
  const std::pair<const char*, const std::string*> fields[] = {
      {"title", &e.title}, {"username", &e.username}, {"password", &e.password}, {"url", &e.url},
      {"automate", &e.automate}, {"shortcut", &e.shortcut}, {"notes", &e.notes}};
  for (const auto& [name, text] : fields)
    if (!BufferWiped(*text)) Released->dirty.push_back(std::string(name) + " of entry " + std::to_string(e.id));
}

// The vault text of a small vault: two groups, three entries, one with a
// shortcut. Long texts, so that no field fits the string's own buffer.
std::string SampleVaultText() {
  TVaultModel vault;
  TVaultGroup* mail = vault.Groups.Add(nullptr, "Mail", 2);
  TVaultGroup* bank = vault.Groups.Add(nullptr, "Bank", 3);
  const struct {
    int id;
    TVaultGroup* group;
    const char* title;
    const char* shortcut;
  } rows[] = {{1, mail, "Gmail", "Ctrl+Alt+M"}, {2, mail, "Outlook", ""}, {3, bank, "Chase", ""}};
  for (const auto& r : rows) {
    auto e = std::make_unique<TVaultEntry>();
    e->id = r.id;
    e->group = r.group;
    e->title = std::string(r.title) + " account of the whole family";
    e->username = std::string(r.title) + "-user@example.invalid";
    e->password = std::string(r.title) + "-password-that-is-long-enough";
    e->url = "https://" + std::string(r.title) + ".example.invalid/login";
    e->notes = "first line of the notes\r\nsecond line of the notes";
    e->shortcut = r.shortcut;
    vault.Entries.push_back(std::move(e));
  }
  return BuildVaultText(vault);
}

// Encrypts text into path as the program would, with kPassword.
void WriteVault(const std::string& path, const std::string& text, TQEncAlgorithm a1 = qeaTwofishCTR,
                TQEncAlgorithm a2 = qeaAES128CTR, TQEncAlgorithm a3 = qeaChaCha20) {
  TQEnc enc(nullptr);
  enc.SetCompatibilityMode(false);  // as the main form's engine
  enc.SetIterations(kIterations);
  enc.SetAlgorithm(a1);
  enc.SetAlgorithm2(a2);
  enc.SetAlgorithm3(a3);
  std::string key = enc.DeriveSessionKey(kPassword);
  ASSERT_FALSE(key.empty());
  enc.SetUseFileNameInKey(false);
  enc.SetHeaderOnly(false);
  enc.SetKey(key);
  ASSERT_TRUE(enc.EncryptStringToFile(text, path, ""));
}

std::string DecryptVault(const std::string& path) {
  TQEnc enc(nullptr);
  enc.SetCompatibilityMode(false);  // as the main form's engine
  enc.SetIterations(kIterations);
  enc.SetUseFileNameInKey(false);
  enc.SetKey(enc.DeriveSessionKey(kPassword));
  return enc.DecryptFileToString(path);
}

struct LockFixture : ::testing::Test {
  TApplication app;
  TFormMain* main = nullptr;
  TFormPwd* pwd = nullptr;
  TFormSettings* settings = nullptr;
  TFakeHotKeys* hotKeys = nullptr;
  TempDir dir;
  std::string vault;
  std::vector<TMessageBoxCall> boxes;
  std::function<int(const TMessageBoxCall&)> answer;  // IDOK when unset
  // What the next password dialogs do, one action per run; an empty queue
  // cancels.
  std::deque<std::function<void(TFormPwd*)>> pwdActions;
  int pwdRuns = 0;
  // What another modal form does when it runs (nothing when unset).
  std::function<void(TForm*)> otherModal;
  std::uint32_t idle = 0;
  std::uint32_t tick = 1000;
  TReleased released;
  std::string iniPath = TQDReg::AppDir() + TFormMain::kSettingsFile;

  void SetUp() override {
    app.Initialize();
    MessageBoxHook = [this](const TMessageBoxCall& c) {
      boxes.push_back(c);
      return answer ? answer(c) : IDOK;
    };
    AppSeams().IdleMilliseconds = [this] { return idle; };
    AppSeams().TickCount = [this] { return tick; };
    AppSeams().Sleep = [](std::uint32_t) {};
    main = new TFormMain(&app);
    app.SetMainForm(main);
    main->TimerStartup->SetEnabled(false);
    main->TimerUpdateUI->SetEnabled(false);
    main->TimerTray->SetEnabled(false);
    main->QEnc1->SetIterations(kIterations);
    auto fake = std::make_unique<TFakeHotKeys>();
    hotKeys = fake.get();
    main->SetHotKeys(std::move(fake));
    pwd = new TFormPwd(&app);
    settings = new TFormSettings(&app);
    TForm::ModalHook = [this](TForm* form) {
      if (form != pwd) {
        if (otherModal) otherModal(form);
        return;
      }
      ++pwdRuns;
      if (pwdActions.empty()) {
        pwd->ButtonCancelClick(pwd);
        return;
      }
      auto action = pwdActions.front();
      pwdActions.pop_front();
      action(pwd);
    };
    LockRemembered = false;
    LockTick = 0;
    SearchModeAtLock = false;
    SessionLockedByWindows = false;
    PendingHotKeyId = -1;
    RememberedShortcuts.clear();
    ResetAutomateAwait();
    Released = &released;
    VaultEntryReleased = RecordRelease;
    vault = dir.Path() + "\\Mail.qvl";
    main->Show();
  }
  void TearDown() override {
    VaultEntryReleased = nullptr;
    Released = nullptr;
    TForm::ModalHook = nullptr;
    TOpenDialog::ExecuteHook = nullptr;
    MessageBoxHook = nullptr;
    main->Unlocking = false;
    ProcessVaultLock().ReleaseHeldLock();
    main->Modified = false;
    ResetAppSeams();
    LockRemembered = false;
    SessionLockedByWindows = false;
    PendingHotKeyId = -1;
    RememberedShortcuts.clear();
    DeleteFileA(iniPath.c_str());
  }

  static std::function<void(TFormPwd*)> Type(const std::string& password) {
    return [password](TFormPwd* f) {
      f->EditPwd->SetText(password);
      f->ButtonOKClick(f);
    };
  }
  static void Close(TFormPwd* f) { f->ButtonCloseClick(f); }

  // Writes the sample vault and opens it with its password.
  void OpenSample() {
    WriteVault(vault, SampleVaultText());
    pwdActions = {Type(kPassword)};
    ASSERT_TRUE(main->OpenVault(vault, false));
    ASSERT_EQ(main->Vault.Entries.size(), 3u);
    ASSERT_FALSE(main->SessionKey.empty());
    boxes.clear();
  }
  // Shows an entry in the details panel, as a click in the list does.
  void ShowFirstEntry() {
    TVaultEntry* e = main->Vault.Entries.front().get();
    main->TreeView1->SetSelected(main->NodeOfGroup(e->group));
    main->CurrentEntry = e;
    main->FillEntryList();
    main->ShowEntry(e);
    ASSERT_FALSE(main->EditPassword->Text().empty());
  }
  void Modify() {
    main->Vault.Entries.front()->title = "Changed title";
    main->BuildVaultText();
    ASSERT_TRUE(main->Modified);
  }
  // As at a start without a vault: the next round opens again.
  void ForgetLock() {
    main->UnregisterRememberedHotKeys();
    main->Locked = false;
    main->VaultPath.clear();
    RememberedShortcuts.clear();
    LockRemembered = false;
  }
  std::string Panel(int i) { return main->QStatus1->PanelText(i); }
  bool Shown() { return IsWindowVisible(main->Handle()) != FALSE; }

  // The state every lock leaves, whatever its trigger.
  void ExpectLockedAndEmpty() {
    EXPECT_TRUE(main->Locked);
    EXPECT_FALSE(main->Modified);
    EXPECT_EQ(main->VaultPath, vault);
    EXPECT_EQ(main->Caption(), "[Locked] Mail.qvl - Vaultline");
    EXPECT_FALSE(Shown());
    EXPECT_TRUE(main->SessionKey.empty());
    EXPECT_TRUE(main->Vault.Entries.empty());
    EXPECT_EQ(main->Vault.Groups.Nodes().size(), 0u);
    EXPECT_EQ(main->CurrentEntry, nullptr);
    EXPECT_EQ(main->CurrentGroup, nullptr);
    EXPECT_EQ(main->MemoData->SecretText(), "");
    EXPECT_EQ(main->TreeView1->Count(), 0);
    EXPECT_EQ(main->ListView1->Count(), 0);
    for (TEditBox* e : {main->EditTitle, main->EditUser, main->EditPassword, main->EditUrl, main->EditShortcut})
      EXPECT_EQ(e->Text(), "") << e->Name();
    EXPECT_EQ(main->MemoNotes->Text(), "");
    EXPECT_EQ(main->EditAutomate->Text(), "");
    EXPECT_EQ(main->QEdit1->Text(), "");
    EXPECT_FALSE(main->SearchActive);
    // The remembered entry hot key is registered; the vault's lock file is
    // given up.
    EXPECT_EQ(hotKeys->Registered.count(EntryHotKeyId(1)), 1u);
    EXPECT_EQ(ProcessVaultLock().HeldLockPath(), "");
  }
};

// ---- Triggers --------------------------------------------------------------------------

// Every way to lock, with and without unsaved changes: the menu, the tray,
// the tool bar and the Lock hot key ask first (No here: the changes are
// dropped); Windows lock, standby and the inactivity timeout never ask and
// drop them.
TEST_F(LockFixture, EveryTriggerLocksAskingOnlyForTheCommands) {
  const struct {
    const char* name;
    bool asks;
    std::function<void(LockFixture&)> fire;
  } triggers[] = {
      {"menu", true, [](LockFixture& f) { f.main->Lock1->Click(); }},
      {"tray", true, [](LockFixture& f) { f.main->Lock2->Click(); }},
      {"tool bar", true, [](LockFixture& f) { f.main->ToolLock->Click(); }},
      {"hot key", true, [](LockFixture& f) { f.main->HandleHotKey(kLockHotKeyId, MAKELPARAM(MOD_CONTROL | MOD_SHIFT, 'L')); }},
      {"Windows lock", false,
       [](LockFixture& f) { EXPECT_EQ(SendMessageA(f.main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0), 0); }},
      {"query suspend", false,
       [](LockFixture& f) { EXPECT_EQ(SendMessageA(f.main->Handle(), WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), 1); }},
      {"suspend", false,
       [](LockFixture& f) { EXPECT_EQ(SendMessageA(f.main->Handle(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0), 1); }},
      {"standby", false,
       [](LockFixture& f) { EXPECT_EQ(SendMessageA(f.main->Handle(), WM_POWERBROADCAST, PBT_APMSTANDBY, 0), 1); }},
      {"inactivity", false,
       [](LockFixture& f) {
         f.settings->EditTimeout->SetText("1");
         f.idle = 60000;
         f.main->TimerUpdateUITimer(f.main);
       }},
  };
  for (const auto& t : triggers) {
    for (bool modified : {false, true}) {
      SCOPED_TRACE(std::string(t.name) + (modified ? ", modified" : ""));
      idle = 0;
      ASSERT_NO_FATAL_FAILURE(OpenSample());
      const std::string fileBefore = DecryptVault(vault);
      ASSERT_NO_FATAL_FAILURE(ShowFirstEntry());
      if (modified) {
        ASSERT_NO_FATAL_FAILURE(Modify());
      }
      answer = [](const TMessageBoxCall&) { return IDNO; };
      boxes.clear();
      t.fire(*this);
      if (t.asks && modified) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Caption, "Lock Vaultline");
        EXPECT_EQ(boxes[0].Text, kLockQuestion);
        EXPECT_EQ(boxes[0].Flags & 0xFF, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
      } else {
        EXPECT_TRUE(boxes.empty()) << boxes.front().Text;
      }
      ExpectLockedAndEmpty();
      // Dropped, not saved.
      EXPECT_EQ(DecryptVault(vault), fileBefore);
      answer = nullptr;
      // A second trigger finds it locked and does nothing.
      t.fire(*this);
      EXPECT_TRUE(boxes.size() <= 1u);
      ForgetLock();
    }
  }
}

TEST_F(LockFixture, SessionOptionsOffLeaveTheVaultOpen) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  settings->CheckSessionWindowsLock->SetChecked(false);
  settings->CheckSessionStandby->SetChecked(false);
  settings->CheckSessionTimeout->SetChecked(false);
  SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
  EXPECT_EQ(SendMessageA(main->Handle(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0), 1);
  idle = 0xFFFFFFFFu;
  main->TimerUpdateUITimer(main);
  EXPECT_FALSE(main->Locked);
  EXPECT_EQ(main->Vault.Entries.size(), 3u);
  // Other power events never lock.
  settings->CheckSessionStandby->SetChecked(true);
  EXPECT_EQ(SendMessageA(main->Handle(), WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0), 1);
  EXPECT_FALSE(main->Locked);
  SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
}

// The Lock hot key is left alone while the shortcut field has the focus
// (the chord is already in use: the user is capturing it), while the
// settings dialog is up (it captures chords itself) and while the unlock
// prompt is up.
TEST_F(LockFixture, TheLockHotKeyIsIgnoredWhileCapturingInSettingsAndWhileUnlocking) {
  const struct {
    const char* name;
    std::function<void(LockFixture&)> enter, leave;
    bool locks;
    bool conflictBox;
  } cases[] = {
      {"nothing in the way", [](LockFixture&) {}, [](LockFixture&) {}, true, false},
      {"shortcut field focused",
       [](LockFixture& f) {
         f.main->EditShortcut->SetFocus();
         ASSERT_TRUE(f.main->EditShortcut->Focused());
       },
       [](LockFixture& f) { f.main->TreeView1->SetFocus(); }, false, true},
      {"settings dialog shown", [](LockFixture& f) { f.settings->Show(); },
       [](LockFixture& f) { f.settings->Hide(); }, false, false},
      {"unlocking", [](LockFixture& f) { f.main->Unlocking = true; }, [](LockFixture& f) { f.main->Unlocking = false; },
       false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    main->ShowMainWindow(false);
    ASSERT_NO_FATAL_FAILURE(ShowFirstEntry());
    ASSERT_TRUE(main->EditShortcut->Enabled());
    ASSERT_NO_FATAL_FAILURE(c.enter(*this));
    boxes.clear();
    EXPECT_EQ(main->HandleHotKey(kLockHotKeyId, MAKELPARAM(MOD_CONTROL | MOD_SHIFT, 'L')), 0);
    c.leave(*this);
    EXPECT_EQ(main->Locked, c.locks);
    if (c.conflictBox) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].Caption, "Shortcut conflict");
      EXPECT_EQ(boxes[0].Text, "This shortcut is already in use.");
      EXPECT_EQ(boxes[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
    } else {
      EXPECT_TRUE(boxes.empty()) << boxes.front().Text;
    }
    if (c.locks) {
      ExpectLockedAndEmpty();
    } else {
      EXPECT_EQ(main->Vault.Entries.size(), 3u);
      EXPECT_FALSE(main->SessionKey.empty());
      EXPECT_EQ(ProcessVaultLock().HeldLockPath(), ExpandFileName(vault));
      ASSERT_TRUE(main->LockVault(false));
    }
    ForgetLock();
  }
}

// ---- The lock question -----------------------------------------------------------------

TEST_F(LockFixture, LockQuestionCancelKeepsEditingAndYesSavesFirst) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  Modify();
  answer = [](const TMessageBoxCall&) { return IDCANCEL; };
  EXPECT_FALSE(main->LockVault(true));
  EXPECT_FALSE(main->Locked);
  EXPECT_TRUE(main->Modified);
  EXPECT_EQ(main->Vault.Entries.size(), 3u);
  EXPECT_FALSE(main->SessionKey.empty());

  // Yes with a save that fails: the vault stays open and modified.
  answer = [](const TMessageBoxCall& c) { return c.Caption == "Lock Vaultline" ? IDYES : IDOK; };
  main->SaveIo.Replace = [](const std::string&, const std::string&) { return false; };
  EXPECT_FALSE(main->LockVault(true));
  EXPECT_FALSE(main->Locked);
  EXPECT_TRUE(main->Modified);
  EXPECT_FALSE(main->SessionKey.empty());
  EXPECT_NE(DecryptVault(vault).find("Gmail account"), std::string::npos);

  // Yes with a save that works: saved, then locked.
  main->SaveIo.Replace = nullptr;
  EXPECT_TRUE(main->LockVault(true));
  ExpectLockedAndEmpty();
  EXPECT_NE(DecryptVault(vault).find("Changed title"), std::string::npos);
}

// A silent lock that fires while the lock question is up (the inactivity
// timer runs inside the message box) leaves the command nothing to do.
TEST_F(LockFixture, SilentLockDuringTheLockQuestionEndsTheCommand) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  Modify();
  const std::string before = DecryptVault(vault);
  answer = [this](const TMessageBoxCall& c) {
    if (c.Caption == "Lock Vaultline") {
      idle = 0xFFFFFFFFu;
      main->TimerUpdateUITimer(main);
      return IDYES;
    }
    return IDOK;
  };
  EXPECT_TRUE(main->LockVault(true));
  ExpectLockedAndEmpty();
  // Nothing was saved after the lock: the changes went with it.
  EXPECT_EQ(DecryptVault(vault), before);
  EXPECT_EQ(boxes.size(), 1u);
}

// ---- Secrets ---------------------------------------------------------------------------

TEST_F(LockFixture, LockWipesEveryRecordAndEveryCopyOfTheVault) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  ShowFirstEntry();
  released = {};
  ASSERT_TRUE(main->LockVault(false));
  EXPECT_EQ(released.count, 3);
  EXPECT_TRUE(released.dirty.empty()) << released.dirty.front();
  ExpectLockedAndEmpty();
}

// ---- Unlocking -------------------------------------------------------------------------

TEST_F(LockFixture, UnlockWithAWrongPasswordKeepsTheLockThenTheRightOneOpens) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  ASSERT_TRUE(main->LockVault(true));
  EXPECT_EQ(RememberedShortcuts, "1=Ctrl+Alt+M");

  // A wrong password is reported and asked again; Cancel keeps the lock.
  pwdActions = {Type("wrong"), [](TFormPwd* f) { f->ButtonCancelClick(f); }};
  pwdRuns = 0;
  EXPECT_FALSE(main->UnlockVault());
  EXPECT_EQ(pwdRuns, 2);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().Text, "The password is incorrect.");
  ExpectLockedAndEmpty();
  EXPECT_FALSE(main->Unlocking);
  EXPECT_FALSE(pwd->AllowClose);

  // The right one opens the vault again: the entries' own hot keys replace
  // the remembered ones, and the list survives for the next lock.
  pwdActions = {Type(kPassword)};
  main->ShowMainWindow(true);
  EXPECT_FALSE(main->Locked);
  EXPECT_TRUE(Shown());
  EXPECT_EQ(main->Caption(), "Mail.qvl - Vaultline");
  EXPECT_EQ(main->Vault.Entries.size(), 3u);
  EXPECT_EQ(hotKeys->Registered.count(EntryHotKeyId(1)), 1u);
  EXPECT_EQ(RememberedShortcuts, "1=Ctrl+Alt+M");
  ASSERT_TRUE(main->LockVault(false));
  EXPECT_EQ(RememberedShortcuts, "1=Ctrl+Alt+M");
  EXPECT_EQ(hotKeys->Registered.count(EntryHotKeyId(1)), 1u);
}

TEST_F(LockFixture, ThePromptsCloseButtonLeavesNoVault) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  ASSERT_TRUE(main->LockVault(false));
  pwdActions = {[](TFormPwd* f) {
    EXPECT_TRUE(f->AllowClose);
    f->ButtonCloseClick(f);
  }};
  EXPECT_FALSE(main->UnlockVault());
  EXPECT_FALSE(main->Locked);
  EXPECT_EQ(main->VaultPath, "");
  EXPECT_TRUE(main->SessionKey.empty());
  EXPECT_EQ(main->Caption(), "Untitled - Vaultline");
  EXPECT_TRUE(hotKeys->Registered.empty());
  EXPECT_EQ(RememberedShortcuts, "");
  EXPECT_FALSE(pwd->AllowClose);
  EXPECT_FALSE(pwd->ClosePressed);
}

TEST_F(LockFixture, AnEntryHotKeyPressedWhileLockedShowsItsEntryAfterUnlocking) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  ASSERT_TRUE(main->LockVault(false));
  PendingHotKeyId = 1;
  pwdActions = {Type(kPassword)};
  ASSERT_TRUE(main->UnlockVault());
  EXPECT_EQ(PendingHotKeyId, -1);
  ASSERT_NE(main->CurrentEntry, nullptr);
  EXPECT_EQ(main->CurrentEntry->id, 1);
  EXPECT_EQ(main->EditTitle->Text(), "Gmail account of the whole family");
  EXPECT_EQ(main->TreeView1->Selected(), main->NodeOfGroup(main->CurrentEntry->group));
  EXPECT_EQ(main->ListView1->Count(), 2);
}

// The vault is read while it still counts as locked; the editing commands
// work as soon as the window is back, not only after the next tick of the
// status timer (stopped here).
TEST_F(LockFixture, TheEditingCommandsWorkRightAfterAnUnlock) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  ASSERT_TRUE(main->LockVault(false));
  pwdActions = {Type(kPassword)};
  main->ShowMainWindow(true);
  ASSERT_FALSE(main->Locked);
  for (TMenuItem* item : {main->Save1, main->AddGroup1, main->AddEntry1, main->AddEntry2, main->DeleteEntry1,
                          main->ChangeMasterPassword1, main->Import1})
    EXPECT_TRUE(item->Enabled()) << item->Caption();
  for (TToolButton* b : {main->ToolSave, main->ToolGroupNew, main->ToolKeyNew})
    EXPECT_TRUE(b->Enabled()) << b->Hint();
  // Add Entry from the menu opens an empty entry.
  ASSERT_TRUE(TMenuItem::DispatchCommand(main->AddEntry1->Command()));
  EXPECT_TRUE(main->EntryOpen);
  EXPECT_EQ(main->CurrentEntry, nullptr);
}

// ---- Search mode and the 30-minute rule --------------------------------------------------

TEST_F(LockFixture, SearchModeComesBackAfterAnUnlockWithinHalfAnHour) {
  const struct {
    const char* name;
    std::uint32_t later;
    bool kept;
  } cases[] = {{"at once", 0, true}, {"29:59.999", 1799999, true}, {"30 minutes", 1800000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    main->SetSearchMode(true);
    main->Edit1->SetText("gma");
    tick = 0xFFFFFF00u;  // the tick count wraps on the way
    ASSERT_TRUE(main->LockVault(false));
    EXPECT_FALSE(main->SearchMode);
    tick += c.later;
    pwdActions = {Type(kPassword)};
    ASSERT_TRUE(main->UnlockVault());
    EXPECT_EQ(main->SearchMode, c.kept);
    EXPECT_EQ(main->Edit1->Text(), c.kept ? "gma" : "");
    EXPECT_FALSE(LockRemembered);
    main->SetSearchMode(false);
  }
}

TEST_F(LockFixture, WindowsLockAndUnlockGiveTheSearchModeBack) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  settings->CheckSessionWindowsLock->SetChecked(false);
  main->SetSearchMode(true);
  main->Edit1->SetText("gma");
  SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
  EXPECT_TRUE(SessionLockedByWindows);
  EXPECT_FALSE(main->SearchMode);
  EXPECT_FALSE(main->Locked);
  SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
  EXPECT_FALSE(SessionLockedByWindows);
  EXPECT_TRUE(main->SearchMode);
  EXPECT_EQ(main->Edit1->Text(), "gma");

  // After 30 minutes the interface timer forgets the search while Windows
  // is still locked.
  SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
  tick += 1800000;
  main->TimerUpdateUITimer(main);
  EXPECT_FALSE(LockRemembered);
  EXPECT_EQ(main->Edit1->Text(), "");
  SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
  EXPECT_FALSE(main->SearchMode);
}

// ---- Countdown ---------------------------------------------------------------------------

TEST_F(LockFixture, StatusBarCountsDownAndNamesTheLockOptions) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  const struct {
    const char* timeout;
    std::uint32_t idleMs;
    const char* panel;
  } cases[] = {
      {"1", 0, "Lock in 60 Sec"},        {"1", 59001, "Lock in 1 Sec"},  {"abc", 0, "Lock in 7200 Sec"},
      {"0", 30000, "Lock in 30 Sec"},    {"-5", 0, "Lock in 60 Sec"},
      // Minutes whose milliseconds pass 2^31: a countdown, not a lock.
      {"40000", 1000, "Lock in 2399999 Sec"},
  };
  for (const auto& c : cases) {
    settings->EditTimeout->SetText(c.timeout);
    idle = c.idleMs;
    main->TimerUpdateUITimer(main);
    EXPECT_EQ(Panel(2), c.panel) << c.timeout;
    EXPECT_FALSE(main->Locked);
  }
  EXPECT_EQ(Panel(0), "3 Entries");
  EXPECT_EQ(Panel(1), "");
  Modify();
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(1), "Modified");

  // Any input starts the count again.
  settings->EditTimeout->SetText("1");
  idle = 59999;
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(2), "Lock in 1 Sec");
  idle = 0;
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(2), "Lock in 60 Sec");
  idle = 60000;
  main->TimerUpdateUITimer(main);
  ExpectLockedAndEmpty();
  // Locked: no countdown, the options in force instead.
  EXPECT_EQ(main->SecondsUntilIdleLock(), -1);
  EXPECT_EQ(Panel(2), "Lock w/ Windows");
  EXPECT_EQ(Panel(0), "0 Entries");
  settings->CheckSessionWindowsLock->SetChecked(false);
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(2), "Lock on Standby");
  settings->CheckSessionStandby->SetChecked(false);
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(2), "Lock on Exit");
  // The editing commands follow the lock.
  EXPECT_FALSE(main->Save1->Enabled());
  EXPECT_FALSE(main->AddEntry1->Enabled());
}

// The cipher panel names the cascade of the vault whose key is held: empty
// with no vault, while the vault is locked and after it is closed.
TEST_F(LockFixture, TheCipherPanelNamesTheCascadeOnlyWhileAKeyIsHeld) {
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(4), "");
  // Written in the engine's fast mode, whose count is 20000.
  WriteVault(vault, SampleVaultText(), qeaChaCha20, qeaTwofishCTR, qeaNone);
  pwdActions = {Type(kPassword)};
  ASSERT_TRUE(main->OpenVault(vault, false));
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(4), "ChaCha20+Twofish 20K");
  ASSERT_TRUE(main->LockVault(false));
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(4), "");
  pwdActions = {Type(kPassword)};
  ASSERT_TRUE(main->UnlockVault());
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(4), "ChaCha20+Twofish 20K");
  main->CloseFile(main);
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(Panel(4), "");
}

TEST_F(LockFixture, NoCountdownWithoutAVaultOrWithTheOptionOff) {
  EXPECT_EQ(main->SecondsUntilIdleLock(), -1);  // no vault
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  EXPECT_EQ(main->SecondsUntilIdleLock(), 7200);
  settings->CheckSessionTimeout->SetChecked(false);
  EXPECT_EQ(main->SecondsUntilIdleLock(), -1);
  settings->CheckSessionTimeout->SetChecked(true);
  main->Unlocking = true;
  EXPECT_EQ(main->SecondsUntilIdleLock(), -1);
  main->Unlocking = false;
}

// ---- Closing, minimising, the tray --------------------------------------------------------

TEST_F(LockFixture, CloseAndMinimiseHideToTheTrayAndOnlyExitEnds) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  main->Close();
  EXPECT_FALSE(Shown());
  EXPECT_FALSE(app.Terminated());
  EXPECT_FALSE(main->Locked);  // hidden, not locked

  main->ShowMainWindow(false);
  EXPECT_TRUE(Shown());
  EXPECT_EQ(SendMessageA(main->Handle(), WM_SYSCOMMAND, SC_MINIMIZE | 2, 0), 0);
  EXPECT_FALSE(Shown());
  EXPECT_FALSE(IsIconic(main->Handle()));
  EXPECT_FALSE(app.Terminated());

  main->ShowMainWindow(false);
  main->Minimize1->Click();
  EXPECT_FALSE(Shown());
  EXPECT_FALSE(app.Terminated());

  // Exit, Cancel at the save question: the window stays, and a later close
  // hides it again instead of ending the program.
  main->ShowMainWindow(false);
  Modify();
  answer = [](const TMessageBoxCall&) { return IDCANCEL; };
  main->Exit1->Click();
  EXPECT_TRUE(Shown());
  EXPECT_FALSE(main->ExitRequested);
  EXPECT_FALSE(app.Terminated());
  answer = [](const TMessageBoxCall&) { return IDNO; };
  SendMessageA(main->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(Shown());
  EXPECT_FALSE(app.Terminated());

  // Exit, Yes at the save question and the save fails: the program runs
  // on, modified, and a later minimise hides the window again.
  main->ShowMainWindow(false);
  ASSERT_TRUE(main->Modified);
  const std::string before = DecryptVault(vault);
  answer = [](const TMessageBoxCall& c) { return c.Caption == "Save changes?" ? IDYES : IDOK; };
  main->SaveIo.Replace = [](const std::string&, const std::string&) { return false; };
  boxes.clear();
  main->Exit1->Click();
  ASSERT_GE(boxes.size(), 2u);  // the question, then the save's own message
  EXPECT_EQ(boxes[0].Caption, "Save changes?");
  EXPECT_FALSE(app.Terminated());
  EXPECT_FALSE(main->ExitRequested);
  EXPECT_TRUE(Shown());
  EXPECT_TRUE(main->Modified);
  EXPECT_FALSE(main->SessionKey.empty());
  EXPECT_EQ(DecryptVault(vault), before);
  main->SaveIo.Replace = nullptr;
  answer = [](const TMessageBoxCall&) { return IDNO; };
  SendMessageA(main->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(Shown());
  EXPECT_FALSE(app.Terminated());

  // Exit ends the program, the key wiped and the lock file given up.
  main->Exit2->Click();
  EXPECT_TRUE(app.Terminated());
  EXPECT_TRUE(main->SessionKey.empty());
  EXPECT_EQ(ProcessVaultLock().HeldLockPath(), "");
}

// A silent lock while the save question of Exit is up drops the changes.
// Yes then has nothing to save (no key is left to save with) and, like No,
// ends the program; Cancel keeps it running, locked in the tray, and a
// later close or minimise hides the window again.
TEST_F(LockFixture, ALockDuringTheSaveQuestionOfExitLeavesNothingToSave) {
  const struct {
    const char* name;
    int button;
    bool ends;
  } cases[] = {{"Cancel", IDCANCEL, false}, {"No", IDNO, true}, {"Yes", IDYES, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    ASSERT_NO_FATAL_FAILURE(Modify());
    const std::string before = DecryptVault(vault);
    const bool last = c.button == IDYES;
    // The close that ends the program is seen here; only the last case
    // really ends it.
    int closes = 0;
    main->OnClose = [&closes, last](TObject*, TCloseAction& action) {
      ++closes;
      if (!last) action = caNone;
    };
    answer = [this, &c](const TMessageBoxCall& call) {
      if (call.Caption == "Save changes?") {
        SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
        return c.button;
      }
      return IDOK;
    };
    boxes.clear();
    main->Exit1->Click();
    ASSERT_EQ(boxes.size(), 1u) << boxes.back().Caption << ": " << boxes.back().Text;
    EXPECT_TRUE(main->Locked);
    EXPECT_FALSE(Shown());
    EXPECT_EQ(DecryptVault(vault), before);
    EXPECT_EQ(closes, c.ends ? 1 : 0);
    EXPECT_EQ(app.Terminated(), last);
    if (!c.ends) {
      EXPECT_FALSE(main->ExitRequested);
      SendMessageA(main->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
      main->Close();
      EXPECT_EQ(closes, 0);
      EXPECT_TRUE(main->Locked);
      EXPECT_FALSE(app.Terminated());
    }
    main->OnClose = nullptr;
    main->ExitRequested = false;
    answer = nullptr;
    SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    ForgetLock();
  }
}

// The program tests end the program by File > Exit's command id.
TEST_F(LockFixture, ExitKeepsItsPlaceAmongTheMenuCommands) {
  EXPECT_EQ(main->Exit1->Command() - main->MainMenu1->Items()->Command(), harness::kExitCommandOffset);
}

// A new notification area (the task bar restarted) has forgotten the icon:
// TaskbarCreated adds it again.
TEST_F(LockFixture, TrayIconComesBackWhenTheTaskbarIsRecreated) {
  ASSERT_TRUE(main->TrayIcon1->SetVisible(true));
  auto modify = [this] {
    NOTIFYICONDATAA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = main->TrayIcon1->CallbackWindow();
    nid.uID = 1;
    nid.uFlags = NIF_TIP;
    lstrcpyA(nid.szTip, "probe");
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
  };
  ASSERT_TRUE(modify());
  NOTIFYICONDATAA gone{};
  gone.cbSize = sizeof gone;
  gone.hWnd = main->TrayIcon1->CallbackWindow();
  gone.uID = 1;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &gone));
  ASSERT_FALSE(modify());
  EXPECT_EQ(SendMessageA(main->Handle(), TFormMain::TaskbarCreatedMessage(), 0, 0), 0);
  EXPECT_TRUE(modify());
  EXPECT_TRUE(main->TrayIcon1->Visible());
  main->TrayIcon1->SetVisible(false);
}

// The tray timer asks for the password when a locked window is on the
// screen, but not while a dialog of the program is up.
TEST_F(LockFixture, TrayTimerAsksForThePasswordOfAShownLockedWindow) {
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  ASSERT_TRUE(main->LockVault(false));
  pwdRuns = 0;
  main->TimerTrayTimer(main);  // hidden in the tray: nothing
  EXPECT_EQ(pwdRuns, 0);
  main->Show();
  EnableWindow(main->Handle(), FALSE);  // as during another dialog
  main->TimerTrayTimer(main);
  EXPECT_EQ(pwdRuns, 0);
  EnableWindow(main->Handle(), TRUE);
  pwdActions = {Type(kPassword)};
  main->TimerTrayTimer(main);
  EXPECT_EQ(pwdRuns, 1);
  EXPECT_FALSE(main->Locked);
}

// ---- Settings while locked -------------------------------------------------------------

// The "Current Vault" page describes the vault open when the dialog came
// up. A vault locked before (its engine still holds what was there before
// the unlock) or during the dialog does not take it: after the unlock the
// engine holds the file's own cascade and the vault is not modified.
TEST_F(LockFixture, SettingsOfALockedVaultLeaveTheReopenedVaultAsItsFileSays) {
  for (bool lockDuringDialog : {false, true}) {
    SCOPED_TRACE(lockDuringDialog ? "locked during the dialog" : "locked before the dialog");
    // The file: ChaCha20 + AES + Twofish (10).
    WriteVault(vault, SampleVaultText(), qeaChaCha20, qeaAES128CTR, qeaTwofishCTR);
    pwdActions = {Type(kPassword)};
    ASSERT_TRUE(main->OpenVault(vault, false));
    ASSERT_EQ(main->QEnc1->Algorithm(), qeaChaCha20);
    if (!lockDuringDialog) {
      ASSERT_TRUE(main->LockVault(false));
      // As at a start with the vault locked: the engine has the defaults.
      main->QEnc1->SetAlgorithm(qeaTwofishCTR);
      main->QEnc1->SetAlgorithm2(qeaAES128CTR);
      main->QEnc1->SetAlgorithm3(qeaChaCha20);
    }
    pwdActions = {Type(kPassword)};
    TForm::ModalHook = [this, lockDuringDialog](TForm* form) {
      if (form == settings) {
        if (lockDuringDialog) SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
        settings->ButtonOKClick(settings);
        return;
      }
      if (form == pwd && !pwdActions.empty()) {
        auto action = pwdActions.front();
        pwdActions.pop_front();
        action(pwd);
      }
    };
    main->Settings1Click(main);
    EXPECT_FALSE(settings->Cancelled);
    EXPECT_FALSE(main->Locked);
    EXPECT_FALSE(main->Modified);
    EXPECT_EQ(main->QEnc1->Algorithm(), qeaChaCha20);
    EXPECT_EQ(main->QEnc1->Algorithm2(), qeaAES128CTR);
    EXPECT_EQ(main->QEnc1->Algorithm3(), qeaTwofishCTR);
    EXPECT_EQ(Panel(4).rfind("ChaCha20+AES+Twofish ", 0), 0u) << Panel(4);
    SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
  }
}

// ---- A lock inside the commands' waits --------------------------------------------------

// The real lock (Windows locked, "After Windows Lock" on) fires while a
// command waits for the user; the answer that follows finds no vault and
// the command leaves everything alone. After the unlock the file holds
// what it held.
TEST_F(LockFixture, ALockWhileACommandWaitsLeavesTheVaultAsItWas) {
  auto lockNow = [this] { SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0); };
  // A KeePass export that, imported, would add a group and an entry.
  const std::string keePass = dir.Path() + "\\export.txt";
  {
    std::ofstream f(keePass, std::ios::binary);
    f << "[Imported]\nGroup: Elsewhere\nUser Name: bob\nURL: \nPassword: pw\nNotes: \n\n";
  }
  auto selectGroupOfFirstEntry = [](LockFixture& f) {
    f.main->TreeView1->SetSelected(f.main->NodeOfGroup(f.main->Vault.Entries.front()->group));
  };
  const struct {
    const char* name;
    std::function<void(LockFixture&)> run;
  } cases[] = {
      {"Delete Entry question",
       [](LockFixture& f) {
         ASSERT_NO_FATAL_FAILURE(f.ShowFirstEntry());
         f.main->EntryDelete(nullptr);
       }},
      {"Delete Group question",
       [&](LockFixture& f) {
         selectGroupOfFirstEntry(f);
         f.main->GroupDelete(nullptr);
       }},
      {"New Group dialog",
       [&](LockFixture& f) {
         selectGroupOfFirstEntry(f);
         f.main->GroupNew(nullptr);
       }},
      {"Edit Group dialog",
       [&](LockFixture& f) {
         selectGroupOfFirstEntry(f);
         f.main->GroupChange(nullptr);
       }},
      {"KeePass import question", [](LockFixture& f) { f.main->Import1Click(nullptr); }},
  };
  new TFormIcon(&app);
  ASSERT_NE(FormIcon, nullptr);
  std::size_t dialogs = 0;
  otherModal = [&](TForm* form) {
    if (form != FormIcon) return;
    ++dialogs;
    lockNow();
    FormIcon->Edit1->SetText("Renamed");
    FormIcon->ButtonOK->Click();
  };
  TOpenDialog::ExecuteHook = [&keePass](TOpenDialog& d) {
    d.SetFileName(keePass);
    return true;
  };
  answer = [&](const TMessageBoxCall& c) {
    if (c.Caption == EntryTexts::kDeleteEntryCaption || c.Caption == EntryTexts::kDeleteGroupCaption ||
        c.Caption == KeePassTexts::kImportCaption) {
      lockNow();
      return IDYES;
    }
    return IDOK;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    const std::string before = DecryptVault(vault);
    boxes.clear();
    dialogs = 0;
    ASSERT_NO_FATAL_FAILURE(c.run(*this));
    // One wait only: the question or the dialog, and nothing after it.
    EXPECT_EQ(boxes.size() + dialogs, 1u);
    ExpectLockedAndEmpty();
    EXPECT_EQ(DecryptVault(vault), before);

    pwdActions = {Type(kPassword)};
    ASSERT_TRUE(main->UnlockVault());
    EXPECT_FALSE(main->Modified);
    ASSERT_EQ(main->Vault.Entries.size(), 3u);
    EXPECT_EQ(main->Vault.Entries.front()->title, "Gmail account of the whole family");
    std::vector<std::string> groups;
    for (TVaultGroup* g : main->Vault.Groups.Nodes()) groups.push_back(g->Caption());
    EXPECT_EQ(groups, (std::vector<std::string>{"Mail", "Bank"}));
    EXPECT_EQ(main->TreeView1->Count(), 2);
    SendMessageA(main->Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    ASSERT_TRUE(main->LockVault(false));
    ForgetLock();
  }
}

// ---- Settings while locked, the prompt refused ---------------------------------------------

// The settings dialog's OK on a locked vault asks for the password. Cancel
// there keeps the vault locked with the Defaults in the engine (a Current
// Vault page edited meanwhile is dropped), and the later unlock reads the
// file's own cascade without marking anything modified. The prompt's Close
// button leaves no vault and the Defaults in the engine.
TEST_F(LockFixture, SettingsOfALockedVaultWithThePromptRefused) {
  for (bool closePressed : {false, true}) {
    SCOPED_TRACE(closePressed ? "Close pressed" : "prompt dismissed");
    // The file: ChaCha20 + AES + Twofish (10).
    WriteVault(vault, SampleVaultText(), qeaChaCha20, qeaAES128CTR, qeaTwofishCTR);
    pwdActions = {Type(kPassword)};
    ASSERT_TRUE(main->OpenVault(vault, false));
    ASSERT_TRUE(main->LockVault(false));
    otherModal = [this](TForm* form) {
      if (form != settings) return;
      // Another Defaults cascade, and an edit of the Current Vault page.
      settings->RadioAlgA2->SetChecked(true);
      settings->EditIterations2->SetText("3000");
      settings->RadioAlgT->SetChecked(true);
      settings->ButtonOKClick(settings);
    };
    pwdActions.clear();
    if (closePressed) pwdActions = {Close};
    pwdRuns = 0;
    main->Settings1Click(main);
    EXPECT_EQ(pwdRuns, 1);
    EXPECT_FALSE(settings->Cancelled);
    TQEnc defaults(nullptr);
    DefaultsPageToEngine(&defaults);
    ASSERT_EQ(defaults.Algorithm(), qeaAES128CTR);
    EXPECT_EQ(main->QEnc1->Algorithm(), defaults.Algorithm());
    EXPECT_EQ(main->QEnc1->Algorithm2(), defaults.Algorithm2());
    EXPECT_EQ(main->QEnc1->Algorithm3(), defaults.Algorithm3());
    EXPECT_EQ(main->QEnc1->Iterations(), defaults.Iterations());
    EXPECT_FALSE(main->Modified);
    if (closePressed) {
      EXPECT_FALSE(main->Locked);
      EXPECT_EQ(main->VaultPath, "");
      EXPECT_TRUE(main->SessionKey.empty());
    } else {
      ExpectLockedAndEmpty();
      pwdActions = {Type(kPassword)};
      ASSERT_TRUE(main->UnlockVault());
      EXPECT_FALSE(main->Modified);
      EXPECT_EQ(main->QEnc1->Algorithm(), qeaChaCha20);
      EXPECT_EQ(main->QEnc1->Algorithm2(), qeaAES128CTR);
      EXPECT_EQ(main->QEnc1->Algorithm3(), qeaTwofishCTR);
      EXPECT_EQ(main->Vault.Entries.size(), 3u);
      ASSERT_TRUE(main->LockVault(false));
      ForgetLock();
    }
    otherModal = nullptr;
    // The next round starts from the program's own Defaults.
    settings->RadioAlgTAC2->SetChecked(true);
    settings->RadioAlgTAC->SetChecked(true);
    settings->EditIterations2->SetText(std::to_string(kIterations));
    DeleteFileA(iniPath.c_str());
  }
}

// ---- The lock file's heartbeat -------------------------------------------------------------

// The interface timer rewrites the lock file of the open vault every
// 30 seconds; a locked vault has given its lock up and nothing is written.
TEST_F(LockFixture, TheTimerKeepsTheLockFileFreshOnlyWhileTheVaultIsOpen) {
  std::int64_t utc = 1700000000000;
  AppSeams().UtcNowMs = [&utc] { return utc; };
  ASSERT_NO_FATAL_FAILURE(OpenSample());
  const std::string lockFile = LockFilePath(vault);
  auto lockText = [&lockFile] {
    std::ifstream f(lockFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  auto refreshed = [&] {
    TLockInfo info;
    EXPECT_TRUE(ParseLockText(lockText(), info));
    return info.refreshedUtc;
  };
  ASSERT_EQ(refreshed(), utc);
  const std::int64_t opened = utc;

  tick += kLockHeartbeatMs - 1;
  utc += kLockHeartbeatMs - 1;
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(refreshed(), opened);  // not yet

  tick += 1;
  utc += 1;
  main->TimerUpdateUITimer(main);
  EXPECT_EQ(refreshed(), utc);
  EXPECT_EQ(ProcessVaultLock().LastHeartbeatTick(), tick);

  ASSERT_TRUE(main->LockVault(false));
  const std::string released = lockText();
  TLockInfo info;
  ASSERT_TRUE(ParseLockText(released, info));
  EXPECT_FALSE(info.active);
  for (int i = 0; i < 3; ++i) {
    tick += kLockHeartbeatMs * 2;
    utc += kLockHeartbeatMs * 2;
    main->TimerUpdateUITimer(main);
  }
  EXPECT_TRUE(main->Locked);
  EXPECT_EQ(lockText(), released);
  EXPECT_EQ(ProcessVaultLock().HeldLockPath(), "");
}

}  // namespace
