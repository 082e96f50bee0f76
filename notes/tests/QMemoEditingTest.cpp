// The notes editor's code navigation and editing commands on the real
// control: the gutter and its bookmarks, brackets, Ctrl+click, virtual
// space, line comments, find and replace, the view state, the selection
// helpers, the glyph tooltip, and the refusals of a read-only editor.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"
#include "ui/tests/UiTestUtil.h"

using MemoTest::THeldKeys;

namespace {

struct EditingFixture : MemoTest::MemoFixture {
  int beeps = 0;
  std::vector<std::string> opened;

  void SetUp() override {
    MemoTest::MemoFixture::SetUp();
    TQMemo::BeepHook = [this](UINT) { ++beeps; };
    TQMemo::OpenUrlHook = [this](const std::string& url) { opened.push_back(url); };
  }
  void TearDown() override {
    TQMemo::BeepHook = nullptr;
    TQMemo::OpenUrlHook = nullptr;
    MemoTest::MemoFixture::TearDown();
  }

  POINT PointOf(int index) {
    POINTL p{0, 0};
    SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), index);
    return POINT{p.x, p.y};
  }
  // A left click at the middle of the character at index.
  void ClickAt(int index, WPARAM keys = 0) {
    const POINT p = PointOf(index);
    SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(p.x + 1, p.y + 5));
    SendMessageW(wnd, WM_LBUTTONUP, keys, MAKELPARAM(p.x + 1, p.y + 5));
  }
  void Key(WORD key) {
    SendMessageW(wnd, WM_KEYDOWN, key, 1);
    SendMessageW(wnd, WM_KEYUP, key, 0xC0000001);
  }
  std::string Lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + (i < count ? "\r\n" : "");
    return text;
  }
};

// ---------------------------------------------------------------------------
// Gutter and bookmarks

TEST_F(EditingFixture, GutterShowsLineNumbersAndBookmarkDots) {
  memo->SetText(Lines(12));
  memo->SetShowLineNumbers(true);
  memo->SetBookmarks("2, 5,x,0,40");
  EXPECT_EQ(memo->GetBookmarks(), "2,5");
  ASSERT_GE(memo->GutterWidth(), 24);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  UiTest::Pump();
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(wnd, shot));
  UiTest::SavePng(shot, UiTest::ScreenshotPath("notes_gutter_bookmarks.png"));

  const TColor dot = static_cast<TColor>(RGB(150, 120, 0));
  const int gutter = memo->GutterWidth();
  const int height = PointOf(memo->LineIndex(1)).y - PointOf(0).y;
  ASSERT_GT(height, 4);
  for (int line = 0; line < 12; ++line) {
    const int top = PointOf(memo->LineIndex(line)).y;
    const int bottom = top + height;
    const RECT band{0, top, gutter, bottom};
    const int dotPixels = UiTest::CountColor(shot, band, dot);
    const bool bookmarked = line == 1 || line == 4;
    EXPECT_EQ(dotPixels > 10, bookmarked) << "line " << line + 1;
    // The number: pixels that are neither the background nor the dot.
    const int area = (band.right - band.left) * (band.bottom - band.top);
    EXPECT_GT(area - UiTest::CountColor(shot, band, clWhite) - dotPixels, 3) << "no number on line " << line + 1;
  }
  // The text starts right of the gutter.
  EXPECT_GE(PointOf(0).x, gutter);

  // Night mode: a black gutter, yellow dots.
  memo->SetNightMode(true);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  UiTest::Pump();
  TBitmap night;
  ASSERT_TRUE(UiTest::CaptureClient(wnd, night));
  UiTest::SavePng(night, UiTest::ScreenshotPath("notes_gutter_bookmarks_night.png"));
  for (int line : {0, 1, 4}) {
    const int top = PointOf(memo->LineIndex(line)).y;
    const RECT band{0, top, gutter, top + height};
    const int yellow = UiTest::CountColor(night, band, static_cast<TColor>(RGB(255, 255, 0)));
    EXPECT_EQ(yellow > 10, line != 0) << "line " << line + 1;
    const int area = (band.right - band.left) * (band.bottom - band.top);
    EXPECT_GT(area - UiTest::CountColor(night, band, clBlack) - yellow, 3) << "no number on line " << line + 1;
  }
  EXPECT_EQ(night.Pixel(1, PointOf(0).y), clBlack);
}

