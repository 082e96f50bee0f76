#include "notes/text/LoadSaveProgress.h"

#include <algorithm>
#include <climits>

namespace NoteText {

namespace {
int ClampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}
}  // namespace

int ExpectedLoadMs(std::int64_t loadSteps, int msPer1000Lines) {
  // Steps are at most 2^63 / 80 and the rate at most 2^31: divide first
  // when the product would not fit.
  const std::int64_t rate = msPer1000Lines;
  if (loadSteps > 0 && rate > 0 && loadSteps > INT64_MAX / rate) return INT_MAX;
  return ClampToInt(loadSteps * rate / 1000);
}

int ExpectedSaveMs(int lineCount, int msPer1000Lines) {
  return ClampToInt(static_cast<std::int64_t>(std::max(lineCount, 1)) * msPer1000Lines / 1000);
}

int TLoadSaveProgress::Start(bool loading, int expectedMs, std::uint32_t now) {
  busy_ = true;
  loading_ = loading;
  startTick_ = now;
  expectedMs_ = std::max(expectedMs, 300);
  lastPercent_ = -1;
  return 0;
}

int TLoadSaveProgress::PercentAt(std::uint32_t now) const {
  if (expectedMs_ <= 0) return 0;
  const std::int64_t elapsed = static_cast<std::uint32_t>(now - startTick_);
  return static_cast<int>(std::min<std::int64_t>(elapsed * 95 / expectedMs_, 95));
}

bool TLoadSaveProgress::Accept(int& percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == lastPercent_) return false;
  lastPercent_ = percent;
  return true;
}

int LearnMsPer1000Lines(int oldEstimate, std::uint32_t elapsedMs, int lineCount) {
  if (lineCount <= 0 || elapsedMs == 0) return oldEstimate;
  const std::int64_t measured =
      std::max<std::int64_t>(static_cast<std::int64_t>(elapsedMs) * 1000 / lineCount, 1);
  if (oldEstimate <= 0) return ClampToInt(measured);
  return ClampToInt((measured + 4 * static_cast<std::int64_t>(oldEstimate)) / 5);
}

int TLoadSaveProgress::Finish(bool success, int lineCount, std::uint32_t now,
                              int& loadMsPer1000Lines, int& saveMsPer1000Lines) {
  if (success) {
    const std::uint32_t elapsed = now - startTick_;
    int& estimate = loading_ ? loadMsPer1000Lines : saveMsPer1000Lines;
    estimate = LearnMsPer1000Lines(estimate, elapsed, lineCount);
  }
  busy_ = false;
  return success ? 100 : 0;
}

}  // namespace NoteText
