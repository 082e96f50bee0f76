#include "extras/QParser.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "extras/LocaleFormat.h"
#include "extras/NumText.h"
#include "extras/QMidi.h"

namespace {

// Every test pins the class library's separator to "." and starts from a
// fresh tree (the tree is one per process).
class QParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = DecimalSeparator();
    SetDecimalSeparator('.');
  }
  void TearDown() override { SetDecimalSeparator(saved_); }

  // Builds expr and evaluates it; fails the test when the build fails.
  long double Value(const std::string& expr) {
    p.SetExpression(expr);
    EXPECT_TRUE(p.CreateTree()) << expr;
    return p.Evaluate();
  }
  std::string Text(const std::string& expr) {
    Value(expr);
    return p.ErgebnisString();
  }
  std::string ErrorOf(const std::string& expr) {
    p.SetExpression(expr);
    p.CreateTree();
    try {
      p.Evaluate();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "(no error)";
  }

  TQParser p;
  char saved_ = '.';
};

// Values computed with python3's float arithmetic from the Python
// expression beside each one (fmod for the remainder, ** for powers).
struct ValueCase {
  const char* expr;
  const char* python;
  long double value;
};
const ValueCase kValues[] = {
    // Chains of one level associate to the left.
    {"1/2-3/4", "1/2-3/4", -0.25L},
    {"2/4+3/4", "2/4+3/4", 1.25L},
    {"1+8/2/2", "1+8/2/2", 3.0L},
    {"2*8/4*2", "2*8/4*2", 8.0L},
    {"2*8/4/2", "2*8/4/2", 2.0L},
    {"10-4-3", "10-4-3", 3.0L},
    {"10-4+3", "10-4+3", 9.0L},
    {"1-2-3-4", "1-2-3-4", -8.0L},
    {"100/10/5/2", "100/10/5/2", 1.0L},
    {"2-3+4-5+6", "2-3+4-5+6", 4.0L},
    {"1-1/2+1/3-1/4", "1-1/2+1/3-1/4", 0.5833333333333333L},
    {"12/4/3*6/2", "12/4/3*6/2", 3.0L},
    {"1+2+3+4+5+6+7+8+9+10", "1+2+3+4+5+6+7+8+9+10", 55.0L},
    // Precedence.
    {"2*3+4", "2*3+4", 10.0L},
    {"2+3*4", "2+3*4", 14.0L},
    {"10-2*3+8/4", "10-2*3+8/4", 6.0L},
    {"3-(2-1)", "3-(2-1)", 2.0L},
    {"(1+2)*(3+4)", "(1+2)*(3+4)", 21.0L},
    {"((1+2)*3)^2", "((1+2)*3)**2", 81.0L},
    {"2^3^2", "2**3**2", 512.0L},
    {"3^2^0.5", "3**2**0.5", 4.728804387837416L},
    {"2^3*2", "2**3*2", 16.0L},
    {"2*3^2", "2*3**2", 18.0L},
    {"2^10-1", "2**10-1", 1023.0L},
    {"2^0.5", "2**0.5", 1.4142135623730951L},
    {"(2)", "2", 2.0L},
    // Unary minus binds loosest.
    {"-3*2", "-3*2", -6.0L},
    {"-2^2", "-2**2", -4.0L},
    {"-(1+2)", "-(1+2)", -3.0L},
    // Remainder: the quotient is truncated toward zero.
    {"7mod3", "fmod(7,3)", 1.0L},
    {"-7 mod 3", "-fmod(7,3)", -1.0L},
    {"(0-7)mod3", "fmod(0-7,3)", -1.0L},
    {"6mod4*2", "fmod(6,4)*2", 4.0L},
    {"8/2mod3", "fmod(8/2,3)", 1.0L},
    {"7.5 mod 2", "fmod(7.5,2)", 1.5L},
    // Functions bind tightest.
    {"sin(1)^2+cos(1)^2", "sin(1)**2+cos(1)**2", 1.0L},
    {"ln(2.7182818)", "log(2.7182818)", 0.9999999895305024L},
    {"lg(1000)", "log10(1000)", 3.0L},
    {"ln(10)/ln(2)", "log(10)/log(2)", 3.3219280948873626L},
    {"abs(0-7.5)", "abs(0-7.5)", 7.5L},
    {"abs(sin(4))", "abs(sin(4))", 0.7568024953079282L},
    {"tan(0.5)", "tan(0.5)", 0.5463024898437905L},
    {"2^sin(0)", "2**sin(0)", 1.0L},
    {"sin(0.5)*2", "sin(0.5)*2", 0.958851077208406L},
    // Constants and plain arithmetic.
    {"pi*2", "3.1415927*2", 6.2831854L},
    {"e^2", "2.7182818**2", 7.389055944211241L},
    {"0*5", "0*5", 0.0L},
    {"0+5", "0+5", 5.0L},
    {"1.5*4-0.25", "1.5*4-0.25", 5.75L},
    {"1/3+1/3+1/3", "1/3+1/3+1/3", 1.0L},
    {"0.1+0.2", "0.1+0.2", 0.30000000000000004L},
};

