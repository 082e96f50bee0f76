#include "extras/QMidi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/tests/TestUtil.h"
#include "extras/tests/MidiLengths.h"

namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += static_cast<char>(b);
  return s;
}

const std::string kHeader = Bytes({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0x03, 0x00});
const std::string kTempoTrack =
    Bytes({'M', 'T', 'r', 'k', 0, 0, 0, 19, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x51,
           0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00});
const std::string kChannelTrack =
    Bytes({'M', 'T', 'r', 'k', 0, 0, 0, 9, 0x00, 0xFF, 0x20, 0x01, 0x01, 0x00, 0xFF, 0x2F, 0x00});
const std::string kEndOfTrack = Bytes({0x00, 0xFF, 0x2F, 0x00});

std::string NoteTrack(const std::string& data) {
  std::string s = "MTrk";
  std::uint32_t n = static_cast<std::uint32_t>(data.size());
  s += Bytes({static_cast<int>(n >> 24), static_cast<int>((n >> 16) & 0xFF), static_cast<int>((n >> 8) & 0xFF),
              static_cast<int>(n & 0xFF)});
  return s + data;
}

std::string WholeFile(const std::string& noteData) { return kHeader + kTempoTrack + NoteTrack(noteData) + kChannelTrack; }

// The variable-length quantity of the file format, written out here on its
// own to check the table.
std::string Vlq(std::uint32_t v) {
  std::string s(1, static_cast<char>(v & 0x7F));
  while ((v >>= 7) != 0) s.insert(s.begin(), static_cast<char>(0x80 | (v & 0x7F)));
  return s;
}

class QMidiTest : public ::testing::Test {
 protected:
  void SetUp() override { m.ClearNotes(); }
  void TearDown() override { m.ClearNotes(); }

  std::string Written() {
    std::string path = dir.File("out.mid");
    m.WriteMidiFile(path);
    return ReadTestFile(path);
  }

  TQMidi m;
  TempDir dir;
};

TEST_F(QMidiTest, EmptyListIsSeventyBytes) {
  std::string file = Written();
  EXPECT_EQ(file.size(), 70u);
  EXPECT_EQ(file, WholeFile(kEndOfTrack));
  EXPECT_EQ(m.CountBytes(), 4);
}

TEST_F(QMidiTest, GoldenNoteTracks) {
  struct Case {
    const char* notes;
    const char* length;
    const char* velocity;
    std::string data;
  };
  const Case cases[] = {
      {"60", "4", "100", Bytes({0x00, 0x90, 0x3C, 0x64, 0x86, 0x00, 0x80, 0x3C, 0x64})},
      {"60,64,67", "2", "90",
       Bytes({0x00, 0x90, 0x3C, 0x5A, 0x00, 0x90, 0x40, 0x5A, 0x00, 0x90, 0x43, 0x5A, 0x8C, 0x00, 0x80, 0x3C,
              0x5A, 0x00, 0x80, 0x40, 0x5A, 0x00, 0x80, 0x43, 0x5A})},
      {"72", "32", "1", Bytes({0x00, 0x90, 0x48, 0x01, 0x60, 0x80, 0x48, 0x01})},
      // An empty piece inside a chord is note 0.
      {"60,,64", "T32", "5",
       Bytes({0x00, 0x90, 0x3C, 0x05, 0x00, 0x90, 0x00, 0x05, 0x00, 0x90, 0x40, 0x05, 0x40, 0x80, 0x3C, 0x05,
              0x00, 0x80, 0x00, 0x05, 0x00, 0x80, 0x40, 0x05})},
      // Bytes that a text-mode file would mangle: LF and CR.
      {"10", "8", "13", Bytes({0x00, 0x90, 0x0A, 0x0D, 0x83, 0x00, 0x80, 0x0A, 0x0D})},
  };
  for (const auto& c : cases) {
    m.ClearNotes();
    m.AddNote(c.notes, c.length, c.velocity);
    EXPECT_EQ(Written(), WholeFile(c.data + kEndOfTrack)) << c.notes;
    EXPECT_EQ(m.CountBytes(), static_cast<int>(c.data.size() + 4)) << c.notes;
  }
}