TEST_F(EditingFixture, GutterClickTogglesBookmarksAndCtrlBJumps) {
  memo->SetText(Lines(10));
  memo->SetShowLineNumbers(true);
  std::vector<std::pair<int, bool>> events;
  memo->OnBookmark = [&](TObject*, int line, bool on) { events.emplace_back(line, on); };
  auto clickGutter = [&](int line) {
    const POINT at = PointOf(memo->LineIndex(line));
    SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, at.y + 5));
    SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(4, at.y + 5));
  };
  clickGutter(8);
  clickGutter(1);
  EXPECT_EQ(memo->GetBookmarks(), "9,2");
  EXPECT_EQ(memo->SelStart(), 0) << "a gutter click does not move the caret";
  memo->SetSelection(memo->LineIndex(8) + 2, 0);
  {
    THeldKeys ctrl{VK_CONTROL};
    Key('B');
  }
  EXPECT_EQ(memo->CurrentLine(), 2) << "wraps from the last bookmark to the first";
  {
    THeldKeys ctrl{VK_CONTROL};
    Key('B');
  }
  EXPECT_EQ(memo->CurrentLine(), 9);
  EXPECT_EQ(memo->CurrentColumn(), 1);
  // Ctrl+Shift+B on the caret's line removes it.
  {
    THeldKeys keys{VK_CONTROL, VK_SHIFT};
    Key('B');
  }
  EXPECT_EQ(memo->GetBookmarks(), "2");
  EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{{9, true}, {2, true}, {9, false}}));
  // Disabled: a gutter click changes nothing and tells nobody.
  memo->SetBookmarksEnabled(false);
  clickGutter(3);
  EXPECT_EQ(memo->GetBookmarks(), "2");
  EXPECT_EQ(events.size(), 3u);
  // No bookmarks: Ctrl+B beeps.
  memo->SetBookmarks("");
  {
    THeldKeys ctrl{VK_CONTROL};
    Key('B');
  }
  EXPECT_EQ(beeps, 1);
}

TEST_F(EditingFixture, BookmarksFollowInsertedAndDeletedLines) {
  memo->SetText(Lines(6));
  memo->SetBookmarks("3,5");
  // A line break typed on line 1 moves both down.
  memo->SetSelection(2, 0);
  MemoTest::KeyDown(wnd, VK_RETURN);
  EXPECT_EQ(memo->Text(), "li\r\nne 1\r\nline 2\r\nline 3\r\nline 4\r\nline 5\r\nline 6");
  EXPECT_EQ(memo->GetBookmarks(), "4,6");
  // Removing that line again moves them back.
  MemoTest::KeyDown(wnd, VK_BACK);
  EXPECT_EQ(memo->GetBookmarks(), "3,5");
}

// ---------------------------------------------------------------------------
// View state and selection helpers

TEST_F(EditingFixture, ViewStateSaveAndRestore) {
  memo->SetText(Lines(300));
  const int start = memo->LineIndex(120) + 2;
  memo->SetSelection(start, 5);
  memo->RestoreTopVisibleLine(110);
  ASSERT_EQ(memo->FirstVisibleLine(), 110);
  const TQMemo::TQMemoViewState saved = memo->SaveViewState();
  EXPECT_EQ(saved.SelStart, start);
  EXPECT_EQ(saved.SelLength, 5);
  EXPECT_EQ(saved.TopLine, 110);

  memo->SetSelection(0, 0);
  memo->RestoreTopVisibleLine(0);
  memo->RestoreViewState(saved, true);
  EXPECT_EQ(memo->FirstVisibleLine(), 110);
  EXPECT_EQ(memo->SelStart(), start);
  EXPECT_EQ(memo->SelLength(), 5);

  // A shorter text: the start is clamped to its end.
  memo->SetText("short");
  memo->RestoreViewState(saved, false);
  EXPECT_EQ(memo->SelStart(), 5);
  EXPECT_EQ(memo->SelLength(), 0);
}

TEST_F(EditingFixture, CaretInViewCountsWholeLinesOfTheFontsHeight) {
  memo->SetText(Lines(300));
  memo->SetSelection(memo->LineIndex(5), 0);
  memo->RestoreTopVisibleLine(0);
  EXPECT_TRUE(memo->IsCaretVisibleInView());
  memo->RestoreTopVisibleLine(100);
  ASSERT_EQ(memo->FirstVisibleLine(), 100);
  EXPECT_FALSE(memo->IsCaretVisibleInView()) << "the caret's line is above the view";
  memo->SetSelection(memo->LineIndex(250), 0);
  memo->RestoreTopVisibleLine(100);
  EXPECT_FALSE(memo->IsCaretVisibleInView()) << "the caret's line is below the view";

  // The lines in view: the client height over the font's height with its
  // external leading.
  HDC dc = GetDC(wnd);
  HGDIOBJ old = SelectObject(dc, memo->Font().Handle());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(wnd, dc);
  RECT client;
  GetClientRect(wnd, &client);
  const int visible = std::max(1, static_cast<int>(client.bottom) / std::max(1, static_cast<int>(tm.tmHeight + tm.tmExternalLeading)));
  memo->SetSelection(memo->LineIndex(100 + visible - 1), 0);
  memo->RestoreTopVisibleLine(100);
  EXPECT_TRUE(memo->IsCaretVisibleInView()) << "the last whole line";
  memo->SetSelection(memo->LineIndex(100 + visible), 0);
  memo->RestoreTopVisibleLine(100);
  EXPECT_FALSE(memo->IsCaretVisibleInView()) << "the line after it";

  TQMemo windowless(nullptr);
  EXPECT_TRUE(windowless.IsCaretVisibleInView());
}

