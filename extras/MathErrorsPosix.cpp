// The C library here reports math errors only through errno and the
// floating-point flags, which nothing reads: there is no handler to install.
#include "extras/MathErrors.h"

void InstallMathErrorHandlers() {}
