// The run-time library's math-error handling for the expression evaluators:
// every domain, range or singularity error of a library math function counts
// as handled, so the function quietly returns its default result (NaN, an
// infinity or 0) and prints nothing. The evaluators make their own checks.
#pragma once

// Installs the handlers once per process; later calls do nothing.
void InstallMathErrorHandlers();
