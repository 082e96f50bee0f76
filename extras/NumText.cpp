#include "extras/NumText.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

static_assert(LDBL_MANT_DIG == 64, "the conversions assume the 80-bit extended format");

namespace {

// Extended format limits: the exponent of the leading bit of a finite value
// is at most kMaxExp; the smallest subnormal is 2^kMinUlp.
constexpr long kMaxExp = 16383;
constexpr long kMinUlp = -16445;

// Decimal digits kept when reading; dropped digits only count as "something
// non-zero follows". The halfway points between extended values have fewer
// significant digits than this, so the rounding stays exact.
constexpr std::size_t kMaxDigits = 20000;

// An unsigned integer of any size, little-endian 32-bit limbs, no leading
// zero limbs. Just the operations the conversions need.
class BigNat {
 public:
  BigNat() = default;
  explicit BigNat(std::uint64_t v) {
    while (v != 0) {
      w_.push_back(static_cast<std::uint32_t>(v));
      v >>= 32;
    }
  }

  bool IsZero() const { return w_.empty(); }

  void MulAdd(std::uint32_t m, std::uint32_t add) {
    std::uint64_t carry = add;
    for (auto& limb : w_) {
      std::uint64_t t = static_cast<std::uint64_t>(limb) * m + carry;
      limb = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    if (carry != 0) w_.push_back(static_cast<std::uint32_t>(carry));
  }

  // Divides in place; returns the remainder.
  std::uint32_t DivSmall(std::uint32_t d) {
    std::uint64_t rem = 0;
    for (std::size_t i = w_.size(); i-- > 0;) {
      std::uint64_t cur = (rem << 32) | w_[i];
      w_[i] = static_cast<std::uint32_t>(cur / d);
      rem = cur % d;
    }
    Trim();
    return static_cast<std::uint32_t>(rem);
  }

  void MulPow5(long n) {
    constexpr std::uint32_t k5pow13 = 1220703125u;  // 5^13
    for (; n >= 13; n -= 13) MulAdd(k5pow13, 0);
    std::uint32_t rest = 1;
    for (; n > 0; --n) rest *= 5;
    if (rest != 1) MulAdd(rest, 0);
  }

  void ShiftLeft(std::size_t bits) {
    if (IsZero() || bits == 0) return;
    std::size_t limbs = bits / 32, b = bits % 32;
    if (b != 0) {
      std::uint32_t carry = 0;
      for (auto& limb : w_) {
        std::uint32_t next = limb >> (32 - b);
        limb = (limb << b) | carry;
        carry = next;
      }
      if (carry != 0) w_.push_back(carry);
    }
    w_.insert(w_.begin(), limbs, 0u);
  }

  void ShiftRight1() {
    for (std::size_t i = 0; i < w_.size(); ++i) {
      w_[i] >>= 1;
      if (i + 1 < w_.size()) w_[i] |= w_[i + 1] << 31;
    }
    Trim();
  }

  std::size_t BitLength() const {
    if (w_.empty()) return 0;
    std::uint32_t top = w_.back();
    std::size_t n = 0;
    while (top != 0) {
      ++n;
      top >>= 1;
    }
    return (w_.size() - 1) * 32 + n;
  }

  bool Bit(std::size_t i) const {
    std::size_t limb = i / 32;
    return limb < w_.size() && ((w_[limb] >> (i % 32)) & 1u) != 0;
  }

  void SetBit(std::size_t i) {
    std::size_t limb = i / 32;
    if (limb >= w_.size()) w_.resize(limb + 1, 0u);
    w_[limb] |= 1u << (i % 32);
  }

  // Whether any of the bits below position n is set.
  bool AnyBitBelow(std::size_t n) const {
    std::size_t full = n / 32;
    for (std::size_t i = 0; i < full && i < w_.size(); ++i)
      if (w_[i] != 0) return true;
    if (full < w_.size() && n % 32 != 0) {
      std::uint32_t mask = (1u << (n % 32)) - 1u;
      if ((w_[full] & mask) != 0) return true;
    }
    return false;
  }

  // Up to 64 bits starting at bit position from.
  std::uint64_t Bits64(std::size_t from) const {
    std::uint64_t r = 0;
    for (std::size_t i = 0; i < 64; ++i)
      if (Bit(from + i)) r |= std::uint64_t{1} << i;
    return r;
  }

  static int Compare(const BigNat& a, const BigNat& b) {
    if (a.w_.size() != b.w_.size()) return a.w_.size() < b.w_.size() ? -1 : 1;
    for (std::size_t i = a.w_.size(); i-- > 0;)
      if (a.w_[i] != b.w_[i]) return a.w_[i] < b.w_[i] ? -1 : 1;
    return 0;
  }

  // *this -= b, where *this >= b.
  void Sub(const BigNat& b) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < w_.size(); ++i) {
      std::int64_t t = static_cast<std::int64_t>(w_[i]) - borrow -
                       (i < b.w_.size() ? static_cast<std::int64_t>(b.w_[i]) : 0);
      borrow = t < 0 ? 1 : 0;
      w_[i] = static_cast<std::uint32_t>(t + (borrow << 32));
    }
    Trim();
  }

