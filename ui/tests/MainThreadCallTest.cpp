// A worker's synchronous call is serviced by any message loop of the main
// thread, not only by an explicit drain.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "base/Thread.h"
#include "ui/Application.h"

namespace {
struct Caller : TThread {
  std::atomic<int> ran{0};
  std::atomic<bool> onMain{true};
  ~Caller() override { WaitFor(); }
  void Execute() override {
    for (int i = 0; i < 5; ++i)
      Synchronize([this] {
        if (!MainThread::IsCurrent()) onMain = false;
        ++ran;
      });
  }
};
}  // namespace

TEST(MainThreadCall, PlainMessageLoopServicesWorkerCalls) {
  TApplication* app = Application;
  std::unique_ptr<TApplication> own;
  if (!app) {
    own = std::make_unique<TApplication>();
    app = own.get();
  }
  app->Initialize();
  Caller c;
  ASSERT_TRUE(c.Start());
  // A bare GetMessage loop, as a message box or a modal dialog runs one.
  DWORD start = GetTickCount();
  MSG msg;
  while (c.ran.load() < 5 && GetTickCount() - start < 10000) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
  }
  EXPECT_EQ(c.ran.load(), 5);
  EXPECT_TRUE(c.onMain.load());
}
