#include "ui/WinControl.h"

#include <commctrl.h>
#include <windowsx.h>

#include "base/Wipe.h"
#include "ui/Menus.h"

#include <algorithm>
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

TWinControl::~TWinControl() {
  if (dragging_ && GetCapture() == handle_) ReleaseCapture();
  dragging_ = false;
  DestroyHandle();
  // Children outlive their parent's object only as orphans.
  for (TWinControl* child : children_) child->parent_ = nullptr;
  children_.clear();
  if (parent_) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    if (align_ != alNone) parent_->Realign();
  }
}

void TWinControl::Detach() {
  if (!handle_) return;
  if (hintWindow_) {
    ::DestroyWindow(hintWindow_);
    hintWindow_ = nullptr;
  }
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
  if (!handle_) return nullptr;
  UpdateHintWindow();
  Realign();
  if (align_ != alNone && parent_) parent_->Realign();
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
    if (!(dragging_ || (dragMode_ == dmAutomatic && msg == WM_LBUTTONDOWN)) ||
        !DragMessage(msg, wParam, lParam, result))
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
      if (msg == WM_SIZE) Realign();
      break;
    }
    case WM_CONTEXTMENU:
      if (ShowPopupMenu(lParam)) return 0;
      break;
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
  TWinControl* old = parent_;
  if (old) old->children_.erase(std::remove(old->children_.begin(), old->children_.end(), this), old->children_.end());
  parent_ = parent;
  if (parent) parent->children_.push_back(this);
  if (handle_) ::SetParent(handle_, parent ? parent->Handle() : nullptr);
  if (align_ != alNone) {
    if (old) old->Realign();
    if (parent) parent->Realign();
  }
  TakeParentColor();
  TakeParentFont();
  ParentShowHintChanged();
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
  const bool changed = visible != visible_;
  visible_ = visible;
  if (visible && !handle_) Handle();
  if (handle_) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
  if (changed && align_ != alNone && parent_) parent_->Realign();
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (handle_) EnableWindow(handle_, enabled);
}

namespace {

// A UTF-16 buffer that is wiped when it goes.
struct TWideBuffer {
  explicit TWideBuffer(std::size_t n) : Chars(n, L'\0') {}
  ~TWideBuffer() { WipeBytes(Chars.data(), Chars.size() * sizeof(wchar_t)); }
  std::vector<wchar_t> Chars;
};

}  // namespace

// A window that takes UTF-16 (every subclassed built-in control) gets and
// gives its text in UTF-16 through buffers of ours, which are wiped: asked
// in ANSI, the system would convert through buffers of its own that are
// freed as they are, and the text may be a password or a note.
std::string TWinControl::Text() {
  if (!handle_) return text_;
  if (IsWindowUnicode(handle_)) {
    const int n = GetWindowTextLengthW(handle_);
    if (n <= 0) return std::string();
    TWideBuffer wide(static_cast<std::size_t>(n) + 1);
    const int got = GetWindowTextW(handle_, wide.Chars.data(), n + 1);
    if (got <= 0) return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.Chars.data(), got, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide.Chars.data(), got, s.data(), size, nullptr, nullptr);
    return s;
  }
  int n = GetWindowTextLengthA(handle_);
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  int got = GetWindowTextA(handle_, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
  return s;
}

void TWinControl::SetWindowTextOf(HWND wnd, const std::string& text) {
  if (!IsWindowUnicode(wnd)) {
    SetWindowTextA(wnd, text.c_str());
    return;
  }
  const int n = text.empty() ? 0
                             : MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  TWideBuffer wide(static_cast<std::size_t>(n > 0 ? n : 0) + 1);
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.Chars.data(), n);
  SetWindowTextW(wnd, wide.Chars.data());
}

