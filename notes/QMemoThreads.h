// The notes editor's file load and save, on the main thread or on a
// background thread, with an estimated progress that learns how long jobs
// take.
//
// TQMemoFileJobs is the part of the editor that owns all of it: the file
// encoding, the job in progress, the 80 ms progress timer and the timing
// estimates. The editor implements IQMemoFileHost (apply a loaded text,
// fire its two events) and forwards its properties and methods here.
//
// One job at a time. A worker touches only its own fields and the file;
// its result reaches the editor through the synchronous call to the main
// thread. An editor may be destroyed while its job runs: the job is then
// detached (it finishes its file work, a save still completes) and its
// completion finds no editor to report to.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Thread.h"
#include "notes/text/LoadSaveProgress.h"
#include "notes/text/TextFile.h"
#include "ui/ExtCtrls.h"

// What the editor provides to its file jobs. Called on the main thread only.
class IQMemoFileHost {
 public:
  virtual ~IQMemoFileHost() = default;
  // A load succeeded: the editor takes text as its whole new content (not
  // an undoable change; the undo history starts afresh). The file encoding
  // is already set when this runs.
  virtual void FileJobApplyText(const std::string& text, int encoding) = 0;
  // OnLoadSaveProgress(Sender, Loading, Percent).
  virtual void FileJobProgress(bool loading, int percent) = 0;
  // OnLoadSaveDone(Sender, Loading, Success).
  virtual void FileJobDone(bool loading, bool success) = 0;
};

class TQMemoFileJobs;

// The tie between an editor's jobs and a running thread. The editor's side
// clears it, on the main thread, when it goes; the thread's completion,
// also on the main thread, reports only while it is set.
struct TQMemoJobLink {
  TQMemoFileJobs* jobs = nullptr;
};

// A background load: reads and decodes the file, then hands the result to
// the main thread.
class TQMemoLoadThread : public TThread {
 public:
  TQMemoLoadThread(std::shared_ptr<TQMemoJobLink> link, std::string fileName,
                   NoteText::TTextFileSystem& fs);
  ~TQMemoLoadThread() override;

 protected:
  void Execute() override;

 private:
  std::shared_ptr<TQMemoJobLink> owner_;
  std::string fileName_;
  std::string text_;
  std::uint8_t encoding_ = NoteText::kEncodingUtf8;
  bool success_ = false;
  int lineCount_ = 0;
  NoteText::TTextFileSystem& fs_;
};

// A background save of a copy of the text as it was when the save started.
class TQMemoSaveThread : public TThread {
 public:
  TQMemoSaveThread(std::shared_ptr<TQMemoJobLink> link, std::string fileName, std::string text,
                   std::uint8_t encoding, NoteText::TTextFileSystem& fs);
  ~TQMemoSaveThread() override;

 protected:
  void Execute() override;

 private:
  std::shared_ptr<TQMemoJobLink> owner_;
  std::string fileName_;
  std::string text_;
  std::uint8_t encoding_;
  bool success_ = false;
  int lineCount_ = 0;
  NoteText::TTextFileSystem& fs_;
};

class TQMemoFileJobs {
 public:
  // fs is the disk the jobs use (tests pass one that can fail or wait); it
  // must outlive every job started here.
  explicit TQMemoFileJobs(IQMemoFileHost& host,
                          NoteText::TTextFileSystem& fs = NoteText::TTextFileSystem::Disk());
  // A job still running is detached: it completes its file work but reports
  // to nobody.
  ~TQMemoFileJobs();
  TQMemoFileJobs(const TQMemoFileJobs&) = delete;
  TQMemoFileJobs& operator=(const TQMemoFileJobs&) = delete;

  // The encoding of the last load or last successful save; 2 to begin with.
  int FileEncoding() const { return fileEncoding_; }
  // 0 stores 2.
  void SetFileEncoding(int encoding);
  void ResetFileEncodingForNewFile() { fileEncoding_ = NoteText::kEncodingUtf8; }
  // "ANSI", "UTF-8" or "UTF-8 BOM".
  std::string FileEncodingText() const { return NoteText::FileEncodingText(fileEncoding_); }

  // Synchronous load: on success the encoding is set and the host applies
  // the text; false (the editor then raises "Could not load file.") leaves
  // the editor as it was.
  bool LoadFromFile(const std::string& name);
  // Synchronous save of text (host text, CR LF). encoding 0 means
  // FileEncoding; a value outside 0..3 is refused before the disk is
  // touched. On success FileEncoding becomes the encoding used.
  bool SaveToFile(const std::string& name, const std::string& text, int encoding = 0);

  // Background load and save; false while a job runs (nothing is started),
  // when the save encoding is refused, or when no thread can be made.
  bool LoadFromFileAsync(const std::string& name);
  bool SaveToFileAsync(const std::string& name, const std::string& text, int encoding = 0);

  // From the start of a job until its completion has run on the main thread.
  bool LoadSaveBusy() const { return progress_.Busy(); }
  int EstimateLoadMsPer1000Lines() const { return estimateLoad_; }
  void SetEstimateLoadMsPer1000Lines(int ms) { estimateLoad_ = ms; }
  int EstimateSaveMsPer1000Lines() const { return estimateSave_; }
  void SetEstimateSaveMsPer1000Lines(int ms) { estimateSave_ = ms; }
  // The expected duration of the job in progress (at least 300 ms).
  int AsyncExpectedMs() const { return progress_.ExpectedMs(); }

  // The 80 ms timer that reports the estimate (tests run it with Tick()).
  TTimer& ProgressTimer() { return *progressTimer_; }

  // Main thread: waits until no job runs (servicing the job's completion).
  // False when timeoutMs ran out first.
  bool WaitForJob(int timeoutMs);

  // Completions, run on the main thread by the job's thread.
  void AsyncLoadFinished(const std::string& fileName, const std::string& text, int encoding,
                         bool success, int lineCount);
  void AsyncSaveFinished(const std::string& fileName, int encoding, bool success, int lineCount);

  // Threads of editors that went away before their job ended, deleted here
  // once they have finished (also done whenever a job starts).
  static void ReapDetachedJobs();
  static int DetachedJobCount();

 private:
  void StartAsyncProgress(bool loading, int expectedMs);
  void AsyncProgressTimer();
  void FinishAsyncProgress(bool success, int lineCount);
  void DoLoadSaveProgress(int percent);
  void ReleaseFinishedJob();

  IQMemoFileHost& host_;
  NoteText::TTextFileSystem& fs_;
  std::shared_ptr<TQMemoJobLink> link_;
  std::unique_ptr<TThread> job_;
  std::unique_ptr<TTimer> progressTimer_;
  NoteText::TLoadSaveProgress progress_;
  int fileEncoding_ = NoteText::kEncodingUtf8;
  int estimateLoad_ = 500;
  int estimateSave_ = 250;
};
