// Find and replace over the notes text, optionally ignoring whitespace, with
// the re-indentation of a multi-line replacement.
//
// The functions compute; the control binding selects and replaces. Give the
// control's text (line break = one CR): the ranges returned are then
// control positions, and the text to insert has its line breaks as single
// CRs, so its length is its length in the control.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace NoteText {

// The text as the search sees it, with each mapped character's source range.
//  matchWhitespace true: every character stands for itself, except that a
//    line break (CR LF, CR or LF) becomes one LF covering the whole break;
//  matchWhitespace false: tab, LF, CR and space are dropped.
struct TSearchMap {
  std::string mapped;
  std::vector<int> start;  // first source index of mapped[i]
  std::vector<int> end;    // source index just after it
};
TSearchMap BuildSearchMap(std::string_view text, bool matchWhitespace);

// The mapped index for source position p: 0 for p <= 0; else the first
// mapped character whose source range ends after p; the mapped length when
// none does.
int SearchMapIndexOf(const TSearchMap& map, int p);

struct TSearchRequest {
  std::string findText;
  std::string replaceText;
  int startPos = 0;
  int endPos = -1;  // inclusive; negative or past the end: the whole text
  bool ignoreCase = false;  // folds a-z only
  bool backward = false;
  bool matchWhitespace = true;
  bool replaceWithEmpty = false;
};

struct TSearchResult {
  int index = -1;       // where the chosen match begins in the text; -1 for none
  int matchIndex = 0;   // 1-based ordinal of the chosen match among all matches
  int matchCount = 0;   // matches from the text's start up to endPos
  int rangeStart = -1;  // the text range the match covers
  int rangeEnd = -1;    // exclusive
  bool replace = false;     // replace [rangeStart, rangeEnd) by insertText
  std::string insertText;   // line breaks as single CRs
};

// One step of SearchAndReplaceNext. Matches are counted from the text's
// start, without overlapping; forward chooses the first match at or after
// startPos, backward the last one at or before it (a backward search from at
// or past the end starts at the last character). Without whitespace
// matching, a find text with a line break widens the match to whole lines.
// A replacement happens when replaceText is not empty or replaceWithEmpty is
// set; when the find text (line breaks normalised) spans lines and
// whitespace is ignored, a replacement whose first non-blank line lacks the
// target's indentation gets it on every non-empty line.
TSearchResult SearchAndReplaceNext(std::string_view text, const TSearchRequest& request);

// Line breaks normalised; when indent is empty or the first line holding a
// non-blank already begins with it, the text with CR LF breaks; otherwise
// every non-empty line prefixed with indent, joined with CR LF (a final
// break stays final).
std::string ReindentReplacement(std::string_view text, std::string_view indent);

// The run of spaces and tabs at pos.
std::string LeadingBlanksAt(std::string_view text, int pos);

}  // namespace NoteText
