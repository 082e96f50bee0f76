// A small window that auto-type tests type into: a user-name edit (id 101),
// a password edit (id 102) and a default button (IDOK). Each press of the
// button appends "user|password" and CR LF to the file named by the first
// argument; a submission without password moves the focus to the password
// edit, as a two-page sign-in does.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HWND gUser = nullptr;
HWND gPass = nullptr;
HWND gFocus = nullptr;
std::string gRecordPath;

std::string Text(HWND edit) {
  char buffer[512] = {};
  GetWindowTextA(edit, buffer, sizeof buffer);
  return buffer;
}

void Submit() {
  const std::string user = Text(gUser);
  const std::string pass = Text(gPass);
  if (FILE* f = std::fopen(gRecordPath.c_str(), "ab")) {
    std::fprintf(f, "%s|%s\r\n", user.c_str(), pass.c_str());
    std::fclose(f);
  }
  if (pass.empty()) SetFocus(gPass);
}

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
      HINSTANCE inst = cs->hInstance;
      const DWORD editStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
      gUser = CreateWindowExA(0, "EDIT", "", editStyle, 10, 10, 260, 22, wnd, reinterpret_cast<HMENU>(101), inst, nullptr);
      gPass = CreateWindowExA(0, "EDIT", "", editStyle, 10, 40, 260, 22, wnd, reinterpret_cast<HMENU>(102), inst, nullptr);
      CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 70, 80, 24, wnd,
                      reinterpret_cast<HMENU>(IDOK), inst, nullptr);
      gFocus = gUser;
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND f = GetFocus();
        if (f == gUser || f == gPass) gFocus = f;
      } else {
        SetFocus(gFocus);
      }
      return 0;
    case WM_SETFOCUS:
      SetFocus(gFocus);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) Submit();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(wnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmdLine, int) {
  gRecordPath = cmdLine ? cmdLine : "";
  if (!gRecordPath.empty() && gRecordPath.front() == '"') {
    gRecordPath.erase(0, 1);
    const std::size_t end = gRecordPath.find('"');
    if (end != std::string::npos) gRecordPath.resize(end);
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "VaultlineTypeTarget";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(0, "VaultlineTypeTarget", "Type target", WS_OVERLAPPEDWINDOW, 100, 100, 300, 150, nullptr,
                             nullptr, inst, nullptr);
  ShowWindow(wnd, SW_SHOWNORMAL);
  SetForegroundWindow(wnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(wnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
