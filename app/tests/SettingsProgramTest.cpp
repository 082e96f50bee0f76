// The real program under Wine: the Defaults of the settings file reach the
// engine at start-up, and the status bar shows the cascade of a new vault.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/tests/Harness.h"

using namespace harness;

namespace {

constexpr DWORD kStartTimeout = 30000;

// A status-bar panel's text of a window in another process: the text is
// written into memory of that process and read back.
std::string RemoteStatusText(DWORD pid, HWND bar, int panel) {
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return "<no process>";
  constexpr SIZE_T kSize = 512;
  void* remote = VirtualAllocEx(process, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE);
  std::string text = "<no memory>";
  if (remote) {
    const LRESULT length = SendMessageA(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(panel), 0);
    if (LOWORD(length) < kSize) {
      SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(remote));
      char buf[kSize] = {};
      SIZE_T got = 0;
      if (ReadProcessMemory(process, remote, buf, kSize - 1, &got)) text = buf;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return text;
}

TEST(SettingsProgram, StartUpPutsTheDefaultCascadeIntoTheEngineAndTheStatusBar) {
  struct Case {
    std::vector<std::string> ini;
    std::string status;
  } cases[] = {
      {{"CheckBoxLastFile=0", "CheckBoxMinimized=0"}, "Twofish+AES+ChaCha20 200K"},
      {{"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Algorithm=10", "Iterations=1500000"}, "ChaCha20+AES+Twofish 1500K"},
      // Below the engine's floor, and fast mode with its own count.
      {{"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Algorithm=3", "Iterations=100", "CheckFast=1"}, "ChaCha20 20K"},
      {{"CheckBoxLastFile=0", "CheckBoxMinimized=0", "Algorithm=2", "Iterations=100"}, "AES 5K"},
  };
  for (const Case& c : cases) {
    TProgramFolder folder(c.ini);
    const int p = folder.Start();
    ASSERT_GE(p, 0);
    HWND wnd = FindProcessWindow(folder.Pid(p), "TFormMain", kStartTimeout);
    ASSERT_NE(wnd, nullptr);
    HWND bar = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (bar = FindWindowExA(wnd, nullptr, STATUSCLASSNAMEA, nullptr)) != nullptr; },
                        10000));
    // No vault: no cascade is named. The start-up work is done once the
    // lock options show.
    EXPECT_TRUE(WaitFor([&] { return RemoteStatusText(folder.Pid(p), bar, 2) == "Lock w/ Windows"; }, 10000));
    EXPECT_EQ(RemoteStatusText(folder.Pid(p), bar, 4), "");
    // A new vault gets the Defaults.
    PostMenuCommand(wnd, kNewOffset);
    ASSERT_TRUE(AnswerPassword(folder.Pid(p), "Correct-Horse-42x", 2));
    std::string text;
    EXPECT_TRUE(WaitFor(
        [&] {
          text = RemoteStatusText(folder.Pid(p), bar, 4);
          return text == c.status;
        },
        10000))
        << text;
    EXPECT_TRUE(ExitProgram(wnd));
    EXPECT_EQ(folder.WaitExit(p, kStartTimeout), 0);
  }
}

}  // namespace
