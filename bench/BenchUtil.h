// Helpers shared by the engine benchmark programs: running the registered
// benchmarks and printing how ours compare with a peer's.
#pragma once

#include <benchmark/benchmark.h>

#include <immintrin.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
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

// Keeps each benchmark's time per iteration (the median of its repetitions)
// so the ratios can be printed at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const std::string& name = r.run_name.function_name;
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        times_[name] = r.GetAdjustedRealTime();
      else if (r.run_type == Run::RT_Iteration && r.repetitions <= 1)
        times_[name] = r.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
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