  // Decimal digits, most significant first; "" for zero.
  std::string ToDecimal() const {
    BigNat t = *this;
    std::vector<std::uint32_t> chunks;
    while (!t.IsZero()) chunks.push_back(t.DivSmall(1000000000u));
    std::string s;
    for (std::size_t i = chunks.size(); i-- > 0;) {
      std::string part = std::to_string(chunks[i]);
      if (i + 1 != chunks.size()) s.append(9 - part.size(), '0');
      s += part;
    }
    return s;
  }

 private:
  void Trim() {
    while (!w_.empty() && w_.back() == 0) w_.pop_back();
  }

  std::vector<std::uint32_t> w_;
};

// Rounds (m + a little, when sticky) * 2^b to the nearest extended value,
// ties to even, including the subnormal range and overflow to infinity.
long double RoundToExtended(const BigNat& m, bool sticky, long b, bool negative) {
  const long double sign = negative ? -1.0L : 1.0L;
  if (m.IsZero()) return sign * 0.0L;
  const long len = static_cast<long>(m.BitLength());
  const long top = len - 1 + b;  // exponent of the leading bit
  if (top > kMaxExp) return sign * std::numeric_limits<long double>::infinity();
  long ulp = top - 63 > kMinUlp ? top - 63 : kMinUlp;
  const long shift = ulp - b;  // bits of m below the unit in the last place
  std::uint64_t mant;
  if (shift <= 0) {
    mant = m.Bits64(0) << (-shift);  // exact: at most 64 bits in all
  } else {
    mant = m.Bits64(static_cast<std::size_t>(shift));
    bool half = m.Bit(static_cast<std::size_t>(shift - 1));
    bool rest = sticky || m.AnyBitBelow(static_cast<std::size_t>(shift - 1));
    if (half && (rest || (mant & 1u) != 0)) {
      ++mant;
      if (mant == 0) {  // carried out of 64 bits
        mant = std::uint64_t{1} << 63;
        ++ulp;
      }
    }
  }
  if (mant == 0) return sign * 0.0L;
  if (ulp + 63 > kMaxExp && (mant >> 63) != 0)
    return sign * std::numeric_limits<long double>::infinity();
  return sign * std::ldexp(static_cast<long double>(mant), static_cast<int>(ulp));
}

// A decimal number as read: value = digits * 10^exp10 (plus a little when
// sticky), digits without leading zeros.
struct DecimalParts {
  std::string digits;
  long exp10 = 0;
  bool negative = false;
  bool sticky = false;
};

