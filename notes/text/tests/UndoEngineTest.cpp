#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notes/text/UndoEngine.h"

using namespace NoteText;

namespace {

// A stand-in for the control: it holds the text and caret, reports each
// change to the engine as the change handler does, and serves as the apply
// function of Undo and Redo.
class TFakeEditor {
 public:
  explicit TFakeEditor(std::string text = {}) : text_(std::move(text)) { engine.Reset(text_); }

  void Type(char c) {
    text_.insert(text_.begin() + caret_, c);
    ++caret_;
    engine.NoteChange(text_, caret_);
  }
  void Replace(const std::string& text) {
    text_ = text;
    caret_ = static_cast<int>(text_.size());
    engine.NoteChange(text_, caret_);
  }
  bool Undo() { return engine.Undo(text_, caret_, Apply()); }
  bool Redo() { return engine.Redo(text_, caret_, Apply()); }

  TUndoEngine::TApplyFn Apply() {
    return [this](const std::string& text, int caret) {
      ++applied;
      text_ = text;
      caret_ = caret;
      // Setting the text raises the control's change notification.
      EXPECT_TRUE(engine.InUndoRedo());
      engine.NoteChange(text_, caret_);
      return text_;
    };
  }

  const std::string& Text() const { return text_; }
  int Caret() const { return caret_; }

  TUndoEngine engine;
  int applied = 0;

 private:
  std::string text_;
  int caret_ = 0;
};

}  // namespace

TEST(UndoEngine, TenChangesMakeAGroup) {
  TFakeEditor ed;
  for (int i = 0; i < 25; ++i) {
    ed.Type(static_cast<char>('a' + i));
    if (i == 9) {
      EXPECT_EQ(ed.engine.UndoCount(), 1);
    }
    if (i == 19) {
      EXPECT_EQ(ed.engine.UndoCount(), 2);
    }
  }
  EXPECT_EQ(ed.engine.UndoCount(), 2);
  EXPECT_EQ(ed.engine.PendingChanges(), 5);
  EXPECT_TRUE(ed.engine.CanUndo());
  // Undo pushes the open group of five first, then restores the text as it
  // was before the 21st character.
  ASSERT_TRUE(ed.Undo());
  EXPECT_EQ(ed.Text(), "abcdefghijklmnopqrst");
  EXPECT_EQ(ed.Caret(), 20);  // the caret after the group's first change, clamped
  EXPECT_EQ(ed.engine.RedoCount(), 1);
  ASSERT_TRUE(ed.Undo());
  EXPECT_EQ(ed.Text(), "abcdefghij");
  ASSERT_TRUE(ed.Undo());
  EXPECT_EQ(ed.Text(), "");
  EXPECT_FALSE(ed.engine.CanUndo());
  EXPECT_FALSE(ed.Undo());
  EXPECT_EQ(ed.applied, 3);
  // Redo walks forward again.
  ASSERT_TRUE(ed.Redo());
  EXPECT_EQ(ed.Text(), "abcdefghij");
  ASSERT_TRUE(ed.Redo());
  ASSERT_TRUE(ed.Redo());
  EXPECT_EQ(ed.Text(), "abcdefghijklmnopqrstuvwxy");
  EXPECT_FALSE(ed.Redo());
}

TEST(UndoEngine, LargeChangesAndForcedBoundariesCloseTheirGroup) {
  struct Case { int typedFirst; std::string replaceWith; bool force; int undoEntries; int pending; };
  const std::string fifty(50, 'p');
  const Case cases[] = {
      {3, "abc" + fifty, false, 1, 0},                  // a paste of 50: pushed at once
      {3, "abc" + std::string(40, 'p'), false, 0, 4},   // exactly 40 is no boundary
      {3, "abcd", true, 1, 0},                          // a forced boundary (paste, token)
  };
  for (const auto& c : cases) {
    TFakeEditor ed;
    for (int i = 0; i < c.typedFirst; ++i) ed.Type(static_cast<char>('a' + i));
    if (c.force) ed.engine.ForceBoundary();
    ed.Replace(c.replaceWith);
    EXPECT_EQ(ed.engine.UndoCount(), c.undoEntries) << c.replaceWith.size();
    EXPECT_EQ(ed.engine.PendingChanges(), c.pending) << c.replaceWith.size();
    EXPECT_FALSE(ed.engine.ForceUndoBoundary());
    // One Undo takes back the typing and the large change together.
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(ed.Text(), "");
  }
  // Typing over a selection of more than 40 characters closes the group too.
  TFakeEditor ed(std::string(45, 'x'));
  ed.Replace("y");
  EXPECT_EQ(ed.engine.UndoCount(), 1);
}