TEST_F(EditingFixture, VirtualSelectionFromAnAnchor) {
  memo->SetText("first line\r\nab\r\nthird line");
  memo->SetVirtualSpace(true);
  memo->SetFocus();
  const int second = memo->LineIndex(1);
  struct Case {
    int line, column, anchor;
    int selStart, selLength;
    bool inVirtual;
  };
  const Case cases[] = {
      {1, 10, 2, 2, second + 2 - 2, true},            // from the anchor to the line's end
      {1, 10, -1, second + 2, 0, true},               // no anchor: the caret alone
      {1, 1, second + 2, second + 1, 1, false},       // backwards, within the line
      {0, 3, second, 3, second - 3, false},           // anchor after the caret end
      {2, 40, 0, 0, memo->TextLength(), true},        // the last line, beyond its end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.line) + "," + std::to_string(c.column) + "," + std::to_string(c.anchor));
    memo->SetSelection(0, 0);
    memo->VSSetSelection(c.line, c.column, c.anchor);
    EXPECT_EQ(memo->SelStart(), c.selStart);
    EXPECT_EQ(memo->SelLength(), c.selLength);
    EXPECT_EQ(memo->InVirtualSpace(), c.inVirtual);
    if (c.inVirtual) {
      EXPECT_EQ(memo->VirtualLine(), c.line);
      EXPECT_EQ(memo->VirtualColumn(), c.column);
    }
  }
  // A line that is not there leaves virtual space.
  memo->VSSetSelection(1, 10, 2);
  ASSERT_TRUE(memo->InVirtualSpace());
  memo->VSSetSelection(7, 1, 0);
  EXPECT_FALSE(memo->InVirtualSpace());
  EXPECT_EQ(memo->Text(), "first line\r\nab\r\nthird line") << "selecting never changes the text";
}

TEST_F(EditingFixture, SetSelectionFastFollowsTheUsersSelection) {
  memo->SetText("0123456789");
  memo->SetSelectionFast(7, 2);
  EXPECT_EQ(memo->SelStart(), 2);
  EXPECT_EQ(memo->SelLength(), 5);
  // The user clicks elsewhere; the same request must select again.
  ClickAt(9);
  ASSERT_EQ(memo->SelLength(), 0);
  memo->SetSelectionFast(2, 7);
  EXPECT_EQ(memo->SelStart(), 2);
  EXPECT_EQ(memo->SelLength(), 5);
  memo->SetSelectionFast(-4, 99);
  EXPECT_TRUE(memo->IsAllSelected());
}

TEST_F(EditingFixture, CaretAndSelectionQueries) {
  memo->SetText("");
  EXPECT_FALSE(memo->IsAllSelected()) << "an empty text is never all selected";
  EXPECT_EQ(memo->GetSelectedText(), "");
  memo->SetText("ab\r\ncdef\r\ng");
  memo->SetSelection(5, 2);
  EXPECT_EQ(memo->CurrentLine(), 2);
  EXPECT_EQ(memo->CurrentColumn(), 3);
  EXPECT_EQ(memo->TotalLines(), 3);
  EXPECT_EQ(memo->GetSelectedText(), "ef");
  memo->SelectAll();
  EXPECT_TRUE(memo->IsAllSelected());
  // Beyond 65,535 characters the point queries still give exact indexes.
  memo->SetText(std::string(70000, 'a') + "\r\nxyz");
  memo->SetSelection(70003, 0);
  memo->ScrollCaret();
  const POINT p = PointOf(70003);
  EXPECT_EQ(memo->CharIndexFromMousePoint(p.x + 1, p.y + 3), 70003);
}

// ---------------------------------------------------------------------------
// Ctrl+click and brackets