long double DecimalToExtended(DecimalParts p) {
  if (p.digits.empty()) return p.negative ? -0.0L : 0.0L;
  // Decimal position of the leading digit: the value lies in
  // [10^(lead-1), 10^lead). Far outside the extended range the answer is
  // plain; this also bounds the sizes below.
  const long lead = static_cast<long>(p.digits.size()) + p.exp10;
  if (lead > 4934) return (p.negative ? -1.0L : 1.0L) * std::numeric_limits<long double>::infinity();
  if (lead < -4952) return p.negative ? -0.0L : 0.0L;
  if (p.sticky) {
    // A digit 1 after the kept ones stands for "more follows"; the kept
    // digits are many enough that no halfway point lies in between.
    p.digits.push_back('1');
    --p.exp10;
  }
  BigNat d;
  for (std::size_t i = 0; i < p.digits.size();) {
    std::uint32_t chunk = 0, scale = 1;
    for (int k = 0; k < 9 && i < p.digits.size(); ++k, ++i) {
      chunk = chunk * 10 + static_cast<std::uint32_t>(p.digits[i] - '0');
      scale *= 10;
    }
    d.MulAdd(scale, chunk);
  }
  if (p.exp10 >= 0) {
    d.MulPow5(p.exp10);  // digits * 10^e = (digits * 5^e) * 2^e
    return RoundToExtended(d, false, p.exp10, p.negative);
  }
  // digits / 10^m = (digits * 2^s / 5^m) * 2^(-m-s), with s chosen so that
  // the quotient has at least 66 bits; the remainder only matters as sticky.
  const long m = -p.exp10;
  BigNat den(1);
  den.MulPow5(m);
  long s = static_cast<long>(den.BitLength()) - static_cast<long>(d.BitLength()) + 66;
  if (s < 0) s = 0;
  d.ShiftLeft(static_cast<std::size_t>(s));
  BigNat q;
  long qbits = static_cast<long>(d.BitLength()) - static_cast<long>(den.BitLength());
  if (qbits >= 0) {
    BigNat shifted = den;
    shifted.ShiftLeft(static_cast<std::size_t>(qbits));
    for (long i = qbits; i >= 0; --i) {
      if (BigNat::Compare(d, shifted) >= 0) {
        d.Sub(shifted);
        q.SetBit(static_cast<std::size_t>(i));
      }
      shifted.ShiftRight1();
    }
  }
  return RoundToExtended(q, !d.IsZero(), -m - s, p.negative);
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads [sign] mantissa [exponent] at pos, with sep as the decimal
// separator. Returns false when there is no digit in the mantissa; on
// success pos is just past the number.
bool ScanNumber(std::string_view s, std::size_t& pos, std::string_view sep, DecimalParts& out) {
  std::size_t i = pos;
  out = DecimalParts{};
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    out.negative = s[i] == '-';
    ++i;
  }
  bool anyDigit = false;
  long pointShift = 0;  // digits after the separator
  auto take = [&](char c, bool fraction) {
    anyDigit = true;
    if (out.digits.empty() && c == '0') {
      if (fraction) ++pointShift;
      return;
    }
    if (out.digits.size() < kMaxDigits) {
      out.digits.push_back(c);
      if (fraction) ++pointShift;
    } else {
      if (c != '0') out.sticky = true;
      if (!fraction) --pointShift;  // an integer digit dropped: scale up
    }
  };
  while (i < s.size() && IsDigit(s[i])) take(s[i++], false);
  if (!sep.empty() && s.substr(i, sep.size()) == sep) {
    std::size_t j = i + sep.size();
    if (anyDigit || (j < s.size() && IsDigit(s[j]))) {
      i = j;
      while (i < s.size() && IsDigit(s[i])) take(s[i++], true);
    }
  }
  if (!anyDigit) return false;
  long exp10 = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    bool negExp = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      negExp = s[j] == '-';
      ++j;
    }
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) {
        if (exp10 < 1000000) exp10 = exp10 * 10 + (s[j] - '0');
        ++j;
      }
      if (negExp) exp10 = -exp10;
      i = j;
    }
  }
  out.exp10 = exp10 - pointShift;
  pos = i;
  return true;
}

// The exact value of mant * 2^b as significant digits and the position of
// the point: value = 0.DIGITS * 10^pointPos. Trailing zeros are dropped.
void ExactDecimal(std::uint64_t mant, long b, std::string& digits, int& pointPos) {
  digits.clear();
  pointPos = 0;
  if (mant == 0) return;
  BigNat m(mant);
  long fracDigits = 0;
  if (b >= 0) {
    m.ShiftLeft(static_cast<std::size_t>(b));
  } else {
    m.MulPow5(-b);  // mant * 2^b = mant * 5^-b / 10^-b
    fracDigits = -b;
  }
  digits = m.ToDecimal();
  pointPos = static_cast<int>(static_cast<long>(digits.size()) - fracDigits);
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
}

