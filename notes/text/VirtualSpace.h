// Virtual space: a caret that may stand to the right of a line's end. The
// control's own selection stays at the line's end while the editor draws the
// system caret at the virtual column; the gap becomes spaces only when text
// is typed there (materialised).
//
// The decisions are made here over the line model of the control's text; the
// control binding carries out the returned actions in order and keeps the
// state between calls. Columns count average character widths from the
// line's start.
#pragma once

#include <string>
#include <vector>

#include "notes/text/LineText.h"

namespace NoteText {

struct TVirtualSpaceState {
  bool inVirtual = false;  // the caret stands beyond its line's end
  int line = -1;           // the virtual caret's line; -1 for none
  int column = 0;          // and its column
  int anchor = -1;         // real index where a Shift+Up/Down selection started; -1 none
  bool Active() const { return inVirtual || anchor >= 0; }
};

// Modifier: a Shift, Ctrl or Alt key itself, which changes nothing (so that
// Shift can be pressed before Up or Down in virtual space).
enum class TVsKey {
  Other, Modifier, Enter, Home, End, Left, Back, Right, Up, Down, Tab, Delete, PageUp, PageDown
};

struct TVsModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

enum class TVsActionKind {
  Leave,            // virtual space ended: end any virtual drag, hide the virtual caret;
                    // flag: scroll the real caret into view
  SetCaret,         // a: the real caret there, with an empty selection
  SetSelection,     // a..b (a <= b): the real selection
  PlaceCaret,       // put the system caret at the state's virtual line and column
  Insert,           // insert text at the caret; flag: as an undo step of its own
  ScrollCaret,      // scroll the real caret into view
  ScrollFullyLeft,  // scroll the view to its left edge
  FixShortLine,     // FixHorizontalScrollForShortCurrentLine with the scroll position
                    // noted before the key
  Repaint,
  Beep,             // refused: the editor is read-only
};

struct TVsAction {
  TVsActionKind kind = TVsActionKind::Repaint;
  int a = 0;
  int b = 0;
  std::string text;
  bool flag = false;
};

struct TVsOutcome {
  bool handled = false;  // VSKeyDown: the key is consumed; VSMaterialize: it materialised
  std::vector<TVsAction> actions;
};

// What the editor knows at the moment of the call.
struct TVsContext {
  const TLineIndex* lines = nullptr;  // over the control's text
  bool virtualSpace = false;          // the VirtualSpace property
  bool wordWrap = false;
  bool readOnly = false;
  int tabSpaces = 3;
  int caret = 0;              // the real caret's index
  bool hasSelection = false;  // a non-empty real selection
};

// A key going down, before the control sees it. Outside virtual space and
// without an anchor, Shift-modified keys are not handled; leaving virtual
// space because the feature is off or word wrap is on does not scroll.
// While read-only nothing is inserted: Tab beeps and is consumed, Enter
// goes to the control without materialising.
TVsOutcome VSKeyDown(TVirtualSpaceState& state, TVsKey key, TVsModifiers mods, const TVsContext& ctx);

// Before a typed character (32 and above, or CR), an IME character or a
// paste while in virtual space: the spaces up to the column are inserted at
// the line's end as an undo step of their own and the real caret goes to the
// column. handled is false when not in virtual space, or read-only (beep).
TVsOutcome VSMaterialize(TVirtualSpaceState& state, const TVsContext& ctx);

// A plain left click at (line, column), outside the gutter: beyond the
// line's end (with the feature on and word wrap off) the caret enters
// virtual space there; otherwise virtual space is left. The click always
// goes on to the control.
TVsOutcome VSMouseDown(TVirtualSpaceState& state, int line, int column, bool inGutter,
                       const TVsContext& ctx);

// Leaves virtual space (every other caret operation of the editor does so
// first). Actions only when something was active.
TVsOutcome VSLeave(TVirtualSpaceState& state, bool scrollCaret);

// Moves the caret to (line, column): virtual when the column lies beyond
// the line's end. Leaves virtual space for a line that does not exist.
TVsOutcome VSSet(TVirtualSpaceState& state, int line, int column, const TVsContext& ctx);

// Selects from anchor (a control index; below 0: the real position itself)
// to (line, column), the caret end virtual when the column lies beyond the
// line's end. Leaves virtual space for a line that does not exist.
TVsOutcome VSSetSelection(TVirtualSpaceState& state, int line, int column, int anchor, const TVsContext& ctx);

// Column arithmetic. The left margin is the gutter width + 2 while line
// numbers are shown, else 0; an average width of 0 or less counts as 8.
int VSColumnFromX(int x, int horizontalScroll, int leftMargin, int averageCharWidth);
int VSCaretX(int column, int averageCharWidth, int leftMargin, int horizontalScroll);

}  // namespace NoteText
