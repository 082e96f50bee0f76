#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "notes/text/ColorPlanner.h"

using namespace NoteText;

namespace {

const TSyntaxPalette kPalette{/*text*/ 1, /*keyword*/ 2, /*string*/ 3, /*comment*/ 4, /*method*/ 5,
                              /*token*/ 6};
const TKeywordSet kKeywords(
    "function,var,let,const,if,else,for,while,return,switch,case,break,true,false,null,undefined,new,this");

// One operation as text: "kind start+length[ detail]", the detail naming
// the colour role, the style or the token's value.
std::string Show(const TFormatOp& op) {
  std::ostringstream s;
  static const char* kKinds[] = {"ResetAll", "ResetColor", "Color", "Hide", "Style", "Heading", "Image", "Glyph", "Cover"};
  s << kKinds[static_cast<int>(op.kind)] << " " << op.start << "+" << op.length;
  switch (op.kind) {
    case TFormatKind::Color: {
      static const char* kRoles[] = {"?", "text", "keyword", "string", "comment", "method", "token"};
      if (op.color >= 1 && op.color <= 6) {
        s << " " << kRoles[op.color];
      } else {
        s << " #" << std::hex << op.color;
      }
      break;
    }
    case TFormatKind::Style:
      s << (op.bold ? " bold" : "") << (op.italic ? " italic" : "") << (op.codeFace ? " code" : "");
      break;
    case TFormatKind::Heading:
      s << " h" << op.level;
      break;
    case TFormatKind::ImageToken:
    case TFormatKind::GlyphToken:
      s << " " << std::hex << op.value;
      break;
    default:
      break;
  }
  return s.str();
}

std::vector<std::string> Plan(const std::string& text, const TColorFlags& flags, int start = 0, int end = -1) {
  if (end < 0) end = static_cast<int>(text.size());
  std::vector<std::string> out;
  for (const auto& op : PlanColoring(text, start, end, flags, kPalette, kKeywords)) out.push_back(Show(op));
  return out;
}

TColorFlags Syntax() {
  TColorFlags f;
  f.syntaxHighlighting = true;
  f.showGlyphs = false;
  return f;
}

TColorFlags Inline() {
  TColorFlags f;
  f.inlineStyles = true;
  f.showGlyphs = false;
  return f;
}

using Ops = std::vector<std::string>;

}  // namespace

TEST(ColorPlanner, KeywordList) {
  TKeywordSet k(" if , ,While,,");
  EXPECT_EQ(k.Count(), 2);
  EXPECT_TRUE(k.Contains("IF"));
  EXPECT_TRUE(k.Contains("while"));
  EXPECT_FALSE(k.Contains("whil"));
  EXPECT_FALSE(k.Contains(""));
}

TEST(ColorPlanner, SyntaxColoursOnAFixedText) {
  //                  0         1         2         3         4         5
  //                  0123456789012345678901234567890123456789012345678901234567
  const std::string t = "if (x) return foo(1); // note\r\"s\\\"q\" /* c */ bar (2) 9abc IF\r(";
  EXPECT_EQ(Plan(t, Syntax()), (Ops{
                                   "ResetColor 0+62",
                                   "Color 0+2 keyword",     // if
                                   "Color 7+6 keyword",     // return
                                   "Color 14+3 method",     // foo(
                                   "Color 22+7 comment",    // "// note" up to the CR
                                   "Color 30+6 string",     // "s\"q" with the escaped quote
                                   "Color 37+7 comment",    // /* c */
                                   "Color 45+3 method",     // bar (
                                   "Color 58+2 keyword",    // IF, any case, before "(" too
                               }));
}

TEST(ColorPlanner, MethodCallAcrossALineBreakAndStrings) {
  EXPECT_EQ(Plan("draw\r\n(1)", Syntax()), (Ops{"ResetColor 0+9", "Color 0+4 method"}));
  // A string ends at a line break; an apostrophe starts one too.
  EXPECT_EQ(Plan("'ab\rc", Syntax()), (Ops{"ResetColor 0+5", "Color 0+3 string"}));
  // An unclosed block comment runs to the end, clipped to the range.
  EXPECT_EQ(Plan("a /* b\rc", Syntax(), 0, 4), (Ops{"ResetColor 0+4", "Color 2+2 comment"}));
}

TEST(ColorPlanner, CommentOpenedAboveTheRangeIsNotSeen) {
  const std::string t = "/* a\rb */ if";
  // Range = the second line only: the scan starts there.
  EXPECT_EQ(Plan(t, Syntax(), 5, static_cast<int>(t.size())), (Ops{"ResetColor 5+7", "Color 10+2 keyword"}));
}

