#include "notes/text/LineText.h"

#include <algorithm>

namespace NoteText {

std::string ToControlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out.push_back('\r');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out.push_back('\r');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string ToHostText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string NormalizeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

int CountLineBreaks(std::string_view text) {
  int n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      ++n;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      ++n;
    }
  }
  return n;
}

int CountLines(std::string_view text) { return text.empty() ? 0 : 1 + CountLineBreaks(text); }

int LineStartIndex(std::string_view text, int pos) {
  const int len = static_cast<int>(text.size());
  pos = std::clamp(pos, 0, len);
  while (pos > 0 && !IsLineBreakChar(text[pos - 1])) --pos;
  return pos;
}

int LineEndIndex(std::string_view text, int pos) {
  const int len = static_cast<int>(text.size());
  pos = std::clamp(pos, 0, len);
  while (pos < len && !IsLineBreakChar(text[pos])) ++pos;
  return pos;
}

TLineIndex::TLineIndex(std::string_view text) : length_(static_cast<int>(text.size())) {
  starts_.push_back(0);
  for (int i = 0; i < length_; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      ends_.push_back(i);
      if (c == '\r' && i + 1 < length_ && text[i + 1] == '\n') ++i;
      starts_.push_back(i + 1);
    }
  }
  ends_.push_back(length_);
}

int TLineIndex::LineStart(int line) const {
  return line < 0 || line >= LineCount() ? -1 : starts_[line];
}

int TLineIndex::LineLength(int line) const {
  return line < 0 || line >= LineCount() ? -1 : ends_[line] - starts_[line];
}

int TLineIndex::LineEndWithBreak(int line) const {
  if (line < 0 || line >= LineCount()) return -1;
  return line + 1 < LineCount() ? starts_[line + 1] : length_;
}

int TLineIndex::LineFromIndex(int pos) const {
  pos = std::clamp(pos, 0, length_);
  // The last line whose start is at or before pos.
  const auto it = std::upper_bound(starts_.begin(), starts_.end(), pos);
  return static_cast<int>(it - starts_.begin()) - 1;
}

}  // namespace NoteText
