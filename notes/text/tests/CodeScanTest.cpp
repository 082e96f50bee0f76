#include <gtest/gtest.h>

#include <random>
#include <string>

#include "notes/text/CodeScan.h"

using namespace NoteText;

TEST(CodeScan, BlankOutComments) {
  struct Case { const char* text; const char* blanked; };
  const Case cases[] = {
      // A line comment ends at the next break of any kind: the control's
      // text has only CRs, and the next line must stay code.
      {"a // c\rb }", "a     \rb }"},
      {"a // c\nb", "a     \nb"},
      {"a // c\r\nb", "a     \r\nb"},
      {"x # h\ry", "x    \ry"},
      {"s = \"// not\" // yes", "s = \"// not\"       "},
      {"/* a\rb */c", "    \r    c"},
      {"'it\\'s # no' #c", "'it\\'s # no'   "},
      {"`a\rb` /*", "`a\rb`   "},  // strings run across lines; an open block comment to the end
      {"a/*x*/b", "a     b"},
  };
  for (const auto& c : cases) EXPECT_EQ(BlankOutComments(c.text), c.blanked) << c.text;
}

TEST(CodeScan, MaskCodeForFunction) {
  EXPECT_EQ(MaskCodeForFunction("f(\"x)\") # no"), "f(    ) # no");
  EXPECT_EQ(MaskCodeForFunction("a('q\\'r\rs') // c\rz"), "a(     \r  )     \rz");
}

TEST(CodeScan, BlankingKeepsLengthAndBreaks) {
  std::mt19937 rng(7);
  const std::string alphabet = "{}()'\"`/*\\#\r\n xa";
  for (int n = 0; n < 500; ++n) {
    std::string t;
    const int len = static_cast<int>(rng() % 40);
    for (int i = 0; i < len; ++i) t.push_back(alphabet[rng() % alphabet.size()]);
    for (const std::string& b : {BlankOutComments(t), MaskCodeForFunction(t)}) {
      ASSERT_EQ(b.size(), t.size()) << t;
      for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' || t[i] == '\n') {
          ASSERT_EQ(b[i], t[i]) << t;
        }
        if (b[i] != t[i]) {
          ASSERT_EQ(b[i], ' ') << t;
        }
      }
    }
  }
}

TEST(CodeScan, RegularExpressionLiterals) {
  struct Case { const char* text; int at; bool expression; bool literal; int last; };
  const Case cases[] = {
      {"x = /[}/]+/gi;", 4, true, true, 12},
      {"/x/", 0, true, true, 2},
      {"  \r\t/x/", 4, true, true, 6},
      {"return /x/", 7, true, true, 9},
      {"Return /x/", 7, true, true, 9},
      {"(/a\\/b/)", 1, true, true, 6},
      {"a / b / c", 2, false, false, 2},
      {"returns /x/", 8, false, false, 8},
      {"x) /y/", 3, false, false, 3},
      {"x = /abc\r/", 4, true, false, 4},  // a literal never spans lines
      {"x = /ab", 4, true, false, 4},
      {"x = //c", 4, true, false, 4},      // a comment, not a literal
      {"x = /*c*/", 4, true, false, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsExpressionPosition(c.text, c.at), c.expression) << c.text;
    int i = c.at;
    EXPECT_EQ(SkipRegexLiteral(c.text, i), c.literal) << c.text;
    EXPECT_EQ(i, c.last) << c.text;
  }
}

TEST(CodeScan, BraceAndParenMatching) {
  struct Case { const char* text; int open; int close; };
  const Case braces[] = {
      {"{ \"}\" }", 0, 6},
      {"{ // }\r}", 0, 7},          // the comment ends at the CR
      {"{ /* } */ }", 0, 10},
      {"{ x = /[}]/; }", 0, 13},    // "}" inside a literal after "="
      {"{ a / b } }", 0, 8},        // division
      {"{ # }\r}", 0, 4},           // "#" is no comment here
      {"{ '}' `}` }", 0, 10},
      {"{a{b}c}", 0, 6},
      {"{a{b}c}", 2, 4},
      {"{ {", 0, -1},
      {"{ \"}", 0, -1},             // an open string runs to the end
      {"x", 0, -1},
      {"{}", 5, -1},
  };
  for (const auto& c : braces) {
    EXPECT_EQ(FindMatchingBrace(c.text, c.open), c.close) << c.text;
    TBraceScanner s(c.text);
    EXPECT_EQ(s.MatchBrace(c.open), c.close) << c.text;
  }
  const Case parens[] = {
      {"(a(b)c)", 0, 6}, {"(\")\")", 0, 4}, {"(('x'", 0, -1}, {"(a /* ) */)", 0, 6}, {"f(x)", 0, -1},
  };
  for (const auto& c : parens) {
    EXPECT_EQ(FindMatchingParen(c.text, c.open), c.close) << c.text;
    TBraceScanner s(c.text);
    EXPECT_EQ(s.MatchParen(c.open), c.close) << c.text;
  }
}

