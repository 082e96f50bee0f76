#include "notes/text/CodeScan.h"

#include <algorithm>

#include "notes/text/LineText.h"

namespace NoteText {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr int kUnknown = -2;

bool IsQuote(char c) { return c == '\'' || c == '"' || c == '`'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Index just after the string literal that opens at p (its closing quote),
// or the text's length when it never closes.
int SkipString(std::string_view text, int p) {
  const int len = static_cast<int>(text.size());
  const char delim = text[p];
  int q = p + 1;
  while (q < len) {
    const char c = text[q];
    if (c == '\\') {
      q += 2;
    } else if (c == delim) {
      return q + 1;
    } else {
      ++q;
    }
  }
  return len;
}

int NextBreakIndex(std::string_view text, int from) {
  const std::size_t f = text.find_first_of("\r\n", static_cast<std::size_t>(from));
  return f == npos ? static_cast<int>(text.size()) : static_cast<int>(f);
}

int AfterBlockComment(std::string_view text, int from) {
  const std::size_t f = text.find("*/", static_cast<std::size_t>(from));
  return f == npos ? static_cast<int>(text.size()) : static_cast<int>(f) + 2;
}

// The closing "/" of a regular-expression literal whose body starts at from,
// or -1 when a line break or the end comes first.
int RegexCloseFrom(std::string_view text, int from) {
  const int len = static_cast<int>(text.size());
  bool inClass = false;
  for (int p = from; p < len;) {
    const char c = text[p];
    if (c == '\r' || c == '\n') return -1;
    if (c == '\\') {
      if (p + 1 < len && (text[p + 1] == '\r' || text[p + 1] == '\n')) return -1;
      p += 2;
      continue;
    }
    if (!inClass && c == '[') {
      inClass = true;
    } else if (inClass && c == ']') {
      inClass = false;
    } else if (!inClass && c == '/') {
      return p;
    }
    ++p;
  }
  return -1;
}

bool StartsRegexAt(std::string_view text, int i) {
  const int len = static_cast<int>(text.size());
  if (i < 0 || i >= len || text[i] != '/') return false;
  if (i + 1 < len && (text[i + 1] == '/' || text[i + 1] == '*')) return false;
  return IsExpressionPosition(text, i);
}

int SkipFlags(std::string_view text, int close) {
  int q = close + 1;
  while (q < static_cast<int>(text.size()) && IsAsciiLetter(text[q])) ++q;
  return q;  // just after the literal
}

std::string Blank(std::string_view text, bool hashComments, bool blankStrings) {
  std::string out(text);
  enum class St { Code, Str, Line, Block } st = St::Code;
  char delim = 0;
  const std::size_t n = text.size();
  auto blank = [&](std::size_t k) {
    if (k < n && out[k] != '\r' && out[k] != '\n') out[k] = ' ';
  };
  for (std::size_t i = 0; i < n; ++i) {
    const char c = text[i];
    switch (st) {
      case St::Code:
        if (IsQuote(c)) {
          st = St::Str;
          delim = c;
          if (blankStrings) blank(i);
        } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
          blank(i);
          blank(i + 1);
          ++i;
          st = St::Line;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
          blank(i);
          blank(i + 1);
          ++i;
          st = St::Block;
        } else if (c == '#' && hashComments) {
          blank(i);
          st = St::Line;
        }
        break;
      case St::Str:
        if (blankStrings) blank(i);
        if (c == '\\') {
          if (blankStrings) blank(i + 1);
          ++i;
        } else if (c == delim) {
          st = St::Code;
        }
        break;
      case St::Line:
        // A line comment ends at the next line break of any kind.
        if (c == '\r' || c == '\n') {
          st = St::Code;
        } else {
          out[i] = ' ';
        }
        break;
      case St::Block:
        if (c == '*' && i + 1 < n && text[i + 1] == '/') {
          blank(i);
          blank(i + 1);
          ++i;
          st = St::Code;
        } else {
          blank(i);
        }
        break;
    }
  }
  return out;
}

// Line of index: [start, end) without its break, and the start of the next.
void LineBounds(std::string_view text, int index, int& start, int& end, int& next) {
  start = LineStartIndex(text, index);
  end = LineEndIndex(text, index);
  next = end;
  if (next < static_cast<int>(text.size())) {
    next += (text[next] == '\r' && next + 1 < static_cast<int>(text.size()) && text[next + 1] == '\n') ? 2 : 1;
  }
}

}  // namespace

