#include "notes/text/FunctionHeader.h"

#include <algorithm>
#include <cctype>

#include "notes/text/CodeScan.h"

namespace NoteText {

namespace {

constexpr int kLookBack = 700;

bool WholeWordAt(std::string_view text, int i, std::string_view word) {
  const int n = static_cast<int>(text.size());
  const int w = static_cast<int>(word.size());
  if (i < 0 || i + w > n || text.substr(static_cast<std::size_t>(i), word.size()) != word) return false;
  if (i > 0 && IsCodeIdentChar(text[static_cast<std::size_t>(i - 1)])) return false;
  return i + w >= n || !IsCodeIdentChar(text[static_cast<std::size_t>(i + w)]);
}

bool HasOpenParen(std::string_view text, int from, int to) {
  for (int k = from; k < to; ++k)
    if (text[static_cast<std::size_t>(k)] == '(') return true;
  return false;
}

}  // namespace

bool HasStatementBreak(std::string_view text, int from, int to) {
  from = std::max(from, 0);
  to = std::min(to, static_cast<int>(text.size()));
  for (int k = from; k < to; ++k) {
    const char c = text[static_cast<std::size_t>(k)];
    if (c == ';' || c == '{' || c == '}') return true;
  }
  return false;
}

bool IsControlWord(std::string_view word) {
  while (!word.empty() && IsCodeBlank(word.front())) word.remove_prefix(1);
  while (!word.empty() && IsCodeBlank(word.back())) word.remove_suffix(1);
  std::string lower(word);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static constexpr std::string_view kWords[] = {"if",  "for", "foreach", "while", "switch", "catch", "else",
                                                "try", "return", "array", "isset", "empty",  "echo"};
  return std::find(std::begin(kWords), std::end(kWords), lower) != std::end(kWords);
}

bool FindFunctionHeaderStart(std::string_view text, int brace, int& start) {
  start = -1;
  const int n = static_cast<int>(text.size());
  if (brace <= 0 || brace >= n) return false;
  const int lo = std::max(0, brace - kLookBack);
  // A "function" keyword whose parameters run up to the brace.
  for (int i = brace - 8; i >= lo; --i) {
    if (!WholeWordAt(text, i, "function")) continue;
    if (HasStatementBreak(text, i + 8, brace) || !HasOpenParen(text, i + 8, brace)) continue;
    start = i;
    int k = i - 1;
    while (k >= lo && IsCodeBlank(text[static_cast<std::size_t>(k)])) --k;
    if (k < i - 1 && WholeWordAt(text, k - 4, "async")) start = k - 4;
    return true;
  }
  // An arrow function: the header starts after the statement before it.
  for (int i = brace - 2; i >= lo; --i) {
    if (text[static_cast<std::size_t>(i)] != '=' || text[static_cast<std::size_t>(i + 1)] != '>') continue;
    if (HasStatementBreak(text, i + 2, brace)) continue;
    start = lo;
    for (int k = i - 1; k >= lo; --k) {
      const char c = text[static_cast<std::size_t>(k)];
      if (c == ';' || c == '\r' || c == '\n' || c == '{' || c == '}') {
        start = k + 1;
        break;
      }
    }
    return true;
  }
  // A declaration: "name(...) {" after other text on its line or "::".
  int j = brace - 1;
  while (j >= 0 && IsCodeBlank(text[static_cast<std::size_t>(j)])) --j;
  if (j < 0 || text[static_cast<std::size_t>(j)] != ')') return false;
  int depth = 0;
  int open = -1;
  for (int k = j; k >= 0; --k) {
    const char c = text[static_cast<std::size_t>(k)];
    if (c == ')') ++depth;
    if (c == '(' && --depth == 0) {
      open = k;
      break;
    }
  }
  if (open < 0) return false;
  int nameEnd = open;
  while (nameEnd > 0 && IsCodeBlank(text[static_cast<std::size_t>(nameEnd - 1)]) &&
         text[static_cast<std::size_t>(nameEnd - 1)] != '\r' && text[static_cast<std::size_t>(nameEnd - 1)] != '\n')
    --nameEnd;
  int nameStart = nameEnd;
  while (nameStart > 0 && IsCodeIdentChar(text[static_cast<std::size_t>(nameStart - 1)])) --nameStart;
  if (IsControlWord(text.substr(static_cast<std::size_t>(nameStart), static_cast<std::size_t>(nameEnd - nameStart))))
    return false;
  int lineStart = nameStart;
  while (lineStart > 0 && text[static_cast<std::size_t>(lineStart - 1)] != '\r' &&
         text[static_cast<std::size_t>(lineStart - 1)] != '\n')
    --lineStart;
  const bool afterScope = nameStart >= 2 && text.substr(static_cast<std::size_t>(nameStart - 2), 2) == "::";
  bool textBefore = false;
  for (int k = lineStart; k < nameStart && !textBefore; ++k) textBefore = !IsCodeBlank(text[static_cast<std::size_t>(k)]);
  if (!afterScope && !textBefore) return false;
  start = lineStart;
  return true;
}

bool FindClosingBraceRaw(std::string_view text, int i, int& close) {
  close = -1;
  const int n = static_cast<int>(text.size());
  if (i < 0 || i >= n || text[static_cast<std::size_t>(i)] != '{') return false;
  int depth = 0;
  for (int k = i; k < n; ++k) {
    const char c = text[static_cast<std::size_t>(k)];
    if (c == '{') ++depth;
    if (c == '}' && --depth == 0) {
      close = k;
      return true;
    }
  }
  return false;
}

int FindOuterOpenBrace(std::string_view text, int i) {
  const int n = static_cast<int>(text.size());
  if (n == 0) return -1;
  i = std::clamp(i, 0, n - 1);
  if (text[static_cast<std::size_t>(i)] == '}' && i > 0) --i;
  int depth = 0;
  for (int k = i; k >= 0; --k) {
    const char c = text[static_cast<std::size_t>(k)];
    if (c == '}') ++depth;
    if (c == '{') {
      if (depth == 0) return k;
      --depth;
    }
  }
  return -1;
}

}  // namespace NoteText
