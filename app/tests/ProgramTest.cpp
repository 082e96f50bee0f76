// Starts the real program and drives it through its window messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string ExePath() {
  std::string p = VL_EXE_PATH;
  // A Linux path from the build is reachable through Wine's Z: drive.
  if (!p.empty() && p[0] == '/') {
    for (char& c : p)
      if (c == '/') c = '\\';
    p = "Z:" + p;
  }
  return p;
}

struct Process {
  PROCESS_INFORMATION pi{};
  bool Start(const std::string& args = "") {
    std::string cmd = "\"" + ExePath() + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi) != FALSE;
  }
  ~Process() {
    if (pi.hProcess) {
      if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
  }
};

HWND FindMainWindow(DWORD pid, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    HWND found = nullptr;
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "TFormMain", nullptr)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == pid) found = w;
    }
    if (found) return found;
    Sleep(50);
  }
  return nullptr;
}

}  // namespace

TEST(Program, StartsShowsMainWindowAndClosesCleanly) {
  Process p;
  ASSERT_TRUE(p.Start()) << ExePath();
  HWND wnd = FindMainWindow(p.pi.dwProcessId, 30000);
  ASSERT_NE(wnd, nullptr) << "no TFormMain window";
  char caption[256] = {};
  GetWindowTextA(wnd, caption, sizeof caption);
  EXPECT_STREQ(caption, "Quorvane Vaultline");
  PostMessageA(wnd, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(p.pi.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1234;
  GetExitCodeProcess(p.pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
}
