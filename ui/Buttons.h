// Check boxes, radio buttons and group boxes. Check boxes and radio buttons
// are the settings store's checkables: their checked state can be pushed to
// and popped from it.
#pragma once

#include <windows.h>

#include <string>

#include "settings/Checkable.h"
#include "ui/StdCtrls.h"

class TCheckBox : public TStdControl, public TCheckable {
 public:
  explicit TCheckBox(TComponent* owner);

  std::string Caption() { return Text(); }
  void SetCaption(const std::string& caption) { SetText(caption); }
  bool Checked() const override { return checked_; }
  // A change runs OnClick, as a click does.
  void SetChecked(bool value) override;

  TNotifyEvent OnClick;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  bool checked_ = false;
};

// A radio button. Checking it unchecks the other radio buttons of the same
// parent control (the group).
class TRadioButton : public TStdControl, public TCheckable {
 public:
  explicit TRadioButton(TComponent* owner);
  ~TRadioButton() override;

  std::string Caption() { return Text(); }
  void SetCaption(const std::string& caption) { SetText(caption); }
  bool Checked() const override { return checked_; }
  // Checking unchecks the siblings and runs OnClick.
  void SetChecked(bool value) override;

  TNotifyEvent OnClick;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  bool ReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void ShowState();
  bool checked_ = false;
};

// A frame with a caption around other controls. The framed controls are
// its siblings (same parent, created after it so they lie above it); a
// group box does not repaint the background of children of its own.
class TGroupBox : public TStdControl {
 public:
  explicit TGroupBox(TComponent* owner);
  std::string Caption() { return Text(); }
  void SetCaption(const std::string& caption) { SetText(caption); }

 protected:
  void CreateParams(TCreateParams& params) override;
};
