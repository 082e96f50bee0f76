// The real program under Wine: start-up with a prepared settings file, one
// instance per session with the hand-over of a vault path from a second
// start (real mutex, window class and WM_COPYDATA between two processes),
// closing, and a screenshot of the main window.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "app/tests/Harness.h"

using namespace harness;

namespace {

constexpr DWORD kStartTimeout = 30000;

// The settings of a visible window with no vault: no last file, not
// minimised.
const std::vector<std::string> kShownIni = {"CheckBoxLastFile=0", "CheckBoxMinimized=0"};

void TouchFile(const std::string& path) { std::ofstream(path, std::ios::binary) << "x"; }

TEST(Program, StartsShownWithoutVaultClosesToTheTrayAndExitsWithCodeZero) {
  TProgramFolder folder(kShownIni);
  const int p = folder.Start();
  ASSERT_GE(p, 0);
  HWND wnd = FindProcessWindow(folder.Pid(p), "TFormMain", kStartTimeout);
  ASSERT_NE(wnd, nullptr) << "no TFormMain window";
  EXPECT_TRUE(WaitFor([&] { return Visible(wnd) && WindowText(wnd) == "Untitled - Vaultline"; }, 10000))
      << WindowText(wnd);
  // The start-up work is done once and the window stays.
  Sleep(600);
  EXPECT_TRUE(Visible(wnd));
  // Closing hides the window in the tray; only Exit ends the program.
  PostMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !Visible(wnd); }, 10000));
  EXPECT_TRUE(folder.Running(p));
  ASSERT_TRUE(ExitProgram(wnd));
  EXPECT_EQ(folder.WaitExit(p, kStartTimeout), 0);
}

TEST(Program, DefaultsStartHiddenInTheTrayWithTheLastVaultLocked) {
  // No start options in the file: both are on by default.
  TProgramFolder folder({});
  const std::string vault = folder.File("Mail.qvl");
  TouchFile(vault);
  {
    std::ofstream ini(folder.File("Vaultline.ini"), std::ios::binary | std::ios::app);
    ini << "LastOpenedFile=" << vault << "\r\n";
  }
  const int p = folder.Start();
  HWND wnd = FindProcessWindow(folder.Pid(p), "TFormMain", kStartTimeout);
  ASSERT_NE(wnd, nullptr);
  EXPECT_TRUE(WaitFor([&] { return WindowText(wnd) == "[Locked] Mail.qvl - Vaultline"; }, 10000)) << WindowText(wnd);
  EXPECT_TRUE(WaitFor([&] { return !Visible(wnd); }, 10000));

  // A second start without arguments brings the window forward and asks
  // to unlock: the file is no vault, so the running instance asks whether
  // to open it as plain text. No keeps the vault locked, back in the tray,
  // and the second start ends.
  const int second = folder.Start();
  HWND box = FindMessageBox(folder.Pid(p), "Unencrypted Vaultline file", kStartTimeout);
  ASSERT_NE(box, nullptr) << "no unlock in the running instance";
  EXPECT_TRUE(Visible(wnd));
  EXPECT_TRUE(folder.Running(second));
  PressMessageBoxButton(box, IDNO);
  EXPECT_EQ(folder.WaitExit(second, kStartTimeout), 0);
  EXPECT_TRUE(WaitFor([&] { return !Visible(wnd); }, 5000));
  EXPECT_EQ(WindowText(wnd), "[Locked] Mail.qvl - Vaultline");
  EXPECT_TRUE(folder.Running(p));
}

