// The quality of a password: a score from 0 to 100 and the word and colour
// that the password dialog shows for it.
#pragma once

#include <cstdint>
#include <string_view>

// 0 for the empty text. Otherwise the sum, capped at 100, of: length (+3 at
// 3 characters, +5 more at 6, +10 more at 8, +15 more at 12, +20 more at 16,
// +10 more at 20), +10 for each class present (lower case a-z, upper case
// A-Z, digits, everything else including bytes above 127), +10 when at
// least three classes are present and +10 more when all four are.
int RatePasswordQuality(std::string_view password);

// The word and colour (a colour value with red in the low byte) for a
// meter position: below 50 "bad" red, 50 to 69 "medium" olive, 70 to 94
// "good" green, 95 and above "excellent" blue.
struct TQualityLook {
  const char* Word;
  std::uint32_t Color;
};
TQualityLook QualityLookFor(int position);

inline constexpr char kQualityBad[] = "bad";
