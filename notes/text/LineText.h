// Line breaks and line arithmetic of the notes editor's text.
//
// Index space. The rich-edit control stores a line break as one CR, and every
// position the editor works with (selection, caret, line starts, colouring
// ranges, bookmarks) is an index into that CR-only "control text". CR LF
// appears only at the boundary: the Text property, files, the clipboard and
// the vault. ToControlText and ToHostText convert at that boundary. The
// functions of notes/text accept CR, LF and CR LF wherever they look for a
// line break, so they also work on host text, but their indexes are only
// control positions when they are given control text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace NoteText {

inline bool IsLineBreakChar(char c) { return c == '\r' || c == '\n'; }

// Host text → control text: CR LF, a lone CR and a lone LF each become one CR.
std::string ToControlText(std::string_view text);

// Control (or any) text → host text: every line break (CR LF, CR or LF)
// becomes CR LF. The same as the editor's LineBreaksToCrLf.
std::string ToHostText(std::string_view text);
inline std::string LineBreaksToCrLf(std::string_view text) { return ToHostText(text); }

// CR LF and a lone CR become LF.
std::string NormalizeLineBreaks(std::string_view text);

// Number of line breaks in text; CR LF counts as one.
int CountLineBreaks(std::string_view text);

// Number of lines as the load and save workers count them: 0 for the empty
// text, else 1 + the number of line breaks.
int CountLines(std::string_view text);

// Start of the line that holds pos: just after the CR or LF before pos, or 0.
// pos is clamped to [0, length].
int LineStartIndex(std::string_view text, int pos);
// End of the line that holds pos: the next CR or LF at or after pos, or the
// text's length. pos is clamped to [0, length].
int LineEndIndex(std::string_view text, int pos);

// The lines of a text, as the control numbers them: line i starts at
// LineStart(i); a line ends before its break; the text after the last break
// is one more line (empty when the text ends with a break), so there is
// always at least one line. Builds in one linear pass.
class TLineIndex {
 public:
  explicit TLineIndex(std::string_view text);

  int LineCount() const { return static_cast<int>(starts_.size()); }
  // -1 for a line outside [0, LineCount()).
  int LineStart(int line) const;
  // Characters of the line without its break; -1 outside the lines.
  int LineLength(int line) const;
  // Index just after the line's break (the next line's start), or the text
  // length for the last line.
  int LineEndWithBreak(int line) const;
  // Line that holds index pos (clamped to [0, text length]); a break belongs
  // to the line it ends.
  int LineFromIndex(int pos) const;
  int TextLength() const { return length_; }

 private:
  std::vector<int> starts_;
  std::vector<int> ends_;  // end of each line before its break
  int length_ = 0;
};

}  // namespace NoteText