TEST(Program, SecondStartWithAnotherPathWhileLockedKeepsTheOldVaultLocked) {
  TProgramFolder folder({"CheckBoxLastFile=1", "CheckBoxMinimized=1"});
  const std::string vault = folder.File("Mail.qvl");
  TouchFile(vault);
  {
    std::ofstream ini(folder.File("Vaultline.ini"), std::ios::binary | std::ios::app);
    ini << "LastOpenedFile=" << vault << "\r\n";
  }
  const int p = folder.Start();
  HWND wnd = FindProcessWindow(folder.Pid(p), "TFormMain", kStartTimeout);
  ASSERT_NE(wnd, nullptr);
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "[Locked] Mail.qvl - Vaultline" && !Visible(wnd); }, 10000));

  // The other vault does not exist: the running instance says so, and the
  // locked vault stays remembered and locked, hidden in the tray.
  const int second = folder.Start("\"" + folder.File("Other.qvl") + "\"");
  HWND box = FindMessageBox(folder.Pid(p), "Open error", kStartTimeout);
  ASSERT_NE(box, nullptr) << "no Open error message in the running instance";
  EXPECT_EQ(MessageBoxText(box), "The selected file does not exist.");
  // The second start waits for the running instance's answer.
  EXPECT_TRUE(folder.Running(second));
  PressMessageBoxButton(box, IDOK);
  EXPECT_EQ(folder.WaitExit(second, kStartTimeout), 0);
  EXPECT_TRUE(WaitFor([&] { return !Visible(wnd); }, 5000));
  EXPECT_EQ(WindowText(wnd), "[Locked] Mail.qvl - Vaultline");
}

// At start the Open and Lock chords of the settings file are registered,
// and so are the remembered entry chords of the vault that starts locked:
// another program cannot take them, and the Open chord shows the window.
TEST(Program, StartUpRegistersTheGlobalAndTheRememberedHotKeys) {
  TProgramFolder folder({"CheckBoxLastFile=1", "CheckBoxMinimized=1", "Shortcut=Ctrl+Alt+F9",
                         "Shortcut2=Ctrl+Alt+F10"});
  const std::string vault = folder.File("Mail.qvl");
  TouchFile(vault);
  {
    std::ofstream ini(folder.File("Vaultline.ini"), std::ios::binary | std::ios::app);
    ini << "LastOpenedFile=" << vault << "\r\n"
        << "LastEntryShortcuts=3=Ctrl+Alt+J|7=Shift+Ctrl+F11\r\n";
  }
  const int p = folder.Start();
  HWND wnd = FindProcessWindow(folder.Pid(p), "TFormMain", kStartTimeout);
  ASSERT_NE(wnd, nullptr);
  ASSERT_TRUE(WaitFor([&] { return WindowText(wnd) == "[Locked] Mail.qvl - Vaultline" && !Visible(wnd); }, 10000));

  struct TChord {
    UINT modifiers;
    UINT key;
    bool taken;
  } const chords[] = {
      {MOD_CONTROL | MOD_ALT, VK_F9, true},
      {MOD_CONTROL | MOD_ALT, VK_F10, true},
      {MOD_CONTROL | MOD_ALT, 'J', true},
      {MOD_CONTROL | MOD_SHIFT, VK_F11, true},
      {MOD_CONTROL | MOD_ALT, VK_F8, false},
  };
  for (const TChord& c : chords) {
    SCOPED_TRACE(c.key);
    const BOOL registered = RegisterHotKey(nullptr, 0x7000, c.modifiers, c.key);
    EXPECT_EQ(registered == FALSE, c.taken);
    if (registered) UnregisterHotKey(nullptr, 0x7000);
  }

  for (BYTE vk : {BYTE{VK_CONTROL}, BYTE{VK_MENU}, BYTE{VK_F9}})
    keybd_event(vk, static_cast<BYTE>(MapVirtualKeyA(vk, 0)), 0, 0);
  for (BYTE vk : {BYTE{VK_F9}, BYTE{VK_MENU}, BYTE{VK_CONTROL}})
    keybd_event(vk, static_cast<BYTE>(MapVirtualKeyA(vk, 0)), KEYEVENTF_KEYUP, 0);
  EXPECT_TRUE(WaitFor([&] { return Visible(wnd); }, 10000));
}

