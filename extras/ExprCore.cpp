#include "extras/ExprCore.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "base/SysUtils.h"
#include "extras/LocaleFormat.h"
#include "extras/MathErrors.h"
#include "extras/NumText.h"

const char* const kMsgDivisionByZero = "Division durch 0";
const char* const kMsgLogNotPositive = "Log von X mit X <= 0";
const char* const kMsgPowerFailed = "Kein negativer Ausdruck unter Wurzel erlaubt.";
const char* const kMsgNotANumber = " kann nicht in eine Zahl umgewandelt werden! (STD)";

namespace {

bool IsOperatorChar(char c) {
  return c == '+' || c == '-' || c == '*' || c == '/' || c == 'm' || c == '^' || c == '#';
}

// A long double as double, rounding to nearest; values beyond the double
// range become infinities instead of undefined behaviour.
double ToDouble(long double x) {
  if (std::fabs(x) > static_cast<long double>(DBL_MAX)) {
    const long double limit = static_cast<long double>(DBL_MAX) + std::ldexp(1.0L, 970);
    double big = std::fabs(x) < limit ? DBL_MAX : std::numeric_limits<double>::infinity();
    return x < 0 ? -big : big;
  }
  return static_cast<double>(x);
}

bool StartsAt(const std::string& text, std::size_t i, const std::string& part) {
  return !part.empty() && text.compare(i, part.size(), part) == 0;
}

}  // namespace

TExprCore::TExprCore(TExprTree& root, bool normaliseInPlace, TPowerFailure powerFailure)
    : root_(root), inPlace_(normaliseInPlace), powerFailure_(powerFailure) {
  InstallMathErrorHandlers();
  InitLandDot();
}

void TExprCore::InitLandDot() {
  dot_ = OverwriteDecimalSymbol.empty() ? std::string(1, DecimalSeparator()) : OverwriteDecimalSymbol;
}

bool TExprCore::CreateTree() {
  InitLandDot();
  std::string text = EntferneLeerzeichen(Expression);
  if (inPlace_) Expression = text;
  text = EntferneKlammern(text);
  if (inPlace_) Expression = text;
  text = WandleSinCosTanUm(text);
  if (inPlace_) Expression = text;

  TExprTree tree;
  bool ok = false;
  if (text.size() <= kMaxLength) {
    tree.Text = text;
    ok = Build(tree, text, 0);
  }
  root_ = std::move(tree);  // the replaced tree is released here
  return ok;
}

long double TExprCore::Evaluate() {
  long double x = Eval(&root_);
  ErgebnisString = LongDoubleToStr(x);
  return x;
}

std::string TExprCore::EntferneLeerzeichen(const std::string& text) const {
  std::string r;
  r.reserve(text.size());
  for (char c : text)
    if (c != ' ') r += c;
  return r;
}

std::string TExprCore::EntferneKlammern(const std::string& text) const {
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return text;
  int depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') {
      // A bracket opening at depth 0 after the first: the first pair closed
      // before the end, so the outer brackets do not enclose the text.
      if (depth == 0 && i != 0) return text;
      ++depth;
    } else if (text[i] == ')') {
      --depth;
    }
  }
  return text.substr(1, text.size() - 2);
}

std::string TExprCore::WandleSinCosTanUm(const std::string& text) const {
  static const struct {
    const char* name;
    const char* replacement;
  } kNames[] = {{"sin", "s#"}, {"cos", "c#"}, {"tan", "t#"}, {"ln", "n#"},
                {"lg", "g#"},  {"abs", "r#"}, {"mod", "m"}};
  std::string r;
  r.reserve(text.size() + 8);
  std::size_t i = 0;
  while (i < text.size()) {
    bool matched = false;
    for (const auto& n : kNames) {
      std::size_t len = std::strlen(n.name);
      if (LowerCase(text.substr(i, len)) == n.name) {
        r += n.replacement;
        i += len;
        matched = true;
        break;
      }
    }
    if (matched) continue;
    char c = text[i];
    if (ConvertAllColonsAndDots && (c == '.' || c == ','))
      r += dot_;
    else
      r += c;
    ++i;
  }
  return r;
}

bool TExprCore::MakeTree(TExprTree& node, const std::string& text) { return Build(node, text, 0); }

