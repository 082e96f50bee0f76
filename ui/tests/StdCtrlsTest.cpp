#include "ui/StdCtrls.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/tests/UiTestUtil.h"

namespace {

TEST(ButtonTest, ClickSetsTheFormResultAndRunsOnClick) {
  UiTest::THostForm form;
  TButton b(&form);
  b.SetParent(&form);
  b.SetBounds(10, 10, 80, 24);
  b.SetCaption("&OK");
  b.Show();
  int clicks = 0;
  b.OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, &b);
    ++clicks;
  };
  SendMessageA(b.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form.ModalResult(), mrNone);
  b.SetModalResult(mrCancel);
  SendMessageA(b.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(form.ModalResult(), mrCancel);
  EXPECT_EQ(b.Caption(), "&OK");
  // OnClick runs after the result is set and may take it back.
  form.SetModalResult(mrNone);
  b.OnClick = [&](TObject*) {
    EXPECT_EQ(form.ModalResult(), mrCancel);
    form.SetModalResult(mrNone);
  };
  SendMessageA(b.Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(form.ModalResult(), mrNone);
}

TEST(BitBtnTest, KindGivesTheModalResult) {
  const std::pair<TBitBtnKind, int> cases[] = {
      {bkOK, mrOk}, {bkCancel, mrCancel}, {bkYes, mrYes}, {bkNo, mrNo}, {bkAbort, mrAbort},
      {bkRetry, mrRetry}, {bkIgnore, mrIgnore}, {bkHelp, mrNone}, {bkClose, mrNone}, {bkCustom, mrNone}};
  for (auto [kind, result] : cases) {
    TBitBtn b(nullptr);
    b.SetKind(kind == bkCustom ? bkOK : bkCustom);
    b.SetKind(kind);
    EXPECT_EQ(b.ModalResult(), result) << kind;
  }
}

TEST(BitBtnTest, CloseKindClosesItsForm) {
  UiTest::THostForm form;
  form.Show();
  TBitBtn b(&form);
  b.SetParent(&form);
  b.SetBounds(10, 10, 80, 24);
  b.SetKind(bkClose);
  b.Show();
  SendMessageA(b.Handle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
}

TEST(BitBtnTest, GlyphAndCaptionPlacement) {
  // P is 100 x 40 at (10, 20); glyph cell 16 x 12; caption 30 x 14.
  const RECT p{10, 20, 110, 60};
  struct Case {
    TButtonLayout layout;
    int margin, spacing;
    bool glyph, caption;
    POINT g, t;
  };
  const Case cases[] = {
      // block 16+4+30 = 50 wide: x0 = 10 + 25
      {blGlyphLeft, -1, 4, true, true, {35, 34}, {55, 33}},
      {blGlyphRight, -1, 4, true, true, {69, 34}, {35, 33}},
      // block 14+12+4 = 30 high: y0 = 20 + 5
      {blGlyphTop, -1, 4, true, true, {52, 25}, {45, 41}},
      {blGlyphBottom, -1, 4, true, true, {52, 43}, {45, 25}},
      {blGlyphLeft, 3, 4, true, true, {13, 34}, {33, 33}},
      // a negative spacing counts as 4
      {blGlyphLeft, -1, -7, true, true, {35, 34}, {55, 33}},
      // no caption: no spacing, the glyph is centred alone
      {blGlyphLeft, -1, 4, true, false, {52, 34}, {68, 40}},
      // no glyph: the caption is centred
      {blGlyphLeft, -1, 4, false, true, {45, 40}, {45, 33}},
  };
  for (const Case& c : cases) {
    TGlyphPlacement r = PlaceGlyphAndCaption(p, c.glyph, 16, 12, c.caption, 30, 14, c.layout, c.margin, c.spacing);
    if (c.glyph) {
      EXPECT_EQ(r.Glyph.x, c.g.x) << c.layout << " m" << c.margin;
      EXPECT_EQ(r.Glyph.y, c.g.y) << c.layout << " m" << c.margin;
    }
    if (c.caption) {
      EXPECT_EQ(r.Text.x, c.t.x) << c.layout << " m" << c.margin;
      EXPECT_EQ(r.Text.y, c.t.y) << c.layout << " m" << c.margin;
    }
  }
}

TEST(BitBtnTest, DrawsItsGlyphThroughTheParent) {
  UiTest::THostForm form;
  TBitBtn b(&form);
  b.SetParent(&form);
  b.SetBounds(0, 0, 60, 30);
  b.Show();
  TBitmap glyph;
  ASSERT_TRUE(glyph.SetSize(10, 10));
  glyph.Canvas().Brush().SetColor(clLime);
  glyph.Canvas().FillRect(RECT{0, 0, 10, 10});
  b.SetGlyph(glyph);
  TBitmap out;
  ASSERT_TRUE(UiTest::RenderClient(b.Handle(), out));
  // No caption: the glyph sits in the middle of the 52 x 26 inner area.
  RECT g = UiTest::BoundsOf(out, clLime);
  EXPECT_EQ(g.left, 4 + (52 - 10) / 2);
  EXPECT_EQ(g.top, 2 + (26 - 10) / 2);
  EXPECT_EQ(g.right - g.left, 10);
}

struct EditTest : ::testing::Test {
  UiTest::THostForm form;
  TEdit edit{&form};
  void SetUp() override {
    edit.SetParent(&form);
    edit.SetBounds(10, 10, 150, 22);
    edit.Show();
  }
};

TEST_F(EditTest, SelectionIsClampedToTheText) {
  edit.SetText("password");
  edit.SetSelection(4, 3);
  EXPECT_EQ(edit.SelStart(), 4);
  EXPECT_EQ(edit.SelLength(), 3);
  EXPECT_EQ(edit.SelText(), "wor");
  edit.SetSelection(6, 50);
  EXPECT_EQ(edit.SelText(), "rd");
  edit.SetSelection(-3, 2);
  EXPECT_EQ(edit.SelStart(), 0);
  edit.SetSelStart(20);
  EXPECT_EQ(edit.SelStart(), 8);
  EXPECT_EQ(edit.SelLength(), 0);
  edit.SelectAll();
  EXPECT_EQ(edit.SelLength(), 8);
}

TEST_F(EditTest, KeyEventsAndChanges) {
  std::vector<std::string> log;
  edit.OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    log.push_back("down" + std::to_string(key));
    if (key == VK_END) key = 0;  // kept from the edit
  };
  edit.OnKeyUp = [&](TObject*, WORD& key, TShiftState) { log.push_back("up" + std::to_string(key)); };
  edit.OnChange = [&](TObject*) { log.push_back("change"); };
  edit.SetText("abc");
  edit.SetSelStart(0);
  SendMessageA(edit.Handle(), WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(edit.SelStart(), 0);
  SendMessageA(edit.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(edit.SelStart(), 1);
  SendMessageA(edit.Handle(), WM_CHAR, 'x', 0);
  SendMessageA(edit.Handle(), WM_KEYUP, 'X', 0);
  EXPECT_EQ(edit.Text(), "axbc");
  EXPECT_EQ(log, (std::vector<std::string>{"change", "down35", "down39", "change", "up88"}));
}

TEST_F(EditTest, EnterAndExitFollowTheFocus) {
  TEdit other(&form);
  other.SetParent(&form);
  other.SetBounds(10, 40, 150, 22);
  other.Show();
  form.Show();
  std::vector<std::string> log;
  edit.OnEnter = [&](TObject*) { log.push_back("enter"); };
  edit.OnExit = [&](TObject*) { log.push_back("exit"); };
  bool inEdit = false, inOther = false;
  ASSERT_TRUE(UiTest::InForeground(form.Handle(), [&] {
    other.SetFocus();
    log.clear();
    edit.SetFocus();
    inEdit = edit.Focused();
    other.SetFocus();
    inOther = other.Focused();
  }));
  EXPECT_TRUE(inEdit);
  EXPECT_TRUE(inOther);
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "exit"}));
}

