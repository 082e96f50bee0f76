// Locking, the tray and the file association in the real program under
// Wine. Wine raises no session or power notifications itself: the tests
// send WM_WTSSESSION_CHANGE and WM_POWERBROADCAST to the main window as
// Windows would.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/FileAssociation.h"
#include "app/model/VaultText.h"
#include "app/tests/Harness.h"
#include "engine/QEnc.h"

using namespace harness;

namespace {

constexpr DWORD kTimeout = 30000;
constexpr char kPassword[] = "Correct-Horse-42x";
// Key derivation stays quick: the Defaults page's count, and the vault's.
const std::vector<std::string> kIni = {"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Iterations=5000"};

std::string SampleText() {
  TVaultModel model;
  TVaultGroup* mail = model.Groups.Add(nullptr, "Mail", 2);
  model.Groups.Add(nullptr, "Bank", 3);
  auto e = std::make_unique<TVaultEntry>();
  e->id = 1;
  e->group = mail;
  e->title = "Gmail";
  e->username = "alice";
  e->password = "s3cret!";
  model.Entries.push_back(std::move(e));
  return BuildVaultText(model);
}

// The number of groups the main window's tree shows.
int TreeCount(HWND wnd) {
  HWND tree = FindWindowExA(wnd, nullptr, WC_TREEVIEWA, nullptr);
  return tree ? static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0)) : -1;
}

// Answers a message box of the program and checks its caption.
bool Answer(DWORD pid, const std::string& caption, int button) {
  HWND box = FindMessageBox(pid, caption, kTimeout);
  if (!box) return false;
  PressMessageBoxButton(box, button);
  return WaitFor([&] { return !IsWindow(box) || !Visible(box); }, kTimeout);
}

TEST(LockProgram, WindowsLockLocksTheOpenVaultAndTheSecondStartUnlocksIt) {
  TProgramFolder folder(kIni);
  const std::string vault = folder.File("Mail.qvl");
  ASSERT_TRUE(WriteProgramVault(vault, SampleText(), kPassword));
  TOpenedVault opened;
  ASSERT_TRUE(StartOnVault(folder, vault, kPassword, opened)) << WindowText(opened.Window);
  const DWORD pid = opened.Pid;
  HWND wnd = opened.Window;
  EXPECT_EQ(TreeCount(wnd), 2);

  // A suspension query is granted; the standby option then locks.
  EXPECT_EQ(SendMessageA(wnd, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0), 0);
  EXPECT_EQ(WindowText(wnd), "[Locked] Mail.qvl - Vaultline");
  EXPECT_FALSE(Visible(wnd));
  EXPECT_EQ(TreeCount(wnd), 0);
  EXPECT_EQ(SendMessageA(wnd, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), 1);
  EXPECT_EQ(SendMessageA(wnd, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0), 0);
  EXPECT_FALSE(Visible(wnd));

  // A second start brings the window back with the unlock prompt: a wrong
  // password is refused and asked again, the right one opens the vault.
  const int second = folder.Start();
  ASSERT_TRUE(AnswerPassword(pid, "not the password", 1));
  HWND box = FindMessageBox(pid, "Open error", kTimeout);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "The password is incorrect.");
  PressMessageBoxButton(box, IDOK);
  ASSERT_TRUE(AnswerPassword(pid, kPassword, 1));
  EXPECT_EQ(folder.WaitExit(second, kTimeout), 0);
  EXPECT_TRUE(WaitFor([&] { return WindowText(wnd) == "Mail.qvl - Vaultline"; }, kTimeout)) << WindowText(wnd);
  EXPECT_TRUE(Visible(wnd));
  EXPECT_EQ(TreeCount(wnd), 2);

  ASSERT_TRUE(ExitProgram(wnd));
  EXPECT_EQ(folder.WaitExit(opened.Index, kTimeout), 0);
}

// Exit, then Cancel at the save question: the program stays, and a later
// minimise hides it in the tray instead of ending it.
TEST(LockProgram, ARefusedExitLeavesCloseAndMinimiseHidingToTheTray) {
  TProgramFolder folder(kIni);
  const std::string vault = folder.File("Mail.qvl");
  std::ofstream(vault, std::ios::binary) << SampleText();
  const int p = folder.Start("\"" + vault + "\"");
  ASSERT_GE(p, 0);
  const DWORD pid = folder.Pid(p);
  HWND wnd = FindProcessWindow(pid, "TFormMain", kTimeout);
  ASSERT_NE(wnd, nullptr);
  // A plain vault text opens modified under a new master password.
  ASSERT_TRUE(Answer(pid, "Unencrypted Vaultline file", IDYES));
  ASSERT_TRUE(AnswerPassword(pid, kPassword, 2));
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "*Mail.qvl - Vaultline"; }, kTimeout)) << WindowText(wnd);

  ASSERT_TRUE(ExitProgram(wnd));
  ASSERT_TRUE(Answer(pid, "Save changes?", IDCANCEL));
  Sleep(300);
  EXPECT_TRUE(folder.Running(p));
  EXPECT_TRUE(Visible(wnd));

  PostMessageA(wnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(Answer(pid, "Save changes?", IDNO));
  EXPECT_TRUE(WaitFor([&] { return !Visible(wnd); }, kTimeout));
  Sleep(300);
  EXPECT_TRUE(folder.Running(p));
  EXPECT_FALSE(IsIconic(wnd));

  ASSERT_TRUE(ExitProgram(wnd));
  ASSERT_TRUE(Answer(pid, "Save changes?", IDNO));
  EXPECT_EQ(folder.WaitExit(p, kTimeout), 0);
}

