// TForm: a top-level window with a caption, a close protocol and a modal run.
#pragma once

#include "ui/WinControl.h"

enum TCloseAction { caNone, caHide, caFree, caMinimize };

enum TModalResult : int {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7
};

class TForm : public TWinControl {
 public:
  // className is the window class registered for this form ("TFormMain").
  TForm(TComponent* owner, const std::string& className);
  ~TForm() override;

  const std::string& ClassName() const { return className_; }
  std::string Caption() { return Text(); }
  void SetCaption(const std::string& caption) { SetText(caption); }

  // Asks OnCloseQuery, then OnClose decides what closing means.
  void Close();
  std::function<void(TObject* sender, bool& canClose)> OnCloseQuery;
  std::function<void(TObject* sender, TCloseAction& action)> OnClose;

  // Shows the form modally and runs messages until ModalResult is set. A
  // form that is already in a modal run is not shown again: mrCancel.
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  bool Modal() const { return modal_; }

  void BringToFront();
  // Sizes the window so that its client area is width x height.
  void SetClientSize(int width, int height);
  int ClientWidth() { return ClientRect().right; }
  int ClientHeight() { return ClientRect().bottom; }
  // Puts the window in the middle of the work area of its monitor.
  void CenterOnScreen();
  // Gives control the keyboard focus: at once when the form is the active
  // window, otherwise when it is activated next (a hidden form, one behind
  // a dialog or another program).
  void FocusControl(TWinControl* control);

  // Runs when the form is about to become visible.
  TNotifyEvent OnShow;

  // Test hook: when set, it runs inside every modal run, once the form is
  // shown (posted to the form, so it runs from the modal loop). It may fill
  // controls, click buttons, fire timers or send messages to other windows.
  static std::function<void(TForm* form)> ModalHook;

  // A key that a form sees before its focused control: Tab, Enter or Esc
  // that the control does not want for itself. True when handled (the key
  // then goes no further). shift holds the shift-state bits of the
  // keys held: 1 Shift, 2 Alt, 4 Ctrl (ssShift, ssAlt, ssCtrl).
  virtual bool DialogKey(WORD key, unsigned shift);
  // A key chord (WM_KEYDOWN / WM_SYSKEYDOWN) offered to the form's menu
  // shortcuts before anything else. True when it ran a command.
  virtual bool IsShortCut(WORD key, unsigned shift);

 protected:
  virtual void DoShow();
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  std::string className_;
  int modalResult_ = mrNone;
  bool modal_ = false;
  HWND pendingFocus_ = nullptr;  // the child that gets the focus on activation
};
