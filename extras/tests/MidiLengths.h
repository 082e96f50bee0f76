// The length codes with their ticks (768 per quarter note) and delta-time
// bytes, as the MIDI tests expect them.
#pragma once

#include <string>
#include <string_view>

using namespace std::string_view_literals;

struct MidiLength {
  const char* code;
  int ticks;
  std::string_view delta;  // the variable-length quantity
};

inline const MidiLength kMidiLengths[] = {
    {"1", 3072, "\x98\x00"sv},  {"2", 1536, "\x8C\x00"sv},   {"4", 768, "\x86\x00"sv},
    {"8", 384, "\x83\x00"sv},   {"16", 192, "\x81\x40"sv},   {"32", 96, "\x60"sv},
    {"T1", 2048, "\x90\x00"sv}, {"T2", 1024, "\x88\x00"sv},  {"T4", 512, "\x84\x00"sv},
    {"T8", 256, "\x82\x00"sv},  {"T16", 128, "\x81\x00"sv},  {"T32", 64, "\x40"sv},
    {"P1", 4608, "\xA4\x00"sv}, {"P2", 2304, "\x92\x00"sv},  {"P4", 1152, "\x89\x00"sv},
    {"P8", 576, "\x84\x40"sv},  {"P16", 288, "\x82\x20"sv},  {"P32", 144, "\x81\x10"sv},
    {"D1", 5376, "\xAA\x00"sv}, {"D2", 2688, "\x95\x00"sv},  {"D4", 1344, "\x8A\x40"sv},
    {"D8", 672, "\x85\x20"sv},  {"D16", 336, "\x82\x50"sv},  {"D32", 168, "\x81\x28"sv},
};

inline int MidiTicks(const std::string& code) {
  for (const auto& l : kMidiLengths)
    if (code == l.code) return l.ticks;
  return -1;
}
