// Auto-type and hot keys for real under Wine: the main window types into a
// small target program of ours (two edits and a default button that records
// each submission in a file), and hot keys are fired by synthesised chords.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/AppSeams.h"
#include "app/AutoTyper.h"
#include "app/FormMain.h"
#include "app/Helpers.h"
#include "app/model/AutoType.h"
#include "app/model/Shortcuts.h"
#include "app/tests/Harness.h"
#include "settings/QDReg.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

namespace {

std::string TargetExe() {
  std::string p = VL_TYPE_TARGET_PATH;
  if (!p.empty() && p[0] == '/') {
    for (char& c : p)
      if (c == '/') c = '\\';
    p = "Z:" + p;
  }
  return p;
}

std::string TempFile(const std::string& name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  return std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
}

// The target program: started, brought to the front with its user-name edit
// focused, ended when the test is done.
class TTarget {
 public:
  TTarget() : record_(TempFile("vl-typed")) {
    const std::string cmd = "\"" + TargetExe() + "\" \"" + record_ + "\"";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return;
    wnd_ = harness::FindProcessWindow(pi_.dwProcessId, "VaultlineTypeTarget", 15000);
    if (!wnd_) return;
    harness::WaitFor(
        [this] {
          SetForegroundWindow(wnd_);
          return GetForegroundWindow() == wnd_;
        },
        5000);
  }
  ~TTarget() {
    if (pi_.hProcess) {
      TerminateProcess(pi_.hProcess, 0);
      WaitForSingleObject(pi_.hProcess, 5000);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
    DeleteFileA(record_.c_str());
  }
  TTarget(const TTarget&) = delete;
  TTarget& operator=(const TTarget&) = delete;

  bool InFront() const { return wnd_ && GetForegroundWindow() == wnd_; }
  std::string Edit(int id) const {
    char buffer[512] = {};
    DWORD_PTR r = 0;
    SendMessageTimeoutA(GetDlgItem(wnd_, id), WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, &r);
    return buffer;
  }
  std::string User() const { return Edit(101); }
  std::string Password() const { return Edit(102); }
  std::string Records() const {
    std::ifstream f(record_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  // Waits until the target has handled what was typed so far.
  void Settle() const {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(wnd_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &r);
    Sleep(150);
    SendMessageTimeoutA(wnd_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &r);
  }

 private:
  std::string record_;
  PROCESS_INFORMATION pi_{};
  HWND wnd_ = nullptr;
};

// Runs this thread's messages (the hot keys arrive here) for ms.
void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

void Key(BYTE vk, bool up) {
  keybd_event(vk, static_cast<BYTE>(MapVirtualKeyA(vk, 0)), up ? KEYEVENTF_KEYUP : 0, 0);
}

// Holds Ctrl down. Wine takes the keyboard state afresh from X at times
// until the focus has settled in the window in front: Ctrl goes down until
// it is seen down, and the waits that follow press it again, as a held key
// repeats.
bool HoldCtrl() {
  for (int i = 0; i < 20; ++i) {
    Key(VK_CONTROL, false);
    Sleep(100);
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) break;
  }
  Key(VK_CONTROL, false);
  return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

// Presses a chord; the key goes down `downs` times (auto-repeat) before
// everything is released.
void PressChord(std::initializer_list<BYTE> modifiers, BYTE key, int downs = 1) {
  for (BYTE m : modifiers) Key(m, false);
  for (int i = 0; i < downs; ++i) {
    Key(key, false);
    Sleep(20);
  }
  Key(key, true);
  for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) Key(*it, true);
}

struct AutoTypeFixture : ::testing::Test {
  TApplication app;
  TFormMain* main = nullptr;
  std::vector<TMessageBoxCall> boxes;
  std::vector<std::string> urls;
  std::vector<std::uint32_t> sleeps;

  void SetUp() override {
    app.Initialize();
    MessageBoxHook = [this](const TMessageBoxCall& c) {
      boxes.push_back(c);
      return IDOK;
    };
    AppSeams().OpenUrl = [this](const std::string& url) {
      urls.push_back(url);
      return true;
    };
    AppSeams().Sleep = [this](std::uint32_t ms) {
      sleeps.push_back(ms);
      ::Sleep(ms);
    };
    main = new TFormMain(&app);
    app.SetMainForm(main);
    main->TimerStartup->SetEnabled(false);
    main->TimerUpdateUI->SetEnabled(false);
    main->TimerTray->SetEnabled(false);
    ResetAutomateAwait();
    PendingHotKeyId = -1;
    RememberedShortcuts.clear();
  }
  void TearDown() override {
    main->UnregisterAllHotKeys();
    main->Vault.Entries.clear();
    main->CurrentEntry = nullptr;
    main->Locked = false;
    main->VaultPath.clear();
    MessageBoxHook = nullptr;
    ResetAppSeams();
    ResetAutomateAwait();
    PendingHotKeyId = -1;
    RememberedShortcuts.clear();
  }

  TVaultEntry* AddEntry(int id, const std::string& title, const std::string& automate,
                        const std::string& shortcut = "", const std::string& password = "s3cret!") {
    auto e = std::make_unique<TVaultEntry>();
    e->id = id;
    e->title = title;
    e->username = "alice";
    e->password = password;
    e->url = "http://example.test/login";
    e->automate = automate;
    e->shortcut = shortcut;
    main->Vault.Entries.push_back(std::move(e));
    return main->Vault.Entries.back().get();
  }
};

// What arrives in the target for each preset sequence.
TEST_F(AutoTypeFixture, PresetSequencesTypeTheEntrysFieldsIntoTheWindowInFront) {
  struct TCase {
    const char* sequence;
    int runs;              // AWAIT needs a second run to go on
    const char* user;      // the user-name edit afterwards
    const char* records;   // the submissions
    bool opensUrl;
    bool waits2000;
  } const cases[] = {
      {kAutomatePresets[0], 1, "alice", "", false, false},
      {kAutomatePresets[1], 1, "alice", "alice|\r\nalice|s3cret!\r\n", false, false},
      {kAutomatePresets[2], 1, "alice", "alice|s3cret!\r\n", false, false},
      {kAutomatePresets[3], 1, "alices3cret!", "alices3cret!|\r\n", true, true},
      {kAutomatePresets[4], 2, "alices3cret!", "alices3cret!|\r\n", true, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.sequence);
    urls.clear();
    sleeps.clear();
    main->Vault.Entries.clear();
    TVaultEntry* entry = AddEntry(4, "Mail", c.sequence);
    TTarget target;
    ASSERT_TRUE(target.InFront());
    main->RunAutomate(entry);
    if (c.runs == 2) {
      // Suspended at AWAIT: the URL is open, nothing is typed yet.
      target.Settle();
      EXPECT_EQ(target.User(), "");
      EXPECT_EQ(AutomateAwait.EntryId, 4);
      main->RunAutomate(entry);
    }
    target.Settle();
    EXPECT_EQ(target.User(), c.user);
    EXPECT_EQ(target.Records(), c.records);
    EXPECT_EQ(urls, c.opensUrl ? std::vector<std::string>{"http://example.test/login"} : std::vector<std::string>{});
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 2000u), c.waits2000 ? 1 : 0);
    EXPECT_EQ(AutomateAwait.EntryId, -1);  // a complete run forgets the suspension
    EXPECT_TRUE(boxes.empty());
  }
}

// A sequence that cannot be typed completely types nothing at all.
TEST_F(AutoTypeFixture, RefusedSequencesTypeNothing) {
  struct TCase {
    const char* sequence;
    const char* password;
    std::string message;
    UINT icon;
  } const cases[] = {
      {"USERNAME TAB Bogus ENTER", "s3cret!", std::string(AutoTypeTexts::kUnknownCommand) + "Bogus", MB_ICONERROR},
      {"USERNAME WAIT PASSWORD", "s3cret!", std::string(AutoTypeTexts::kUnknownCommand) + "WAIT", MB_ICONERROR},
      // 0xE9 has no key in the US layout.
      {"USERNAME TAB PASSWORD ENTER", "s3cr\xE9t", AutoTypeTexts::kPasswordNotTypeable, MB_ICONERROR},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.sequence);
    boxes.clear();
    main->Vault.Entries.clear();
    TVaultEntry* entry = AddEntry(4, "Mail", c.sequence, "", c.password);
    TTarget target;
    ASSERT_TRUE(target.InFront());
    main->RunAutomate(entry);
    target.Settle();
    EXPECT_EQ(target.User(), "");
    EXPECT_EQ(target.Password(), "");
    EXPECT_EQ(target.Records(), "");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Automate");
    EXPECT_EQ(boxes[0].Text, c.message);
    EXPECT_EQ(boxes[0].Flags & MB_ICONMASK, c.icon);
  }
}

