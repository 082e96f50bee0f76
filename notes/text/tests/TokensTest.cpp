#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "base/CodePage.h"
#include "notes/text/Tokens.h"

using namespace NoteText;

namespace {

// A character no Windows ANSI code page holds.
constexpr char16_t kForeign = 0x0F00;  // Tibetan OM

// The control binding includes the drawing layer too, which declares the
// same alias: both must name one type.
static_assert(std::is_same_v<TColor, std::uint32_t>);

}  // namespace

TEST(Tokens, CodePointGrammar) {
  struct Case {
    const char* text;
    int pos;
    int syntaxLength;  // CodePointTokenLength
    int validLength;   // ParseCodePointToken
    std::uint32_t value;
  };
  const Case cases[] = {
      {"[[U+1F600]]", 0, 11, 11, 0x1F600},
      {"[[u+1f600]]", 0, 11, 11, 0x1F600},       // either case
      {"[[U+0041]]", 0, 10, 10, 0x41},           // a whole text of 10 characters
      {"abc[[U+0041]]", 3, 10, 10, 0x41},        // at the very end of the text
      {"[[U+10FFFF]]", 0, 12, 12, 0x10FFFF},
      {"[[U+D800]]", 0, 10, 0, 0xD800},          // surrogate: syntax only
      {"[[U+DFFF]]", 0, 10, 0, 0xDFFF},
      {"[[U+110000]]", 0, 12, 0, 0x110000},      // beyond Unicode: syntax only
      {"[[U+12]]", 0, 0, 0, 0},                  // too few digits
      {"[[U+123]]", 0, 0, 0, 0},
      {"[[U+1234567]]", 0, 0, 0, 0},             // six digits read, then no "]]"
      {"[[U+0041]", 0, 0, 0, 0},                 // cut short at the end
      {"[[U+0041] ]", 0, 0, 0, 0},
      {"[[U+004G]]", 0, 0, 0, 0},
      {"[U+0041]]", 0, 0, 0, 0},
      {"[[U-0041]]", 0, 0, 0, 0},
      {"x[[U+0041]]", -1, 0, 0, 0},              // no token before the text
  };
  for (const auto& c : cases) {
    std::uint32_t v = 0;
    EXPECT_EQ(CodePointTokenLength(c.text, c.pos, &v), c.syntaxLength) << c.text;
    if (c.syntaxLength) {
      EXPECT_EQ(v, c.value) << c.text;
    }
    std::uint32_t cp = 0;
    EXPECT_EQ(ParseCodePointToken(c.text, c.pos, cp), c.validLength) << c.text;
    if (c.validLength) {
      EXPECT_EQ(cp, c.value) << c.text;
    }
  }
  EXPECT_EQ(FormatCodePointToken(0x41), "[[U+0041]]");
  EXPECT_EQ(FormatCodePointToken(0x1F600), "[[U+1F600]]");
  EXPECT_EQ(FormatCodePointToken(0x10FFFF), "[[U+10FFFF]]");
  EXPECT_EQ(FormatCodePointToken(0x20AC), "[[U+20AC]]");
}

TEST(Tokens, ImageGrammar) {
  struct Case { const char* text; int length; int number; };
  const Case cases[] = {
      {"[[IMG:0]]", 9, 0},                // shortest, also at the text's end
      {"[[IMG:42]]x", 10, 42},
      {"[[IMG:9999999]]", 15, 9999999},   // seven digits always read
      {"[[IMG:10000009]]", 16, 10000009}, // eight: first seven 1000000
      {"[[IMG:00000001]]", 16, 1},
      {"[[IMG:10000010]]", 0, 0},         // first seven 1000001 > 1,000,000
      {"[[IMG:12345678]]", 0, 0},
      {"[[IMG:]]", 0, 0},
      {"[[IMG:1]", 0, 0},
      {"[[IMG:1x]]", 0, 0},
      {"[[img:1]]", 0, 0},
  };
  for (const auto& c : cases) {
    int n = -1;
    EXPECT_EQ(ParseImageToken(c.text, 0, n), c.length) << c.text;
    if (c.length) {
      EXPECT_EQ(n, c.number) << c.text;
    }
  }
}

