#include "extras/QMidi.h"

#include <cmath>
#include <vector>

#include "base/Exceptions.h"
#include "base/FileUtil.h"
#include "base/SysUtils.h"
#include "extras/NumText.h"

namespace {

// The three parallel lists of the note list, shared by every TQMidi.
struct TNoteList {
  TStringList notes, lengths, velocities;
};
TNoteList& NoteList() {
  static TNoteList list;
  return list;
}

// Lengths at 768 ticks per quarter note: the delta time as a variable-length
// quantity (one or two bytes) and the fraction of a whole note.
struct TLengthRow {
  const char* code;
  std::uint8_t delta[2];
  int deltaSize;
  long double numerator, denominator;
};
const TLengthRow kLengths[] = {
    {"1", {0x98, 0x00}, 2, 1, 1},     {"2", {0x8C, 0x00}, 2, 1, 2},
    {"4", {0x86, 0x00}, 2, 1, 4},     {"8", {0x83, 0x00}, 2, 1, 8},
    {"16", {0x81, 0x40}, 2, 1, 16},   {"32", {0x60, 0x00}, 1, 1, 32},
    {"T1", {0x90, 0x00}, 2, 2, 3},    {"T2", {0x88, 0x00}, 2, 1, 3},
    {"T4", {0x84, 0x00}, 2, 1, 6},    {"T8", {0x82, 0x00}, 2, 1, 12},
    {"T16", {0x81, 0x00}, 2, 1, 24},  {"T32", {0x40, 0x00}, 1, 1, 48},
    {"P1", {0xA4, 0x00}, 2, 3, 2},    {"P2", {0x92, 0x00}, 2, 3, 4},
    {"P4", {0x89, 0x00}, 2, 3, 8},    {"P8", {0x84, 0x40}, 2, 3, 16},
    {"P16", {0x82, 0x20}, 2, 3, 32},  {"P32", {0x81, 0x10}, 2, 3, 64},
    {"D1", {0xAA, 0x00}, 2, 7, 4},    {"D2", {0x95, 0x00}, 2, 7, 8},
    {"D4", {0x8A, 0x40}, 2, 7, 16},   {"D8", {0x85, 0x20}, 2, 7, 32},
    {"D16", {0x82, 0x50}, 2, 7, 64},  {"D32", {0x81, 0x28}, 2, 7, 128},
};

const TLengthRow* FindLength(const std::string& code) {
  for (const auto& row : kLengths)
    if (code == row.code) return &row;
  return nullptr;
}

// C and C sharp of octaves 0 to 10, in Hz.
const long double kOctaveC[11] = {8.1758L,    16.3516L,   32.7032L,   65.4064L,
                                  130.8128L,  261.6256L,  523.2512L,  1046.5025L,
                                  2093.0049L, 4186.0098L, 8372.0196L};
const long double kOctaveCSharp[11] = {8.662L,     17.3239L,   34.6478L,   69.2957L,
                                       138.5913L,  277.1827L,  554.3654L,  1108.7307L,
                                       2217.4614L, 4434.9229L, 8869.8457L};

const char* const kInstruments[80] = {
    "Acoustic Grand Piano", "Bright Acoustic Piano", "Electric Grand Piano", "Honky-Tonk Piano",
    "Electric Piano 1", "Electric Piano 2", "Harpsichord", "Clavichord", "Celesta", "Chime",
    "Music Box", "Vibraphon", "Marimba", "Xylophon", "Tubular Bells", "Dulcimer",
    "Drawbar Organ", "Percussive Organ", "Rock Organ", "Church Organ", "Reed Organ",
    "Akkordion", "Harmonica", "Tango Akkordion", "Acoustic Guitar (nylon)",
    "Acoustic Guitar (steel)", "Acoustic Guitar (Jazz)", "Acoustic Guitar (clean)",
    "Acoustic Guitar (muted)", "Overdriven Guitar", "Distortion", "Guitar Harmonics",
    "Acoustic Bass", "Electric Bass (finger)", "Electric Bass (pick)", "Fretless Bass",
    "Slap Bass 1", "Slap Bass 2", "Synth Bass 1", "Synth Bass 2", "Violin", "Viola", "Cello",
    "Contrabass", "Strings (tremolo)", "Strings (pizzicato)", "Orchestral Harp", "Timpani",
    "String Ensemble 1", "String Ensemble 2", "Synth Strings 1", "Synth Strings 2",
    "Choirs Aahs", "Voice Oohs", "Synth Voice", "Orchestra Hit", "Trumpet", "Trombone", "Tuba",
    "Trumpet (muted)", "French Horn", "Brass Section", "Synth Brass 1", "Synth Brass 2",
    "Soprano Sax", "Alto Sax", "Tenor Sax", "Baritone Sax", "Oboe", "English Horn", "Bassoon",
    "Clarinet", "Piccolo", "Flute", "Recorder", "Pan Flute", "Blown Bottle", "Shakuhachi",
    "Whistle", "Ocarina"};

using TBytes = std::string;

void PutByte(TBytes& out, unsigned b) { out += static_cast<char>(static_cast<std::uint8_t>(b)); }

void PutBigEndian32(TBytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) PutByte(out, (v >> shift) & 0xFFu);
}