TEST(ColorPlanner, CodePointTokensInTheTokenColour) {
  TColorFlags f = Syntax();
  // Syntax only: an invalid value still takes the token colour.
  EXPECT_EQ(Plan("[[U+1F600]] [[U+D800]] [[U+12]]", f),
            (Ops{"ResetColor 0+31", "Color 0+11 token", "Color 12+10 token"}));
}

TEST(ColorPlanner, Gating) {
  TColorFlags none;
  none.showGlyphs = false;
  EXPECT_TRUE(Plan("if (x)", none).empty());
  // Inline styles alone need a colour or image token in the text: headings,
  // fences and bold markers otherwise show as typed.
  EXPECT_TRUE(Plan("# Title\r**b**", Inline()).empty());
  EXPECT_FALSE(Plan("# Title\r**b**[[IMG:0]]", Inline()).empty());
  EXPECT_TRUE(Plan("", Syntax()).empty());
  TColorFlags glyphs;
  glyphs.showGlyphs = true;
  EXPECT_EQ(Plan("a[[U+1F600]]", glyphs), (Ops{"ResetAll 0+12", "Glyph 1+11 1f600"}));
  EXPECT_TRUE(ColoringWanted("x[[u+1f600]]", glyphs));
  EXPECT_FALSE(ColoringWanted("x[[U+", none));
}

TEST(ColorPlanner, ColourTokensCarryAcrossLines) {
  const std::string t = "[[COLOR:#ff0000]]a\rb\r[[COLOR:NONE]]c";
  EXPECT_EQ(Plan(t, Inline()), (Ops{"ResetAll 0+36", "Hide 0+17", "Color 17+4 #ff", "Hide 21+14"}));
  // From the second line on, the colour in force comes from above.
  EXPECT_EQ(Plan(t, Inline(), 19, 36), (Ops{"ResetAll 19+17", "Color 19+2 #ff", "Hide 21+14"}));
  // Colour tokens win over the syntax colours (they come later).
  TColorFlags both = Inline();
  both.syntaxHighlighting = true;
  EXPECT_EQ(Plan("[[COLOR:#00ff00]]if", both),
            (Ops{"ResetAll 0+19", "Color 17+2 keyword", "Hide 0+17", "Color 17+2 #ff00"}));
}

TEST(ColorPlanner, InlineMarkup) {
  const std::string on = "[[IMG:0]]";  // any image token switches markup on
  struct Case { std::string text; Ops ops; };
  const Case cases[] = {
      {"**b**", {"Hide 9+2", "Style 11+1 bold", "Hide 12+2"}},
      {"*i* `c`", {"Hide 13+1", "Style 14+1 code", "Hide 15+1", "Hide 9+1", "Style 10+1 italic", "Hide 11+1"}},
      {"\\*a\\*", {}},            // escaped stars stay visible and plain
      {"\\\\*a*", {"Hide 11+1", "Style 12+1 italic", "Hide 13+1"}},  // an even run escapes nothing
      {"****", {}},               // nothing between the markers
      {"`a\rb`", {}},             // a code span stays on its line
      {"*a\rb*", {"Hide 9+1", "Style 10+3 italic", "Hide 13+1"}},  // italic may span lines
      {"# Title", {"Hide 9+2", "Heading 11+5 h1"}},
      {"######\tSix", {"Hide 9+7", "Heading 16+3 h6"}},
      {"####### x", {}},          // seven "#" make no heading
      {"# ", {}},                 // no text after the blanks
      {"#x", {}},
      {"```\rcode\r```\rafter", {"Hide 9+4", "Style 13+4 code", "Hide 18+4"}},
      {"```js\rno closing fence", {}},
      {"```\r*a*\r```", {"Hide 9+4", "Style 13+3 code", "Hide 17+3"}},  // the fence claims its stars
      // Lines may also end in LF or CR LF.
      {"`a\nb`", {}},
      {"```\ncode\n```", {"Hide 9+4", "Style 13+4 code", "Hide 18+3"}},
      {"```\r\ncode\r\n```", {"Hide 9+5", "Style 14+4 code", "Hide 20+3"}},
      {"```js\nno closing fence", {}},
  };
  for (const auto& c : cases) {
    Ops want{"ResetAll 0+" + std::to_string(on.size() + c.text.size())};
    want.insert(want.end(), c.ops.begin(), c.ops.end());
    EXPECT_EQ(Plan(on + c.text, Inline()), want) << c.text;
  }
  // A heading after leading colour tokens; markers inside it still apply.
  EXPECT_EQ(Plan("[[COLOR:#0000ff]]## Big **b**", Inline()),
            (Ops{"ResetAll 0+29", "Hide 0+17", "Color 17+12 #ff0000", "Hide 17+3", "Heading 20+9 h2",
                 "Hide 24+2", "Style 26+1 bold", "Hide 27+2"}));
}

