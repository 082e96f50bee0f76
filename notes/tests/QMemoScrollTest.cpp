// The notes editor at night: its frame, its dark scroll bars driven by real
// mouse messages, zoom, and a picture of it with the completion popup open.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notes/QMemo.h"
#include "notes/tests/QMemoTestUtil.h"
#include "notes/text/LineText.h"

using MemoTest::THeldKeys;

namespace {

std::string ManyLines(int n, int width = 10) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    if (i) s += "\r\n";
    s += "line " + std::to_string(i) + " " + std::string(static_cast<std::size_t>(width), 'x');
  }
  return s;
}

bool HasClientEdge(HWND wnd) { return (GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0; }

struct QMemoScrollTest : ::testing::Test {
  UiTest::THostForm form{560, 420, "VLMemoNightHost"};
  TQMemo* memo = nullptr;
  HWND wnd = nullptr;

  void SetUp() override {
    memo = new TQMemo(&form);
    memo->SetParent(&form);
    memo->SetBounds(10, 10, 520, 380);
    memo->Show();
    form.Show();
    wnd = memo->Handle();
    UiTest::Pump();
  }
  TQMemoDarkScrollBar* V() { return memo->DarkScrollBars().VerticalBar(); }
  TQMemoDarkScrollBar* H() { return memo->DarkScrollBars().HorizontalBar(); }
  // A mouse message at (x, y) of target, handled at once. Nothing is pumped
  // during a drag: Wine also reports the real pointer's moves (from
  // wherever it is) to the window that holds the capture.
  void Mouse(HWND target, UINT msg, int x, int y) {
    SendMessageW(target, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
  }
  int MaxTopLine() {
    NoteText::TScrollMetrics m;
    EXPECT_TRUE(V()->GetScrollMetrics(m));
    return m.maximum;
  }
};

}  // namespace

TEST_F(QMemoScrollTest, NightModeTakesTheFrameAndLaysDarkBarsOverTheEditor) {
  ASSERT_TRUE(HasClientEdge(wnd));
  ASSERT_NE(V(), nullptr);  // made with the window, hidden by day
  EXPECT_FALSE(V()->Visible());
  EXPECT_FALSE(H()->Visible());

  memo->SetText(ManyLines(200, 200));
  memo->SetNightMode(true);
  EXPECT_FALSE(HasClientEdge(wnd));
  EXPECT_EQ(memo->Color(), clBlack);
  EXPECT_EQ(MemoTest::ColorAt(wnd, 0), ColorToRGB(memo->TextColorNight()));
  ASSERT_TRUE(V()->Visible());
  ASSERT_TRUE(H()->Visible());
  // Siblings on the editor's parent, over its right and bottom edges; the
  // horizontal one ends where the vertical one begins.
  EXPECT_EQ(GetParent(V()->Handle()), form.Handle());
  const int bw = NoteText::DarkBarSize(GetSystemMetrics(SM_CXVSCROLL));
  const int bh = NoteText::DarkBarSize(GetSystemMetrics(SM_CYHSCROLL));
  EXPECT_EQ(V()->Left(), 10 + 520 - bw);
  EXPECT_EQ(V()->Top(), 10);
  EXPECT_EQ(V()->Height(), 380);
  EXPECT_EQ(H()->Top(), 10 + 380 - bh);
  EXPECT_EQ(H()->Left() + H()->Width(), V()->Left());
  // In front of the editor.
  bool barAbove = false;
  for (HWND w = GetWindow(wnd, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV)) barAbove |= w == V()->Handle();
  EXPECT_TRUE(barAbove);

  // A hidden editor takes its bars along, and brings them back.
  memo->Hide();
  EXPECT_TRUE(UiTest::PumpUntil([&] { return !V()->Visible() && !H()->Visible(); }));
  memo->Show();
  EXPECT_TRUE(UiTest::PumpUntil([&] { return V()->Visible() && H()->Visible(); }));
  EXPECT_EQ(H()->Left() + H()->Width(), V()->Left());

  // Day again: the frame as it was, the bars gone.
  memo->SetNightMode(false);
  EXPECT_TRUE(HasClientEdge(wnd));
  EXPECT_FALSE(V()->Visible());
  EXPECT_FALSE(H()->Visible());
  // A frameless editor stays frameless after a night.
  memo->SetBorderStyle(TQMemo::bsNone);
  memo->SetNightMode(true);
  memo->SetNightMode(false);
  EXPECT_FALSE(HasClientEdge(wnd));
  EXPECT_EQ(memo->BorderStyle(), TQMemo::bsNone);

  // Word wrap: no horizontal dark bar.
  memo->SetWordWrap(true);
  memo->SetNightMode(true);
  EXPECT_TRUE(V()->Visible());
  EXPECT_FALSE(H()->Visible());
}

TEST_F(QMemoScrollTest, TheBarsScrollTheEditorThroughRealMouseMessages) {
  memo->SetText(ManyLines(1000, 300));
  memo->SetNightMode(true);
  // The whole text laid out once, as a look at its end does.
  SendMessageW(wnd, WM_VSCROLL, SB_BOTTOM, 0);
  SendMessageW(wnd, WM_VSCROLL, SB_TOP, 0);
  UiTest::Pump();
  ASSERT_EQ(memo->FirstVisibleLine(), 0);
  HWND bar = V()->Handle();
  const int max = MaxTopLine();
  ASSERT_GT(max, 900);
  NoteText::TBarRect thumb = V()->ThumbRect();
  ASSERT_FALSE(thumb.Empty());
  EXPECT_EQ(thumb.top, 2);  // at the top with the view

  // A press below the thumb centres the thumb on the press and scrolls there.
  const int track = V()->TrackLength();
  Mouse(bar, WM_LBUTTONDOWN, 8, track / 2);
  EXPECT_TRUE(V()->Dragging());
  EXPECT_EQ(GetCapture(), bar);
  const int middle = memo->FirstVisibleLine();
  EXPECT_NEAR(middle, max / 2, max / 20);
  Mouse(bar, WM_LBUTTONUP, 8, track / 2);
  EXPECT_FALSE(V()->Dragging());
  EXPECT_EQ(memo->FirstVisibleLine(), middle);
  thumb = V()->ThumbRect();
  EXPECT_NEAR((thumb.top + thumb.bottom) / 2, track / 2, 3);

  // Dragging the thumb to the end shows the last lines, back to the top the first.
  const int grab = (thumb.top + thumb.bottom) / 2;
  Mouse(bar, WM_LBUTTONDOWN, 8, grab);
  EXPECT_EQ(memo->FirstVisibleLine(), middle);  // a press on the thumb does not move it
  Mouse(bar, WM_MOUSEMOVE, 8, track + 50);
  // As far as the control goes (it may stop a few lines short of the
  // estimate, which counts lines of the font's height).
  EXPECT_GE(memo->FirstVisibleLine(), max - 5);
  POINTL last{0, 0};
  SendMessageW(wnd, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&last), memo->LineIndex(memo->LineCount() - 1));
  RECT client;
  GetClientRect(wnd, &client);
  EXPECT_GE(last.y, 0);
  EXPECT_LT(last.y, client.bottom);
  Mouse(bar, WM_MOUSEMOVE, 8, -50);
  EXPECT_EQ(memo->FirstVisibleLine(), 0);
  Mouse(bar, WM_LBUTTONUP, 8, -50);
  EXPECT_EQ(GetCapture(), nullptr);

  // The horizontal bar moves the view sideways.
  POINT pos{0, 0};
  SendMessageW(wnd, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos));
  ASSERT_EQ(pos.x, 0);
  NoteText::TScrollMetrics hm;
  ASSERT_TRUE(H()->GetScrollMetrics(hm));
  EXPECT_GT(hm.maximum, 1000);
  HWND hbar = H()->Handle();
  Mouse(hbar, WM_LBUTTONDOWN, H()->Width() - 5, 8);
  Mouse(hbar, WM_LBUTTONUP, H()->Width() - 5, 8);
  SendMessageW(wnd, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos));
  EXPECT_GT(pos.x, 1000);
  EXPECT_EQ(memo->FirstVisibleLine(), 0);
}