// The remembering scanner must give the single functions' answers for every
// bracket, whatever order the look-ups come in.
TEST(CodeScan, ScannerAgreesWithSingleLookups) {
  std::mt19937 rng(42);
  const std::string alphabet = "{{}}(())'\"`/*\\#\r\n x=;[]";
  for (int n = 0; n < 3000; ++n) {
    std::string t;
    const int len = static_cast<int>(rng() % 70);
    for (int i = 0; i < len; ++i) t.push_back(alphabet[rng() % alphabet.size()]);
    std::vector<int> order(t.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::shuffle(order.begin(), order.end(), rng);
    TBraceScanner s(t);
    for (int i : order) {
      ASSERT_EQ(s.MatchBrace(i), FindMatchingBrace(t, i)) << "brace " << i << " in " << t;
      ASSERT_EQ(s.MatchParen(i), FindMatchingParen(t, i)) << "paren " << i << " in " << t;
    }
  }
}

// Long lines full of literals that never close make the scanner switch to
// remembering each literal scan; the answers must not change.
TEST(CodeScan, ScannerAgreesOnLinesOfOpenLiterals) {
  std::mt19937 rng(3);
  const char* pieces[] = {"(/[", "(/[", "(/[", "(/[", "(/[", "{", "}", "]", "x=/", "\\"};
  for (int n = 0; n < 40; ++n) {
    std::string t;
    while (t.size() < 3000) t += pieces[rng() % (sizeof pieces / sizeof *pieces)];
    TBraceScanner s(t);
    for (std::size_t p = t.find('{'); p != std::string::npos; p = t.find('{', p + 1)) {
      ASSERT_EQ(s.MatchBrace(static_cast<int>(p)), FindMatchingBrace(t, static_cast<int>(p))) << n << " @" << p;
    }
  }
}

TEST(CodeScan, PlainBrackets) {
  struct Case { const char* text; int index; int partner; };
  const Case cases[] = {
      {"f(')')", 1, 3},   // quotes are ignored
      {"<a<b>>", 0, 5},   // "<" pairs with ">"
      {"<a<b>>", 5, 0},
      {"[x]", 2, 0},
      {"([)]", 0, 2},
      {")", 0, -1},
      {"(x", 0, -1},
      {"abc", 1, -1},
      {"()", 2, -1},
      {"()", -1, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(FindMatchingBracket(c.text, c.index), c.partner) << c.text;
}

TEST(CodeScan, BracketOfALine) {
  struct Case { const char* text; int index; int bracket; };
  const Case cases[] = {
      {"  }  \rx", 0, 2},    // a line holding only "}" and blanks
      {"a(b)c", 0, -1},      // two brackets among other characters
      {"  )] \r", 1, 2},     // several, nothing but blanks: the first
      {"x)", 0, 1},          // exactly one
      {"a\r\t{\r", 3, 3},    // the second line
      {"", 0, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(FindSingleBracketInLine(c.text, c.index), c.bracket) << c.text;

  // Near the caret: at it, before it, else the line's single bracket.
  EXPECT_EQ(FindBracketNearCaret("a(b", 1), 1);
  EXPECT_EQ(FindBracketNearCaret("a(b", 2), 1);
  EXPECT_EQ(FindBracketNearCaret("ab\r }", 0), -1);
  EXPECT_EQ(FindBracketNearCaret("ab\r x }", 4), 6);
  EXPECT_EQ(FindBracketNearCaret("ab)", 3), 2);

  // Around a clicked character: up to three characters away on its line.
  const std::string t = "x(abcdefg(\r)";
  EXPECT_EQ(FindBracketAround(t, 3), 1);    // two to the right of "("
  EXPECT_EQ(FindBracketAround(t, 4), 1);    // three away
  EXPECT_EQ(FindBracketAround(t, 5), -1);   // four away, and two brackets on the line
  EXPECT_EQ(FindBracketAround("(abcdefg", 5), 0);  // four away: the line's single bracket
  EXPECT_EQ(FindBracketAround(t, 8), 9);    // the right side is tried first
  EXPECT_EQ(FindBracketAround(t, 10), 9);   // not across the line break
}

TEST(CodeScan, IdentifierAndQuotedReference) {
  const std::string t = "foo.bar(x$1)";
  EXPECT_EQ(IdentifierTextAt(t, 5), "bar");
  EXPECT_EQ(IdentifierTextAt(t, 3), "foo");   // just after the word
  EXPECT_EQ(IdentifierTextAt(t, 7), "bar");
  EXPECT_EQ(IdentifierTextAt(t, 9), "x$1");
  EXPECT_EQ(IdentifierTextAt(t, 12), "");
  EXPECT_EQ(IdentifierTextAt("a  b", 2), "");
  EXPECT_EQ(IdentifierTextAt("", 0), "");

  const std::string q = "open \"abc\" now 'x' \"a\" mid \"b\"\r\"c";
  auto at = [&](const char* s, int off = 0) { return static_cast<int>(q.find(s)) + off; };
  EXPECT_EQ(QuotedReferenceAt(q, at("abc", 1)), "abc");
  EXPECT_EQ(QuotedReferenceAt(q, at("\"abc")), "");    // on the opening quote itself
  EXPECT_EQ(QuotedReferenceAt(q, at("\" now")), "");   // on the closing quote
  EXPECT_EQ(QuotedReferenceAt(q, at("x'")), "x");
  EXPECT_EQ(QuotedReferenceAt(q, at("mid")), " mid ");  // between two strings
  EXPECT_EQ(QuotedReferenceAt(q, at("\"c", 1)), "");   // no closing quote on its line
  EXPECT_EQ(QuotedReferenceAt(q, 2), "");
}
