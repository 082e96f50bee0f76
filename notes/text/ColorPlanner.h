// The colouring pass of the notes editor, as a plan: from the control's text,
// the range in view and the editor's switches to a list of character-format
// operations that the control binding applies in order (each one: select the
// range, EM_SETCHARFORMAT on the selection). The text itself is never changed.
//
// All positions are control positions (line break = one CR); ranges are
// [start, start + length).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "notes/text/LineText.h"
#include "notes/text/Tokens.h"

namespace NoteText {

// The editor's keyword list: split at every ",", each piece trimmed of
// blanks, empty pieces dropped. A word is a keyword when the set holds it
// ignoring ASCII case ("IF" and "If" when "if" is listed).
class TKeywordSet {
 public:
  TKeywordSet() = default;
  explicit TKeywordSet(std::string_view list) { SetList(list); }
  void SetList(std::string_view list);
  bool Contains(std::string_view word) const;
  int Count() const { return static_cast<int>(words_.size()); }

 private:
  std::unordered_set<std::string> words_;  // lower case
  std::size_t longest_ = 0;
};

// The switches of the editor that decide what a pass draws.
struct TColorFlags {
  bool syntaxHighlighting = false;  // SyntaxHighlighting
  bool inlineStyles = false;        // InlineStyles
  bool showGlyphs = true;           // ShowUTF8IconsInline (and the glyph cache exists)
  int imageCount = 0;               // images in ImageList; 0 without a list
};

// Colours in use (day or night, chosen by the caller).
struct TSyntaxPalette {
  TColor text = 0;  // the default text colour
  TColor keyword = 0;
  TColor string = 0;
  TColor comment = 0;
  TColor method = 0;
  TColor token = 0;
};

enum class TFormatKind {
  ResetAll,    // colour = palette.text, size and face of the editor's font, not bold,
               // not italic, not hidden
  ResetColor,  // colour = palette.text only
  Color,       // text colour = color
  Hide,        // hidden (CFE_HIDDEN)
  Style,       // only what is flagged: bold, italic, code face ("Consolas")
  Heading,     // bold and the size HeadingPointSize(font size, level)
  ImageToken,  // an image token with a valid index (value): keep its first k characters
               // visible in the background colour, hide the rest, paint the image there
               // (k from TokenCharsForWidth with the line height as minimum width)
  GlyphToken,  // a valid code-point token (value = code point), drawn as its glyph in the
               // same way; skipped by the binding when no glyph can be rendered
  Cover,       // text colour = color and not hidden: the characters an image is painted
               // over (the binding turns token operations into Cover and Hide)
};

struct TFormatOp {
  TFormatKind kind = TFormatKind::ResetColor;
  int start = 0;
  int length = 0;
  TColor color = 0;
  bool bold = false;
  bool italic = false;
  bool codeFace = false;
  int level = 0;             // Heading: 1..6
  std::uint32_t value = 0;   // ImageToken: image index; GlyphToken: code point
};

// "[[COLOR:" or "[[IMG:" in the text while InlineStyles is on.
bool InlineTokensPresent(std::string_view text, const TColorFlags& flags);
// A code-point token prefix ("[[U+", either case of the U) while glyphs are shown.
bool GlyphTokensPresent(std::string_view text, const TColorFlags& flags);
// Whether a pass (or a scheduled one) has anything to do: SyntaxHighlighting,
// or inline tokens, or glyph tokens present.
bool ColoringWanted(std::string_view text, const TColorFlags& flags);

// The range a pass formats: the first visible line (clamped to the lines)
// and the lines that fit the client height, plus two; from the first line's
// start to the start of the line after the last, or the text's end. A line
// height below 1 counts as 16.
struct TColorRange {
  int start = 0;
  int end = 0;
};
TColorRange VisibleColorRange(const TLineIndex& lines, int firstVisibleLine, int clientHeight,
                              int lineHeight);

// Size in points of a heading of the given level: the editor font's size (10
// when below 1) plus 6, 4, 2 or 1 for levels 1 to 4, plus 0 for 5 and 6.
int HeadingPointSize(int fontSize, int level);

// Plans one pass over [rangeStart, rangeEnd) (clipped to the text). Empty
// when the text is empty or ColoringWanted is false. The operations come in
// this order, and later ones win where they overlap:
//  1. a reset of the whole range: ResetAll when inline or glyph tokens are
//     present, else ResetColor;
//  2. with SyntaxHighlighting, scanning from the range start: code-point
//     tokens (syntax only) in the token colour; strings between ' or " (to
//     the same quote, a line break or the end; a backslash skips the next
//     character); "//" comments to the line's end; "/*" comments through
//     "*/" or the end; identifiers: keywords, and names followed (after
//     blanks and line breaks) by "(" in the method colour. A string or block
//     comment opened above the range is not seen;
//  3. with inline tokens present, colour tokens: the colour in force at the
//     range start comes from the nearest colour token before it; each colour
//     token in the range is hidden and starts or ends the colour, which runs
//     across lines;
//  4. with inline tokens present, the markup of the whole text, clipped to the
//     range: ``` fences (markers hidden, content in the code face), headings
//     of 1-6 "#" and a blank (markers hidden), then `code`, **bold** and
//     *italic* spans (markers hidden); a marker after an odd number of
//     backslashes is escaped;
//  5. with inline tokens and images, or glyph tokens present: ImageToken and
//     GlyphToken operations for the tokens that start in the range.
// Every operation but the token ones is clipped to the range.
std::vector<TFormatOp> PlanColoring(std::string_view text, int rangeStart, int rangeEnd,
                                    const TColorFlags& flags, const TSyntaxPalette& palette,
                                    const TKeywordSet& keywords);

// The format a pass leaves on a run of characters. An attribute whose has-
// flag is clear is one that no operation sets: the control keeps it.
struct TCharState {
  bool hasColor = false;
  TColor color = 0;
  bool hasHidden = false;
  bool hidden = false;
  bool hasBold = false;
  bool bold = false;
  bool hasItalic = false;
  bool italic = false;
  bool hasFace = false;
  bool codeFace = false;  // false: the face of the editor's font
  bool hasSize = false;
  int points = 0;
  bool operator==(const TCharState&) const = default;
};

struct TFormatRun {
  int start = 0;
  int end = 0;
  TCharState state;
};

// What one operation does to the format of a character: the attributes it
// sets (see TFormatKind; ResetAll sets size and face only when
// resetSizeAndFace; token operations set nothing).
void ApplyFormatOp(const TFormatOp& op, int fontSize, bool resetSizeAndFace, TCharState& state);

// The end result of a plan's operations over [rangeStart, rangeEnd): runs in
// order, each character in exactly one, each with the format the operations
// leave on it (later operations win; clipped to the range); neighbours that
// end with the same format are one run. ResetAll sets the size (fontSize) and
// the editor's face only when resetSizeAndFace. ImageToken and GlyphToken
// operations depend on the screen and are skipped: the binding turns them
// into Cover and Hide operations first. Applying each run once leaves the
// control as applying every operation in turn would, with each character
// formatted once, and a run the control already shows needs no change.
std::vector<TFormatRun> FlattenFormatOps(const std::vector<TFormatOp>& ops, int rangeStart, int rangeEnd,
                                         int fontSize, bool resetSizeAndFace);

}  // namespace NoteText