TEST_F(QMemoScrollTest, CtrlWheelZoomsWithinItsBounds) {
  std::vector<int> zooms;
  memo->OnZoom = [&](TObject* sender, int zoom) {
    EXPECT_EQ(sender, memo);
    zooms.push_back(zoom);
  };
  memo->Font().SetSize(10);
  auto wheel = [&](int delta) {
    SendMessageW(wnd, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(delta)), 0);
  };
  wheel(120);
  EXPECT_EQ(memo->ZoomPercent(), 110);
  EXPECT_EQ(memo->Font().Size(), 11);
  EXPECT_EQ(MemoTest::FormatAt(wnd, 0).yHeight, 11 * 20);
  wheel(-120);
  wheel(-120);
  EXPECT_EQ(memo->ZoomPercent(), 90);
  EXPECT_EQ(zooms, (std::vector<int>{110, 100, 90}));
  memo->SetZoomPercent(400);
  wheel(120);
  EXPECT_EQ(memo->ZoomPercent(), 400);
  memo->SetZoomPercent(20);
  wheel(-120);
  EXPECT_EQ(memo->ZoomPercent(), 20);
  EXPECT_EQ(memo->Font().Size(), 6);  // (10 x 20 + 50) / 100 = 2, at least 6
  // Without Ctrl the wheel scrolls.
  memo->SetZoomWithMouseWheel(false);
  wheel(120);
  EXPECT_EQ(memo->ZoomPercent(), 20);
}

