// The program's entry function: one instance per Windows session.
#include <windows.h>

#include "app/FormAbout.h"
#include "app/FormIcon.h"
#include "app/FormMain.h"
#include "app/FormPwd.h"
#include "app/FormSettings.h"
#include "app/SingleInstance.h"
#include "ui/Application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, kInstanceMutexName);
  if (!mutex) return 0;
  const bool createdHere = GetLastError() != ERROR_ALREADY_EXISTS;
  // A second start hands its path over and ends.
  if (!createdHere) {
    HandOverToRunningInstance(ProgramArguments());
    CloseHandle(mutex);
    return 0;
  }
  {
    TApplication app;
    try {
      app.Initialize();
      app.SetTitle("Quorvane Vaultline");
      auto* main = new TFormMain(&app);
      app.SetMainForm(main);
      new TFormIcon(&app);
      new TFormAbout(&app);
      new TFormPwd(&app);
      new TFormSettings(&app);
      app.Run();
    } catch (const std::exception& e) {
      app.ShowException(e);
    } catch (...) {
      app.ShowException(std::runtime_error("unknown error"));
    }
  }
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}
