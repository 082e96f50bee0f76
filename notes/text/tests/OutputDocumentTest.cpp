#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "base/CodePage.h"
#include "notes/text/OutputDocument.h"

namespace {

// Colours that name their role, so that a run's colour reads as a word.
const NoteText::TSyntaxPalette kDay{/*text*/ 1, /*keyword*/ 2, /*string*/ 3, /*comment*/ 4,
                                    /*method*/ 5, /*token*/ 6};
const NoteText::TSyntaxPalette kNight{11, 12, 13, 14, 15, 16};
const NoteText::TKeywordSet kKeywords("function,var,if,else,return");

std::string Role(TColor c) {
  switch (c) {
    case 1: return "text";
    case 2: return "keyword";
    case 3: return "string";
    case 4: return "comment";
    case 5: return "method";
    case 6: return "token";
    case 11: return "night-text";
    default: {
      std::ostringstream s;
      s << "#" << std::hex << c;
      return s.str();
    }
  }
}

std::string Narrow(const std::u16string& w) {
  std::string s;
  for (char16_t u : w) {
    if (u < 0x80) {
      s += static_cast<char>(u);
    } else {
      std::ostringstream h;
      h << "<" << std::hex << static_cast<int>(u) << ">";
      s += h.str();
    }
  }
  return s;
}

// The document as text: one line per output line, "n: " and each run as
// role"text".
std::string Show(const TQMemoOutputDocument& doc) {
  std::string s;
  for (int i = 0; i < doc.LineCount(); ++i) {
    const TQMemoOutputLine* line = doc.Line(i);
    s += std::to_string(line->LineNumber) + ":";
    for (int r = 0; r < line->RunCount(); ++r) {
      s += " " + Role(line->Run(r)->Color) + "\"" + Narrow(line->Run(r)->Text) + "\"";
    }
    s += "\n";
  }
  return s;
}

TQMemoOutputSource Source(bool syntax, bool inlineStyles = false, int images = 0) {
  TQMemoOutputSource src;
  src.SyntaxColors = syntax;
  src.Day = kDay;
  src.Nights = kNight;
  src.InlineStyles = inlineStyles;
  src.ImageCount = images;
  src.Keywords = &kKeywords;
  return src;
}

}  // namespace

TEST(OutputDocument, RunsOfAFixedColouredText) {
  struct Case {
    const char* text;
    bool syntax;
    const char* shown;
  };
  const Case cases[] = {
      {"", true, "1:\n"},
      {"a if b", true, "1: text\"a \" keyword\"if\" text\" b\"\n"},
      {"a if b", false, "1: text\"a if b\"\n"},
      {"x = draw (1); // done", true,
       "1: text\"x = \" method\"draw\" text\" (1); \" comment\"// done\"\n"},
      {"s = 'it\\'s' /* a\r\nb */ c", true,
       "1: text\"s = \" string\"'it\\'s'\" text\" \" comment\"/* a\"\n2: comment\"b */\" text\" c\"\n"},
      {"IF\nelse\rreturn\r\n", true,
       "1: keyword\"IF\"\n2: keyword\"else\"\n3: keyword\"return\"\n4:\n"},
      {"f\n(", true, "1: method\"f\"\n2: text\"(\"\n"},
      // Valid code-point tokens become their characters, in the token colour.
      {"ok [[U+1F600]]!", true, "1: text\"ok \" token\"<d83d><de00>\" text\"!\"\n"},
      {"[[u+0416]]", false, "1: text\"<416>\"\n"},
      // Invalid ones stay the characters they are written with.
      {"[[U+D800]] [[U+110000]]", false, "1: text\"[[U+D800]] [[U+110000]]\"\n"},
      {"[[U+DFFF]]", true, "1: token\"[[U+DFFF]]\"\n"},
  };
  for (const auto& c : cases) {
    auto doc = BuildOutputDocument(c.text, Source(c.syntax));
    EXPECT_EQ(Show(*doc), c.shown) << c.text;
  }
}

TEST(OutputDocument, InlineStylesDropColourAndValidImageTokens) {
  const std::string text = "a[[COLOR:#FF0000]]b [[IMG:0]][[IMG:5]]\r\nc[[COLOR:NONE]]d";
  // Without inline styles the tokens are ordinary text.
  EXPECT_EQ(Show(*BuildOutputDocument(text, Source(false, false, 1))),
            "1: text\"a[[COLOR:#FF0000]]b [[IMG:0]][[IMG:5]]\"\n2: text\"c[[COLOR:NONE]]d\"\n");
  // With them: the colour runs across the line break up to the colour-off
  // token; image 0 exists and is left out, image 5 does not and stays text.
  EXPECT_EQ(Show(*BuildOutputDocument(text, Source(false, true, 1))),
            "1: text\"a\" #ff\"b [[IMG:5]]\"\n2: #ff\"c\" text\"d\"\n");
  // The colour tokens win over the syntax colours.
  EXPECT_EQ(Show(*BuildOutputDocument("[[COLOR:#00FF00]]if x", Source(true, true))),
            "1: #ff00\"if x\"\n");
}

