// Splitting text into lines the way the vault and lock files are read: a
// line ends at CR LF, CR or LF; a final line break adds no line, so the
// empty text has no lines. And trimming the blanks off their parts.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// Walks the lines of a text front to back in linear time, also for texts
// that use only CR or only LF.
class TLineCursor {
 public:
  explicit TLineCursor(std::string_view text) : text_(text) { Scan(); }

  bool Ok() const { return ok_; }
  std::string_view Line() const { return line_; }
  void Advance() {
    pos_ = next_;
    Scan();
  }

 private:
  // The next position of c at or after pos_, or the text's size; the last
  // answer is reused while it still lies ahead, so no byte is searched twice.
  std::size_t NextOf(char c, std::size_t& cache) {
    if (cache < pos_ || cache == kUnknown) {
      const void* hit = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
      cache = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : text_.size();
    }
    return cache;
  }

  void Scan() {
    ok_ = pos_ < text_.size();
    if (!ok_) return;
    const std::size_t cr = NextOf('\r', nextCr_), lf = NextOf('\n', nextLf_);
    const std::size_t end = cr < lf ? cr : lf;
    line_ = text_.substr(pos_, end - pos_);
    next_ = end == text_.size() ? end : end + ((cr == end && lf == end + 1) ? 2 : 1);
  }

  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
  std::string_view text_;
  std::string_view line_;
  std::size_t pos_ = 0, next_ = 0;
  std::size_t nextCr_ = kUnknown, nextLf_ = kUnknown;
  bool ok_ = false;
};

// Calls onLine for every line of text.
template <class F>
void ForEachTextLine(std::string_view text, F&& onLine) {
  for (TLineCursor c(text); c.Ok(); c.Advance()) onLine(c.Line());
}

// Blanks are the bytes up to 0x20: spaces and control characters, as the
// class library's Trim removes them.
inline bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The text without its leading and trailing blanks.
inline std::string_view TrimBlanks(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlankChar(s[b])) ++b;
  while (e > b && IsBlankChar(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The text without its leading blanks.
inline std::string_view TrimLeftBlanks(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlankChar(s[b])) ++b;
  return s.substr(b);
}
