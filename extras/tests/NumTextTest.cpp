#include "extras/NumText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

const long double kInf = std::numeric_limits<long double>::infinity();

bool SameBits(long double a, long double b) {
  // The 80-bit format has 10 significant bytes; the rest is padding.
  return std::memcmp(&a, &b, 10) == 0;
}

// Expected values: the decimal text rounded exactly to the 64-bit mantissa
// (ties to even, subnormals, overflow) with Python's Fraction arithmetic,
// written as hexadecimal literals so no library conversion is involved.
struct ScanCase {
  const char* text;
  long double value;
};
const ScanCase kScanCases[] = {
    {"0.1", 0xCCCCCCCCCCCCCCCDp-67L},
    {"1.5", 0xC000000000000000p-63L},
    {"3.1415927", 0xC90FDAD3F68CB9B7p-62L},
    {"2.7182818", 0xADF8543A13F80489p-62L},
    {"0.03125", 0x8000000000000000p-68L},
    {"123456789012345678901234567890", 0xC77487FB61B9F077p33L},
    // 1 + 2^-64 is halfway: ties to even; a hair either side decides.
    {"1.0000000000000000000542101086242752217003726400434970855712890625", 0x8000000000000000p-63L},
    {"1.0000000000000000000542101086242752217003726400434970855712890626", 0x8000000000000001p-63L},
    {"1.0000000000000000000542101086242752217003726400434970855712890624", 0x8000000000000000p-63L},
    // 1 + 3 * 2^-64 is halfway too, and rounds up to the even neighbour.
    {"1.0000000000000000001626303258728256651011179201304912567138671875", 0x8000000000000002p-63L},
    // Subnormals: the smallest, and the two sides of half of it.
    {"1e-4950", 0x3p-16445L},
    {"3.6451995318824746025e-4951", 0x1p-16445L},
    {"1.8225997659412373012e-4951", 0.0L},
    {"1.8225997659412373013e-4951", 0x1p-16445L},
    // The largest finite value, and just past its rounding boundary.
    {"1.18973149535723176502e4932", 0xFFFFFFFFFFFFFFFFp16320L},
    {"1.18973149535723176508e4932", kInf},
    {"1e4933", kInf},
    {"1e-5000", 0.0L},
    {"4.9406564584124654e-324", 0xFFFFFFFFFFFFFF64p-1138L},
    {"0.000001", 0x8637BD05AF6C69B6p-83L},
    {"9007199254740993", 0x8000000000000400p-10L},
    {"18446744073709551615", 0xFFFFFFFFFFFFFFFFp0L},
    {"18446744073709551617", 0x8000000000000000p1L},
    {"5e-1", 0x8000000000000000p-64L},
    {"1e23", 0xA968163F0A57B400p13L},
};

TEST(NumTextScan, CorrectlyRoundedTable) {
  for (const auto& c : kScanCases) {
    std::size_t used = 0;
    long double v = ScanLeadingFloat(c.text, &used);
    EXPECT_TRUE(SameBits(v, c.value)) << c.text;
    EXPECT_EQ(used, std::strlen(c.text)) << c.text;
  }
}

TEST(NumTextScan, LongestLeadingNumber) {
  struct Case {
    const char* text;
    long double value;
    std::size_t used;
  };
  const Case cases[] = {
      {"", 0, 0},          {"abc", 0, 0},       {"  -2.5xyz", -2.5L, 6}, {"+.5", 0.5L, 3},
      {"5.", 5, 2},        {".", 0, 0},         {"-", 0, 0},             {"1e", 1, 1},
      {"1e+", 1, 1},       {"1E-2", 0.01L, 4},  {"2e3e4", 2000, 3},      {"0x10", 0, 1},
      {"inf", 0, 0},       {"nan", 0, 0},       {"1,5", 1, 1},           {"\t\n7", 7, 3},
      {"1+2", 1, 1},       {"00012", 12, 5},    {"-0", -0.0L, 2},        {"1e999999999", kInf, 11},
  };
  for (const auto& c : cases) {
    std::size_t used = 99;
    long double v = ScanLeadingFloat(c.text, &used);
    EXPECT_TRUE(SameBits(v, c.value)) << c.text << " gave " << static_cast<double>(v);
    EXPECT_EQ(used, c.used) << c.text;
  }
}

TEST(NumTextScan, MatchesTheCLibraryOnRandomDecimals) {
  // strtold of the C locale is correctly rounded on both platforms here;
  // random digit strings with random exponents hit every rounding path.
  std::mt19937 rng(12345);
  for (int i = 0; i < 3000; ++i) {
    std::string s;
    int intDigits = static_cast<int>(rng() % 25);
    int fracDigits = static_cast<int>(rng() % 25);
    if (intDigits + fracDigits == 0) intDigits = 1;
    for (int k = 0; k < intDigits; ++k) s += static_cast<char>('0' + rng() % 10);
    if (fracDigits > 0) {
      s += '.';
      for (int k = 0; k < fracDigits; ++k) s += static_cast<char>('0' + rng() % 10);
    }
    int range = i % 3 == 0 ? 9900 : 60;
    s += "e" + std::to_string(static_cast<int>(rng() % static_cast<unsigned>(range)) - range / 2);
    long double expected = std::strtold(s.c_str(), nullptr);
    long double v = ScanLeadingFloat(s);
    ASSERT_TRUE(SameBits(v, expected)) << s;
  }
}

