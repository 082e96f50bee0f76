// The program's entry function.
#include <windows.h>

#include "app/FormMain.h"
#include "ui/Application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int exitCode = 0;
  {
    TApplication app;
    app.Initialize();
    app.SetTitle("Quorvane Vaultline");
    auto* form = new TFormMain(&app);
    app.SetMainForm(form);
    app.Run();
    exitCode = app.ExitCode();
  }
  return exitCode;
}
