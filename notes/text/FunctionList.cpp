#include "notes/text/FunctionList.h"

#include <algorithm>
#include <climits>
#include <queue>
#include <unordered_set>

#include "notes/text/LineText.h"

namespace NoteText {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr int kHeaderLookAhead = 4000;

constexpr std::string_view kTypeWords[] = {
    "void",  "int",    "long",       "short",    "double", "float", "bool",
    "char",  "String", "byte",       "word",     "size_t", "__fastcall",
    "unsigned", "signed", "const",   "static",   "inline", "virtual",
};

constexpr std::string_view kNotFunctions[] = {
    "if", "for", "while", "switch", "catch", "foreach", "return", "isset", "empty", "echo",
    "include", "require",
};

bool IsTypeWord(std::string_view w) {
  return std::find(std::begin(kTypeWords), std::end(kTypeWords), w) != std::end(kTypeWords);
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// Line starts of a text; the blanked text has the same breaks as the text.
class TLineStarts {
 public:
  explicit TLineStarts(std::string_view text) {
    starts_.push_back(0);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') starts_.push_back(static_cast<int>(i) + 1);
    }
  }
  // Just after the CR or LF before i, or 0.
  int StartOf(int i) const {
    const auto it = std::upper_bound(starts_.begin(), starts_.end(), i);
    return *(it - 1);
  }

 private:
  std::vector<int> starts_;
};

// The three detection passes over the comment-blanked text. Entries take
// their characters from the text itself.
class TDetector {
 public:
  explicit TDetector(std::string_view text)
      : text_(text), b_(BlankOutComments(text)), n_(static_cast<int>(b_.size())), parens_(b_),
        lines_(b_) {}

  std::vector<TFunctionEntry> Run() {
    KeywordPass();
    AssignmentPass();
    DeclarationPass();
    return std::move(entries_);
  }

  const std::string& Blanked() const { return b_; }