TEST(NumTextStrict, WholeTextWithSeparator) {
  long double v = 1;
  EXPECT_TRUE(TryTextToFloat("1.5", ".", v));
  EXPECT_EQ(v, 1.5L);
  EXPECT_TRUE(TryTextToFloat(" -0,25 ", ",", v));
  EXPECT_EQ(v, -0.25L);
  EXPECT_TRUE(TryTextToFloat("1E15", ".", v));
  EXPECT_EQ(v, 1e15L);
  EXPECT_TRUE(TryTextToFloat("2::5", "::", v));
  EXPECT_EQ(v, 2.5L);
  for (const char* bad : {"", "1.5", "1,5x", "x", "1e", "--1", "0x10", "inf", "1 2"}) {
    EXPECT_FALSE(TryTextToFloat(bad, ",", v)) << bad;
    EXPECT_EQ(v, 0.0L);
  }
}

TEST(NumTextFixed, DigitsLikeFcvt) {
  // Expected: the exact binary value rounded half away from zero, with
  // Python's Decimal.
  struct Case {
    double v;
    int ndigits;
    const char* digits;
    int point;
    bool negative;
  };
  const Case cases[] = {
      {0.5, 0, "1", 1, false},
      {2.5, 0, "3", 1, false},
      {0.125, 2, "13", 0, false},
      {1.005, 2, "100", 1, false},  // 1.00499999999999989...
      {100.0, 8, "10000000000", 3, false},
      {0.001234, 8, "123400", -2, false},
      {-0.25, 8, "25000000", 0, true},
      {0.0, 8, "", 0, false},
      {1e-09, 8, "", 0, false},
      {-1e-09, 8, "", 0, true},
      {9.995, 2, "999", 1, false},
      {9.9951, 2, "1000", 2, false},
      {0.06, 1, "1", 0, false},
      {3.141592653589793, 8, "314159265", 1, false},
      {1e+300, 2,
       "10000000000000000525047602552044202487044685811081591549158541155118024579889081957863713750804"
       "47864043704443832883878176942523235360430575644792184786706982848387200926575803737830233794788"
       "09005936895323497079994508111903896764088007465274278014249457925878882005684283811566947219638"
       "686545940054016000",
       301, false},
      {5e-324, 30, "", 0, false},
      {123456.789, 0, "123457", 6, false},
      {0.1, 20, "10000000000000000555", 0, false},
  };
  for (const auto& c : cases) {
    TFixedDigits f = FloatToFixedDigits(c.v, c.ndigits);
    EXPECT_EQ(f.Digits, c.digits) << c.v << " " << c.ndigits;
    EXPECT_EQ(f.PointPos, c.point) << c.v << " " << c.ndigits;
    EXPECT_EQ(f.Negative, c.negative) << c.v;
  }
}

TEST(NumTextGeneral, FifteenDigitGeneralFormat) {
  struct Case {
    long double v;
    const char* sep;
    const char* text;
  };
  const Case cases[] = {
      {1.5L, ".", "1.5"},
      {0.1L, ".", "0.1"},
      {100, ".", "100"},
      {0, ".", "0"},
      {-0.25L, ".", "-0.25"},
      {-0.25L, ",", "-0,25"},
      {1.0L / 3, ".", "0.333333333333333"},
      {2.0L / 3, ".", "0.666666666666667"},
      {123456789012345.0L, ".", "123456789012345"},
      {999999999999999.9L, ".", "1E15"},
      {1e15L, ".", "1E15"},
      {1e20L, ".", "1E20"},
      {0.00001L, ".", "0.00001"},
      {0.000001L, ".", "1E-6"},
      {2.5e-7L, ",", "2,5E-7"},
      {-1.25e300L, ".", "-1.25E300"},
      {3.1415927L, ".", "3.1415927"},
      {kInf, ".", "INF"},
      {-kInf, ".", "-INF"},
      {std::numeric_limits<long double>::quiet_NaN(), ".", "NAN"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToGeneralText(c.v, 15, c.sep), c.text);
}

TEST(NumTextGeneral, TwentyOneDigitsRoundTripExactly) {
  std::mt19937_64 rng(777);
  for (int i = 0; i < 2000; ++i) {
    std::uint64_t mant = rng() | (std::uint64_t{1} << 63);
    int exp = static_cast<int>(rng() % 400) - 200;
    if (i % 50 == 0) exp = static_cast<int>(rng() % 32000) - 16000;
    long double v = std::ldexp(static_cast<long double>(mant), exp - 63);
    std::string text = FloatToGeneralText(v, 21, ".");
    long double back = 0;
    ASSERT_TRUE(TryTextToFloat(text, ".", back)) << text;
    ASSERT_TRUE(SameBits(back, v)) << text;
  }
}

TEST(NumTextIntegral, ExactDigits) {
  EXPECT_EQ(FloatIntegralDigits(0), "0");
  EXPECT_EQ(FloatIntegralDigits(0.999L), "0");
  EXPECT_EQ(FloatIntegralDigits(-1500.7L), "1500");
  EXPECT_EQ(FloatIntegralDigits(18446744073709551615.0L), "18446744073709551615");
  EXPECT_EQ(FloatIntegralDigits(1e25L), "10000000000000000000000000");
}

}  // namespace
