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

  // Shows the form modally and runs messages until ModalResult is set.
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  bool Modal() const { return modal_; }

  void BringToFront();

 protected:
  void CreateParams(TCreateParams& params) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  std::string className_;
  int modalResult_ = mrNone;
  bool modal_ = false;
};