 private:
  int SkipBlanks(int i) const {
    while (i < n_ && IsCodeBlank(b_[i])) ++i;
    return i;
  }
  bool WordAt(int i, std::string_view w) const {
    return i >= 0 && static_cast<std::size_t>(i) + w.size() <= b_.size() &&
           std::string_view(b_).substr(static_cast<std::size_t>(i), w.size()) == w;
  }
  // w at i, not followed by an identifier character.
  bool WholeWordAt(int i, std::string_view w) const {
    const int e = i + static_cast<int>(w.size());
    return WordAt(i, w) && (e >= n_ || !IsCodeIdentChar(b_[e]));
  }
  std::string Slice(int from, int to) const {  // text[from, to)
    return std::string(text_.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
  }

  void Add(std::string entry, int position) {
    if (entry.empty()) return;
    if (!seen_.insert(LowerAscii(entry)).second) return;
    entries_.push_back({std::move(entry), position});
  }

  // Whether a body follows a parameter list that ends just before i: after
  // blanks, ":" … "{" before any ";" (initialiser list, return type); or,
  // after any "const", "noexcept" and "&", a "{".
  bool IsBodyAfterParameters(int i) {
    i = SkipBlanks(i);
    if (i < n_ && b_[i] == ':') return NextBraceOrSemicolonIsBrace(i + 1);
    for (;;) {
      i = SkipBlanks(i);
      if (WholeWordAt(i, "const")) {
        i += 5;
      } else if (WholeWordAt(i, "noexcept")) {
        i += 8;
      } else if (i < n_ && b_[i] == '&') {
        ++i;
      } else {
        return i < n_ && b_[i] == '{';
      }
    }
  }

  // Remembers the last answer: a query inside the stretch it already knows
  // to be free of "{" and ";" gets the same answer without a scan.
  bool NextBraceOrSemicolonIsBrace(int from) {
    if (!(memoFrom_ >= 0 && from >= memoFrom_ && from <= memoAt_)) {
      const std::size_t f = std::string_view(b_).find_first_of("{;", static_cast<std::size_t>(from));
      memoFrom_ = from;
      memoAt_ = f == npos ? n_ : static_cast<int>(f);
    }
    return memoAt_ < n_ && b_[memoAt_] == '{';
  }

  bool IsStatementStart(int lineStart, int i) const {
    int j = i - 1;
    while (j >= lineStart && (b_[j] == ' ' || b_[j] == '\t')) --j;
    if (j < lineStart) return true;
    return b_[j] == '{' || b_[j] == ',' || b_[j] == ';';
  }

  // A type word wholly inside [lineStart, to): the first one of the line is
  // found once per line.
  bool HasTypeWordInRange(int lineStart, int to) {
    if (typeLine_ != lineStart) {
      typeLine_ = lineStart;
      typeEnd_ = INT_MAX;
      int p = lineStart;
      while (p < n_ && b_[p] != '\r' && b_[p] != '\n') {
        if (!IsCodeIdentChar(b_[p])) {
          ++p;
          continue;
        }
        int q = p;
        while (q < n_ && IsCodeIdentChar(b_[q])) ++q;
        if (IsTypeWord(std::string_view(b_).substr(static_cast<std::size_t>(p), static_cast<std::size_t>(q - p)))) {
          typeEnd_ = q;
          break;
        }
        p = q;
      }
    }
    return typeEnd_ <= to;
  }

  // "function" [*] name ( … ) body
  void KeywordPass() {
    std::size_t at = 0;
    for (;;) {
      const std::size_t f = b_.find("function", at);
      if (f == npos) break;
      const int p = static_cast<int>(f);
      at = f + 1;
      if (p + 8 >= n_) break;
      if ((p > 0 && IsCodeIdentChar(b_[p - 1])) || IsCodeIdentChar(b_[p + 8])) continue;
      int j = SkipBlanks(p + 8);
      if (j < n_ && b_[j] == '*') j = SkipBlanks(j + 1);
      if (!(j < n_ && IsNameStartChar(b_[j]) && b_[j] != '~')) continue;
      const int nameStart = j;
      while (j < n_ && IsCodeIdentChar(b_[j])) ++j;
      j = SkipBlanks(j);
      if (!(j < n_ && b_[j] == '(')) continue;
      const int close = parens_.MatchParen(j);
      if (close < 0 || !IsBodyAfterParameters(close + 1)) continue;
      Add(Slice(nameStart, close + 1), p);
      at = static_cast<std::size_t>(close) + 1;
    }
  }

  // name = [async] function [*] [name] ( … ) body
  // name = [async] ( … ) =>
  // name = [async] param =>
  // Returns where the scan goes on, or -1 when nothing was found at p.
  int TryAssignment(int p, int nameEnd) {
    int j = SkipBlanks(nameEnd);
    if (!(j < n_ && b_[j] == '=')) return -1;
    j = SkipBlanks(j + 1);
    if (WholeWordAt(j, "async")) j = SkipBlanks(j + 5);
    const std::string name = Slice(p, nameEnd);
    if (WordAt(j, "function") && j + 8 < n_) {
      int k = SkipBlanks(j + 8);
      if (k < n_ && b_[k] == '*') k = SkipBlanks(k + 1);
      while (k < n_ && IsCodeIdentChar(b_[k])) ++k;
      k = SkipBlanks(k);
      if (!(k < n_ && b_[k] == '(')) return -1;
      const int close = parens_.MatchParen(k);
      if (close < 0 || !IsBodyAfterParameters(close + 1)) return -1;
      Add(name + Slice(k, close + 1), p);
      return close + 1;
    }
    if (j < n_ && b_[j] == '(') {
      const int close = parens_.MatchParen(j);
      if (close < 0) return -1;
      const int k = SkipBlanks(close + 1);
      if (!WordAt(k, "=>")) return -1;
      Add(name + Slice(j, close + 1), p);
      return close + 1;
    }
    if (j < n_ && IsNameStartChar(b_[j]) && b_[j] != '~') {
      int k = j;
      while (k < n_ && IsCodeIdentChar(b_[k])) ++k;
      const int paramEnd = k;
      k = SkipBlanks(k);
      if (!WordAt(k, "=>")) return -1;
      Add(name + "(" + Slice(j, paramEnd) + ")", p);
      return paramEnd;
    }
    return -1;
  }

  void AssignmentPass() {
    int p = 0;
    while (p < n_) {
      const char c = b_[p];
      if (!IsCodeIdentChar(c) || !IsNameStartChar(c)) {  // digits start no name
        ++p;
        continue;
      }
      int q = p;
      while (q < n_ && IsCodeIdentChar(b_[q])) ++q;
      const int resume = TryAssignment(p, q);
      // Every later start inside the same name sees the same text after it,
      // so none of them can succeed either.
      p = resume >= 0 ? resume : q;
    }
  }

  // [type words | statement start] [Class::][~]name ( … ) body
  void DeclarationPass() {
    std::size_t at = 0;
    for (;;) {
      const std::size_t f = b_.find('(', at);
      if (f == npos) break;
      const int o = static_cast<int>(f);
      at = f + 1;
      int j = o - 1;
      while (j >= 0 && IsCodeBlank(b_[j])) --j;
      if (j < 0 || !IsCodeIdentChar(b_[j])) continue;
      int nameStart = j;
      while (nameStart > 0 && IsCodeIdentChar(b_[nameStart - 1])) --nameStart;
      if (nameStart > 0 && b_[nameStart - 1] == '~') --nameStart;
      if (nameStart >= 2 && b_[nameStart - 1] == ':' && b_[nameStart - 2] == ':') {
        nameStart -= 2;
        while (nameStart > 0 && IsCodeIdentChar(b_[nameStart - 1])) --nameStart;
      }
      const std::string_view name =
          std::string_view(b_).substr(static_cast<std::size_t>(nameStart), static_cast<std::size_t>(j + 1 - nameStart));
      if (std::find(std::begin(kNotFunctions), std::end(kNotFunctions), name) != std::end(kNotFunctions)) {
        continue;
      }
      const int close = parens_.MatchParen(o);
      if (close < 0 || !IsBodyAfterParameters(close + 1)) continue;
      const int lineStart = lines_.StartOf(nameStart);
      if (HasTypeWordInRange(lineStart, nameStart) || IsStatementStart(lineStart, nameStart)) {
        Add(Slice(nameStart, close + 1), lineStart);
        at = static_cast<std::size_t>(close) + 1;
      }
    }
  }

  std::string_view text_;
  std::string b_;
  int n_;
  TBraceScanner parens_;
  TLineStarts lines_;
  std::vector<TFunctionEntry> entries_;
  std::unordered_set<std::string> seen_;
  int memoFrom_ = -1, memoAt_ = -1;
  int typeLine_ = -1, typeEnd_ = INT_MAX;
};

std::string NormalizedForCompare(std::string_view s) {
  return std::string(TrimView(BlankOutComments(NormalizeLineBreaks(s))));
}

}  // namespace

std::vector<TFunctionEntry> DetectFunctions(std::string_view text) { return TDetector(text).Run(); }

std::string ExtractSimpleFunctionName(std::string_view entry) {
  std::string_view s = TrimView(entry);
  if (s.empty()) return {};
  const std::size_t paren = s.find('(');
  if (paren != npos) s = TrimView(s.substr(0, paren));
  const std::size_t colons = s.rfind("::");
  if (colons != npos) s = TrimView(s.substr(colons + 2));
  return std::string(s);
}

int IndexOfFunctionEntry(const std::vector<TFunctionEntry>& entries, std::string_view entry) {
  const std::string want = LowerAscii(TrimView(entry));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (LowerAscii(entries[i].entry) == want) return static_cast<int>(i);
  }
  return -1;
}

