#include <gtest/gtest.h>

#include <string>

#include "notes/text/TextQueries.h"

using namespace NoteText;

TEST(TextQueries, UrlUnderTheMouse) {
  struct Case { std::string text; std::string at; std::string url; };
  const Case cases[] = {
      {"see (https://x.org/a). ok", "x.org", "https://x.org/a"},
      {"HTTP://X.ORG/Path", "ORG", "HTTP://X.ORG/Path"},  // case kept
      {"ftp://x.org", "x.org", ""},
      {"go http://a.b/c.,;: now", "a.b", "http://a.b/c"},
      {"<http://a>", "a>", "http://a"},
      {"'https://q/r'", "q/", "https://q/r"},
      {"x\rhttp://a\ry", "http", "http://a"},
      {"[http://a/(b)]", "//", "http://a/(b"},
      {"plain words", "words", ""},
  };
  for (const auto& c : cases) {
    const int index = static_cast<int>(c.text.find(c.at));
    EXPECT_EQ(UrlAt(c.text, index), c.url) << c.text;
  }
  EXPECT_EQ(UrlAt("", 0), "");
  EXPECT_EQ(UrlAt("http://a", 99), "http://a");  // clamped to the last character
}

TEST(TextQueries, ClickSelections) {
  const std::string t = "foo  bar  \rx";
  int s = -1, e = -1;
  RunAt(t, 4, s, e);  // between the two blanks: both
  EXPECT_EQ(s, 3);
  EXPECT_EQ(e, 5);
  RunAt(t, 1, s, e);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 3);
  RunAt(t, 10, s, e);  // on the break: clamped into the line
  EXPECT_EQ(s, 8);
  EXPECT_EQ(e, 10);
  RunAt("a\r\rb", 2, s, e);  // an empty line
  EXPECT_EQ(s, e);
  const TLineInfo line = LineInfoAt(t, 2);
  EXPECT_EQ(line.start, 0);
  EXPECT_EQ(line.end, 10);
  EXPECT_EQ(line.trimmedEnd, 8);  // the fourth click selects "foo  bar"
}
