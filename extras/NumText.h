// Decimal text and binary floating point, in both directions, without the C
// library: no locale, no platform differences. Reading is correctly rounded
// to long double; writing works from the exact binary value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest leading number of s, read like the run-time library's _atold:
// optional white space, an optional sign, digits with an optional "." and
// fraction (at least one digit in all), then an optional exponent "e" or "E"
// with an optional sign and at least one digit. No hexadecimal, "inf" or
// "nan". Gives 0 when s does not start with a number. *used, when given,
// receives the number of characters read (0 when there was no number).
long double ScanLeadingFloat(std::string_view s, std::size_t* used = nullptr);

// The whole of s as one number with sep as the decimal separator: optional
// blanks, an optional sign, digits with an optional separator and fraction
// (at least one digit), an optional exponent, optional blanks. False for
// anything else; value is then 0.
bool TryTextToFloat(std::string_view s, std::string_view sep, long double& value);

// The fixed-point digits of v rounded to ndigits places after the point
// (halves away from zero), in the shape of the run-time library's _fcvt:
// Digits holds the rounded value times 10^ndigits without leading zeros
// ("" when that is 0), PointPos says where the point goes (it may be 0 or
// negative: the value is 0.000ddd with -PointPos zeros), Negative is the
// sign of v. Not for infinities or NaN (Digits is then empty).
struct TFixedDigits {
  std::string Digits;
  int PointPos = 0;
  bool Negative = false;
};
TFixedDigits FloatToFixedDigits(double v, int ndigits);

// v in the general format of the class library's float-to-text conversion:
// rounded to precision significant digits, trailing zeros dropped, in fixed
// notation when the value has at most precision digits before the point and
// is at least 0.00001 in magnitude, otherwise as d[.ddd]E[-]x ("1E20",
// "2.5E-7"). Zero is "0"; infinities are "INF" and "-INF", NaN is "NAN".
std::string FloatToGeneralText(long double v, int precision, std::string_view sep);

// The exact decimal digits of the integral part of |v| ("0" when |v| < 1).
// Not for infinities or NaN.
std::string FloatIntegralDigits(long double v);