TEST_F(EditingFixture, CtrlClickJumpsToTheFunctionOpensLinksAndFindsBrackets) {
  const std::string text =
      "function draw(ctx) {\r\n"
      "  return ctx;\r\n"
      "}\r\n"
      "see https://x.org/a). and draw(1)\r\n"
      "if (a[1]) b";
  memo->SetText(text);
  const std::string control = memo->ControlText();
  const int call = static_cast<int>(control.find("draw(1)"));
  const int url = static_cast<int>(control.find("x.org"));
  {
    THeldKeys ctrl{VK_CONTROL};
    ClickAt(call + 1, MK_CONTROL);
  }
  EXPECT_EQ(memo->SelStart(), 9) << "the first occurrence: the definition";
  EXPECT_EQ(memo->SelLength(), 4);

  // The host may take the identifier first.
  std::string offered;
  memo->OnCtrlFunctionClick = [&](TObject*, const std::string& name, bool& handled) {
    offered = name;
    handled = true;
  };
  memo->SetSelection(0, 0);
  Sleep(GetDoubleClickTime() + 20);
  {
    THeldKeys ctrl{VK_CONTROL};
    ClickAt(call + 2, MK_CONTROL);
  }
  EXPECT_EQ(offered, "draw");
  EXPECT_EQ(memo->SelStart(), 0);
  memo->OnCtrlFunctionClick = nullptr;

  {
    THeldKeys ctrl{VK_CONTROL};
    ClickAt(url, MK_CONTROL);
  }
  EXPECT_EQ(opened, (std::vector<std::string>{"https://x.org/a"}));

  // A bracket: the caret goes to it and the pair is highlighted while Ctrl
  // is held.
  const int open = static_cast<int>(control.find("(a["));
  const int close = static_cast<int>(control.find("])")) + 1;
  {
    THeldKeys ctrl{VK_CONTROL};
    ClickAt(open, MK_CONTROL);
    EXPECT_EQ(memo->SelStart(), open);
    EXPECT_EQ(memo->BracketHighlightPos(), open);
    EXPECT_EQ(memo->BracketMatchPos(), close);
    const CHARFORMAT2W cf = MemoTest::FormatAt(wnd, close);
    EXPECT_TRUE(cf.dwEffects & CFE_BOLD);
    EXPECT_EQ(cf.crBackColor, RGB(255, 255, 0));
    EXPECT_FALSE(cf.dwEffects & CFE_AUTOBACKCOLOR);
  }
  SendMessageW(wnd, WM_KEYUP, VK_CONTROL, 0xC0000001);
  EXPECT_EQ(memo->BracketHighlightPos(), -1);
  for (int i : {open, close}) {
    const CHARFORMAT2W cf = MemoTest::FormatAt(wnd, i);
    EXPECT_FALSE(cf.dwEffects & CFE_BOLD);
    // The automatic background: no box stays behind in night mode.
    EXPECT_TRUE(cf.dwEffects & CFE_AUTOBACKCOLOR) << i;
  }

  // Ctrl+double click jumps to the partner.
  Sleep(GetDoubleClickTime() + 20);
  {
    THeldKeys ctrl{VK_CONTROL};
    const POINT p = PointOf(open);
    SendMessageW(wnd, WM_LBUTTONDBLCLK, MK_LBUTTON | MK_CONTROL, MAKELPARAM(p.x + 1, p.y + 5));
    EXPECT_EQ(memo->SelStart(), close);
    EXPECT_EQ(memo->SelLength(), 0);
  }
  SendMessageW(wnd, WM_KEYUP, VK_CONTROL, 0xC0000001);
}

TEST_F(EditingFixture, CtrlHeldHighlightsTheBracketsAtTheCaretUntilReleased) {
  memo->SetText("x = {\r\n  a(b)\r\n}");
  memo->SetNightMode(true);
  memo->SetSelection(9, 0);  // before the "("
  {
    THeldKeys ctrl{VK_CONTROL};
    SendMessageW(wnd, WM_KEYDOWN, VK_CONTROL, 1);
    EXPECT_EQ(memo->BracketHighlightPos(), 9);
    EXPECT_EQ(memo->BracketMatchPos(), 11);
    EXPECT_EQ(memo->SelStart(), 9);
    EXPECT_EQ(memo->SelLength(), 0);
    EXPECT_EQ(MemoTest::FormatAt(wnd, 11).crBackColor, RGB(255, 255, 0));
  }
  SendMessageW(wnd, WM_KEYUP, VK_CONTROL, 0xC0000001);
  EXPECT_EQ(memo->BracketHighlightPos(), -1);
  const CHARFORMAT2W cf = MemoTest::FormatAt(wnd, 11);
  EXPECT_TRUE(cf.dwEffects & CFE_AUTOBACKCOLOR);
  EXPECT_EQ(cf.crTextColor, ColorToRGB(memo->TextColorNight()));
  // A paste while the pair is shown: the pasted text takes none of its
  // colours.
  ASSERT_TRUE(MemoTest::SetClipboardWide(form.Handle(), u"zz"));
  memo->SetSelection(12, 0);  // just after the ")"
  {
    THeldKeys ctrl{VK_CONTROL};
    SendMessageW(wnd, WM_KEYDOWN, VK_CONTROL, 1);
    ASSERT_EQ(memo->BracketHighlightPos(), 11);
    SendMessageW(wnd, WM_KEYDOWN, 'V', 1);
  }
  SendMessageW(wnd, WM_KEYUP, VK_CONTROL, 0xC0000001);
  ASSERT_EQ(memo->Text(), "x = {\r\n  a(b)zz\r\n}");
  for (int i : {11, 12, 13}) {
    const CHARFORMAT2W pasted = MemoTest::FormatAt(wnd, i);
    EXPECT_TRUE(pasted.dwEffects & CFE_AUTOBACKCOLOR) << i;
    EXPECT_FALSE(pasted.dwEffects & CFE_BOLD) << i;
  }
}