// ---- File association (in a Wine prefix of its own) ------------------------------------

// A default value under HKEY_CURRENT_USER, with the size the registry holds.
bool ReadDefault(const std::string& subKey, std::string& value, DWORD& size) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  char buf[2048] = {};
  size = sizeof buf - 1;
  DWORD type = 0;
  const bool ok = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
                  type == REG_SZ;
  RegCloseKey(key);
  value = buf;
  return ok;
}

bool KeyExists(const std::string& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Removes what the association writes, and checks that no key is left
// behind.
struct AssociationCleanup {
  ~AssociationCleanup() {
    for (const char* key : {"Software\\Classes\\.qvl", "Software\\Classes\\Quorvane Vaultline", "Software\\Classes\\qvl"}) {
      RegDeleteTreeA(HKEY_CURRENT_USER, key);
      EXPECT_FALSE(KeyExists(key)) << key;
    }
  }
};

bool SkipOutsideOwnPrefix() { return std::getenv("VL_ASSOCIATION_PREFIX") == nullptr; }

TEST(FileAssociation, WritesTheThreeDefaultValuesAndRefusesAnExtensionWithoutADot) {
  if (SkipOutsideOwnPrefix()) GTEST_SKIP() << "runs as app_association_tests in a prefix of its own";
  AssociationCleanup cleanup;
  EXPECT_EQ(FileAssociationCommand("C:\\Program Files\\Vaultline.exe"), "\"C:\\Program Files\\Vaultline.exe\" \"%1\"");
  EXPECT_FALSE(RegisterFileAssociation("qvl", "Quorvane Vaultline", "Vaultline File", "C:\\x.exe"));
  EXPECT_FALSE(RegisterFileAssociation("", "Quorvane Vaultline", "Vaultline File", "C:\\x.exe"));
  EXPECT_FALSE(KeyExists("Software\\Classes\\qvl"));
  EXPECT_FALSE(KeyExists("Software\\Classes\\Quorvane Vaultline"));

  ASSERT_TRUE(RegisterFileAssociation(".qvl", "Quorvane Vaultline", "Vaultline File", "C:\\Apps\\Vaultline.exe"));
  std::string value;
  DWORD size = 0;
  ASSERT_TRUE(ReadDefault("Software\\Classes\\.qvl", value, size));
  EXPECT_EQ(value, "Quorvane Vaultline");
  EXPECT_EQ(size, value.size() + 1);  // the terminating zero is stored
  ASSERT_TRUE(ReadDefault("Software\\Classes\\Quorvane Vaultline", value, size));
  EXPECT_EQ(value, "Vaultline File");
  ASSERT_TRUE(ReadDefault("Software\\Classes\\Quorvane Vaultline\\shell\\open\\command", value, size));
  EXPECT_EQ(value, "\"C:\\Apps\\Vaultline.exe\" \"%1\"");
  EXPECT_EQ(size, value.size() + 1);
}

TEST(FileAssociation, EveryStartPointsTheOpenCommandAtTheRunningProgram) {
  if (SkipOutsideOwnPrefix()) GTEST_SKIP() << "runs as app_association_tests in a prefix of its own";
  AssociationCleanup cleanup;
  const std::string commandKey = "Software\\Classes\\Quorvane Vaultline\\shell\\open\\command";
  // Two copies of the program in two folders: the one started last is the
  // one the shell opens vaults with.
  for (int round = 0; round < 2; ++round) {
    TProgramFolder folder(kIni);
    const int p = folder.Start();
    ASSERT_GE(p, 0);
    HWND wnd = FindProcessWindow(folder.Pid(p), "TFormMain", kTimeout);
    ASSERT_NE(wnd, nullptr);
    const std::string expected = "\"" + folder.Exe() + "\" \"%1\"";
    std::string value;
    DWORD size = 0;
    EXPECT_TRUE(WaitFor([&] { return ReadDefault(commandKey, value, size) && lstrcmpiA(value.c_str(), expected.c_str()) == 0; },
                        kTimeout))
        << value << " instead of " << expected;
    ASSERT_TRUE(ReadDefault("Software\\Classes\\.qvl", value, size));
    EXPECT_EQ(value, "Quorvane Vaultline");
    ASSERT_TRUE(ReadDefault("Software\\Classes\\Quorvane Vaultline", value, size));
    EXPECT_EQ(value, "Vaultline File");
    ASSERT_TRUE(ExitProgram(wnd));
    EXPECT_EQ(folder.WaitExit(p, kTimeout), 0);
  }
}

}  // namespace
