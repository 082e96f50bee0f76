// TMessageWindow: a hidden window that hands every message to a function.
// Timers, the clipboard and the tray icon use one to receive their messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/WinControl.h"

class TMessageWindow : public TWinControl {
 public:
  // messageOnly: a message-only window (HWND_MESSAGE), which broadcasts do
  // not reach; otherwise a hidden top-level window.
  TMessageWindow(TComponent* owner, std::string className, bool messageOnly)
      : TWinControl(owner), className_(std::move(className)), messageOnly_(messageOnly) {}

  // Return true when handled, with the window's answer in result.
  std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)> OnMessage;

 protected:
  void CreateParams(TCreateParams& params) override {
    params.WinClassName = className_;
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOOLWINDOW;
    params.X = params.Y = params.Width = params.Height = 0;
    params.WndParent = messageOnly_ ? HWND_MESSAGE : nullptr;
  }
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    LRESULT result = 0;
    if (OnMessage && OnMessage(msg, wParam, lParam, result)) return result;
    return TWinControl::WndProc(msg, wParam, lParam);
  }

 private:
  std::string className_;
  bool messageOnly_;
};
