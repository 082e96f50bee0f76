// The estimated progress of the editor's background load and save, and the
// timing it learns from each finished job. Pure arithmetic over tick counts
// (milliseconds that wrap like GetTickCount); the control binding drives it
// from an 80 ms timer and reports what it returns.
#pragma once

#include <cstdint>

namespace NoteText {

// Expected duration of a load: steps (file size / 80) x ms per 1000 lines /
// 1000, in 64 bits (a large file would overflow 32), at most INT_MAX.
int ExpectedLoadMs(std::int64_t loadSteps, int msPer1000Lines);
// Expected duration of a save of lineCount lines (at least 1).
int ExpectedSaveMs(int lineCount, int msPer1000Lines);

// One job's progress.
class TLoadSaveProgress {
 public:
  // A job starts: busy, expected at least 300 ms, nothing reported yet.
  // Returns the first percentage to report (0).
  int Start(bool loading, int expectedMs, std::uint32_t now);

  bool Busy() const { return busy_; }
  bool Loading() const { return loading_; }
  int ExpectedMs() const { return expectedMs_; }

  // The estimate at tick now: elapsed x 95 / expected, at most 95.
  int PercentAt(std::uint32_t now) const;

  // What the editor reports: percent clamped to 0..100; false (nothing to
  // report) when it equals the last reported value.
  bool Accept(int& percent);

  // The job ended. On success with lineCount > 0 and time gone by, the
  // estimate of the job's kind learns the measured ms per 1000 lines:
  // (measured + 4 x old) / 5, or measured when old is not positive. The
  // job is no longer busy; returns the final percentage (100 on success,
  // 0 on failure).
  int Finish(bool success, int lineCount, std::uint32_t now, int& loadMsPer1000Lines,
             int& saveMsPer1000Lines);

 private:
  bool busy_ = false;
  bool loading_ = false;
  std::uint32_t startTick_ = 0;
  int expectedMs_ = 1000;
  int lastPercent_ = -1;
};

// The learning rule on its own: the new estimate from the old one and a
// measured job (elapsed ms over lineCount lines).
int LearnMsPer1000Lines(int oldEstimate, std::uint32_t elapsedMs, int lineCount);

}  // namespace NoteText
