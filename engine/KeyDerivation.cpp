#include "engine/KeyDerivation.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Platform.h"
#include "engine/CpuFeatures.h"
#include "engine/Hmac.h"
#include "engine/Sha256Kernels.h"

namespace {

constexpr std::int64_t kMaxOutput = 8192;
// Below this many iterations a chain takes well under a millisecond, less
// than it costs to start the threads that would share the work.
constexpr std::uint32_t kThreadedFrom = 20000;
// Rounds of one chain between two looks at the stop flag: a few
// milliseconds at most, so a stop is seen at once even at the largest
// iteration count a header can hold.
constexpr std::uint32_t kSliceRounds = 8192;
// How often the calling thread, done with its own share, reports while its
// helpers finish theirs.
constexpr auto kWaitReportInterval = std::chrono::milliseconds(10);

// The contexts that every block of one job starts from: keyed with the
// password, and keyed with the salt fed as well.
struct TJobContexts {
  THmacSha256Context Keyed;
  THmacSha256Context Salted;
};

// One or two consecutive output blocks of one job, derived as interleaved
// chains on one thread.
struct TTask {
  int Job;
  std::uint32_t FirstBlock;  // counted from 1, as in the block index
  int Chains;
};

// The hash kernels may leave chaining words in spilled registers on the
// stack; each thread that derived overwrites the stack below its frame
// before it goes back to other work or ends.
[[gnu::noinline]] void BurnStack() {
  unsigned char area[4096];
  Platform::SecureZero(area, sizeof area);
}

// What the threads of one derivation share beside their tasks: the rounds
// done (counted over every chain), the stop flag, and the report that only
// the calling thread makes.
struct TShared {
  std::atomic<std::uint64_t> Done{0};
  std::atomic<bool> Stop{false};
  std::uint64_t Total = 0;
  const TPbkdf2Progress* Progress = nullptr;
  std::thread::id Caller;