void Decompose(long double v, std::uint64_t& mant, long& b) {
  int e = 0;
  long double f = std::frexp(std::fabs(v), &e);  // [0.5, 1)
  mant = static_cast<std::uint64_t>(std::ldexp(f, 64));
  b = static_cast<long>(e) - 64;
}

// The exact decimal digits of |v| (finite, not zero), as ExactDecimal gives
// them.
void ExactDigitsOf(long double v, std::string& digits, int& pointPos) {
  std::uint64_t mant;
  long b;
  Decompose(v, mant, b);
  ExactDecimal(mant, b, digits, pointPos);
}

// Keeps the first keep digits, rounding halves away from zero. A carry may
// lengthen the number (999 -> 1000), which moves the point one place right.
void RoundDigits(std::string& digits, int& pointPos, long keep) {
  if (keep >= static_cast<long>(digits.size())) return;
  if (keep < 0) {
    digits.clear();
    return;
  }
  bool up = digits[static_cast<std::size_t>(keep)] >= '5';
  digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(digits.begin(), '1');
      ++pointPos;
    } else {
      ++digits[i - 1];
    }
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
}

}  // namespace

long double ScanLeadingFloat(std::string_view s, std::size_t* used) {
  std::size_t pos = 0;
  while (pos < s.size() && IsSpace(s[pos])) ++pos;
  DecimalParts parts;
  if (!ScanNumber(s, pos, ".", parts)) {
    if (used) *used = 0;
    return 0.0L;
  }
  if (used) *used = pos;
  return DecimalToExtended(parts);
}

bool TryTextToFloat(std::string_view s, std::string_view sep, long double& value) {
  value = 0.0L;
  std::size_t pos = 0;
  while (pos < s.size() && s[pos] == ' ') ++pos;
  DecimalParts parts;
  if (!ScanNumber(s, pos, sep, parts)) return false;
  while (pos < s.size() && s[pos] == ' ') ++pos;
  if (pos != s.size()) return false;
  value = DecimalToExtended(parts);
  return true;
}

TFixedDigits FloatToFixedDigits(double v, int ndigits) {
  TFixedDigits r;
  r.Negative = std::signbit(v);
  if (!std::isfinite(v) || v == 0.0) return r;
  std::string digits;
  int pointPos;
  ExactDigitsOf(v, digits, pointPos);
  RoundDigits(digits, pointPos, static_cast<long>(pointPos) + ndigits);
  if (digits.empty()) return r;
  // The rounded value times 10^ndigits, as an integer.
  long total = static_cast<long>(pointPos) + ndigits;
  if (total > static_cast<long>(digits.size())) digits.append(static_cast<std::size_t>(total) - digits.size(), '0');
  r.Digits = digits;
  r.PointPos = pointPos;
  return r;
}

std::string FloatToGeneralText(long double v, int precision, std::string_view sep) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0.0L) return "0";
  if (precision < 1) precision = 1;
  std::string digits;
  int p;
  ExactDigitsOf(v, digits, p);
  RoundDigits(digits, p, precision);
  std::string out = v < 0 ? "-" : "";
  if (p >= -4 && p <= precision) {
    if (p <= 0) {
      out += "0";
      out += sep;
      out.append(static_cast<std::size_t>(-p), '0');
      out += digits;
    } else {
      std::string intPart = digits.substr(0, static_cast<std::size_t>(p) < digits.size() ? static_cast<std::size_t>(p) : digits.size());
      intPart.append(static_cast<std::size_t>(p) - intPart.size(), '0');
      out += intPart;
      if (digits.size() > static_cast<std::size_t>(p)) {
        out += sep;
        out += digits.substr(static_cast<std::size_t>(p));
      }
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += sep;
      out += digits.substr(1);
    }
    out += "E";
    out += std::to_string(p - 1);
  }
  return out;
}

std::string FloatIntegralDigits(long double v) {
  v = std::trunc(std::fabs(v));
  if (!std::isfinite(v) || v == 0.0L) return "0";
  std::string digits;
  int p;
  ExactDigitsOf(v, digits, p);
  digits.append(static_cast<std::size_t>(p) - digits.size(), '0');
  return digits;
}
