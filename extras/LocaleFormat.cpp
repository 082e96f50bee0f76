#include "extras/LocaleFormat.h"

namespace {
char& CurrentSeparator() {
  static char separator = LocaleDecimalSeparator();
  return separator;
}
}  // namespace

char DecimalSeparator() { return CurrentSeparator(); }

void SetDecimalSeparator(char separator) { CurrentSeparator() = separator; }
