// TQMidi: a melody as a list of notes and chords with lengths and
// velocities, written as a Standard MIDI File (format 1, three tracks, 768
// ticks per quarter note, 120 quarter notes a minute, 4/4); and conversions
// of note numbers to octaves and frequencies, lengths to durations, and
// General MIDI program numbers to names and back. The note list is one per
// process, shared by every TQMidi.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/Component.h"
#include "base/StringList.h"

class TQMidi : public TComponent {
 public:
  explicit TQMidi(TComponent* owner = nullptr);

  // One entry: a note number or a chord ("60,64,67"), a length code ("1",
  // "2", "4", "8", "16", "32", each also with "T" for triplet, "P" for dotted
  // and "D" for double-dotted in front) and a decimal velocity.
  void AddNote(const std::string& notes, const std::string& length, const std::string& velocity);
  void DeleteNote(int i);  // EListError for a bad index
  void ClearNotes();

  // Writes the note list as a file, replacing the file only once the whole
  // of it is written. Every entry is checked first (notes and velocity 0 to
  // 127, an empty piece inside a chord counting as note 0; a known length
  // code; no empty chord or trailing ","): a bad entry raises EConvertError
  // and leaves any existing file untouched. EFCreateError when the file
  // cannot be written.
  void WriteMidiFile(const std::string& fileName);
  // The byte length of the note track's data as WriteMidiFile writes it;
  // EConvertError for a bad entry.
  int CountBytes();

  // The note texts of a note or chord text: the pieces between ","; a last
  // piece is added only when it is not empty.
  void ExtractNotes(const std::string& text, TStringList* list);
  // Writes the events of one entry to an open binary file: note-ons at
  // delta 0, the length's delta time, note-offs. Checks the entry first
  // (EConvertError); EWriteError when the file takes fewer bytes.
  void NoteOnEvent(std::FILE* file, const std::string& length, const std::string& notes,
                   const std::string& velocity);

  // The octave of note n: n / 12, and 0 for n below 12.
  int GetOctave(int n);
  // The frequency of note n in Hz with three decimals and "," ("440,000");
  // "" for a number outside 0 to 127.
  std::string GetHz(int n);
  // x times the length's fraction of a whole note; 0 for an unknown code.
  long double GetSekundenOfLength(const std::string& code, long double x);
  // x with three decimals, truncated: "1.500", "-0.050".
  std::string LongToStr(long double x);

  // The 80 program names (programs 0 to 79) appended in program order.
  void FillInstrumentList(TStringList* list);
  // The program number of a name (exact comparison); 0 when unknown.
  int GetHexInstrument(const std::string& name);
  // The name of program n; "" outside 0 to 79.
  std::string GetStringInstrument(int n);
};