void PutText(TBytes& out, const char* text) { out += text; }

// The header chunk; formats other than 0, 1 and 2 are written as 0.
void PutHeader(TBytes& out, int format, int tracks) {
  PutText(out, "MThd");
  PutBigEndian32(out, 6);
  PutByte(out, 0);
  PutByte(out, format >= 0 && format <= 2 ? format : 0);
  PutByte(out, 0);
  PutByte(out, static_cast<unsigned>(tracks));
  PutByte(out, 0x03);  // 768 ticks per quarter note
  PutByte(out, 0x00);
}

void PutTrack(TBytes& out, const TBytes& data) {
  if (data.size() > 0xFFFFFFFFu) throw EConvertError("The note track is too long for a MIDI file");
  PutText(out, "MTrk");
  PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  out += data;
}

// Time signature: "4/4", "6/8" or "3/4" (anything else is written as 4/4),
// 24 MIDI clocks per metronome click, 8 thirty-second notes per quarter.
void PutTimeSignature(TBytes& out, const std::string& signature) {
  unsigned numerator = 4, denominatorPower = 2;
  if (signature == "6/8") {
    numerator = 6;
    denominatorPower = 3;
  } else if (signature == "3/4") {
    numerator = 3;
  }
  for (unsigned b : {0x00u, 0xFFu, 0x58u, 0x04u, numerator, denominatorPower, 0x18u, 0x08u}) PutByte(out, b);
}

void PutEndOfTrack(TBytes& out) {
  for (unsigned b : {0x00u, 0xFFu, 0x2Fu, 0x00u}) PutByte(out, b);
}

// One entry, checked.
struct TEntry {
  std::vector<std::uint8_t> notes;
  std::uint8_t velocity = 0;
  const TLengthRow* length = nullptr;
};

[[noreturn]] void Reject(const std::string& where, const std::string& what) {
  throw EConvertError(where + what);
}

TEntry CheckEntry(const std::string& notes, const std::string& length, const std::string& velocity,
                  const std::string& where) {
  TEntry e;
  if (notes.empty()) Reject(where, "the entry has no notes");
  if (notes.back() == ',') Reject(where, "the notes \"" + notes + "\" end with \",\"");
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = notes.find(',', start);
    std::string piece = Trim(notes.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    int n = 0;  // an empty piece inside a chord is note 0
    if (!piece.empty() && (!TryStrToInt(piece, n) || n < 0 || n > 127))
      Reject(where, "\"" + piece + "\" is not a note number from 0 to 127");
    e.notes.push_back(static_cast<std::uint8_t>(n));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  e.length = FindLength(length);
  if (e.length == nullptr) Reject(where, "\"" + length + "\" is not a length code");
  int v = 0;
  if (!TryStrToInt(velocity, v) || v < 0 || v > 127)
    Reject(where, "the velocity \"" + velocity + "\" is not an integer from 0 to 127");
  e.velocity = static_cast<std::uint8_t>(v);
  return e;
}

// Note-ons at delta 0, the length as delta time, then note-offs with the
// same velocity, every one after the first at delta 0; channel 0.
void PutEntry(TBytes& out, const TEntry& e) {
  for (std::uint8_t n : e.notes) {
    PutByte(out, 0x00);
    PutByte(out, 0x90);
    PutByte(out, n);
    PutByte(out, e.velocity);
  }
  for (int i = 0; i < e.length->deltaSize; ++i) PutByte(out, e.length->delta[i]);
  for (std::size_t i = 0; i < e.notes.size(); ++i) {
    if (i > 0) PutByte(out, 0x00);
    PutByte(out, 0x80);
    PutByte(out, e.notes[i]);
    PutByte(out, e.velocity);
  }
}

// The note track's data; checks every entry before anything is produced.
TBytes NoteTrackData() {
  const TNoteList& list = NoteList();
  std::vector<TEntry> entries;
  entries.reserve(static_cast<std::size_t>(list.notes.Count()));
  for (int i = 0; i < list.notes.Count(); ++i)
    entries.push_back(CheckEntry(list.notes[i], list.lengths[i], list.velocities[i],
                                 "Note entry " + std::to_string(i) + ": "));
  TBytes data;
  for (const auto& e : entries) PutEntry(data, e);
  PutEndOfTrack(data);
  return data;
}

}  // namespace

