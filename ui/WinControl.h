// TWinControl: a C++ object that owns one window. Our own window classes go
// through a static thunk that finds the object from the window; built-in
// controls (buttons, edits, …) are subclassed with SetWindowSubclass. No C++
// exception ever crosses the window procedure.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/Component.h"
#include "ui/Graphics.h"

class TPopupMenu;

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

// Where a control lies in its parent's client area: alTop, alBottom,
// alLeft and alRight take the whole width or height along that edge (in that
// order, each in what the earlier ones left), alClient takes what remains.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
// dmAutomatic: a left press on the control starts dragging it.
enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// A cursor: the number of one of the system's cursors (IDC_…).
using TCursor = int;
constexpr TCursor crDrag = 32512;    // IDC_ARROW
constexpr TCursor crNoDrop = 32648;  // IDC_NO

class TWinControl;
// Asked of the control under the mouse while another is dragged; accept
// starts true when the handler is set.
using TDragOverEvent =
    std::function<void(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept)>;
using TDragDropEvent = std::function<void(TObject* sender, TObject* source, int x, int y)>;
// target is the control that took the drop, or null when the drag ended
// without one.
using TEndDragEvent = std::function<void(TObject* sender, TObject* target, int x, int y)>;

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

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  // Lays the aligned children out in the client area again (the window does
  // it itself when its size changes).
  void Realign();

  // The hint is shown as a tooltip when the effective ShowHint is true:
  // with ParentShowHint the parent's, else the control's own. Setting
  // ShowHint clears ParentShowHint.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool ShowHint() const;
  void SetShowHint(bool show);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool value);
  // The tooltip window showing the hint, null while none is shown.
  HWND HintWindow() const { return hintWindow_; }

  // With ParentColor or ParentFont the control takes its parent's colour or
  // font, now and whenever the parent's changes; setting the control's own
  // colour or font clears the flag.
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);

  // Shown on WM_CONTEXTMENU (a right click, Shift+F10 or the menu key) at
  // the mouse, or below the control's top-left corner from the keyboard.
  // A menu that is destroyed is dropped.
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);

  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode mode) { dragMode_ = mode; }
  // The cursor over a control that accepts the dragged one.
  TCursor DragCursor() const { return dragCursor_; }
  void SetDragCursor(TCursor cursor) { dragCursor_ = cursor; }
  // Starts dragging this control: the mouse is captured until the left
  // button is released (a drop on the control under it when that one
  // accepts), Esc is pressed or the capture is lost.
  void BeginDrag();
  bool Dragging() const { return dragging_; }
  // Ends a drag where the mouse was last seen; with drop, the control
  // under it takes the drop when it accepts.
  void EndDrag(bool drop);

  TNotifyEvent OnStartDrag;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;

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
  // Sets a window's text, in UTF-16 through a wiped buffer when the window
  // takes UTF-16.
  static void SetWindowTextOf(HWND wnd, const std::string& text);

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
  void Notification(TComponent* component, TOperation operation) override;

  // The colour and font this control offers to children that take their
  // parent's; null when it has none.
  virtual const TColor* ColorForChildren() const { return nullptr; }
  virtual const TFont* FontForChildren() { return nullptr; }
  // Takes the parent's colour or font (ParentColor, ParentFont) without
  // clearing the flag. The defaults ignore it.
  virtual void ApplyParentColor(TColor) {}
  virtual void ApplyParentFont(const TFont&) {}
  // A control whose own colour or font changed calls these: the children
  // that take it follow, and an own change clears ParentColor or ParentFont
  // unless it came from the parent.
  void ColorChanged();
  void FontChanged();

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

  void UpdateHintWindow();
  void ParentShowHintChanged();
  void TakeParentColor();
  void TakeParentFont();
  bool ShowPopupMenu(LPARAM lParam);
  // Follows the mouse while this control is dragged; true when the message
  // was taken.
  bool DragMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void FinishDrag(bool drop, POINT screen);
  void SetDragTarget(TWinControl* target);
  static TWinControl* DragTargetAt(POINT screen);
  bool DragOverTarget(TWinControl* target, POINT screen, TDragState state);

  std::vector<TWinControl*> children_;
  TAlign align_ = alNone;
  std::string hint_;
  bool showHint_ = false, parentShowHint_ = true;
  HWND hintWindow_ = nullptr;
  bool parentColor_ = false, parentFont_ = false;
  bool applyingParent_ = false;
  TPopupMenu* popupMenu_ = nullptr;
  TDragMode dragMode_ = dmManual;
  TCursor dragCursor_ = crDrag;
  bool dragging_ = false;
  TWinControl* dragTarget_ = nullptr;
  bool dragAccepted_ = false;
  POINT dragPoint_{};  // in screen coordinates
};