bool TExprCore::Build(TExprTree& node, const std::string& text, int depth) {
  if (depth > kMaxDepth) return false;
  std::string left, right, op;
  SplitLowest(text, left, right, op);
  if (op == "-" && left.empty()) left = "0";  // unary minus is 0 - x
  if (op.empty() && left.empty() && right.empty()) {
    if (!IsZahl(text)) return false;
    node.Text = text;
    return true;
  }
  if (op.empty() || left.empty() || right.empty()) return false;  // "2*", "^3"

  node.Text = op;
  node.Left = std::make_unique<TExprTree>();
  node.Left->Text = left;
  node.Right = std::make_unique<TExprTree>();
  node.Right->Text = right;
  bool ok = true;
  if (!IsZahl(left) && !Build(*node.Left, left, depth + 1)) ok = false;
  if (!IsZahl(right) && !Build(*node.Right, right, depth + 1)) ok = false;
  return ok;
}

std::string TExprCore::Assiotiativitaet(const std::string& text) const {
  // Chains of "+" and "-", and of "*", "/" and "m", associate to the left:
  // when the loosest level outside brackets has more than one operator, the
  // part before its last operator is put in brackets, so the split below
  // takes that last operator and a-b+c becomes (a-b)+c, a/b*c (a/b)*c.
  int depth = 0;
  int additive = 0, multiplicative = 0;
  std::size_t lastAdditive = 0, lastMultiplicative = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0) {
      if (c == '+' || c == '-') {
        ++additive;
        lastAdditive = i;
      } else if (c == '*' || c == '/' || c == 'm') {
        ++multiplicative;
        lastMultiplicative = i;
      }
    }
  }
  std::size_t at;
  if (additive > 0) {
    if (additive < 2) return text;
    at = lastAdditive;
  } else {
    if (multiplicative < 2) return text;
    at = lastMultiplicative;
  }
  return "(" + text.substr(0, at) + ")" + text.substr(at);
}

void TExprCore::SplitLowest(const std::string& text, std::string& left, std::string& right,
                            std::string& op) const {
  const std::string t = Assiotiativitaet(text);
  int depth = 0, best = -1;
  std::size_t split = std::string::npos;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    int compared, stored;
    switch (c) {
      case '(': depth += 16; continue;
      case ')': depth -= 16; continue;
      case '-': compared = depth + 1; stored = depth + 1; break;
      case '+': compared = depth + 1; stored = depth + 2; break;
      case '*': case '/': case 'm': compared = depth + 2; stored = depth + 2; break;
      case '^': compared = depth + 4; stored = depth + 4; break;
      case '#': compared = depth + 8; stored = depth + 8; break;
      default: continue;
    }
    if (split == std::string::npos || compared < best) {
      split = i;
      best = stored;
    }
  }
  if (split == std::string::npos) {
    left.clear();
    right.clear();
    op.clear();
    return;
  }
  op = t.substr(split, 1);
  left = EntferneKlammern(t.substr(0, split));
  right = EntferneKlammern(t.substr(split + 1));
}

bool TExprCore::IsZahl(const std::string& text) const {
  if (text.size() == 1 && std::strchr("sctngr", text[0]) != nullptr && text[0] != '\0') return true;
  const std::string l = LowerCase(text);
  if (l == "x" || l == "a" || l == "b" || l == "c" || l == "d" || l == "pi" || l == "e") return true;
  return IsLongDouble(text);
}

bool TExprCore::IsLongDouble(const std::string& text) const {
  // A number is an atom only in the very form the general float-to-text
  // conversion writes it: "1.5" is one, "1.50", "01", ".5" and "1e5" are not.
  const std::string sep(1, DecimalSeparator());
  long double v;
  if (!TryTextToFloat(text, sep, v)) return false;
  return FloatToGeneralText(v, 15, sep) == text;
}