TEST(Program, SecondStartMakesARelativePathAbsoluteInItsOwnFolder) {
  TProgramFolder folder(kShownIni);
  const std::string sub = folder.File("sub");
  CreateDirectoryA(sub.c_str(), nullptr);
  TouchFile(sub + "\\notes.txt");
  const int p = folder.Start();
  HWND wnd = FindProcessWindow(folder.Pid(p), "TFormMain", kStartTimeout);
  ASSERT_NE(wnd, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Visible(wnd); }, 10000));

  // "notes.txt" exists only in the second start's working folder: the
  // running instance finds the file (and refuses it for its extension)
  // only when the path arrived made absolute.
  const int second = folder.Start("  notes.txt  ", sub);
  HWND box = FindMessageBox(folder.Pid(p), "Invalid file type", kStartTimeout);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Only .qvl files are supported.");
  PressMessageBoxButton(box, IDOK);
  EXPECT_EQ(folder.WaitExit(second, kStartTimeout), 0);
  EXPECT_EQ(WindowText(wnd), "Untitled - Vaultline");
}

// A shown popup menu of the process, or null.
HWND ShownPopupMenu(DWORD pid) {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
       w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

// The width of the File menu of the program started with that Lock
// shortcut in its settings file; 0 when the menu does not open. Another
// process cannot read the program's menus under Wine, but the width tells
// whether the Lock item shows a chord: "Ctrl+Shift+L" is the widest.
int FileMenuWidth(const std::string& lockShortcut, const std::string& screenshot) {
  std::vector<std::string> ini = kShownIni;
  ini.push_back("Shortcut2=" + lockShortcut);
  TProgramFolder folder(ini);
  const int p = folder.Start();
  const DWORD pid = folder.Pid(p);
  HWND wnd = FindProcessWindow(pid, "TFormMain", kStartTimeout);
  if (!wnd || !WaitFor([&] { return Visible(wnd); }, 10000)) {
    ADD_FAILURE() << "no main window";
    return 0;
  }
  // The start-up work (the captions among it) is done.
  Sleep(1000);
  SetForegroundWindow(wnd);
  PostMessageA(wnd, WM_SYSCOMMAND, SC_KEYMENU, 'f');
  HWND menu = nullptr;
  if (!WaitFor([&] { return (menu = ShownPopupMenu(pid)) != nullptr; }, kStartTimeout)) return 0;
  RECT r{};
  GetWindowRect(menu, &r);
  if (!screenshot.empty()) SaveScreenshot(wnd, screenshot);
  PostMessageA(wnd, WM_CANCELMODE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return ShownPopupMenu(pid) == nullptr; }, 10000));
  EXPECT_TRUE(ExitProgram(wnd));
  EXPECT_EQ(folder.WaitExit(p, kStartTimeout), 0);
  return static_cast<int>(r.right - r.left);
}

// A Lock shortcut in the settings file that is no shortcut, however long,
// shows no chord in the menus: a megabyte of text leaves the File menu
// opening as usual and as wide as with no shortcut at all.
TEST(Program, ALockShortcutThatIsNoneShowsNoChordAndTheFileMenuOpens) {
  const int none = FileMenuWidth("", "");
  const int chord = FileMenuWidth("Ctrl+Shift+L", "");
  const int megabyte = FileMenuWidth(std::string(1 << 20, 'L'), "file-menu-lock-shortcut-of-a-megabyte");
  ASSERT_GT(none, 0) << "the File menu did not open";
  EXPECT_GT(chord, none);
  EXPECT_EQ(megabyte, none) << (megabyte == 0 ? "the File menu did not open" : "a chord is shown");
}

TEST(Program, MainWindowScreenshot) {
  TProgramFolder folder(kShownIni);
  const int p = folder.Start();
  HWND wnd = FindProcessWindow(folder.Pid(p), "TFormMain", kStartTimeout);
  ASSERT_NE(wnd, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Visible(wnd); }, 10000));
  // Clear of the notification area's stand-in at the top left of the screen.
  SetWindowPos(wnd, nullptr, 180, 60, 960, 640, SWP_NOZORDER);
  const std::string png = SaveScreenshot(wnd, "main-window");
  ASSERT_FALSE(png.empty());
  std::ifstream f(png, std::ios::binary);
  char magic[8] = {};
  f.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}

}  // namespace