TEST(ColorPlanner, MarkupIsClippedToTheRange) {
  const std::string t = "[[IMG:0]]\r**bold\rtext**";
  // Range = the last line: only the part of the span there.
  EXPECT_EQ(Plan(t, Inline(), 17, static_cast<int>(t.size())),
            (Ops{"ResetAll 17+6", "Style 17+4 bold", "Hide 21+2"}));
}

TEST(ColorPlanner, ImageAndGlyphTokens) {
  TColorFlags f = Inline();
  f.imageCount = 2;
  f.showGlyphs = true;
  EXPECT_EQ(Plan("[[IMG:1]][[IMG:2]][[U+1F600]][[U+D800]]", f),
            (Ops{"ResetAll 0+39", "Image 0+9 1", "Glyph 18+11 1f600"}));
  f.showGlyphs = false;
  EXPECT_EQ(Plan("[[IMG:0]][[U+1F600]]", f), (Ops{"ResetAll 0+20", "Image 0+9 0"}));
}

TEST(ColorPlanner, VisibleRange) {
  const std::string t = "a\rbb\rccc\rdddd\reeeee";
  const TLineIndex lines(t);
  struct Case { int first, height, lineHeight, start, end; };
  const Case cases[] = {
      {0, 16, 16, 0, 14},    // one line in view plus two: lines 0..3
      {1, 16, 16, 2, 19},    // up to the last line: the text's end
      {1, 160, 16, 2, 19},   // clamped to the last line
      {-5, 0, 16, 0, 9},
      {9, 0, 16, 14, 19},    // first line clamped
      {0, 32, 0, 0, 19},     // line height 0 counts as 16
  };
  for (const auto& c : cases) {
    const TColorRange r = VisibleColorRange(lines, c.first, c.height, c.lineHeight);
    EXPECT_EQ(r.start, c.start) << c.first << " " << c.height;
    EXPECT_EQ(r.end, c.end) << c.first << " " << c.height;
  }
}

TEST(ColorPlanner, HeadingSizes) {
  EXPECT_EQ(HeadingPointSize(10, 1), 16);
  EXPECT_EQ(HeadingPointSize(10, 2), 14);
  EXPECT_EQ(HeadingPointSize(10, 3), 12);
  EXPECT_EQ(HeadingPointSize(10, 4), 11);
  EXPECT_EQ(HeadingPointSize(10, 5), 10);
  EXPECT_EQ(HeadingPointSize(0, 1), 16);
}

// ---------------------------------------------------------------------------
// Flattening a plan into runs

TFormatOp Op(TFormatKind kind, int start, int length, TColor color = 0) {
  TFormatOp op;
  op.kind = kind;
  op.start = start;
  op.length = length;
  op.color = color;
  return op;
}

// The runs as text: "start-end:attributes" with c<colour>, h/v (hidden or
// visible), b/n (bold or not), i/u (italic or upright), f<c|e> (code or the
// editor's face), s<points>; attributes no operation sets are left out.
std::string ShowRuns(const std::vector<TFormatRun>& runs) {
  std::ostringstream s;
  for (const auto& r : runs) {
    const TCharState& st = r.state;
    s << r.start << "-" << r.end << ":";
    if (st.hasColor) s << "c" << st.color;
    if (st.hasHidden) s << (st.hidden ? "h" : "v");
    if (st.hasBold) s << (st.bold ? "b" : "n");
    if (st.hasItalic) s << (st.italic ? "i" : "u");
    if (st.hasFace) s << (st.codeFace ? "fc" : "fe");
    if (st.hasSize) s << "s" << st.points;
    s << " ";
  }
  return s.str();
}

