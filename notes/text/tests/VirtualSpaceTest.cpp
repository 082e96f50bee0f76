#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notes/text/VirtualSpace.h"

using namespace NoteText;

namespace {

// A stand-in for the control: a CR-only text with a caret, that carries out
// the actions and types characters the way the window procedure does
// (materialising first).
class TFakeMemo {
 public:
  explicit TFakeMemo(std::string text, int caret = 0) : text_(std::move(text)), caret_(caret), selEnd_(caret) {
    Reindex();
    ctx_.virtualSpace = true;
  }

  TVsOutcome Key(TVsKey key, bool shift = false, bool ctrl = false) {
    TVsModifiers m;
    m.shift = shift;
    m.ctrl = ctrl;
    Sync();
    TVsOutcome r = VSKeyDown(state, key, m, ctx_);
    Run(r);
    return r;
  }
  void Type(char c) {
    Sync();
    if (state.inVirtual) Run(VSMaterialize(state, ctx_));
    if (ctx_.readOnly) return;
    Insert(std::string(1, c));
  }
  void Run(const TVsOutcome& r) {
    for (const auto& a : r.actions) {
      log.push_back(a.kind);
      switch (a.kind) {
        case TVsActionKind::SetCaret: caret_ = a.a; selEnd_ = a.a; break;
        case TVsActionKind::SetSelection: caret_ = a.a; selEnd_ = a.b; break;
        case TVsActionKind::Insert: Insert(a.text); ++inserts; break;
        default: break;
      }
    }
  }

  TVsContext& Ctx() { return ctx_; }
  const std::string& Text() const { return text_; }
  int Caret() const { return caret_; }
  int SelEnd() const { return selEnd_; }

  TVirtualSpaceState state;
  std::vector<TVsActionKind> log;
  int inserts = 0;

 private:
  void Insert(const std::string& s) {
    text_.insert(static_cast<std::size_t>(caret_), s);
    caret_ += static_cast<int>(s.size());
    selEnd_ = caret_;
    Reindex();
  }
  void Reindex() {
    lines_ = TLineIndex(text_);
    ctx_.lines = &lines_;
  }
  void Sync() {
    ctx_.caret = caret_;
    ctx_.hasSelection = selEnd_ != caret_;
  }

  std::string text_;
  int caret_;
  int selEnd_;
  TLineIndex lines_{""};
  TVsContext ctx_;
};

bool Has(const std::vector<TVsActionKind>& log, TVsActionKind k) {
  for (auto a : log) {
    if (a == k) return true;
  }
  return false;
}

}  // namespace

