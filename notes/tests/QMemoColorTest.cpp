// The notes editor's colouring applied to the real control: the character
// formats after a pass, the lines a pass touches, deferral, the setters,
// glyph tokens, and a screenshot.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"
#include "ui/ImageList.h"

using MemoTest::ColorAt;
using MemoTest::IsHidden;
using MemoTest::MemoFixture;

namespace {

const COLORREF kBlack = RGB(0, 0, 0);

// Control position of the n-th occurrence of what in the control's text.
int At(TQMemo* memo, const std::string& what, int n = 0) {
  const std::string text = memo->ControlText();
  std::size_t p = text.find(what);
  while (n-- > 0 && p != std::string::npos) p = text.find(what, p + 1);
  return p == std::string::npos ? -1 : static_cast<int>(p);
}

TEST_F(MemoFixture, SyntaxColoursLandOnTheirCharacters) {
  // Several lines before the coloured words: a position computed on the
  // host's CR LF text would land one character further per line.
  memo->SetText("// a comment\r\nvar s = \"str\";\r\n\r\nx = 1; IF (a) foo (b);\r\nbar\r\n(q) /* c */ y");
  memo->SetSyntaxHighlighting(true);
  memo->ColorizeText();
  struct Check {
    const char* what;
    int occurrence;
    int offset;
    COLORREF color;
  };
  const Check checks[] = {
      {"// a comment", 0, 0, ColorToRGB(clGreen)},
      {"// a comment", 0, 11, ColorToRGB(clGreen)},
      {"var", 0, 0, ColorToRGB(clBlue)},
      {"var", 0, 2, ColorToRGB(clBlue)},
      {" s =", 0, 1, kBlack},
      {"\"str\"", 0, 0, ColorToRGB(clPurple)},
      {"\"str\"", 0, 4, ColorToRGB(clPurple)},
      {";", 0, 0, kBlack},
      {"x = 1", 0, 0, kBlack},
      {"IF", 0, 0, ColorToRGB(clBlue)},  // keywords ignore case
      {"IF", 0, 1, ColorToRGB(clBlue)},
      {"(a)", 0, 1, kBlack},
      {"foo", 0, 0, ColorToRGB(clNavy)},  // a call, blanks before "("
      {"foo", 0, 2, ColorToRGB(clNavy)},
      {"bar", 0, 0, ColorToRGB(clNavy)},  // "(" on the next line
      {"/* c */", 0, 0, ColorToRGB(clGreen)},
      {"/* c */", 0, 6, ColorToRGB(clGreen)},
      {" y", 0, 1, kBlack},
  };
  for (const Check& c : checks) {
    const int at = At(memo, c.what, c.occurrence);
    ASSERT_GE(at, 0) << c.what;
    EXPECT_EQ(ColorAt(wnd, at + c.offset), c.color) << c.what << " +" << c.offset;
  }
  EXPECT_EQ(memo->Text().find("IF"), std::string("// a comment\r\nvar s = \"str\";\r\n\r\nx = 1; ").size())
      << "colouring never changes the text";
}

TEST_F(MemoFixture, InlineMarkupIsFormattedWithItsMarkersHidden) {
  memo->SetInlineStyles(true);
  memo->SetText(
      "[[COLOR:#FF0000]]red\r\nstill red[[COLOR:NONE]] plain\r\n"
      "**bold** and *it* and `code` and \\*not\\*\r\n"
      "# Heading\r\n");
  memo->ColorizeText();
  const int red = At(memo, "red");
  for (int i = 0; i < 17; ++i) EXPECT_TRUE(IsHidden(wnd, i)) << "colour token character " << i;
  EXPECT_EQ(ColorAt(wnd, red), RGB(255, 0, 0));
  EXPECT_EQ(ColorAt(wnd, At(memo, "still")), RGB(255, 0, 0)) << "the colour runs across the line end";
  EXPECT_TRUE(IsHidden(wnd, At(memo, "[[COLOR:NONE]]") + 5));
  EXPECT_EQ(ColorAt(wnd, At(memo, "plain")), kBlack);
  const int bold = At(memo, "**bold**");
  EXPECT_TRUE(IsHidden(wnd, bold));
  EXPECT_TRUE(IsHidden(wnd, bold + 1));
  EXPECT_TRUE(MemoTest::IsBold(wnd, bold + 2));
  EXPECT_FALSE(IsHidden(wnd, bold + 2));
  EXPECT_TRUE(IsHidden(wnd, bold + 6));
  const int it = At(memo, "*it*");
  EXPECT_TRUE(IsHidden(wnd, it));
  EXPECT_TRUE(MemoTest::FormatAt(wnd, it + 1).dwEffects & CFE_ITALIC);
  const int code = At(memo, "`code`");
  EXPECT_TRUE(IsHidden(wnd, code));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(MemoTest::FormatAt(wnd, code + 1).szFaceName)),
            u"Consolas");
  const int escaped = At(memo, "\\*not\\*");
  EXPECT_FALSE(IsHidden(wnd, escaped + 1)) << "an escaped star stays visible";
  EXPECT_FALSE(MemoTest::FormatAt(wnd, escaped + 2).dwEffects & CFE_ITALIC);
  const int heading = At(memo, "# Heading");
  EXPECT_TRUE(IsHidden(wnd, heading));
  EXPECT_TRUE(IsHidden(wnd, heading + 1));
  EXPECT_TRUE(MemoTest::IsBold(wnd, heading + 2));
  EXPECT_EQ(MemoTest::FormatAt(wnd, heading + 2).yHeight, (memo->Font().Size() + 6) * 20);

  // Without a colour or image token there is no markup at all.
  memo->SetText("**shown** as typed");
  memo->ColorizeText();
  EXPECT_FALSE(IsHidden(wnd, 0));
  EXPECT_FALSE(MemoTest::IsBold(wnd, 3));
}