TEST(StatusBarTest, PanelsAndPlace) {
  UiTest::THostForm form(400, 200);
  TStatusBar bar(&form);
  bar.SetParent(&form);
  bar.AddPanel(85, "one");
  bar.AddPanel(60);
  bar.AddPanel(100, "three");
  bar.Show();
  int edges[8] = {};
  ASSERT_EQ(SendMessageA(bar.Handle(), SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_EQ(edges[0], 85);
  EXPECT_EQ(edges[1], 145);
  EXPECT_EQ(edges[2], -1);  // the last panel runs to the right edge
  char text[32] = {};
  SendMessageA(bar.Handle(), SB_GETTEXTA, 2, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "three");
  bar.SetPanelText(1, "two");
  SendMessageA(bar.Handle(), SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "two");
  EXPECT_EQ(bar.PanelText(1), "two");
  bar.SetPanelWidth(0, 90);
  SendMessageA(bar.Handle(), SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges));
  EXPECT_EQ(edges[1], 150);
  RECT p = bar.PanelRect(1);
  EXPECT_GE(p.left, 88);
  EXPECT_LE(p.right, 152);
  EXPECT_EQ(bar.PanelRect(7).right, 0);

  // Along the parent's bottom edge, also after the parent grows.
  RECT fc;
  GetClientRect(form.Handle(), &fc);
  EXPECT_EQ(bar.Top() + bar.Height(), fc.bottom);
  EXPECT_EQ(bar.Width(), fc.right);
  SetWindowPos(form.Handle(), nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
  bar.Realign();
  GetClientRect(form.Handle(), &fc);
  EXPECT_EQ(bar.Top() + bar.Height(), fc.bottom);
  EXPECT_EQ(bar.Width(), fc.right);
}

}  // namespace
