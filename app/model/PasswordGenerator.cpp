#include "app/model/PasswordGenerator.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "base/Platform.h"
#include "base/Wipe.h"

TRandomSource SystemRandomSource() {
  return [](std::uint8_t* buffer, std::size_t n) { return Platform::RandomBytes(buffer, n); };
}

bool TRandomDraw::Below(std::uint32_t n, std::uint32_t& value) {
  value = 0;
  if (n <= 1) return n == 1 && source_ != nullptr;
  // The accepted draws are 0 .. limit-1, a whole number of runs of n values.
  const std::uint64_t range = std::uint64_t{1} << 32;
  const std::uint64_t limit = range - range % n;
  for (;;) {
    std::uint8_t bytes[4] = {};
    if (!source_ || !source_(bytes, sizeof bytes)) return false;
    const std::uint32_t r = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                            (static_cast<std::uint32_t>(bytes[2]) << 16) |
                            (static_cast<std::uint32_t>(bytes[3]) << 24);
    WipeBytes(bytes, sizeof bytes);
    if (r < limit) {
      value = r % n;
      return true;
    }
  }
}

namespace {

// A character of set (its length without the final zero) at a uniform index.
template <std::size_t N>
bool DrawFrom(TRandomDraw& draw, const char (&set)[N], char& c) {
  std::uint32_t i = 0;
  if (!draw.Below(static_cast<std::uint32_t>(N - 1), i)) return false;
  c = set[i];
  return true;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A kept word's place in the output, 1-based and inclusive; first 0 for none.
struct TRange {
  std::size_t first = 0, last = 0;
};

}  // namespace

std::string GenerateRandomPassword(const TRandomSource& source) {
  TRandomDraw draw(source);
  std::string pwd(16, '\0');
  bool ok = DrawFrom(draw, kPwdLower, pwd[0]) && DrawFrom(draw, kPwdUpper, pwd[1]) &&
            DrawFrom(draw, kPwdDigits, pwd[2]) && DrawFrom(draw, kPwdSpecials, pwd[3]);
  for (std::size_t i = 4; ok && i < 16; ++i) ok = DrawFrom(draw, kPwdMixed, pwd[i]);
  // Fisher-Yates from the end: position i (1-based) swaps with one of 1..i.
  for (std::uint32_t i = 16; ok && i >= 2; --i) {
    std::uint32_t j = 0;
    ok = draw.Below(i, j);
    if (ok) std::swap(pwd[i - 1], pwd[j]);
  }
  if (!ok) WipeString(pwd);
  return pwd;
}

std::string SentenceToPassword(const std::string& sentence, const TRandomSource& source) {
  TRandomDraw draw(source);
  std::string out;
  // The output never outgrows the sentence plus two extras: reserving once
  // leaves no copy of it behind in a released buffer.
  out.reserve(sentence.size() + 2);
  auto fail = [&out]() {
    WipeString(out);
    return std::string();
  };

  // Count the words.
  std::uint32_t words = 0;
  bool inWord = false;
  for (char c : sentence) {
    if (IsLetter(c)) {
      if (!inWord) ++words;
      inWord = true;
    } else {
      inWord = false;
    }
  }

  // Choose the one or two words that stay whole.
  std::uint32_t first = 0, second = 0;
  if (words > 0) {
    std::uint32_t keep = 0;
    if (!draw.Below(2, keep)) return fail();
    keep = std::min<std::uint32_t>(keep + 1, words);
    if (!draw.Below(words, first)) return fail();
    ++first;
    if (keep == 2 && words > 1) {
      do {
        if (!draw.Below(words, second)) return fail();
        ++second;
      } while (second == first);
    }
  }

  // Walk the sentence.
  TRange ranges[2];
  std::string word;
  word.reserve(sentence.size());
  std::uint32_t wordNo = 0;
  bool betweenWords = true;
  auto flush = [&]() {
    if (wordNo == first || (second != 0 && wordNo == second)) {
      TRange& r = ranges[wordNo == first ? 0 : 1];
      r.first = out.size() + 1;
      out += word;
      r.last = out.size();
    } else {
      out.push_back(word[0]);
    }
    WipeString(word);
  };
  for (char c : sentence) {
    if (IsLetter(c)) {
      if (betweenWords) {
        ++wordNo;
        word.clear();
      }
      word.push_back(c);
      betweenWords = false;
    } else {
      if (!betweenWords && !word.empty()) flush();
      if (IsDigit(c) || static_cast<signed char>(c) > 32) out.push_back(c);
      betweenWords = true;
    }
  }
  if (!betweenWords && !word.empty()) flush();

  // One or two extras, never inside a kept word.
  std::uint32_t extras = 0;
  if (!draw.Below(2, extras)) return fail();
  ++extras;
  auto inside = [&ranges](std::size_t pos) {
    for (const TRange& r : ranges)
      if (r.first != 0 && pos > r.first && pos <= r.last) return true;
    return false;
  };
  for (std::uint32_t e = 0; e < extras; ++e) {
    char extra = 0;
    if (!DrawFrom(draw, kSentenceExtras, extra)) return fail();
    std::size_t pos = 1;
    bool placed = false;
    for (int attempt = 0; attempt < 100 && !placed; ++attempt) {
      if (out.empty()) {
        pos = 1;
      } else {
        std::uint32_t p = 0;
        if (!draw.Below(static_cast<std::uint32_t>(out.size() + 1), p)) return fail();
        pos = p + 1;
      }
      placed = !inside(pos);
    }
    if (!placed) pos = out.size() + 1;
    out.insert(pos - 1, 1, extra);
    for (TRange& r : ranges) {
      if (r.first != 0 && pos <= r.first) {
        ++r.first;
        ++r.last;
      }
    }
  }
  return out;
}