TEST(Tokens, ColorGrammar) {
  struct Case { const char* text; int length; bool off; TColor color; };
  const Case cases[] = {
      {"[[COLOR:NONE]]", 14, true, 0},
      {"[[COLOR:#ff8000]]", 17, false, 0x0080FF},  // orange: red FF, green 80
      {"[[COLOR:#FF8000]]", 17, false, 0x0080FF},
      {"[[COLOR:#0000FF]]", 17, false, 0xFF0000},  // blue lands in the high byte
      {"[[COLOR:none]]", 0, false, 0},             // colour off only in upper case
      {"[[COLOR:#12345]]", 0, false, 0},
      {"[[COLOR:#1234567]]", 0, false, 0},
      {"[[COLOR:#12345G]]", 0, false, 0},
      {"[[COLOR:#123456]", 0, false, 0},
      {"[[color:#123456]]", 0, false, 0},
  };
  for (const auto& c : cases) {
    bool off = !c.off;
    TColor color = -1;
    EXPECT_EQ(ParseColorToken(c.text, 0, off, color), c.length) << c.text;
    if (c.length) {
      EXPECT_EQ(off, c.off) << c.text;
      EXPECT_EQ(color, c.color) << c.text;
    }
  }
}

TEST(Tokens, Utf16OfCodePoints) {
  EXPECT_EQ(CodePointFromSurrogates(0xD83D, 0xDE00), 0x1F600u);
  EXPECT_EQ(CodePointFromSurrogates(0xD800, 0xDC00), 0x10000u);
  EXPECT_EQ(CodePointFromSurrogates(0xDBFF, 0xDFFF), 0x10FFFFu);
  EXPECT_EQ(CodePointToUtf16(0x41), u"A");
  EXPECT_EQ(CodePointToUtf16(0xFFFF), std::u16string(1, char16_t(0xFFFF)));
  EXPECT_EQ(CodePointToUtf16(0x10000), (std::u16string{char16_t(0xD800), char16_t(0xDC00)}));
  EXPECT_EQ(CodePointToUtf16(0x1F600), (std::u16string{char16_t(0xD83D), char16_t(0xDE00)}));
  EXPECT_EQ(CodePointToUtf16(0x10FFFF), (std::u16string{char16_t(0xDBFF), char16_t(0xDFFF)}));
  // Invalid values give nothing rather than a broken unit.
  EXPECT_EQ(CodePointToUtf16(0xD800), u"");
  EXPECT_EQ(CodePointToUtf16(0x110000), u"");
  EXPECT_EQ(CodePointToUtf16(0xFFFFFF), u"");
}

TEST(Tokens, WideToEditorText) {
  ASSERT_FALSE(CodePage::IsRepresentable(kForeign));
  const std::u16string pair{char16_t(0xD83D), char16_t(0xDE00)};
  EXPECT_EQ(WideToEditorText(u"plain\r\ntext"), "plain\r\ntext");
  EXPECT_EQ(WideToEditorText(u"a" + pair + u"b"), "a[[U+1F600]]b");
  EXPECT_EQ(WideToEditorText(std::u16string(1, kForeign)), "[[U+0F00]]");
  // Lone surrogates become tokens too, which then read back as text.
  EXPECT_EQ(WideToEditorText(std::u16string{char16_t(0xD83D), u'x'}), "[[U+D83D]]x");
  EXPECT_EQ(WideToEditorText(std::u16string{u'x', char16_t(0xDE00)}), "x[[U+DE00]]");
  EXPECT_EQ(WideToEditorText(u""), "");
}

TEST(Tokens, EditorTextToWide) {
  const std::u16string pair{char16_t(0xD83D), char16_t(0xDE00)};
  EXPECT_EQ(EditorTextToWide("a[[U+1F600]]b"), u"a" + pair + u"b");
  EXPECT_EQ(EditorTextToWide("[[u+1f600]]"), pair);
  EXPECT_EQ(EditorTextToWide("[[U+0041]]"), u"A");  // a token that ends the text
  EXPECT_EQ(EditorTextToWide("x[[U+0041]]"), u"xA");
  // Invalid code points and broken or other tokens stay literal text.
  for (const char* literal : {"[[U+D800]]", "[[U+DE00]]", "[[U+110000]]", "[[U+FFFFFF]]", "[[U+12]]",
                              "[[U+1234567]]", "[[U+0041]", "[[IMG:1]]", "[[COLOR:NONE]]"}) {
    EXPECT_EQ(EditorTextToWide(literal), CodePage::AnsiToWide(literal)) << literal;
  }
}

