// The notes editor's own undo: whole-text snapshots, one per group of edits.
//
// The control's change handler reports every text change here (NoteChange).
// Changes are grouped: a group opens at its first change with the text as it
// was before it, and is pushed onto the undo stack at its tenth change, at a
// "boundary" change (more than 40 characters longer or shorter in one go, or
// after ForceBoundary), at Undo, or at Snapshot. Undo and Redo exchange whole
// texts and carets. The engine wipes every text it drops, since notes hold
// secrets.
//
// Texts are the control's text (line break = one CR); carets are control
// positions.
#pragma once

#include <deque>
#include <functional>
#include <string>

namespace NoteText {

class TUndoEngine {
 public:
  static constexpr int kDefaultDepth = 100;  // undo entries kept
  static constexpr int kGroupChanges = 10;   // changes per group
  static constexpr int kBoundaryDelta = 40;  // a larger length change closes its group

  // Puts the new text into the control and places the caret (without a
  // selection, scrolled into view); returns the text the control then holds.
  // It runs with InUndoRedo() set, so the change it causes is not recorded.
  using TApplyFn = std::function<std::string(const std::string& text, int caret)>;

  TUndoEngine() = default;
  TUndoEngine(const TUndoEngine&) = delete;
  TUndoEngine& operator=(const TUndoEngine&) = delete;
  ~TUndoEngine();

  // Starts afresh from text: both stacks emptied, no open group. For every
  // text that does not come from an edit: loading a file, and any assignment
  // of the Text property from outside (switching entries, opening, locking),
  // so that Undo can never bring one text back into another.
  void Reset(const std::string& text);

  // Handles a change of the control's text (selStart = the selection start
  // after the change). Returns false, doing nothing, when text equals
  // LastText(). Otherwise, unless InUndoRedo(), records the change in the
  // open group (opening one with LastText() when none is open); then
  // LastText() becomes text. The caller shifts bookmarks with the old
  // LastText() before calling this.
  bool NoteChange(const std::string& text, int selStart);

  // The next recorded change closes its group at once (typed tokens, paste,
  // the token rewrite, materialised virtual blanks, line commands).
  void ForceBoundary() { forceBoundary_ = true; }
  // UndoSnapshot: pushes an open group and forces a boundary (not while
  // undoing or redoing).
  void Snapshot();

  // Something to undo: a pushed entry or an open group.
  bool CanUndo() const;
  // Something to redo: redo entries, and no new edit since the last Undo.
  bool CanRedo() const;

  // Undo: pushes an open group first; false with nothing to undo. Otherwise
  // the current text and caret go onto the redo stack, the newest undo entry
  // is applied through apply (caret clamped to its text) and true returned.
  bool Undo(const std::string& currentText, int currentCaret, const TApplyFn& apply);
  // Redo: false with nothing to redo or when an edit followed the last Undo
  // (that edit's group is pushed, which empties the redo stack). Otherwise
  // the current text goes onto the undo stack and the newest redo entry is
  // applied.
  bool Redo(const std::string& currentText, int currentCaret, const TApplyFn& apply);

  const std::string& LastText() const { return lastText_; }
  bool InUndoRedo() const { return inUndoRedo_; }
  bool ForceUndoBoundary() const { return forceBoundary_; }
  int PendingChanges() const { return pending_; }
  int UndoCount() const { return static_cast<int>(undo_.size()); }
  int RedoCount() const { return static_cast<int>(redo_.size()); }
  int UndoDepth() const { return depth_; }
  void SetUndoDepth(int depth);

 private:
  struct TEntry {
    std::string text;
    int caret = 0;
  };
  void PushGroup();
  void TrimUndo();
  static void Wipe(TEntry& e);
  static void WipeAll(std::deque<TEntry>& stack);
  bool Apply(std::deque<TEntry>& from, const TApplyFn& apply);

  std::deque<TEntry> undo_;  // newest last
  std::deque<TEntry> redo_;  // newest last
  int depth_ = kDefaultDepth;
  std::string baseText_;  // text before the open group's first change
  int baseCaret_ = 0;     // selection start at the group's first change
  int pending_ = 0;       // changes in the open group; 0 = none open
  bool forceBoundary_ = false;
  bool inUndoRedo_ = false;
  std::string lastText_;
};

}  // namespace NoteText