TEST_F(EditingFixture, QuotedReferenceGoesToTheHost) {
  memo->SetText("include \"lib/file.js\" here");
  std::string offered;
  memo->OnOpenReference = [&](TObject*, const std::string& name, bool& handled) {
    offered = name;
    handled = true;
  };
  {
    THeldKeys ctrl{VK_CONTROL};
    ClickAt(12, MK_CONTROL);
  }
  EXPECT_EQ(offered, "lib/file.js");
}

// ---------------------------------------------------------------------------
// Virtual space

TEST_F(EditingFixture, VirtualSpaceKeysAndMaterialisedBlanks) {
  memo->SetText("abc\r\nlonger line here\r\nab");
  memo->SetVirtualSpace(true);
  memo->SetFocus();
  memo->SetSelection(3, 0);
  for (int i = 0; i < 3; ++i) MemoTest::KeyDown(wnd, VK_RIGHT);
  EXPECT_TRUE(memo->InVirtualSpace());
  EXPECT_EQ(memo->VirtualColumn(), 6);
  EXPECT_EQ(memo->SelStart(), 3) << "the real caret stays at the line's end";
  EXPECT_EQ(memo->ControlText(), "abc\rlonger line here\rab");
  // The system caret stands at the virtual column.
  POINT caret{0, 0};
  if (GetFocus() == wnd && GetCaretPos(&caret)) {
    HDC dc = GetDC(wnd);
    HGDIOBJ old = SelectObject(dc, memo->Font().Handle());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(wnd, dc);
    EXPECT_EQ(caret.x, PointOf(0).x + 6 * tm.tmAveCharWidth) << "column 6 in average widths";
  }
  // Switched off: the system caret is back at the real caret.
  if (GetFocus() == wnd) {
    POINT before{0, 0};
    memo->SetSelection(0, 0);
    memo->SetSelection(3, 0);
    GetCaretPos(&before);
    memo->SetSelection(3, 0);
    for (int i = 0; i < 3; ++i) MemoTest::KeyDown(wnd, VK_RIGHT);
    memo->SetVirtualSpace(false);
    POINT after{0, 0};
    GetCaretPos(&after);
    EXPECT_EQ(after.x, before.x);
    memo->SetVirtualSpace(true);
    memo->SetSelection(3, 0);
    for (int i = 0; i < 3; ++i) MemoTest::KeyDown(wnd, VK_RIGHT);
  }
  // Backspace in virtual space moves left and deletes nothing.
  MemoTest::KeyDown(wnd, VK_BACK);
  MemoTest::TypeChar(wnd, u'\b');  // the character that follows the key
  EXPECT_EQ(memo->VirtualColumn(), 5);
  EXPECT_EQ(memo->ControlText(), "abc\rlonger line here\rab");
  MemoTest::TypeChar(wnd, u'x');
  EXPECT_EQ(memo->Text(), "abc  x\r\nlonger line here\r\nab");
  EXPECT_FALSE(memo->InVirtualSpace());
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "abc  \r\nlonger line here\r\nab") << "the blanks are an undo step of their own";

  // The host moves the caret: virtual space ends, the caret stays.
  memo->SetSelection(memo->TextLength(), 0);
  MemoTest::KeyDown(wnd, VK_RIGHT);
  ASSERT_TRUE(memo->InVirtualSpace());
  memo->SetSelection(1, 0);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_FALSE(memo->InVirtualSpace());
  EXPECT_EQ(memo->SelStart(), 1);
  // So does a chord the control carries out.
  memo->SetSelection(memo->TextLength(), 0);
  MemoTest::KeyDown(wnd, VK_RIGHT);
  ASSERT_TRUE(memo->InVirtualSpace());
  {
    THeldKeys ctrl{VK_CONTROL};
    MemoTest::KeyDown(wnd, VK_LEFT);
  }
  EXPECT_FALSE(memo->InVirtualSpace());

  // Down keeps the column across a shorter line and lands for real on a
  // long one.
  memo->SetText("0123456789ABC\r\nab\r\n0123456789ABC");
  memo->SetSelection(10, 0);
  MemoTest::KeyDown(wnd, VK_DOWN);
  EXPECT_TRUE(memo->InVirtualSpace());
  EXPECT_EQ(memo->VirtualColumn(), 10);
  MemoTest::KeyDown(wnd, VK_DOWN);
  EXPECT_FALSE(memo->InVirtualSpace());
  EXPECT_EQ(memo->SelStart(), memo->LineIndex(2) + 10);
}