TEST_F(QParserTest, EvaluatesTableOfExpressions) {
  for (const auto& c : kValues) {
    long double v = Value(c.expr);
    EXPECT_NEAR(static_cast<double>(v), static_cast<double>(c.value),
                1e-12 * std::fmax(1.0, std::fabs(static_cast<double>(c.value))))
        << c.expr << "  (python: " << c.python << ")";
  }
}

TEST_F(QParserTest, ExpressionsThatCannotBeBuilt) {
  for (const char* expr : {"", "2*", "^3", "2*-3", "2^-1", "((a))", "1.50", "01", ".5", "1e5",
                           "0.000001", "2+m", "2+(-)", "2+(#)", "1/", "(1+2", "cosh(0)", "x y",
                           "2x", "--3", "inf"}) {
    p.SetExpression(expr);
    EXPECT_FALSE(p.CreateTree()) << expr;
  }
}

TEST_F(QParserTest, NormalisesTheExpressionInPlace) {
  struct Case {
    const char* given;
    const char* normalised;
  };
  const Case cases[] = {
      {"sin(x) + 1", "s#(x)+1"},
      {"(1+2)", "1+2"},
      {"((1+2))", "(1+2)"},
      {"(1)+(2)", "(1)+(2)"},
      {"COS(0)*Ln(1)+lg(1)+ABS(1)+tan(0)", "c#(0)*n#(1)+g#(1)+r#(1)+t#(0)"},
      {"7 mod 3", "7m3"},
      {"7 MOD 3", "7m3"},
      {"cosh(0)", "c#h(0)"},
  };
  for (const auto& c : cases) {
    p.SetExpression(c.given);
    p.CreateTree();
    EXPECT_EQ(p.Expression(), c.normalised) << c.given;
  }
  // A second build on the rewritten text strips one more pair of brackets.
  p.SetExpression("((1+2))");
  EXPECT_FALSE(p.CreateTree());
  EXPECT_TRUE(p.CreateTree());
  EXPECT_EQ(p.Expression(), "1+2");
}

TEST_F(QParserTest, VariablesAreTextsOfEitherCase) {
  p.SetX("3");
  EXPECT_EQ(Value("-x"), -3);
  EXPECT_EQ(Value("-X"), -3);
  p.SetA("1.5");
  p.SetB("2");
  p.SetC("4");
  p.SetD("0.25");
  EXPECT_EQ(Value("a*b+c/d"), 1.5L * 2 + 4 / 0.25L);
  EXPECT_EQ(Value("A+B+C+D"), 7.75L);
  // Read leniently: empty is 0, a leading number counts, "pi" and "e" work,
  // and a variable may name another.
  p.SetX("");
  EXPECT_EQ(Value("x+1"), 1);
  p.SetX("1+2");
  EXPECT_EQ(Value("x"), 1);
  p.SetX("pi");
  EXPECT_EQ(Value("x"), 3.1415927L);
  p.SetX("a");
  EXPECT_EQ(Value("x"), 1.5L);
  // The tree is read anew at every evaluation.
  p.SetExpression("x^2");
  ASSERT_TRUE(p.CreateTree());
  for (int i = 0; i < 4; ++i) {
    p.SetX(std::to_string(i));
    EXPECT_EQ(p.Evaluate(), i * i);
  }
}

