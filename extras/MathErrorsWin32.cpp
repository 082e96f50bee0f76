// The mingw-w64 run-time library passes math errors to a user handler when
// one is installed; ours reports each of them as handled.
#include <math.h>

#include "extras/MathErrors.h"

namespace {
int __cdecl ReportHandled(struct _exception*) { return 1; }
}  // namespace

void InstallMathErrorHandlers() {
  static const bool installed = [] {
    __mingw_setusermatherr(ReportHandled);
    return true;
  }();
  (void)installed;
}