TEST_F(EditingFixture, UndoAndRedoLeaveVirtualSpace) {
  memo->SetText("abc\r\nab");
  memo->SetVirtualSpace(true);
  memo->SetFocus();
  memo->SetSelection(3, 0);
  MemoTest::TypeText(wnd, u"xy");
  ASSERT_EQ(memo->Text(), "abcxy\r\nab");
  // An anchored virtual selection, the kind whose caret Undo would not
  // otherwise take back.
  for (int i = 0; i < 2; ++i) MemoTest::KeyDown(wnd, VK_RIGHT);
  {
    THeldKeys shift{VK_SHIFT};
    MemoTest::KeyDown(wnd, VK_DOWN);
  }
  ASSERT_TRUE(memo->InVirtualSpace());
  ASSERT_EQ(memo->VirtualLine(), 1);
  ASSERT_EQ(memo->SelLength(), 3) << "from the end of the first line to the end of the second";
  ASSERT_TRUE(memo->Undo());
  EXPECT_FALSE(memo->InVirtualSpace());
  ASSERT_EQ(memo->Text(), "abc\r\nab");
  const int caret = memo->SelStart();
  MemoTest::TypeChar(wnd, u'q');
  std::string expected = "abc\rab";
  expected.insert(static_cast<std::size_t>(caret), "q");
  EXPECT_EQ(memo->ControlText(), expected) << "the character lands where Undo put the caret, with no blanks";
  const std::string withQ = memo->ControlText();
  ASSERT_TRUE(memo->Undo());
  ASSERT_EQ(memo->Text(), "abc\r\nab");

  // Redo likewise.
  memo->SetSelection(3, 0);
  for (int i = 0; i < 3; ++i) MemoTest::KeyDown(wnd, VK_RIGHT);
  ASSERT_TRUE(memo->InVirtualSpace());
  ASSERT_TRUE(memo->Redo());
  EXPECT_FALSE(memo->InVirtualSpace());
  ASSERT_EQ(memo->ControlText(), withQ);
  const int redoCaret = memo->SelStart();
  MemoTest::TypeChar(wnd, u'r');
  expected = withQ;
  expected.insert(static_cast<std::size_t>(redoCaret), "r");
  EXPECT_EQ(memo->ControlText(), expected);

  // With nothing to undo, virtual space stays.
  memo->SetText("abc");
  memo->SetSelection(3, 0);
  MemoTest::KeyDown(wnd, VK_RIGHT);
  ASSERT_TRUE(memo->InVirtualSpace());
  EXPECT_FALSE(memo->Undo());
  EXPECT_FALSE(memo->Redo());
  EXPECT_TRUE(memo->InVirtualSpace());
}

TEST_F(EditingFixture, ClickBeyondTheLineEndEntersVirtualSpaceButNotFromTheGutter) {
  memo->SetText("abc\r\nlonger line");
  memo->SetShowLineNumbers(true);
  memo->SetVirtualSpace(true);
  memo->SetFocus();
  const POINT end = PointOf(3);
  const int x = end.x + 30;
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, end.y + 5));
  SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(x, end.y + 5));
  ASSERT_TRUE(memo->InVirtualSpace());
  EXPECT_EQ(memo->VirtualLine(), 0);
  EXPECT_EQ(memo->VirtualColumn(), memo->VSColFromX(x));
  EXPECT_GT(memo->VirtualColumn(), 3);
  EXPECT_EQ(memo->SelStart(), 3);
  const int blanks = memo->VirtualColumn() - 3;
  MemoTest::TypeChar(wnd, u'x');
  EXPECT_EQ(memo->Text(), "abc" + std::string(static_cast<std::size_t>(blanks), ' ') + "x\r\nlonger line");

  // A click in the gutter toggles a bookmark and never enters virtual space.
  Sleep(GetDoubleClickTime() + 20);
  const POINT second = PointOf(memo->LineIndex(1));
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, second.y + 5));
  SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(2, second.y + 5));
  EXPECT_FALSE(memo->InVirtualSpace());
  EXPECT_EQ(memo->GetBookmarks(), "2");
}

TEST_F(EditingFixture, WithoutVirtualSpaceKeysGoToTheControl) {
  memo->SetText("abc\r\nx");
  memo->SetSelection(3, 0);
  MemoTest::KeyDown(wnd, VK_RIGHT);
  EXPECT_FALSE(memo->InVirtualSpace());
  EXPECT_EQ(memo->SelStart(), 4);
  // Shift+Tab without a selection does nothing, also with virtual space on.
  memo->SetVirtualSpace(true);
  memo->SetSelection(3, 0);
  {
    THeldKeys shift{VK_SHIFT};
    MemoTest::KeyDown(wnd, VK_TAB);
    MemoTest::KeyDown(wnd, VK_RIGHT);
  }
  EXPECT_EQ(memo->Text(), "abc\r\nx");
  EXPECT_FALSE(memo->InVirtualSpace()) << "Shift+Right at a line's end selects, it does not enter virtual space";
}

// ---------------------------------------------------------------------------
// Line comments, find and replace