TEST_F(QMidiTest, EveryLengthCode) {
  for (const auto& l : kMidiLengths) {
    // The table itself: ticks are 3072 times the fraction of a whole note,
    // and the delta bytes their variable-length quantity.
    EXPECT_EQ(m.GetSekundenOfLength(l.code, 3072), l.ticks) << l.code;
    EXPECT_EQ(Vlq(static_cast<std::uint32_t>(l.ticks)), std::string(l.delta)) << l.code;

    m.ClearNotes();
    m.AddNote("64", l.code, "127");
    std::string data = Bytes({0x00, 0x90, 0x40, 0x7F}) + std::string(l.delta) + Bytes({0x80, 0x40, 0x7F});
    EXPECT_EQ(Written(), WholeFile(data + kEndOfTrack)) << l.code;
  }
  EXPECT_EQ(Vlq(0x3FFF), Bytes({0xFF, 0x7F}));  // the encoder above
  EXPECT_EQ(Vlq(0x4000), Bytes({0x81, 0x80, 0x00}));
}

TEST_F(QMidiTest, CountBytesForSeveralEntries) {
  // 8 bytes a note, one per entry, 4 for the end, less one per one-byte length.
  m.AddNote("60", "4", "100");
  m.AddNote("60,64,67", "2", "90");
  m.AddNote("72", "32", "1");
  m.AddNote("1,2", "T32", "1");
  EXPECT_EQ(m.CountBytes(), 8 * 7 + 4 + 4 - 2);
  std::string file = Written();
  EXPECT_EQ(file.size(), 70u + 8 * 7 + 4 - 2);
}

TEST_F(QMidiTest, BadEntriesAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    const char* notes;
    const char* length;
    const char* velocity;
  };
  const Case cases[] = {
      {"", "4", "100"},       {"60,", "4", "100"},   {",", "4", "100"},      {"60,64,", "4", "100"},
      {"128", "4", "100"},    {"-1", "4", "100"},    {"60,x", "4", "100"},   {"6O", "4", "100"},
      {"60", "3", "100"},     {"60", "t4", "100"},   {"60", "", "100"},      {"60", "4", "128"},
      {"60", "4", "-1"},      {"60", "4", "abc"},    {"60", "4", ""},        {"60", "4", "1.5"},
      {"99999999999", "4", "1"},
  };
  const std::string path = dir.File("keep.mid");
  const std::string before = "previous contents";
  for (const auto& c : cases) {
    WriteTestFile(path, before);
    m.ClearNotes();
    m.AddNote("60", "4", "100");  // a good entry first
    m.AddNote(c.notes, c.length, c.velocity);
    EXPECT_THROW(m.WriteMidiFile(path), EConvertError) << c.notes << " " << c.length << " " << c.velocity;
    EXPECT_THROW(m.CountBytes(), EConvertError);
    EXPECT_EQ(ReadTestFile(path), before);
    EXPECT_FALSE(PathExists(path + ".tmp"));
  }
}

TEST_F(QMidiTest, FileThatCannotBeCreated) {
  m.AddNote("60", "4", "100");
  EXPECT_THROW(m.WriteMidiFile(dir.File("missing/folder/x.mid")), EFCreateError);
}

TEST_F(QMidiTest, ReplacesAnExistingFile) {
  const std::string path = dir.File("song.mid");
  WriteTestFile(path, std::string(500, 'x'));
  m.WriteMidiFile(path);
  EXPECT_EQ(ReadTestFile(path), WholeFile(kEndOfTrack));
}

TEST_F(QMidiTest, NoteOnEventWritesOneEntry) {
  const std::string path = dir.File("events.bin");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  m.NoteOnEvent(f, "16", "10,13", "13");
  EXPECT_THROW(m.NoteOnEvent(f, "16", "10,", "13"), EConvertError);
  std::fclose(f);
  EXPECT_EQ(ReadTestFile(path), Bytes({0x00, 0x90, 0x0A, 0x0D, 0x00, 0x90, 0x0D, 0x0D, 0x81, 0x40, 0x80, 0x0A,
                                       0x0D, 0x00, 0x80, 0x0D, 0x0D}));
  EXPECT_THROW(m.NoteOnEvent(nullptr, "4", "60", "1"), EWriteError);
}