std::string BlankOutComments(std::string_view text) { return Blank(text, true, false); }

std::string MaskCodeForFunction(std::string_view text) { return Blank(text, false, true); }

bool IsExpressionPosition(std::string_view text, int i) {
  if (i < 0 || i > static_cast<int>(text.size())) return false;
  int j = i - 1;
  while (j >= 0 && IsCodeBlank(text[j])) --j;
  if (j < 0) return true;
  const char c = text[j];
  if (std::string_view("(=:,[{!?;").find(c) != npos) return true;
  if (!IsCodeIdentChar(c)) return false;
  // The word that ends there; none of the words is longer than six letters.
  int k = j;
  while (k >= 0 && IsCodeIdentChar(text[k]) && j - k < 7) --k;
  if (k >= 0 && IsCodeIdentChar(text[k])) return false;
  std::string word(text.substr(static_cast<std::size_t>(k + 1), static_cast<std::size_t>(j - k)));
  for (char& ch : word) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return word == "return" || word == "throw" || word == "case" || word == "typeof" || word == "delete";
}

bool SkipRegexLiteral(std::string_view text, int& i) {
  if (!StartsRegexAt(text, i)) return false;
  const int close = RegexCloseFrom(text, i + 1);
  if (close < 0) return false;
  i = SkipFlags(text, close) - 1;
  return true;
}

int FindMatchingBrace(std::string_view text, int open) {
  const int len = static_cast<int>(text.size());
  if (open < 0 || open >= len || text[open] != '{') return -1;
  int depth = 1;
  int p = open + 1;
  while (p < len) {
    const char c = text[p];
    if (IsQuote(c)) {
      p = SkipString(text, p);
    } else if (c == '/' && p + 1 < len && text[p + 1] == '/') {
      p = NextBreakIndex(text, p);
    } else if (c == '/' && p + 1 < len && text[p + 1] == '*') {
      p = AfterBlockComment(text, p + 2);
    } else if (c == '/') {
      const int close = StartsRegexAt(text, p) ? RegexCloseFrom(text, p + 1) : -1;
      p = close >= 0 ? SkipFlags(text, close) : p + 1;
    } else if (c == '{') {
      ++depth;
      ++p;
    } else if (c == '}') {
      if (--depth == 0) return p;
      ++p;
    } else {
      ++p;
    }
  }
  return -1;
}

int FindMatchingParen(std::string_view text, int open) {
  const int len = static_cast<int>(text.size());
  if (open < 0 || open >= len || text[open] != '(') return -1;
  int depth = 1;
  int p = open + 1;
  while (p < len) {
    const char c = text[p];
    if (IsQuote(c)) {
      p = SkipString(text, p);
    } else if (c == '(') {
      ++depth;
      ++p;
    } else if (c == ')') {
      if (--depth == 0) return p;
      ++p;
    } else {
      ++p;
    }
  }
  return -1;
}

TBraceScanner::TBraceScanner(std::string_view text)
    : text_(text), len_(static_cast<int>(text.size())) {}

int TBraceScanner::MatchBrace(int open) { return Match(open, true); }
int TBraceScanner::MatchParen(int open) { return Match(open, false); }

// The rank of the opening bracket at pos (-1 when there is none), searched
// outward from the last rank looked up: scans mostly ask for the next one.
int TBraceScanner::RankOf(TMemo& memo, char open, int pos) {
  if (!memo.built) {
    memo.built = true;
    for (std::size_t p = text_.find(open); p != npos; p = text_.find(open, p + 1)) {
      memo.positions.push_back(static_cast<int>(p));
    }
    memo.partner.assign(memo.positions.size(), kUnknown);
  }
  const std::vector<int>& ps = memo.positions;
  const std::size_t n = ps.size();
  if (n == 0) return -1;
  const std::size_t h = std::min(memo.hint, n - 1);
  std::size_t lo, hi;  // the rank lies in [lo, hi)
  if (ps[h] == pos) {
    return static_cast<int>(h);
  } else if (ps[h] < pos) {
    lo = h + 1;
    std::size_t step = 1;
    while (lo + step < n && ps[lo + step] < pos) {
      lo += step;
      step *= 2;
    }
    hi = std::min(n, lo + step + 1);
  } else {
    std::size_t top = h, step = 1;
    while (top >= step && ps[top - step] >= pos) {
      top -= step;
      step *= 2;
    }
    lo = top >= step ? top - step : 0;
    hi = top + 1;
  }
  const auto it = std::lower_bound(ps.begin() + static_cast<std::ptrdiff_t>(lo),
                                   ps.begin() + static_cast<std::ptrdiff_t>(hi), pos);
  if (it == ps.end() || *it != pos) return -1;
  memo.hint = static_cast<std::size_t>(it - ps.begin());
  return static_cast<int>(memo.hint);
}