// A pass changes only what the control does not show already: it must read
// what the control shows, not assume what an earlier pass left there.
TEST_F(MemoFixture, APassPutsBackEveryFormatChangedBehindItsBack) {
  memo->SetInlineStyles(true);
  memo->SetSyntaxHighlighting(true);
  memo->SetText(
      "[[COLOR:#FF0000]]red[[COLOR:NONE]] plain if\r\n"
      "**bold** *it* `code` [[U+263A]]\r\n"
      "## Heading\r\n");
  struct Check {
    const char* what;
    int offset;
    bool hidden, bold, italic;
    COLORREF color;  // when visible
    const char16_t* face;  // nullptr: the editor's
    int extraPoints;
  };
  const Check checks[] = {
      {"[[COLOR:#FF0000]]", 3, true, false, false, 0, nullptr, 0},
      {"red", 1, false, false, false, RGB(255, 0, 0), nullptr, 0},
      {"plain", 0, false, false, false, kBlack, nullptr, 0},
      {" if", 1, false, false, false, ColorToRGB(memo->KeywordColor()), nullptr, 0},
      {"**bold**", 1, true, false, false, 0, nullptr, 0},
      {"**bold**", 3, false, true, false, kBlack, nullptr, 0},
      {"*it*", 1, false, false, true, kBlack, nullptr, 0},
      {"`code`", 0, true, false, false, 0, nullptr, 0},
      {"`code`", 2, false, false, false, kBlack, u"Consolas", 0},
      {"## Heading", 0, true, false, false, 0, nullptr, 0},
      {"## Heading", 4, false, true, false, kBlack, nullptr, 4},
  };
  auto expectFormats = [&](const char* when) {
    for (const Check& c : checks) {
      SCOPED_TRACE(std::string(when) + ": " + c.what + " + " + std::to_string(c.offset));
      const int at = At(memo, c.what) + c.offset;
      const CHARFORMAT2W cf = MemoTest::FormatAt(wnd, at);
      EXPECT_EQ((cf.dwEffects & CFE_HIDDEN) != 0, c.hidden);
      if (c.hidden) continue;
      EXPECT_EQ((cf.dwEffects & CFE_BOLD) != 0, c.bold);
      EXPECT_EQ((cf.dwEffects & CFE_ITALIC) != 0, c.italic);
      EXPECT_EQ(cf.crTextColor, c.color);
      const std::u16string face(reinterpret_cast<const char16_t*>(cf.szFaceName));
      if (c.face) {
        EXPECT_EQ(face, c.face);
      } else {
        EXPECT_NE(face, u"Consolas");
      }
      EXPECT_EQ(cf.yHeight, (memo->Font().Size() + c.extraPoints) * 20);
    }
    const int glyph = At(memo, "[[U+263A]]");
    if (memo->GlyphCount() > 0) {
      EXPECT_TRUE(IsHidden(wnd, glyph + 9)) << when;
    }
  };
  memo->ColorizeText();
  expectFormats("first pass");
  // Everything else, behind the editor's back.
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_COLOR | CFM_HIDDEN | CFM_BOLD | CFM_ITALIC | CFM_SIZE | CFM_FACE;
  cf.dwEffects = CFE_BOLD | CFE_ITALIC;
  cf.crTextColor = RGB(0, 160, 0);
  cf.yHeight = 30 * 20;
  std::char_traits<char16_t>::copy(reinterpret_cast<char16_t*>(cf.szFaceName), u"Arial", 6);
  SendMessageW(wnd, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  memo->ColorizeText();
  expectFormats("after a change of every character");
  // One attribute on a few characters.
  CHARFORMAT2W one{};
  one.cbSize = sizeof one;
  one.dwMask = CFM_HIDDEN;
  one.dwEffects = CFE_HIDDEN;
  memo->SetSelection(At(memo, "plain"), 3);
  SendMessageW(wnd, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&one));
  memo->ColorizeText();
  expectFormats("after hiding a few characters");
}

