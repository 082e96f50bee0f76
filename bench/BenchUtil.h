// Helpers shared by the engine benchmark programs: running the registered
// benchmarks, loading every core while one runs, and printing how ours
// compare with a peer's.
#pragma once

#include <benchmark/benchmark.h>
#include <sched.h>

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/CpuFeatures.h"

namespace bench {

// The lower bound for one PBKDF2-HMAC-SHA256 chain of iterations on this
// processor: each iteration is two dependent SHA-256 blocks of 32 dependent
// sha256rnds2 instructions, so it takes at least 64 times that
// instruction's latency. Measured here as a bare chain of those instructions.
__attribute__((target("sha,sse4.1"))) inline void Rnds2Chain(benchmark::State& state, std::uint32_t iterations) {
  if (!CpuFeatures::Detected().SHA) {
    state.SkipWithError("no SHA extensions");
    return;
  }
  __m128i abef = _mm_set1_epi32(1), cdgh = _mm_set1_epi32(2);
  const __m128i msg = _mm_set1_epi32(3);
  for (auto _ : state) {
    for (std::uint32_t i = 0; i < iterations * 32; ++i) {
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, msg);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, msg);
    }
    benchmark::DoNotOptimize(abef);
  }
}

// The median of a set of times.
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The wall time fn takes, in milliseconds.
template <class Fn>
double MillisecondsOf(Fn fn) {
  const auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The processors this process may run on, as nproc counts them.
inline unsigned ProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1;
}

// While it lives, one busy thread per processor competes with the benchmark,
// as on a machine where everything else is running too. The threads are all
// spinning before the constructor returns.
class TBusyThreads {
 public:
  TBusyThreads() : TBusyThreads(ProcessorCount()) {}
  explicit TBusyThreads(unsigned count) {
    for (unsigned i = 0; i < count; ++i)
      threads_.emplace_back([this] {
        started_.fetch_add(1);
        std::uint64_t x = 1;
        while (!stop_.load(std::memory_order_relaxed)) {
          x = x * 6364136223846793005u + 1442695040888963407u;
          benchmark::DoNotOptimize(x);
        }
      });
    while (started_.load() < count) std::this_thread::yield();
  }
  ~TBusyThreads() {
    stop_.store(true);
    for (std::thread& t : threads_) t.join();
  }
  TBusyThreads(const TBusyThreads&) = delete;
  TBusyThreads& operator=(const TBusyThreads&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::atomic<unsigned> started_{0};
  std::vector<std::thread> threads_;
};

// The benchmark function fn with its arguments, run while every processor
// is kept busy.
template <class Fn, class... Args>
auto Loaded(Fn fn, Args... args) {
  return [=](benchmark::State& state) {
    TBusyThreads busy;
    fn(state, args...);
  };
}

// Keeps each benchmark's time per iteration and its counters (the medians of
// its repetitions, or its one run), so the ratios can be printed at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const std::string& name = r.run_name.function_name;
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        times_[name] = r.GetAdjustedRealTime();
      else if (r.run_type == Run::RT_Iteration && r.repetitions <= 1)
        times_[name] = r.GetAdjustedRealTime();
      if (r.run_type == Run::RT_Iteration || (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median"))
        for (const auto& [counter, value] : r.counters) counters_[name + "/" + counter] = value.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
  }
  // A counter of benchmark name, -1 when there was none.
  double Counter(const std::string& name, const std::string& counter) const {
    auto it = counters_.find(name + "/" + counter);
    return it == counters_.end() ? -1 : it->second;
  }
  // One "RATIO" line comparing ours with peer; nothing when either was
  // filtered out. Throughput ratio = peer time / our time; time ratio = our
  // time / peer time.
  void PrintRatio(const char* label, const std::string& ours, const std::string& peer, bool timeRatio,
                  const char* target) const {
    const double o = Time(ours), p = Time(peer);
    if (o <= 0 || p <= 0) return;
    std::printf("RATIO %-58s %6.3f  (target %s)\n", label, timeRatio ? o / p : p / o, target);
  }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, double> counters_;
};

// Parses the command line and runs the registered benchmarks through
// reporter. False when the command line holds an argument it does not know.
inline bool RunBenchmarks(int& argc, char** argv, TRatioReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return true;
}

}  // namespace bench
