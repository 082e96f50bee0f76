#include "ui/Application.h"

#include <commctrl.h>

#include "ui/Form.h"

TApplication* Application = nullptr;

TApplication::TApplication() : TComponent(nullptr) {
  Application = this;
  TWinControl::OnException = [this](const std::exception& e) { ShowException(e); };
}

TApplication::~TApplication() {
  TWinControl::OnException = nullptr;
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES |
                                           ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    exitCode_ = static_cast<int>(msg.wParam);
    return true;
  }
  // Tab and arrow navigation between a form's controls.
  HWND top = GetAncestor(msg.hwnd, GA_ROOT);
  if (top && IsDialogMessageA(top, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg) && !terminated_) WaitMessage();
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::Run() {
  if (mainForm_) mainForm_->Show();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::ShowException(const std::exception& e) {
  HWND owner = mainForm_ && mainForm_->HandleAllocated() ? mainForm_->Handle() : nullptr;
  MessageBoxA(owner, e.what(), title_.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