TEST_F(MemoFixture, GlyphTokensAreCoveredAndTheRestHidden) {
  memo->SetText("x [[U+263A]] y [[U+D800]]");
  memo->ColorizeText();
  ASSERT_EQ(memo->GlyphCount(), 1);
  const int token = At(memo, "[[U+263A]]");
  EXPECT_FALSE(IsHidden(wnd, token)) << "the first characters keep the glyph's place";
  EXPECT_EQ(ColorAt(wnd, token), ColorToRGB(memo->Color()));
  EXPECT_TRUE(IsHidden(wnd, token + 9));
  EXPECT_FALSE(IsHidden(wnd, token + 10));
  const int invalid = At(memo, "[[U+D800]]");
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(IsHidden(wnd, invalid + i)) << "an invalid token stays text";
  EXPECT_EQ(memo->Text(), "x [[U+263A]] y [[U+D800]]");

  // Once the last token is gone, nothing stays hidden or covered.
  memo->SetSelection(token, 10);
  memo->ReplaceSelection("z");
  memo->ColorizeText();
  const std::string text = memo->ControlText();
  for (int i = 0; i < static_cast<int>(text.size()); ++i) {
    EXPECT_FALSE(IsHidden(wnd, i)) << i;
    EXPECT_EQ(ColorAt(wnd, i), kBlack) << i;
  }
  // Switched off, the token shows its letters.
  memo->SetText("[[U+263A]]");
  memo->ColorizeText();
  ASSERT_TRUE(IsHidden(wnd, 9));
  memo->SetShowUTF8IconsInline(false);
  EXPECT_FALSE(IsHidden(wnd, 9));
  EXPECT_EQ(ColorAt(wnd, 0), kBlack);
  // A new text takes nothing of the old one's formatting.
  memo->SetShowUTF8IconsInline(true);
  memo->SetText("[[U+263A]] and more");
  memo->ColorizeText();
  ASSERT_TRUE(IsHidden(wnd, 9));
  memo->SetText("plain text here");
  for (int i = 0; i < 15; ++i) {
    EXPECT_FALSE(IsHidden(wnd, i)) << i;
    EXPECT_EQ(ColorAt(wnd, i), kBlack) << i;
  }
}