TEST(Tokens, RoundTrips) {
  const std::u16string pair{char16_t(0xD83D), char16_t(0xDE00)};
  const std::u16string samples[] = {
      u"",
      u"plain ASCII\r\nline two",
      pair + pair + u"x" + pair,
      std::u16string(1, kForeign) + u" and " + std::u16string(3, kForeign),
      std::u16string{char16_t(0xDBFF), char16_t(0xDFFF), char16_t(0xFFFD), char16_t(0xFFFF)},
  };
  for (const auto& w : samples) {
    EXPECT_EQ(EditorTextToWide(WideToEditorText(w)), w);
  }
  // Every representable character of the code page survives, and so does
  // every other BMP character (as its token).
  std::u16string all;
  for (unsigned v = 1; v <= 0xFFFF; ++v) {
    if (v < 0xD800 || v > 0xDFFF) all.push_back(static_cast<char16_t>(v));
  }
  EXPECT_EQ(EditorTextToWide(WideToEditorText(all)), all);
  // Editor text without tokens comes back byte for byte.
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  if (CodePage::AnsiCodePage() == 1252) {
    EXPECT_EQ(WideToEditorText(EditorTextToWide(bytes)), bytes);
  }
}

TEST(Tokens, Windows1252Characters) {
  if (CodePage::AnsiCodePage() != 1252) GTEST_SKIP() << "code page " << CodePage::AnsiCodePage();
  EXPECT_EQ(WideToEditorText(u"caf\u00E9 \u20AC5"), "caf\xE9 \x80" "5");
  // No best fit: look-alikes are kept as tokens, never as their ASCII cousins.
  EXPECT_EQ(WideToEditorText(u"\u0142\u0101\uFF21"), "[[U+0142]][[U+0101]][[U+FF21]]");
  EXPECT_EQ(WideToEditorText(u"\u0416"), "[[U+0416]]");
  EXPECT_EQ(EditorTextToWide("\x80 [[U+20AC]]"), u"\u20AC \u20AC");
}

TEST(Tokens, ClipboardInAndOut) {
  // In: text up to the first zero, characters outside the code page as
  // tokens, every line break CR LF.
  const std::u16string clip = u"p\nq\rr\r\ns" + std::u16string(1, kForeign) + std::u16string(1, u'\0') + u"junk";
  EXPECT_EQ(ClipboardWideToEditorText(clip), "p\r\nq\r\nr\r\ns[[U+0F00]]");
  EXPECT_EQ(ClipboardWideToEditorText(u""), "");
  // Out: a copied token travels as the real character, with CR LF breaks.
  EXPECT_EQ(EditorTextToClipboardWide("a\r[[U+0F00]]\rb"), u"a\r\n" + std::u16string(1, kForeign) + u"\r\nb");
  // Pasting what was copied gives the token back.
  EXPECT_EQ(ClipboardWideToEditorText(EditorTextToClipboardWide("x [[U+1F600]] [[U+0F00]]")),
            "x [[U+1F600]] [[U+0F00]]");
  // An invalid token is copied as its text.
  EXPECT_EQ(EditorTextToClipboardWide("[[U+D800]]"), u"[[U+D800]]");
}

TEST(Tokens, ChangeRewrite) {
  const std::u16string pair{char16_t(0xD83D), char16_t(0xDE00)};
  const std::u16string foreign(1, kForeign);
  EXPECT_FALSE(NeedsTokenRewrite(u"plain [[U+0F00]] text"));
  EXPECT_TRUE(NeedsTokenRewrite(u"a" + foreign));
  EXPECT_TRUE(NeedsTokenRewrite(pair));
  EXPECT_TRUE(NeedsTokenRewrite(std::u16string(1, char16_t(0xDC00))));

  struct Case { std::u16string wide; int selStart; std::u16string out; int caret; };
  const Case cases[] = {
      // Typed at the caret: the caret goes after the token.
      {u"ab" + foreign, 3, u"ab[[U+0F00]]", 12},
      {u"ab" + foreign + u"cd", 3, u"ab[[U+0F00]]cd", 12},
      // A pair counts as two units of the control.
      {pair + u"x", 2, u"[[U+1F600]]x", 11},
      // Only what grew in front of the caret moves it.
      {u"ab" + foreign, 1, u"ab[[U+0F00]]", 1},
      {foreign + u"ab" + foreign, 2, u"[[U+0F00]]ab[[U+0F00]]", 11},
      {u"x", 5, u"x", 1},  // clamped to the text
  };
  for (const auto& c : cases) {
    const TTokenRewrite r = RewriteUnrepresentable(c.wide, c.selStart);
    EXPECT_EQ(r.wide, c.out);
    EXPECT_EQ(r.caret, c.caret);
  }
}

