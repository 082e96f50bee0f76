// Leaves files for the peers that run after this program (peer_check.py):
// MIDI files with the events a reader must find in them, and random
// expressions with the values this evaluator gives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/tests/TestUtil.h"
#include "extras/LocaleFormat.h"
#include "extras/NumText.h"
#include "extras/QMidi.h"
#include "extras/QParser.h"
#include "extras/tests/MidiLengths.h"

namespace {

struct Entry {
  std::string notes, length, velocity;
};

std::vector<int> ChordNotes(const std::string& text) {
  std::vector<int> r;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = text.find(',', start);
    std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    r.push_back(piece.empty() ? 0 : std::stoi(piece));
    if (comma == std::string::npos) return r;
    start = comma + 1;
  }
}

// The events a reader must find, one line each with its absolute tick.
std::string ExpectedEvents(const std::vector<Entry>& entries) {
  std::string s = "type 1 tracks 3 tpq 768\n";
  s += "track\n0 time_signature 4 4 24 8\n0 set_tempo 500000\n0 end_of_track\n";
  s += "track\n";
  long tick = 0;
  for (const auto& e : entries) {
    const std::vector<int> notes = ChordNotes(e.notes);
    for (int n : notes) s += std::to_string(tick) + " note_on 0 " + std::to_string(n) + " " + e.velocity + "\n";
    tick += MidiTicks(e.length);
    for (int n : notes) s += std::to_string(tick) + " note_off 0 " + std::to_string(n) + " " + e.velocity + "\n";
  }
  s += std::to_string(tick) + " end_of_track\n";
  s += "track\n0 channel_prefix 1\n0 end_of_track\n";
  return s;
}

std::string PeerDir() { return VL_EXTRAS_PEER_DIR; }

void WriteMidiFixture(const std::string& name, const std::vector<Entry>& entries, std::vector<std::string>& manifest) {
  TQMidi midi;
  midi.ClearNotes();
  for (const auto& e : entries) midi.AddNote(e.notes, e.length, e.velocity);
  const std::string base = PeerDir() + "/" + name;
  midi.WriteMidiFile(base + ".mid");
  WriteTestFile(base + ".expect", ExpectedEvents(entries));
  manifest.push_back(name + ".mid");
  midi.ClearNotes();
}

// Expressions of numbers, brackets, + - * / ^, functions and a leading
// minus inside brackets, in the same form Python reads them.
class ExpressionMaker {
 public:
  explicit ExpressionMaker(unsigned seed) : rng_(seed) {}

  std::string Make(int depth) {
    unsigned r = rng_() % 12;
    if (depth == 0 || r < 3) return Number();
    if (r < 5) {
      // "((a))" is no expression: a group is never bracketed twice.
      const bool minus = rng_() % 3 == 0;
      const std::string inner = Make(depth - 1);
      if (!minus && inner.front() == '(' && inner.back() == ')') return inner;
      return (minus ? "(-" : "(") + inner + ")";
    }
    if (r < 7) return Make(depth - 1) + "^" + Exponent();
    if (r < 10) {
      static const char* const kOps[] = {"+", "-", "*", "/"};
      return Make(depth - 1) + kOps[rng_() % 4] + Make(depth - 1);
    }
    static const char* const kFunctions[] = {"sin", "cos", "tan", "ln", "lg", "abs"};
    const std::string inner = Make(depth - 1);
    const bool grouped = inner.front() == '(' && inner.back() == ')';
    return std::string(kFunctions[rng_() % 6]) + (grouped ? inner : "(" + inner + ")");
  }

 private:
  std::string Number() {
    static const char* const kFractions[] = {"", "", "", ".5", ".25", ".75", ".1", ".2", ".05"};
    return std::to_string(rng_() % 100) + kFractions[rng_() % 9];
  }
  std::string Exponent() {
    static const char* const kExponents[] = {"2", "3", "0.5", "1.5", "0"};
    return kExponents[rng_() % 5];
  }

  std::mt19937 rng_;
};

TEST(Peer, WritesFilesForThePeers) {
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(PeerDir()), ec);
  ASSERT_TRUE(std::filesystem::create_directories(std::filesystem::path(PeerDir()), ec)) << PeerDir();
  std::vector<std::string> manifest;

  WriteMidiFixture("empty", {}, manifest);
  WriteMidiFixture("one_note", {{"60", "4", "100"}}, manifest);
  WriteMidiFixture("chord", {{"60,64,67", "2", "90"}}, manifest);
  WriteMidiFixture("thirty_second", {{"72", "32", "1"}}, manifest);
  WriteMidiFixture("gap_in_chord", {{"60,,64", "8", "64"}}, manifest);
  WriteMidiFixture("line_ends", {{"10", "8", "13"}, {"13,10", "16", "10"}}, manifest);
  WriteMidiFixture("extremes", {{"0", "1", "0"}, {"127", "D32", "127"}, {"0,127", "P1", "1"}}, manifest);
  std::vector<Entry> allLengths;
  for (const auto& l : kMidiLengths) allLengths.push_back({"64", l.code, "80"});
  WriteMidiFixture("all_lengths", allLengths, manifest);
  std::mt19937 rng(4242);
  std::vector<Entry> melody;
  for (int i = 0; i < 300; ++i) {
    std::string notes = std::to_string(rng() % 128);
    for (unsigned k = rng() % 4; k > 0; --k) notes += "," + std::to_string(rng() % 128);
    melody.push_back({notes, kMidiLengths[rng() % 24].code, std::to_string(rng() % 128)});
  }
  WriteMidiFixture("melody", melody, manifest);

  // Expressions and what this evaluator makes of them.
  const char saved = DecimalSeparator();
  SetDecimalSeparator('.');
  TQParser parser;
  ExpressionMaker maker(2024);
  std::string rows;
  int built = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string expr = maker.Make(1 + i % 5);
    parser.SetExpression(expr);
    ASSERT_TRUE(parser.CreateTree()) << expr;
    ++built;
    try {
      long double v = parser.Evaluate();
      rows += expr + "\t" + FloatToGeneralText(v, 21, ".") + "\n";
    } catch (const Exception& e) {
      rows += expr + "\tERR:" + e.Message() + "\n";
    }
  }
  SetDecimalSeparator(saved);
  EXPECT_EQ(built, 3000);
  WriteTestFile(PeerDir() + "/parser.tsv", rows);
  manifest.push_back("parser.tsv");

  std::string list;
  for (const auto& m : manifest) list += m + "\n";
  WriteTestFile(PeerDir() + "/manifest.txt", list);
}

}  // namespace
