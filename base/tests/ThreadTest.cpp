#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/Thread.h"

namespace {

// A worker that hands several calls to the main thread and records on which
// thread each one ran.
class Reporter : public TThread {
 public:
  std::vector<bool> ranOnMain;
  std::atomic<int> calls{0};
  bool caught = false;

 protected:
  void Execute() override {
    for (int i = 0; i < 20; ++i) {
      Synchronize([this] {
        ranOnMain.push_back(MainThread::IsCurrent());
        ++calls;
      });
    }
    try {
      Synchronize([] { throw std::runtime_error("from main"); });
    } catch (const std::runtime_error&) {
      caught = true;
    }
  }
};

}  // namespace

TEST(Thread, SynchronizeRunsOnMainThreadInOrder) {
  ASSERT_TRUE(MainThread::IsCurrent());
  Reporter r;
  ASSERT_TRUE(r.Start());
  r.WaitFor();  // services the calls while waiting
  EXPECT_TRUE(r.Finished());
  EXPECT_EQ(r.calls.load(), 20);
  for (bool b : r.ranOnMain) EXPECT_TRUE(b);
  EXPECT_TRUE(r.caught);  // an exception on the main thread reaches the worker
}

TEST(Thread, CheckSynchronizeDrainsWaitingCalls) {
  Reporter r;
  ASSERT_TRUE(r.Start());
  int rounds = 0;
  while (!r.Finished() && rounds < 100000) {
    MainThread::CheckSynchronize(10);
    ++rounds;
  }
  EXPECT_EQ(r.calls.load(), 20);
  r.WaitFor();
}

TEST(Thread, SynchronizeOnMainThreadCallsDirectly) {
  int n = 0;
  MainThread::Synchronize([&] { ++n; });
  EXPECT_EQ(n, 1);
  EXPECT_FALSE(MainThread::CheckSynchronize(0));  // nothing waiting
}

TEST(Thread, DerivedDestructorWaitsForWorker) {
  std::atomic<bool> done{false};
  struct Slow : TThread {
    std::atomic<bool>& d;
    explicit Slow(std::atomic<bool>& x) : d(x) {}
    ~Slow() override { WaitFor(); }
    void Execute() override {
      Synchronize([] {});
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      d = true;
    }
  };
  {
    Slow s(done);
    ASSERT_TRUE(s.Start());
  }
  EXPECT_TRUE(done.load());
}
