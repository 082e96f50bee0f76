#include "notes/QMemoThreads.h"

#include <algorithm>
#include <vector>

#include "base/Platform.h"
#include "base/Wipe.h"
#include "notes/text/LineText.h"

namespace {

// Threads whose editor went away first. Only the main thread touches the
// list; whatever is left at exit is waited for then.
std::vector<std::unique_ptr<TThread>>& DetachedJobs() {
  static std::vector<std::unique_ptr<TThread>> jobs;
  return jobs;
}

}  // namespace

// ---------------------------------------------------------------------------

TQMemoLoadThread::TQMemoLoadThread(std::shared_ptr<TQMemoJobLink> link, std::string fileName,
                                   NoteText::TTextFileSystem& fs)
    : owner_(std::move(link)), fileName_(std::move(fileName)), fs_(fs) {}

TQMemoLoadThread::~TQMemoLoadThread() {
  WaitFor();
  WipeString(text_);
}

void TQMemoLoadThread::Execute() {
  int encoding = NoteText::kEncodingUtf8;
  try {
    success_ = NoteText::LoadTextFileWorker(fileName_, text_, encoding, lineCount_, fs_);
  } catch (...) {
    success_ = false;
  }
  encoding_ = static_cast<std::uint8_t>(encoding);
  try {
    Synchronize([this] {
      if (owner_->jobs) owner_->jobs->AsyncLoadFinished(fileName_, text_, encoding_, success_, lineCount_);
    });
  } catch (...) {
    // The editor's handlers report their own failures; nothing leaves a thread.
  }
}

// ---------------------------------------------------------------------------

TQMemoSaveThread::TQMemoSaveThread(std::shared_ptr<TQMemoJobLink> link, std::string fileName,
                                   std::string text, std::uint8_t encoding,
                                   NoteText::TTextFileSystem& fs)
    : owner_(std::move(link)), fileName_(std::move(fileName)), text_(std::move(text)),
      encoding_(encoding), fs_(fs) {}

TQMemoSaveThread::~TQMemoSaveThread() {
  WaitFor();
  WipeString(text_);
}

