#include "notes/QMemoThreads.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "base/MainThreadWake.h"
#include "base/tests/TestUtil.h"
#include "ui/tests/UiTestUtil.h"

namespace {

// The editor's side: records every call and the thread it came on.
class TRecordingHost : public IQMemoFileHost {
 public:
  struct TCall {
    std::string what;  // "apply", "progress", "done"
    bool loading = false;
    int value = 0;     // percent, success or encoding
    std::string text;
    DWORD thread = 0;
  };
  std::vector<TCall> calls;
  std::function<void(const TCall&)> after;  // runs after a call is recorded

  void FileJobApplyText(const std::string& text, int encoding) override { Add({"apply", false, encoding, text}); }
  void FileJobProgress(bool loading, int percent) override { Add({"progress", loading, percent, {}}); }
  void FileJobDone(bool loading, bool success) override { Add({"done", loading, success ? 1 : 0, {}}); }

  int Count(const std::string& what) const {
    int n = 0;
    for (const auto& c : calls) n += c.what == what;
    return n;
  }
  std::vector<int> Progress() const {
    std::vector<int> p;
    for (const auto& c : calls)
      if (c.what == "progress") p.push_back(c.value);
    return p;
  }

 private:
  void Add(TCall c) {
    c.thread = GetCurrentThreadId();
    calls.push_back(c);
    if (after) after(calls.back());
  }
};

// The disk, with a gate that holds every read and write until it opens.
class TGatedDisk : public NoteText::TTextFileSystem {
 public:
  void Close() {
    std::lock_guard<std::mutex> g(lock_);
    open_ = false;
  }
  void Open() {
    {
      std::lock_guard<std::mutex> g(lock_);
      open_ = true;
    }
    changed_.notify_all();
  }
  bool ReadAll(const std::string& path, std::string& bytes) override {
    Wait();
    return Disk().ReadAll(path, bytes);
  }
  std::int64_t FileSize(const std::string& path) override { return Disk().FileSize(path); }
  bool WriteNew(const std::string& path, std::string_view bytes) override {
    Wait();
    return Disk().WriteNew(path, bytes);
  }
  bool Replace(const std::string& source, const std::string& target) override {
    return Disk().Replace(source, target);
  }
  bool Remove(const std::string& path) override { return Disk().Remove(path); }

 private:
  void Wait() {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait(g, [&] { return open_; });
  }
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = true;
};

struct QMemoThreadsTest : ::testing::Test {
  void SetUp() override { MainThread::InstallMessageHook(); }
  TempDir dir;
  TRecordingHost host;
  DWORD mainThread = GetCurrentThreadId();
};

std::string Lines(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "line " + std::to_string(i) + " \xD0\x96\r\n";
  return s;
}

}  // namespace

TEST_F(QMemoThreadsTest, BackgroundLoadReportsProgressAndCompletesOnTheMainThread) {
  const std::string path = dir.File("in.txt");
  WriteTestFile(path, "\xEF\xBB\xBF" + Lines(2000));
  TQMemoFileJobs jobs(host);
  ASSERT_TRUE(jobs.LoadFromFileAsync(path));
  EXPECT_TRUE(jobs.LoadSaveBusy());
  // One job at a time.
  EXPECT_FALSE(jobs.LoadFromFileAsync(path));
  EXPECT_FALSE(jobs.SaveToFileAsync(dir.File("out.txt"), "x"));
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !jobs.LoadSaveBusy(); }, 10000));

  ASSERT_EQ(host.Count("apply"), 1);
  ASSERT_EQ(host.Count("done"), 1);
  EXPECT_EQ(host.calls.back().what, "done");
  EXPECT_TRUE(host.calls.back().loading);
  EXPECT_EQ(host.calls.back().value, 1);
  for (const auto& c : host.calls) {
    EXPECT_EQ(c.thread, mainThread) << c.what;
    if (c.what == "apply") {
      EXPECT_EQ(c.value, 3);
      EXPECT_EQ(c.text.substr(0, 18), "line 0 [[U+0416]]\r");
    }
  }
  // The apply comes before the final 100, which comes before done.
  const std::vector<int> p = host.Progress();
  ASSERT_GE(p.size(), 2u);
  EXPECT_EQ(p.front(), 0);
  EXPECT_EQ(p.back(), 100);
  for (std::size_t i = 0; i + 1 < p.size(); ++i) {
    EXPECT_LT(p[i], p[i + 1]);
    EXPECT_LE(p[i], 95);
  }
  EXPECT_EQ(jobs.FileEncoding(), 3);
  EXPECT_EQ(jobs.FileEncodingText(), "UTF-8 BOM");
}