TEST_F(MemoFixture, TextTypedAfterHiddenCharactersShowsAtOnce) {
  // The control would give new text the format of the hidden character
  // before it; the next pass, which every key puts off, comes too late.
  struct Case {
    const char* text;
    bool inlineStyles;
    COLORREF color;  // of the typed character
  };
  const Case cases[] = {
      {"a [[U+263A]]", false, kBlack},
      {"[[COLOR:NONE]]a **b**", true, kBlack},
      {"[[COLOR:NONE]]a *i*", true, kBlack},
      {"[[COLOR:#FF0000]]red `c`", true, RGB(255, 0, 0)},
      {"[[COLOR:#00FF00]]", true, RGB(0, 255, 0)},
      {"[[COLOR:#FF0000]]r[[COLOR:NONE]]", true, kBlack},
      {"[[COLOR:#0000FF]]b [[U+263A]]", true, RGB(0, 0, 255)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    memo->SetInlineStyles(c.inlineStyles);
    memo->SetText(c.text);
    memo->ColorizeText();
    const int end = memo->TextLength();
    ASSERT_TRUE(IsHidden(wnd, end - 1)) << "the last character is hidden";
    memo->SetSelection(end, 0);
    MemoTest::TypeChar(wnd, u'x');
    ASSERT_EQ(memo->ControlText(), std::string(c.text) + "x");
    EXPECT_FALSE(IsHidden(wnd, end)) << "before any pass";
    EXPECT_EQ(ColorAt(wnd, end), c.color);
    MemoTest::TypeChar(wnd, u'y');
    EXPECT_FALSE(IsHidden(wnd, end + 1));
  }

  // Every other way text comes in at the caret does the same.
  memo->SetInlineStyles(false);
  HWND owner = form.Handle();
  const std::function<void()> inserts[] = {
      [&] { memo->ReplaceSelection("yz"); },
      [&] { MemoTest::TypeChar(wnd, u'\u2603'); },  // becomes a token
      [&] {
        ASSERT_TRUE(MemoTest::SetClipboardWide(owner, u"pq"));
        SendMessageW(wnd, WM_PASTE, 0, 0);
      },
      [&] { MemoTest::KeyDown(wnd, VK_TAB); },
      [&] {
        MemoTest::KeyDown(wnd, VK_RETURN);
        MemoTest::TypeChar(wnd, u'\r');
      },
  };
  for (std::size_t i = 0; i < std::size(inserts); ++i) {
    SCOPED_TRACE(i);
    memo->SetText("a [[U+263A]]");
    memo->ColorizeText();
    memo->SetSelection(12, 0);
    inserts[i]();
    ASSERT_GT(memo->TextLength(), 12);
    EXPECT_FALSE(IsHidden(wnd, 12));
    EXPECT_EQ(ColorAt(wnd, 12), kBlack);
  }
  // With a selection, or after a visible character, nothing changes the
  // control's own choice.
  memo->SetText("a [[U+263A]] b");
  memo->ColorizeText();
  memo->SetSelection(14, 0);
  MemoTest::TypeChar(wnd, u'x');
  EXPECT_EQ(ColorAt(wnd, 14), kBlack);
  EXPECT_TRUE(IsHidden(wnd, 11)) << "the token keeps its format";
}

TEST_F(MemoFixture, ImageTokensShowImagesOfTheList) {
  TImageList images;
  images.SetSize(16, 16);
  ASSERT_EQ(MemoTest::AddSolidImage(images, clRed), 0);
  memo->SetInlineStyles(true);
  memo->SetImageList(&images);
  memo->SetText("a [[IMG:0]] b [[IMG:7]] c");
  memo->ColorizeText();
  const int shown = At(memo, "[[IMG:0]]");
  const int missing = At(memo, "[[IMG:7]]");
  EXPECT_FALSE(IsHidden(wnd, shown));
  EXPECT_EQ(ColorAt(wnd, shown), ColorToRGB(memo->Color()));
  EXPECT_TRUE(IsHidden(wnd, shown + 8));
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(IsHidden(wnd, missing + i)) << "no such image: the token stays text";
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  UiTest::Pump();
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(wnd, shot));
  POINT at;
  SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), shown);
  const RECT cell{at.x, at.y, at.x + 24, at.y + 24};
  EXPECT_GT(UiTest::CountColor(shot, cell, clRed), 40) << "the image is painted over its token";
  memo->SetImageList(nullptr);
}

// An image list destroyed while the editor shows its images is dropped: the
// editor forgets it, its tokens turn back into text, and the next paint
// draws no image from it.
TEST_F(MemoFixture, ADestroyedImageListIsDroppedAndItsTokensBecomeText) {
  auto images = std::make_unique<TImageList>();
  images->SetSize(16, 16);
  TBitmap red;
  ASSERT_TRUE(red.SetSize(16, 16));
  red.Canvas().Brush().SetColor(clRed);
  red.Canvas().FillRect(RECT{0, 0, 16, 16});
  ASSERT_EQ(images->AddMasked(red, clFuchsia), 0);
  memo->SetInlineStyles(true);
  memo->SetImageList(images.get());
  memo->SetText("a [[IMG:0]] b");
  memo->ColorizeText();
  const int token = At(memo, "[[IMG:0]]");
  ASSERT_TRUE(IsHidden(wnd, token + 8));

  images.reset();
  EXPECT_EQ(memo->ImageList(), nullptr);
  UiTest::Pump();
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(IsHidden(wnd, token + i)) << "the token is text again";
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  UiTest::Pump();
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(wnd, shot));
  EXPECT_EQ(UiTest::CountColor(shot, memo->ClientRect(), clRed), 0);
}

