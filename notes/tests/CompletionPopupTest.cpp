#include "notes/CompletionPopup.h"
#include "notes/DarkScrollBar.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "notes/tests/RichEditStandIn.h"
#include "ui/tests/UiTestUtil.h"

namespace {

// The editor's side of the popup over a plain rich edit.
class TEditorHost : public IQMemoCompletionHost {
 public:
  explicit TEditorHost(TRichEditStandIn& edit) : edit_(edit) { font.SetName("Tahoma"); }
  TWinControl* CompletionEditor() override { return &edit_; }
  std::string CompletionText() override { return edit_.ControlText(); }
  int CompletionSelStart() override { return edit_.SelStart(); }
  std::vector<NoteText::TFunctionEntry> CompletionFunctions(bool rebuild) override {
    if (rebuild) ++rebuilds;
    return NoteText::DetectFunctions(edit_.ControlText());
  }
  void CompletionReplace(int start, int end, const std::string& text, int caret) override {
    edit_.SetSel(start, end);
    edit_.ReplaceSel(text);
    edit_.SetSel(caret, caret);
  }
  bool CompletionReadOnly() override { return readOnly; }
  bool CompletionNightMode() override { return night; }
  const TFont& CompletionFont() override { return font; }

  bool readOnly = false;
  bool night = false;
  int rebuilds = 0;
  TFont font;

 private:
  TRichEditStandIn& edit_;
};

const char* const kCode =
    "function draw(ctx, x) {}\r"
    "function redraw() {}\r"
    "function Draw2D(a) {}\r"
    "function init() {}\r";

struct CompletionPopupTest : ::testing::Test {
  UiTest::THostForm form{500, 400, "VLCompletionHost"};
  TRichEditStandIn edit{&form};
  TEditorHost host{edit};
  TQMemoCompletion completion{host};

  void SetUp() override {
    edit.SetParent(&form);
    edit.SetBounds(10, 10, 480, 380);
    edit.Show();
    form.Show();
    UiTest::Pump();
  }
  // The text, then the caret at its end.
  void Type(const std::string& text) {
    edit.SetPlainText(text);
    const int end = static_cast<int>(edit.ControlText().size());
    edit.SetSel(end, end);
  }
  std::vector<std::string> Items() {
    std::vector<std::string> v;
    for (int i = 0; i < completion.Box()->Count(); ++i) v.push_back(completion.Box()->Item(i));
    return v;
  }
};

}  // namespace

TEST_F(CompletionPopupTest, CtrlSpaceListsPrefixMatchesThenSubstringMatches) {
  Type(std::string(kCode) + "\rdr");
  completion.Show(true);
  ASSERT_TRUE(completion.Visible());
  EXPECT_EQ(host.rebuilds, 1);
  EXPECT_EQ(Items(), (std::vector<std::string>{"draw(ctx, x)", "Draw2D(a)", "redraw()"}));
  EXPECT_EQ(completion.Box()->ItemIndex(), 0);
  // Each item carries its function-list index + 1.
  EXPECT_EQ(completion.Box()->ItemObject(1), 3);
  // The editor keeps the focus; the list is its parent's child, in front.
  EXPECT_EQ(GetParent(completion.Box()->Handle()), form.Handle());
  EXPECT_EQ(completion.Box()->Width(), 340);
  EXPECT_EQ(completion.Box()->Height(), std::max(completion.Box()->ItemHeight() * 3 + 6, 40));

  // Typing narrows the list; nothing left hides it.
  edit.ReplaceSel("a");
  completion.Refresh(false);
  EXPECT_EQ(Items(), (std::vector<std::string>{"draw(ctx, x)", "Draw2D(a)", "redraw()"}));
  edit.ReplaceSel("w2");
  completion.Refresh(false);
  EXPECT_EQ(Items(), (std::vector<std::string>{"Draw2D(a)"}));
  edit.ReplaceSel("zz");
  completion.Refresh(false);
  EXPECT_FALSE(completion.Visible());
  EXPECT_EQ(host.rebuilds, 1);
}