TEST_F(QParserTest, FunctionLettersAndConstants) {
  EXPECT_EQ(Text("sin(x) + 1"), "1");  // X is empty: 0
  EXPECT_EQ(Value("s+1"), 1);          // a bare function letter is worth 0
  EXPECT_EQ(Text("pi"), "3.1415927");
  EXPECT_EQ(Text("E"), "2.7182818");
  EXPECT_EQ(Text("lg(100)"), "2");
  p.SetPrecision(2);
  EXPECT_EQ(Text("pi"), "3.14");
}

TEST_F(QParserTest, ResultTexts) {
  struct Case {
    const char* expr;
    int precision;
    const char* text;
  };
  const Case cases[] = {
      {"100", 8, "100"},      {"3.5", 8, "3.5"},         {"0", 8, "0"},
      {"0-0.25", 8, "-0.25"}, {"1/3", 8, "0.33333333"},  {"2/3", 8, "0.66666667"},
      {"2/3", 0, "1"},        {"1/3", 30, "0.333333333333333314829616256247"},
      {"1/3", 1000, "0.333333333333333314829616256247"},  // at most 30 places
      {"1/3", -5, "0"},       {"10^20", 8, "100000000000000000000"},
      {"0-1/10^9", 8, "0"},   {"1/8", 2, "0.13"},        {"1000000/7", 3, "142857.143"},
  };
  for (const auto& c : cases) {
    p.SetPrecision(c.precision);
    EXPECT_EQ(Text(c.expr), c.text) << c.expr << " at " << c.precision;
  }
}

TEST_F(QParserTest, ResultsThatAreNoNumbers) {
  EXPECT_EQ(Text("10^308*10^308"), "INF");
  EXPECT_EQ(Text("0-10^308*10^308"), "-INF");
}

TEST_F(QParserTest, ErrorsCarryTheirExactMessages) {
  EXPECT_EQ(ErrorOf("1/0"), "Division durch 0");
  EXPECT_EQ(ErrorOf("1/(2-2)"), "Division durch 0");
  EXPECT_EQ(ErrorOf("ln(0)"), "Log von X mit X <= 0");
  EXPECT_EQ(ErrorOf("lg(0-1)"), "Log von X mit X <= 0");
  EXPECT_EQ(ErrorOf("(0-8)^0.5"), "Kein negativer Ausdruck unter Wurzel erlaubt.");
  EXPECT_EQ(ErrorOf("0^(0-1)"), "Kein negativer Ausdruck unter Wurzel erlaubt.");
  EXPECT_EQ(ErrorOf("10^400"), "Kein negativer Ausdruck unter Wurzel erlaubt.");
  // The right operand is evaluated first.
  EXPECT_EQ(ErrorOf("(1/0)*ln(0)"), "Log von X mit X <= 0");
  // Mod by zero is 0, not an error.
  EXPECT_EQ(Value("5 mod 0"), 0);
}

TEST_F(QParserTest, FailedEvaluationKeepsTheResultText) {
  EXPECT_EQ(Text("1+1"), "2");
  p.SetExpression("1/0");
  ASSERT_TRUE(p.CreateTree());
  EXPECT_THROW(p.Evaluate(), Exception);
  EXPECT_EQ(p.ErgebnisString(), "2");
  EXPECT_EQ(p.Expression(), "1/0");
}

TEST_F(QParserTest, EvaluatingAfterAFailedBuildNeverReachesAMissingOperand) {
  // Each of these leaves an operator node whose operands were never built.
  struct Case {
    const char* expr;
    const char* message;
  };
  const Case cases[] = {
      {"2+m", "m kann nicht in eine Zahl umgewandelt werden! (STD)"},
      {"2+(-)", "- kann nicht in eine Zahl umgewandelt werden! (STD)"},
      {"2+(#)", "# kann nicht in eine Zahl umgewandelt werden! (STD)"},
      {"(^)*3", "^ kann nicht in eine Zahl umgewandelt werden! (STD)"},
  };
  for (const auto& c : cases) {
    p.SetExpression(c.expr);
    EXPECT_FALSE(p.CreateTree()) << c.expr;
    EXPECT_EQ(ErrorOf(c.expr), c.message);
  }
}