TEST_F(QMidiTest, NoteListIsSharedAndEditable) {
  TQMidi other;
  m.AddNote("60", "4", "100");
  m.AddNote("62", "32", "100");
  EXPECT_EQ(other.CountBytes(), 9 + 8 + 4);
  other.DeleteNote(0);
  EXPECT_EQ(m.CountBytes(), 8 + 4);
  EXPECT_THROW(m.DeleteNote(1), EListError);
  EXPECT_THROW(m.DeleteNote(-1), EListError);
  EXPECT_EQ(m.CountBytes(), 8 + 4);
  other.ClearNotes();
  EXPECT_EQ(m.CountBytes(), 4);
}

TEST_F(QMidiTest, ExtractNotes) {
  struct Case {
    const char* text;
    std::vector<std::string> notes;
  };
  const Case cases[] = {
      {"60", {"60"}},
      {"60,64,67", {"60", "64", "67"}},
      {"60,,64", {"60", "", "64"}},
      {"60,64,", {"60", "64"}},
      {",", {""}},
      {"", {}},
  };
  TStringList list;
  for (const auto& c : cases) {
    list.Add("left over");
    m.ExtractNotes(c.text, &list);
    EXPECT_EQ(list.Items(), c.notes) << c.text;
  }
}

TEST_F(QMidiTest, OctavesAndFrequencies) {
  EXPECT_EQ(m.GetOctave(60), 5);
  EXPECT_EQ(m.GetOctave(127), 10);
  EXPECT_EQ(m.GetOctave(12), 1);
  EXPECT_EQ(m.GetOctave(11), 0);
  EXPECT_EQ(m.GetOctave(-30), 0);
  struct Case {
    int note;
    const char* hz;
  };
  const Case cases[] = {{69, "440,000"}, {60, "261,625"}, {0, "8,175"}, {127, "12543,855"}, {1, "8,662"},
                        {128, ""},        {1000, ""},       {-1, ""}};
  for (const auto& c : cases) EXPECT_EQ(m.GetHz(c.note), c.hz) << c.note;
}

TEST_F(QMidiTest, DurationsAndThreeDecimalTexts) {
  EXPECT_EQ(m.GetSekundenOfLength("P4", 2), 0.75L);
  EXPECT_EQ(m.GetSekundenOfLength("T1", 3), 2.0L);
  EXPECT_EQ(m.GetSekundenOfLength("p4", 2), 0.0L);
  EXPECT_EQ(m.GetSekundenOfLength("5", 2), 0.0L);
  struct Case {
    long double x;
    const char* text;
  };
  const Case cases[] = {
      {1.5L, "1.500"},      {2, "2.000"},          {-1.5L, "-1.500"},       {-0.5L, "-0.500"},
      {-0.05L, "-0.050"},   {0.0625L, "0.062"},    {-0.046875L, "-0.046"},  {0, "0.000"},
      {-0.0001L, "0.000"},  {1.0L / 6, "0.166"},   {2.3, "2.299"},          {5e6L, "5000000.000"},
      {1e15L, "1000000000000000.000"},
  };
  for (const auto& c : cases) EXPECT_EQ(m.LongToStr(c.x), c.text) << static_cast<double>(c.x);
}

TEST_F(QMidiTest, InstrumentNames) {
  TStringList list;
  list.Add("kept");
  m.FillInstrumentList(&list);
  ASSERT_EQ(list.Count(), 81);
  EXPECT_EQ(list[0], "kept");
  for (int i = 0; i < 80; ++i) {
    EXPECT_EQ(list[i + 1], m.GetStringInstrument(i));
    EXPECT_EQ(m.GetHexInstrument(m.GetStringInstrument(i)), i);
  }
  EXPECT_EQ(m.GetHexInstrument("Vibraphon"), 11);
  EXPECT_EQ(m.GetHexInstrument("vibraphon"), 0);
  EXPECT_EQ(m.GetHexInstrument("Vibraphone"), 0);
  EXPECT_EQ(m.GetStringInstrument(21), "Akkordion");
  EXPECT_EQ(m.GetStringInstrument(23), "Tango Akkordion");
  EXPECT_EQ(m.GetStringInstrument(9), "Chime");
  EXPECT_EQ(m.GetStringInstrument(52), "Choirs Aahs");
  EXPECT_EQ(m.GetStringInstrument(79), "Ocarina");
  EXPECT_EQ(m.GetStringInstrument(80), "");
  EXPECT_EQ(m.GetStringInstrument(-1), "");
}

}  // namespace
