// Background jobs: the order of their events, every event on the main
// thread, one job at a time, cancellation, and destroying the component
// while a job runs. The main thread services the jobs' calls the way a
// message loop does.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/Thread.h"
#include "base/tests/TestUtil.h"
#include "engine/QEnc.h"
#include "engine/tests/QEncTestUtil.h"

namespace {

using namespace QEncTest;

// Services main-thread calls until done() or a generous time limit.
template <class Done>
bool Pump(Done done, int limitMs = 60000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MainThread::CheckSynchronize(5);
  }
  return true;
}

// Records the events of one component as short texts, and whether each one
// arrived on the main thread.
struct TRecorder {
  std::vector<std::string> Events;
  bool AllOnMainThread = true;
  bool Done = false;
  bool Success = false;
  bool BusyAtDone = true;
  std::thread::id Main = std::this_thread::get_id();

  void Note(const std::string& e) {
    if (std::this_thread::get_id() != Main) AllOnMainThread = false;
    if (Events.empty() || Events.back() != e || e != "progress") Events.push_back(e);
  }

  void Attach(TQEnc& q) {
    q.OnStatus = [this](TObject*, const std::string&) { Note("status"); };
    q.OnFileBegin = [this](TObject*, TQEncOperation, const std::string&, const std::string&, bool&) {
      Note("begin");
    };
    q.OnProgress = [this](TObject*, TQEncOperation, const std::string&, int, int, bool&) { Note("progress"); };
    q.OnError = [this](TObject*, TQEncError e) { Note("error " + std::to_string(e)); };
    q.OnFileDone = [this, &q](TObject*, TQEncOperation, const std::string&, const std::string&, bool success) {
      Note(success ? "done ok" : "done failed");
      BusyAtDone = q.Busy();
      Success = success;
      Done = true;
    };
    q.OnDeleteFileProgress = [this](TObject*, const std::string&, int, int, int, int, bool&) { Note("progress"); };
    q.OnDeleteFileDone = [this, &q](TObject*, const std::string&, bool success) {
      Note(success ? "done ok" : "done failed");
      BusyAtDone = q.Busy();
      Success = success;
      Done = true;
    };
  }
};

std::unique_ptr<TQEnc> Engine() {
  auto q = std::make_unique<TQEnc>();
  q->SetKey("worker key");
  q->SetFastIterations(5000);
  q->SetIterations(5000);
  return q;
}

TEST(QEncWorker, EncryptThenDecryptAsync) {
  TempDir dir;
  const std::string plain = std::string(300000, 'w');
  WriteTestFile(dir.File("in"), plain);
  auto q = Engine();
  TRecorder r;
  r.Attach(*q);
  ASSERT_TRUE(q->EncryptFileAsync(dir.File("in"), dir.File("enc")));
  EXPECT_TRUE(q->Busy());
  ASSERT_TRUE(Pump([&] { return r.Done; }));
  EXPECT_TRUE(r.Success);
  EXPECT_FALSE(r.BusyAtDone);
  EXPECT_TRUE(r.AllOnMainThread);
  EXPECT_EQ(r.Events, (std::vector<std::string>{"begin", "status", "progress", "done ok"}));
  EXPECT_EQ(q->LastOutputFile(), dir.File("enc"));

  std::filesystem::remove(dir.File("in"));
  r = TRecorder();
  r.Attach(*q);
  ASSERT_TRUE(q->DecryptFileAsync(dir.File("enc"), dir.File("in")));
  ASSERT_TRUE(Pump([&] { return r.Done; }));
  EXPECT_TRUE(r.Success);
  EXPECT_TRUE(r.AllOnMainThread);
  EXPECT_EQ(ReadTestFile(dir.File("in")), plain);
}

TEST(QEncWorker, WrongPasswordReportsErrorThenDone) {
  TempDir dir;
  WriteTestFile(dir.File("in"), "data");
  auto q = Engine();
  ASSERT_TRUE(q->EncryptFile(dir.File("in"), dir.File("enc")));
  q->SetKey("other");
  TRecorder r;
  r.Attach(*q);
  ASSERT_TRUE(q->DecryptFileAsync(dir.File("enc"), dir.File("out")));
  ASSERT_TRUE(Pump([&] { return r.Done; }));
  EXPECT_FALSE(r.Success);
  EXPECT_FALSE(r.BusyAtDone);
  EXPECT_TRUE(r.AllOnMainThread);
  EXPECT_EQ(r.Events,
            (std::vector<std::string>{"begin", "status", "progress", "error 10", "done failed"}));
  EXPECT_EQ(q->LastError(), ErrWrongPassword);
  EXPECT_FALSE(PathExists(dir.File("out")));
  EXPECT_FALSE(PathExists(dir.File("out.tmp")));
}

