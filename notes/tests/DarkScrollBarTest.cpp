#include "notes/DarkScrollBar.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "notes/tests/RichEditStandIn.h"
#include "ui/tests/UiTestUtil.h"

namespace {

constexpr TColor kNight = RGBColor(12, 12, 12);

class TScrollHost : public IQMemoScrollHost {
 public:
  explicit TScrollHost(TRichEditStandIn& edit) : edit_(edit) {}
  TWinControl* ScrollEditor() override { return &edit_; }
  TColor ScrollTrackColor() override { return kNight; }
  int ScrollLineHeight() override {
    // The rich edit's own line height, as the editor's font gives it.
    POINTL a{0, 0}, b{0, 0};
    SendMessageW(edit_.Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&a), 0);
    SendMessageW(edit_.Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&b),
                 SendMessageW(edit_.Handle(), EM_LINEINDEX, 1, 0));
    return b.y - a.y;
  }
  bool ScrollWordWrap() override { return edit_.WordWrap(); }
  bool ScrollBarsVertical() override { return true; }
  bool ScrollBarsHorizontal() override { return true; }
  bool ScrollNightMode() override { return night; }
  void ScrollViewMoved() override { ++moved; }

  bool night = true;
  int moved = 0;

 private:
  TRichEditStandIn& edit_;
};

std::string ManyLines(int n, int width = 10) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    if (i) s += '\r';
    s += "line " + std::to_string(i) + std::string(static_cast<std::size_t>(width), 'x');
  }
  return s;
}

struct DarkScrollBarTest : ::testing::Test {
  UiTest::THostForm form{500, 400, "VLDarkBarHost"};
  TRichEditStandIn edit{&form};
  TScrollHost host{edit};
  TQMemoDarkScrollBars bars{host};

  void SetUp() override {
    edit.SetParent(&form);
    edit.SetBounds(20, 10, 400, 340);
    edit.Show();
    form.Show();
    edit.SetPlainText(ManyLines(1000));
    bars.Update();
    UiTest::Pump();
  }
  TQMemoDarkScrollBar& V() { return *bars.VerticalBar(); }
  TQMemoDarkScrollBar& H() { return *bars.HorizontalBar(); }
  void Mouse(HWND wnd, UINT msg, int x, int y) {
    // The system's pointer goes there too: a mouse move that the system
    // makes up from where its pointer stands (as Wine does when windows
    // change) then says the same as the posted one.
    POINT at{x, y};
    ClientToScreen(wnd, &at);
    SetCursorPos(at.x, at.y);
    PostMessageA(wnd, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
    UiTest::Pump();
  }
};

}  // namespace

TEST_F(DarkScrollBarTest, BarsLieOverTheEditorsEdgesInNightMode) {
  ASSERT_TRUE(V().Visible());
  ASSERT_TRUE(H().Visible());
  const int bw = NoteText::DarkBarSize(GetSystemMetrics(SM_CXVSCROLL));
  const int bh = NoteText::DarkBarSize(GetSystemMetrics(SM_CYHSCROLL));
  EXPECT_EQ(GetParent(V().Handle()), form.Handle());
  EXPECT_EQ(V().Left(), 20 + 400 - bw);
  EXPECT_EQ(V().Top(), 10);
  EXPECT_EQ(V().Height(), 340);
  EXPECT_EQ(H().Left(), 20);
  EXPECT_EQ(H().Top(), 10 + 340 - bh);
  EXPECT_EQ(H().Left() + H().Width(), V().Left());  // ends where the vertical one begins
  // In front of the editor.
  for (HWND w = GetWindow(edit.Handle(), GW_HWNDPREV);; w = GetWindow(w, GW_HWNDPREV)) {
    ASSERT_NE(w, nullptr) << "a bar lies behind the editor";
    if (w == V().Handle()) break;
  }
  // The vertical track stops above the editor's own horizontal bar.
  EXPECT_EQ(V().TrackLength(), 340 - GetSystemMetrics(SM_CYHSCROLL));

  // Day mode: both bars go.
  host.night = false;
  bars.Update();
  EXPECT_FALSE(V().Visible());
  EXPECT_FALSE(H().Visible());
}