  // After a slice: counts it, and on the calling thread asks whether to go
  // on. False once the derivation is to stop.
  bool Slice(std::uint64_t rounds) {
    const std::uint64_t done = Done.fetch_add(rounds) + rounds;
    if (*Progress && std::this_thread::get_id() == Caller && !(*Progress)(done, Total)) Stop.store(true);
    return !Stop.load();
  }
};

// False when the derivation stopped before the task was done; nothing of
// the task's output is written then.
bool RunTask(const TPbkdf2Job& job, const TJobContexts& ctx, const TTask& task, TShared& shared) {
  std::uint32_t u[2][8];
  std::uint32_t t[2][8];
  std::uint8_t tag[HmacSha256TagSize];
  for (int c = 0; c < task.Chains; ++c) {
    const std::uint32_t i = task.FirstBlock + static_cast<std::uint32_t>(c);
    const std::uint8_t index[4] = {static_cast<std::uint8_t>(i >> 24), static_cast<std::uint8_t>(i >> 16),
                                   static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
    HmacSha256FinalCopy(ctx.Salted, index, sizeof index, tag);
    for (int w = 0; w < 8; ++w) {
      u[c][w] = (std::uint32_t(tag[4 * w]) << 24) | (std::uint32_t(tag[4 * w + 1]) << 16) |
                (std::uint32_t(tag[4 * w + 2]) << 8) | std::uint32_t(tag[4 * w + 3]);
      t[c][w] = u[c][w];
    }
  }
  const std::uint32_t iterations = job.Iterations == 0 ? 1 : job.Iterations;
  // The chains carry all their state in U and T, so rounds run in slices
  // give the bytes of one run.
  const auto chains = static_cast<std::size_t>(task.Chains);
  const bool shaNi = CpuFeatures::HasSHA();
  bool stopped = !shared.Slice(chains);
  for (std::uint32_t left = iterations - 1; left > 0 && !stopped;) {
    const std::uint32_t rounds = left < kSliceRounds ? left : kSliceRounds;
    if (shaNi)
      Sha256Kernels::Pbkdf2ChainsShaNi(ctx.Keyed.Inner.State, ctx.Keyed.Outer.State, u, t, chains, rounds);
    else
      Sha256Kernels::Pbkdf2ChainsPortable(ctx.Keyed.Inner.State, ctx.Keyed.Outer.State, u, t, chains, rounds);
    left -= rounds;
    stopped = !shared.Slice(std::uint64_t(rounds) * chains);
  }
  for (int c = 0; c < task.Chains && !stopped; ++c) {
    std::int64_t at = (std::int64_t(task.FirstBlock) + c - 1) * 32;
    for (int w = 0; w < 8 && at < job.OutLength; ++w)
      for (int shift = 24; shift >= 0 && at < job.OutLength; shift -= 8)
        job.Out[at++] = static_cast<std::uint8_t>(t[c][w] >> shift);
  }
  Platform::SecureZero(u, sizeof u);
  Platform::SecureZero(t, sizeof t);
  Platform::SecureZero(tag, sizeof tag);
  return !stopped;
}

}  // namespace

bool Pbkdf2HmacSha256Many(const TPbkdf2Job* jobs, int count, TPbkdf2Threads threads,
                          const TPbkdf2Progress& progress, bool* stopped) {
  if (stopped) *stopped = false;
  if (count <= 0) return true;
  if (jobs == nullptr) return false;
  std::int64_t totalBlocks = 0;
  std::uint32_t maxIterations = 0;
  for (int j = 0; j < count; ++j) {
    const TPbkdf2Job& job = jobs[j];
    if (job.Password == nullptr || job.PasswordLength < 0 || job.Out == nullptr || job.OutLength <= 0 ||
        job.OutLength > kMaxOutput)
      return false;
    totalBlocks += (job.OutLength + 31) / 32;
    if (job.Iterations > maxIterations) maxIterations = job.Iterations;
  }

  unsigned hardware = std::thread::hardware_concurrency();
  if (hardware == 0) hardware = 1;
  bool threaded = threads == TPbkdf2Threads::Always ||
                  (threads == TPbkdf2Threads::Automatic && hardware > 1 && maxIterations >= kThreadedFrom);
  if (threads == TPbkdf2Threads::Never) threaded = false;

  // With a thread for every block, one chain per task gives the shortest
  // wall time; with fewer threads than blocks, two chains interleaved on one
  // thread cost far less than two chains one after the other.
  const int chainsPerTask = threaded && totalBlocks <= static_cast<std::int64_t>(hardware) ? 1 : 2;

  std::vector<TJobContexts> contexts(static_cast<std::size_t>(count));
  std::vector<TTask> tasks;
  for (int j = 0; j < count; ++j) {
    const TPbkdf2Job& job = jobs[j];
    TJobContexts& ctx = contexts[static_cast<std::size_t>(j)];
    HmacSha256Init(ctx.Keyed, job.Password, job.PasswordLength);
    ctx.Salted = ctx.Keyed;
    HmacSha256Update(ctx.Salted, job.Salt, job.SaltLength);
    const auto blocks = static_cast<std::uint32_t>((job.OutLength + 31) / 32);
    for (std::uint32_t b = 1; b <= blocks; b += static_cast<std::uint32_t>(chainsPerTask)) {
      const std::uint32_t left = blocks - b + 1;
      tasks.push_back({j, b, left < static_cast<std::uint32_t>(chainsPerTask) ? static_cast<int>(left)
                                                                              : chainsPerTask});
    }
  }

  TShared shared;
  shared.Progress = &progress;
  shared.Caller = std::this_thread::get_id();
  for (const TTask& task : tasks) {
    const std::uint32_t iterations = jobs[task.Job].Iterations;
    shared.Total += std::uint64_t(iterations == 0 ? 1 : iterations) * static_cast<std::uint64_t>(task.Chains);
  }

  std::atomic<std::size_t> next{0};
  // Helpers still at work; the last one to finish wakes the calling thread
  // at once, not at its next report.
  int running = 0;
  std::mutex runningLock;
  std::condition_variable allDone;
  auto work = [&] {
    for (std::size_t k = next.fetch_add(1); k < tasks.size() && !shared.Stop.load(); k = next.fetch_add(1)) {
      const TTask& task = tasks[k];
      RunTask(jobs[task.Job], contexts[static_cast<std::size_t>(task.Job)], task, shared);
    }
    BurnStack();
  };

  std::vector<std::thread> workers;
  if (threaded) {
    std::size_t wanted = tasks.size() < hardware ? tasks.size() : hardware;
    for (std::size_t w = 1; w < wanted; ++w) {
      try {
        {
          std::lock_guard<std::mutex> hold(runningLock);
          ++running;
        }
        workers.emplace_back([&] {
          work();
          std::lock_guard<std::mutex> hold(runningLock);
          if (--running == 0) allDone.notify_all();
        });
      } catch (...) {
        std::lock_guard<std::mutex> hold(runningLock);
        --running;
        break;  // the calling thread takes on what is left
      }
    }
  }
  work();
  // The helpers' rounds are reported, and a stop passed on, while they
  // finish their shares.
  if (progress) {
    std::unique_lock<std::mutex> hold(runningLock);
    while (!allDone.wait_for(hold, kWaitReportInterval, [&] { return running == 0; })) {
      hold.unlock();
      if (!shared.Stop.load() && !progress(shared.Done.load(), shared.Total)) shared.Stop.store(true);
      hold.lock();
    }
  }
  for (std::thread& t : workers) t.join();

  for (TJobContexts& ctx : contexts) {
    HmacSha256Wipe(ctx.Keyed);
    HmacSha256Wipe(ctx.Salted);
  }
  if (shared.Stop.load()) {
    // Blocks finished before the stop came are not handed out either.
    for (int j = 0; j < count; ++j) Platform::SecureZero(jobs[j].Out, static_cast<std::size_t>(jobs[j].OutLength));
    if (stopped) *stopped = true;
    return false;
  }
  return true;
}
