// Code completion of the notes editor, without the popup: the identifier
// being typed before the caret, the filtered list of functions, the call
// text an accepted item inserts with its caret offsets, the planned
// replacement, the selection movement in the list and the popup's place.
//
// Positions are indexes into the control's text (line break = one CR).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "notes/text/FunctionList.h"

namespace NoteText {

// Most items the popup lists.
constexpr int kCompletionMaxItems = 300;

// The identifier (A-Z, a-z, 0-9, "_", "$") directly before the caret, which
// is selStart clamped to the text; start is where it begins (the caret when
// it is empty). Always true.
bool CompletionGetPrefix(std::string_view text, int selStart, std::string& prefix, int& start);

// Case-insensitive tests; an empty prefix matches everything. The prefix is
// made of identifier characters, which are ASCII, so folding ASCII letters
// is the whole comparison.
bool CompletionStartsWithIC(std::string_view text, std::string_view prefix);
bool CompletionContainsIC(std::string_view text, std::string_view prefix);

struct TCompletionItem {
  std::string entry;      // the function-list entry, e.g. "Foo::bar(int a)"
  int functionIndex = 0;  // its index in the function list
};

// The popup's items, in function-list order: first every function whose
// simple name starts with the prefix, then (for a non-empty prefix) every
// one whose simple name contains it elsewhere. Empty entries and entries
// already listed (ignoring case) are skipped; at most kCompletionMaxItems.
std::vector<TCompletionItem> CompletionFilter(const std::vector<TFunctionEntry>& functions,
                                              std::string_view prefix);

// The call an entry inserts: its simple name (the entry itself when that is
// empty) and its parameter list from the first "(" to the matching ")", or
// "()". afterOffset is the offset just behind the call's ")" (the call's
// length when there is none); parameterOffset is the offset of the first
// parameter character other than space and tab, or -1 when the trimmed
// parameter text is empty or "void" (any case).
std::string CompletionMakeCallText(std::string_view entry, int& parameterOffset, int& afterOffset);

// Accepting an item: the identifier before the caret as it stands *now* is
// replaced by the call text, so a caret moved since the list was built (a
// click, a jump, a paste) never widens the replacement. The caret goes
// before the first parameter for Enter when there is one, else behind ")".
struct TCompletionAcceptPlan {
  int replaceStart = 0;  // [replaceStart, replaceEnd) of the text is replaced
  int replaceEnd = 0;
  std::string insert;    // the call text
  int caret = 0;         // where the caret goes afterwards
};
// False when the entry gives an empty call text.
bool PlanCompletionAccept(std::string_view text, int selStart, std::string_view entry, bool enterKey,
                          TCompletionAcceptPlan& plan);

// The list's new selection: delta from nothing selected (current < 0), else
// current + delta, clamped to the items; -1 without items.
int CompletionMoveIndex(int current, int delta, int count);

// Item height of the list for a "Wg" text height: + 6, at least 18.
int CompletionItemHeight(int textHeight);

// The popup's rectangle in its parent's client coordinates. anchorX and
// anchorY are the caret's top-left mapped into the parent (before the line
// is stepped over); the popup is 340 wide and 1 to 8 rows high (at least
// 40), opens below the caret's line, moves left at the parent's right edge
// and flips above the line at its bottom edge; never at negative coordinates.
struct TPopupRect {
  int left = 0, top = 0, width = 0, height = 0;
};
constexpr int kCompletionPopupWidth = 340;
TPopupRect CompletionPopupRect(int anchorX, int anchorY, int lineHeight, int itemHeight, int itemCount,
                               int parentWidth, int parentHeight);

}  // namespace NoteText