long double TExprCore::Eval(const TExprTree* node) {
  if (node == nullptr) return 0.0L;
  const std::string& t = node->Text;
  if (t.size() != 1 || !IsOperatorChar(t[0])) return StrToLongDouble(t);
  // An operator whose operands were never built (the build failed there)
  // cannot be evaluated; it reads as a leaf that is no number.
  if (!node->Left || !node->Right) throw Exception(t + kMsgNotANumber);

  if (t[0] == '#') {
    long double v = Eval(node->Right.get());
    const std::string& f = node->Left->Text;
    if (f == "s") return std::sin(ToDouble(v));
    if (f == "c") return std::cos(ToDouble(v));
    if (f == "t") return std::tan(ToDouble(v));
    if (f == "n" || f == "g") {
      if (v <= 0) throw Exception(kMsgLogNotPositive);
      return f == "n" ? std::log(v) : std::log(v) / std::log(10.0L);
    }
    if (f == "r") return std::fabs(v);
    return 0.0L;  // "0" and anything else
  }

  long double r = Eval(node->Right.get());
  long double l = Eval(node->Left.get());
  switch (t[0]) {
    case '+': return l + r;
    case '*': return (l == 0 || r == 0) ? 0.0L : l * r;
    case '-': return l - r;
    case '/':
      if (r == 0) throw Exception(kMsgDivisionByZero);
      return l / r;
    case 'm': return modl(l, r);
    default: break;  // '^'
  }
  const double a = ToDouble(l), b = ToDouble(r);
  const double p = std::pow(a, b);
  // Finite operands with a result that is not: a negative base under a
  // fractional exponent, a pole (0 to a negative power) or an overflow.
  if (!std::isfinite(p) && std::isfinite(a) && std::isfinite(b)) {
    if (powerFailure_ == TPowerFailure::Message) throw Exception(kMsgPowerFailed);
    throw EMathError("Invalid floating point operation");
  }
  return p;
}

long double TExprCore::StrToLongDouble(const std::string& text) {
  InitLandDot();
  std::string t = text;
  if (LowerCase(t) == "x") t = X;
  if (LowerCase(t) == "a") t = A;
  if (LowerCase(t) == "b") t = B;
  if (LowerCase(t) == "c") t = C;
  if (LowerCase(t) == "d") t = D;
  const std::string l = LowerCase(t);
  if (l == "pi")
    t = "3" + dot_ + "1415927";
  else if (l == "e")
    t = "2" + dot_ + "7182818";

  std::string conv;
  conv.reserve(t.size());
  for (std::size_t i = 0; i < t.size();) {
    char c = t[i];
    if (ConvertAllColonsAndDots && (c == '.' || c == ',')) {
      conv += '.';
      ++i;
    } else if (StartsAt(t, i, dot_)) {
      conv += '.';
      i += dot_.size();
    } else {
      conv += c;
      ++i;
    }
  }
  return ScanLeadingFloat(conv);
}

long double TExprCore::modl(long double a, long double b) {
  if (b == 0) return 0.0L;
  // The quotient is truncated in long double: any size, no overflow.
  return a - b * std::trunc(a / b);
}

std::string TExprCore::LongDoubleToStr(long double x) {
  InitLandDot();
  const double d = ToDouble(x);
  if (std::isnan(d)) return "NAN";
  if (std::isinf(d)) return d < 0 ? "-INF" : "INF";
  int precision = Precision;
  if (precision < 0) precision = 0;
  if (precision > kMaxPrecision) precision = kMaxPrecision;
  const TFixedDigits f = FloatToFixedDigits(d, precision);
  std::string t;
  if (f.PointPos >= 1) {
    const std::size_t p = static_cast<std::size_t>(f.PointPos);
    t = f.Digits.substr(0, p) + dot_ + f.Digits.substr(p);
  } else {
    t = "0" + dot_ + std::string(static_cast<std::size_t>(-f.PointPos), '0') + f.Digits;
  }
  t = EntferneNullenUndPunkte(t);
  // A value that rounds to zero is written "0", whatever its sign.
  if (f.Negative && !f.Digits.empty()) t = "-" + t;
  return t;
}

std::string TExprCore::EntferneNullenUndPunkte(const std::string& text) const {
  std::string t = text;
  const std::size_t sep = dot_.empty() ? std::string::npos : t.find(dot_);
  if (sep != std::string::npos) {
    std::size_t end = t.size();
    while (end > sep + dot_.size() && t[end - 1] == '0') --end;
    t.resize(end);
  }
  if (!dot_.empty() && t.size() >= dot_.size() &&
      t.compare(t.size() - dot_.size(), dot_.size(), dot_) == 0)
    t.resize(t.size() - dot_.size());
  if (StartsAt(t, 0, dot_)) t = "0" + t;
  return t;
}