TEST_F(QParserTest, RemainderOfHugeQuotients) {
  // Quotients far beyond 32 bits.
  EXPECT_EQ(Value("10000000000 mod 3"), 1);
  EXPECT_EQ(Value("(0-10000000000) mod 3"), -1);
  EXPECT_TRUE(std::isfinite(Value("1E30 mod 7")));
  EXPECT_EQ(TQParser::modl(7, 0), 0);
  EXPECT_TRUE(std::isnan(TQParser::modl(std::numeric_limits<long double>::infinity(), 3)));
}

TEST_F(QParserTest, EmptyExpressionEvaluatesToZero) {
  p.SetExpression("");
  EXPECT_FALSE(p.CreateTree());
  EXPECT_EQ(p.Evaluate(), 0);
  EXPECT_EQ(p.ErgebnisString(), "0");
}

TEST_F(QParserTest, TwoInstancesShareOneTree) {
  TQParser second;
  p.SetExpression("1+1");
  ASSERT_TRUE(p.CreateTree());
  second.SetExpression("7*6");
  ASSERT_TRUE(second.CreateTree());
  EXPECT_EQ(p.Evaluate(), 42);
  EXPECT_EQ(p.ErgebnisString(), "42");
  EXPECT_EQ(second.ErgebnisString(), "");
}

TEST_F(QParserTest, SeparatorsAndConversionOfColonsAndDots) {
  // ConvertAllColonsAndDots: "," and "." both mean the current separator.
  p.SetConvertAllColonsAndDots(true);
  EXPECT_EQ(Text("1,5+1.5"), "3");
  p.SetConvertAllColonsAndDots(false);
  // An overriding separator shapes the result text; the atoms of the
  // expression still follow the class library's separator.
  p.SetOverwriteDecimalSymbol(",");
  EXPECT_EQ(Text("1/4"), "0,25");
  p.SetExpression("0,25");
  EXPECT_FALSE(p.CreateTree());
  // Variables take the current separator and ".".
  p.SetX("2,5");
  EXPECT_EQ(Value("x*2"), 5);
  p.SetX("2.5");
  EXPECT_EQ(Value("x*2"), 5);
  // Under a "," locale the atoms are written with ",".
  p.SetOverwriteDecimalSymbol("");
  SetDecimalSeparator(',');
  EXPECT_EQ(Text("1,5*2,5"), "3,75");
  p.SetExpression("1.5");
  EXPECT_FALSE(p.CreateTree());
  // A separator of more than one character works as a whole.
  SetDecimalSeparator('.');
  p.SetOverwriteDecimalSymbol("::");
  EXPECT_EQ(Text("1/8"), "0::125");
  p.SetX("0::5");
  EXPECT_EQ(Value("x"), 0.5L);
}

