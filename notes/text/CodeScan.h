// Code scanning over the notes text: character classes, blanking of comments
// and strings, regular-expression literals, brace and parenthesis matching
// aware of strings and comments, plain bracket matching, and the identifier
// or quoted text at a position. None of it knows a language: the rules mix
// script and C-family punctuation.
//
// Indexes are 0-based positions in the text; give the control's text
// (line break = one CR) to get control positions back. A line break is CR,
// LF or CR LF everywhere here. Out-of-range indexes give -1, false or empty
// results; nothing throws.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace NoteText {

namespace CharClass {
enum : unsigned char { kIdent = 1, kNameStart = 2, kBlank = 4, kBracket = 8 };

constexpr std::array<unsigned char, 256> MakeTable() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    if (letter || digit || c == '_' || c == '$') t[c] |= kIdent;
    if (letter || c == '$' || c == '_' || c == '~') t[c] |= kNameStart;
    if (c == '\t' || c == '\n' || c == '\r' || c == ' ') t[c] |= kBlank;
    if (c == '(' || c == ')' || c == '[' || c == ']' || c == '{' || c == '}' || c == '<' || c == '>') {
      t[c] |= kBracket;
    }
  }
  return t;
}

// One entry per 8-bit character value.
inline constexpr std::array<unsigned char, 256> kTable = MakeTable();

inline bool Is(char c, unsigned char cls) { return (kTable[static_cast<unsigned char>(c)] & cls) != 0; }
}  // namespace CharClass

// A-Z, a-z, 0-9, "_", "$" (also the editor's IsIdentChar).
inline bool IsCodeIdentChar(char c) { return CharClass::Is(c, CharClass::kIdent); }
// A-Z, a-z, "$", "_", "~" (no digits).
inline bool IsNameStartChar(char c) { return CharClass::Is(c, CharClass::kNameStart); }
// Tab, LF, CR, space.
inline bool IsCodeBlank(char c) { return CharClass::Is(c, CharClass::kBlank); }
// "(", ")", "[", "]", "{", "}", "<", ">".
inline bool IsBracketChar(char c) { return CharClass::Is(c, CharClass::kBracket); }

// A copy of text of the same length in which comments are spaces: "//" and
// "#" comments up to the next line break, "/*" … "*/" comments; line breaks
// stay. String literals (', ", `; backslash escapes; across lines) are kept
// as they are, and comment markers inside them are not comments.
std::string BlankOutComments(std::string_view text);

// The same, except that string literals, delimiters included, become spaces
// too (line breaks kept) and "#" is not a comment.
std::string MaskCodeForFunction(std::string_view text);

// Whether a "/" at i would start a regular-expression literal rather than a
// division: only blanks before it, or one of ( = : , [ { ! ? ; before it, or
// the word return, throw, case, typeof or delete (any case) before it.
bool IsExpressionPosition(std::string_view text, int i);

// A regular-expression literal starting at the "/" at i (not followed by "/"
// or "*", at an expression position): a backslash escapes the next
// character, "[" opens a class that only "]" closes, the first "/" outside a
// class closes it, and letters after it are its flags. On success i is set to
// the literal's last character and true returned; a line break or the text's
// end before the closing "/" means no literal (false, i unchanged).
bool SkipRegexLiteral(std::string_view text, int& i);

// From the "{" at open, the "}" that closes it, skipping strings, "//" and
// "/*" comments and regular-expression literals ("#" is no comment here).
// Returns its index, or -1 (no "{" at open, or no partner).
int FindMatchingBrace(std::string_view text, int open);

// From the "(" at open, the ")" that closes it, skipping string literals;
// comments are not recognised (give blanked text). -1 for none.
int FindMatchingParen(std::string_view text, int open);

// The two matchers above for many look-ups over one text: each answer equals
// the single function's, and every look-up together stays linear in the
// text's length (answers, and the string and literal scans behind them, are
// remembered). The scanner keeps a view of the text, which must outlive it.
class TBraceScanner {
 public:
  explicit TBraceScanner(std::string_view text);
  int MatchBrace(int open);
  int MatchParen(int open);
  std::string_view Text() const { return text_; }

 private:
  // Partners remembered per opening bracket, by its rank among the text's
  // opening brackets of that kind (found in one pass when first needed).
  struct TMemo {
    bool built = false;
    std::vector<int> positions;  // of every opening bracket, ascending
    std::vector<int> partner;    // -1 none, -2 not yet known
    std::size_t hint = 0;        // the last rank looked up; searches start there
  };
  int RankOf(TMemo& memo, char open, int pos);
  int Match(int open, bool braces);
  int RegexClose(int from);
  std::string_view text_;
  int len_;
  TMemo braces_;
  TMemo parens_;
  std::vector<int> frames_;  // ranks of the brackets still open in a scan
  // Literal scans run plainly until they have cost more than a few times the
  // text's length (only overlapping failed literals on long lines do that);
  // from then on every (position, class state) they pass is remembered.
  // One remembered state per 16 positions and class state: a scan that
  // joins a remembered one meets a remembered state within a few steps.
  long long regexSteps_ = 0;
  std::vector<int> regexAt_[2];      // position of the state remembered in each bucket; -1 none
  std::vector<int> regexAnswer_[2];  // its closing "/", or -1
};

// Plain bracket matching, blind to strings and comments: the pairs () [] {}
// <>; an opening bracket searches forward and a closing one backward,
// counting its own kind and its partner. -1 when index is out of range, not
// a bracket, or unmatched. (f(')') pairs the first "(" with the quoted ")".)
int FindMatchingBracket(std::string_view text, int index);

// The line's single bracket: over the line that holds index, its break
// included: exactly one bracket → it; several and nothing else but blanks
// and breaks → the first of them; else -1.
int FindSingleBracketInLine(std::string_view text, int index);

// The bracket near the caret: the character at the caret, else the one
// before it, else the single bracket of the caret's line. -1 for none.
int FindBracketNearCaret(std::string_view text, int caret);

// The bracket near a clicked character: at distances 0 to 3, first index + d
// then index - d, both within index's line; else the line's single bracket.
int FindBracketAround(std::string_view text, int index);

// The identifier (IsCodeIdentChar run) at index: when the character there is
// none but the one before is, the one before. Empty for none.
struct TTextRange {
  int start = -1;
  int end = -1;  // exclusive
  bool Empty() const { return end <= start; }
};
TTextRange IdentifierAt(std::string_view text, int index);
std::string IdentifierTextAt(std::string_view text, int index);

// The quoted reference at index: on index's line, the nearest " or ' at or
// before index, and the same quote after it on that line; the text between,
// when it is not empty and index lies strictly between the quotes. Else "".
std::string QuotedReferenceAt(std::string_view text, int index);

}  // namespace NoteText
