// The seams of the vault application: everything it reads from the world
// that tests must control. The defaults ask the system; tests replace
// members of AppSeams() before the code under test runs. (Message boxes,
// modal runs and file pickers have their hooks in ui/: MessageBoxHook,
// TForm::ModalHook and TOpenDialog::ExecuteHook.)
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/model/PasswordGenerator.h"

struct TAppSeams {
  // Milliseconds since 1970 UTC, never negative.
  std::function<std::int64_t()> UtcNowMs;
  // The 32-bit millisecond tick count (wraps like GetTickCount).
  std::function<std::uint32_t()> TickCount;
  // Milliseconds since the user's last input; 0 when unknown.
  std::function<std::uint32_t()> IdleMilliseconds;
  // Waits (the progress bar's last step, typing pauses).
  std::function<void(std::uint32_t ms)> Sleep;
  // The cryptographic random source of the password generator.
  TRandomSource Random;
  // The identity of this client in lock files.
  std::function<std::string()> ComputerName;
  std::function<std::string()> UserName;
  // Opens a web address in the browser; false when it could not.
  std::function<bool(const std::string& url)> OpenUrl;
  // Runs at every progress report while keys are derived on the main
  // thread, before its messages are looked at; unset by default (tests put
  // messages in the way of a running derivation here).
  std::function<void()> DuringEngineWait;
};

// The process's seams, set to the system's defaults on first use.
TAppSeams& AppSeams();
// Puts every seam back to the system's default.
void ResetAppSeams();