TEST_F(QParserTest, HelperSteps) {
  EXPECT_EQ(p.EntferneLeerzeichen(" 1 +\t2 "), "1+\t2");
  EXPECT_EQ(p.EntferneKlammern("(1+2)"), "1+2");
  EXPECT_EQ(p.EntferneKlammern("(1)+(2)"), "(1)+(2)");
  EXPECT_EQ(p.EntferneKlammern("((1))"), "(1)");
  EXPECT_EQ(p.EntferneKlammern("1+2"), "1+2");
  EXPECT_EQ(p.Assiotiativitaet("a-b+c"), "(a-b)+c");
  EXPECT_EQ(p.Assiotiativitaet("a/b*c"), "(a/b)*c");
  EXPECT_EQ(p.Assiotiativitaet("a*b+c"), "a*b+c");
  EXPECT_EQ(p.Assiotiativitaet("(a-b+c)"), "(a-b+c)");
  EXPECT_EQ(p.Assiotiativitaet("a^b^c"), "a^b^c");
  std::string l, r, op;
  p.SplitLowest("1+2*3", l, r, op);
  EXPECT_EQ(l + "|" + op + "|" + r, "1|+|2*3");
  p.SplitLowest("2^3^2", l, r, op);
  EXPECT_EQ(l + "|" + op + "|" + r, "2|^|3^2");
  p.SplitLowest("s#x^2", l, r, op);
  EXPECT_EQ(l + "|" + op + "|" + r, "s#x|^|2");
  p.SplitLowest("(1-2)*(3)", l, r, op);
  EXPECT_EQ(l + "|" + op + "|" + r, "1-2|*|3");
  p.SplitLowest("42", l, r, op);
  EXPECT_EQ(l + "|" + op + "|" + r, "||");
  for (const char* atom : {"1.5", "s", "c", "t", "n", "g", "r", "x", "X", "a", "D", "pi", "PI", "e", "100",
                           "0.00001", "1E15", "123456789012345"})
    EXPECT_TRUE(p.IsZahl(atom)) << atom;
  for (const char* no : {"S", "1.50", "01", ".5", "1e5", "1E+15", "0.000001", "1234567890123456", "-", "",
                         " 1", "y"})
    EXPECT_FALSE(p.IsZahl(no)) << no;
  EXPECT_TRUE(p.IsLongDouble("2.5"));
  EXPECT_FALSE(p.IsLongDouble("x"));
  EXPECT_EQ(p.StrToLongDouble("12.5abc"), 12.5L);
  EXPECT_EQ(p.StrToLongDouble("zzz"), 0);
  EXPECT_EQ(p.EntferneNullenUndPunkte("100.000"), "100");
  EXPECT_EQ(p.EntferneNullenUndPunkte("100"), "100");
  EXPECT_EQ(p.EntferneNullenUndPunkte(".500"), "0.5");
  EXPECT_EQ(p.EntferneNullenUndPunkte("3.050"), "3.05");
  EXPECT_EQ(p.LongDoubleToStr(-0.25L), "-0.25");
}

TEST_F(QParserTest, BuildsAreBoundedInLengthAndDepth) {
  // 1000 terms are fine; past the depth bound the build fails instead of
  // running out of stack.
  std::string chain = "1";
  for (int i = 0; i < 999; ++i) chain += "+1";
  EXPECT_EQ(Value(chain), 1000);
  std::string deep = "1";
  for (int i = 0; i < 1500; ++i) deep = "1+(" + deep + ")";
  p.SetExpression(deep);
  EXPECT_FALSE(p.CreateTree());
  p.SetExpression(std::string(20000, '1'));
  EXPECT_FALSE(p.CreateTree());
  EXPECT_EQ(p.Evaluate(), 0);
}

}  // namespace

namespace {

// Run once more under Wine with a German user locale (VL_EXPECT_DECIMAL
// names the separator that locale must give).
TEST(LocaleSeparator, ConversionsFollowTheUserLocaleAndNotTheCLibrary) {
  const char* expect = std::getenv("VL_EXPECT_DECIMAL");
  const char sep = LocaleDecimalSeparator();
  if (expect != nullptr && expect[0] != '\0') {
    EXPECT_EQ(sep, expect[0]);
  }

  // The C library switched to the user's locale changes nothing here.
  const std::string cLocale = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "");
  const char saved = DecimalSeparator();
  SetDecimalSeparator(sep);
  const std::string s(1, sep);
  TQParser p;
  p.SetExpression("1" + s + "5*2" + s + "5+x");
  p.SetX("0.125");
  ASSERT_TRUE(p.CreateTree());
  EXPECT_EQ(p.Evaluate(), 3.875L);
  EXPECT_EQ(p.ErgebnisString(), "3" + s + "875");
  EXPECT_EQ(ScanLeadingFloat("2.5e1"), 25.0L);
  TQMidi m;
  EXPECT_EQ(m.LongToStr(0.25L), "0.250");
  EXPECT_EQ(m.GetHz(69), "440,000");
  SetDecimalSeparator(saved);
  std::setlocale(LC_NUMERIC, cLocale.c_str());
}

}  // namespace
