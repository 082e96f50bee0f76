// Small queries over the notes text that the editor answers at a position:
// the web link under the mouse and the click selections.
//
// Positions are 0-based indexes (control positions for the control's text).
#pragma once

#include <string>
#include <string_view>

namespace NoteText {

// The web link around index (clamped to the last character): it runs left
// to just after a blank, line break, quote, "<", ">", "(", "[" or "{", and
// right to just before a blank, line break, quote, "<", ">", ")", "]" or
// "}"; trailing ".", ",", ";" and ":" are dropped. The link is returned, its
// case kept, when it begins with "http://" or "https://" in any case; else
// the empty text. "(https://x.org/a)." gives "https://x.org/a".
std::string UrlAt(std::string_view text, int index);

// A line's extent around index: its first index, its end before the break,
// and that end less trailing spaces and tabs.
struct TLineInfo {
  int start = 0;
  int end = 0;
  int trimmedEnd = 0;
};
TLineInfo LineInfoAt(std::string_view text, int index);

// The third click: index clamped into its (non-empty) line; the run of
// spaces and tabs around it when it is on one, else the run of other
// characters around it; runs stop at the line's ends. [start, end); empty
// (start == end) on an empty line.
void RunAt(std::string_view text, int index, int& start, int& end);

}  // namespace NoteText
