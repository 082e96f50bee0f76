#include <gtest/gtest.h>

#include "notes/text/LineText.h"

using namespace NoteText;

TEST(LineText, BoundaryConversions) {
  EXPECT_EQ(ToControlText("a\r\nb\nc\rd\r\n"), "a\rb\rc\rd\r");
  EXPECT_EQ(ToControlText("\r\r\n\n"), "\r\r\r");
  EXPECT_EQ(ToHostText("a\rb\nc\r\nd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(ToHostText(ToControlText("x\r\ny\n")), "x\r\ny\r\n");
  EXPECT_EQ(NormalizeLineBreaks("a\r\nb\rc\nd"), "a\nb\nc\nd");
}

TEST(LineText, Counting) {
  struct Case { const char* text; int breaks; int lines; };
  const Case cases[] = {
      {"", 0, 0}, {"a", 0, 1}, {"a\r", 1, 2}, {"a\r\nb", 1, 2}, {"a\n\rb", 2, 3}, {"\r\r\n\n", 3, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountLineBreaks(c.text), c.breaks) << c.text;
    EXPECT_EQ(CountLines(c.text), c.lines) << c.text;
  }
}

TEST(LineText, LineIndexOverControlText) {
  const std::string text = "ab\rcd\r\rlast";
  const TLineIndex lines(text);
  ASSERT_EQ(lines.LineCount(), 4);
  const int starts[] = {0, 3, 6, 7};
  const int lengths[] = {2, 2, 0, 4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(lines.LineStart(i), starts[i]);
    EXPECT_EQ(lines.LineLength(i), lengths[i]);
  }
  EXPECT_EQ(lines.LineStart(4), -1);
  EXPECT_EQ(lines.LineEndWithBreak(0), 3);
  EXPECT_EQ(lines.LineEndWithBreak(3), 11);
  // A break belongs to the line it ends.
  const int lineOf[] = {0, 0, 0, 1, 1, 1, 2, 3, 3, 3, 3, 3};
  for (int pos = 0; pos <= 11; ++pos) EXPECT_EQ(lines.LineFromIndex(pos), lineOf[pos]) << pos;
  EXPECT_EQ(TLineIndex("").LineCount(), 1);
  EXPECT_EQ(TLineIndex("x\r").LineCount(), 2);
  EXPECT_EQ(TLineIndex("a\r\nb").LineStart(1), 3);  // CR LF is one break
  EXPECT_EQ(LineStartIndex(text, 4), 3);
  EXPECT_EQ(LineEndIndex(text, 4), 5);
  EXPECT_EQ(LineStartIndex(text, 99), 7);
}