TEST_F(MemoFixture, LineNumbersMakeRoomForTheGutter) {
  // (Wine reports the rectangle's left edge a pixel further left than it
  // was set: compare the edges with and without the gutter.)
  RECT plain, gutter;
  memo->SetShowLineNumbers(false);
  SendMessageW(wnd, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&plain));
  EXPECT_LE(plain.left, 2);
  memo->SetShowLineNumbers(true);
  EXPECT_GE(memo->GutterWidth(), 24);
  SendMessageW(wnd, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&gutter));
  EXPECT_EQ(gutter.left - plain.left, memo->GutterWidth());
  EXPECT_EQ(gutter.top, plain.top);
  memo->SetShowLineNumbers(false);
  SendMessageW(wnd, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&gutter));
  EXPECT_EQ(gutter.left, plain.left);
}

TEST_F(MemoFixture, CenterLineVerticallyPutsTheLineInTheMiddle) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "line\r\n";
  memo->SetText(text);
  RECT client;
  GetClientRect(wnd, &client);
  memo->CenterLineVertically(150);
  const int first = memo->FirstVisibleLine();
  EXPECT_GT(first, 100);
  EXPECT_LT(first, 150);
  POINT line;
  SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&line), memo->LineIndex(150));
  EXPECT_NEAR(line.y, client.bottom / 2, 20);
  memo->CenterLineVertically(0);
  EXPECT_EQ(memo->FirstVisibleLine(), 0);
}

TEST_F(MemoFixture, APassColoursTheVisibleLinesAndTwoMore) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "if " + std::to_string(i) + "\r\n";
  memo->SetText(text);
  memo->SetSyntaxHighlighting(true);
  memo->ColorizeText();
  EXPECT_EQ(ColorAt(wnd, memo->LineIndex(0)), ColorToRGB(clBlue));
  EXPECT_EQ(ColorAt(wnd, memo->LineIndex(20)), ColorToRGB(clBlue));
  EXPECT_NE(ColorAt(wnd, memo->LineIndex(200)), ColorToRGB(clBlue)) << "far below the view";
  // Scrolling schedules a pass for the new view.
  SendMessageW(wnd, EM_LINESCROLL, 0, 190);
  SendMessageW(wnd, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_TRUE(memo->ColorPending());
  memo->ColorTimer().Tick();
  EXPECT_FALSE(memo->ColorPending());
  EXPECT_EQ(ColorAt(wnd, memo->LineIndex(200)), ColorToRGB(clBlue));
  EXPECT_NE(ColorAt(wnd, memo->LineIndex(299)), ColorToRGB(clBlue));
}

TEST_F(MemoFixture, EditsScheduleADeferredPass) {
  memo->SetText("");
  EXPECT_FALSE(memo->ColorPending()) << "nothing asks for colouring";
  memo->SetSyntaxHighlighting(true);
  MemoTest::TypeText(wnd, u"while");
  EXPECT_TRUE(memo->ColorPending());
  EXPECT_EQ(memo->ColorTimer().Interval(), 222u);
  EXPECT_NE(ColorAt(wnd, 0), ColorToRGB(clBlue)) << "not before the timer";
  memo->ColorTimer().Tick();
  EXPECT_EQ(ColorAt(wnd, 0), ColorToRGB(clBlue));
  // A navigation key asks sooner.
  MemoTest::KeyDown(wnd, VK_HOME);
  EXPECT_EQ(memo->ColorTimer().Interval(), 80u);
  // Switching syntax colouring off takes the colours away at once.
  memo->SetSyntaxHighlighting(false);
  EXPECT_FALSE(memo->ColorPending());
  EXPECT_EQ(ColorAt(wnd, 0), kBlack);
}

