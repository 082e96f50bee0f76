// Fuzzes the expression evaluator: any text as expression (first line) and
// as the value of x (second line), built, evaluated and built once more on
// its normalised form. Along the way the number conversions are held to
// their promises: the leading number read from the input equals what the C
// library's correctly rounded strtold reads there, and 21 significant digits
// of any value read back to the very same value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/Exceptions.h"
#include "extras/LocaleFormat.h"
#include "extras/NumText.h"
#include "extras/QParser.h"

namespace {

bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

void CheckNumberConversions(const std::string& text) {
  std::size_t used = 0;
  const long double v = ScanLeadingFloat(text, &used);
  if (used == 0) return;
  // Only plain decimals: strtold also reads hexadecimal, "inf" and "nan".
  const std::string number = text.substr(0, used);
  if (number.find_first_not_of("0123456789.eE+- \t\n\v\f\r") != std::string::npos) return;
  char* end = nullptr;
  const long double expected = std::strtold(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !SameBits(v, expected)) std::abort();

  if (std::isfinite(v)) {
    // (Zero is written "0" whatever its sign.)
    long double back = 0;
    if (!TryTextToFloat(FloatToGeneralText(v, 21, "."), ".", back) || !(v == 0 ? back == 0 : SameBits(back, v)))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t nl = input.find('\n');
  const std::string expression = input.substr(0, nl);
  const std::string x = nl == std::string::npos ? std::string() : input.substr(nl + 1);

  SetDecimalSeparator('.');
  CheckNumberConversions(expression);
  CheckNumberConversions(x);

  TQParser parser;
  parser.SetX(x);
  parser.SetPrecision(static_cast<int>(size % 40) - 5);
  parser.SetConvertAllColonsAndDots(size % 3 == 0);
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 0) parser.SetExpression(expression);  // the second pass builds the normalised text
    parser.CreateTree();
    try {
      parser.Evaluate();
    } catch (const Exception&) {
    }
  }
  return 0;
}