TEST(Tokens, GlyphTokenNear) {
  const std::string text = "ab[[U+1F600]]cd[[U+D800]]";
  struct Case { int pos; int direction; bool found; };
  const Case cases[] = {
      {2, 1, true},   {12, 1, true},  {13, 1, false},  {1, 1, false},
      {13, -1, true}, {3, -1, true},  {2, -1, false},  {14, -1, false},
      {16, 1, false}, {20, -1, false},  // an invalid token is no glyph
  };
  for (const auto& c : cases) {
    TCodePointToken t;
    ASSERT_EQ(FindGlyphTokenNear(text, c.pos, c.direction, t), c.found) << c.pos << " " << c.direction;
    if (c.found) {
      EXPECT_EQ(t.start, 2);
      EXPECT_EQ(t.end, 13);
      EXPECT_EQ(t.codePoint, 0x1F600u);
    }
  }
}

TEST(Tokens, CodePointTokenUnderCharacter) {
  const std::string one = "[[U+1F600]]";
  for (int i = 0; i < static_cast<int>(one.size()); ++i) {
    TCodePointToken t;
    ASSERT_TRUE(CodePointTokenAt(one, i, t)) << i;
    EXPECT_EQ(t.codePoint, 0x1F600u);
    EXPECT_EQ(t.start, 0);
  }
  TCodePointToken t;
  EXPECT_FALSE(CodePointTokenAt("x [[U+12]] y", 5, t));
  EXPECT_FALSE(CodePointTokenAt("[[U+1F600]]x", 11, t));   // the character after the token
  EXPECT_FALSE(CodePointTokenAt("[[U+1F600 x", 10, t));    // a blank on the way
  ASSERT_TRUE(CodePointTokenAt("[[U+0041]][[U+0042]]", 10, t));
  EXPECT_EQ(t.codePoint, 0x42u);
  ASSERT_TRUE(CodePointTokenAt("[[U+0041]][[U+0042]]", 9, t));
  EXPECT_EQ(t.codePoint, 0x41u);
  ASSERT_TRUE(CodePointTokenAt("[[U+D800]]", 4, t));  // syntax only: shows a box
  EXPECT_EQ(t.codePoint, 0xD800u);
  EXPECT_FALSE(CodePointTokenAt("", 0, t));
}

TEST(Tokens, TokenCharsForWidth) {
  auto sevenEach = [](int k) { return 7 * k; };
  EXPECT_EQ(TokenCharsForWidth(11, 16, sevenEach), 3);
  EXPECT_EQ(TokenCharsForWidth(11, 0, sevenEach), 3);   // 16 when not positive
  EXPECT_EQ(TokenCharsForWidth(11, 14, sevenEach), 2);
  EXPECT_EQ(TokenCharsForWidth(11, 100, sevenEach), 11);  // never reached
  EXPECT_EQ(TokenCharsForWidth(11, 16, nullptr), 2);      // no device context
  EXPECT_EQ(TokenCharsForWidth(1, 16, nullptr), 1);
  EXPECT_EQ(TokenCharsForWidth(9, 3, sevenEach), 1);
}

TEST(Tokens, FitImageToSquare) {
  struct Case { int w, h, size, ow, oh; };
  const Case cases[] = {
      {32, 16, 24, 24, 12}, {16, 32, 24, 12, 24}, {20, 20, 16, 16, 16}, {100, 1, 16, 16, 1},
  };
  for (const auto& c : cases) {
    int ow = 0, oh = 0;
    FitImageToSquare(c.w, c.h, c.size, ow, oh);
    EXPECT_EQ(ow, c.ow);
    EXPECT_EQ(oh, c.oh);
  }
}
