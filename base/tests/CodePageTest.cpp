#include <gtest/gtest.h>

#include "base/CodePage.h"

#include <string>

// Checks that hold on every code page.
TEST(CodePage, AsciiAndSurrogates) {
  for (char16_t u = 0; u < 0x80; ++u) {
    std::string out;
    ASSERT_TRUE(CodePage::AppendAnsiChar(u, out)) << int(u);
    EXPECT_EQ(out, std::string(1, static_cast<char>(u)));
  }
  for (char16_t u : {char16_t(0xD800), char16_t(0xDBFF), char16_t(0xDC00), char16_t(0xDFFF)}) {
    EXPECT_FALSE(CodePage::IsRepresentable(u)) << int(u);
    std::string out = "x";
    EXPECT_FALSE(CodePage::AppendAnsiChar(u, out));
    EXPECT_EQ(out, "x");  // nothing appended
  }
  std::string out;
  EXPECT_TRUE(CodePage::WideToAnsiNoBestFit(u"plain text\r\n", out));
  EXPECT_EQ(out, "plain text\r\n");
  EXPECT_EQ(CodePage::AnsiToWide("abc"), u"abc");
  EXPECT_EQ(CodePage::AnsiToWide(""), u"");
}

// Every representable unit survives the way back: no conversion here may
// turn one character into another.
TEST(CodePage, RepresentableUnitsRoundTrip) {
  for (unsigned v = 0x80; v <= 0xFFFF; ++v) {
    const auto u = static_cast<char16_t>(v);
    std::string bytes;
    if (!CodePage::AppendAnsiChar(u, bytes)) continue;
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(CodePage::AnsiToWide(bytes), std::u16string(1, u)) << std::hex << v;
  }
}

// Windows-1252, the code page of the native build and of Wine without a locale.
TEST(CodePage, Windows1252) {
  if (CodePage::AnsiCodePage() != 1252) GTEST_SKIP() << "code page " << CodePage::AnsiCodePage();
  // Every byte decodes to one unit that encodes back to the same byte.
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::u16string w = CodePage::AnsiToWide(one);
    ASSERT_EQ(w.size(), 1u) << b;
    std::string back;
    EXPECT_TRUE(CodePage::WideToAnsiNoBestFit(w, back)) << b;
    EXPECT_EQ(back, one) << b;
  }
  struct Case { char16_t unit; int byte; };  // byte -1: not in the code page
  const Case cases[] = {
      {0x20AC, 0x80}, {0x0178, 0x9F}, {0x00E9, 0xE9}, {0x00FF, 0xFF}, {0x00A0, 0xA0},
      {0x2122, 0x99}, {0x0081, 0x81},
      // Characters that best fit would turn into look-alikes: "ł"→"l",
      // "ā"→"a", fullwidth "Ａ"→"A"; they must be refused.
      {0x0142, -1}, {0x0101, -1}, {0xFF21, -1}, {0x0416, -1}, {0x0080, -1}, {0x20AD, -1},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(CodePage::AppendAnsiChar(c.unit, out), c.byte >= 0) << std::hex << int(c.unit);
    EXPECT_EQ(CodePage::IsRepresentable(c.unit), c.byte >= 0) << std::hex << int(c.unit);
    if (c.byte >= 0) {
      EXPECT_EQ(out, std::string(1, static_cast<char>(c.byte)));
    }
  }
  std::string out;
  EXPECT_FALSE(CodePage::WideToAnsiNoBestFit(u"a\u0142b", out));
  EXPECT_EQ(out, "a?b");
}

// Windows-1250 (Central European), as Wine picks it for a Polish locale.
TEST(CodePage, Windows1250) {
  if (CodePage::AnsiCodePage() != 1250) GTEST_SKIP() << "code page " << CodePage::AnsiCodePage();
  std::string out;
  EXPECT_TRUE(CodePage::AppendAnsiChar(0x0142, out));  // "ł"
  EXPECT_EQ(out, "\xB3");
  EXPECT_EQ(CodePage::AnsiToWide("\xB3"), u"\u0142");
  EXPECT_FALSE(CodePage::IsRepresentable(0x0416));  // "Ж"
}
