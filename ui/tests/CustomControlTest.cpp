#include "ui/CustomControl.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "ui/tests/UiTestUtil.h"

namespace {

// Paints a red square on its background and records what happens to it.
class TProbe : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string> log;
  int paints = 0;
  DWORD lastDcType = 0;
  bool throwInPaint = false;

 protected:
  void Paint() override {
    ++paints;
    lastDcType = GetObjectType(Canvas().Handle());
    TCustomControl::Paint();
    Canvas().Brush().SetColor(clRed);
    Canvas().FillRect(RECT{2, 2, 6, 6});
    if (throwInPaint) throw std::runtime_error("paint");
    Canvas().Brush().SetColor(clBlue);
    Canvas().FillRect(RECT{6, 6, 8, 8});
  }
  void MouseEnter() override { log.push_back("enter"); }
  void MouseLeave() override { log.push_back("leave"); }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    log.push_back("down" + std::to_string(b) + ((s & ssDouble) ? "d" : "") + "@" + std::to_string(x) + "," + std::to_string(y));
  }
  void MouseUp(TMouseButton b, TShiftState, int x, int y) override {
    log.push_back("up" + std::to_string(b) + "@" + std::to_string(x) + "," + std::to_string(y));
  }
  void Click() override { log.push_back("click"); }
  void DblClick() override { log.push_back("dblclick"); }
};

struct CustomControlTest : ::testing::Test {
  UiTest::THostForm form{200, 100};
  TProbe probe{&form};
  void SetUp() override {
    probe.SetParent(&form);
    probe.SetBounds(10, 10, 40, 30);
    probe.SetColor(clYellow);
    probe.Show();
  }
};

TEST_F(CustomControlTest, PrintClientPaintsTheControl) {
  TBitmap b;
  ASSERT_TRUE(UiTest::RenderClient(probe.Handle(), b));
  EXPECT_EQ(b.Width(), 40);
  EXPECT_EQ(b.Height(), 30);
  EXPECT_EQ(b.Pixel(0, 0), clYellow);
  EXPECT_EQ(b.Pixel(39, 29), clYellow);
  EXPECT_EQ(b.Pixel(3, 3), clRed);
  EXPECT_EQ(b.Pixel(7, 7), clBlue);
}

TEST_F(CustomControlTest, PaintsThroughAMemoryBitmapUnlessTold) {
  form.Show();
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  EXPECT_GE(probe.paints, 1);
  EXPECT_EQ(probe.lastDcType, static_cast<DWORD>(OBJ_MEMDC));
  probe.SetDoubleBuffered(false);
  RedrawWindow(probe.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(probe.lastDcType, static_cast<DWORD>(OBJ_DC));
  TBitmap screen;
  ASSERT_TRUE(UiTest::CaptureClient(probe.Handle(), screen));
  EXPECT_EQ(screen.Pixel(3, 3), clRed);
  EXPECT_EQ(screen.Pixel(20, 20), clYellow);
}

TEST_F(CustomControlTest, ExceptionInPaintStaysInside) {
  probe.throwInPaint = true;
  TBitmap b;
  ASSERT_TRUE(UiTest::RenderClient(probe.Handle(), b, clWhite));
  EXPECT_EQ(b.Pixel(3, 3), clRed);     // drawn before the throw
  EXPECT_EQ(b.Pixel(7, 7), clYellow);  // not after it
  form.Show();
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  UiTest::Pump();
  EXPECT_GE(probe.paints, 2);
}

TEST_F(CustomControlTest, MouseMessagesBecomeEvents) {
  // Each row: the message sent, the events it must produce.
  struct Step {
    UINT msg;
    WPARAM keys;
    int x, y;
    std::vector<std::string> events;
  };
  const Step steps[] = {
      {WM_MOUSEMOVE, 0, 5, 5, {"enter"}},
      {WM_MOUSEMOVE, 0, 6, 5, {}},
      {WM_LBUTTONDOWN, MK_LBUTTON, 6, 5, {"down0@6,5"}},
      {WM_LBUTTONUP, 0, 7, 5, {"up0@7,5", "click"}},
      {WM_LBUTTONDOWN, MK_LBUTTON, 6, 5, {"down0@6,5"}},
      {WM_LBUTTONUP, 0, 70, 5, {"up0@70,5"}},  // released outside: no click
      {WM_LBUTTONDBLCLK, MK_LBUTTON, 1, 1, {"down0d@1,1", "dblclick"}},
      {WM_LBUTTONUP, 0, 1, 1, {"up0@1,1"}},
      {WM_RBUTTONDOWN, MK_RBUTTON, 2, 3, {"down1@2,3"}},
      {WM_RBUTTONUP, 0, 2, 3, {"up1@2,3"}},
      {WM_MOUSELEAVE, 0, 0, 0, {"leave"}},
      {WM_MOUSELEAVE, 0, 0, 0, {}},
      {WM_MOUSEMOVE, 0, 5, 5, {"enter"}},
  };
  for (const Step& s : steps) {
    probe.log.clear();
    SendMessageA(probe.Handle(), s.msg, s.keys, MAKELPARAM(s.x, s.y));
    EXPECT_EQ(probe.log, s.events) << "message " << std::hex << s.msg;
  }
  EXPECT_TRUE(probe.MouseInControl());
}

TEST_F(CustomControlTest, RealPointerEntersAndLeaves) {
  form.Show();
  POINT inside{20, 15};
  ClientToScreen(probe.Handle(), &inside);
  POINT outside{150, 80};
  ClientToScreen(form.Handle(), &outside);
  bool entered = false, left = false;
  ASSERT_TRUE(UiTest::InForeground(form.Handle(), [&] {
    SetCursorPos(outside.x, outside.y);
    UiTest::PumpUntil([&] { return !probe.MouseInControl(); }, 1000);
    probe.log.clear();
    SetCursorPos(inside.x, inside.y);
    entered = UiTest::PumpUntil([&] { return probe.MouseInControl(); }, 1000);
    SetCursorPos(outside.x, outside.y);
    left = UiTest::PumpUntil([&] { return !probe.MouseInControl(); }, 1000);
  }));
  EXPECT_TRUE(entered) << "no WM_MOUSEMOVE arrived";
  EXPECT_TRUE(left) << "no WM_MOUSELEAVE arrived";
  EXPECT_EQ(probe.log, (std::vector<std::string>{"enter", "leave"}));
}

}  // namespace
