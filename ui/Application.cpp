#include "ui/Application.h"

#include <commctrl.h>

#include "base/MainThreadWake.h"
#include "base/Thread.h"
#include "ui/Dialogs.h"
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
  // Worker threads hand their calls to this thread through its messages.
  MainThread::SetCurrent();
  MainThread::InstallMessageHook();
}

// The shift keys held now: 1 Shift, 2 Alt, 4 Ctrl.
static unsigned HeldShiftKeys() {
  unsigned s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= 1;
  if (GetKeyState(VK_MENU) < 0) s |= 2;
  if (GetKeyState(VK_CONTROL) < 0) s |= 4;
  return s;
}

bool TApplication::ProcessMessage(MSG& msg) {
  // The wide forms throughout: a character message for a Unicode window (the
  // notes editor) keeps its UTF-16 unit; ANSI windows still get ANSI
  // characters, converted by the system as before.
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    exitCode_ = static_cast<int>(msg.wParam);
    return true;
  }
  HWND top = GetAncestor(msg.hwnd, GA_ROOT);
  if (top && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
    if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(top))) {
      const WORD key = static_cast<WORD>(msg.wParam);
      const unsigned shift = HeldShiftKeys();
      // Menu shortcuts first, then the form's dialog keys: Tab, Enter and
      // Esc that the focused control does not want for itself.
      if (form->IsShortCut(key, shift)) return true;
      if (msg.message == WM_KEYDOWN && (key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE)) {
        const LRESULT code = SendMessageA(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
        const bool wanted = (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) ||
                            (key == VK_TAB && (code & DLGC_WANTTAB));
        if (!wanted && form->DialogKey(key, shift)) return true;
      }
    }
  }
  // Tab and arrow navigation between a form's controls.
  if (top && IsDialogMessageW(top, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
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
  UiMessageBox(owner, e.what(), title_, MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
