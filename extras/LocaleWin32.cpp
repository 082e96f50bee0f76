// The user's locale on Windows: LOCALE_SDECIMAL of the user default locale.
#include <windows.h>

#include "extras/LocaleFormat.h"

char LocaleDecimalSeparator() {
  char buf[8] = {};
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, static_cast<int>(sizeof buf));
  // n counts the terminating zero; only a one-character separator is usable.
  if (n == 2 && buf[0] != '\0') return buf[0];
  return '.';
}
