#include "extras/PlotMessages.h"

// No application object and no message queue here.
void ProcessApplicationMessages() {}