TEST_F(EditingFixture, CtrlSlashTogglesLineComments) {
  memo->SetText("a\r\n// b\r\n\r\nc");
  memo->SetSelection(0, 7);
  {
    THeldKeys ctrl{VK_CONTROL};
    Key(VK_OEM_2);
  }
  EXPECT_EQ(memo->Text(), "// a\r\n// b\r\n\r\nc");
  EXPECT_EQ(memo->SelStart(), 0);
  EXPECT_EQ(memo->SelLength(), 10) << "the new block, counted in the control's characters";
  {
    THeldKeys ctrl{VK_CONTROL};
    Key(VK_OEM_2);
  }
  EXPECT_EQ(memo->Text(), "a\r\nb\r\n\r\nc");
  memo->SetSelection(0, 0);
  {
    THeldKeys ctrl{VK_CONTROL};
    Key(VK_OEM_5);
  }
  EXPECT_EQ(memo->Text(), "# a\r\nb\r\n\r\nc");
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "a\r\nb\r\n\r\nc");
}

TEST_F(EditingFixture, SearchAndReplaceReindentsAndSelectsTheResult) {
  memo->SetText("x\r\n  a\r\n  b\r\ny a b");
  int index = 0, count = 0;
  const int at = memo->SearchAndReplaceNext("a\r\nb", "c\r\nd", 0, -1, false, true, index, count, false, false, false);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(at, 2);
  EXPECT_EQ(memo->Text(), "x\r\n  c\r\n  d\r\ny a b");
  EXPECT_EQ(memo->SelStart(), 2);
  EXPECT_EQ(memo->SelText(), "  c\r  d");
  // Backward from the end of the text finds the last match.
  const int last = memo->SearchAndReplaceNext("a", "", memo->TextLength(), -1, false, true, index, count, true, true,
                                              false);
  EXPECT_EQ(last, memo->TextLength() - 3);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(memo->SelText(), "a");
  // An empty replacement deletes only when asked to.
  memo->SearchAndReplaceNext("y ", "", 0, -1, false, false, index, count, false, true, true);
  EXPECT_EQ(memo->Text(), "x\r\n  c\r\n  d\r\na b");
}

// ---------------------------------------------------------------------------
// Read-only

TEST_F(EditingFixture, ReadOnlyRefusesEveryRewriteWithABeep) {
  const std::string text = "function f() {\r\n  a;\r\n}\r\nabc";
  memo->SetText(text);
  memo->SetReadOnly(true);
  memo->SetSelection(0, 5);
  {
    THeldKeys ctrl{VK_CONTROL};
    Key(VK_OEM_2);
  }
  EXPECT_EQ(beeps, 1);
  MemoTest::KeyDown(wnd, VK_TAB);
  EXPECT_EQ(beeps, 2);
  int index = 0, count = 0;
  EXPECT_EQ(memo->SearchAndReplaceNext("abc", "x", 0, -1, false, true, index, count, false, true, false), -1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(beeps, 3);
  memo->SetSelection(18, 0);
  EXPECT_FALSE(memo->SelectFunctionAtCaret(false, true));
  EXPECT_EQ(beeps, 4);
  // Typing at a virtual column neither materialises blanks nor types.
  memo->SetVirtualSpace(true);
  memo->SetSelection(memo->TextLength(), 0);
  MemoTest::KeyDown(wnd, VK_RIGHT);
  MemoTest::KeyDown(wnd, VK_RIGHT);
  ASSERT_TRUE(memo->InVirtualSpace());
  MemoTest::TypeChar(wnd, u'x');
  MemoTest::KeyDown(wnd, VK_TAB);
  EXPECT_EQ(memo->Text(), text);
  EXPECT_GE(beeps, 6);
  // Navigation still works.
  memo->SetSelection(18, 0);
  EXPECT_TRUE(memo->SelectFunctionAtCaret(false, false));
  EXPECT_EQ(memo->SelText(), "function f() {\r  a;\r}");
}

// ---------------------------------------------------------------------------
// Function blocks and jumps

TEST_F(EditingFixture, FunctionBlocksAndJumpsCycleThroughOccurrences) {
  memo->SetText("void draw(int a) {\r\n  a++;\r\n}\r\n\r\nx = draw(1) + draw(2);");
  memo->SetSelection(22, 0);
  int s = 0, e = 0;
  ASSERT_TRUE(memo->FindFunctionBlockAtCaretEx(s, e));
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 27);
  EXPECT_EQ(memo->GetFunctionTextAtCaret(), "void draw(int a) {\r  a++;\r}");
  ASSERT_EQ(memo->FunctionList().size(), 1u);
  EXPECT_EQ(memo->FunctionList()[0].entry, "draw(int a)");
  memo->SetSelection(0, 27);
  EXPECT_TRUE(memo->IsFunctionSelected());

  int occurrences = 0;
  std::vector<int> ordinals, starts;
  for (int i = 0; i < 4; ++i) {
    ordinals.push_back(memo->JumpToFunction("draw(int a)", true, &occurrences));
    starts.push_back(memo->SelStart());
  }
  EXPECT_EQ(occurrences, 3);
  EXPECT_EQ(ordinals, (std::vector<int>{1, 2, 3, 1}));
  EXPECT_EQ(starts, (std::vector<int>{5, 33, 43, 5}));
  EXPECT_EQ(memo->JumpToFunction("nothing()", true, &occurrences), 0);
  EXPECT_EQ(beeps, 1);
}