TEST_F(CompletionPopupTest, KeysMoveAcceptAndHide) {
  Type(std::string(kCode) + "\rx = dr");
  completion.Show(true);
  struct Step {
    unsigned key;
    bool consumed;
    int index;  // afterwards
  };
  const Step steps[] = {
      {VK_DOWN, true, 1}, {VK_DOWN, true, 2}, {VK_DOWN, true, 2}, {VK_UP, true, 1},
      {VK_HOME, true, 0}, {VK_END, true, 2},  {VK_PRIOR, true, 0}, {VK_NEXT, true, 2},
      {'A', false, 2},
  };
  for (const auto& s : steps) {
    const auto r = completion.HandleKey(s.key);
    EXPECT_EQ(r.consumed, s.consumed) << s.key;
    EXPECT_FALSE(r.swallowNextBlank) << s.key;
    EXPECT_EQ(completion.Box()->ItemIndex(), s.index) << s.key;
  }
  // Left and Right hide the popup and still move the caret.
  EXPECT_FALSE(completion.HandleKey(VK_LEFT).consumed);
  EXPECT_FALSE(completion.Visible());
  EXPECT_FALSE(completion.HandleKey(VK_DOWN).consumed);  // hidden: nothing is taken
  completion.Show(true);
  EXPECT_TRUE(completion.HandleKey(VK_ESCAPE).consumed);
  EXPECT_FALSE(completion.Visible());

  // Enter inserts the call with the caret before the first parameter, and
  // tells the editor to drop the Enter's own character.
  completion.Show(true);
  const auto enter = completion.HandleKey(VK_RETURN);
  EXPECT_TRUE(enter.consumed);
  EXPECT_TRUE(enter.swallowNextBlank);
  EXPECT_FALSE(completion.Visible());
  const std::string text = edit.ControlText();
  EXPECT_EQ(text.substr(text.size() - 16), "x = draw(ctx, x)");
  EXPECT_EQ(edit.SelStart(), static_cast<int>(text.size()) - 7);  // before "ctx"

  // Tab puts the caret behind ")".
  edit.ReplaceSel("");
  Type(std::string(kCode) + "\rin");
  completion.Show(true);
  EXPECT_TRUE(completion.HandleKey(VK_TAB).swallowNextBlank);
  EXPECT_EQ(edit.ControlText().substr(edit.ControlText().size() - 6), "init()");
  EXPECT_EQ(edit.SelStart(), static_cast<int>(edit.ControlText().size()));
}

TEST_F(CompletionPopupTest, AcceptAfterTheCaretMovedDeletesNothing) {
  Type(std::string(kCode) + "\rdr and more text here");
  const int dr = static_cast<int>(std::string(kCode).size()) + 1;
  edit.SetSel(dr + 2, dr + 2);  // just after "dr"
  completion.Show(true);
  ASSERT_TRUE(completion.Visible());
  EXPECT_EQ(completion.PrefixStart(), dr);
  // A click further on, which neither hides nor refreshes the popup.
  edit.SetSel(dr + 9, dr + 9);  // after "dr and mo"
  ASSERT_TRUE(completion.Accept(true));
  EXPECT_EQ(edit.ControlText().substr(static_cast<std::size_t>(dr)), "dr and draw(ctx, x)re text here");
}

TEST_F(CompletionPopupTest, KeysPressedInTheListDoNotSwallowTheEditorsNextBlank) {
  Type(std::string(kCode) + "\rdr");
  completion.Show(true);
  EXPECT_FALSE(completion.HandleKey(VK_DOWN, false).swallowNextBlank);
  const auto r = completion.HandleKey(VK_RETURN, false);
  EXPECT_TRUE(r.consumed);
  EXPECT_FALSE(r.swallowNextBlank);

  // Through the list's own window: the key reaches the popup and is kept
  // from the list; a double click accepts too.
  Type(std::string(kCode) + "\rre");
  completion.Show(true);
  SendMessageA(completion.Box()->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_FALSE(completion.Visible());
  EXPECT_EQ(edit.ControlText().substr(edit.ControlText().size() - 8), "redraw()");
  Type(std::string(kCode) + "\rin");
  completion.Show(true);
  SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_DBLCLK),
               reinterpret_cast<LPARAM>(completion.Box()->Handle()));
  EXPECT_EQ(edit.ControlText().substr(edit.ControlText().size() - 6), "init()");
}

TEST_F(CompletionPopupTest, NoPopupWhileReadOnly) {
  Type(std::string(kCode) + "\rdr");
  host.readOnly = true;
  completion.Show(true);
  EXPECT_FALSE(completion.Visible());
  host.readOnly = false;
  completion.Show(true);
  ASSERT_TRUE(completion.Visible());
  host.readOnly = true;
  EXPECT_FALSE(completion.Accept(true));
  EXPECT_EQ(edit.ControlText().substr(edit.ControlText().size() - 3), "\rdr");
  completion.Refresh(false);
  EXPECT_FALSE(completion.Visible());
  // Switched off: no popup at all.
  host.readOnly = false;
  completion.SetCodeCompletion(false);
  completion.Show(true);
  EXPECT_FALSE(completion.Visible());
}