// The scan of the single functions, run with a stack of open brackets
// instead of a depth: every bracket met on the way gets its partner
// remembered, so a later look-up from it, or a scan that meets it again,
// jumps straight over the pair. A bracket without a partner means that no
// bracket around it has one either (the scans are the same from there on).
int TBraceScanner::Match(int open, bool braces) {
  const char oc = braces ? '{' : '(';
  const char cc = braces ? '}' : ')';
  if (open < 0 || open >= len_ || text_[open] != oc) return -1;
  TMemo& memo = braces ? braces_ : parens_;
  const int first = RankOf(memo, oc, open);
  if (memo.partner[first] != kUnknown) return memo.partner[first];
  frames_.assign(1, first);
  auto failAll = [&] {
    for (int r : frames_) memo.partner[r] = -1;
    return -1;
  };
  int p = open + 1;
  for (;;) {
    if (p >= len_) return failAll();
    const char c = text_[p];
    if (IsQuote(c)) {
      p = SkipString(text_, p);
      continue;
    }
    if (braces && c == '/') {
      if (p + 1 < len_ && text_[p + 1] == '/') {
        p = NextBreakIndex(text_, p);
      } else if (p + 1 < len_ && text_[p + 1] == '*') {
        p = AfterBlockComment(text_, p + 2);
      } else {
        const int close = IsExpressionPosition(text_, p) ? RegexClose(p + 1) : -1;
        p = close >= 0 ? SkipFlags(text_, close) : p + 1;
      }
      continue;
    }
    if (c == oc) {
      const int r = RankOf(memo, oc, p);
      const int m = memo.partner[r];
      if (m == kUnknown) {
        frames_.push_back(r);
        ++p;
      } else if (m < 0) {
        return failAll();
      } else {
        p = m + 1;
      }
      continue;
    }
    if (c == cc) {
      memo.partner[frames_.back()] = p;
      frames_.pop_back();
      if (frames_.empty()) return p;
    }
    ++p;
  }
}

int TBraceScanner::RegexClose(int from) {
  const bool remember = regexSteps_ > 2LL * len_ + 4096;
  if (!remember) {
    // The plain scan, counted.
    const int close = RegexCloseFrom(text_, from);
    const int end = close >= 0 ? close : NextBreakIndex(text_, from);
    regexSteps_ += end - from + 1;
    return close;
  }
  if (regexAt_[0].empty()) {
    const std::size_t buckets = static_cast<std::size_t>(len_) / 16 + 1;
    for (int k = 0; k < 2; ++k) {
      regexAt_[k].assign(buckets, -1);
      regexAnswer_[k].assign(buckets, -1);
    }
  }
  // Walks the literal's states from (from, class 0) to a remembered state or
  // to the end of the literal. With record set it walks the same states again
  // and remembers the answer in every bucket on the way that is still free.
  auto walk = [&](bool record, int answer) {
    int p = from;
    int cls = 0;
    for (;;) {
      if (p >= len_) return -1;
      const std::size_t b = static_cast<std::size_t>(p) / 16;
      if (regexAt_[cls][b] == p) return regexAnswer_[cls][b];
      if (record && regexAt_[cls][b] < 0) {
        regexAt_[cls][b] = p;
        regexAnswer_[cls][b] = answer;
      }
      const char c = text_[p];
      if (c == '\r' || c == '\n') return -1;
      if (c == '\\') {
        if (p + 1 < len_ && (text_[p + 1] == '\r' || text_[p + 1] == '\n')) return -1;
        p += 2;
        continue;
      }
      if (!cls && c == '[') {
        cls = 1;
      } else if (cls && c == ']') {
        cls = 0;
      } else if (!cls && c == '/') {
        return p;
      }
      ++p;
    }
  };
  const int result = walk(false, 0);
  walk(true, result);
  return result;
}

