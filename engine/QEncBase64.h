// Base64 with the standard alphabet of RFC 4648 and "=" padding.
#pragma once

#include <string>

// Groups of three bytes become four symbols; a last group of one byte gives
// two symbols and "==", of two bytes three symbols and "=". No line breaks.
std::string Base64Encode(const std::string& data);

// Lenient: every character outside the alphabet and "=" (CR, LF, blanks,
// anything else) is skipped, "=" counts as a padding symbol. A group of
// four symbols gives three bytes, two when only the fourth is padding, one
// when the third is, none when the first or second is. An incomplete last
// group is dropped.
std::string Base64Decode(const std::string& text);