TEST(VirtualSpace, RightPastTheEndThenTyping) {
  TFakeMemo m("abc\rnext", 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(m.Key(TVsKey::Right).handled);
  EXPECT_TRUE(m.state.inVirtual);
  EXPECT_EQ(m.state.column, 6);
  EXPECT_EQ(m.Caret(), 3);  // the real caret stays after "c"
  m.Type('x');
  EXPECT_EQ(m.Text(), "abc   x\rnext");
  EXPECT_EQ(m.inserts, 1);  // the blanks went in as a step of their own
  EXPECT_FALSE(m.state.Active());
}

TEST(VirtualSpace, UpAndDownKeepTheColumn) {
  TFakeMemo m("0123456789abcdef\rabcd\r0123456789abcdef", 10);
  EXPECT_TRUE(m.Key(TVsKey::Down).handled);
  EXPECT_TRUE(m.state.inVirtual);
  EXPECT_EQ(m.state.column, 10);
  EXPECT_EQ(m.Caret(), 21);  // the short line's end
  EXPECT_TRUE(m.Key(TVsKey::Down).handled);
  EXPECT_FALSE(m.state.Active());  // a real column again
  EXPECT_EQ(m.Caret(), 22 + 10);
  // Moves the control can make itself are left to it.
  EXPECT_FALSE(m.Key(TVsKey::Right).handled);
  // Back up onto the short line: virtual again, same column.
  EXPECT_TRUE(m.Key(TVsKey::Up).handled);
  EXPECT_EQ(m.state.column, 10);
}

TEST(VirtualSpace, BackspaceMovesAndDeletesNothing) {
  TFakeMemo m("ab", 2);
  m.Key(TVsKey::Right);
  m.Key(TVsKey::Right);
  EXPECT_TRUE(m.Key(TVsKey::Back).handled);
  EXPECT_EQ(m.state.column, 3);
  EXPECT_EQ(m.Text(), "ab");
  EXPECT_TRUE(m.Key(TVsKey::Left).handled);
  EXPECT_FALSE(m.state.inVirtual);  // back at the line's end
  EXPECT_FALSE(m.Key(TVsKey::Left).handled);
}

TEST(VirtualSpace, Tab) {
  for (int tabs : {3, 0}) {
    TFakeMemo m("ab", 1);
    m.Ctx().tabSpaces = tabs;
    EXPECT_TRUE(m.Key(TVsKey::Tab).handled);
    EXPECT_EQ(m.Text(), tabs ? "a   b" : "a\tb");
  }
  TFakeMemo m("ab", 2);
  m.Key(TVsKey::Right);
  m.Key(TVsKey::Tab);
  EXPECT_EQ(m.Text(), "ab    ");  // one blank materialised, then three
}

TEST(VirtualSpace, OffOrWordWrapLeavesEveryKeyToTheControl) {
  for (bool wrap : {false, true}) {
    TFakeMemo m("abc", 3);
    m.Key(TVsKey::Right);
    ASSERT_TRUE(m.state.inVirtual);
    m.Ctx().virtualSpace = wrap;
    m.Ctx().wordWrap = wrap;
    m.log.clear();
    const TVsOutcome r = m.Key(TVsKey::Right);
    EXPECT_FALSE(r.handled);
    EXPECT_FALSE(m.state.Active());
    ASSERT_EQ(r.actions.size(), 1u);
    EXPECT_EQ(r.actions[0].kind, TVsActionKind::Leave);
    EXPECT_FALSE(r.actions[0].flag);  // no jump of the view
    EXPECT_TRUE(m.Key(TVsKey::Tab).actions.empty());
  }
}

TEST(VirtualSpace, ShiftKeys) {
  // Outside virtual space Shift keys are the control's: Shift+Right at a
  // line's end does not enter it, Shift+Tab inserts nothing.
  TFakeMemo m("abcd\rab\rabcd", 4);
  for (TVsKey k : {TVsKey::Right, TVsKey::Tab, TVsKey::Down}) {
    const TVsOutcome r = m.Key(k, true);
    EXPECT_FALSE(r.handled);
    EXPECT_TRUE(r.actions.empty());
  }
  EXPECT_EQ(m.Text(), "abcd\rab\rabcd");
  // In virtual space Shift+Down selects and keeps the column; pressing Shift
  // itself first changes nothing.
  m.Key(TVsKey::Down);
  ASSERT_TRUE(m.state.inVirtual);  // column 4 on "ab"
  EXPECT_FALSE(m.Key(TVsKey::Modifier, true).handled);
  EXPECT_TRUE(m.state.inVirtual);
  EXPECT_TRUE(m.Key(TVsKey::Down, true).handled);
  EXPECT_EQ(m.Caret(), 7);   // the anchor: the end of "ab"
  EXPECT_EQ(m.SelEnd(), 12);  // column 4 of the last line
  EXPECT_EQ(m.state.anchor, 7);
  // Any other Shift key ends it, scrolling the caret into view.
  const TVsOutcome r = m.Key(TVsKey::Left, true);
  EXPECT_FALSE(r.handled);
  ASSERT_FALSE(r.actions.empty());
  EXPECT_TRUE(r.actions[0].flag);
  EXPECT_FALSE(m.state.Active());
}

TEST(VirtualSpace, SetSelectionFromAnAnchor) {
  struct Case {
    int line, column, anchor;
    int selStart, selEnd;  // the real selection
    bool inVirtual;
    int storedAnchor;
  } cases[] = {
      {1, 6, 0, 0, 7, true, 0},     // beyond "ab": the real end stops at the line's end
      {1, 1, -1, 6, 6, false, 6},   // no anchor: the position itself
      {2, 2, 12, 10, 12, false, 12},  // an anchor after the position
      {0, -3, 3, 0, 3, false, 3},   // a negative column counts as 0
  };
  for (const Case& c : cases) {
    TFakeMemo m("abcd\rab\rabcd", 0);
    m.Run(VSSetSelection(m.state, c.line, c.column, c.anchor, m.Ctx()));
    EXPECT_EQ(m.Caret(), c.selStart) << c.line << "," << c.column;
    EXPECT_EQ(m.SelEnd(), c.selEnd) << c.line << "," << c.column;
    EXPECT_EQ(m.state.inVirtual, c.inVirtual) << c.line << "," << c.column;
    EXPECT_EQ(m.state.anchor, c.storedAnchor) << c.line << "," << c.column;
  }
  // A line that does not exist ends virtual space.
  TFakeMemo m("abcd\rab", 0);
  m.Run(VSSetSelection(m.state, 1, 5, 0, m.Ctx()));
  ASSERT_TRUE(m.state.inVirtual);
  m.Run(VSSetSelection(m.state, 7, 1, 0, m.Ctx()));
  EXPECT_FALSE(m.state.Active());
}

TEST(VirtualSpace, ReadOnlyInsertsNothing) {
  TFakeMemo m("abc", 3);
  m.Ctx().readOnly = true;
  m.Key(TVsKey::Right);
  m.Type('x');
  EXPECT_EQ(m.Text(), "abc");
  EXPECT_TRUE(Has(m.log, TVsActionKind::Beep));
  const TVsOutcome tab = m.Key(TVsKey::Tab);
  EXPECT_TRUE(tab.handled);
  EXPECT_EQ(m.Text(), "abc");
  m.Key(TVsKey::Enter);
  EXPECT_EQ(m.Text(), "abc");
  EXPECT_EQ(m.inserts, 0);
}

TEST(VirtualSpace, HomeEndAndSelection) {
  TFakeMemo m("abc", 3);
  m.Key(TVsKey::Right);
  m.log.clear();
  EXPECT_TRUE(m.Key(TVsKey::Home).handled);
  EXPECT_EQ(m.Caret(), 0);
  EXPECT_TRUE(Has(m.log, TVsActionKind::ScrollFullyLeft));
  EXPECT_FALSE(m.state.Active());
  m.Key(TVsKey::End);  // not virtual: the control's own End
  EXPECT_EQ(m.Caret(), 0);
  TFakeMemo n("abc", 3);
  n.Key(TVsKey::Right);
  n.log.clear();
  EXPECT_TRUE(n.Key(TVsKey::End).handled);
  EXPECT_EQ(n.Caret(), 3);
  EXPECT_TRUE(Has(n.log, TVsActionKind::FixShortLine));
  // Ctrl+End leaves virtual space and goes on to the control.
  n.Key(TVsKey::Right);
  EXPECT_FALSE(n.Key(TVsKey::End, false, true).handled);
  EXPECT_FALSE(n.state.Active());
}

TEST(VirtualSpace, MouseAndColumns) {
  TFakeMemo m("abc\rx", 0);
  TVirtualSpaceState st;
  TVsOutcome r = VSMouseDown(st, 0, 7, false, m.Ctx());
  EXPECT_FALSE(r.handled);  // the click goes on
  EXPECT_TRUE(st.inVirtual);
  EXPECT_EQ(st.column, 7);
  ASSERT_FALSE(r.actions.empty());
  EXPECT_EQ(r.actions[0].a, 3);
  r = VSMouseDown(st, 0, 7, true, m.Ctx());  // the gutter
  EXPECT_FALSE(st.Active());
  EXPECT_FALSE(VSMouseDown(st, 0, 2, false, m.Ctx()).handled);
  EXPECT_FALSE(st.Active());

  EXPECT_EQ(VSColumnFromX(100, 0, 26, 8), 9);
  EXPECT_EQ(VSColumnFromX(100, 16, 26, 8), 11);
  EXPECT_EQ(VSColumnFromX(10, 0, 26, 8), 0);
  EXPECT_EQ(VSColumnFromX(100, 0, 0, 0), 12);
  EXPECT_EQ(VSCaretX(10, 7, 26, 14), 82);
}
