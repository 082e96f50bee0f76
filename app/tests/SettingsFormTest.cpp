// The settings dialog in this process under Wine: the settings keys loaded
// and saved, the autostart value, shortcut capture, the OK steps with a
// chord that is taken, and the cipher pages against the main window's
// engine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppSeams.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/Helpers.h"
#include "app/model/tests/FakeHotKeys.h"
#include "app/tests/FormFixture.h"
#include "app/tests/Harness.h"
#include "base/Stream.h"
#include "base/SysUtils.h"
#include "base/tests/TestUtil.h"
#include "engine/QEnc.h"
#include "settings/ModuleFileName.h"
#include "settings/QDReg.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

namespace {

// The settings file beside this test program; what was there before is put
// back afterwards.
struct IniFileGuard {
  std::string path = TQDReg::AppDir() + TFormMain::kSettingsFile;
  bool existed = false;
  std::string before;
  IniFileGuard() {
    std::ifstream f(path, std::ios::binary);
    existed = f.good();
    if (existed) before.assign(std::istreambuf_iterator<char>(f), {});
  }
  ~IniFileGuard() {
    if (existed)
      std::ofstream(path, std::ios::binary) << before;
    else
      DeleteFileA(path.c_str());
  }
  void Write(const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }
  std::string Read() const {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
};

// The Run value of the current user: whatever it held is restored (or the
// value removed) when the guard ends, so that Wine never starts this
// program at its next start.
struct RunValueGuard {
  bool existed = false;
  std::string before;
  RunValueGuard() { existed = Read(before); }
  ~RunValueGuard() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeys::kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (existed)
      RegSetValueExA(key, SettingsKeys::kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(before.c_str()),
                     static_cast<DWORD>(before.size() + 1));
    else
      RegDeleteValueA(key, SettingsKeys::kRunValue);
    RegCloseKey(key);
  }
  static bool Read(std::string& value) {
    char buf[2048] = {};
    DWORD size = sizeof buf - 1;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeys::kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
      return false;
    const bool ok = RegQueryValueExA(key, SettingsKeys::kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(buf),
                                     &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (ok) value = buf;
    return ok;
  }
  static void Set(const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeys::kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, SettingsKeys::kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
  }
};

// Holds keyboard keys down in this thread's view (GetKeyState) while a key
// message is sent to a control.
struct HeldKeys {
  BYTE saved[256] = {};
  explicit HeldKeys(std::initializer_list<int> keys) {
    GetKeyboardState(saved);
    BYTE state[256] = {};
    for (int k : keys) state[k] = 0x80;
    SetKeyboardState(state);
  }
  ~HeldKeys() { SetKeyboardState(saved); }
};

struct SettingsFixture : FormFixture {
  TFormSettings* settings = nullptr;
  TFakeHotKeys* hotKeys = nullptr;
  IniFileGuard ini;
  RunValueGuard run;

  void SetUp() override {
    FormFixture::SetUp();
    auto fake = std::make_unique<TFakeHotKeys>();
    hotKeys = fake.get();
    main->SetHotKeys(std::move(fake));
    settings = new TFormSettings(&app);
  }

  // Settings1Click with hook run inside the dialog.
  void RunSettings(std::function<void()> hook) {
    TForm::ModalHook = [hook](TForm*) {
      TForm::ModalHook = nullptr;
      hook();
    };
    main->Settings1Click(main);
    TForm::ModalHook = nullptr;
  }

  int CheckedIndex(const std::array<TRadioButton*, 10>& buttons) const {
    int index = 0;
    for (std::size_t i = 0; i < buttons.size(); ++i)
      if (buttons[i]->Checked()) {
        EXPECT_EQ(index, 0) << "two cascades checked";
        index = static_cast<int>(i) + 1;
      }
    return index;
  }
  int BackupMode() const {
    TRadioButton* bak[4] = {settings->RadioBak1, settings->RadioBak2, settings->RadioBak3, settings->RadioBak4};
    for (int i = 0; i < 4; ++i)
      if (bak[i]->Checked()) return i + 1;
    return 0;
  }
};

// ---- Loading --------------------------------------------------------------------------------

TEST_F(SettingsFixture, LoadFallsBackOrFloorsOutOfRangeValues) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> keys;
    int algorithm, backupMode;
    std::string timeout, iterations;
  };
  const Case cases[] = {
      {{}, 7, 2, "120", "200000"},
      {{{"Algorithm", "0"}, {"BackupMode", "7"}, {"SessionTimeout", "-5"}, {"Iterations", "100"}}, 7, 2, "1", "2000"},
      {{{"Algorithm", "11"}, {"BackupMode", "0"}, {"SessionTimeout", "0"}, {"Iterations", "1999"}}, 7, 2, "1", "2000"},
      {{{"Algorithm", "x"}, {"BackupMode", "x"}, {"SessionTimeout", "x"}, {"Iterations", "x"}}, 7, 2, "120", "200000"},
      {{{"Algorithm", "10"}, {"BackupMode", "4"}, {"SessionTimeout", "30"}, {"Iterations", "4000"}}, 10, 4, "30", "4000"},
      {{{"Algorithm", "1"}, {"BackupMode", "1"}, {"SessionTimeout", "1"}, {"Iterations", "2000"}}, 1, 1, "1", "2000"},
  };
  for (const Case& c : cases) {
    TQDReg store(nullptr);
    for (const auto& [k, v] : c.keys) store.PushString(k, v);
    settings->LoadSettings(store);
    const std::string what = c.keys.empty() ? "no keys" : c.keys[0].second + "/" + c.keys[1].second;
    EXPECT_EQ(CheckedIndex(settings->DefaultsButtons()), c.algorithm) << what;
    EXPECT_EQ(BackupMode(), c.backupMode) << what;
    EXPECT_EQ(settings->EditTimeout->Text(), c.timeout) << what;
    EXPECT_EQ(settings->EditIterations2->Text(), c.iterations) << what;
    EXPECT_EQ(IntToStr(settings->SessionTimeout), c.timeout) << what;
  }
}