TEST(UndoEngine, ANewEditEndsTheRedoHistory) {
  TFakeEditor ed;
  ed.Replace(std::string(50, 'a'));
  ed.Replace(std::string(50, 'a') + std::string(50, 'b'));
  ASSERT_TRUE(ed.Undo());
  EXPECT_EQ(ed.engine.RedoCount(), 1);
  EXPECT_TRUE(ed.engine.CanRedo());
  ed.Type('z');
  // Redo would throw the new character away: it is refused, and the edit's
  // group, pushed now, empties the redo stack.
  EXPECT_FALSE(ed.engine.CanRedo());
  EXPECT_FALSE(ed.Redo());
  EXPECT_EQ(ed.engine.RedoCount(), 0);
  EXPECT_EQ(ed.Text(), std::string(50, 'a') + "z");
  ASSERT_TRUE(ed.Undo());
  EXPECT_EQ(ed.Text(), std::string(50, 'a'));
}

TEST(UndoEngine, DepthDropsTheOldestEntry) {
  TFakeEditor ed;
  for (int i = 1; i <= 101; ++i) {
    ed.engine.ForceBoundary();
    ed.Replace(std::to_string(i));
  }
  EXPECT_EQ(ed.engine.UndoCount(), TUndoEngine::kDefaultDepth);
  int undone = 0;
  while (ed.Undo()) ++undone;
  EXPECT_EQ(undone, 100);
  EXPECT_EQ(ed.Text(), "1");  // the empty start text was dropped
  ed.engine.SetUndoDepth(3);
  for (int i = 0; i < 5; ++i) {
    ed.engine.ForceBoundary();
    ed.Replace("x" + std::to_string(i));
  }
  EXPECT_EQ(ed.engine.UndoCount(), 3);
}

TEST(UndoEngine, TextFromOutsideResetsTheHistory) {
  // Entry A's notes, edited; then the vault switches to entry B.
  TFakeEditor ed("notes of entry A, long enough to be a boundary change");
  ed.Type('!');
  ed.Replace("notes of entry A, edited and long enough to be a boundary change!!");
  ed.engine.Reset("notes of entry B");
  EXPECT_FALSE(ed.engine.CanUndo());
  EXPECT_FALSE(ed.engine.CanRedo());
  EXPECT_EQ(ed.engine.LastText(), "notes of entry B");
  std::string textNow = "notes of entry B";
  EXPECT_FALSE(ed.engine.Undo(textNow, 0, [&](const std::string& t, int) { return textNow = t; }));
  EXPECT_EQ(textNow, "notes of entry B");
}

TEST(UndoEngine, ChangeHandling) {
  TUndoEngine e;
  e.Reset("abc");
  EXPECT_FALSE(e.NoteChange("abc", 3));  // same text: nothing
  EXPECT_EQ(e.PendingChanges(), 0);
  EXPECT_TRUE(e.NoteChange("abcd", 4));
  EXPECT_EQ(e.LastText(), "abcd");
  EXPECT_TRUE(e.CanUndo());  // an open group can be undone
  // Snapshot pushes the open group and makes the next change a group of its own.
  e.Snapshot();
  EXPECT_EQ(e.UndoCount(), 1);
  EXPECT_TRUE(e.ForceUndoBoundary());
  e.NoteChange("abcde", 5);
  EXPECT_EQ(e.UndoCount(), 2);
  e.NoteChange("abcdef", 6);
  EXPECT_EQ(e.PendingChanges(), 1);
  // Undo restores the text as it stood before the group and its caret.
  std::string got;
  int gotCaret = -1;
  ASSERT_TRUE(e.Undo("abcdef", 6, [&](const std::string& t, int c) {
    got = t;
    gotCaret = c;
    e.Snapshot();  // ignored while undoing
    return t;
  }));
  EXPECT_EQ(got, "abcde");
  EXPECT_EQ(gotCaret, 5);
  EXPECT_FALSE(e.InUndoRedo());
  EXPECT_FALSE(e.ForceUndoBoundary());
  EXPECT_EQ(e.LastText(), "abcde");
}
