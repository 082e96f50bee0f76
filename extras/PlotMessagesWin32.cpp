#include "extras/PlotMessages.h"

#include "ui/Application.h"

void ProcessApplicationMessages() {
  if (Application) Application->ProcessMessages();
}
