#include "engine/KeyDerivation.h"

#include <atomic>
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

void RunTask(const TPbkdf2Job& job, const TJobContexts& ctx, const TTask& task) {
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
  if (iterations > 1) {
    const auto chains = static_cast<std::size_t>(task.Chains);
    if (CpuFeatures::HasSHA())
      Sha256Kernels::Pbkdf2ChainsShaNi(ctx.Keyed.Inner.State, ctx.Keyed.Outer.State, u, t, chains, iterations - 1);
    else
      Sha256Kernels::Pbkdf2ChainsPortable(ctx.Keyed.Inner.State, ctx.Keyed.Outer.State, u, t, chains,
                                          iterations - 1);
  }
  for (int c = 0; c < task.Chains; ++c) {
    std::int64_t at = (std::int64_t(task.FirstBlock) + c - 1) * 32;
    for (int w = 0; w < 8 && at < job.OutLength; ++w)
      for (int shift = 24; shift >= 0 && at < job.OutLength; shift -= 8)
        job.Out[at++] = static_cast<std::uint8_t>(t[c][w] >> shift);
  }
  Platform::SecureZero(u, sizeof u);
  Platform::SecureZero(t, sizeof t);
  Platform::SecureZero(tag, sizeof tag);
}

}  // namespace

bool Pbkdf2HmacSha256Many(const TPbkdf2Job* jobs, int count, TPbkdf2Threads threads) {
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

  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t k = next.fetch_add(1); k < tasks.size(); k = next.fetch_add(1)) {
      const TTask& task = tasks[k];
      RunTask(jobs[task.Job], contexts[static_cast<std::size_t>(task.Job)], task);
    }
    BurnStack();
  };

  std::vector<std::thread> workers;
  if (threaded) {
    std::size_t wanted = tasks.size() < hardware ? tasks.size() : hardware;
    for (std::size_t w = 1; w < wanted; ++w) {
      try {
        workers.emplace_back(work);
      } catch (...) {
        break;  // the calling thread takes on what is left
      }
    }
  }
  work();
  for (std::thread& t : workers) t.join();

  for (TJobContexts& ctx : contexts) {
    HmacSha256Wipe(ctx.Keyed);
    HmacSha256Wipe(ctx.Salted);
  }
  return true;
}
