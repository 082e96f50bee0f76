// The notes editor's completion popup: Ctrl+Space lists the functions of
// the text (filtered by the identifier before the caret) in a TColorListBox
// below the caret; typing narrows the list; Enter or Tab inserts the
// function as a call with the caret inside or behind its parentheses.
//
// The editor keeps the keyboard focus while the popup shows and feeds it
// keys: every WM_KEYDOWN first goes to HandleKey, every typed character
// (Backspace or above 31) to Refresh(false) while the popup is visible. The
// editor implements IQMemoCompletionHost.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "notes/ColorListBox.h"
#include "notes/text/FunctionList.h"
#include "notes/text/LineText.h"
#include "ui/Graphics.h"
#include "ui/WinControl.h"

class IQMemoCompletionHost {
 public:
  virtual ~IQMemoCompletionHost() = default;
  // The editor control: its window, parent, bounds and focus.
  virtual TWinControl* CompletionEditor() = 0;
  // The control's text (line break = one CR) and its selection start.
  virtual std::string CompletionText() = 0;
  virtual int CompletionSelStart() = 0;
  // The function list of the text, rebuilt first when rebuild is set.
  virtual std::vector<NoteText::TFunctionEntry> CompletionFunctions(bool rebuild) = 0;
  // Replaces [start, end) of the control's text by text as one change and
  // puts the caret at caret without a selection.
  virtual void CompletionReplace(int start, int end, const std::string& text, int caret) = 0;
  virtual bool CompletionReadOnly() = 0;
  virtual bool CompletionNightMode() = 0;
  // The editor's font (the list copies it).
  virtual const TFont& CompletionFont() = 0;
};

class TQMemoCompletion {
 public:
  explicit TQMemoCompletion(IQMemoCompletionHost& host);
  ~TQMemoCompletion();
  TQMemoCompletion(const TQMemoCompletion&) = delete;
  TQMemoCompletion& operator=(const TQMemoCompletion&) = delete;

  // The editor's properties.
  bool CodeCompletion() const { return enabled_; }
  void SetCodeCompletion(bool value);
  bool CodeCompletionMarkFuture() const { return markFuture_; }
  void SetCodeCompletionMarkFuture(bool value);
  // Stored only: the popup always keeps the function list's order.
  bool CodeCompletionSorted() const { return sorted_; }
  void SetCodeCompletionSorted(bool value) { sorted_ = value; }

  // Ctrl+Space: makes the list (when needed) and refreshes it with the
  // function list rebuilt. Nothing while the editor is read-only.
  void Show(bool rebuild);
  // Lists the functions for the identifier before the caret; shows the
  // popup when something matches, hides it otherwise. Only when completion
  // is on and the list exists; a read-only editor gets no popup.
  void Refresh(bool rebuild);
  void Hide();
  bool Visible() const;
  // The list, made on first use; true when it exists.
  bool EnsureBox();
  TColorListBox* Box() { return box_.get(); }
  // True for the list's own window (the editor keeps the popup when the
  // focus goes there).
  bool IsPopupWindow(HWND wnd) const;

  // A key pressed while the popup shows. consumed: the editor drops the key.
  // swallowNextBlank: the editor drops the blank, CR, LF or tab character
  // that the same key press produces; set only for keys that came through
  // the editor (fromEditor), since a key pressed in the list itself
  // produces its character there.
  struct TKeyResult {
    bool consumed = false;
    bool swallowNextBlank = false;
  };
  TKeyResult HandleKey(unsigned key, bool fromEditor = true);
  void MoveSelection(int delta);
  // Inserts the selected item's call (Enter: caret before the first
  // parameter when there is one; else behind ")"). The identifier replaced
  // is the one before the caret now.
  bool Accept(bool enterKey);
  // Places the popup below the caret's line (above it at the parent's
  // bottom edge).
  void PositionPopup();
  // The editor's font and the day or night colours.
  void UpdateBoxStyle();
  // Whether item i is a function defined below the caret's line (only with
  // CodeCompletionMarkFuture).
  bool ItemIsFuture(int itemIndex);

  // Where the prefix began at the last refresh (-1 before any).
  int PrefixStart() const { return prefixStart_; }

 private:
  void ApplyColors();
  HWND EditorHandle();

  IQMemoCompletionHost& host_;
  std::unique_ptr<TColorListBox> box_;
  std::vector<NoteText::TFunctionEntry> functions_;  // the list the items index
  std::unique_ptr<NoteText::TLineIndex> lines_;      // of the text they were found in
  bool enabled_ = true;
  bool markFuture_ = false;
  bool sorted_ = true;
  int prefixStart_ = -1;
};
