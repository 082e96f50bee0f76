// TWinControl: a C++ object that owns one window. Our own window classes go
// through a static thunk that finds the object from the window; built-in
// controls (buttons, edits, …) are subclassed with SetWindowSubclass. No C++
// exception ever crosses the window procedure.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/Component.h"

struct TCreateParams {
  std::string WinClassName;      // class to register (ours) or to subclass (built-in)
  bool BuiltInClass = false;     // true: WinClassName is a system class such as "BUTTON"
  std::string Caption;
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ExStyle = 0;
  int X = CW_USEDEFAULT, Y = CW_USEDEFAULT, Width = CW_USEDEFAULT, Height = CW_USEDEFAULT;
  HWND WndParent = nullptr;
  HMENU Menu = nullptr;          // a child's control id
  UINT ClassStyle = CS_DBLCLKS;
  HBRUSH Background = nullptr;
  HICON Icon = nullptr;
  HICON IconSmall = nullptr;
  HCURSOR Cursor = nullptr;
};

class TWinControl : public TComponent {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, created on first use.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  void DestroyHandle();

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);

  void SetBounds(int left, int top, int width, int height);
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  RECT ClientRect();

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  std::string Text();
  void SetText(const std::string& text);

  // Puts the window below its siblings (a background picture or frame that
  // other controls lie on). Child windows created later lie below earlier
  // ones otherwise.
  void SendToBack();

  void Invalidate();
  void Update();
  void Repaint() { Invalidate(); Update(); }
  void SetFocus();
  bool Focused();
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  static TWinControl* FromHandle(HWND wnd);

  // Called when a handler throws; the default shows nothing and carries on.
  static std::function<void(const std::exception&)> OnException;

 protected:
  virtual void CreateParams(TCreateParams& params);
  // Runs once the window exists (child controls, fonts, …).
  virtual void CreateWnd() {}
  // Every message of the window. The default passes it on.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);
  // Notifications that a parent receives about a child control (WM_COMMAND,
  // WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR…, WM_HSCROLL/WM_VSCROLL
  // from a control) are offered to the child's object first. Return true
  // when handled; result is then the parent's answer.
  virtual bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR refData);
  LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
  void Detach();

  HWND handle_ = nullptr;
  bool subclassed_ = false;
  bool creating_ = false;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool boundsSet_ = false;
  bool visible_ = false;
  bool enabled_ = true;
  std::string text_;
};
