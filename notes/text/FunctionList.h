// The function list of the notes text: functions found by heuristics that
// cover script functions (the "function" keyword, functions and arrow
// functions assigned to a name) and C-family definitions; the whole function
// (block) around a position; and the cycling through a name's occurrences
// that Ctrl+click jumps use.
//
// Every scan is linear in the text's length, apart from look-aheads that are
// bounded (a function header is looked for within 4000 characters of its
// line's start). Positions are 0-based indexes; give the control's text
// (line break = one CR) to get control positions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "notes/text/CodeScan.h"

namespace NoteText {

// One function: its name as written (possibly "Class::name" or "~name")
// followed by its parameter list exactly as in the text, line breaks
// included, e.g. "Foo::bar(int a)" or "handler(e)"; and the index from which
// its header is searched (the "function" keyword, the start of the assigned
// name, or the start of a declaration's line).
struct TFunctionEntry {
  std::string entry;
  int position = 0;
};

// The function list, in the order found: first the "function" keyword pass,
// then the assignment pass, then the declaration pass (see the .cpp). An
// entry equal to an earlier one, ignoring ASCII case, is not added again.
std::vector<TFunctionEntry> DetectFunctions(std::string_view text);

// The simple name of an entry: trimmed, cut before the first "(" and
// trimmed, and after the last "::" when there is one.
std::string ExtractSimpleFunctionName(std::string_view entry);

// The entry equal to entry (trimmed, ignoring ASCII case), else -1: how the
// function list looks an entry up.
int IndexOfFunctionEntry(const std::vector<TFunctionEntry>& entries, std::string_view entry);
// The first entry whose simple name equals name exactly (case-sensitive), else
// -1: the target of a Ctrl+click on an identifier.
int IndexOfSimpleName(const std::vector<TFunctionEntry>& entries, std::string_view name);

// Function blocks over one text, for several look-ups: the list and each
// entry's block are worked out once. Keeps a view of the text, which must
// outlive it.
class TFunctionBlocks {
 public:
  explicit TFunctionBlocks(std::string_view text);

  const std::vector<TFunctionEntry>& Entries() const { return entries_; }

  // The block around pos (clamped to the text): the last entry, in list
  // order, whose position is at or before pos and whose block holds pos.
  // A block runs from the start of its header's line to just after the "}"
  // of its body (pos may also be that index). A header whose body brace is
  // not found within 4000 characters, or that ends at a ";" first, has no
  // block. False when no block holds pos.
  bool BlockAt(int pos, int& blockStart, int& blockEnd) const;

  // The block at the caret, else the one found from the start of the next
  // line (a caret on the line just above a header finds that function).
  bool BlockAtCaret(int caret, int& blockStart, int& blockEnd) const;

  // Whether selected (the selection's text) is a whole function: with line
  // breaks as LF, comments blanked and trimmed, it equals, case-sensitively,
  // the block found from some entry's position treated the same way.
  bool IsFunctionText(std::string_view selected) const;

 private:
  struct TBlock {
    int start = -1;
    int end = -1;  // just after the "}"
  };
  std::string_view text_;
  std::vector<TFunctionEntry> entries_;
  std::vector<TBlock> blocks_;  // one per entry
};

// Single look-ups, building the list afresh (as every query of the editor does).
bool FindFunctionBlockAtPos(std::string_view text, int pos, int& blockStart, int& blockEnd);
bool FindFunctionBlockAtCaret(std::string_view text, int caret, int& blockStart, int& blockEnd);

// The end of a block with trailing CR, LF, spaces and tabs dropped (what
// selecting, copying or removing a function takes).
int TrimBlockEnd(std::string_view text, int blockStart, int blockEnd);

// Repeated jumps through the occurrences of a function's simple name.
class TFunctionJumper {
 public:
  struct TResult {
    int ordinal = 0;      // 1-based occurrence reached; 0 for none
    int index = -1;       // where that occurrence starts
    int length = 0;       // its length (the simple name's)
    int occurrences = 0;  // whole-word occurrences in the text
    bool beep = false;    // no occurrence at all: the editor beeps
  };

  // The next occurrence of entry's simple name: exact bytes, overlapping
  // allowed, comments and strings included, with no identifier character
  // directly before or after. The same name (ignoring case) as last time
  // goes on to the next occurrence, wrapping to the first after the last; a
  // different name starts at the first. Nothing for an empty entry or text.
  TResult Next(std::string_view text, std::string_view entry);

  const std::string& LastJumpName() const { return lastName_; }
  int LastJumpIndex() const { return lastIndex_; }

 private:
  std::string lastName_;
  int lastIndex_ = -1;
};

// The first visible line that shows a selection of selLines lines starting
// at firstLine in a view of visibleLines lines: two lines above it when it
// is taller than the view less four, else centred; at least 0.
int ScrollTopForSelection(int firstLine, int selLines, int visibleLines);

}  // namespace NoteText