int FindMatchingBracket(std::string_view text, int index) {
  const int len = static_cast<int>(text.size());
  if (index < 0 || index >= len) return -1;
  const char c = text[index];
  char partner = 0;
  int step = 0;
  switch (c) {
    case '(': partner = ')'; step = 1; break;
    case '[': partner = ']'; step = 1; break;
    case '{': partner = '}'; step = 1; break;
    case '<': partner = '>'; step = 1; break;
    case ')': partner = '('; step = -1; break;
    case ']': partner = '['; step = -1; break;
    case '}': partner = '{'; step = -1; break;
    case '>': partner = '<'; step = -1; break;
    default: return -1;
  }
  int count = 0;
  for (int p = index; p >= 0 && p < len; p += step) {
    if (text[p] == c) {
      ++count;
    } else if (text[p] == partner) {
      if (--count == 0) return p;
    }
  }
  return -1;
}

int FindSingleBracketInLine(std::string_view text, int index) {
  const int len = static_cast<int>(text.size());
  if (index < 0 || index > len) return -1;
  int start, end, next;
  LineBounds(text, index, start, end, next);
  int first = -1, count = 0;
  bool onlyBlanks = true;
  for (int p = start; p < next; ++p) {
    const char c = text[p];
    if (IsBracketChar(c)) {
      if (first < 0) first = p;
      ++count;
    } else if (!IsCodeBlank(c)) {
      onlyBlanks = false;
    }
  }
  if (count == 1) return first;
  if (count > 1 && onlyBlanks) return first;
  return -1;
}

int FindBracketNearCaret(std::string_view text, int caret) {
  const int len = static_cast<int>(text.size());
  if (caret < 0 || caret > len) return -1;
  if (caret < len && IsBracketChar(text[caret])) return caret;
  if (caret > 0 && IsBracketChar(text[caret - 1])) return caret - 1;
  return FindSingleBracketInLine(text, caret);
}

int FindBracketAround(std::string_view text, int index) {
  const int len = static_cast<int>(text.size());
  if (index < 0 || index >= len) return -1;
  int start, end, next;
  LineBounds(text, index, start, end, next);
  for (int d = 0; d <= 3; ++d) {
    if (index + d >= start && index + d < end && IsBracketChar(text[index + d])) return index + d;
    if (index - d >= start && index - d < end && IsBracketChar(text[index - d])) return index - d;
  }
  return FindSingleBracketInLine(text, index);
}

TTextRange IdentifierAt(std::string_view text, int index) {
  const int len = static_cast<int>(text.size());
  TTextRange r;
  if (index < 0 || index > len) return r;
  int i = index;
  if (!(i < len && IsCodeIdentChar(text[i]))) {
    if (i > 0 && IsCodeIdentChar(text[i - 1])) {
      --i;
    } else {
      return r;
    }
  }
  int s = i, e = i;
  while (s > 0 && IsCodeIdentChar(text[s - 1])) --s;
  while (e < len && IsCodeIdentChar(text[e])) ++e;
  r.start = s;
  r.end = e;
  return r;
}

std::string IdentifierTextAt(std::string_view text, int index) {
  const TTextRange r = IdentifierAt(text, index);
  return r.Empty() ? std::string() : std::string(text.substr(r.start, r.end - r.start));
}

std::string QuotedReferenceAt(std::string_view text, int index) {
  const int len = static_cast<int>(text.size());
  if (index < 0 || index >= len) return {};
  const int start = LineStartIndex(text, index);
  const int end = LineEndIndex(text, index);
  int open = -1;
  for (int p = index; p >= start; --p) {
    if (text[p] == '"' || text[p] == '\'') {
      open = p;
      break;
    }
  }
  if (open < 0) return {};
  int close = -1;
  for (int p = open + 1; p < end; ++p) {
    if (text[p] == text[open]) {
      close = p;
      break;
    }
  }
  if (close < 0 || close == open + 1 || index <= open || index >= close) return {};
  return std::string(text.substr(open + 1, close - open - 1));
}

}  // namespace NoteText