TEST_F(QMemoThreadsTest, BackgroundSaveWritesTheTextAsItWasAtTheStart) {
  const std::string path = dir.File("out.txt");
  WriteTestFile(path, "old");
  TQMemoFileJobs jobs(host);
  std::string text = "a [[U+1F600]]\r\nb";
  ASSERT_TRUE(jobs.SaveToFileAsync(path, text, 3));
  text = "changed after the start";
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !jobs.LoadSaveBusy(); }, 10000));
  EXPECT_EQ(ReadTestFile(path), "\xEF\xBB\xBF" "a \xF0\x9F\x98\x80\r\nb");
  EXPECT_EQ(jobs.FileEncoding(), 3);
  ASSERT_FALSE(host.calls.empty());
  EXPECT_EQ(host.calls.back().what, "done");
  EXPECT_FALSE(host.calls.back().loading);
  EXPECT_EQ(host.calls.back().value, 1);
  EXPECT_EQ(host.Count("apply"), 0);
  EXPECT_EQ(host.Progress().back(), 100);
  for (const auto& c : host.calls) EXPECT_EQ(c.thread, mainThread) << c.what;
}

TEST_F(QMemoThreadsTest, FailuresEndAtZeroAndChangeNothing) {
  TQMemoFileJobs jobs(host);
  jobs.SetFileEncoding(2);
  // A load of a missing file.
  ASSERT_TRUE(jobs.LoadFromFileAsync(dir.File("missing.txt")));
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !jobs.LoadSaveBusy(); }, 10000));
  EXPECT_EQ(host.Count("apply"), 0);
  ASSERT_FALSE(host.calls.empty());
  EXPECT_EQ(host.calls.back().what, "done");
  EXPECT_EQ(host.calls.back().value, 0);
  EXPECT_EQ(host.Progress(), (std::vector<int>{0}));  // 0 at the start, not again at the end

  // An ANSI save of a character the code page lacks: the old file stays.
  host.calls.clear();
  const std::string path = dir.File("keep.txt");
  WriteTestFile(path, "old");
  ASSERT_TRUE(jobs.SaveToFileAsync(path, "[[U+0F00]]", 1));
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !jobs.LoadSaveBusy(); }, 10000));
  EXPECT_EQ(host.calls.back().what, "done");
  EXPECT_EQ(host.calls.back().value, 0);
  EXPECT_EQ(ReadTestFile(path), "old");
  EXPECT_FALSE(PathExists(path + ".tmp"));
  EXPECT_EQ(jobs.FileEncoding(), 2);

  // An encoding outside 0..3: refused before the disk, synchronously and not.
  host.calls.clear();
  EXPECT_FALSE(jobs.SaveToFileAsync(path, "new", 7));
  EXPECT_FALSE(jobs.LoadSaveBusy());
  EXPECT_FALSE(jobs.SaveToFile(path, "new", 4));
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(ReadTestFile(path), "old");
  EXPECT_EQ(jobs.FileEncoding(), 2);
}

TEST_F(QMemoThreadsTest, TheEstimateClimbsOnTheTimerAndStopsAtNinetyFive) {
  const std::string path = dir.File("slow.txt");
  WriteTestFile(path, Lines(10));
  TGatedDisk disk;
  TQMemoFileJobs jobs(host, disk);
  jobs.SetEstimateLoadMsPer1000Lines(1);  // expected: the floor of 300 ms
  disk.Close();
  ASSERT_TRUE(jobs.LoadFromFileAsync(path));
  EXPECT_EQ(jobs.AsyncExpectedMs(), 300);
  // The job is held; the timer reports the estimate meanwhile.
  UiTest::PumpUntil([&] { return !host.Progress().empty() && host.Progress().back() == 95; }, 5000);
  UiTest::PumpUntil([] { return false; }, 200);
  EXPECT_TRUE(jobs.LoadSaveBusy());
  std::vector<int> p = host.Progress();
  ASSERT_GE(p.size(), 3u);
  EXPECT_EQ(p.back(), 95);  // held at 95 however long the job takes
  disk.Open();
  ASSERT_TRUE(UiTest::PumpUntil([&] { return !jobs.LoadSaveBusy(); }, 10000));
  p = host.Progress();
  EXPECT_EQ(p.back(), 100);
  for (std::size_t i = 0; i + 1 < p.size(); ++i) EXPECT_LT(p[i], p[i + 1]);
  // The slow job taught the estimate: well above the 1 ms it started with.
  EXPECT_GT(jobs.EstimateLoadMsPer1000Lines(), 1000);
}

