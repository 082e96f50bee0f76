#include <gtest/gtest.h>

#include <string>

#include "notes/text/IconPickerText.h"

using namespace NoteText;

TEST(IconPickerText, PicksBecomeTokens) {
  struct Case {
    const char* text;
    const char* tokens;  // "" = the pick is ignored
  };
  const Case cases[] = {
      {"1F44D", "[[U+1F44D]]"},
      {"1F44D-1F3FD", "[[U+1F44D]][[U+1F3FD]]"},
      {"1F600/", "[[U+1F600]]"},
      {"1F600#", "[[U+1F600]]"},
      {"--1F600??2764", "[[U+1F600]][[U+2764]]"},
      {"2764-FE0F", "[[U+2764]][[U+FE0F]]"},
      {"1f44d", "[[U+1F44D]]"},
      {"0041", "[[U+0041]]"},
      {"10FFFF", "[[U+10FFFF]]"},
      // Anything that is not 4 to 6 hex digits naming a valid code point
      // makes the whole pick void: the page cannot write other text.
      {"", ""},
      {"/#?-", ""},
      {"]]x[[", ""},
      {"1F44D-]]x[[", ""},
      {"123", ""},
      {"1234567", ""},
      {"12G4", ""},
      {"D800", ""},
      {"DFFF", ""},
      {"110000", ""},
      {"1F44D 1F3FD", ""},
      {"1F44D%2D1F3FD", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PickerTextToTokens(c.text), c.tokens) << c.text;
}

TEST(IconPickerText, APickIsBounded) {
  std::string sixteen, seventeen;
  for (int i = 0; i < 16; ++i) sixteen += "1F600-";
  seventeen = sixteen + "1F600";
  EXPECT_EQ(PickerTextToTokens(sixteen).size(), 16u * 11u);
  EXPECT_EQ(PickerTextToTokens(seventeen), "");
  // Long runs of separators are no way around the bound either.
  EXPECT_EQ(PickerTextToTokens(std::string(300, '-') + "1F600"), "");
}

TEST(IconPickerText, OnlyTheExactSchemeIsIntercepted) {
  struct Case {
    const char* url;
    bool picked;
    const char* rest;
  };
  const Case cases[] = {
      {"npicon:1F44D", true, "1F44D"},
      {"npicon:", true, ""},
      {"NPICON:1F44D", false, ""},
      {"https://example.org/icon/?style=bcb5", false, ""},
      {"about:blank", false, ""},
      {" npicon:1F44D", false, ""},
  };
  for (const auto& c : cases) {
    std::string_view rest;
    EXPECT_EQ(IsIconPickerUrl(c.url, rest), c.picked) << c.url;
    if (c.picked) {
      EXPECT_EQ(rest, c.rest) << c.url;
    }
  }
}