TEST_F(SettingsFixture, LoadReadsTheSwitchesAndShortcutsWithTheirDefaults) {
  TQDReg empty(nullptr);
  settings->LoadSettings(empty);
  EXPECT_EQ(settings->EditShortcut->Text(), "Ctrl+Shift+P");
  EXPECT_EQ(settings->EditShortcut2->Text(), "Ctrl+Shift+L");
  for (TCheckBox* b : {settings->CheckSessionTimeout, settings->CheckSessionWindowsLock, settings->CheckSessionStandby,
                       settings->CheckSessionTermination, settings->CheckBoxLastFile, settings->CheckBoxMinimized})
    EXPECT_TRUE(b->Checked()) << b->Name();
  EXPECT_FALSE(settings->CheckFast2->Checked());

  TQDReg store(nullptr);
  for (const char* key : {"CheckSessionTimeout", "CheckSessionWindowsLock", "CheckSessionStandby",
                          "CheckSessionTermination", "CheckBoxLastFile", "CheckBoxMinimized"})
    store.PushBool(key, false);
  store.PushBool("CheckFast", true);
  store.PushString("Shortcut", "Alt+F5");
  store.PushString("Shortcut2", "");
  settings->LoadSettings(store);
  EXPECT_EQ(settings->EditShortcut->Text(), "Alt+F5");
  EXPECT_EQ(settings->EditShortcut2->Text(), "");
  for (TCheckBox* b : {settings->CheckSessionTimeout, settings->CheckSessionWindowsLock, settings->CheckSessionStandby,
                       settings->CheckBoxLastFile, settings->CheckBoxMinimized})
    EXPECT_FALSE(b->Checked()) << b->Name();
  // "After Program Termination" cannot be switched off.
  EXPECT_TRUE(settings->CheckSessionTermination->Checked());
  settings->CheckSessionTermination->Perform(BM_CLICK);
  EXPECT_TRUE(settings->CheckSessionTermination->Checked());
  EXPECT_TRUE(settings->CheckFast2->Checked());
}

TEST_F(SettingsFixture, DefaultsIterationsAreFlooredAgainWhenTheyReachTheEngine) {
  TQDReg store(nullptr);
  store.PushString("Iterations", "100");
  settings->LoadSettings(store);
  EXPECT_EQ(settings->EditIterations2->Text(), "2000");
  DefaultsPageToEngine(main->QEnc1);
  EXPECT_EQ(settings->EditIterations2->Text(), "5000");
  EXPECT_EQ(main->QEnc1->Iterations(), 5000);
  EXPECT_EQ(main->QEnc1->FastIterations(), 20000);
  EXPECT_EQ(DescribeCipherCascade(main->QEnc1), "Twofish+AES+ChaCha20 5K");
}

// ---- Saving ---------------------------------------------------------------------------------

TEST_F(SettingsFixture, SaveWritesEveryKeyInOrder) {
  TQDReg empty(nullptr);
  settings->LoadSettings(empty);
  settings->RadioAlgCTA2->SetChecked(true);
  settings->CheckFast2->SetChecked(true);
  settings->EditIterations2->SetText("1500");
  settings->EditShortcut->SetText("Ctrl+Alt+K");
  settings->EditShortcut2->SetText("");
  settings->EditTimeout->SetText("abc");
  settings->CheckSessionStandby->SetChecked(false);
  settings->CheckBoxMinimized->SetChecked(false);
  settings->RadioBak4->SetChecked(true);
  TQDReg store(nullptr);
  ASSERT_TRUE(settings->SaveSettings(store));
  EXPECT_EQ(ini.Read(),
            "\r\nAlgorithm=9\r\nCheckFast=1\r\nIterations=2000\r\nShortcut=Ctrl+Alt+K\r\nShortcut2=\r\n"
            "SessionTimeout=120\r\nCheckSessionTimeout=1\r\nCheckSessionWindowsLock=1\r\nCheckSessionStandby=0\r\n"
            "CheckSessionTermination=1\r\nCheckBoxAutostart=0\r\nCheckBoxLastFile=1\r\nCheckBoxMinimized=0\r\n"
            "BackupMode=4\r\n");
  // The edits show what was saved.
  EXPECT_EQ(settings->EditTimeout->Text(), "120");
  EXPECT_EQ(settings->EditIterations2->Text(), "2000");

  // No cascade and no backup button checked; a timeout below 1 and
  // iterations that are no number.
  for (TRadioButton* b : settings->DefaultsButtons()) b->SetChecked(false);
  settings->RadioBak4->SetChecked(false);
  settings->EditTimeout->SetText("-3");
  settings->EditIterations2->SetText("lots");
  TQDReg store2(nullptr);
  ASSERT_TRUE(settings->SaveSettings(store2));
  const std::string text = ini.Read();
  EXPECT_NE(text.find("\r\nAlgorithm=0\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nIterations=200000\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nSessionTimeout=1\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nBackupMode=2\r\n"), std::string::npos) << text;

  // What was saved loads back unchanged.
  TQDReg again(nullptr);
  again.SetIniFileDir(TQDReg::AppDir());
  again.SetIniFileName(TFormMain::kSettingsFile);
  ASSERT_TRUE(again.LoadFromFile());
  settings->RadioAlgT2->SetChecked(true);
  settings->LoadSettings(again);
  EXPECT_EQ(CheckedIndex(settings->DefaultsButtons()), 7);  // "0" selects the default
  EXPECT_EQ(settings->EditIterations2->Text(), "200000");
  EXPECT_EQ(settings->EditShortcut->Text(), "Ctrl+Alt+K");
}

// ---- Autostart ------------------------------------------------------------------------------