TEST_F(CompletionPopupTest, ThePopupOpensBelowTheLineOrAboveItAtTheBottom) {
  Type(std::string(kCode) + "\rdr");
  completion.Show(true);
  POINTL caret{0, 0};
  SendMessageW(edit.Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&caret), edit.SelStart());
  POINT c{caret.x, caret.y};
  MapWindowPoints(edit.Handle(), form.Handle(), &c, 1);
  EXPECT_GT(completion.Box()->Top(), c.y);  // below the caret's line

  // The editor's last line near the form's bottom: the popup flips above.
  edit.SetBounds(10, 340, 480, 55);
  Type("function draw(ctx) {}\rdr");
  completion.Show(true);
  SendMessageW(edit.Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&caret), edit.SelStart());
  c = POINT{caret.x, caret.y};
  MapWindowPoints(edit.Handle(), form.Handle(), &c, 1);
  EXPECT_LE(completion.Box()->Top() + completion.Box()->Height(), c.y);
}

TEST_F(CompletionPopupTest, FunctionsBelowTheCaretAreMarkedRed) {
  Type("d\r" + std::string(kCode));
  edit.SetSel(1, 1);
  completion.Show(true);
  ASSERT_TRUE(completion.Visible());
  EXPECT_FALSE(completion.ItemIsFuture(0));  // only when asked for
  completion.SetCodeCompletionMarkFuture(true);
  EXPECT_TRUE(completion.ItemIsFuture(0));
  TColor text = clBlack, back = clWhite;
  bool handled = false;
  completion.Box()->OnGetItemColor(completion.Box(), 0, text, back, handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(text, RGBColor(255, 0, 0));
  host.night = true;
  completion.Box()->OnGetItemColor(completion.Box(), 0, text, back, handled);
  EXPECT_EQ(text, RGBColor(255, 120, 120));
  // A caret below the function: not in the future.
  const int end = static_cast<int>(edit.ControlText().size());
  edit.SetSel(end, end);
  EXPECT_FALSE(completion.ItemIsFuture(0));
  EXPECT_FALSE(completion.ItemIsFuture(99));
}

TEST_F(CompletionPopupTest, DayAndNightColoursAndTheFont) {
  Type(std::string(kCode) + "\rdr");
  completion.Show(true);
  EXPECT_EQ(completion.Box()->Color(), clWhite);
  EXPECT_EQ(completion.Box()->Font().Color(), clBlack);
  host.night = true;
  host.font.SetSize(20);
  completion.UpdateBoxStyle();
  EXPECT_EQ(completion.Box()->Color(), clBlack);
  EXPECT_EQ(completion.Box()->Font().Color(), clWhite);
  EXPECT_EQ(completion.Box()->Font().Size(), 20);
  EXPECT_GT(completion.Box()->ItemHeight(), 26);
  EXPECT_EQ(static_cast<int>(SendMessageA(completion.Box()->Handle(), LB_GETITEMHEIGHT, 0, 0)),
            completion.Box()->ItemHeight());
}

namespace {

// The bars' side of the same stand-in, for a picture of everything at night.
class TNightScrollHost : public IQMemoScrollHost {
 public:
  explicit TNightScrollHost(TRichEditStandIn& edit) : edit_(edit) {}
  TWinControl* ScrollEditor() override { return &edit_; }
  TColor ScrollTrackColor() override { return clBlack; }
  int ScrollLineHeight() override { return 16; }
  bool ScrollWordWrap() override { return false; }
  bool ScrollBarsVertical() override { return true; }
  bool ScrollBarsHorizontal() override { return true; }
  bool ScrollNightMode() override { return true; }
  void ScrollViewMoved() override {}

 private:
  TRichEditStandIn& edit_;
};

}  // namespace

TEST_F(CompletionPopupTest, ScreenshotOfThePopupOverANightEditorWithDarkBars) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "function helper" + std::to_string(i) + "(a, b) { return a + b; }\r";
  Type(text + "function draw(ctx, x) {}\rfunction Draw2D(a) {}\rfunction redraw() {}\r\rdr");
  SendMessageW(edit.Handle(), EM_SETBKGNDCOLOR, 0, clBlack);
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_COLOR;
  cf.crTextColor = clWhite;
  SendMessageW(edit.Handle(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(edit.Handle(), EM_SCROLLCARET, 0, 0);
  TNightScrollHost scrollHost(edit);
  TQMemoDarkScrollBars bars(scrollHost);
  bars.Update();
  host.night = true;
  host.font.SetColor(clWhite);
  completion.SetCodeCompletionMarkFuture(true);
  completion.Show(true);
  ASSERT_TRUE(completion.Visible());
  completion.HandleKey(VK_DOWN);
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(form.Handle(), shot));
  UiTest::SavePng(shot, UiTest::ScreenshotPath("notes-completion-night.png"));
  // The popup is black with white text; its selected row in the highlight colour.
  const RECT box{completion.Box()->Left(), completion.Box()->Top(),
                 completion.Box()->Left() + completion.Box()->Width(),
                 completion.Box()->Top() + completion.Box()->Height()};
  EXPECT_GT(UiTest::CountColor(shot, box, ColorToRGB(clHighlight)), 300);
  EXPECT_GT(UiTest::CountColor(shot, box, clBlack), 1000);
}