TEST(ColorPlanner, FlattenGivesTheEndResultOfTheOperationsAsRuns) {
  TFormatOp style = Op(TFormatKind::Style, 4, 4);
  style.bold = true;
  TFormatOp code = Op(TFormatKind::Style, 12, 3);
  code.codeFace = true;
  TFormatOp heading = Op(TFormatKind::Heading, 16, 4);
  heading.level = 1;
  TFormatOp glyph = Op(TFormatKind::GlyphToken, 0, 10);
  glyph.value = 0x263A;
  struct Case {
    const char* name;
    std::vector<TFormatOp> ops;
    int start, end;
    bool resetSizeAndFace;
    std::string runs;
  };
  const Case cases[] = {
      {"a colour reset alone sets only the colour", {Op(TFormatKind::ResetColor, 0, 10, 1)}, 0, 10, false,
       "0-10:c1 "},
      {"later operations win; equal neighbours merge",
       {Op(TFormatKind::ResetColor, 0, 10, 1), Op(TFormatKind::Color, 2, 3, 2), Op(TFormatKind::Color, 5, 2, 1),
        Op(TFormatKind::Color, 4, 1, 3)},
       0, 10, false, "0-2:c1 2-4:c2 4-5:c3 5-10:c1 "},
      {"clipped to the range", {Op(TFormatKind::Color, -5, 8, 2), Op(TFormatKind::Hide, 8, 10)}, 0, 10, false,
       "0-3:c2 3-8: 8-10:h "},
      {"a full reset without size and face",
       {Op(TFormatKind::ResetAll, 0, 20, 1), style, code, heading, Op(TFormatKind::Hide, 2, 2)}, 0, 20, false,
       "0-2:c1vnu 2-4:c1hnu 4-8:c1vbu 8-12:c1vnu 12-15:c1vnufc 15-16:c1vnu 16-20:c1vbus16 "},
      {"a full reset with size and face",
       {Op(TFormatKind::ResetAll, 0, 20, 1), code, heading}, 0, 20, true,
       "0-12:c1vnufes10 12-15:c1vnufcs10 15-16:c1vnufes10 16-20:c1vbufes16 "},
      {"cover shows what a hide hid; token operations are the binding's",
       {Op(TFormatKind::Hide, 0, 10), glyph, Op(TFormatKind::Cover, 0, 3, 9)}, 0, 10, false, "0-3:c9v 3-10:h "},
      {"an empty range has no runs", {Op(TFormatKind::Color, 0, 5, 2)}, 5, 5, false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShowRuns(FlattenFormatOps(c.ops, c.start, c.end, 10, c.resetSizeAndFace)), c.runs) << c.name;
  }
}

// The runs against formatting one character at a time, operation after
// operation, over real plans of notes with every kind of markup, at several
// ranges. (What each operation sets is checked by the table above.)
TEST(ColorPlanner, FlattenMatchesFormattingEachCharacterInTurn) {
  const std::string text =
      "[[COLOR:#FF0000]]red\r## Head [[IMG:0]]\rfunction f(a) { return \"s\"; } // c\r"
      "**bold** *it* `code` [[U+263A]][[COLOR:NONE]]\r```\rfenced\r```\r/* block */ x(1);\r";
  TColorFlags flags = Syntax();
  flags.inlineStyles = true;
  flags.showGlyphs = true;
  flags.imageCount = 1;
  const int len = static_cast<int>(text.size());
  for (const bool sizeAndFace : {false, true}) {
    for (const auto& [start, end] : std::vector<std::pair<int, int>>{{0, len}, {5, 40}, {20, len}, {len - 9, len}}) {
      const auto ops = PlanColoring(text, start, end, flags, kPalette, kKeywords);
      std::vector<TCharState> model(static_cast<std::size_t>(len));
      for (const TFormatOp& op : ops) {
        for (int k = std::max(op.start, start); k < std::min(op.start + op.length, end); ++k) {
          ApplyFormatOp(op, 10, sizeAndFace, model[static_cast<std::size_t>(k)]);
        }
      }
      const auto runs = FlattenFormatOps(ops, start, end, 10, sizeAndFace);
      SCOPED_TRACE(std::to_string(start) + ".." + std::to_string(end) + (sizeAndFace ? " with size" : ""));
      ASSERT_FALSE(runs.empty());
      EXPECT_EQ(runs.front().start, start);
      EXPECT_EQ(runs.back().end, end);
      for (std::size_t r = 0; r < runs.size(); ++r) {
        EXPECT_LT(runs[r].start, runs[r].end);
        if (r > 0) {
          EXPECT_EQ(runs[r].start, runs[r - 1].end);
          EXPECT_FALSE(runs[r].state == runs[r - 1].state) << "neighbours with one format are one run";
        }
        for (int k = runs[r].start; k < runs[r].end; ++k) {
          EXPECT_TRUE(runs[r].state == model[static_cast<std::size_t>(k)]) << "character " << k;
        }
      }
    }
  }
}