TEST_F(MemoFixture, NightModeAndTextColours) {
  memo->SetText("function x");
  memo->SetSyntaxHighlighting(true);
  memo->SetKeywordColorNight(clAqua);
  memo->SetNightMode(true);
  EXPECT_EQ(ColorAt(wnd, 0), ColorToRGB(clAqua));
  EXPECT_EQ(ColorAt(wnd, 9), ColorToRGB(clWhite));
  EXPECT_EQ(memo->Color(), clBlack);
  memo->SetTextColorNight(clYellow);
  memo->ColorizeText();
  EXPECT_EQ(ColorAt(wnd, 9), ColorToRGB(clYellow));
  memo->SetNightMode(false);
  EXPECT_EQ(ColorAt(wnd, 0), ColorToRGB(clBlue));
  EXPECT_EQ(ColorAt(wnd, 9), kBlack);
  memo->SetTextColor(clMaroon);
  EXPECT_EQ(ColorAt(wnd, 9), ColorToRGB(clMaroon));
  memo->SetKeywordList("x");
  EXPECT_TRUE(memo->IsKeyword("X"));
  EXPECT_FALSE(memo->IsKeyword("function"));
}

TEST_F(MemoFixture, ScreenshotOfColouredNotesWithGlyphs) {
  memo->Font().SetName("Tahoma");
  memo->Font().SetSize(12);
  memo->SetSyntaxHighlighting(true);
  memo->SetInlineStyles(true);
  memo->SetText(
      "# Server notes [[U+263A]]\r\n"
      "// login runs through the jump host\r\n"
      "function connect(host) {\r\n"
      "  if (host == \"vault.example\") return open(host, 22);\r\n"
      "  return null; // no route\r\n"
      "}\r\n"
      "[[COLOR:#C00000]]Red: rotate the key by **Friday**[[COLOR:NONE]] and keep *a copy*.\r\n"
      "Glyphs: [[U+263A]] [[U+2665]] [[U+0416]] [[U+266A]], invalid [[U+D800]] stays text.\r\n");
  memo->SetSelection(0, 0);
  memo->ColorizeText();
  UiTest::Pump();
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  UiTest::Pump();
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(form.Handle(), shot));
  EXPECT_TRUE(UiTest::SavePng(shot, UiTest::ScreenshotPath("notes-editor.png")));
  const RECT all{0, 0, shot.Width(), shot.Height()};
  EXPECT_GT(UiTest::CountColor(shot, all, clBlue), 20) << "keywords";
  EXPECT_GT(UiTest::CountColor(shot, all, clGreen), 20) << "comments";
  EXPECT_GT(UiTest::CountColor(shot, all, RGBColor(0xC0, 0, 0)), 20) << "colour token";
  EXPECT_GE(memo->GlyphCount(), 4);
  // The glyph of the heart stands where its token begins.
  POINT heart;
  SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&heart), At(memo, "[[U+2665]]"));
  const RECT cell{heart.x, heart.y, heart.x + 16, heart.y + 18};
  EXPECT_GT(UiTest::CountColor(shot, cell, clBlack), 8) << "glyph pixels in the text colour";
}

// A glyph keeps its icon from one painting to the next, until the text
// colour it is drawn in changes.
TEST_F(MemoFixture, GlyphsArePaintedAnewInANewTextColour) {
  memo->Font().SetName("Tahoma");
  memo->Font().SetSize(12);
  memo->SetSyntaxHighlighting(false);
  memo->SetText("Heart: [[U+2665]] and again [[U+2665]]\r\n");
  memo->SetSelection(0, 0);
  memo->ColorizeText();
  auto glyphPixels = [&](int n, TColor color) {
    UiTest::Pump();
    RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    UiTest::Pump();
    TBitmap shot;
    EXPECT_TRUE(UiTest::CaptureClient(form.Handle(), shot));
    POINT at;
    SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), At(memo, "[[U+2665]]", n));
    const RECT cell{at.x, at.y, at.x + 16, at.y + 18};
    return UiTest::CountColor(shot, cell, color);
  };
  EXPECT_GT(glyphPixels(0, clBlack), 8);
  EXPECT_GT(glyphPixels(1, clBlack), 8);
  memo->SetTextColor(clRed);
  EXPECT_GT(glyphPixels(0, clRed), 8);
  EXPECT_GT(glyphPixels(1, clRed), 8);
  EXPECT_EQ(glyphPixels(0, clBlack), 0);
  EXPECT_EQ(glyphPixels(1, clBlack), 0);
}

}  // namespace
