// Writing and reading the vault text of large vaults: 10,000 and 100,000
// entries in 1,000 groups. Both directions must grow linearly; the floor is
// a plain split of the same text into lines.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "app/model/TextLines.h"
#include "app/model/VaultText.h"

namespace {

constexpr int kGroups = 1000;

std::string RandomText(std::mt19937& rng, int minLen, int maxLen) {
  static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .-_@";
  std::uniform_int_distribution<int> len(minLen, maxLen), pick(0, sizeof chars - 2);
  std::string s(static_cast<std::size_t>(len(rng)), ' ');
  for (char& c : s) c = chars[pick(rng)];
  return s;
}

// 100 top-level groups with 9 subgroups each; entries spread over all of
// them, with realistic field lengths and a few lines of notes.
void MakeVault(TVaultModel& m, int entries) {
  std::mt19937 rng(12345);
  std::vector<TVaultGroup*> groups;
  for (int top = 0; top < kGroups / 10; ++top) {
    TVaultGroup* g = m.Groups.Add(nullptr, "Group " + std::to_string(top), top % 50);
    groups.push_back(g);
    for (int sub = 0; sub < 9; ++sub) groups.push_back(m.Groups.Add(g, RandomText(rng, 4, 16), sub));
  }
  std::uniform_int_distribution<int> groupOf(0, kGroups - 1), lines(0, 3), icon(0, 60);
  for (int i = 0; i < entries; ++i) {
    auto e = std::make_unique<TVaultEntry>();
    e->id = i + 1;
    e->icon = icon(rng);
    e->group = groups[static_cast<std::size_t>(groupOf(rng))];
    e->title = RandomText(rng, 6, 30);
    e->username = RandomText(rng, 4, 20);
    e->password = RandomText(rng, 12, 24);
    e->url = "https://" + RandomText(rng, 8, 30);
    if (i % 4 == 0) e->automate = "USERNAME TAB PASSWORD ENTER";
    const int n = lines(rng);
    for (int l = 0; l < n; ++l) e->notes += (l ? "\r\n" : "") + RandomText(rng, 0, 60);
    m.Entries.push_back(std::move(e));
  }
}

void BM_BuildVaultText(benchmark::State& state) {
  TVaultModel m;
  MakeVault(m, static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = BuildVaultText(m);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

// Opening a vault: the text read into an empty model (the previous
// content is freed outside the timed part).
void BM_ParseVaultText(benchmark::State& state) {
  TVaultModel source;
  MakeVault(source, static_cast<int>(state.range(0)));
  const std::string text = BuildVaultText(source);
  TVaultModel m;
  for (auto _ : state) {
    state.PauseTiming();
    m.Clear();
    state.ResumeTiming();
    ParseVaultText(text, m);
    benchmark::DoNotOptimize(m.Entries.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

// Reopening: the same, with freeing (and wiping) the previous vault's
// entries inside the timed part.
void BM_ParseVaultTextReplacing(benchmark::State& state) {
  TVaultModel source;
  MakeVault(source, static_cast<int>(state.range(0)));
  const std::string text = BuildVaultText(source);
  TVaultModel m;
  for (auto _ : state) {
    ParseVaultText(text, m);
    benchmark::DoNotOptimize(m.Entries.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

// Texts whose lines end in CR alone or LF alone read as fast.
void BM_ParseVaultTextOneCharLineEnds(benchmark::State& state) {
  TVaultModel source;
  MakeVault(source, static_cast<int>(state.range(0)));
  std::string text = BuildVaultText(source), oneChar;
  oneChar.reserve(text.size());
  const char end = state.range(1) ? '\r' : '\n';
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      oneChar.push_back(end);
      ++i;
    } else {
      oneChar.push_back(text[i]);
    }
  }
  TVaultModel m;
  for (auto _ : state) {
    state.PauseTiming();
    m.Clear();
    state.ResumeTiming();
    ParseVaultText(oneChar, m);
    benchmark::DoNotOptimize(m.Entries.data());
  }
  if (m.Entries.size() != source.Entries.size()) state.SkipWithError("entries lost");
}

void BM_SplitLinesFloor(benchmark::State& state) {
  TVaultModel source;
  MakeVault(source, static_cast<int>(state.range(0)));
  const std::string text = BuildVaultText(source);
  for (auto _ : state) {
    std::size_t n = 0, sum = 0;
    ForEachTextLine(text, [&](std::string_view line) {
      ++n;
      sum += line.size();
    });
    benchmark::DoNotOptimize(n + sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

}  // namespace

BENCHMARK(BM_BuildVaultText)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseVaultText)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseVaultTextReplacing)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseVaultTextOneCharLineEnds)
    ->Args({10000, 1})->Args({100000, 1})->Args({100000, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitLinesFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