int IndexOfSimpleName(const std::vector<TFunctionEntry>& entries, std::string_view name) {
  const std::string_view want = TrimView(name);
  if (want.empty()) return -1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (ExtractSimpleFunctionName(entries[i].entry) == want) return static_cast<int>(i);
  }
  return -1;
}

TFunctionBlocks::TFunctionBlocks(std::string_view text) : text_(text) {
  TDetector detector(text);
  entries_ = detector.Run();
  const std::string& b = detector.Blanked();
  const int n = static_cast<int>(text.size());
  TLineStarts lines(b);
  TBraceScanner braces(text);
  blocks_.resize(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const int q = entries_[i].position;
    if (q < 0 || q >= n) continue;
    const int start = lines.StartOf(q);
    // The body's brace: the first "{" outside parentheses, unless a ";"
    // (a declaration without body) comes first.
    int depth = 0;
    int brace = -1;
    for (int k = start; k < n && k < start + kHeaderLookAhead; ++k) {
      const char c = b[k];
      if (c == '(') {
        ++depth;
      } else if (c == ')') {
        --depth;
      } else if (c == ';' && depth == 0) {
        break;
      } else if (c == '{' && depth == 0) {
        brace = k;
        break;
      }
    }
    if (brace < 0) continue;
    const int close = braces.MatchBrace(brace);
    if (close < 0) continue;
    blocks_[i] = {start, close + 1};
  }
}

bool TFunctionBlocks::BlockAt(int pos, int& blockStart, int& blockEnd) const {
  blockStart = blockEnd = 0;
  const int n = static_cast<int>(text_.size());
  if (n == 0) return false;
  pos = std::clamp(pos, 0, n - 1);
  for (std::size_t i = entries_.size(); i-- > 0;) {
    const int q = entries_[i].position;
    const TBlock& b = blocks_[i];
    if (q < 0 || q >= n || q > pos || b.start < 0) continue;
    if (pos >= b.start && pos <= b.end) {
      blockStart = b.start;
      blockEnd = b.end;
      return true;
    }
  }
  return false;
}

