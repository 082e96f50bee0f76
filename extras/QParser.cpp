#include "extras/QParser.h"

namespace {
// The tree of every TQParser in the process.
TExprTree& ParserRoot() {
  static TExprTree root;
  return root;
}
}  // namespace

TQParser::TQParser(TComponent* owner)
    : TComponent(owner), core_(ParserRoot(), /*normaliseInPlace=*/true, TPowerFailure::Message) {}