TEST_F(SettingsFixture, AutostartWritesTheQuotedPathAndRemovesIt) {
  // Wine starts every Run value when it starts: this test writes one only in
  // the throwaway prefix its own test run provides.
  if (!std::getenv("VL_AUTOSTART_PREFIX")) GTEST_SKIP() << "runs as app_autostart_tests in a prefix of its own";
  const std::string quoted = "\"" + qdreg_win32::ModuleFileName() + "\"";
  EXPECT_EQ(TFormSettings::AutostartCommand(), quoted);
  ASSERT_TRUE(TFormSettings::SetAutostart(true));
  std::string value;
  ASSERT_TRUE(RunValueGuard::Read(value));
  EXPECT_EQ(value, quoted);
  EXPECT_TRUE(TFormSettings::IsAutostartEnabled());
  TQDReg empty(nullptr);
  settings->LoadSettings(empty);
  EXPECT_TRUE(settings->CheckBoxAutostart->Checked());

  // Only the quoted path of this program counts, in any case.
  struct Case {
    std::string value;
    bool enabled;
  } cases[] = {
      {qdreg_win32::ModuleFileName(), false},
      {"\"C:\\Other\\Vaultline.exe\"", false},
      {quoted + " /min", false},
      {CharUpperA(std::string(quoted).data()), true},
  };
  for (const Case& c : cases) {
    RunValueGuard::Set(c.value);
    EXPECT_EQ(TFormSettings::IsAutostartEnabled(), c.enabled) << c.value;
  }

  ASSERT_TRUE(TFormSettings::SetAutostart(false));
  EXPECT_FALSE(RunValueGuard::Read(value));
  EXPECT_FALSE(TFormSettings::IsAutostartEnabled());
  // Removing a value that is not there succeeds.
  EXPECT_TRUE(TFormSettings::SetAutostart(false));

  // OK sets the value first: it stays set when a later step refuses.
  hotKeys->Taken.insert({kModControl | kModShift, 'L'});
  settings->CheckBoxAutostart->SetChecked(true);
  settings->ButtonOKClick(settings);
  EXPECT_EQ(boxes.back().Text, "The lock shortcut is invalid or already in use.");
  ASSERT_TRUE(RunValueGuard::Read(value));
  EXPECT_EQ(value, quoted);
  settings->CheckBoxAutostart->SetChecked(false);
  hotKeys->Taken.clear();
  settings->ButtonOKClick(settings);
  EXPECT_FALSE(RunValueGuard::Read(value));
}

// ---- Shortcut capture -----------------------------------------------------------------------

TEST_F(SettingsFixture, CaptureTurnsKeysIntoShortcutTexts) {
  struct Case {
    int vk;
    bool ctrl, shift, alt;
    std::string before, after;
    bool swallowed;
  } cases[] = {
      {VK_F5, true, true, false, "", "Ctrl+Shift+F5", true},
      {'K', true, false, true, "", "Ctrl+Alt+K", true},
      {'K', true, true, true, "x", "Ctrl+Shift+Alt+K", true},
      {VK_F13, false, false, false, "", "F13", true},
      {'7', false, false, false, "", "7", true},
      {VK_NEXT, true, false, false, "", "Ctrl+PageDown", true},
      {VK_BACK, true, false, false, "Ctrl+K", "", true},
      {VK_SHIFT, false, true, false, "Ctrl+K", "Ctrl+K", true},
      {VK_CONTROL, true, false, false, "Ctrl+K", "Ctrl+K", true},
      {VK_MENU, false, false, true, "Ctrl+K", "Ctrl+K", true},
      {VK_NUMPAD0, true, false, false, "Ctrl+K", "Ctrl+K", true},
      {VK_F1 + 24, true, false, false, "Ctrl+K", "Ctrl+K", true},
      {VK_LEFT, true, false, false, "Ctrl+K", "Ctrl+K", false},
      {VK_HOME, false, false, false, "Ctrl+K", "Ctrl+K", false},
  };
  for (const Case& c : cases) {
    std::string text = c.before;
    EXPECT_EQ(TFormSettings::CaptureShortcutKey(text, c.vk, c.ctrl, c.shift, c.alt), c.swallowed) << c.vk;
    EXPECT_EQ(text, c.after) << c.vk;
  }
}

