// The readers of text that comes from outside the program, fed one long
// line: a shortcut ("Shortcut2" in the settings file, an entry's shortcut
// field), a key name, the remembered list of entry shortcuts, an auto-type
// sequence, the settings file itself, and the notes scanners over a note
// of one line. Each runs at 100 KiB and 1 MiB: the 1 MiB time should be at
// most 12 times the 100 KiB one (linear) and well under 50 ms. The floor is
// one memchr pass over the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/model/AutoType.h"
#include "app/model/KeyNames.h"
#include "app/model/Shortcuts.h"
#include "notes/text/CodeScan.h"
#include "notes/text/ColorPlanner.h"
#include "notes/text/FunctionList.h"
#include "settings/QDReg.h"

namespace {

// piece repeated to bytes, then tail.
std::string Repeat(const std::string& piece, std::size_t bytes, const std::string& tail = "") {
  std::string s;
  s.reserve(bytes + piece.size() + tail.size());
  while (s.size() < bytes) s += piece;
  return s + tail;
}

std::size_t Size(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_Floor_Memchr(benchmark::State& state) {
  const std::string text = Repeat("Ctrl+", Size(state));
  for (auto _ : state) {
    std::size_t n = 0;
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '+', text.data() + text.size() - p)));
         ++p)
      ++n;
    benchmark::DoNotOptimize(n);
  }
  SetBytes(state);
}

// Modifier words without end: every word is read, none ends the parse.
void BM_ParseShortcut_ModifierWords(benchmark::State& state) {
  const std::string text = Repeat("Ctrl+Shift+", Size(state), "A");
  for (auto _ : state) {
    unsigned mods = 0;
    int vk = 0;
    benchmark::DoNotOptimize(ParseShortcut(text, mods, vk));
  }
  SetBytes(state);
}

void BM_ParseShortcut_OneLongWord(benchmark::State& state) {
  const std::string text = "Ctrl+" + Repeat("x", Size(state));
  for (auto _ : state) {
    unsigned mods = 0;
    int vk = 0;
    benchmark::DoNotOptimize(ParseShortcut(text, mods, vk));
  }
  SetBytes(state);
}

void BM_KeyNameToVk(benchmark::State& state) {
  const std::string text = Repeat("F", Size(state));
  for (auto _ : state) benchmark::DoNotOptimize(KeyNameToVk(text));
  SetBytes(state);
}

// "LastEntryShortcuts" read and each chord parsed, as the start-up
// registers them: many items, and one item whose chord is the whole line.
void RegisterRemembered(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    int parsed = 0;
    for (const TRememberedShortcut& r : ParseRememberedShortcuts(text)) {
      unsigned mods = 0;
      int vk = 0;
      parsed += ParseShortcut(r.Shortcut, mods, vk) ? 1 : 0;
    }
    benchmark::DoNotOptimize(parsed);
  }
  SetBytes(state);
}

void BM_RememberedShortcuts_ManyItems(benchmark::State& state) {
  RegisterRemembered(state, Repeat("123=Ctrl+Shift+A|", Size(state)));
}

void BM_RememberedShortcuts_OneLongChord(benchmark::State& state) {
  RegisterRemembered(state, "7=" + Repeat("Alt+", Size(state), "Q"));
}

// An auto-type sequence checked and planned: many commands, and one long
// word (refused as an unknown command once the whole sequence is read).
void PlanSequence(benchmark::State& state, const std::string& sequence) {
  TVaultEntry entry;
  entry.id = 1;
  entry.username = "ann";
  entry.password = "pw";
  entry.automate = sequence;
  const TVkKeyScan scan = [](char c) { return static_cast<short>(static_cast<unsigned char>(c) & 0x7F); };
  for (auto _ : state) {
    TAutomateAwait await;
    TAutomatePlan plan = PlanAutomate(&entry, await, 0, scan, false);
    benchmark::DoNotOptimize(plan.Actions.size());
  }
  SetBytes(state);
}

void BM_AutoType_ManyCommands(benchmark::State& state) { PlanSequence(state, Repeat("TAB WAIT5 ", Size(state))); }

void BM_AutoType_OneLongWord(benchmark::State& state) { PlanSequence(state, Repeat("WAIT", Size(state))); }

// The settings file: one long "Shortcut2" line, and many short entries.
void LoadSettings(benchmark::State& state, const std::string& text) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vl_bench_outside_text";
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir / "bench.ini", std::ios::binary);
    out << text;
  }
  TQDReg reg;
  reg.SetIniFileDir(dir.string());
  reg.SetIniFileName("bench.ini");
  for (auto _ : state) {
    reg.LoadFromFile();
    unsigned mods = 0;
    int vk = 0;
    benchmark::DoNotOptimize(ParseShortcut(reg.PopString(kShortcut2Key, kDefaultLockShortcut), mods, vk));
  }
  SetBytes(state);
  std::filesystem::remove_all(dir);
}

void BM_Settings_LongShortcutLine(benchmark::State& state) {
  LoadSettings(state, "Shortcut=Ctrl+Shift+P\r\nShortcut2=" + Repeat("Ctrl+", Size(state), "L") + "\r\n");
}

void BM_Settings_ManyEntries(benchmark::State& state) {
  std::string text;
  for (int i = 0; text.size() < Size(state); ++i)
    text += (i % 50 == 0 ? "[F" + std::to_string(i) + "]\r\n" : std::string()) + "k" + std::to_string(i) + "=v\r\n";
  LoadSettings(state, text);
}

// The notes scanners over a note of one line of code-like text.
const std::string& OneLineNote(std::size_t bytes) {
  static std::string note;
  if (note.size() != bytes) note = Repeat("f(a) { x = 'q' /* c */ + \"s\"; } // n ", bytes);
  return note;
}

void BM_Notes_DetectFunctions(benchmark::State& state) {
  const std::string& note = OneLineNote(Size(state));
  for (auto _ : state) benchmark::DoNotOptimize(NoteText::DetectFunctions(note).size());
  SetBytes(state);
}

void BM_Notes_BlankOutComments(benchmark::State& state) {
  const std::string& note = OneLineNote(Size(state));
  for (auto _ : state) benchmark::DoNotOptimize(NoteText::BlankOutComments(note).size());
  SetBytes(state);
}

void BM_Notes_PlanColoring(benchmark::State& state) {
  const std::string& note = OneLineNote(Size(state));
  NoteText::TColorFlags flags;
  flags.syntaxHighlighting = true;
  flags.inlineStyles = true;
  const NoteText::TSyntaxPalette palette{1, 2, 3, 4, 5, 6};
  const NoteText::TKeywordSet keywords("if else return function");
  for (auto _ : state)
    benchmark::DoNotOptimize(
        NoteText::PlanColoring(note, 0, static_cast<int>(note.size()), flags, palette, keywords).size());
  SetBytes(state);
}

constexpr std::int64_t k100K = 100 * 1024, k1M = 1024 * 1024;

BENCHMARK(BM_Floor_Memchr)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseShortcut_ModifierWords)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseShortcut_OneLongWord)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyNameToVk)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RememberedShortcuts_ManyItems)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RememberedShortcuts_OneLongChord)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoType_ManyCommands)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoType_OneLongWord)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Settings_LongShortcutLine)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Settings_ManyEntries)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Notes_DetectFunctions)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Notes_BlankOutComments)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Notes_PlanColoring)->Arg(k100K)->Arg(k1M)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