// While a job runs, a second job and a synchronous file operation are
// refused with ErrBusy and the running job goes on.
TEST(QEncWorker, OneJobAtATime) {
  TempDir dir;
  WriteTestFile(dir.File("in"), std::string(100000, 'a'));
  WriteTestFile(dir.File("other"), "b");
  auto q = Engine();
  TRecorder r;
  r.Attach(*q);
  bool secondStarted = true, syncResult = true, deleteStarted = true;
  TQEncError secondError = ErrNone, syncError = ErrNone;
  q->OnFileBegin = [&](TObject*, TQEncOperation, const std::string&, const std::string&, bool&) {
    r.Note("begin");
    secondStarted = q->EncryptFileAsync(dir.File("other"), dir.File("other.enc"));
    secondError = q->LastError();
    syncResult = q->EncryptFile(dir.File("other"), dir.File("other.enc"));
    syncError = q->LastError();
    deleteStarted = q->DeleteFileSecureAsync(dir.File("other"), 1, 1, 1);
  };
  ASSERT_TRUE(q->EncryptFileAsync(dir.File("in"), dir.File("enc")));
  ASSERT_TRUE(Pump([&] { return r.Done; }));
  EXPECT_FALSE(secondStarted);
  EXPECT_EQ(secondError, ErrBusy);
  EXPECT_FALSE(syncResult);
  EXPECT_EQ(syncError, ErrBusy);
  EXPECT_FALSE(deleteStarted);
  EXPECT_TRUE(r.Success);
  EXPECT_FALSE(PathExists(dir.File("other.enc")));
  EXPECT_TRUE(PathExists(dir.File("other")));
  EXPECT_EQ(r.Events, (std::vector<std::string>{"begin", "error 1", "error 1", "error 1", "status", "progress",
                                                "done ok"}));
  // Afterwards the component takes the next job.
  r = TRecorder();
  r.Attach(*q);
  ASSERT_TRUE(q->EncryptFileAsync(dir.File("other"), dir.File("other.enc")));
  ASSERT_TRUE(Pump([&] { return r.Done; }));
  EXPECT_TRUE(r.Success);
}

TEST(QEncWorker, CancelMidJob) {
  TempDir dir;
  WriteTestFile(dir.File("in"), std::string(2000000, 'c'));
  auto q = Engine();
  q->SetBufferSize(512);
  TRecorder r;
  r.Attach(*q);
  int progress = 0;
  q->OnProgress = [&](TObject*, TQEncOperation, const std::string&, int position, int, bool&) {
    r.Note("progress");
    if (position > 0 && ++progress == 1) q->Cancel();
  };
  ASSERT_TRUE(q->EncryptFileAsync(dir.File("in"), dir.File("enc")));
  ASSERT_TRUE(Pump([&] { return r.Done; }));
  EXPECT_FALSE(r.Success);
  EXPECT_TRUE(r.AllOnMainThread);
  EXPECT_EQ(q->LastError(), ErrCanceled);
  ASSERT_GE(r.Events.size(), 2u);
  EXPECT_EQ(r.Events[r.Events.size() - 2], "error 8");
  EXPECT_EQ(r.Events.back(), "done failed");
  EXPECT_FALSE(PathExists(dir.File("enc")));
  EXPECT_EQ(std::filesystem::file_size(dir.File("in")), 2000000u);
}

TEST(QEncWorker, SecureDeleteAsyncResolvesDefaults) {
  TempDir dir;
  WriteTestFile(dir.File("f"), std::string(500, 'd'));
  auto q = Engine();
  q->SetSecureDeleteWipes(2);
  q->SetSecureDeleteOversizePercent(350);
  TRecorder r;
  r.Attach(*q);
  std::vector<int> passCounts;
  std::uintmax_t largest = 0;
  q->OnDeleteFileProgress = [&](TObject*, const std::string& file, int, int, int, int count, bool&) {
    r.Note("progress");
    passCounts.push_back(count);
    std::error_code ec;
    largest = std::max(largest, std::filesystem::file_size(file, ec));
  };
  ASSERT_TRUE(q->DeleteFileSecureAsync(dir.File("f"), -1, -1, -1));
  ASSERT_TRUE(Pump([&] { return r.Done; }));
  EXPECT_TRUE(r.Success);
  EXPECT_FALSE(r.BusyAtDone);
  EXPECT_TRUE(r.AllOnMainThread);
  EXPECT_FALSE(PathExists(dir.File("f")));
  ASSERT_FALSE(passCounts.empty());
  for (int c : passCounts) EXPECT_EQ(c, 4);  // 2 wipes + 2 oversize wipes
  EXPECT_EQ(largest, 1500u);                  // factor 350 / 100 = 3
  EXPECT_EQ(r.Events.front(), "status");
}

// Destroying the component under a running job cancels it and waits for
// it, servicing its calls meanwhile: no deadlock, nothing left behind, no
// event after the component is gone.
TEST(QEncWorker, DestroyWhileRunning) {
  TempDir dir;
  WriteTestFile(dir.File("in"), std::string(4000000, 'x'));
  auto q = Engine();
  q->SetBufferSize(512);
  bool running = false;
  int doneEvents = 0;
  q->OnProgress = [&](TObject*, TQEncOperation, const std::string&, int position, int, bool&) {
    if (position > 0) running = true;
  };
  q->OnFileDone = [&](TObject*, TQEncOperation, const std::string&, const std::string&, bool) { ++doneEvents; };
  ASSERT_TRUE(q->EncryptFileAsync(dir.File("in"), dir.File("enc")));
  ASSERT_TRUE(Pump([&] { return running; }));
  q.reset();
  EXPECT_EQ(doneEvents, 0);
  EXPECT_FALSE(PathExists(dir.File("enc")));
  EXPECT_TRUE(PathExists(dir.File("in")));
}

}  // namespace

namespace {

// The job's own done handler may destroy the component.
TEST(QEncWorker, DestroyFromDoneHandler) {
  TempDir dir;
  WriteTestFile(dir.File("in"), "data");
  TQEnc* q = Engine().release();
  bool done = false;
  q->OnFileDone = [&](TObject*, TQEncOperation, const std::string&, const std::string&, bool success) {
    EXPECT_TRUE(success);
    done = true;
    delete q;  // last: the handler itself goes with the component
  };
  ASSERT_TRUE(q->EncryptFileAsync(dir.File("in"), dir.File("enc")));
  ASSERT_TRUE(Pump([&] { return done; }));
  EXPECT_TRUE(PathExists(dir.File("enc")));
}

}  // namespace