TEST_F(AutoTypeFixture, TypeCredentialsWantsAnOpenEntry) {
  main->CurrentEntry = nullptr;
  main->EntryOpen = false;
  main->ButtonAutomateClick(main);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Automate");
  EXPECT_EQ(boxes[0].Text, "Please open a password entry first.");
  EXPECT_EQ(boxes[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
}

// Ctrl+V in the entry list types the selected entry's credentials only once
// V and Ctrl are both up; held for 3 s, it gives up and types nothing.
TEST_F(AutoTypeFixture, CtrlVInTheListTypesAfterTheKeysAreReleased) {
  TVaultGroup* group = main->Vault.Groups.Add(nullptr, "Mail", 2);
  TVaultEntry* entry = AddEntry(4, "Mail", "USERNAME TAB PASSWORD ENTER");
  entry->group = group;
  main->FillGroupTree();
  main->TreeView1->SetSelected(main->NodeOfGroup(group));
  main->FillEntryList();
  LVITEMA item{};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(main->ListView1->Handle(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  ASSERT_EQ(main->CurrentEntry, entry);

  for (const bool release : {true, false}) {
    SCOPED_TRACE(release ? "released after 200 ms" : "held");
    TTarget target;
    ASSERT_TRUE(target.InFront());
    // Wine takes the keyboard state afresh from X when the focus moves:
    // the target settles first. Ctrl alone is held (V down would paste into
    // the target).
    target.Settle();
    if (!HoldCtrl()) {
      Key(VK_CONTROL, true);
      FAIL() << "Ctrl is not seen held";
    }
    int waited = 0;
    bool held = true;
    std::string typedWhileHeld = "?";
    sleeps.clear();
    AppSeams().Sleep = [&](std::uint32_t ms) {
      sleeps.push_back(ms);
      if (ms != 10) return ::Sleep(ms);
      waited += 10;
      if (release && waited == 200) {
        typedWhileHeld = target.User();
        held = false;
        Key(VK_CONTROL, true);
        ::Sleep(50);
      } else if (held) {
        ::Sleep(1);
        Key(VK_CONTROL, false);
      }
    };
    WORD key = 'V';
    main->ListView1KeyDown(main->ListView1, key, ssCtrl);
    EXPECT_EQ(key, 0);  // swallowed
    if (!release) Key(VK_CONTROL, true);
    target.Settle();
    if (release) {
      EXPECT_EQ(typedWhileHeld, "");
      EXPECT_EQ(target.Records(), "alice|s3cret!\r\n");
      EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), 50u), sleeps.end());
    } else {
      EXPECT_EQ(waited, 3000);
      EXPECT_EQ(target.User(), "");
      EXPECT_EQ(target.Records(), "");
    }
  }
  EXPECT_TRUE(boxes.empty());
}

// An entry's chord types its credentials once, however long it is held.
TEST_F(AutoTypeFixture, EntryHotKeyTypesOnceWhenTheChordIsHeld) {
  AddEntry(7, "Mail", "", "Ctrl+Alt+K");
  ASSERT_TRUE(main->RegisterEntryHotKeys());
  TTarget target;
  ASSERT_TRUE(target.InFront());
  PressChord({VK_CONTROL, VK_MENU}, 'K', 4);
  Pump(1500);
  target.Settle();
  Pump(300);
  target.Settle();
  // One submission of the credentials. (Wine sometimes hands repeats of the
  // held key to the window in front as well, as plain "k"s before it.)
  std::string records = target.Records();
  records.erase(0, records.find_first_not_of('k'));
  EXPECT_EQ(records, "alice|s3cret!\r\n");
  EXPECT_TRUE(boxes.empty());
}

// An entry's chord still held after 3 s is given up without a word, and
// nothing is typed.
TEST_F(AutoTypeFixture, EntryHotKeyHeldLongerThanThreeSecondsIsGivenUp) {
  AddEntry(7, "Mail", "", "Ctrl+Alt+K");
  TTarget target;
  ASSERT_TRUE(target.InFront());
  // As in the list's Ctrl+V test: Ctrl alone is held, through the waits.
  target.Settle();
  if (!HoldCtrl()) {
    Key(VK_CONTROL, true);
    FAIL() << "Ctrl is not seen held";
  }
  // The clock moves only with the 10 ms waits.
  std::uint32_t waited = 0;
  AppSeams().TickCount = [&waited] { return 5000 + waited; };
  sleeps.clear();
  AppSeams().Sleep = [&](std::uint32_t ms) {
    sleeps.push_back(ms);
    if (ms != 10) return ::Sleep(ms);
    waited += 10;
    ::Sleep(1);
    Key(VK_CONTROL, false);
  };
  EXPECT_EQ(main->HandleHotKey(EntryHotKeyId(7), MAKELPARAM(MOD_CONTROL | MOD_ALT, 'K')), 0);
  Key(VK_CONTROL, true);
  target.Settle();
  EXPECT_EQ(waited, 3010u);  // given up once more than 3 s have passed
  EXPECT_EQ(std::find(sleeps.begin(), sleeps.end(), 50u), sleeps.end());  // no typing pause
  EXPECT_EQ(target.User(), "");
  EXPECT_EQ(target.Records(), "");
  EXPECT_TRUE(boxes.empty());
}

// USERNAME AWAIT PASSWORD ENTER: the chord types the user name, the next
// press of it within a minute the rest; after more than a minute (on the
// clock of the seams) it starts again with the user name.
TEST_F(AutoTypeFixture, EntryHotKeyResumesAfterAwaitWithinAMinute) {
  std::uint32_t skew = 0;
  AppSeams().TickCount = [&skew] { return static_cast<std::uint32_t>(GetTickCount()) + skew; };
  AddEntry(8, "Bank", "USERNAME AWAIT TAB PASSWORD ENTER", "Ctrl+Alt+J");
  ASSERT_TRUE(main->RegisterEntryHotKeys());
  TTarget target;
  ASSERT_TRUE(target.InFront());
  PressChord({VK_CONTROL, VK_MENU}, 'J');
  Pump(800);
  target.Settle();
  EXPECT_EQ(target.User(), "alice");
  EXPECT_EQ(target.Records(), "");
  skew += 61000;
  PressChord({VK_CONTROL, VK_MENU}, 'J');
  Pump(800);
  target.Settle();
  EXPECT_EQ(target.User(), "alicealice");
  EXPECT_EQ(target.Records(), "");
  skew += 59000;
  PressChord({VK_CONTROL, VK_MENU}, 'J');
  Pump(800);
  target.Settle();
  EXPECT_EQ(target.Records(), "alicealice|s3cret!\r\n");
  EXPECT_EQ(AutomateAwait.EntryId, -1);
}

TEST_F(AutoTypeFixture, MenusShowTheGlobalChords) {
  main->UpdateShortcutCaptions();  // an empty settings store: the defaults
  EXPECT_EQ(main->Vaultline1->Caption(), "Vaultline\tCtrl+Shift+P");
  EXPECT_EQ(main->Lock1->Caption(), "Lock\t\tCtrl+Shift+L");
  EXPECT_EQ(main->Lock2->Caption(), "Lock\t\tCtrl+Shift+L");
  main->QDReg1->PushString(kShortcutKey, " Alt+F5 ");
  main->QDReg1->PushString(kShortcut2Key, "");
  main->UpdateShortcutCaptions();
  EXPECT_EQ(main->Vaultline1->Caption(), "Vaultline\tAlt+F5");
  EXPECT_EQ(main->Lock1->Caption(), "Lock");
  // A stored text that is no shortcut shows no chord and registers nothing,
  // however long it is.
  const std::string megabyte(1 << 20, 'L');
  main->QDReg1->PushString(kShortcut2Key, megabyte);
  main->UpdateShortcutCaptions();
  EXPECT_EQ(main->Lock1->Caption(), "Lock");
  EXPECT_EQ(main->Lock2->Caption(), "Lock");
  EXPECT_FALSE(main->SetLockHotKey(megabyte));
  EXPECT_FALSE(main->LockHotKey.Registered);
}

TEST_F(AutoTypeFixture, OpenHotKeyShowsTheWindow) {
  ASSERT_TRUE(main->SetOpenHotKey("Ctrl+Shift+P"));
  EXPECT_TRUE(main->OpenHotKey.Registered);
  PendingHotKeyId = 3;
  main->Hide();
  PressChord({VK_CONTROL, VK_SHIFT}, 'P');
  Pump(500);
  EXPECT_EQ(PendingHotKeyId, -1);
  EXPECT_TRUE(IsWindowVisible(main->Handle()));
}

// A chord already taken (here by the Open hot key) is refused with the
// conflict messages, and the entry keeps its registered shortcut.
TEST_F(AutoTypeFixture, TakenChordsAreReported) {
  ASSERT_TRUE(main->SetOpenHotKey("Ctrl+Shift+P"));
  AddEntry(2, "Mail", "", "Ctrl+Shift+P");
  TVaultEntry* bank = AddEntry(3, "Bank", "", "Ctrl+Alt+B");
  EXPECT_FALSE(main->RegisterEntryHotKeys());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Shortcut conflict");
  EXPECT_EQ(boxes[0].Text, "The following automation shortcuts could not be registered:\r\n\r\nMail: Ctrl+Shift+P");
  EXPECT_EQ(boxes[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));

  // Capturing: a taken chord and a Shift-only chord are refused; a free one
  // is registered and guarded while its keys are still down. The clock
  // moves only with the program's own waits, so that starting the target
  // below does not outlast the guard.
  const std::uint32_t now = GetTickCount();
  std::uint32_t clock = now;
  AppSeams().TickCount = [&clock] { return clock; };
  AppSeams().Sleep = [&clock](std::uint32_t ms) {
    clock += ms;
    ::Sleep(ms);
  };
  main->CurrentEntry = bank;
  struct TCase {
    WORD key;
    TShiftState shift;
    bool ok;
  } const cases[] = {
      {'P', ssCtrl | ssShift, false},
      {VK_F5, ssShift, false},
      {'J', ssCtrl | ssAlt, true},
  };
  for (const TCase& c : cases) {
    boxes.clear();
    WORD key = c.key;
    main->EditShortcutKeyDown(main->EditShortcut, key, c.shift);
    EXPECT_EQ(key, 0) << "the key is swallowed";
    if (c.ok) {
      EXPECT_TRUE(boxes.empty());
      EXPECT_EQ(bank->shortcut, "Ctrl+Alt+J");
      EXPECT_EQ(main->EditShortcut->Text(), "Ctrl+Alt+J");
      EXPECT_EQ(main->HotKeyGuardId, 0x5203);
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].Caption, "Shortcut conflict");
      EXPECT_EQ(boxes[0].Text, "This shortcut is invalid or already in use.");
      EXPECT_EQ(bank->shortcut, "Ctrl+Alt+B");
      // The old chord is still this program's.
      EXPECT_FALSE(RegisterHotKey(nullptr, 0x7001, MOD_CONTROL | MOD_ALT, 'B'));
    }
  }
  // Setting a shortcut does not fire the entry, although its chord is
  // still held when the hot key arrives: the window in front stays empty.
  TTarget target;
  ASSERT_TRUE(target.InFront());
  main->HandleHotKey(0x5203, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'J'));
  Pump(300);
  target.Settle();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(main->HotKeyGuardId, 0x5203);
  EXPECT_EQ(target.User(), "");
  EXPECT_EQ(target.Records(), "");
  // Once the guard has run out the same hot key types into that window.
  clock = now + 501;
  main->HandleHotKey(0x5203, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'J'));
  Pump(300);
  target.Settle();
  EXPECT_EQ(main->HotKeyGuardId, 0);
  EXPECT_EQ(target.Records(), "alice|s3cret!\r\n");
}

