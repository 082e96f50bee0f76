#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "base/StringList.h"
#include "base/tests/TestUtil.h"

TEST(StringList, SplitsEveryLineBreak) {
  struct Case { std::string text; std::vector<std::string> lines; };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\n\n", {"", ""}},
      {"a\n\rb", {"a", "", "b"}},
  };
  for (const auto& c : cases) {
    TStringList l;
    l.SetText(c.text);
    EXPECT_EQ(l.Items(), c.lines) << c.text;
  }
}

TEST(StringList, TextNamesValuesAndFiles) {
  TStringList l;
  l.Add("Key=Value");
  l.Add("Other=x=y");
  l.Insert(0, "plain");
  EXPECT_EQ(l.Text(), "plain\r\nKey=Value\r\nOther=x=y\r\n");
  EXPECT_EQ(l.Values("key"), "Value");
  EXPECT_EQ(l.Values("Other"), "x=y");
  EXPECT_EQ(l.IndexOfName("plain"), -1);
  EXPECT_EQ(l.IndexOf("Key=Value"), 1);
  EXPECT_THROW(l.Strings(3), EListError);
  l.Delete(0);
  TempDir dir;
  l.SaveToFile(dir.File("l.txt"));
  TStringList r;
  r.LoadFromFile(dir.File("l.txt"));
  EXPECT_EQ(r.Items(), l.Items());
}
