// The expression grammar and evaluator behind TQParser and the plotter's
// private evaluator: normalising the text, building a binary tree by
// splitting at the loosest operator, evaluating it to a long double and
// writing the result text. The two users differ only in where the tree root
// lives, whether the expression is normalised in place, and what a failing
// power function raises.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "base/Exceptions.h"

// One node: an operator ("+", "-", "*", "/", "m", "^", "#") with its
// operands, or an atom (a number, a variable, "pi", "e", a function letter).
// For "#" the left operand is the function letter, the right the argument.
struct TExprTree {
  std::string Text;
  std::unique_ptr<TExprTree> Right;
  std::unique_ptr<TExprTree> Left;
};

// Raised by the plotter's evaluator when the power function fails.
class EMathError : public Exception {
  using Exception::Exception;
};

// What a failing power function raises: the evaluator's own message, or
// the platform's failure (EMathError).
enum class TPowerFailure { Message, Platform };

// The messages, word for word.
extern const char* const kMsgDivisionByZero;  // "Division durch 0"
extern const char* const kMsgLogNotPositive;  // "Log von X mit X <= 0"
extern const char* const kMsgPowerFailed;     // "Kein negativer Ausdruck unter Wurzel erlaubt."
extern const char* const kMsgNotANumber;      // " kann nicht in eine Zahl umgewandelt werden! (STD)"

class TExprCore {
 public:
  // root is the tree this evaluator builds and evaluates (it outlives the
  // evaluator and may be shared with others). With normaliseInPlace,
  // CreateTree writes each normalising step back into Expression;
  // otherwise it works on a copy and Expression keeps its text.
  TExprCore(TExprTree& root, bool normaliseInPlace, TPowerFailure powerFailure);

  // Longer normalised expressions, and trees nested deeper than this, are
  // not built: they would only cost time and stack.
  static constexpr std::size_t kMaxLength = 10000;
  static constexpr int kMaxDepth = 1000;
  // Result texts carry at most this many places after the separator.
  static constexpr int kMaxPrecision = 30;

  std::string Expression;
  int Precision = 8;
  std::string X, A, B, C, D;
  std::string OverwriteDecimalSymbol;
  bool ConvertAllColonsAndDots = false;
  std::string ErgebnisString;

  // Normalises the expression and builds the tree into the root, replacing
  // what was there (also when the build fails). True when the whole tree
  // was built.
  bool CreateTree();
  // Evaluates the root's tree, stores the result text in ErgebnisString and
  // returns the value. Raises Exception (or EMathError) with the messages
  // above; ErgebnisString is then unchanged.
  long double Evaluate();

  void InitLandDot();
  const std::string& CurrentSeparator() const { return dot_; }

  std::string EntferneLeerzeichen(const std::string& text) const;
  std::string EntferneKlammern(const std::string& text) const;
  std::string WandleSinCosTanUm(const std::string& text) const;
  bool MakeTree(TExprTree& node, const std::string& text);
  void SplitLowest(const std::string& text, std::string& left, std::string& right,
                   std::string& op) const;
  std::string Assiotiativitaet(const std::string& text) const;
  bool IsZahl(const std::string& text) const;
  bool IsLongDouble(const std::string& text) const;
  long double Eval(const TExprTree* node);
  long double StrToLongDouble(const std::string& text);
  static long double modl(long double a, long double b);
  std::string LongDoubleToStr(long double x);
  std::string EntferneNullenUndPunkte(const std::string& text) const;

 private:
  bool Build(TExprTree& node, const std::string& text, int depth);

  TExprTree& root_;
  bool inPlace_;
  TPowerFailure powerFailure_;
  std::string dot_;
};
