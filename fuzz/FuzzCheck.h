// The one assertion of the fuzz targets: a broken property ends the run
// with a crash that libFuzzer reports and keeps.
#pragma once

#include <cstdlib>

inline void Check(bool condition) {
  if (!condition) std::abort();
}
