// The notes editor's bookmarked lines and the arithmetic of its line-number
// gutter.
//
// Lines are 0-based inside the list; the host's text form and the
// OnBookmark event use 1-based numbers. The list keeps the order in which
// lines were bookmarked, without duplicates.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace NoteText {

class TBookmarkList {
 public:
  const std::vector<int>& Lines() const { return lines_; }
  bool Empty() const { return lines_.empty(); }
  void Clear() { lines_.clear(); }
  bool IsBookmarked(int line) const;

  // Removes the line when it is bookmarked, else appends it; returns the new
  // state. A negative line changes nothing and returns false.
  bool Toggle(int line);

  // Ctrl+B: the smallest bookmarked line after currentLine, else the smallest
  // one (wrap-around); a line at or beyond lineCount becomes the last line
  // (when lineCount > 0). -1 for an empty list (the editor beeps).
  int NextTarget(int currentLine, int lineCount) const;

  // The host's text form: the lines as 1-based numbers joined by "," in list
  // order, e.g. "3,7".
  std::string ToText() const;
  // Replaces the list from the host's text: items separated by commas or
  // blanks, double-quoted items allowed ("" inside quotes stands for one ");
  // each item trimmed; a number n > 0 adds line n - 1 once. When lineCount >
  // 0 (the editor's window exists), numbers beyond the last line are
  // dropped. Anything else is skipped: "3, 7,x,0,-2,7" gives "3,7".
  void SetFromText(std::string_view text, int lineCount);

  // Follows a text change: delta = (line breaks of newText) - (line breaks
  // of oldText), counting every break (CR, LF, CR LF); caretLine is the line
  // of the selection start after the change. Lines were inserted above
  // caretLine - delta (delta > 0): bookmarks from there move down; lines
  // were removed at caretLine (delta < 0): bookmarks on the removed lines go
  // and the ones below move up. The result is clamped to the new last line
  // and merged. Returns whether the list changed.
  bool AdjustForTextChange(std::string_view oldText, std::string_view newText, int caretLine);

 private:
  void AddOnce(int line);
  std::vector<int> lines_;
};

// Gutter arithmetic.
// Decimal digits of the line count (at least 1 line), at least 2.
int GutterDigits(int lineCount);
// The gutter's width: digits x the average character width (8 when not
// positive) + 6, at least 24 pixels.
int GutterWidthFor(int lineCount, int averageCharWidth);
// The bookmark dot's diameter for a line height: d = lineHeight - 4, at most
// 10, and 10 when that is below 6; the dot is d + 2 across.
int BookmarkDotSize(int lineHeight);

}  // namespace NoteText
