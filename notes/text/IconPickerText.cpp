#include "notes/text/IconPickerText.h"

#include <cstdint>

#include "notes/text/Tokens.h"

namespace NoteText {

namespace {

bool IsSeparator(char c) { return c == '-' || c == '/' || c == '?' || c == '#'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool IsIconPickerUrl(std::string_view url, std::string_view& rest) {
  if (url.substr(0, kIconPickerScheme.size()) != kIconPickerScheme) return false;
  rest = url.substr(kIconPickerScheme.size());
  return true;
}

std::string PickerTextToTokens(std::string_view text) {
  if (text.size() > kPickerMaxTextLength) return {};
  std::string out;
  int count = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && !IsSeparator(text[j])) ++j;
    const std::string_view piece = text.substr(i, j - i);
    i = j;
    if (piece.size() < 4 || piece.size() > 6 || ++count > kPickerMaxCodePoints) return {};
    std::uint32_t cp = 0;
    for (char c : piece) {
      const int v = HexValue(c);
      if (v < 0) return {};
      cp = cp * 16 + static_cast<std::uint32_t>(v);
    }
    if (!IsValidCodePoint(cp)) return {};
    out += FormatCodePointToken(cp);
  }
  return out;
}

}  // namespace NoteText
