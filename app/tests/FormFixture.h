// The fixture the dialog tests share: an application with the main window
// (its timers stopped, so the start-up work does not read the settings file
// beside the program), every message box answered with OK and recorded, and
// a modal run that a test drives from inside; and Esc pressed during a
// running key derivation.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/AppSeams.h"
#include "app/FormMain.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

struct FormFixture : ::testing::Test {
  TApplication app;
  TFormMain* main = nullptr;
  std::vector<TMessageBoxCall> boxes;

  void SetUp() override {
    app.Initialize();
    app.SetTitle("Quorvane Vaultline");
    MessageBoxHook = [this](const TMessageBoxCall& c) {
      boxes.push_back(c);
      return IDOK;
    };
    main = new TFormMain(&app);
    app.SetMainForm(main);
    // The start-up work reads the settings file beside the program: not here.
    main->TimerStartup->SetEnabled(false);
    main->TimerUpdateUI->SetEnabled(false);
    main->TimerTray->SetEnabled(false);
  }
  void TearDown() override {
    TForm::ModalHook = nullptr;
    MessageBoxHook = nullptr;
    ResetAppSeams();
  }

  // Shows form modally; hook runs inside the modal run. A run that the
  // hook leaves open ends after 20 s with mrAbort and a failure.
  int RunModal(TForm* form, std::function<void()> hook) {
    TTimer watchdog(nullptr);
    watchdog.SetEnabled(false);
    watchdog.SetInterval(20000);
    watchdog.OnTimer = [form, &watchdog](TObject*) {
      watchdog.SetEnabled(false);
      ADD_FAILURE() << "the modal run of " << form->Name() << " did not end";
      form->SetModalResult(mrAbort);
    };
    TForm::ModalHook = [hook, &watchdog](TForm*) {
      TForm::ModalHook = nullptr;  // nested runs get no hook
      watchdog.SetEnabled(true);
      hook();
    };
    const int result = form->ShowModal();
    TForm::ModalHook = nullptr;
    return result;
  }
};

// Far less than the minutes a key derivation at the largest count takes: a
// wait that ignored Esc could not end within it.
inline constexpr double kFarFromMinutes = 20.0;

// Esc pressed at the third report of a running derivation that counts (all
// of them unless counts says otherwise); the seconds from the press on are
// told by SecondsSincePress.
struct TEscDuringWait {
  using Clock = std::chrono::steady_clock;
  int reports = 0;
  Clock::time_point pressed;
  std::function<void()> atFirstReport;
  std::function<bool()> counts;
  void Install(HWND window) {
    AppSeams().DuringEngineWait = [this, window] {
      if (counts && !counts()) return;
      ++reports;
      if (reports == 1 && atFirstReport) atFirstReport();
      if (reports == 3) {
        pressed = Clock::now();
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
      }
    };
  }
  double SecondsSincePress() const { return std::chrono::duration<double>(Clock::now() - pressed).count(); }
};
