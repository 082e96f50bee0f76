#include "ui/WinControl.h"

#include <commctrl.h>

#include "base/Wipe.h"

#include <set>
#include <stdexcept>
#include <vector>

std::function<void(const std::exception&)> TWinControl::OnException;

namespace {
const char* const kSelfProp = "VaultlineControl";
std::set<std::string>& RegisteredClasses() {
  static std::set<std::string> classes;
  return classes;
}
}  // namespace

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl() { DestroyHandle(); }

void TWinControl::Detach() {
  if (!handle_) return;
  if (subclassed_) RemoveWindowSubclass(handle_, SubclassProc, 1);
  RemovePropA(handle_, kSelfProp);
  subclassed_ = false;
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  HWND wnd = handle_;
  // Unhook first: the window's last messages must not reach a half-destroyed
  // object. Child windows keep their own objects and clear them at WM_NCDESTROY.
  Detach();
  handle_ = nullptr;
  ::DestroyWindow(wnd);
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
  return static_cast<TWinControl*>(GetPropA(wnd, kSelfProp));
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.WinClassName = "TWinControl";
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
}

HWND TWinControl::Handle() {
  if (handle_ || creating_) return handle_;
  TCreateParams p;
  CreateParams(p);
  p.Caption = text_;
  WipeString(text_);
  if (parent_) p.WndParent = parent_->Handle();
  if (boundsSet_) {
    p.X = left_;
    p.Y = top_;
    p.Width = width_;
    p.Height = height_;
  }
  if (visible_) p.Style |= WS_VISIBLE;
  if (!enabled_) p.Style |= WS_DISABLED;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  creating_ = true;
  HWND wnd = nullptr;
  if (p.BuiltInClass) {
    wnd = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y,
                          p.Width, p.Height, p.WndParent, p.Menu, inst, nullptr);
    if (wnd) {
      handle_ = wnd;
      SetPropA(wnd, kSelfProp, this);
      subclassed_ = SetWindowSubclass(wnd, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
  } else {
    if (!RegisteredClasses().count(p.WinClassName)) {
      WNDCLASSEXA wc{};
      wc.cbSize = sizeof wc;
      wc.style = p.ClassStyle;
      wc.lpfnWndProc = StaticWndProc;
      wc.hInstance = inst;
      wc.hIcon = p.Icon;
      wc.hIconSm = p.IconSmall;
      wc.hCursor = p.Cursor ? p.Cursor : LoadCursor(nullptr, IDC_ARROW);
      wc.hbrBackground = p.Background;
      wc.lpszClassName = p.WinClassName.c_str();
      if (RegisterClassExA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        RegisteredClasses().insert(p.WinClassName);
    }
    wnd = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y,
                          p.Width, p.Height, p.WndParent, p.Menu, inst, this);
  }
  creating_ = false;
  if (!wnd) return nullptr;
  RECT r;
  GetWindowRect(wnd, &r);
  if (p.WndParent && (p.Style & WS_CHILD)) MapWindowPoints(nullptr, p.WndParent, reinterpret_cast<POINT*>(&r), 2);
  left_ = r.left;
  top_ = r.top;
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
  try {
    CreateWnd();
  } catch (const std::exception& e) {
    if (OnException) OnException(e);
  }
  return handle_;
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* self = FromHandle(wnd);
  if (!self && msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
    self = static_cast<TWinControl*>(cs->lpCreateParams);
    if (self) {
      self->handle_ = wnd;
      SetPropA(wnd, kSelfProp, self);
    }
  }
  if (!self) return DefWindowProcA(wnd, msg, wParam, lParam);
  return self->Dispatch(msg, wParam, lParam);
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR refData) {
  auto* self = reinterpret_cast<TWinControl*>(refData);
  if (!self || self->handle_ != wnd) return DefSubclassProc(wnd, msg, wParam, lParam);
  return self->Dispatch(msg, wParam, lParam);
}

LRESULT TWinControl::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND wnd = handle_;
  LRESULT result = 0;
  try {
    result = WndProc(msg, wParam, lParam);
  } catch (const std::exception& e) {
    if (OnException) OnException(e);
    result = 0;
  } catch (...) {
    if (OnException) OnException(std::runtime_error("unknown error"));
    result = 0;
  }
  if (msg == WM_NCDESTROY && handle_ == wnd) {
    Detach();
    handle_ = nullptr;
  }
  return result;
}

bool TWinControl::ReflectedMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

// The child window a parent's notification is about, or null.
static HWND NotifyingChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      return lParam ? reinterpret_cast<HWND>(lParam) : nullptr;  // 0: menu or accelerator
    case WM_NOTIFY:
      return reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      return dis->CtlType == ODT_MENU ? nullptr : dis->hwndItem;
    }
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      return mis->CtlType == ODT_MENU ? nullptr : GetDlgItem(parent, static_cast<int>(mis->CtlID));
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
      return reinterpret_cast<HWND>(lParam);
    case WM_HSCROLL:
    case WM_VSCROLL:
      return lParam ? reinterpret_cast<HWND>(lParam) : nullptr;
    default:
      (void)wParam;
      return nullptr;
  }
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (HWND child = NotifyingChild(handle_, msg, wParam, lParam)) {
    if (child != handle_) {
      if (TWinControl* c = FromHandle(child)) {
        LRESULT result = 0;
        if (c->ReflectedMessage(msg, wParam, lParam, result)) return result;
      }
    }
  }
  switch (msg) {
    case WM_SIZE:
    case WM_MOVE: {
      RECT r;
      GetWindowRect(handle_, &r);
      HWND parent = GetParent(handle_);
      if (parent && (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
      left_ = r.left;
      top_ = r.top;
      width_ = r.right - r.left;
      height_ = r.bottom - r.top;
      break;
    }
    default:
      break;
  }
  return DefaultHandler(msg, wParam, lParam);
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (subclassed_) return DefSubclassProc(handle_, msg, wParam, lParam);
  return DefWindowProcA(handle_, msg, wParam, lParam);
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  parent_ = parent;
  if (handle_) ::SetParent(handle_, parent ? parent->Handle() : nullptr);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  boundsSet_ = true;
  if (handle_) MoveWindow(handle_, left, top, width, height, TRUE);
}

RECT TWinControl::ClientRect() {
  RECT r{0, 0, width_, height_};
  if (Handle()) GetClientRect(handle_, &r);
  return r;
}

void TWinControl::SetVisible(bool visible) {
  visible_ = visible;
  if (visible && !handle_) Handle();
  if (handle_) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (handle_) EnableWindow(handle_, enabled);
}

std::string TWinControl::Text() {
  if (!handle_) return text_;
  int n = GetWindowTextLengthA(handle_);
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  int got = GetWindowTextA(handle_, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
  return s;
}

void TWinControl::SetText(const std::string& text) {
  // Once the window exists it holds the text; no second copy stays here
  // (the text may be a password).
  if (handle_) {
    WipeString(text_);
    SetWindowTextA(handle_, text.c_str());
  } else {
    text_ = text;
  }
}

void TWinControl::SendToBack() {
  if (Handle()) SetWindowPos(handle_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::SetFocus() {
  if (Handle()) ::SetFocus(handle_);
}

bool TWinControl::Focused() { return handle_ && GetFocus() == handle_; }

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  return Handle() ? SendMessageA(handle_, msg, wParam, lParam) : 0;
}
