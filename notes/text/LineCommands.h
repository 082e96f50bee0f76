// Commands that rewrite whole lines of the notes text: toggling line
// comments and indenting or outdenting the selected lines, with the line
// helpers they share.
//
// The functions compute the new block; the control binding selects
// [blockStart, blockEnd), replaces it by newBlock as a separate undo step,
// and selects the new block (its length is its length in the control when
// the text given was the control's text). While the editor is read-only the
// binding refuses these commands.
#pragma once

#include <string>
#include <string_view>

namespace NoteText {

// 1-based position of the first character other than space and tab; the
// length + 1 when there is none.
int FirstNonBlankPos(std::string_view line);
// No character other than space and tab.
bool IsBlankLine(std::string_view line);
// The prefix is not empty and stands right after the line's leading spaces
// and tabs.
bool HasCommentPrefix(std::string_view line, std::string_view prefix);
// The characters from pos up to the next CR or LF, and the break itself (CR
// LF is one break of two characters); pos moves past both.
std::string NextLineOf(std::string_view text, int& pos, std::string* lineBreak = nullptr);

// The whole lines a selection touches: from the line of selStart to the line
// of its last character (selStart + selLength - 1 when selLength > 0), at
// least the first line; from the first line's start to the start of the
// line after the last, or the text's end (breaks included). A selection that
// ends at the first character of a line does not take that line.
struct TLineBlock {
  int start = 0;
  int end = 0;
};
TLineBlock SelectedLineBlock(std::string_view text, int selStart, int selLength);

struct TLineEdit {
  bool changed = false;  // false: nothing to do (the selection stays as it was)
  int blockStart = 0;
  int blockEnd = 0;      // the old block, exclusive
  std::string newBlock;  // its replacement, each line keeping its own break
};

// Toggles the line comment prefix (an empty prefix means "//") on the
// selected lines. When every non-blank line already holds the prefix after
// its indentation, the prefix and one space after it are removed; otherwise
// the prefix and a space (none when the prefix ends with a space) are put
// after the indentation of each non-blank line that lacks it. Blank lines
// never change; a block without a non-blank line changes nothing.
TLineEdit ToggleLineComments(std::string_view text, int selStart, int selLength,
                             std::string_view prefix);

// Indents (or outdents) the selected lines; nothing without a selection.
// The unit is tabSpaces spaces, or one tab when tabSpaces <= 0. Indenting
// puts the unit before every line, empty ones included; outdenting removes
// up to tabSpaces leading spaces (never a tab), or with tabSpaces <= 0 one
// leading tab. The edit counts as a change even when no line changed.
TLineEdit IndentSelectedLines(std::string_view text, int selStart, int selLength, bool outdent,
                              int tabSpaces);

}  // namespace NoteText
