// TQParser: turns an arithmetic expression text into a binary tree and
// evaluates it to a long double and a result text. Four basic operations,
// remainder ("mod"), powers ("^"), sin, cos, tan, ln, lg and abs, the
// constants pi and e, and the variables x, a, b, c and d, whose values are
// texts. The tree is one per process, shared by every TQParser: CreateTree
// of any instance replaces it and Evaluate of any instance reads it.
#pragma once

#include <string>

#include "base/Component.h"
#include "extras/ExprCore.h"

class TQParser : public TComponent {
 public:
  explicit TQParser(TComponent* owner = nullptr);

  // The expression; CreateTree rewrites it in place to its normalised form
  // (blanks removed, one pair of enclosing brackets stripped, function names
  // as letter and "#", "mod" as "m").
  const std::string& Expression() const { return core_.Expression; }
  void SetExpression(const std::string& v) { core_.Expression = v; }
  // Places after the separator in the result text (0 to 30 are used).
  int Precision() const { return core_.Precision; }
  void SetPrecision(int v) { core_.Precision = v; }
  const std::string& X() const { return core_.X; }
  void SetX(const std::string& v) { core_.X = v; }
  const std::string& A() const { return core_.A; }
  void SetA(const std::string& v) { core_.A = v; }
  const std::string& B() const { return core_.B; }
  void SetB(const std::string& v) { core_.B = v; }
  const std::string& C() const { return core_.C; }
  void SetC(const std::string& v) { core_.C = v; }
  const std::string& D() const { return core_.D; }
  void SetD(const std::string& v) { core_.D = v; }
  // Decimal separator used instead of the locale's; empty: the locale's.
  const std::string& OverwriteDecimalSymbol() const { return core_.OverwriteDecimalSymbol; }
  void SetOverwriteDecimalSymbol(const std::string& v) { core_.OverwriteDecimalSymbol = v; }
  // When set, both "." and "," in the expression are decimal separators.
  bool ConvertAllColonsAndDots() const { return core_.ConvertAllColonsAndDots; }
  void SetConvertAllColonsAndDots(bool v) { core_.ConvertAllColonsAndDots = v; }
  // The result text of the last successful Evaluate.
  const std::string& ErgebnisString() const { return core_.ErgebnisString; }

  // True when the whole tree was built; nothing is raised.
  bool CreateTree() { return core_.CreateTree(); }
  // Raises Exception with "Division durch 0", "Log von X mit X <= 0",
  // "Kein negativer Ausdruck unter Wurzel erlaubt." or "<text> kann nicht in
  // eine Zahl umgewandelt werden! (STD)"; ErgebnisString is then unchanged.
  long double Evaluate() { return core_.Evaluate(); }

  // The steps of CreateTree and Evaluate.
  void InitLandDot() { core_.InitLandDot(); }
  std::string EntferneLeerzeichen(const std::string& t) const { return core_.EntferneLeerzeichen(t); }
  std::string EntferneKlammern(const std::string& t) const { return core_.EntferneKlammern(t); }
  std::string WandleSinCosTanUm(const std::string& t) const { return core_.WandleSinCosTanUm(t); }
  bool MakeTree(TExprTree& node, const std::string& t) { return core_.MakeTree(node, t); }
  void SplitLowest(const std::string& t, std::string& left, std::string& right, std::string& op) const {
    core_.SplitLowest(t, left, right, op);
  }
  std::string Assiotiativitaet(const std::string& t) const { return core_.Assiotiativitaet(t); }
  bool IsZahl(const std::string& t) const { return core_.IsZahl(t); }
  bool IsLongDouble(const std::string& t) const { return core_.IsLongDouble(t); }
  long double Eval(const TExprTree* node) { return core_.Eval(node); }
  long double StrToLongDouble(const std::string& t) { return core_.StrToLongDouble(t); }
  static long double modl(long double a, long double b) { return TExprCore::modl(a, b); }
  std::string LongDoubleToStr(long double x) { return core_.LongDoubleToStr(x); }
  std::string EntferneNullenUndPunkte(const std::string& t) const { return core_.EntferneNullenUndPunkte(t); }

 private:
  TExprCore core_;
};
