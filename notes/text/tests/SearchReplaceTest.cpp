#include <gtest/gtest.h>

#include <string>

#include "notes/text/SearchReplace.h"

using namespace NoteText;

namespace {

TSearchResult Find(const std::string& text, const std::string& find, int start = 0, bool ws = true,
                   bool backward = false, int end = -1) {
  TSearchRequest rq;
  rq.findText = find;
  rq.startPos = start;
  rq.endPos = end;
  rq.matchWhitespace = ws;
  rq.backward = backward;
  return SearchAndReplaceNext(text, rq);
}

}  // namespace

TEST(SearchReplace, SearchMap) {
  const TSearchMap m = BuildSearchMap("a\r\nb\rc", true);
  EXPECT_EQ(m.mapped, "a\nb\nc");
  EXPECT_EQ(m.start, (std::vector<int>{0, 1, 3, 4, 5}));
  EXPECT_EQ(m.end, (std::vector<int>{1, 3, 4, 5, 6}));
  EXPECT_EQ(SearchMapIndexOf(m, 0), 0);
  EXPECT_EQ(SearchMapIndexOf(m, 2), 1);  // inside the CR LF
  EXPECT_EQ(SearchMapIndexOf(m, 3), 2);
  EXPECT_EQ(SearchMapIndexOf(m, 99), 5);
  const TSearchMap n = BuildSearchMap(" a \t\rb ", false);
  EXPECT_EQ(n.mapped, "ab");
  EXPECT_EQ(n.start, (std::vector<int>{1, 5}));
}

TEST(SearchReplace, MatchingAndCounting) {
  struct Case {
    std::string text, find;
    int start;
    bool ws, backward;
    int end;
    int index, matchIndex, matchCount, rangeEnd;
  };
  const Case cases[] = {
      // Without whitespace matching "a+b" finds "a + b" and "a+" ⏎ "b".
      {"x a + b y a+\rb", "a+b", 0, false, false, -1, 2, 1, 2, 7},
      {"x a + b y a+\rb", "a+b", 3, false, false, -1, 10, 2, 2, 14},
      // With it, a lone LF in the find text matches CR LF and CR.
      {"a\r\nb a\rb", "a\nb", 0, true, false, -1, 0, 1, 2, 4},
      {"a\r\nb a\rb", "a\nb", 1, true, false, -1, 5, 2, 2, 8},
      {"aaaa", "aa", 0, true, false, -1, 0, 1, 2, 2},   // no overlapping matches
      {"aaa", "aa", 1, true, false, -1, -1, 0, 1, -1},  // counted from the start: none at 1
      // Backward chooses the last match at or before the start, forward the first after.
      {"ab ab ab ab", "ab", 5, true, true, -1, 3, 2, 4, 5},
      {"ab ab ab ab", "ab", 5, true, false, -1, 6, 3, 4, 8},
      {"ab ab ab ab", "ab", 0, true, false, 7, 0, 1, 3, 2},  // the end is inclusive
      // A backward search from the end, or from trailing blanks, starts at the last character.
      {"ab ab ab ab", "ab", 11, true, true, -1, 9, 4, 4, 11},
      {"ab ab ab ab", "ab", 500, true, true, -1, 9, 4, 4, 11},
      {"ab ab   ", "ab", 6, false, true, -1, 3, 2, 2, 5},
      {"ab ab", "ab", 5, true, false, -1, -1, 0, 0, -1},  // forward from the end: nothing
      {"", "ab", 0, true, false, -1, -1, 0, 0, -1},
      {"ab", "", 0, true, false, -1, -1, 0, 0, -1},
      {"a b", " ", 0, false, false, -1, -1, 0, 0, -1},     // nothing left of the find text
  };
  for (const auto& c : cases) {
    const TSearchResult r = Find(c.text, c.find, c.start, c.ws, c.backward, c.end);
    EXPECT_EQ(r.index, c.index) << c.text << " / " << c.find << " @" << c.start;
    EXPECT_EQ(r.matchIndex, c.matchIndex) << c.text << " / " << c.find << " @" << c.start;
    EXPECT_EQ(r.matchCount, c.matchCount) << c.text << " / " << c.find << " @" << c.start;
    EXPECT_EQ(r.rangeEnd, c.rangeEnd) << c.text << " / " << c.find << " @" << c.start;
    EXPECT_FALSE(r.replace);
  }
}

TEST(SearchReplace, IgnoreCaseFoldsAsciiLettersOnly) {
  TSearchRequest rq;
  rq.findText = "hello";
  rq.ignoreCase = true;
  EXPECT_EQ(SearchAndReplaceNext("say HeLLo", rq).index, 4);
  rq.findText = "\xE9";
  EXPECT_EQ(SearchAndReplaceNext("\xC9", rq).index, -1);
}

TEST(SearchReplace, Replacement) {
  TSearchRequest rq;
  rq.findText = "b";
  EXPECT_FALSE(SearchAndReplaceNext("abc", rq).replace);  // only selects
  rq.replaceWithEmpty = true;
  TSearchResult r = SearchAndReplaceNext("abc", rq);
  EXPECT_TRUE(r.replace);
  EXPECT_EQ(r.insertText, "");
  rq.replaceText = "x\r\ny\nz";
  r = SearchAndReplaceNext("abc", rq);
  EXPECT_EQ(r.insertText, "x\ry\rz");  // line breaks as the control holds them
  EXPECT_EQ(r.rangeStart, 1);
  EXPECT_EQ(r.rangeEnd, 2);
}

TEST(SearchReplace, MultiLineFindReplacesWholeLinesAndReindents) {
  const std::string text = "x\r    foo(1);\r    bar(2);\ry";
  TSearchRequest rq;
  rq.findText = "foo(1);\r\nbar(2);";
  rq.replaceText = "baz();\n\nqux();";
  rq.matchWhitespace = false;
  TSearchResult r = SearchAndReplaceNext(text, rq);
  EXPECT_EQ(r.rangeStart, 2);  // from the start of the first line
  EXPECT_EQ(r.rangeEnd, 25);   // to the end of the last
  EXPECT_TRUE(r.replace);
  EXPECT_EQ(r.insertText, "    baz();\r\r    qux();");  // empty lines stay empty
  // A replacement that already carries the indentation is left as it is.
  rq.replaceText = "    baz();\nqux();";
  EXPECT_EQ(SearchAndReplaceNext(text, rq).insertText, "    baz();\rqux();");
  // With whitespace matching, no widening and no re-indentation.
  rq.matchWhitespace = true;
  rq.findText = "foo(1);\r    bar";
  rq.replaceText = "z\nw";
  r = SearchAndReplaceNext(text, rq);
  EXPECT_EQ(r.rangeStart, 6);
  EXPECT_EQ(r.insertText, "z\rw");
}

TEST(SearchReplace, ReindentReplacement) {
  struct Case { const char* text; const char* indent; const char* out; };
  const Case cases[] = {
      {"a\n\nb\n", "  ", "  a\r\n\r\n  b\r\n"},
      {"  a\nb", "  ", "  a\r\nb"},          // the first non-blank line is indented already
      {"a\rb", "", "a\r\nb"},
      {"\n  \nx", "\t", "\r\n\t  \r\n\tx"},  // blank but not empty lines get it too
  };
  for (const auto& c : cases) EXPECT_EQ(ReindentReplacement(c.text, c.indent), c.out) << c.text;
  EXPECT_EQ(LeadingBlanksAt(" \t x", 0), " \t ");
  EXPECT_EQ(LeadingBlanksAt("x", 5), "");
}
