// The user's locale on POSIX systems: the numeric category that the
// environment (LC_ALL, LC_NUMERIC, LANG) names, when it is installed.
#include <langinfo.h>
#include <locale.h>

#include "extras/LocaleFormat.h"

char LocaleDecimalSeparator() {
  char result = '.';
  locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (loc != static_cast<locale_t>(0)) {
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    // One-byte separators only; a multi-byte one (UTF-8) keeps ".".
    if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') result = radix[0];
    freelocale(loc);
  }
  return result;
}
