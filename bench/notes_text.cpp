// The notes editor's code scans over large notes: function detection (and
// the function blocks built on it), comment blanking and brace matching, at
// 100 KiB and 1 MiB. Each must stay linear: compare the two sizes (the
// 1 MiB figure should be at most 12 times the 100 KiB one). Besides ordinary
// code, the notes include shapes that make naive scans quadratic: Python-like
// "def f(a):" lines (a ":" after a parameter list looks far ahead for "{"),
// prose whose apostrophes open strings that run across lines, brackets that
// are never closed, and one long line of regular-expression literals that
// never close.
//
// Then the planning of one colouring pass over the lines in view of a
// 10,000-line note, with syntax colouring alone and with inline tokens
// (colour tokens, markup and glyph tokens) as well. With tokens the planning
// looks for markup over the whole note, so it costs far more than without
// (a third of a millisecond against a few microseconds here), but either is
// a small part of a pass: the pass as a whole, with the control's format
// writes and painting, is timed by the editor's timing test under Wine,
// where the pass with tokens should cost at most 1.5 times the pass
// without.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "notes/text/CodeScan.h"
#include "notes/text/ColorPlanner.h"
#include "notes/text/FunctionList.h"
#include "notes/text/LineText.h"

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

// The editor's long test note (its timing harness uses the same lines):
// functions, strings, comments, code-point tokens and block comments; with
// inline tokens, every fourth line holds colour tokens running over lines,
// a heading, bold, italic and code spans and image tokens instead.
std::string ColouringNote(int lines, bool inlineTokens) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    const std::string n = std::to_string(i);
    if (inlineTokens && i % 4 == 3) {
      switch (i / 4 % 4) {
        case 0: text += "## Account " + n + " [[IMG:0]]\r"; break;
        case 1: text += "[[COLOR:#C00000]]**rotate** by *June* `pin " + n + "`\r"; break;
        case 2: text += "  still red [[IMG:0]] [[U+263A]][[COLOR:NONE]] plain " + n + "\r"; break;
        default: text += "  key: `k" + n + "` **[[COLOR:#0000FF]]blue[[COLOR:NONE]]**\r"; break;
      }
      continue;
    }
    switch (i % 4) {
      case 0: text += "function f" + n + "(a, b) { return a + b; }\r"; break;
      case 1: text += "  var s = \"string " + n + "\"; // comment\r"; break;
      case 2: text += "  user: name" + n + "  password: [[U+0416]]x\r"; break;
      default: text += "  if (x) call(y); /* block */ z = " + n + ";\r"; break;
    }
  }
  return text;
}

// One pass over the 40 lines in view in the middle of the note (range(0):
// inline tokens).
void BM_PlanColoring(benchmark::State& state) {
  const bool inlineTokens = state.range(0) != 0;
  const std::string note = ColouringNote(10000, inlineTokens);
  const TLineIndex lines(note);
  const TColorRange range = VisibleColorRange(lines, 5000, 38 * 16, 16);
  TColorFlags flags;
  flags.syntaxHighlighting = true;
  flags.inlineStyles = inlineTokens;
  flags.showGlyphs = true;
  flags.imageCount = 1;
  const TSyntaxPalette palette{0x000000, 0xFF0000, 0x008000, 0x808080, 0x800080, 0x0000FF};
  const TKeywordSet keywords("function,var,let,const,if,else,for,while,return,switch,case,break,true,false,null");
  std::size_t ops = 0;
  for (auto _ : state) {
    auto plan = PlanColoring(note, range.start, range.end, flags, palette, keywords);
    ops = plan.size();
    benchmark::DoNotOptimize(plan.data());
  }
  state.counters["ops"] = static_cast<double>(ops);
  state.SetLabel(inlineTokens ? "syntax + inline tokens" : "syntax colouring");
}

}  // namespace

BENCHMARK(BM_DetectFunctions)->Apply(Sizes);
BENCHMARK(BM_FunctionBlocks)->Apply(Sizes);
BENCHMARK(BM_BlankOutComments)->Apply(Sizes);
BENCHMARK(BM_BraceMatching)->Apply(Sizes);
BENCHMARK(BM_PlanColoring)->Arg(0)->Arg(1)->ArgName("inlineTokens")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
