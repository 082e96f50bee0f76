// The rules behind the entry list and the KeePass text file on large
// vaults: one search keystroke over 100,000 titles (the floor is a plain
// substring search of the same titles without case folding), and reading
// and writing a KeePass text file of 10,000 and 100,000 entries (the floor
// is splitting the same text into lines).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "app/model/EntryRules.h"
#include "app/model/KeePassText.h"
#include "app/model/TextLines.h"

namespace {

std::string RandomText(std::mt19937& rng, int minLen, int maxLen) {
  static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .-_@\xE9\xC9";
  std::uniform_int_distribution<int> len(minLen, maxLen), pick(0, sizeof chars - 2);
  std::string s(static_cast<std::size_t>(len(rng)), ' ');
  for (char& c : s) c = chars[pick(rng)];
  return s;
}

std::vector<std::string> Titles(int n) {
  std::mt19937 rng(7);
  std::vector<std::string> titles;
  titles.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) titles.push_back(RandomText(rng, 6, 30));
  return titles;
}

void BM_SearchKeystroke(benchmark::State& state) {
  const std::vector<std::string> titles = Titles(static_cast<int>(state.range(0)));
  int hits = 0;
  for (auto _ : state) {
    const TSearchQuery q("ab \xC9");
    hits = 0;
    for (const std::string& t : titles) hits += q.Matches(t) ? 1 : 0;
    benchmark::DoNotOptimize(hits);
  }
  state.counters["hits"] = hits;
}
BENCHMARK(BM_SearchKeystroke)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SearchFloorPlainFind(benchmark::State& state) {
  const std::vector<std::string> titles = Titles(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    int hits = 0;
    for (const std::string& t : titles) hits += (t.find("ab") != std::string::npos && t.find('\xE9') != std::string::npos);
    benchmark::DoNotOptimize(hits);
  }
}
BENCHMARK(BM_SearchFloorPlainFind)->Arg(100000)->Unit(benchmark::kMillisecond);

std::string KeePassFile(int entries) {
  std::mt19937 rng(11);
  std::string text = "\xEF\xBB\xBF";
  for (int i = 0; i < entries; ++i) {
    text += "[" + RandomText(rng, 6, 30) + "]\n";
    text += "Group: Group " + std::to_string(i % 200) + "\n";
    text += "Group Tree: Top " + std::to_string(i % 20) + "\n";
    text += "User Name: " + RandomText(rng, 4, 20) + "\n";
    text += "URL: https://" + RandomText(rng, 8, 30) + "\n";
    text += "Password: " + RandomText(rng, 12, 24) + "\n";
    text += "Notes: " + RandomText(rng, 0, 60) + "\n" + RandomText(rng, 0, 60) + "\n";
    text += "UUID: 0123456789abcdef0123456789abcdef\nIcon: 3\nCreation Time: 2010-01-01 00:00:00\n\n";
  }
  return text;
}

void BM_KeePassImport(benchmark::State& state) {
  const std::string file = KeePassFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TKeePassSource source;
    SplitKeePassText(file, source);
    TVLKeePassTextEntries parsed;
    std::string error;
    int generated = 0, skipped = 0;
    ParseKeePassText(source, parsed, error, generated, skipped);
    TVaultModel vault;
    ImportKeePassEntries(vault, parsed, 303);
    benchmark::DoNotOptimize(vault.Entries.data());
  }
  state.counters["MB"] = static_cast<double>(file.size()) / 1e6;
}
BENCHMARK(BM_KeePassImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_KeePassExport(benchmark::State& state) {
  const std::string file = KeePassFile(static_cast<int>(state.range(0)));
  TKeePassSource source;
  SplitKeePassText(file, source);
  TVLKeePassTextEntries parsed;
  std::string error;
  int generated = 0, skipped = 0;
  ParseKeePassText(source, parsed, error, generated, skipped);
  TVaultModel vault;
  ImportKeePassEntries(vault, parsed, 303);
  for (auto _ : state) {
    std::string text = BuildKeePassText(vault);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_KeePassExport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_KeePassFloorSplitLines(benchmark::State& state) {
  const std::string file = KeePassFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::vector<std::string> lines;
    ForEachTextLine(file, [&](std::string_view l) { lines.emplace_back(l); });
    benchmark::DoNotOptimize(lines.data());
  }
}
BENCHMARK(BM_KeePassFloorSplitLines)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