void TWinControl::SetText(const std::string& text) {
  // Once the window exists it holds the text; no second copy stays here
  // (the text may be a password).
  if (handle_) {
    WipeString(text_);
    SetWindowTextOf(handle_, text);
  } else {
    WipeString(text_);
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

void TWinControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  DropReference(popupMenu_, component);
  DropReference(dragTarget_, component);
}

// ---------------------------------------------------------------------------
// Alignment

void TWinControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_) parent_->Realign();
}

void TWinControl::Realign() {
  if (!handle_) return;
  RECT r;
  GetClientRect(handle_, &r);
  for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TWinControl* c : children_) {
      if (c->align_ != pass || !c->visible_) continue;
      const int w = std::max(0, static_cast<int>(r.right - r.left));
      const int h = std::max(0, static_cast<int>(r.bottom - r.top));
      switch (pass) {
        case alTop: {
          const int ch = std::min(c->height_, h);
          c->SetBounds(r.left, r.top, w, ch);
          r.top += ch;
          break;
        }
        case alBottom: {
          const int ch = std::min(c->height_, h);
          c->SetBounds(r.left, r.bottom - ch, w, ch);
          r.bottom -= ch;
          break;
        }
        case alLeft: {
          const int cw = std::min(c->width_, w);
          c->SetBounds(r.left, r.top, cw, h);
          r.left += cw;
          break;
        }
        case alRight: {
          const int cw = std::min(c->width_, w);
          c->SetBounds(r.right - cw, r.top, cw, h);
          r.right -= cw;
          break;
        }
        default:
          c->SetBounds(r.left, r.top, w, h);
          break;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Hints

void TWinControl::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  UpdateHintWindow();
}

bool TWinControl::ShowHint() const { return parentShowHint_ && parent_ ? parent_->ShowHint() : showHint_; }

void TWinControl::SetShowHint(bool show) {
  const bool wasParents = parentShowHint_;
  parentShowHint_ = false;
  if (show == showHint_ && !wasParents) return;
  showHint_ = show;
  ParentShowHintChanged();
}

void TWinControl::SetParentShowHint(bool value) {
  if (value == parentShowHint_) return;
  parentShowHint_ = value;
  ParentShowHintChanged();
}

void TWinControl::ParentShowHintChanged() {
  UpdateHintWindow();
  for (TWinControl* c : children_)
    if (c->parentShowHint_) c->ParentShowHintChanged();
}

void TWinControl::UpdateHintWindow() {
  if (!handle_ || !ShowHint() || hint_.empty()) {
    if (hintWindow_) ::DestroyWindow(hintWindow_);
    hintWindow_ = nullptr;
    return;
  }
  TOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = handle_;
  ti.uId = reinterpret_cast<UINT_PTR>(handle_);
  ti.lpszText = hint_.data();
  if (hintWindow_) {
    SendMessageA(hintWindow_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    return;
  }
  hintWindow_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (!hintWindow_) return;
  if (!SendMessageA(hintWindow_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti))) {
    ::DestroyWindow(hintWindow_);
    hintWindow_ = nullptr;
  }
}

// ---------------------------------------------------------------------------
// Parent colour and font

void TWinControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  TakeParentColor();
}

void TWinControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  TakeParentFont();
}

void TWinControl::TakeParentColor() {
  if (!parentColor_ || !parent_) return;
  const TColor* color = parent_->ColorForChildren();
  if (!color) return;
  applyingParent_ = true;
  ApplyParentColor(*color);
  applyingParent_ = false;
}

void TWinControl::TakeParentFont() {
  if (!parentFont_ || !parent_) return;
  const TFont* font = parent_->FontForChildren();
  if (!font) return;
  applyingParent_ = true;
  ApplyParentFont(*font);
  applyingParent_ = false;
}

void TWinControl::ColorChanged() {
  if (!applyingParent_) parentColor_ = false;
  for (TWinControl* c : children_) c->TakeParentColor();
}

void TWinControl::FontChanged() {
  if (!applyingParent_) parentFont_ = false;
  for (TWinControl* c : children_) c->TakeParentFont();
}

// ---------------------------------------------------------------------------
// Popup menu

