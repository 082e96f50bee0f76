#include "ui/Form.h"

#include <utility>
#include <vector>

#include "ui/Application.h"
#include "ui/Menus.h"

std::function<void(TForm* form)> TForm::ModalHook;

namespace {
// Posted to a form in a modal run to call ModalHook from inside the loop.
const UINT kModalHookMessage = WM_APP + 0x3F01;
}  // namespace

bool TForm::DialogKey(WORD, unsigned) { return false; }

bool TForm::IsShortCut(WORD, unsigned) { return false; }

void TForm::DoShow() {
  if (OnShow) OnShow(this);
}

TForm::TForm(TComponent* owner, const std::string& className)
    : TWinControl(owner), className_(className) {}

TForm::~TForm() {
  if (Application && Application->MainForm() == this) Application->SetMainForm(nullptr);
}

void TForm::CreateParams(TCreateParams& params) {
  params.WinClassName = className_;
  params.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  params.ExStyle = WS_EX_CONTROLPARENT;
  params.Background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  params.Icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
  params.IconSmall = params.Icon;
  if (Application && Application->MainForm() && Application->MainForm() != this)
    params.WndParent = Application->MainForm()->Handle();
}

void TForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = (Application && Application->MainForm() == this) ? caFree : caHide;
  if (modal_) action = caHide;
  if (OnClose) OnClose(this, action);
  switch (action) {
    case caNone:
      return;
    case caHide:
      if (modal_ && modalResult_ == mrNone) modalResult_ = mrCancel;
      Hide();
      break;
    case caMinimize:
      if (HandleAllocated()) ShowWindow(Handle(), SW_MINIMIZE);
      break;
    case caFree:
      if (modal_) {
        if (modalResult_ == mrNone) modalResult_ = mrCancel;
        Hide();
      } else if (Application && Application->MainForm() == this) {
        Application->Terminate();
        Hide();
      } else {
        Hide();
      }
      break;
  }
}

static BOOL CALLBACK CollectEnabledWindow(HWND wnd, LPARAM lp) {
  auto* list = reinterpret_cast<std::vector<HWND>*>(lp);
  if (IsWindowVisible(wnd) && IsWindowEnabled(wnd)) list->push_back(wnd);
  return TRUE;
}

int TForm::ShowModal() {
  // A second modal run of a form that is already up would nest two loops on
  // one window; the caller gets Cancel instead.
  if (modal_) return mrCancel;
  // Every other top-level window of the thread is disabled for the run.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  HWND self = Handle();
  for (HWND w : disabled)
    if (w != self) EnableWindow(w, FALSE);
  modalResult_ = mrNone;
  modal_ = true;
  Show();
  SetForegroundWindow(self);
  if (ModalHook) PostMessageA(self, kModalHookMessage, 0, 0);
  while (modalResult_ == mrNone && Application && !Application->Terminated()) {
    Application->HandleMessage();
    if (modalResult_ != mrNone) {
      // Give OnCloseQuery a say, as a close from the system menu would.
      bool canClose = true;
      if (OnCloseQuery) OnCloseQuery(this, canClose);
      if (!canClose) modalResult_ = mrNone;
    }
  }
  for (HWND w : disabled)
    if (w != self && IsWindow(w)) EnableWindow(w, TRUE);
  modal_ = false;
  Hide();
  if (modalResult_ == mrNone) modalResult_ = mrCancel;
  return modalResult_;
}

void TForm::BringToFront() {
  if (!HandleAllocated()) return;
  if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
  SetForegroundWindow(Handle());
}

void TForm::SetClientSize(int width, int height) {
  HWND wnd = Handle();
  RECT r{0, 0, width, height};
  const DWORD style = static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(wnd, GWL_EXSTYLE));
  AdjustWindowRectEx(&r, style, GetMenu(wnd) != nullptr, exStyle);
  SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
}

void TForm::CenterOnScreen() {
  HWND wnd = Handle();
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoA(MonitorFromWindow(wnd, MONITOR_DEFAULTTOPRIMARY), &mi)) return;
  const RECT& wa = mi.rcWork;
  SetBounds(wa.left + ((wa.right - wa.left) - Width()) / 2, wa.top + ((wa.bottom - wa.top) - Height()) / 2, Width(),
            Height());
}

void TForm::FocusControl(TWinControl* control) {
  if (!control || !HandleAllocated() || !control->Handle()) return;
  pendingFocus_ = nullptr;
  if (GetActiveWindow() == Handle())
    ::SetFocus(control->Handle());
  else
    pendingFocus_ = control->Handle();
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ACTIVATE:
      // The system's own handling gives the focus to the form itself, where
      // no key does anything. A focus already inside the form stays there
      // (the system reports some activations late, after the program moved
      // the focus); otherwise a control chosen while the form was inactive
      // gets it.
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) {
        HWND wanted = std::exchange(pendingFocus_, nullptr);
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) return 0;
        if (wanted && IsChild(Handle(), wanted) && IsWindowVisible(wanted) && IsWindowEnabled(wanted)) {
          ::SetFocus(wanted);
          return 0;
        }
      }
      return TWinControl::WndProc(msg, wParam, lParam);
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SHOWWINDOW:
      if (wParam && lParam == 0) DoShow();
      return TWinControl::WndProc(msg, wParam, lParam);
    case WM_COMMAND:
      // Menu items (lParam 0, code 0) and accelerators (code 1).
      if (lParam == 0 && HIWORD(wParam) <= 1 && TMenuItem::DispatchCommand(LOWORD(wParam))) return 0;
      return TWinControl::WndProc(msg, wParam, lParam);
    case kModalHookMessage:
      if (modal_ && ModalHook) {
        auto hook = ModalHook;  // the hook may replace itself
        hook(this);
      }
      return 0;
    default:
      return TWinControl::WndProc(msg, wParam, lParam);
  }
}
