#include "app/SingleInstance.h"

#include <windows.h>

#include "app/AppSeams.h"
#include "app/model/ShellHelpers.h"
#include "base/SysUtils.h"
#include "ui/Dialogs.h"

namespace {
constexpr char kCaption[] = "Vaultline communication error";
}  // namespace

bool HandOverToRunningInstance(const std::vector<std::string>& args) {
  HWND wnd = nullptr;
  for (int attempt = 0; attempt < 50; ++attempt) {
    wnd = FindWindowA("TFormMain", nullptr);
    if (wnd) break;
    AppSeams().Sleep(100);
  }
  if (!wnd) {
    UiMessageBox(nullptr, "A Vaultline instance is running, but its TFormMain window could not be found.", kCaption,
                 MB_ICONERROR);
    return false;
  }
  std::string path;
  if (!args.empty()) {
    path = Trim(args[0]);
    if (!path.empty()) path = ExpandFileName(path);
  }
  ShowWindow(wnd, IsIconic(wnd) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(wnd);
  BringWindowToTop(wnd);
  std::string data = EncodeHandOverPath(path);
  COPYDATASTRUCT cds{};
  cds.dwData = kHandOverTag;
  cds.cbData = static_cast<DWORD>(data.size());
  cds.lpData = data.data();
  SetLastError(0);
  DWORD_PTR answer = 0;
  const LRESULT sent = SendMessageTimeoutA(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                           SMTO_BLOCK | SMTO_ABORTIFHUNG, 300000, &answer);
  if (sent == 0) {
    const DWORD error = GetLastError();
    UiMessageBox(nullptr, "WM_COPYDATA could not be sent.\r\n\r\nWindows error:\r\n" + IntToStr(error), kCaption,
                 MB_ICONERROR);
    return false;
  }
  return true;
}
