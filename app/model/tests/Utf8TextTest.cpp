// UTF-8 and the ANSI code page (Windows-1252 natively and under Wine):
// both ways, loss detection, malformed UTF-8 and the notes tokens.
#include <gtest/gtest.h>

#include <string>

#include "app/model/Utf8Text.h"

TEST(Utf8ToAnsi, Windows1252) {
  struct Case {
    const char* utf8;
    const char* ansi;
    bool lost;
  } cases[] = {
      {"caf\xC3\xA9", "caf\xE9", false},                            // é
      {"\xE2\x82\xAC \xC5\xA0 \xC5\xB8", "\x80 \x8A \x9F", false},  // € Š Ÿ
      {"\xE4\xB8\xAD", "?", true},                                  // 中
      {"\xC4\x89", "?", true},                                      // ĉ is not "c"
      {"\xF0\x9F\x98\x80!", "?!", true},                            // 😀
      {"\xC3", "?", true},                                          // cut short
      {"\xC3(", "?(", true},
      {"\xC0\xAF", "??", true},                                     // overlong
      {"\xED\xA0\x80", "???", true},                                // a surrogate
      {"\xF4\x90\x80\x80", "????", true},                           // above U+10FFFF
      {"\xEF\xBF\xBD", "?", true},                                  // U+FFFD itself
      {"plain ascii", "plain ascii", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    bool lost = false;
    EXPECT_EQ(Utf8ToAnsi(c.utf8, &lost), c.ansi) << c.utf8;
    EXPECT_EQ(lost, c.lost) << c.utf8;
  }
}

TEST(AnsiToUtf8, EveryByteReadsBack) {
  // The five bytes that Windows-1252 leaves unassigned included.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = AnsiToUtf8(all);
  bool lost = false;
  EXPECT_EQ(Utf8ToAnsi(utf8, &lost), all);
  EXPECT_FALSE(lost);
  EXPECT_EQ(AnsiToUtf8("\x80\xE9\x9F"), "\xE2\x82\xAC\xC3\xA9\xC5\xB8");
}

TEST(NotesText, CharactersOutsideTheCodePageBecomeTokens) {
  bool lost = false;
  EXPECT_EQ(Utf8ToNotesText("a\xE4\xB8\xAD" "b \xC3\xA9 \xF0\x9F\x98\x80", &lost), "a[[U+4E2D]]b \xE9 [[U+1F600]]");
  EXPECT_FALSE(lost);
  EXPECT_EQ(Utf8ToNotesText("x\xFF\xC3\xA9", &lost), "x?\xE9");
  EXPECT_TRUE(lost);

  struct Case {
    const char* notes;
    const char* utf8;
  } cases[] = {
      {"[[U+4E2D]]", "\xE4\xB8\xAD"},
      {"[[u+4e2d]]x", "\xE4\xB8\xAD" "x"},
      {"\xE9[[U+1F600]]\x80", "\xC3\xA9\xF0\x9F\x98\x80\xE2\x82\xAC"},
      {"[[U+D800]]", "[[U+D800]]"},  // no character: stays text
      {"[[U+110000]]", "[[U+110000]]"},
      {"[[U+12]]", "[[U+12]]"},
      {"[[U+1234567]]", "[[U+1234567]]"},
      {"[[U+4E2D]", "[[U+4E2D]"},
      {"[[IMG:3]] \xE9", "[[IMG:3]] \xC3\xA9"},
  };
  for (const Case& c : cases) EXPECT_EQ(NotesTextToUtf8(c.notes), c.utf8) << c.notes;
  EXPECT_EQ(FormatCodePointToken(0x41), "[[U+0041]]");
  EXPECT_EQ(FormatCodePointToken(0x10FFFF), "[[U+10FFFF]]");
}
