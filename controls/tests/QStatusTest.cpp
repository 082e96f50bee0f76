#include "controls/QStatus.h"

#include <gtest/gtest.h>

#include "controls/dxfProgressBar.h"
#include "ui/tests/UiTestUtil.h"

namespace {

TEST(QStatusTest, HostsTheProgressBarWhichMovesWithIt) {
  UiTest::THostForm form(500, 200);
  TQStatus status(&form);
  status.SetParent(&form);
  for (int w : {85, 60, 100, 217, 50}) status.AddPanel(w);
  status.SetPanelText(0, "Ready");
  status.Show();
  TdxfProgressBar progress(&form);
  progress.SetParent(&status);
  RECT panel = status.PanelRect(3);
  progress.SetBounds(panel.left + 2, panel.top + 2, 214 - 4, panel.bottom - panel.top - 4);
  progress.SetBevelOuter(bvNone);
  progress.SetPosition(100);
  progress.Show();
  form.Show();

  EXPECT_EQ(GetParent(progress.Handle()), status.Handle());
  EXPECT_TRUE(GetWindowLongA(status.Handle(), GWL_STYLE) & WS_CLIPCHILDREN);
  TStatusBar plain(&form);
  plain.SetParent(&form);
  plain.HandleNeeded();
  EXPECT_FALSE(GetWindowLongA(plain.Handle(), GWL_STYLE) & WS_CLIPCHILDREN);
  plain.DestroyHandle();

  // The form grows: the bar moves to the new bottom and takes its child along.
  RECT before;
  GetWindowRect(progress.Handle(), &before);
  RECT statusBefore;
  GetWindowRect(status.Handle(), &statusBefore);
  SetWindowPos(form.Handle(), nullptr, 0, 0, 600, 340, SWP_NOMOVE | SWP_NOZORDER);
  status.Realign();
  RECT after, statusAfter;
  GetWindowRect(progress.Handle(), &after);
  GetWindowRect(status.Handle(), &statusAfter);
  EXPECT_GT(statusAfter.top, statusBefore.top);
  EXPECT_EQ(after.top - before.top, statusAfter.top - statusBefore.top);
  EXPECT_EQ(after.left - before.left, statusAfter.left - statusBefore.left);

  // On screen the bar shows inside the status bar.
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  UiTest::Pump();
  TBitmap shot;
  ASSERT_TRUE(UiTest::CaptureClient(status.Handle(), shot));
  RECT navy = UiTest::BoundsOf(shot, RGBColor(0, 0, 128));
  EXPECT_EQ(navy.left, panel.left + 2);
  EXPECT_EQ(navy.top, panel.top + 2);
  EXPECT_GT(navy.right - navy.left, 150);
}

}  // namespace