TEST_F(EditingFixture, SelectingCopyingAndRemovingTheFunctionAtTheCaret) {
  memo->SetText("a = 1;\r\nvoid f() {\r\n  g();\r\n}\r\n\r\nb = 2;");
  memo->SetSelection(memo->LineIndex(2) + 2, 0);
  ASSERT_TRUE(memo->IsFunctionAtCaret());
  ASSERT_TRUE(memo->SelectFunctionAtCaret(true, false));
  EXPECT_EQ(memo->SelText(), "void f() {\r  g();\r}");
  EXPECT_EQ(MemoTest::ClipboardWide(), u"void f() {\r\n  g();\r\n}");
  EXPECT_EQ(memo->Text(), "a = 1;\r\nvoid f() {\r\n  g();\r\n}\r\n\r\nb = 2;");
  ASSERT_TRUE(memo->SelectFunctionAtCaret(false, true));
  EXPECT_EQ(memo->Text(), "a = 1;\r\n\r\n\r\nb = 2;");
  ASSERT_TRUE(memo->Undo());
  EXPECT_EQ(memo->Text(), "a = 1;\r\nvoid f() {\r\n  g();\r\n}\r\n\r\nb = 2;");
  // The definition by its entry: the caret at its line's start.
  memo->SetSelection(0, 0);
  memo->JumpToFunctionDefinition("F()");
  EXPECT_EQ(memo->SelStart(), memo->LineIndex(1));
  EXPECT_EQ(memo->SelLength(), 0);
}

// ---------------------------------------------------------------------------
// Glyph tooltip

TEST_F(EditingFixture, CtrlOverATokenShowsItsGlyphWithoutTakingTheFocus) {
  // Glyphs are drawn over the tokens (the first "[" stays a visible
  // character under the glyph).
  memo->SetText("smile [[U+1F600]] and [[U+12]]");
  bool shown = false;
  ASSERT_TRUE(UiTest::InForeground(form.Handle(), [&] {
    memo->SetFocus();
    THeldKeys ctrl{VK_CONTROL};
    const POINT p = PointOf(6);
    SendMessageW(wnd, WM_MOUSEMOVE, MK_CONTROL, MAKELPARAM(p.x + 1, p.y + 5));
    UiTest::Pump();
    shown = memo->EmojiTooltipShown();
  }));
  ASSERT_TRUE(shown);
  EXPECT_EQ(memo->EmojiTooltipCodePoint(), 0x1F600u);
  EXPECT_TRUE(IsWindowVisible(memo->EmojiTooltipHandle()));
  EXPECT_EQ(GetFocus(), wnd) << "the tooltip must not take the focus";
  EXPECT_NE(GetForegroundWindow(), memo->EmojiTooltipHandle());
  // Over the two-digit one: nothing.
  {
    THeldKeys ctrl{VK_CONTROL};
    const POINT p = PointOf(25);
    SendMessageW(wnd, WM_MOUSEMOVE, MK_CONTROL, MAKELPARAM(p.x + 1, p.y + 5));
  }
  EXPECT_FALSE(memo->EmojiTooltipShown());
  // Without Ctrl: hidden.
  const POINT p = PointOf(6);
  {
    THeldKeys ctrl{VK_CONTROL};
    SendMessageW(wnd, WM_MOUSEMOVE, MK_CONTROL, MAKELPARAM(p.x + 1, p.y + 5));
  }
  ASSERT_TRUE(memo->EmojiTooltipShown());
  SendMessageW(wnd, WM_KEYUP, VK_CONTROL, 0xC0000001);
  EXPECT_FALSE(memo->EmojiTooltipShown());
  // With a bracket pair shown as well, releasing Ctrl hides both.
  memo->SetSelection(6, 0);
  {
    THeldKeys ctrl{VK_CONTROL};
    SendMessageW(wnd, WM_KEYDOWN, VK_CONTROL, 1);
    SendMessageW(wnd, WM_MOUSEMOVE, MK_CONTROL, MAKELPARAM(p.x + 1, p.y + 5));
    ASSERT_GE(memo->BracketHighlightPos(), 0);
    ASSERT_TRUE(memo->EmojiTooltipShown());
  }
  SendMessageW(wnd, WM_KEYUP, VK_CONTROL, 0xC0000001);
  EXPECT_EQ(memo->BracketHighlightPos(), -1);
  EXPECT_FALSE(memo->EmojiTooltipShown());
}

}  // namespace