TEST_F(QMemoThreadsTest, AnEditorDestroyedDuringItsJobIsNeverCalledBack) {
  const std::string path = dir.File("out.txt");
  WriteTestFile(path, "old");
  TGatedDisk disk;
  disk.Close();
  auto jobs = std::make_unique<TQMemoFileJobs>(host, disk);
  ASSERT_TRUE(jobs->SaveToFileAsync(path, "saved anyway", 2));
  host.calls.clear();
  jobs.reset();  // returns at once: the thread is detached, not waited for
  EXPECT_EQ(TQMemoFileJobs::DetachedJobCount(), 1);
  disk.Open();
  ASSERT_TRUE(UiTest::PumpUntil([] {
    TQMemoFileJobs::ReapDetachedJobs();
    return TQMemoFileJobs::DetachedJobCount() == 0;
  }, 10000));
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(ReadTestFile(path), "saved anyway");  // the save itself completed
}

TEST_F(QMemoThreadsTest, AHandlerMayDestroyTheEditorInsideTheCompletion) {
  const std::string path = dir.File("in.txt");
  WriteTestFile(path, "abc");
  for (const char* when : {"apply", "progress", "done"}) {
    host.calls.clear();
    auto jobs = std::make_unique<TQMemoFileJobs>(host);
    bool started = false;
    host.after = [&](const TRecordingHost::TCall& c) {
      if (started && c.what == when && (c.what != "progress" || c.value == 100)) jobs.reset();
    };
    ASSERT_TRUE(jobs->LoadFromFileAsync(path));
    started = true;
    ASSERT_TRUE(UiTest::PumpUntil([&] { return !jobs; }, 10000)) << when;
    host.after = nullptr;
    EXPECT_EQ(host.calls.back().what, when);  // nothing after the editor went
    ASSERT_TRUE(UiTest::PumpUntil([] {
      TQMemoFileJobs::ReapDetachedJobs();
      return TQMemoFileJobs::DetachedJobCount() == 0;
    }, 10000)) << when;
  }
}

TEST_F(QMemoThreadsTest, SynchronousLoadAndSave) {
  const std::string path = dir.File("sync.txt");
  WriteTestFile(path, "caf\xC3\xA9 \xF0\x9F\x91\x8D");
  TQMemoFileJobs jobs(host);
  jobs.SetFileEncoding(0);
  EXPECT_EQ(jobs.FileEncoding(), 2);
  ASSERT_TRUE(jobs.LoadFromFile(path));
  ASSERT_EQ(host.Count("apply"), 1);
  EXPECT_EQ(host.calls[0].value, 2);
  EXPECT_EQ(host.calls[0].text.substr(4), " [[U+1F44D]]");
  EXPECT_FALSE(jobs.LoadFromFile(dir.File("none.txt")));
  EXPECT_EQ(host.Count("apply"), 1);

  ASSERT_TRUE(jobs.SaveToFile(path, "x", 3));
  EXPECT_EQ(jobs.FileEncoding(), 3);
  ASSERT_TRUE(jobs.SaveToFile(path, "y"));  // 0: the encoding in use
  EXPECT_EQ(ReadTestFile(path), "\xEF\xBB\xBFy");
  jobs.ResetFileEncodingForNewFile();
  EXPECT_EQ(jobs.FileEncoding(), 2);
  // No events for the synchronous forms.
  EXPECT_EQ(host.Count("progress") + host.Count("done"), 0);
}