void TWinControl::SetPopupMenu(TPopupMenu* menu) {
  SetReference(popupMenu_, menu);
}

bool TWinControl::ShowPopupMenu(LPARAM lParam) {
  if (!popupMenu_ || !handle_) return false;
  POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (at.x == -1 && at.y == -1) {
    // From the keyboard: at the control's top-left corner.
    at = POINT{0, 0};
    ClientToScreen(handle_, &at);
  }
  popupMenu_->Popup(at.x, at.y, handle_);
  return true;
}

// ---------------------------------------------------------------------------
// Dragging

void TWinControl::BeginDrag() {
  if (dragging_ || !Handle()) return;
  dragging_ = true;
  SetDragTarget(nullptr);
  dragAccepted_ = false;
  GetCursorPos(&dragPoint_);
  SetCapture(handle_);
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(crNoDrop)));
  if (OnStartDrag) OnStartDrag(this);
}

void TWinControl::EndDrag(bool drop) { FinishDrag(drop, dragPoint_); }

void TWinControl::SetDragTarget(TWinControl* target) {
  SetReference(dragTarget_, target);
}

TWinControl* TWinControl::DragTargetAt(POINT screen) {
  for (HWND wnd = WindowFromPoint(screen); wnd; wnd = GetParent(wnd))
    if (TWinControl* c = FromHandle(wnd)) return c;
  return nullptr;
}

bool TWinControl::DragOverTarget(TWinControl* target, POINT screen, TDragState state) {
  if (!target || !target->OnDragOver) return false;
  bool accept = true;
  POINT at = screen;
  ScreenToClient(target->handle_, &at);
  target->OnDragOver(target, this, at.x, at.y, state, accept);
  return accept;
}

void TWinControl::FinishDrag(bool drop, POINT screen) {
  if (!dragging_) return;
  dragging_ = false;
  TWinControl* target = nullptr;
  if (drop) {
    target = DragTargetAt(screen);
    if (target != dragTarget_ && dragTarget_) DragOverTarget(dragTarget_, screen, dsDragLeave);
    if (!DragOverTarget(target, screen, dsDragMove)) target = nullptr;
  } else if (dragTarget_) {
    DragOverTarget(dragTarget_, screen, dsDragLeave);
  }
  SetDragTarget(nullptr);
  if (GetCapture() == handle_) ReleaseCapture();
  POINT at = screen;
  ScreenToClient(target ? target->handle_ : handle_, &at);
  if (target && target->OnDragDrop) target->OnDragDrop(target, this, at.x, at.y);
  if (OnEndDrag) OnEndDrag(this, target, at.x, at.y);
}

bool TWinControl::DragMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (dragging_) return true;
      BeginDrag();
      ClientToScreen(handle_, &screen);
      dragPoint_ = screen;
      return true;
    case WM_MOUSEMOVE: {
      ClientToScreen(handle_, &screen);
      dragPoint_ = screen;
      TWinControl* target = DragTargetAt(screen);
      TDragState state = dsDragMove;
      if (target != dragTarget_) {
        if (dragTarget_) DragOverTarget(dragTarget_, screen, dsDragLeave);
        SetDragTarget(target);
        state = dsDragEnter;
      }
      dragAccepted_ = DragOverTarget(target, screen, state);
      SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(dragAccepted_ ? dragCursor_ : crNoDrop)));
      return true;
    }
    case WM_SETCURSOR:
      SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(dragAccepted_ ? dragCursor_ : crNoDrop)));
      result = TRUE;
      return true;
    case WM_LBUTTONUP:
      ClientToScreen(handle_, &screen);
      FinishDrag(true, screen);
      return true;
    case WM_KEYDOWN:
      if (wParam != VK_ESCAPE) return false;
      EndDrag(false);
      return true;
    case WM_CANCELMODE:
      EndDrag(false);
      return false;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != handle_) EndDrag(false);
      return false;
    default:
      return false;
  }
}