// A double click in the shortcut field removes the entry's shortcut and
// gives its chord back to Windows, without a question.
TEST_F(AutoTypeFixture, DoubleClickingTheShortcutFieldClearsTheShortcut) {
  TVaultEntry* entry = AddEntry(9, "Mail", "", "Ctrl+Alt+Q");
  ASSERT_TRUE(main->RegisterEntryHotKeys());
  ASSERT_FALSE(RegisterHotKey(nullptr, 0x7003, MOD_CONTROL | MOD_ALT, 'Q'));
  main->CurrentEntry = entry;
  main->ShowEntry(entry);
  ASSERT_EQ(main->EditShortcut->Text(), "Ctrl+Alt+Q");
  main->Modified = false;
  main->EditShortcutDblClick(main->EditShortcut);
  EXPECT_EQ(entry->shortcut, "");
  EXPECT_EQ(main->EditShortcut->Text(), "");
  EXPECT_TRUE(main->Modified);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(RegisterHotKey(nullptr, 0x7003, MOD_CONTROL | MOD_ALT, 'Q'));
  UnregisterHotKey(nullptr, 0x7003);
  main->Modified = false;
}

// The remembered entry shortcuts are written with the state, registered
// while the vault is locked, and an entry's chord then asks to unlock;
// after a refused unlock they are registered again.
TEST_F(AutoTypeFixture, RememberedShortcutsWorkWhileLocked) {
  const std::string ini = TQDReg::AppDir() + TFormMain::kSettingsFile;
  const std::string vault = TempFile("vl-remembered") + ".qvl";
  std::ofstream(vault) << "x";
  AddEntry(5, "Mail", "", " Ctrl+Alt+M ");
  AddEntry(28160, "Far", "", "Ctrl+Alt+F");  // no hot-key id: left out
  AddEntry(6, "None", "");
  main->VaultPath = vault;
  main->SaveState();
  EXPECT_EQ(RememberedShortcuts, "5=Ctrl+Alt+M");

  // As a lock does: the entries go, the remembered keys stay.
  main->UnregisterEntryHotKeys();
  main->Vault.Entries.clear();
  main->VaultPath.clear();
  RememberedShortcuts.clear();
  main->LoadState(true);
  ASSERT_TRUE(main->Locked);
  EXPECT_EQ(RememberedShortcuts, "5=Ctrl+Alt+M");
  main->Hide();
  // The chord shows the window and asks to unlock, with the entry pending;
  // during the prompt the remembered keys are given back. The file is no
  // vault: its question is declined, so the vault stays locked.
  int pendingAtPrompt = -2;
  bool shownAtPrompt = false, chordFreeAtPrompt = false;
  MessageBoxHook = [&](const TMessageBoxCall& c) {
    boxes.push_back(c);
    pendingAtPrompt = PendingHotKeyId;
    shownAtPrompt = IsWindowVisible(main->Handle()) != FALSE;
    chordFreeAtPrompt = RegisterHotKey(nullptr, 0x7002, MOD_CONTROL | MOD_ALT, 'M') != FALSE;
    if (chordFreeAtPrompt) UnregisterHotKey(nullptr, 0x7002);
    return IDNO;
  };
  PressChord({VK_CONTROL, VK_MENU}, 'M');
  Pump(800);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Unencrypted Vaultline file");
  EXPECT_EQ(pendingAtPrompt, 5);
  EXPECT_TRUE(shownAtPrompt);
  EXPECT_TRUE(chordFreeAtPrompt);
  // Still locked, in the tray, the remembered keys registered again.
  EXPECT_TRUE(main->Locked);
  EXPECT_EQ(PendingHotKeyId, -1);
  EXPECT_FALSE(IsWindowVisible(main->Handle()));
  EXPECT_EQ(RememberedShortcuts, "5=Ctrl+Alt+M");
  EXPECT_FALSE(RegisterHotKey(nullptr, 0x7002, MOD_CONTROL | MOD_ALT, 'M'));

  main->UnregisterRememberedHotKeys();
  EXPECT_TRUE(RegisterHotKey(nullptr, 0x7002, MOD_CONTROL | MOD_ALT, 'M'));
  UnregisterHotKey(nullptr, 0x7002);
  DeleteFileA(ini.c_str());
  DeleteFileA(vault.c_str());
}

}  // namespace
