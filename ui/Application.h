// TApplication: the program's message loop, its main form and its title.
#pragma once

#include <windows.h>

#include <string>

#include "base/Component.h"

class TForm;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  void Initialize();
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  TForm* MainForm() const { return mainForm_; }
  void SetMainForm(TForm* form) { mainForm_ = form; }

  // Runs the message loop until Terminate or WM_QUIT.
  void Run();
  // Waits for one message and dispatches it.
  void HandleMessage();
  // Dispatches every waiting message and returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }
  int ExitCode() const { return exitCode_; }

  // Shows an exception that no handler took care of; the program carries on.
  void ShowException(const std::exception& e);

 private:
  bool ProcessMessage(MSG& msg);

  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  int exitCode_ = 0;
};

// The one application object of the process.
extern TApplication* Application;