bool TFunctionBlocks::BlockAtCaret(int caret, int& blockStart, int& blockEnd) const {
  const int n = static_cast<int>(text_.size());
  caret = std::clamp(caret, 0, n);
  if (BlockAt(caret, blockStart, blockEnd)) return true;
  const int end = LineEndIndex(text_, caret);
  if (end >= n) return false;
  const int next = end + ((text_[end] == '\r' && end + 1 < n && text_[end + 1] == '\n') ? 2 : 1);
  if (next >= n) return false;
  return BlockAt(next, blockStart, blockEnd);
}

bool TFunctionBlocks::IsFunctionText(std::string_view selected) const {
  const std::string want = NormalizedForCompare(selected);
  if (want.empty() || entries_.empty()) return false;
  const int n = static_cast<int>(text_.size());
  // The block found from every entry's position, for all positions in one
  // sweep: the owner of a position is the last entry (in list order) whose
  // position is at or before it and whose block reaches it.
  std::vector<int> order(entries_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  auto posOf = [&](int i) { return std::clamp(entries_[i].position, 0, n - 1); };
  std::sort(order.begin(), order.end(), [&](int a, int b) { return posOf(a) < posOf(b); });
  std::vector<int> byPosition;  // valid entries with blocks, by position
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const int q = entries_[i].position;
    if (q >= 0 && q < n && blocks_[i].start >= 0) byPosition.push_back(static_cast<int>(i));
  }
  std::sort(byPosition.begin(), byPosition.end(),
            [&](int a, int b) { return entries_[a].position < entries_[b].position; });
  std::priority_queue<int> open;  // entry indexes whose position has been passed
  std::size_t next = 0;
  std::unordered_set<int> tried;
  for (int query : order) {
    const int pos = posOf(query);
    while (next < byPosition.size() && entries_[byPosition[next]].position <= pos) {
      open.push(byPosition[next++]);
    }
    // A block starts at its line, at or before its entry's position, so the
    // owner is the last entry with a block that still reaches pos; blocks
    // that end before pos end before every later position too.
    while (!open.empty() && blocks_[open.top()].end < pos) open.pop();
    const int owner = open.empty() ? -1 : open.top();
    if (owner < 0 || !tried.insert(owner).second) continue;
    const TBlock& b = blocks_[owner];
    if (static_cast<std::size_t>(b.end - b.start) < want.size()) continue;
    if (NormalizedForCompare(text_.substr(b.start, b.end - b.start)) == want) return true;
  }
  return false;
}

bool FindFunctionBlockAtPos(std::string_view text, int pos, int& blockStart, int& blockEnd) {
  return TFunctionBlocks(text).BlockAt(pos, blockStart, blockEnd);
}

bool FindFunctionBlockAtCaret(std::string_view text, int caret, int& blockStart, int& blockEnd) {
  return TFunctionBlocks(text).BlockAtCaret(caret, blockStart, blockEnd);
}

int TrimBlockEnd(std::string_view text, int blockStart, int blockEnd) {
  blockEnd = std::min(blockEnd, static_cast<int>(text.size()));
  while (blockEnd > blockStart) {
    const char c = text[blockEnd - 1];
    if (c != '\r' && c != '\n' && c != ' ' && c != '\t') break;
    --blockEnd;
  }
  return blockEnd;
}

TFunctionJumper::TResult TFunctionJumper::Next(std::string_view text, std::string_view entry) {
  TResult r;
  if (entry.empty() || text.empty()) return r;
  const std::string name = ExtractSimpleFunctionName(entry);
  if (name.empty()) return r;
  if (LowerAscii(name) != LowerAscii(lastName_)) {
    lastName_ = name;
    lastIndex_ = -1;
  }
  int target = lastIndex_ + 1;
  const int n = static_cast<int>(text.size());
  const int m = static_cast<int>(name.size());
  int first = -1, found = -1, count = 0;
  for (std::size_t at = 0;;) {
    const std::size_t f = text.find(name, at);
    if (f == npos) break;
    at = f + 1;  // occurrences may overlap
    const int p = static_cast<int>(f);
    if ((p > 0 && IsCodeIdentChar(text[p - 1])) || (p + m < n && IsCodeIdentChar(text[p + m]))) {
      continue;
    }
    if (count == 0) first = p;
    if (count == target) found = p;
    ++count;
  }
  r.occurrences = count;
  if (count == 0) {
    lastIndex_ = -1;
    r.beep = true;
    return r;
  }
  if (found < 0) {  // past the last occurrence: wrap to the first
    target = 0;
    found = first;
  }
  lastIndex_ = target;
  r.ordinal = target + 1;
  r.index = found;
  r.length = m;
  return r;
}

int ScrollTopForSelection(int firstLine, int selLines, int visibleLines) {
  const int v = std::max(visibleLines, 1);
  const int top = selLines > v - 4 ? firstLine - 2 : firstLine - v / 2;
  return std::max(top, 0);
}

}  // namespace NoteText