TEST_F(QMemoScrollTest, UpdateZoomTakesAnUnsetBaseFromTheFont) {
  // Before its window the editor has no base size yet: the font's is used,
  // and the zoom stays in 20..400.
  TQMemo fresh(nullptr);
  fresh.Font().SetSize(10);
  fresh.SetZoomPercent(200);
  fresh.UpdateZoom();
  EXPECT_EQ(fresh.Font().Size(), 20);
  EXPECT_EQ(fresh.ZoomPercent(), 200);
  fresh.SetZoomPercent(5);
  EXPECT_EQ(fresh.ZoomPercent(), 20);
  fresh.UpdateZoom();
  EXPECT_EQ(fresh.Font().Size(), 6);

  // With a window, the base is the size the font had before zooming.
  memo->Font().SetSize(12);
  memo->SetZoomPercent(150);
  memo->UpdateZoom();
  EXPECT_EQ(memo->Font().Size(), 18);
  EXPECT_EQ(MemoTest::FormatAt(wnd, 0).yHeight, 18 * 20);
}

TEST_F(QMemoScrollTest, ScreenshotOfTheNightEditorWithDarkBarsAndTheCompletionPopup) {
  form.SetBounds(0, 0, 640, 440);
  memo->SetBounds(0, 0, 624, 400);
  memo->Font().SetName("Courier New");
  memo->Font().SetSize(11);
  memo->SetShowLineNumbers(true);
  memo->SetSyntaxHighlighting(true);
  memo->SetCodeCompletionMarkFuture(true);
  memo->SetKeywordColorNight(RGBColor(86, 156, 214));
  memo->SetMethodColorNight(RGBColor(220, 220, 170));
  memo->SetStringColorNight(RGBColor(206, 145, 120));
  memo->SetCommentColorNight(RGBColor(106, 153, 85));
  std::string text = "// helpers of the drawing code\r\n";
  for (int i = 0; i < 40; ++i) {
    text += "function helper" + std::to_string(i) + "(a, b) { return a + b; } // keep the sum of a and b together\r\n";
  }
  text += "function draw(ctx, x) {\r\n  var label = \"drawn\";\r\n  return redraw(ctx);\r\n}\r\n";
  text += "function Draw2D(a) { return a; }\r\n\r\nvar result = dr";
  const std::string tail = "\r\n\r\nfunction redraw() { return true; }\r\n";
  memo->SetText(text + tail);
  memo->SetNightMode(true);
  const int caret = static_cast<int>(memo->ControlText().size() - NoteText::ToControlText(tail).size());
  memo->SetSelection(caret, 0);
  memo->CenterLineVertically(memo->LineFromChar(caret));
  memo->ColorizeText();
  UiTest::PumpUntil([] { return false; }, 300);  // the bars' timers place and paint them
  // The popup goes with the focus, and Wine may hand the focus around late
  // (after the windows of earlier tests, or with the pointer elsewhere): the
  // popup is opened and the picture taken without a message loop between.
  bool open = false;
  for (int attempt = 0; attempt < 20 && !open; ++attempt) {
    UiTest::InForeground(form.Handle(), [&] { memo->SetFocus(); });
    {
      THeldKeys ctrl({VK_CONTROL});
      MemoTest::KeyDown(wnd, VK_SPACE);
      MemoTest::TypeChar(wnd, u' ');
    }
    MemoTest::KeyDown(wnd, VK_DOWN);
    RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    open = memo->CompletionVisible();
  }
  ASSERT_TRUE(open);
  EXPECT_EQ(memo->Completion().Box()->ItemIndex(), 1);

  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(form.Handle(), shot));
  UiTest::SavePng(shot, UiTest::ScreenshotPath("notes-editor-night-completion.png"));

  ASSERT_TRUE(V()->Visible());
  ASSERT_TRUE(H()->Visible());
  // The vertical bar: a dark track with the grey thumb.
  const RECT vbar{V()->Left(), V()->Top(), V()->Left() + V()->Width(), V()->Top() + V()->Height()};
  EXPECT_GT(UiTest::CountColor(shot, vbar, kDarkThumbColor), 100);
  EXPECT_GT(UiTest::CountColor(shot, vbar, clBlack), 100);
  // The popup: white text on black, its selected row in the highlight colour,
  // the function defined below the caret in light red.
  TColorListBox* box = memo->Completion().Box();
  const RECT popup{box->Left(), box->Top(), box->Left() + box->Width(), box->Top() + box->Height()};
  EXPECT_EQ(box->Count(), 3);
  EXPECT_GT(UiTest::CountColor(shot, popup, ColorToRGB(clHighlight)), 300);
  EXPECT_GT(UiTest::CountColor(shot, popup, clBlack), 1000);
  // The text fits the width: the horizontal bar is an empty track.
  const RECT hbar{H()->Left(), H()->Top(), H()->Left() + H()->Width(), H()->Top() + H()->Height()};
  EXPECT_EQ(UiTest::CountColor(shot, hbar, kDarkThumbColor), 0);
  // No white frame around the editor at night.
  EXPECT_FALSE(HasClientEdge(wnd));
}