TEST_F(DarkScrollBarTest, TheThumbFollowsTheView) {
  NoteText::TScrollMetrics m;
  ASSERT_TRUE(V().GetScrollMetrics(m));
  EXPECT_EQ(m.position, 0);
  EXPECT_GT(m.maximum, 900);
  EXPECT_GE(m.page, 10);
  const int track = V().TrackLength();
  NoteText::TBarRect t = V().ThumbRect();
  EXPECT_EQ(t.top, 2);
  EXPECT_EQ(t.bottom - t.top + 4, std::max(NoteText::WinMulDiv(track, m.page, m.maximum + m.page), 20));

  SendMessageW(edit.Handle(), EM_LINESCROLL, 0, 500);
  ASSERT_TRUE(V().GetScrollMetrics(m));
  EXPECT_EQ(m.position, edit.FirstVisibleLine());
  t = V().ThumbRect();
  const int len = t.bottom - t.top + 4;
  EXPECT_EQ(t.top - 2, NoteText::WinMulDiv(track - len, m.position, m.maximum));

  // Painted: the track in the editor's colour, the thumb in grey.
  TBitmap shot;
  ASSERT_TRUE(UiTest::RenderClient(V().Handle(), shot));
  EXPECT_EQ(shot.Pixel(1, 1), kNight);
  EXPECT_EQ(shot.Pixel(8, (t.top + t.bottom) / 2), kDarkThumbColor);
  EXPECT_EQ(shot.Pixel(8, t.top - 1), kNight);
}

TEST_F(DarkScrollBarTest, APressBelowTheThumbCentresItThereAndDraggingScrolls) {
  const int track = V().TrackLength();
  const int y = track * 3 / 4;
  Mouse(V().Handle(), WM_LBUTTONDOWN, 8, y);
  EXPECT_TRUE(V().Dragging());
  EXPECT_EQ(GetCapture(), V().Handle());
  NoteText::TScrollMetrics m;
  ASSERT_TRUE(V().GetScrollMetrics(m));
  // The view went there at once, and the thumb's middle is at the press.
  EXPECT_GT(m.position, m.maximum / 2);
  const NoteText::TBarRect t = V().ThumbRect();
  EXPECT_LE(std::abs((t.top + t.bottom) / 2 - y), 2);
  EXPECT_GE(host.moved, 1);
  TBitmap shot;
  ASSERT_TRUE(UiTest::RenderClient(V().Handle(), shot));
  EXPECT_EQ(shot.Pixel(8, y), kDarkThumbDragColor);  // lighter while dragged

  // Dragging past the end reaches the last position; past the start the first.
  // The editor's own horizontal bar may come or go as the view moves, and
  // with it one line more or less fits: the next move takes the new end.
  Mouse(V().Handle(), WM_MOUSEMOVE, 8, track + 200);
  UiTest::PumpUntil([] { return false; }, 100);
  Mouse(V().Handle(), WM_MOUSEMOVE, 8, track + 201);
  ASSERT_TRUE(V().GetScrollMetrics(m));
  EXPECT_GE(m.position, m.maximum - 1);  // the control may keep one line more in view
  const int last = edit.FirstVisibleLine();
  SendMessageW(edit.Handle(), EM_LINESCROLL, 0, 100000);
  EXPECT_EQ(edit.FirstVisibleLine(), last);  // as far as the control goes
  Mouse(V().Handle(), WM_MOUSEMOVE, 8, -300);
  EXPECT_EQ(edit.FirstVisibleLine(), 0);
  Mouse(V().Handle(), WM_MOUSEMOVE, 8, track / 2);
  const int middle = edit.FirstVisibleLine();
  EXPECT_GT(middle, 0);
  Mouse(V().Handle(), WM_LBUTTONUP, 8, track / 2);
  EXPECT_FALSE(V().Dragging());
  EXPECT_NE(GetCapture(), V().Handle());
  EXPECT_EQ(edit.FirstVisibleLine(), middle);
  // Moving the mouse without the button changes nothing.
  Mouse(V().Handle(), WM_MOUSEMOVE, 8, 5);
  EXPECT_EQ(edit.FirstVisibleLine(), middle);
  ASSERT_TRUE(UiTest::RenderClient(V().Handle(), shot));
  const NoteText::TBarRect after = V().ThumbRect();
  EXPECT_EQ(shot.Pixel(8, (after.top + after.bottom) / 2), kDarkThumbColor);
}

