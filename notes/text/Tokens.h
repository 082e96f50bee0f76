// Inline tokens of the notes text and the conversions between editor text
// and UTF-16.
//
// The editor's text is 8-bit text in the ANSI code page. Three kinds of token,
// written with ASCII characters only, carry what the code page cannot; the
// vault stores notes in this form, so the syntax is a stored format:
//
//   code point   "[[U+" 4 to 6 hex digits "]]"   value below 0x110000 and not a
//                                                 surrogate (D800..DFFF); the
//                                                 "U" and the digits in either case
//   image        "[[IMG:" decimal digits "]]"     image n of the editor's image list
//   colour off   "[[COLOR:NONE]]"                 exactly so, upper case
//   colour       "[[COLOR:#" 6 hex digits "]]"    RRGGBB
//
// A code-point token with an invalid value ("[[U+D800]]", "[[U+110000]]") is
// not a token anywhere: it stays literal text when shown, copied, saved or
// converted. A token is recognised wherever its complete form fits in the
// text, also at the very end of it.
//
// All positions are 0-based indexes into the text. Functions return 0, -1,
// false or empty results for positions outside the text; nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The same colour type as the drawing layer's (0x00BBGGRR), so that the
// control binding can use both.
using TColor = std::uint32_t;

namespace NoteText {

// True for 0 <= cp < 0x110000 outside the surrogate range D800..DFFF.
bool IsValidCodePoint(std::uint32_t cp);

// "[[U+%04X]]": upper-case hex, at least four digits (U+1F600 → "[[U+1F600]]").
std::string FormatCodePointToken(std::uint32_t cp);

// Syntax only: length (10 to 12) of a code-point token that starts at pos,
// else 0. Hex digits are read greedily, at most six, at least four, and "]]"
// must follow them ("[[U+1234567]]" is no token). The value is stored in
// *value when given, whether valid or not.
int CodePointTokenLength(std::string_view text, int pos, std::uint32_t* value = nullptr);

// A valid code-point token at pos: its length and its code point, else 0.
int ParseCodePointToken(std::string_view text, int pos, std::uint32_t& codePoint);

// An image token at pos: its length (9 or more) and the image number, else 0.
// Digits are accumulated left to right; the token is refused when, before a
// further digit, the value already exceeds 1,000,000 (so every number of up
// to seven digits reads, and eight digits only up to 10,000,009).
int ParseImageToken(std::string_view text, int pos, int& number);

// A colour token at pos: 14 for "[[COLOR:NONE]]" (colourOff true), 17 for
// "[[COLOR:#RRGGBB]]" with color = RR + GG*256 + BB*65536, else 0.
int ParseColorToken(std::string_view text, int pos, bool& colourOff, TColor& color);

// Surrogate halves, and the code point of a pair (a character typed as two
// WM_CHAR messages becomes one token of this value).
inline bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
inline std::uint32_t CodePointFromSurrogates(char16_t high, char16_t low) {
  return 0x10000u + ((static_cast<std::uint32_t>(high) - 0xD800u) << 10) +
         (static_cast<std::uint32_t>(low) - 0xDC00u);
}

// One or two UTF-16 units of a valid code point; empty for an invalid one.
std::u16string CodePointToUtf16(std::uint32_t cp);
// Appends the units of a valid code point; appends nothing for an invalid one.
void AppendCodePointUtf16(std::u16string& wide, std::uint32_t cp);

// Wide text → editor text. A surrogate pair becomes its token; a unit below
// 128 is copied; any other unit is copied as its code-page bytes when the
// code page holds it exactly (no best fit), else written as its token (a lone
// surrogate too, which then reads back as literal text).
std::string WideToEditorText(std::u16string_view wide);

// Editor text → wide text. Valid code-point tokens become their characters;
// everything else (other tokens, invalid code-point tokens) is decoded from
// the code page as it stands.
std::u16string EditorTextToWide(std::string_view text);

// Clipboard in: the UTF-16 clipboard text up to its first zero unit, turned
// into editor text as WideToEditorText does, with every line break (CR, LF,
// CR LF) made CR LF. The caller inserts it as a separate undo step; the
// control keeps each CR LF as one CR, so measure what was inserted in the
// control, not by this text's length.
std::string ClipboardWideToEditorText(std::u16string_view wide);

// Clipboard out: editor (control) text → the UTF-16 text for CF_UNICODETEXT,
// tokens resolved and line breaks made CR LF.
std::u16string EditorTextToClipboardWide(std::string_view text);

// True when some unit of the control's wide text cannot stay as it is: a
// surrogate (paired or not) or a unit that the code page does not hold.
bool NeedsTokenRewrite(std::u16string_view wide);

// The change rewrite: the control's wide text with every such unit (or pair)
// replaced by the characters of its token, and the caret that keeps its place
// after the text before it grew. selStart is the control's selection start
// (in UTF-16 units); the new caret is clamped to the new text.
struct TTokenRewrite {
  std::u16string wide;  // what the control should hold now
  int caret = 0;
};
TTokenRewrite RewriteUnrepresentable(std::u16string_view wide, int selStart);

// A valid code-point token [start, end) with its code point.
struct TCodePointToken {
  int start = -1;
  int end = -1;
  std::uint32_t codePoint = 0;
};

// Glyph-aware selection: the valid code-point token that covers pos when the
// selection's moving end goes right (start <= pos < end) or left
// (start < pos <= end). direction > 0 means right. Only tokens that start
// within 12 characters of pos are considered.
bool FindGlyphTokenNear(std::string_view text, int pos, int direction, TCodePointToken& token);

// The code-point token under a character (the tooltip under the mouse):
// stepping left from index until two "[" stand together (the token starts at
// the first), a blank or line break is reached, or the text starts; then the
// syntax "[[U+" 4-6 hex "]]" must stand there and reach the character. The
// value is not checked (the tooltip of an invalid one shows a box). index is
// clamped to the text's last index.
bool CodePointTokenAt(std::string_view text, int index, TCodePointToken& token);

// How many of a token's characters, counted from its first, are kept visible
// so that their drawn width reaches minWidth (16 when minWidth <= 0): the
// smallest such count between 1 and tokenLength, tokenLength when the width
// is never reached. widthOfFirst(k) is the drawn width of the first k
// characters; without it (no device context) the answer is 2, or 1 for a
// one-character token.
int TokenCharsForWidth(int tokenLength, int minWidth, const std::function<int(int)>& widthOfFirst);

// Scales w x h into a square of size, keeping the aspect: the longer side
// becomes size, the shorter size * shorter / longer, at least 1.
void FitImageToSquare(int width, int height, int size, int& outWidth, int& outHeight);

}  // namespace NoteText