TQMidi::TQMidi(TComponent* owner) : TComponent(owner) {}

void TQMidi::AddNote(const std::string& notes, const std::string& length, const std::string& velocity) {
  TNoteList& list = NoteList();
  list.notes.Add(notes);
  list.lengths.Add(length);
  list.velocities.Add(velocity);
}

void TQMidi::DeleteNote(int i) {
  TNoteList& list = NoteList();
  list.notes.Delete(i);  // checks the index before any list changes
  list.lengths.Delete(i);
  list.velocities.Delete(i);
}

void TQMidi::ClearNotes() {
  TNoteList& list = NoteList();
  list.notes.Clear();
  list.lengths.Clear();
  list.velocities.Clear();
}

void TQMidi::WriteMidiFile(const std::string& fileName) {
  const TBytes notes = NoteTrackData();

  TBytes file;
  PutHeader(file, 1, 3);
  TBytes tempo;
  PutTimeSignature(tempo, "4/4");
  for (unsigned b : {0x00u, 0xFFu, 0x51u, 0x03u, 0x07u, 0xA1u, 0x20u}) PutByte(tempo, b);  // 500000 us
  PutEndOfTrack(tempo);
  PutTrack(file, tempo);
  PutTrack(file, notes);
  TBytes channel;
  for (unsigned b : {0x00u, 0xFFu, 0x20u, 0x01u, 0x01u}) PutByte(channel, b);  // channel prefix 1
  PutEndOfTrack(channel);
  PutTrack(file, channel);

  if (!SaveFileReplacing(fileName, file)) throw EFCreateError("Cannot create file \"" + fileName + "\"");
}

int TQMidi::CountBytes() { return static_cast<int>(NoteTrackData().size()); }

void TQMidi::ExtractNotes(const std::string& text, TStringList* list) {
  list->Clear();
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ',') {
      list->Add(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) list->Add(text.substr(start));
}

void TQMidi::NoteOnEvent(std::FILE* file, const std::string& length, const std::string& notes,
                         const std::string& velocity) {
  const TEntry e = CheckEntry(notes, length, velocity, "");
  TBytes data;
  PutEntry(data, e);
  if (file == nullptr || std::fwrite(data.data(), 1, data.size(), file) != data.size())
    throw EWriteError("Cannot write the note events");
}

int TQMidi::GetOctave(int n) { return n < 12 ? 0 : n / 12; }

std::string TQMidi::GetHz(int n) {
  if (n < 0 || n > 127) return "";
  const int k = GetOctave(n), s = n % 12;
  const long double c = kOctaveC[k];
  const long double r = kOctaveCSharp[k] / c;
  long double f = c;
  for (int i = 0; i < s; ++i) f *= r;
  const std::string t = std::to_string(static_cast<std::int64_t>(std::trunc(f * 1000)));
  return t.substr(0, t.size() - 3) + "," + t.substr(t.size() - 3);
}

long double TQMidi::GetSekundenOfLength(const std::string& code, long double x) {
  const TLengthRow* row = FindLength(code);
  return row == nullptr ? 0.0L : x * row->numerator / row->denominator;
}

std::string TQMidi::LongToStr(long double x) {
  const long double v = std::trunc(x * 1000);
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  std::string digits = FloatIntegralDigits(v);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return (v < 0 ? "-" : "") + digits.substr(0, digits.size() - 3) + "." + digits.substr(digits.size() - 3);
}

void TQMidi::FillInstrumentList(TStringList* list) {
  for (const char* name : kInstruments) list->Add(name);
}

int TQMidi::GetHexInstrument(const std::string& name) {
  for (int i = 0; i < 80; ++i)
    if (name == kInstruments[i]) return i;
  return 0;
}

std::string TQMidi::GetStringInstrument(int n) { return n >= 0 && n < 80 ? kInstruments[n] : ""; }
