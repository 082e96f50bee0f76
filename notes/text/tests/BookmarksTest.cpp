#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notes/text/Bookmarks.h"

using namespace NoteText;

TEST(Bookmarks, TextForm) {
  struct Case { const char* text; int lineCount; const char* out; };
  const Case cases[] = {
      {"3, 7,x,0,-2,7", 0, "3,7"},
      {"\"4\" 5,\"6\"", 0, "4,5,6"},   // blanks separate too; quoted items
      {"3,7", 5, "3"},                  // beyond the last of 5 lines
      {" 12 ,, 1", 0, "12,1"},          // list order, not sorted
      {"", 0, ""},
      {"1.5,2e1,+3", 0, "3"},
  };
  for (const auto& c : cases) {
    TBookmarkList b;
    b.SetFromText(c.text, c.lineCount);
    EXPECT_EQ(b.ToText(), c.out) << c.text;
  }
}

TEST(Bookmarks, ToggleAndNext) {
  TBookmarkList b;
  EXPECT_EQ(b.NextTarget(0, 10), -1);  // the editor beeps
  EXPECT_TRUE(b.Toggle(8));
  EXPECT_TRUE(b.Toggle(1));
  EXPECT_TRUE(b.IsBookmarked(8));
  EXPECT_FALSE(b.Toggle(-1));
  EXPECT_EQ(b.ToText(), "9,2");
  // Lines 2 and 9 (1-based), caret on line 9: Ctrl+B goes to line 2.
  EXPECT_EQ(b.NextTarget(8, 20), 1);
  EXPECT_EQ(b.NextTarget(0, 20), 1);
  EXPECT_EQ(b.NextTarget(1, 20), 8);
  EXPECT_EQ(b.NextTarget(3, 5), 4);  // beyond the text: its last line
  EXPECT_FALSE(b.Toggle(8));
  EXPECT_EQ(b.ToText(), "2");
}

TEST(Bookmarks, FollowLineChanges) {
  struct Case {
    const char* before;
    const char* after;
    int caretLine;
    std::vector<int> marks;
    std::vector<int> moved;
  };
  const Case cases[] = {
      // Enter typed at the start of line 1 (CR-only text, as the control holds it).
      {"a\rb\rc", "a\r\rb\rc", 2, {2}, {3}},
      {"a\rb\rc", "a\r\rb\rc", 2, {0}, {0}},
      // Two lines pasted at the start of line 1.
      {"a\rb\rc", "a\rx\ry\rb\rc", 3, {1, 2}, {3, 4}},
      // The break at the end of bookmarked line 1 deleted: that bookmark goes,
      // the ones below move up.
      {"a\rb\rc\rd", "a\rbc\rd", 1, {1, 3}, {2}},
      // Lines removed above: bookmarks below move up.
      {"a\rb\rc\rd\re", "a\re", 1, {4}, {1}},
      // Every kind of break counts.
      {"a\r\nb", "a\r\n\r\nb", 1, {1}, {2}},
      {"a\nb", "a\n\nb", 1, {1}, {2}},
      // Moved bookmarks that meet merge.
      {"a\rb\rc", "abc", 0, {0, 2}, {0}},
  };
  for (const auto& c : cases) {
    TBookmarkList b;
    for (int m : c.marks) b.Toggle(m);
    b.AdjustForTextChange(c.before, c.after, c.caretLine);
    EXPECT_EQ(b.Lines(), c.moved) << c.before << " -> " << c.after;
  }
  TBookmarkList b;
  b.Toggle(1);
  EXPECT_FALSE(b.AdjustForTextChange("a\rb", "a\rbc", 1));  // no line added or removed
  EXPECT_FALSE(b.AdjustForTextChange("a", "a", 0));
}

TEST(Bookmarks, GutterArithmetic) {
  EXPECT_EQ(GutterDigits(5), 2);  // at least two digits
  EXPECT_EQ(GutterDigits(100), 3);
  EXPECT_EQ(GutterDigits(0), 2);
  EXPECT_EQ(GutterWidthFor(5, 7), 24);    // at least 24 pixels
  EXPECT_EQ(GutterWidthFor(1000, 8), 38);
  EXPECT_EQ(GutterWidthFor(1000, 0), 38);  // width 8 when not positive
  EXPECT_EQ(BookmarkDotSize(12), 10);
  EXPECT_EQ(BookmarkDotSize(20), 12);      // d capped at 10
  EXPECT_EQ(BookmarkDotSize(8), 12);       // d = 4 is below 6 and becomes 10
}