void TQMemoSaveThread::Execute() {
  bool counted = false;
  try {
    lineCount_ = NoteText::CountLines(text_);
    counted = true;
    success_ = NoteText::SaveTextFileWorker(fileName_, text_, encoding_, fs_);
  } catch (...) {
    success_ = false;
  }
  if (!counted) success_ = false;
  WipeString(text_);
  try {
    Synchronize([this] {
      if (owner_->jobs) owner_->jobs->AsyncSaveFinished(fileName_, encoding_, success_, lineCount_);
    });
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------

TQMemoFileJobs::TQMemoFileJobs(IQMemoFileHost& host, NoteText::TTextFileSystem& fs)
    : host_(host), fs_(fs), link_(std::make_shared<TQMemoJobLink>()),
      progressTimer_(std::make_unique<TTimer>(nullptr)) {
  link_->jobs = this;
  progressTimer_->SetEnabled(false);
  progressTimer_->SetInterval(80);
  progressTimer_->OnTimer = [this](TObject*) { AsyncProgressTimer(); };
}

TQMemoFileJobs::~TQMemoFileJobs() {
  link_->jobs = nullptr;
  progressTimer_->OnTimer = nullptr;
  if (!job_) return;
  if (job_->Finished()) {
    job_.reset();
  } else {
    // Waiting here could block the program on a slow disk, or forever when
    // this runs inside the job's own completion: the thread finishes alone.
    DetachedJobs().push_back(std::move(job_));
  }
}

void TQMemoFileJobs::ReapDetachedJobs() {
  auto& jobs = DetachedJobs();
  jobs.erase(std::remove_if(jobs.begin(), jobs.end(), [](const std::unique_ptr<TThread>& t) { return t->Finished(); }),
             jobs.end());
}

int TQMemoFileJobs::DetachedJobCount() { return static_cast<int>(DetachedJobs().size()); }

void TQMemoFileJobs::SetFileEncoding(int encoding) {
  fileEncoding_ = encoding == 0 ? NoteText::kEncodingUtf8 : encoding;
}

bool TQMemoFileJobs::LoadFromFile(const std::string& name) {
  std::string text;
  int encoding = NoteText::kEncodingUtf8, lines = 0;
  const bool ok = NoteText::LoadTextFileWorker(name, text, encoding, lines, fs_);
  if (ok) {
    fileEncoding_ = encoding;
    host_.FileJobApplyText(text, encoding);
  }
  WipeString(text);
  return ok;
}

bool TQMemoFileJobs::SaveToFile(const std::string& name, const std::string& text, int encoding) {
  const int used = NoteText::ResolveSaveEncoding(encoding, fileEncoding_);
  if (used < 0) return false;
  if (!NoteText::SaveTextFileWorker(name, text, used, fs_)) return false;
  fileEncoding_ = used;
  return true;
}

void TQMemoFileJobs::ReleaseFinishedJob() {
  // The last job's completion has run; its thread is at most a few
  // instructions from its end.
  if (job_ && !LoadSaveBusy()) job_.reset();
}

bool TQMemoFileJobs::LoadFromFileAsync(const std::string& name) {
  if (LoadSaveBusy()) return false;
  ReapDetachedJobs();
  ReleaseFinishedJob();
  const int expected = NoteText::ExpectedLoadMs(NoteText::EstimateLoadSteps(name, fs_), estimateLoad_);
  auto thread = std::make_unique<TQMemoLoadThread>(link_, name, fs_);
  // The completion can only run once this returns to a message loop, so the
  // progress may start after the thread.
  if (!thread->Start()) return false;
  job_ = std::move(thread);
  StartAsyncProgress(true, expected);
  return true;
}

bool TQMemoFileJobs::SaveToFileAsync(const std::string& name, const std::string& text, int encoding) {
  if (LoadSaveBusy()) return false;
  const int used = NoteText::ResolveSaveEncoding(encoding, fileEncoding_);
  if (used < 0) return false;
  ReapDetachedJobs();
  ReleaseFinishedJob();
  const int lines = std::max(NoteText::CountLines(text), 1);
  const int expected = NoteText::ExpectedSaveMs(lines, estimateSave_);
  auto thread = std::make_unique<TQMemoSaveThread>(link_, name, text, static_cast<std::uint8_t>(used), fs_);
  if (!thread->Start()) return false;
  job_ = std::move(thread);
  StartAsyncProgress(false, expected);
  return true;
}

bool TQMemoFileJobs::WaitForJob(int timeoutMs) {
  const std::uint32_t start = Platform::TickCount();
  while (LoadSaveBusy()) {
    if (static_cast<int>(Platform::TickCount() - start) > timeoutMs) return false;
    MainThread::CheckSynchronize(5);
  }
  return true;
}

void TQMemoFileJobs::StartAsyncProgress(bool loading, int expectedMs) {
  const int first = progress_.Start(loading, expectedMs, Platform::TickCount());
  progressTimer_->SetEnabled(false);
  progressTimer_->SetInterval(80);
  progressTimer_->SetEnabled(true);
  DoLoadSaveProgress(first);
}

void TQMemoFileJobs::AsyncProgressTimer() {
  if (!LoadSaveBusy()) {
    progressTimer_->SetEnabled(false);
    return;
  }
  DoLoadSaveProgress(progress_.PercentAt(Platform::TickCount()));
}

void TQMemoFileJobs::DoLoadSaveProgress(int percent) {
  if (progress_.Accept(percent)) host_.FileJobProgress(progress_.Loading(), percent);
}

void TQMemoFileJobs::FinishAsyncProgress(bool success, int lineCount) {
  progressTimer_->SetEnabled(false);
  const bool loading = progress_.Loading();
  const int last = progress_.Finish(success, lineCount, Platform::TickCount(), estimateLoad_, estimateSave_);
  // A handler may destroy the editor (and this object with it).
  const std::shared_ptr<TQMemoJobLink> link = link_;
  DoLoadSaveProgress(last);
  if (!link->jobs) return;
  host_.FileJobDone(loading, success);
}

void TQMemoFileJobs::AsyncLoadFinished(const std::string&, const std::string& text, int encoding,
                                       bool success, int lineCount) {
  const std::shared_ptr<TQMemoJobLink> link = link_;
  if (success) {
    fileEncoding_ = encoding;
    host_.FileJobApplyText(text, encoding);
    if (!link->jobs) return;
  }
  FinishAsyncProgress(success, lineCount);
}

void TQMemoFileJobs::AsyncSaveFinished(const std::string&, int encoding, bool success, int lineCount) {
  if (success) fileEncoding_ = encoding;
  FinishAsyncProgress(success, lineCount);
}