TEST_F(SettingsFixture, KeysInTheShortcutEditsAreCapturedAndEnterPressesOk) {
  const int result = RunModal(settings, [&] {
    settings->PageControl1->SetActivePage(settings->TabGeneral);
    {
      HeldKeys held{VK_CONTROL, VK_SHIFT};
      SendMessageA(settings->EditShortcut->Handle(), WM_KEYDOWN, VK_F5, 1);
    }
    EXPECT_EQ(settings->EditShortcut->Text(), "Ctrl+Shift+F5");
    {
      HeldKeys held{VK_MENU, VK_CONTROL};
      SendMessageA(settings->EditShortcut2->Handle(), WM_SYSKEYDOWN, 'K', 1 | (1 << 29));
    }
    EXPECT_EQ(settings->EditShortcut2->Text(), "Ctrl+Alt+K");
    SendMessageA(settings->EditShortcut->Handle(), WM_KEYDOWN, VK_BACK, 1);
    EXPECT_EQ(settings->EditShortcut->Text(), "");
    settings->EditShortcut2->SetFocus();
    // Enter reaches the dialog, not the edit.
    PostMessageA(settings->EditShortcut2->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  });
  EXPECT_EQ(result, mrOk);
  EXPECT_FALSE(settings->Cancelled);
  EXPECT_EQ(settings->EditShortcut2->Text(), "Ctrl+Alt+K");
  EXPECT_NE(ini.Read().find("\r\nShortcut=\r\nShortcut2=Ctrl+Alt+K\r\n"), std::string::npos) << ini.Read();
  // The Lock chord is registered, the Open one cleared, and the menus show
  // the new chords at once.
  EXPECT_EQ(hotKeys->Registered.count(kOpenHotKeyId), 0u);
  ASSERT_EQ(hotKeys->Registered.count(kLockHotKeyId), 1u);
  EXPECT_EQ(hotKeys->Registered[kLockHotKeyId], (TFakeHotKeys::TChord{kModControl | kModAlt, 'K'}));
  EXPECT_EQ(main->Lock1->Caption(), "Lock\t\tCtrl+Alt+K");
  EXPECT_EQ(main->Lock2->Caption(), "Lock\t\tCtrl+Alt+K");
  EXPECT_EQ(main->Vaultline1->Caption(), "Vaultline");
}

TEST_F(SettingsFixture, EscCancelsAndKeepsWhatTheUserChanged) {
  ini.Write("\r\nBackupMode=3\r\n");
  const std::string before = ini.Read();
  const int result = RunModal(settings, [&] {
    settings->EditTimeout->SetText("45");
    settings->EditTimeout->SetFocus();
    PostMessageA(settings->EditTimeout->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_TRUE(settings->Cancelled);
  EXPECT_EQ(ini.Read(), before);
  EXPECT_EQ(settings->EditTimeout->Text(), "45");
  EXPECT_TRUE(hotKeys->Calls.empty());
}

TEST_F(SettingsFixture, OkWithATakenLockChordKeepsTheDialogOpenAndTheFileUnchanged) {
  ini.Write("\r\nShortcut=Ctrl+Shift+P\r\nShortcut2=Ctrl+Shift+L\r\n");
  const std::string before = ini.Read();
  hotKeys->Taken.insert({kModControl | kModAlt, 'L'});
  bool stayedOpen = false;
  const int result = RunModal(settings, [&] {
    settings->EditShortcut->SetText("Ctrl+Shift+O");
    settings->EditShortcut2->SetText("Ctrl+Alt+L");
    settings->ButtonOKClick(settings);
    stayedOpen = settings->ModalResult() == mrNone;
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().Caption, "Shortcut conflict");
    EXPECT_EQ(boxes.back().Text, "The lock shortcut is invalid or already in use.");
    EXPECT_TRUE(settings->EditShortcut2->Focused());
    // An invalid Open chord stops before the Lock chord.
    settings->EditShortcut->SetText("Shift+O");
    settings->ButtonOKClick(settings);
    EXPECT_EQ(boxes.back().Text, "The open shortcut is invalid or already in use.");
    EXPECT_TRUE(settings->EditShortcut->Focused());
    settings->ButtonCancelClick(settings);
  });
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(result, mrCancel);
  EXPECT_TRUE(settings->Cancelled);
  EXPECT_EQ(ini.Read(), before);
  // The Open chord of the first OK stays registered.
  ASSERT_EQ(hotKeys->Registered.count(kOpenHotKeyId), 1u);
  EXPECT_EQ(hotKeys->Registered[kOpenHotKeyId], (TFakeHotKeys::TChord{kModControl | kModShift, 'O'}));
  EXPECT_EQ(hotKeys->Registered.count(kLockHotKeyId), 0u);
}

// ---- Cipher pages and the engine --------------------------------------------------------------

TEST(CipherTexts, NamesAndCounts) {
  const std::pair<int, std::string> names[] = {{0, "AES"}, {1, "?"}, {2, "ChaCha20"}, {3, "Twofish"}, {4, "?"},
                                               {5, ""},    {-1, "?"}};
  for (const auto& [code, name] : names) EXPECT_EQ(CipherName(code), name) << code;
  const std::pair<int, std::string> counts[] = {{0, "0"},          {999, "999"},        {1000, "1K"},
                                                {1500, "1500"},    {20000, "20K"},      {200000, "200K"},
                                                {1000000, "1M"},   {1500000, "1500K"},  {123456, "123456"},
                                                {3000000, "3M"}};
  for (const auto& [count, text] : counts) EXPECT_EQ(FormatCount(count), text) << count;
}

TEST_F(SettingsFixture, EveryCascadeReachesTheEngineAndComesBack) {
  const char* texts[10] = {"Twofish",
                           "AES",
                           "ChaCha20",
                           "Twofish+AES",
                           "Twofish+ChaCha20",
                           "ChaCha20+AES",
                           "Twofish+AES+ChaCha20",
                           "Twofish+ChaCha20+AES",
                           "ChaCha20+Twofish+AES",
                           "ChaCha20+AES+Twofish"};
  TQEnc* engine = main->QEnc1;
  for (int i = 0; i < 10; ++i) {
    settings->CurrentVaultButtons()[static_cast<std::size_t>(i)]->SetChecked(true);
    settings->EditIterations->SetText("300000");
    CurrentVaultPageToEngine(engine);
    EXPECT_EQ(DescribeCipherCascade(engine), std::string(texts[i]) + " 300K");
    for (TRadioButton* b : settings->CurrentVaultButtons()) b->SetChecked(false);
    EngineToCurrentVaultPage(engine);
    EXPECT_EQ(CheckedIndex(settings->CurrentVaultButtons()), i + 1);
  }
  // Fast mode shows the fast count.
  settings->CheckFast->SetChecked(true);
  CurrentVaultPageToEngine(engine);
  engine->SetFastIterations(20000);
  EXPECT_EQ(DescribeCipherCascade(engine), "ChaCha20+AES+Twofish 20K");
  EXPECT_EQ(DescribeCipherCascade(nullptr), "");
  // Stages outside the table check nothing and stay as they are.
  engine->SetAlgorithm(qeaAES128CTR);
  engine->SetAlgorithm2(qeaTwofishCTR);
  engine->SetAlgorithm3(qeaNone);
  EngineToCurrentVaultPage(engine);
  EXPECT_EQ(CheckedIndex(settings->CurrentVaultButtons()), 0);
  CurrentVaultPageToEngine(engine);
  EXPECT_EQ(engine->Algorithm(), qeaAES128CTR);
  EXPECT_EQ(engine->Algorithm2(), qeaTwofishCTR);
}

TEST_F(SettingsFixture, IterationEditsFallBackAndFloor) {
  main->QEnc1->SetIterations(300000);
  settings->EditIterations->SetText("abc");
  CurrentVaultPageToEngine(main->QEnc1);
  EXPECT_EQ(main->QEnc1->Iterations(), 300000);
  EXPECT_EQ(settings->EditIterations->Text(), "300000");
  struct Case {
    std::string text;
    int fallback, value;
  } cases[] = {{"1000", 300000, 5000}, {"abc", 300000, 300000}, {"abc", 1000, 5000}, {"-7", 9000, 5000},
               {"250000", 9000, 250000}, {"", 200000, 200000}};
  for (const Case& c : cases) {
    settings->EditIterations2->SetText(c.text);
    EXPECT_EQ(ReadIterationsEdit(settings->EditIterations2, c.fallback), c.value) << c.text;
    EXPECT_EQ(settings->EditIterations2->Text(), IntToStr(c.value)) << c.text;
  }
  // The Defaults page falls back to 200000.
  settings->EditIterations2->SetText("none");
  DefaultsPageToEngine(main->QEnc1);
  EXPECT_EQ(main->QEnc1->Iterations(), 200000);
}

TEST_F(SettingsFixture, SwitchingTheOpenVaultToAnotherCascadeMarksItModified) {
  TQEnc* engine = main->QEnc1;
  DefaultsPageToEngine(engine);  // start-up: cascade 7
  engine->SetIterations(5000);
  main->SessionKey = "session";
  main->Modified = false;
  RunSettings([&] {
    EXPECT_EQ(CheckedIndex(settings->CurrentVaultButtons()), 7);
    EXPECT_EQ(settings->EditIterations->Text(), "5000");
    settings->RadioAlgCAT->SetChecked(true);
    settings->ButtonOKClick(settings);
  });
  EXPECT_TRUE(main->Modified);
  EXPECT_EQ(engine->Algorithm(), qeaChaCha20);
  EXPECT_EQ(engine->Algorithm2(), qeaAES128CTR);
  EXPECT_EQ(engine->Algorithm3(), qeaTwofishCTR);
  EXPECT_EQ(main->QStatus1->PanelText(4), "ChaCha20+AES+Twofish 5K");

  // The next real save writes a version 3 container of those stages, and
  // reading it back gives the same stages.
  TempDir dir;
  const std::string path = dir.File("cascade.qvl");
  main->VaultPath = path;
  AppSeams().Sleep = [](std::uint32_t) {};
  ASSERT_TRUE(main->SaveVault(true));
  EXPECT_FALSE(main->Modified);
  const std::string file = ReadTestFile(path);
  ASSERT_GE(file.size(), 150u);
  const auto* h = reinterpret_cast<const std::uint8_t*>(file.data());
  EXPECT_EQ(file.substr(0, 4), "QVF1");
  EXPECT_EQ(h[4], 3);  // version
  EXPECT_EQ(h[5], 3);  // stages
  EXPECT_EQ(h[6], qeaChaCha20);
  EXPECT_EQ(h[7], qeaAES128CTR);
  EXPECT_EQ(h[8], qeaTwofishCTR);
  EXPECT_EQ(h[10] | (h[11] << 8) | (h[12] << 16) | (h[13] << 24), 5000);
  TQEnc reader(nullptr);
  reader.SetCompatibilityMode(false);  // as the main form's engine
  reader.SetKey("session");
  EXPECT_EQ(reader.DecryptFileToString(path), "\r\n");  // the empty vault
  EXPECT_EQ(reader.LastError(), ErrNone);
  EXPECT_EQ(reader.Algorithm(), qeaChaCha20);
  EXPECT_EQ(reader.Algorithm3(), qeaTwofishCTR);
  ProcessVaultLock().ReleaseHeldLock();
  main->VaultPath.clear();
  main->SessionKey.clear();
}

TEST_F(SettingsFixture, OkWithoutAChangeOrWithOnlyDefaultsLeavesTheOpenVaultAlone) {
  TQEnc* engine = main->QEnc1;
  main->SessionKey = "session";
  struct Case {
    std::string name;
    TQEncAlgorithm a1, a2, a3;
    std::function<void()> edit;
  } cases[] = {
      {"blowfish", qeaBlowfishCTR, qeaNone, qeaNone, [] {}},
      {"aes+twofish", qeaAES128CTR, qeaTwofishCTR, qeaNone, [] {}},
      {"defaults only", qeaTwofishCTR, qeaAES128CTR, qeaChaCha20,
       [this] {
         settings->RadioAlgT2->SetChecked(true);
         settings->EditIterations2->SetText("900000");
         settings->CheckFast2->SetChecked(true);
       }},
  };
  for (const Case& c : cases) {
    engine->SetAlgorithm(c.a1);
    engine->SetAlgorithm2(c.a2);
    engine->SetAlgorithm3(c.a3);
    engine->SetIterations(200000);
    const bool fast = engine->FastMode();
    main->Modified = false;
    RunSettings([&] {
      if (c.a1 == qeaBlowfishCTR || c.a2 == qeaTwofishCTR) {
        EXPECT_EQ(CheckedIndex(settings->CurrentVaultButtons()), 0);
      }
      c.edit();
      settings->ButtonOKClick(settings);
    });
    EXPECT_FALSE(settings->Cancelled) << c.name;
    EXPECT_FALSE(main->Modified) << c.name;
    EXPECT_EQ(engine->Algorithm(), c.a1) << c.name;
    EXPECT_EQ(engine->Algorithm2(), c.a2) << c.name;
    EXPECT_EQ(engine->Algorithm3(), c.a3) << c.name;
    EXPECT_EQ(engine->Iterations(), 200000) << c.name;
    EXPECT_EQ(engine->FastMode(), fast) << c.name;
  }
  main->SessionKey.clear();
}

TEST_F(SettingsFixture, WithoutAVaultOkAppliesTheDefaultsAndCancelAppliesNothing) {
  TQEnc* engine = main->QEnc1;
  main->SessionKey.clear();
  engine->SetAlgorithm(qeaAES128CTR);
  engine->SetAlgorithm2(qeaNone);
  engine->SetAlgorithm3(qeaNone);
  RunSettings([&] {
    settings->RadioAlgTC2->SetChecked(true);
    settings->EditIterations2->SetText("400000");
    settings->ButtonCancelClick(settings);
  });
  EXPECT_EQ(engine->Algorithm(), qeaAES128CTR);
  EXPECT_EQ(engine->Algorithm2(), qeaNone);
  RunSettings([&] { settings->ButtonOKClick(settings); });
  EXPECT_EQ(engine->Algorithm(), qeaTwofishCTR);
  EXPECT_EQ(engine->Algorithm2(), qeaChaCha20);
  EXPECT_EQ(engine->Algorithm3(), qeaNone);
  EXPECT_EQ(engine->Iterations(), 400000);
  EXPECT_EQ(engine->FastIterations(), 20000);
  EXPECT_FALSE(main->Modified);
  // No vault: the status bar names no cascade.
  EXPECT_EQ(main->QStatus1->PanelText(4), "");
}

// ---- An open vault and the Current Vault page -----------------------------------------------

constexpr char kStrong[] = "Correct-Horse-42x";

std::string KeyFor(const std::string& password, int iterations) {
  TQEnc e(nullptr);
  e.SetIterations(iterations);
  return e.DeriveSessionKey(password);
}

// The settings dialog with the password dialog behind it: passwords
// answers each showing of the password dialog in turn (none left: Cancel).
struct VaultSettingsFixture : SettingsFixture {
  TFormPwd* pwd = nullptr;
  TempDir dir;
  std::deque<std::string> passwords;
  std::vector<bool> pwdVerify;  // VerifyMode at each showing
  std::function<void()> insideSettings;
  std::function<void()> duringPassword;  // runs once inside the next password dialog

  void SetUp() override {
    SettingsFixture::SetUp();
    pwd = new TFormPwd(&app);
    AppSeams().Sleep = [](std::uint32_t) {};
    AppSeams().IdleMilliseconds = [] { return std::uint32_t(0); };
    TForm::ModalHook = [this](TForm* f) {
      if (f == pwd) {
        AnswerPassword();
      } else if (f == settings && insideSettings) {
        auto run = std::move(insideSettings);
        insideSettings = nullptr;
        run();
      } else {
        f->SetModalResult(mrCancel);
      }
    };
  }
  void TearDown() override {
    main->Modified = false;
    main->CloseFile(nullptr);
    ProcessVaultLock().ReleaseHeldLock();
    SettingsFixture::TearDown();
  }
  void AnswerPassword() {
    pwdVerify.push_back(pwd->VerifyMode);
    if (duringPassword) {
      auto run = std::move(duringPassword);
      duringPassword = nullptr;
      run();
    }
    if (passwords.empty()) {
      pwd->ButtonCancelClick(pwd);
      return;
    }
    const std::string text = passwords.front();
    passwords.pop_front();
    pwd->EditPwd->SetText(text);
    pwd->EditPwd2->SetText(text);
    pwd->Cancelled = false;
    pwd->SetModalResult(mrOk);
  }
  // Settings1Click; hook runs inside the settings dialog.
  void Settings(std::function<void()> hook) {
    insideSettings = std::move(hook);
    main->Settings1Click(main);
  }
  // OK on the settings dialog with the Current Vault page's count set.
  void SetVaultIterations(const std::string& count) {
    Settings([&] {
      settings->EditIterations->SetText(count);
      settings->ButtonOKClick(settings);
    });
  }
  // The start-up work as far as the engine goes: the Defaults page comes
  // in, and no key of an earlier run is known.
  void Restart(int defaults) {
    main->CloseFile(nullptr);
    main->SessionKeyIterations = 0;
    settings->EditIterations2->SetText(IntToStr(defaults));
    DefaultsPageToEngine(main->QEnc1);
  }
  // A new vault at the count 6000, saved as name in the test folder; its
  // path.
  std::string SavedNewVault(const std::string& name) {
    settings->EditIterations2->SetText("6000");
    DefaultsPageToEngine(main->QEnc1);
    passwords.push_back(kStrong);
    main->NewFile(nullptr);
    const std::string path = dir.File(name);
    main->VaultPath = path;
    EXPECT_TRUE(main->SaveVault(true));
    return path;
  }
  int HeaderCount(const std::string& path) const {
    const std::string file = ReadTestFile(path);
    if (file.size() < 14) return -1;
    const auto* h = reinterpret_cast<const std::uint8_t*>(file.data());
    return h[10] | (h[11] << 8) | (h[12] << 16) | (h[13] << 24);
  }
};

// The count the vault's key is made with is nowhere in the file but its
// header: a vault whose count changes is keyed again at the new count, so
// that it opens after a restart whatever the Defaults then say.
TEST_F(VaultSettingsFixture, AVaultWhoseCountChangedOpensAfterARestartWithOtherDefaults) {
  settings->EditIterations2->SetText("30000");
  DefaultsPageToEngine(main->QEnc1);
  passwords.push_back(kStrong);
  main->NewFile(nullptr);
  ASSERT_EQ(main->SessionKey, KeyFor(kStrong, 30000));
  pwdVerify.clear();

  passwords.push_back(kStrong);
  SetVaultIterations("40000");
  EXPECT_EQ(pwdVerify, std::vector<bool>{true});  // the master password, asked once
  EXPECT_TRUE(passwords.empty());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(main->QEnc1->Iterations(), 40000);
  EXPECT_EQ(main->SessionKey, KeyFor(kStrong, 40000));
  EXPECT_EQ(main->SessionKeyIterations, 40000);
  EXPECT_TRUE(main->Modified);

  const std::string path = dir.File("counted.qvl");
  main->VaultPath = path;
  ASSERT_TRUE(main->SaveVault(true));
  EXPECT_EQ(HeaderCount(path), 40000);

  Restart(25000);
  passwords.push_back(kStrong);
  EXPECT_TRUE(main->OpenVault(path, false));
  EXPECT_TRUE(boxes.empty()) << boxes.front().Text;
  EXPECT_EQ(main->SessionKey, KeyFor(kStrong, 40000));
  EXPECT_EQ(main->QEnc1->Iterations(), 40000);
}

// The count goes back when the password is not given or is not the
// vault's; what else the page changed still applies.
TEST_F(VaultSettingsFixture, WithoutTheRightPasswordTheCountGoesBackAndTheKeyStays) {
  struct Case {
    std::string name;
    std::vector<std::string> answers;  // none: Cancel
    bool cascadeToo;
    bool wrongBox;
    int prompts;
  } cases[] = {
      {"cancel", {}, false, false, 1},
      {"wrong", {"Wrong-Horse-42x"}, false, true, 1},
      {"empty asks again", {"", "Wrong-Horse-42x"}, false, true, 2},
      {"cancel with a new cascade", {}, true, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    main->Modified = false;
    main->CloseFile(nullptr);
    settings->EditIterations2->SetText("6000");
    DefaultsPageToEngine(main->QEnc1);
    passwords.assign({kStrong});
    main->NewFile(nullptr);
    ASSERT_EQ(main->SessionKey, KeyFor(kStrong, 6000));
    pwdVerify.clear();
    boxes.clear();
    passwords.assign(c.answers.begin(), c.answers.end());
    Settings([&] {
      settings->EditIterations->SetText("7000");
      if (c.cascadeToo) settings->RadioAlgCAT->SetChecked(true);
      settings->ButtonOKClick(settings);
    });
    EXPECT_EQ(pwdVerify.size(), static_cast<std::size_t>(c.prompts));
    if (c.wrongBox) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].Caption, "Open error");
      EXPECT_EQ(boxes[0].Text, "The password is incorrect.");
    } else {
      EXPECT_TRUE(boxes.empty());
    }
    EXPECT_EQ(main->QEnc1->Iterations(), 6000);
    EXPECT_EQ(settings->EditIterations->Text(), "6000");
    EXPECT_EQ(main->SessionKey, KeyFor(kStrong, 6000));
    EXPECT_EQ(main->SessionKeyIterations, 6000);
    EXPECT_EQ(main->Modified, c.cascadeToo);
    EXPECT_EQ(main->QEnc1->Algorithm(), c.cascadeToo ? qeaChaCha20 : qeaTwofishCTR);
    EXPECT_EQ(main->QStatus1->PanelText(4), c.cascadeToo ? "ChaCha20+AES+Twofish 6K" : "Twofish+AES+ChaCha20 6K");
  }
}

TEST_F(VaultSettingsFixture, OnlyACountOtherThanTheKeysAsksForThePassword) {
  settings->EditIterations2->SetText("6000");
  DefaultsPageToEngine(main->QEnc1);
  passwords.push_back(kStrong);
  main->NewFile(nullptr);
  pwdVerify.clear();
  // The same count, a cascade change: no question.
  Settings([&] {
    settings->RadioAlgTA->SetChecked(true);
    settings->ButtonOKClick(settings);
  });
  EXPECT_TRUE(pwdVerify.empty());
  EXPECT_TRUE(main->Modified);
  // An engine whose count is not the key's (a vault found through another
  // count): setting the key's count needs no new key.
  main->Modified = false;
  main->QEnc1->SetIterations(9000);
  SetVaultIterations("6000");
  EXPECT_TRUE(pwdVerify.empty());
  EXPECT_EQ(main->QEnc1->Iterations(), 6000);
  EXPECT_EQ(main->SessionKey, KeyFor(kStrong, 6000));
  EXPECT_TRUE(main->Modified);
  // A read-only vault is keyed again too: Save As writes its count.
  main->Modified = false;
  main->ReadOnly = true;
  passwords.push_back(kStrong);
  SetVaultIterations("8000");
  EXPECT_EQ(pwdVerify.size(), 1u);
  EXPECT_EQ(main->SessionKey, KeyFor(kStrong, 8000));
  EXPECT_EQ(main->SessionKeyIterations, 8000);
  EXPECT_FALSE(main->Modified);
  main->ReadOnly = false;
}

// Making the key again at a count that takes minutes runs with the bar
// moving, and Esc ends it as it ends an open: at once and without a message.
// The vault keeps its key and its count, which the dialog shows again, is
// not marked modified, and its file is not written.
TEST_F(VaultSettingsFixture, EscWhileTheKeyIsMadeAgainKeepsTheKeyAndTheCount) {
  const std::string path = SavedNewVault("kept.qvl");
  const std::string before = ReadTestFile(path);
  const std::string keyBefore = main->SessionKey;
  ASSERT_FALSE(main->Modified);
  pwdVerify.clear();
  boxes.clear();

  // Only reports of the new key count: the check of the password with the
  // key in use moves the bar up to half, the new key from there.
  std::vector<int> bar;
  TEscDuringWait esc;
  esc.counts = [&] {
    bar.push_back(main->Progress->Position());
    return main->Progress->Position() >= 50;
  };
  esc.Install(main->Handle());
  passwords.push_back(kStrong);
  SetVaultIterations("2000000000");
  const double seconds = esc.SecondsSincePress();
  AppSeams().DuringEngineWait = nullptr;
  std::printf("Esc while keying again at 2,000,000,000: the command ended %.3f s after the key press\n", seconds);
  EXPECT_EQ(pwdVerify, std::vector<bool>{true});
  EXPECT_GE(esc.reports, 3);
  EXPECT_LT(seconds, kFarFromMinutes);
  ASSERT_FALSE(bar.empty());
  EXPECT_LT(bar.front(), 50);
  EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
  EXPECT_TRUE(boxes.empty()) << boxes.front().Text;
  EXPECT_EQ(main->SessionKey, keyBefore);
  EXPECT_EQ(main->SessionKeyIterations, 6000);
  EXPECT_EQ(main->QEnc1->Iterations(), 6000);
  EXPECT_EQ(settings->EditIterations->Text(), "6000");
  EXPECT_FALSE(main->Modified);
  EXPECT_FALSE(main->Progress->Visible());
  EXPECT_EQ(main->EngineWaitDepth, 0);
  EXPECT_EQ(main->QStatus1->PanelText(4), "Twofish+AES+ChaCha20 6K");
  EXPECT_EQ(ReadTestFile(path), before);
  EXPECT_FALSE(PathExists(path + ".tmp"));
  // The next save writes the count of the key it had.
  main->Changed(nullptr);
  ASSERT_TRUE(main->SaveVault(true));
  EXPECT_EQ(HeaderCount(path), 6000);
}

// A lock while the password is asked: the locked window gets no key, and
// the vault unlocks as its file says.
TEST_F(VaultSettingsFixture, ALockDuringTheQuestionLeavesTheVaultAsItsFileSays) {
  const std::string path = SavedNewVault("locked.qvl");
  const std::string before = ReadTestFile(path);
  pwdVerify.clear();

  duringPassword = [this] { EXPECT_TRUE(main->LockVault(false)); };
  passwords.assign({kStrong, kStrong});  // the question, then the unlock prompt
  SetVaultIterations("7000");
  EXPECT_EQ(pwdVerify.size(), 2u);
  EXPECT_TRUE(boxes.empty()) << boxes.front().Text;
  EXPECT_FALSE(main->Locked);
  EXPECT_FALSE(main->Modified);
  EXPECT_EQ(main->SessionKey, KeyFor(kStrong, 6000));
  EXPECT_EQ(main->SessionKeyIterations, 6000);
  EXPECT_EQ(main->QEnc1->Iterations(), 6000);
  EXPECT_EQ(ReadTestFile(path), before);
}

// A vault file of one Blowfish stage, as older writers made them: the
// dialog shows no cascade, OK changes nothing, and a save keeps the stage.
TEST_F(VaultSettingsFixture, ABlowfishVaultKeepsItsCipherThroughTheDialog) {
  settings->EditIterations2->SetText("6000");
  DefaultsPageToEngine(main->QEnc1);
  const std::string path = dir.File("blowfish.qvl");
  {
    TQEnc e(nullptr);
    e.SetCompatibilityMode(false);  // as the main form's engine
    e.SetAlgorithm(qeaBlowfishCTR);
    e.SetAlgorithm2(qeaNone);
    e.SetAlgorithm3(qeaNone);
    e.SetIterations(6000);
    e.SetUseFileNameInKey(false);
    e.SetKey(KeyFor(kStrong, 6000));
    ASSERT_TRUE(e.EncryptStringToFile("\r\n", path, ""));
  }
  const std::string written = ReadTestFile(path);
  ASSERT_GE(written.size(), 6u);
  ASSERT_EQ(written[4], 2);  // one stage: the version 2 header
  ASSERT_EQ(written[5], qeaBlowfishCTR);

  passwords.push_back(kStrong);
  ASSERT_TRUE(main->OpenVault(path, false));
  ASSERT_EQ(main->QEnc1->Algorithm(), qeaBlowfishCTR);
  Settings([&] {
    EXPECT_EQ(CheckedIndex(settings->CurrentVaultButtons()), 0);
    settings->ButtonOKClick(settings);
  });
  EXPECT_FALSE(settings->Cancelled);
  EXPECT_FALSE(main->Modified);
  EXPECT_EQ(main->QEnc1->Algorithm(), qeaBlowfishCTR);
  EXPECT_EQ(main->QEnc1->Algorithm2(), qeaNone);
  EXPECT_EQ(main->QEnc1->Algorithm3(), qeaNone);

  main->Changed(nullptr);
  ASSERT_TRUE(main->SaveVault(true));
  const std::string saved = ReadTestFile(path);
  ASSERT_GE(saved.size(), 6u);
  EXPECT_EQ(saved.substr(0, 4), "QVF1");
  EXPECT_EQ(saved[4], 2);
  EXPECT_EQ(saved[5], qeaBlowfishCTR);
  TQEnc reader(nullptr);
  reader.SetCompatibilityMode(false);  // as the main form's engine
  reader.SetKey(KeyFor(kStrong, 6000));
  EXPECT_EQ(reader.DecryptFileToString(path), "\r\n");
  EXPECT_EQ(reader.LastError(), ErrNone);
}

// ---- Layout ------------------------------------------------------------------------------------

BOOL CALLBACK FindTimeoutLabel(HWND w, LPARAM p) {
  char text[64] = {};
  GetWindowTextA(w, text, sizeof text);
  if (std::string(text).rfind("Timeout :", 0) != 0) return TRUE;
  *reinterpret_cast<HWND*>(p) = w;
  return FALSE;
}

// The timeout edit stands in the blanks of its label "Timeout :   ...   Min"
// and covers neither word, in the font the label is drawn with.
TEST_F(SettingsFixture, TimeoutEditLeavesItsLabelsWordsVisible) {
  HWND label = nullptr;
  EnumChildWindows(settings->Handle(), FindTimeoutLabel, reinterpret_cast<LPARAM>(&label));
  ASSERT_NE(label, nullptr);
  char text[64] = {};
  GetWindowTextA(label, text, sizeof text);
  const std::string caption = text;
  ASSERT_EQ(caption, "Timeout :                        Min");
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
  auto width = [&](const std::string& t) {
    RECT r{0, 0, 1000, 100};
    DrawTextA(dc, t.c_str(), static_cast<int>(t.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return static_cast<int>(r.right);
  };
  const int wordEnd = width("Timeout :");
  const int minStart = width(caption.substr(0, caption.find("Min")));
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  RECT l{}, e{};
  GetWindowRect(label, &l);
  GetWindowRect(settings->EditTimeout->Handle(), &e);
  EXPECT_GE(e.left, l.left + wordEnd) << "covers \"Timeout :\"";
  EXPECT_LE(e.right, l.left + minStart) << "covers \"Min\"";
  EXPECT_GE(e.right - e.left, 30) << "too narrow for the minutes";
}

// ---- Screenshots ----------------------------------------------------------------------------

TEST_F(SettingsFixture, ScreenshotOfEachPage) {
  DefaultsPageToEngine(main->QEnc1);
  EngineToCurrentVaultPage(main->QEnc1);
  settings->FormShow(settings);
  settings->Show();
  // Give the new window time to appear before the first picture.
  for (int i = 0; i < 20; ++i) {
    app.ProcessMessages();
    Sleep(20);
  }
  const std::pair<TTabSheet*, const char*> pages[] = {{settings->TabCurrent, "settings-current-vault"},
                                                      {settings->TabGeneral, "settings-general"},
                                                      {settings->TabDefaults, "settings-defaults"}};
  for (const auto& [page, name] : pages) {
    settings->PageControl1->SetActivePage(page);
    EXPECT_TRUE(page->Visible());
    app.ProcessMessages();
    EXPECT_FALSE(harness::SaveScreenshot(settings->Handle(), name).empty()) << name;
  }
  settings->Hide();
}

}  // namespace
