// Splitting text into lines the way the vault and lock files are read.
#pragma once

#include <cstddef>
#include <string_view>

// Calls onLine for every line of text. A line ends at CR LF, CR or LF; a
// final line break adds no line, so the empty text has no lines.
template <class F>
void ForEachTextLine(std::string_view text, F&& onLine) {
  std::size_t start = 0;
  const std::size_t n = text.size();
  while (start < n) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      onLine(text.substr(start));
      return;
    }
    onLine(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ? 2 : 1);
  }
}
