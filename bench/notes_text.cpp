// The notes editor's code scans over large notes: function detection (and
// the function blocks built on it), comment blanking and brace matching, at
// 100 KiB and 1 MiB. Each must stay linear: compare the two sizes (the
// 1 MiB figure should be at most 12 times the 100 KiB one). Besides ordinary
// code, the notes include shapes that make naive scans quadratic: Python-like
// "def f(a):" lines (a ":" after a parameter list looks far ahead for "{"),
// prose whose apostrophes open strings that run across lines, brackets that
// are never closed, and one long line of regular-expression literals that
// never close.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "notes/text/CodeScan.h"
#include "notes/text/FunctionList.h"

namespace {

using namespace NoteText;

enum Shape { kCode, kPython, kProse, kUnbalanced, kOpenLiterals };

const char* const kChunks[] = {
    // kCode: script and C-family functions, comments, strings and literals.
    "// helpers for the login form\r"
    "function validate#(form, rules) {\r"
    "  const re = /^[a-z{}]+$/i; // a literal with braces\r"
    "  if (!re.test(form.user)) { return \"bad } user\"; }\r"
    "  /* block { comment */\r"
    "  return rules.every((r) => r(form));\r"
    "}\r"
    "handler# = async (e) => { await submit(e.target); }\r"
    "int Widget::area#(int w, int h) const {\r"
    "  char c = '{';\r"
    "  return w * h / 2;\r"
    "}\r"
    "Server password: x9'q(7 - rotate yearly.\r\r",
    // kPython
    "def f#(a):\r    return g(a) + 1\r\r",
    // kProse: apostrophes open strings that run on over the lines.
    "Don't forget (the router's admin page) - it's at the usual place.\r"
    "PIN for the car's alarm: 1234 (don't share).\r",
    // kUnbalanced
    "call(a, b {\rnext( x\r",
    // kOpenLiterals: one line; inside every block, each "/" after "(" starts
    // a literal whose "[" class never closes before the line's end.
    "v = { a(/[ b(/[ } ",
};

// The shape's chunk repeated to the size, each "#" replaced by the chunk's
// number so that every function has a name of its own.
std::string MakeNote(int shape, std::size_t bytes) {
  const std::string chunk = kChunks[shape];
  std::string note;
  note.reserve(bytes + 2 * chunk.size());
  for (int n = 0; note.size() < bytes; ++n) {
    for (char c : chunk) {
      if (c == '#') {
        note += std::to_string(n);
      } else {
        note.push_back(c);
      }
    }
  }
  note.resize(bytes);
  return note;
}

std::string NoteFor(const benchmark::State& state) {
  return MakeNote(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1)) * 1024);
}

void Done(benchmark::State& state, const std::string& note) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(note.size()));
}

void BM_DetectFunctions(benchmark::State& state) {
  const std::string note = NoteFor(state);
  std::size_t found = 0;
  for (auto _ : state) {
    auto entries = DetectFunctions(note);
    found = entries.size();
    benchmark::DoNotOptimize(entries.data());
  }
  state.counters["functions"] = static_cast<double>(found);
  Done(state, note);
}

void BM_FunctionBlocks(benchmark::State& state) {
  const std::string note = NoteFor(state);
  for (auto _ : state) {
    TFunctionBlocks blocks(note);
    int s = 0, e = 0;
    benchmark::DoNotOptimize(blocks.BlockAt(static_cast<int>(note.size() / 2), s, e));
  }
  Done(state, note);
}

void BM_BlankOutComments(benchmark::State& state) {
  const std::string note = NoteFor(state);
  for (auto _ : state) {
    std::string blanked = BlankOutComments(note);
    benchmark::DoNotOptimize(blanked.data());
  }
  Done(state, note);
}

// Every "{" of the note matched, as the function blocks and the bracket
// jumps need them.
void BM_BraceMatching(benchmark::State& state) {
  const std::string note = NoteFor(state);
  for (auto _ : state) {
    TBraceScanner scanner(note);
    int matched = 0;
    for (std::size_t p = note.find('{'); p != std::string::npos; p = note.find('{', p + 1)) {
      matched += scanner.MatchBrace(static_cast<int>(p)) >= 0;
    }
    benchmark::DoNotOptimize(matched);
  }
  Done(state, note);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int shape : {kCode, kPython, kProse, kUnbalanced, kOpenLiterals}) {
    for (int kib : {100, 1024}) b->Args({shape, kib});
  }
  b->ArgNames({"shape", "KiB"})->Unit(benchmark::kMillisecond);
  // On a shared machine the fastest of several runs is the steadiest figure
  // to compare sizes by (run with --benchmark_repetitions=N).
  b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

}  // namespace

BENCHMARK(BM_DetectFunctions)->Apply(Sizes);
BENCHMARK(BM_FunctionBlocks)->Apply(Sizes);
BENCHMARK(BM_BlankOutComments)->Apply(Sizes);
BENCHMARK(BM_BraceMatching)->Apply(Sizes);

BENCHMARK_MAIN();
