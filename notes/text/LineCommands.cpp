#include "notes/text/LineCommands.h"

#include <algorithm>

#include "notes/text/LineText.h"

namespace NoteText {

int FirstNonBlankPos(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  return static_cast<int>(i) + 1;
}

bool IsBlankLine(std::string_view line) {
  return FirstNonBlankPos(line) > static_cast<int>(line.size());
}

bool HasCommentPrefix(std::string_view line, std::string_view prefix) {
  if (prefix.empty()) return false;
  const std::size_t at = static_cast<std::size_t>(FirstNonBlankPos(line) - 1);
  return line.substr(at, prefix.size()) == prefix;
}

std::string NextLineOf(std::string_view text, int& pos, std::string* lineBreak) {
  const int n = static_cast<int>(text.size());
  pos = std::clamp(pos, 0, n);
  const int end = LineEndIndex(text, pos);
  std::string line(text.substr(pos, end - pos));
  int after = end;
  if (end < n) after += (text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ? 2 : 1;
  if (lineBreak) *lineBreak = std::string(text.substr(end, after - end));
  pos = after;
  return line;
}

TLineBlock SelectedLineBlock(std::string_view text, int selStart, int selLength) {
  const int n = static_cast<int>(text.size());
  selStart = std::clamp(selStart, 0, n);
  int last = selStart;
  if (selLength > 0 && n > 0) {
    const long long lastChar = static_cast<long long>(selStart) + selLength - 1;
    last = std::max(static_cast<int>(std::min<long long>(lastChar, n - 1)), selStart);
  }
  TLineBlock b;
  b.start = LineStartIndex(text, selStart);
  int end = LineEndIndex(text, last);
  if (end < n) end += (text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ? 2 : 1;
  b.end = end;
  return b;
}

TLineEdit ToggleLineComments(std::string_view text, int selStart, int selLength,
                             std::string_view prefix) {
  TLineEdit edit;
  if (prefix.empty()) prefix = "//";
  const std::string inserted = prefix.back() == ' ' ? std::string(prefix) : std::string(prefix) + " ";
  const TLineBlock b = SelectedLineBlock(text, selStart, selLength);
  edit.blockStart = b.start;
  edit.blockEnd = b.end;
  const std::string_view block = text.substr(b.start, b.end - b.start);
  if (block.empty()) return edit;

  bool anyNonBlank = false, allCommented = true;
  for (int p = 0; p < static_cast<int>(block.size());) {
    const std::string line = NextLineOf(block, p);
    if (IsBlankLine(line)) continue;
    anyNonBlank = true;
    if (!HasCommentPrefix(line, prefix)) allCommented = false;
  }
  if (!anyNonBlank) return edit;

  for (int p = 0; p < static_cast<int>(block.size());) {
    std::string br;
    std::string line = NextLineOf(block, p, &br);
    if (!IsBlankLine(line)) {
      const std::size_t at = static_cast<std::size_t>(FirstNonBlankPos(line) - 1);
      if (allCommented) {
        std::size_t cut = prefix.size();
        if (at + cut < line.size() && line[at + cut] == ' ') ++cut;
        line.erase(at, cut);
      } else if (!HasCommentPrefix(line, prefix)) {
        line.insert(at, inserted);
      }
    }
    edit.newBlock += line;
    edit.newBlock += br;
  }
  edit.changed = true;
  return edit;
}

TLineEdit IndentSelectedLines(std::string_view text, int selStart, int selLength, bool outdent,
                              int tabSpaces) {
  TLineEdit edit;
  if (selLength <= 0) return edit;
  const TLineBlock b = SelectedLineBlock(text, selStart, selLength);
  edit.blockStart = b.start;
  edit.blockEnd = b.end;
  const std::string_view block = text.substr(b.start, b.end - b.start);
  const std::string unit = tabSpaces > 0 ? std::string(static_cast<std::size_t>(tabSpaces), ' ') : "\t";
  for (int p = 0; p < static_cast<int>(block.size());) {
    std::string br;
    std::string line = NextLineOf(block, p, &br);
    if (!outdent) {
      line.insert(0, unit);
    } else if (tabSpaces > 0) {
      std::size_t k = 0;
      while (k < line.size() && k < static_cast<std::size_t>(tabSpaces) && line[k] == ' ') ++k;
      line.erase(0, k);
    } else if (!line.empty() && line[0] == '\t') {
      line.erase(0, 1);
    }
    edit.newBlock += line;
    edit.newBlock += br;
  }
  edit.changed = true;
  return edit;
}

}  // namespace NoteText
