#include <gtest/gtest.h>

#include <string>

#include "notes/text/LineCommands.h"

using namespace NoteText;

namespace {

// The text after applying an edit.
std::string Applied(const std::string& text, const TLineEdit& e) {
  if (!e.changed) return text;
  return text.substr(0, e.blockStart) + e.newBlock + text.substr(e.blockEnd);
}

std::string Toggle(const std::string& text, int start, int length, const std::string& prefix = "//") {
  return Applied(text, ToggleLineComments(text, start, length, prefix));
}

}  // namespace

TEST(LineCommands, LineHelpers) {
  EXPECT_EQ(FirstNonBlankPos("  \tx"), 4);
  EXPECT_EQ(FirstNonBlankPos("  "), 3);
  EXPECT_TRUE(IsBlankLine(" \t"));
  EXPECT_TRUE(IsBlankLine(""));
  EXPECT_FALSE(IsBlankLine(" x"));
  EXPECT_TRUE(HasCommentPrefix("  // x", "//"));
  EXPECT_FALSE(HasCommentPrefix("x // y", "//"));
  EXPECT_FALSE(HasCommentPrefix("x", ""));
  std::string br;
  int pos = 0;
  const std::string t = "ab\r\ncd\re";
  EXPECT_EQ(NextLineOf(t, pos, &br), "ab");
  EXPECT_EQ(br, "\r\n");
  EXPECT_EQ(pos, 4);
  EXPECT_EQ(NextLineOf(t, pos, &br), "cd");
  EXPECT_EQ(br, "\r");
  EXPECT_EQ(NextLineOf(t, pos, &br), "e");
  EXPECT_EQ(br, "");
  EXPECT_EQ(pos, 8);
}

TEST(LineCommands, SelectedLines) {
  const std::string t = "a\rbb\rccc";
  struct Case { int start, length, blockStart, blockEnd; };
  const Case cases[] = {
      {0, 0, 0, 2},   // the caret's line
      {0, 2, 0, 2},   // ends at the first character of the next line: not taken
      {0, 3, 0, 5},
      {3, 4, 2, 8},
      {8, 0, 5, 8},
      {8, 5, 5, 8},
      {-3, 0, 0, 2},
  };
  for (const auto& c : cases) {
    const TLineBlock b = SelectedLineBlock(t, c.start, c.length);
    EXPECT_EQ(b.start, c.blockStart) << c.start << "+" << c.length;
    EXPECT_EQ(b.end, c.blockEnd) << c.start << "+" << c.length;
  }
}

TEST(LineCommands, ToggleComments) {
  struct Case { std::string text; int start, length; std::string prefix, out; };
  const Case cases[] = {
      {"a\r// b", 0, 6, "//", "// a\r// b"},   // only the line without the prefix
      {"// a\r// b", 0, 9, "//", "a\rb"},       // all commented: removed with one space
      {"//a\r//  b", 0, 8, "//", "a\r b"},
      {"  a\r\r\tb", 0, 7, "//", "  // a\r\r\t// b"},  // after the indentation; blank lines stay
      {"a\rb\rc", 0, 2, "//", "// a\rb\rc"},    // the selection ends at the next line's start
      {"x", 0, 0, "", "// x"},                  // empty prefix means "//"
      {"x\r\ny", 0, 4, "#", "# x\r\n# y"},      // each line keeps its own break
      {"x", 0, 1, "-- ", "-- x"},               // a prefix ending in a space gets no other
      {"#include\rx", 0, 10, "#", "#include\r# x"},  // "#include" counts as commented
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Toggle(c.text, c.start, c.length, c.prefix), c.out) << c.text;
  }
  // Blank lines only: nothing changes.
  const TLineEdit none = ToggleLineComments(" \r\t\r", 0, 4, "//");
  EXPECT_FALSE(none.changed);
  EXPECT_FALSE(ToggleLineComments("", 0, 0, "//").changed);
}

TEST(LineCommands, IndentAndOutdent) {
  struct Case { std::string text; bool outdent; int tabs; std::string out; };
  const Case cases[] = {
      {"a\r\rb", false, 3, "   a\r   \r   b"},    // empty lines included
      {"     a\r\tb\r  c", true, 3, "  a\r\tb\rc"},  // at most three spaces, never a tab
      {"a\rb", false, 0, "\ta\r\tb"},
      {"\t\ta\r b", true, 0, "\ta\r b"},          // one leading tab
      {"x", true, 3, "x"},                        // changes nothing, still an edit
  };
  for (const auto& c : cases) {
    const TLineEdit e = IndentSelectedLines(c.text, 0, static_cast<int>(c.text.size()), c.outdent, c.tabs);
    EXPECT_TRUE(e.changed);
    EXPECT_EQ(Applied(c.text, e), c.out) << c.text;
  }
  EXPECT_FALSE(IndentSelectedLines("abc", 1, 0, false, 3).changed);  // needs a selection
}
