// What the icon picker's page hands back: it navigates to "npicon:" followed
// by code points in hexadecimal, separated by runs of "-", "/", "?" or "#"
// ("npicon:1F44D-1F3FD"). The page is outside the program, so its pick is
// checked before anything reaches the notes.
#pragma once

#include <string>
#include <string_view>

namespace NoteText {

// The private scheme, matched exactly (case-sensitive) at the URL's start.
constexpr std::string_view kIconPickerScheme = "npicon:";

// Most code points one pick may carry (long emoji sequences have 7 to 10).
constexpr int kPickerMaxCodePoints = 16;
// Longest pick text looked at.
constexpr std::size_t kPickerMaxTextLength = 256;

// True when url begins with "npicon:"; rest is what follows it.
bool IsIconPickerUrl(std::string_view url, std::string_view& rest);

// The pick as code-point tokens, joined without anything between them:
// every piece between separators must be 4 to 6 hex digits naming a valid
// code point (below 0x110000, not a surrogate), and there must be 1 to
// kPickerMaxCodePoints of them. Anything else gives the empty text: the
// pick is ignored as a whole.
std::string PickerTextToTokens(std::string_view text);

}  // namespace NoteText