TEST_F(DarkScrollBarTest, APressOnTheThumbHoldsItWherePressed) {
  SendMessageW(edit.Handle(), EM_LINESCROLL, 0, 300);
  const NoteText::TBarRect t = V().ThumbRect();
  const int first = edit.FirstVisibleLine();
  Mouse(V().Handle(), WM_LBUTTONDOWN, 8, t.top + 1);
  // Where it was: the press grabbed the thumb without moving it (but for rounding).
  EXPECT_LE(std::abs(edit.FirstVisibleLine() - first), 3);
  Mouse(V().Handle(), WM_MOUSEMOVE, 8, t.top + 1 + 40);
  EXPECT_GT(edit.FirstVisibleLine(), first + 20);
  Mouse(V().Handle(), WM_LBUTTONUP, 8, t.top + 1 + 40);
}

TEST_F(DarkScrollBarTest, TheHorizontalBarScrollsSideways) {
  edit.SetPlainText(ManyLines(5, 400));
  UiTest::Pump();
  NoteText::TScrollMetrics m;
  ASSERT_TRUE(H().GetScrollMetrics(m));
  ASSERT_GT(m.maximum, 0);
  const int track = H().TrackLength();
  Mouse(H().Handle(), WM_LBUTTONDOWN, track - 1, 8);
  Mouse(H().Handle(), WM_MOUSEMOVE, track + 50, 8);
  Mouse(H().Handle(), WM_LBUTTONUP, track + 50, 8);
  ASSERT_TRUE(H().GetScrollMetrics(m));
  EXPECT_EQ(m.position, m.maximum);
  EXPECT_EQ(edit.ScrollPos().x, m.maximum);
  EXPECT_EQ(edit.ScrollPos().y, 0);  // the vertical offset is kept
}

TEST_F(DarkScrollBarTest, AShortDocumentShowsAnEmptyTrack) {
  edit.SetPlainText("one\rtwo");
  UiTest::Pump();
  NoteText::TScrollMetrics m;
  ASSERT_TRUE(V().GetScrollMetrics(m));
  EXPECT_EQ(m.maximum, 0);
  TBitmap shot;
  ASSERT_TRUE(UiTest::RenderClient(V().Handle(), shot));
  RECT all{0, 0, shot.Width(), shot.Height()};
  EXPECT_EQ(UiTest::CountColor(shot, all, kNight), shot.Width() * shot.Height());
  // A press does nothing.
  Mouse(V().Handle(), WM_LBUTTONDOWN, 8, 50);
  EXPECT_FALSE(V().Dragging());
  Mouse(V().Handle(), WM_LBUTTONUP, 8, 50);
}

TEST_F(DarkScrollBarTest, TheTimerKeepsTheBarsWithTheEditor) {
  edit.SetBounds(40, 30, 300, 200);
  UiTest::Pump();
  V().Timer().Tick();
  H().Timer().Tick();
  const int bw = NoteText::DarkBarSize(GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(V().Left(), 40 + 300 - bw);
  EXPECT_EQ(V().Height(), 200);
  EXPECT_EQ(H().Left() + H().Width(), V().Left());
  EXPECT_EQ(H().Top() + H().Height(), 230);
  // The editor's native horizontal bar shows (no word wrap, ssBoth).
  EXPECT_TRUE(GetWindowLongA(edit.Handle(), GWL_STYLE) & WS_HSCROLL);
  // A scroll of the editor itself moves the thumb at the next tick.
  const NoteText::TBarRect before = V().ThumbRect();
  SendMessageW(edit.Handle(), EM_LINESCROLL, 0, 400);
  V().Timer().Tick();
  EXPECT_GT(V().ThumbRect().top, before.top);
}

TEST_F(DarkScrollBarTest, ScreenshotOfTheBarsOverANightEditor) {
  SendMessageW(edit.Handle(), EM_SETBKGNDCOLOR, 0, kNight);
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_COLOR;
  cf.crTextColor = RGBColor(230, 230, 230);
  SendMessageW(edit.Handle(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(edit.Handle(), EM_LINESCROLL, 0, 250);
  V().Timer().Tick();
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(form.Handle(), shot));
  UiTest::SavePng(shot, UiTest::ScreenshotPath("notes-dark-scroll-bars.png"));
  // The vertical bar's thumb shows on screen, over the native bar.
  const NoteText::TBarRect t = V().ThumbRect();
  EXPECT_EQ(shot.Pixel(V().Left() + 8, V().Top() + (t.top + t.bottom) / 2), kDarkThumbColor);
}
