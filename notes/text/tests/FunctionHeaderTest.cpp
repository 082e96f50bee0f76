#include <gtest/gtest.h>

#include <string>

#include "notes/text/FunctionHeader.h"

using namespace NoteText;

TEST(FunctionHeader, StartOfTheHeaderBeforeABrace) {
  struct Case {
    const char* text;  // the brace is the last "{"
    bool found;
    int start;
  } cases[] = {
      {"function f(a) {", true, 0},
      {"x = async  function (a) {", true, 4},
      {"x = async;function (a) {", true, 10},       // "async" ends a statement of its own
      {"const g = (a, b) => {", true, 0},
      {"a;\rconst g = (a) => {", true, 3},           // after the line break before the arrow
      {"{ h = x => {", true, 1},
      {"void Foo::bar(int a) {", true, 0},
      {"x\rint main() {", true, 2},
      {"  ::f() {", true, 0},                        // "::" right before the name
      {"if (x) {", false, -1},
      {"x\r  While (x) {", false, -1},               // control words in any case
      {"  f(x) {", false, -1},                       // a call alone on its line
      {"function f() { a; } {", false, -1},          // a statement break after the keyword
      {"x = 1 {", false, -1},
  };
  for (const Case& c : cases) {
    const std::string text = c.text;
    int start = 99;
    EXPECT_EQ(FindFunctionHeaderStart(text, static_cast<int>(text.rfind('{')), start), c.found) << c.text;
    EXPECT_EQ(start, c.start) << c.text;
  }
  int start = 99;
  EXPECT_FALSE(FindFunctionHeaderStart("{", 0, start));
  EXPECT_EQ(start, -1);
  EXPECT_FALSE(FindFunctionHeaderStart("ab", 5, start));
  // The keyword is looked for within 700 characters before the brace.
  const std::string near = "function f(a) x" + std::string(680, ' ') + "{";
  EXPECT_TRUE(FindFunctionHeaderStart(near, static_cast<int>(near.size()) - 1, start));
  const std::string far = "function f(a) x" + std::string(700, ' ') + "{";
  EXPECT_FALSE(FindFunctionHeaderStart(far, static_cast<int>(far.size()) - 1, start));
}

TEST(FunctionHeader, ControlWordsAndBraceCounting) {
  EXPECT_TRUE(IsControlWord(" IF "));
  EXPECT_TRUE(IsControlWord("Foreach"));
  EXPECT_TRUE(IsControlWord("echo"));
  EXPECT_FALSE(IsControlWord("format"));
  EXPECT_FALSE(IsControlWord(""));
  EXPECT_TRUE(HasStatementBreak("a;b", 0, 3));
  EXPECT_FALSE(HasStatementBreak("a;b", 2, 3));

  const std::string text = "{a{b}c}";
  int close = 0;
  EXPECT_TRUE(FindClosingBraceRaw(text, 0, close));
  EXPECT_EQ(close, 6);
  EXPECT_TRUE(FindClosingBraceRaw(text, 2, close));
  EXPECT_EQ(close, 4);
  EXPECT_FALSE(FindClosingBraceRaw(text, 1, close));
  EXPECT_EQ(close, -1);
  EXPECT_FALSE(FindClosingBraceRaw("{{}", 0, close));

  EXPECT_EQ(FindOuterOpenBrace(text, 5), 0);
  EXPECT_EQ(FindOuterOpenBrace(text, 3), 2);
  EXPECT_EQ(FindOuterOpenBrace(text, 4), 2);    // a "}" belongs to its own block
  EXPECT_EQ(FindOuterOpenBrace(text, 100), 0);  // clamped to the last "}"
  EXPECT_EQ(FindOuterOpenBrace("ab", 1), -1);
  EXPECT_EQ(FindOuterOpenBrace("", 0), -1);
}
