#include "notes/text/TextQueries.h"

#include <algorithm>

#include "notes/text/LineText.h"

namespace NoteText {

namespace {

bool StopsLeft(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"' || c == '\'' || c == '<' ||
         c == '>' || c == '(' || c == '[' || c == '{';
}

bool StopsRight(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"' || c == '\'' || c == '<' ||
         c == '>' || c == ')' || c == ']' || c == '}';
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsLineBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string UrlAt(std::string_view text, int index) {
  const int n = static_cast<int>(text.size());
  if (n == 0) return {};
  const int i = std::clamp(index, 0, n - 1);
  int start = i;
  while (start > 0 && !StopsLeft(text[start - 1])) --start;
  int end = i;
  while (end < n && !StopsRight(text[end])) ++end;
  if (end <= start) return {};
  std::string_view s = text.substr(start, end - start);
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  while (!s.empty() && (s.back() == '.' || s.back() == ',' || s.back() == ';' || s.back() == ':')) {
    s.remove_suffix(1);
  }
  if (StartsWithNoCase(s, "http://") || StartsWithNoCase(s, "https://")) return std::string(s);
  return {};
}

TLineInfo LineInfoAt(std::string_view text, int index) {
  TLineInfo info;
  info.start = LineStartIndex(text, index);
  info.end = LineEndIndex(text, index);
  info.trimmedEnd = info.end;
  while (info.trimmedEnd > info.start && IsLineBlank(text[info.trimmedEnd - 1])) --info.trimmedEnd;
  return info;
}

void RunAt(std::string_view text, int index, int& start, int& end) {
  const TLineInfo line = LineInfoAt(text, index);
  start = end = line.start;
  if (line.end <= line.start) return;
  const int i = std::clamp(index, line.start, line.end - 1);
  const bool blank = IsLineBlank(text[i]);
  start = i;
  end = i + 1;
  while (start > line.start && IsLineBlank(text[start - 1]) == blank) --start;
  while (end < line.end && IsLineBlank(text[end]) == blank) ++end;
}

}  // namespace NoteText