TEST(OutputDocument, DayAndNightSettings) {
  TQMemoOutputSource src = Source(true);
  src.LineNumberColor = 0xA0A0A0;
  src.LineNumberColorNight = 0x5A5A5A;
  src.EditorColor = 0x101010;
  src.TabSpaces = 5;
  src.Font.Name = "Consolas";
  src.Font.Size = 11;

  auto day = BuildOutputDocument("if", src);
  EXPECT_EQ(day->TextColor, TColor{1});
  EXPECT_EQ(day->LineNumberColor, TColor{0xA0A0A0});
  EXPECT_EQ(day->BackgroundColor, TColor{0xFFFFFF});
  EXPECT_EQ(day->TabSpaces, 5);
  EXPECT_EQ(day->Font.Name, "Consolas");
  EXPECT_EQ(day->Font.Size, 11);
  EXPECT_EQ(Show(*day), "1: keyword\"if\"\n");

  src.Night = true;
  auto night = BuildOutputDocument("if x", src);
  EXPECT_EQ(night->TextColor, TColor{11});
  EXPECT_EQ(night->LineNumberColor, TColor{0x5A5A5A});
  EXPECT_EQ(night->BackgroundColor, TColor{0x101010});
  EXPECT_EQ(night->Line(0)->Run(0)->Color, TColor{12});  // the night keyword colour
  EXPECT_EQ(night->Line(0)->Run(1)->Color, TColor{11});

  // A new document's own defaults.
  TQMemoOutputDocument blank;
  EXPECT_EQ(blank.TextColor, TColor{0x000000});
  EXPECT_EQ(blank.LineNumberColor, TColor{0x808080});
  EXPECT_EQ(blank.BackgroundColor, TColor{0xFFFFFF});
  EXPECT_EQ(blank.TabSpaces, 3);
}

TEST(OutputDocument, AddRunMergesEqualColoursByTheirRgbValue) {
  TQMemoOutputLine line(7);
  line.AddRun(u"", 0x0000FF);  // nothing
  EXPECT_EQ(line.RunCount(), 0);
  line.AddRun(u"a", static_cast<TColor>(0xFF000008u));  // clWindowText: black
  line.AddRun(u"b", 0x000000);
  line.AddRun(u"c", 0x0000FF);
  line.AddRun(u"d", 0x0000FF);
  ASSERT_EQ(line.RunCount(), 2);
  EXPECT_EQ(line.Run(0)->Text, u"ab");
  EXPECT_EQ(line.Run(0)->Color, static_cast<TColor>(0xFF000008u));  // the first run keeps its colour
  EXPECT_EQ(line.Run(1)->Text, u"cd");
  EXPECT_EQ(line.Run(-1), nullptr);
  EXPECT_EQ(line.Run(2), nullptr);
  EXPECT_EQ(line.PlainText(), u"abcd");
  EXPECT_EQ(line.LineNumber, 7);

  // A resolver of the drawing layer's kind takes over the comparison.
  TQMemoOutputLine custom(1, [](TColor) { return TColor{0}; });
  custom.AddRun(u"x", 1);
  custom.AddRun(u"y", 2);
  EXPECT_EQ(custom.RunCount(), 1);

  TQMemoOutputDocument doc;
  doc.AddLine(nullptr);
  EXPECT_EQ(doc.LineCount(), 0);
  EXPECT_EQ(doc.Line(0), nullptr);
  EXPECT_EQ(DefaultColorToRGB(static_cast<TColor>(0xFF000005u)), TColor{0xFFFFFF});  // COLOR_WINDOW
  EXPECT_EQ(DefaultColorToRGB(TColor{0x12345678}), TColor{0x345678});
}

TEST(OutputDocument, AnsiCharactersAreConvertedFromTheCodePage) {
  if (CodePage::AnsiCodePage() != 1252) GTEST_SKIP() << "the bytes are Windows-1252";
  auto doc = BuildOutputDocument("caf\xE9 \x80", Source(false));
  EXPECT_EQ(doc->Line(0)->PlainText(), u"caf\xE9 \x20AC");
  EXPECT_EQ(ConvertToOutputText("\x80[[U+1F44D]][[U+D800]]"), u"\x20AC\xD83D\xDC4D[[U+D800]]");
}
