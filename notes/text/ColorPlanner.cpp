#include "notes/text/ColorPlanner.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace NoteText {

namespace {

constexpr auto npos = std::string_view::npos;

bool IsIdentChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlankOrBreak(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Index of the next CR or LF at or after from, or the text's length. A
// plain loop: a search for any of a set of characters tests each character
// against the set with a call of its own, and the markup is looked for over
// every line of the note at each pass.
std::size_t NextBreak(std::string_view text, std::size_t from) {
  const std::size_t n = text.size();
  for (std::size_t i = from; i < n; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') return i;
  }
  return n;
}

// Index just after the line break at i (CR LF counts as one).
std::size_t AfterBreak(std::string_view text, std::size_t i) {
  if (i >= text.size()) return text.size();
  if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') return i + 2;
  return i + 1;
}

// An odd number of backslashes right before pos escapes the character there.
bool IsEscaped(std::string_view text, std::size_t pos) {
  std::size_t n = 0;
  while (pos > n && text[pos - n - 1] == '\\') ++n;
  return n % 2 == 1;
}

class TPlanner {
 public:
  TPlanner(std::string_view text, int rangeStart, int rangeEnd, std::vector<TFormatOp>& ops)
      : text_(text), len_(static_cast<int>(text.size())), rs_(rangeStart), re_(rangeEnd), ops_(ops) {}

  // Adds an operation clipped to the range; nothing when nothing is left.
  TFormatOp* Add(TFormatKind kind, int start, int length) {
    const int s = std::max(start, rs_), e = std::min(start + length, re_);
    if (e <= s) return nullptr;
    TFormatOp op;
    op.kind = kind;
    op.start = s;
    op.length = e - s;
    ops_.push_back(op);
    return &ops_.back();
  }
  void Color(int start, int length, TColor c) {
    if (auto* op = Add(TFormatKind::Color, start, length)) op->color = c;
  }
  void Hide(int start, int length) { Add(TFormatKind::Hide, start, length); }

  void SyntaxColours(const TSyntaxPalette& pal, const TKeywordSet& keywords);
  void ColourTokens();
  void Markup();
  void TokenImages(bool images, int imageCount, bool glyphs);

 private:
  bool Claimed(std::size_t from, std::size_t to) const {
    for (std::size_t k = from; k < to && k < claimed_.size(); ++k) {
      if (claimed_[k]) return true;
    }
    return false;
  }
  void Claim(std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to && k < claimed_.size(); ++k) claimed_[k] = 1;
  }
  void CodeFences();
  void Headings();
  void PairedMarkers(std::string_view marker, bool bold, bool italic, bool code, bool singleLine);

  std::string_view text_;
  int len_;
  int rs_, re_;
  std::vector<TFormatOp>& ops_;
  std::vector<char> claimed_;
};

void TPlanner::SyntaxColours(const TSyntaxPalette& pal, const TKeywordSet& keywords) {
  int p = rs_;
  while (p < len_ && p < re_) {
    const char c = text_[p];
    if (c == '[') {
      const int n = CodePointTokenLength(text_, p);
      if (n > 0) {
        Color(p, n, pal.token);
        p += n;
        continue;
      }
    }
    if (c == '\'' || c == '"') {
      int q = p + 1;
      while (q < len_) {
        const char d = text_[q];
        if (d == '\\' && q + 1 < len_) {
          q += 2;
          continue;
        }
        if (d == c) {
          ++q;
          break;
        }
        if (d == '\r' || d == '\n') break;
        ++q;
      }
      q = std::min(q, len_);
      Color(p, q - p, pal.string);
      p = q;
      continue;
    }
    if (c == '/' && p + 1 < len_ && text_[p + 1] == '/') {
      const int q = static_cast<int>(NextBreak(text_, static_cast<std::size_t>(p)));
      Color(p, q - p, pal.comment);
      p = q;
      continue;
    }
    if (c == '/' && p + 1 < len_ && text_[p + 1] == '*') {
      const std::size_t f = text_.find("*/", static_cast<std::size_t>(p) + 2);
      const int q = f == npos ? len_ : static_cast<int>(f) + 2;
      Color(p, q - p, pal.comment);
      p = q;
      continue;
    }
    if (IsIdentChar(c) && !IsDigit(c)) {
      int q = p;
      while (q < len_ && IsIdentChar(text_[q])) ++q;
      if (keywords.Contains(text_.substr(p, q - p))) {
        Color(p, q - p, pal.keyword);
      } else {
        int r = q;
        while (r < len_ && IsBlankOrBreak(text_[r])) ++r;
        if (r < len_ && text_[r] == '(') Color(p, q - p, pal.method);
      }
      p = q;
      continue;
    }
    ++p;
  }
}

void TPlanner::ColourTokens() {
  // The colour in force at the range start: the nearest colour token that
  // lies before it.
  bool inForce = false;
  TColor current = 0;
  if (rs_ > 0) {
    std::size_t from = static_cast<std::size_t>(rs_ - 1);
    for (;;) {
      const std::size_t f = text_.rfind("[[COLOR:", from);
      if (f == npos) break;
      bool off = false;
      TColor col = 0;
      const int n = ParseColorToken(text_, static_cast<int>(f), off, col);
      if (n > 0 && static_cast<int>(f) + n <= rs_ + 1) {
        inForce = !off;
        current = col;
        break;
      }
      if (f == 0) break;
      from = f - 1;
    }
  }
  int segStart = rs_;
  int p = rs_;
  while (p < len_ && p < re_) {
    if (text_[p] == '[') {
      bool off = false;
      TColor col = 0;
      const int n = ParseColorToken(text_, p, off, col);
      if (n > 0) {
        if (inForce) Color(segStart, p - segStart, current);
        Hide(p, n);
        inForce = !off;
        current = col;
        p += n;
        segStart = p;
        continue;
      }
    }
    ++p;
  }
  if (inForce) Color(segStart, p - segStart, current);
}

void TPlanner::CodeFences() {
  std::size_t i = 0;
  const std::size_t len = text_.size();
  while (i + 2 < len) {
    const std::size_t f = text_.find("```", i);
    if (f == npos) break;
    i = f;
    if (IsEscaped(text_, i) || Claimed(i, i + 3)) {
      ++i;
      continue;
    }
    // The opening line must end; later fences would not find a break either.
    const std::size_t eol = NextBreak(text_, i + 3);
    if (eol >= len) break;
    const std::size_t contentStart = AfterBreak(text_, eol);
    std::size_t close = contentStart;
    for (;;) {
      close = text_.find("```", close);
      if (close == npos || !IsEscaped(text_, close)) break;
      ++close;
    }
    // Without a closing fence here, no later opening fence has one either.
    if (close == npos) break;
    Hide(static_cast<int>(i), static_cast<int>(contentStart - i));
    std::size_t contentEnd = close;
    while (contentEnd > contentStart && (text_[contentEnd - 1] == '\r' || text_[contentEnd - 1] == '\n')) {
      --contentEnd;
    }
    if (auto* op = Add(TFormatKind::Style, static_cast<int>(contentStart),
                       static_cast<int>(contentEnd - contentStart))) {
      op->codeFace = true;
    }
    const std::size_t closeEol = NextBreak(text_, close + 3);
    const std::size_t closeEnd = AfterBreak(text_, closeEol);
    Hide(static_cast<int>(close), static_cast<int>(closeEnd - close));
    Claim(i, closeEnd);
    i = closeEnd;
  }
}

void TPlanner::Headings() {
  std::size_t ls = 0;
  const std::size_t len = text_.size();
  while (ls <= len) {
    const std::size_t le = NextBreak(text_, ls);
    std::size_t p = ls;
    // Leading image and colour tokens do not count.
    while (p < le && text_[p] == '[') {
      int num = 0;
      bool off = false;
      TColor col = 0;
      int n = ParseImageToken(text_, static_cast<int>(p), num);
      if (n == 0) n = ParseColorToken(text_, static_cast<int>(p), off, col);
      if (n == 0) break;
      p += static_cast<std::size_t>(n);
    }
    std::size_t h = p;
    while (h < le && text_[h] == '#') ++h;
    const std::size_t level = h - p;
    if (level >= 1 && level <= 6 && h < le && (text_[h] == ' ' || text_[h] == '\t') &&
        !Claimed(p, le)) {
      std::size_t b = h;
      while (b < le && (text_[b] == ' ' || text_[b] == '\t')) ++b;
      if (b < le) {
        Hide(static_cast<int>(p), static_cast<int>(b - p));
        if (auto* op = Add(TFormatKind::Heading, static_cast<int>(b), static_cast<int>(le - b))) {
          op->bold = true;
          op->level = static_cast<int>(level);
        }
        Claim(p, b);
      }
    }
    if (le >= len) break;
    ls = AfterBreak(text_, le);
  }
}

void TPlanner::PairedMarkers(std::string_view marker, bool bold, bool italic, bool code,
                             bool singleLine) {
  const std::size_t m = marker.size();
  std::size_t p = 0;
  for (;;) {
    const std::size_t f = text_.find(marker, p);
    if (f == npos) break;
    if (IsEscaped(text_, f) || Claimed(f, f + m)) {
      p = f + 1;
      continue;
    }
    const std::size_t limit = singleLine ? NextBreak(text_, f) : text_.size();
    std::size_t c = f + m;
    std::size_t found = npos;
    for (;;) {
      c = text_.find(marker, c);
      if (c == npos || c + m > limit) break;
      if (!IsEscaped(text_, c) && !Claimed(c, c + m)) {
        found = c;
        break;
      }
      ++c;
    }
    if (found == npos) {
      // No later opening marker on this line (or, across lines, anywhere)
      // can find a closing one either.
      if (!singleLine || limit >= text_.size()) break;
      p = limit;
      continue;
    }
    if (found == f + m) {  // nothing between the markers
      p = f + 1;
      continue;
    }
    Hide(static_cast<int>(f), static_cast<int>(m));
    if (auto* op = Add(TFormatKind::Style, static_cast<int>(f + m), static_cast<int>(found - f - m))) {
      op->bold = bold;
      op->italic = italic;
      op->codeFace = code;
    }
    Hide(static_cast<int>(found), static_cast<int>(m));
    Claim(f, found + m);
    p = found + m;
  }
}

void TPlanner::Markup() {
  claimed_.assign(text_.size() + 2, 0);
  CodeFences();
  Headings();
  PairedMarkers("`", false, false, true, true);
  PairedMarkers("**", true, false, false, false);
  PairedMarkers("*", false, true, false, false);
}

void TPlanner::TokenImages(bool images, int imageCount, bool glyphs) {
  int p = rs_;
  while (p < len_ && p < re_) {
    if (text_[p] == '[') {
      int num = 0;
      const int n = images ? ParseImageToken(text_, p, num) : 0;
      if (n > 0 && num >= 0 && num < imageCount) {
        TFormatOp op;
        op.kind = TFormatKind::ImageToken;
        op.start = p;
        op.length = n;
        op.value = static_cast<std::uint32_t>(num);
        ops_.push_back(op);
        p += n;
        continue;
      }
      std::uint32_t cp = 0;
      const int g = glyphs ? ParseCodePointToken(text_, p, cp) : 0;
      if (g > 0) {
        TFormatOp op;
        op.kind = TFormatKind::GlyphToken;
        op.start = p;
        op.length = g;
        op.value = cp;
        ops_.push_back(op);
        p += g;
        continue;
      }
    }
    ++p;
  }
}

}  // namespace

void TKeywordSet::SetList(std::string_view list) {
  words_.clear();
  longest_ = 0;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == npos) comma = list.size();
    std::string_view piece = list.substr(start, comma - start);
    while (!piece.empty() && static_cast<unsigned char>(piece.front()) <= ' ') piece.remove_prefix(1);
    while (!piece.empty() && static_cast<unsigned char>(piece.back()) <= ' ') piece.remove_suffix(1);
    if (!piece.empty()) {
      std::string w(piece);
      for (char& ch : w) ch = LowerAscii(ch);
      longest_ = std::max(longest_, w.size());
      words_.insert(std::move(w));
    }
    start = comma + 1;
  }
}

bool TKeywordSet::Contains(std::string_view word) const {
  if (word.empty() || word.size() > longest_) return false;
  std::string w(word);
  for (char& ch : w) ch = LowerAscii(ch);
  return words_.count(w) > 0;
}

bool InlineTokensPresent(std::string_view text, const TColorFlags& flags) {
  return flags.inlineStyles && (text.find("[[COLOR:") != npos || text.find("[[IMG:") != npos);
}

bool GlyphTokensPresent(std::string_view text, const TColorFlags& flags) {
  return flags.showGlyphs && (text.find("[[U+") != npos || text.find("[[u+") != npos);
}

bool ColoringWanted(std::string_view text, const TColorFlags& flags) {
  return flags.syntaxHighlighting || InlineTokensPresent(text, flags) || GlyphTokensPresent(text, flags);
}

TColorRange VisibleColorRange(const TLineIndex& lines, int firstVisibleLine, int clientHeight,
                              int lineHeight) {
  const int count = lines.LineCount();
  const int first = std::clamp(firstVisibleLine, 0, count - 1);
  if (lineHeight < 1) lineHeight = 16;
  const int last = std::min(first + std::max(clientHeight, 0) / lineHeight + 2, count - 1);
  TColorRange r;
  r.start = lines.LineStart(first);
  r.end = last + 1 < count ? lines.LineStart(last + 1) : lines.TextLength();
  return r;
}

int HeadingPointSize(int fontSize, int level) {
  if (fontSize < 1) fontSize = 10;
  static constexpr int kExtra[7] = {0, 6, 4, 2, 1, 0, 0};
  return fontSize + (level >= 1 && level <= 6 ? kExtra[level] : 0);
}

std::vector<TFormatOp> PlanColoring(std::string_view text, int rangeStart, int rangeEnd,
                                    const TColorFlags& flags, const TSyntaxPalette& palette,
                                    const TKeywordSet& keywords) {
  std::vector<TFormatOp> ops;
  const int len = static_cast<int>(text.size());
  if (len == 0 || !ColoringWanted(text, flags)) return ops;
  rangeStart = std::clamp(rangeStart, 0, len);
  rangeEnd = std::clamp(rangeEnd, rangeStart, len);
  const bool inlineTokens = InlineTokensPresent(text, flags);
  const bool glyphTokens = GlyphTokensPresent(text, flags);
  TPlanner plan(text, rangeStart, rangeEnd, ops);
  if (auto* reset = plan.Add(inlineTokens || glyphTokens ? TFormatKind::ResetAll : TFormatKind::ResetColor,
                             rangeStart, rangeEnd - rangeStart)) {
    reset->color = palette.text;
  }
  if (flags.syntaxHighlighting) plan.SyntaxColours(palette, keywords);
  if (inlineTokens) {
    plan.ColourTokens();
    plan.Markup();
  }
  const bool images = inlineTokens && flags.imageCount > 0;
  if (images || glyphTokens) plan.TokenImages(images, flags.imageCount, glyphTokens);
  return ops;
}

void ApplyFormatOp(const TFormatOp& op, int fontSize, bool resetSizeAndFace, TCharState& st) {
  switch (op.kind) {
    case TFormatKind::ResetAll:
      st.hasColor = st.hasHidden = st.hasBold = st.hasItalic = true;
      st.color = op.color;
      st.hidden = st.bold = st.italic = false;
      if (resetSizeAndFace) {
        st.hasFace = st.hasSize = true;
        st.codeFace = false;
        st.points = fontSize;
      }
      break;
    case TFormatKind::ResetColor:
    case TFormatKind::Color:
      st.hasColor = true;
      st.color = op.color;
      break;
    case TFormatKind::Cover:
      st.hasColor = st.hasHidden = true;
      st.color = op.color;
      st.hidden = false;
      break;
    case TFormatKind::Hide:
      st.hasHidden = st.hidden = true;
      break;
    case TFormatKind::Style:
      if (op.bold) st.hasBold = st.bold = true;
      if (op.italic) st.hasItalic = st.italic = true;
      if (op.codeFace) st.hasFace = st.codeFace = true;
      break;
    case TFormatKind::Heading:
      st.hasBold = st.bold = true;
      st.hasSize = true;
      st.points = HeadingPointSize(fontSize, op.level);
      break;
    case TFormatKind::ImageToken:
    case TFormatKind::GlyphToken:
      break;
  }
}

std::vector<TFormatRun> FlattenFormatOps(const std::vector<TFormatOp>& ops, int rangeStart, int rangeEnd,
                                         int fontSize, bool resetSizeAndFace) {
  std::vector<TFormatRun> runs;
  if (rangeEnd <= rangeStart) return runs;
  // Run starts and their formats; the entry at rangeEnd only ends the last.
  std::map<int, TCharState> starts{{rangeStart, TCharState{}}, {rangeEnd, TCharState{}}};
  auto splitAt = [&starts](int p) {
    auto next = starts.upper_bound(p);
    auto run = std::prev(next);
    if (run->first == p) return run;
    return starts.emplace_hint(next, p, run->second);
  };
  for (const TFormatOp& op : ops) {
    if (op.kind == TFormatKind::ImageToken || op.kind == TFormatKind::GlyphToken) continue;
    const int s = std::max(op.start, rangeStart);
    const int e = std::min(op.start + std::max(op.length, 0), rangeEnd);
    if (e <= s) continue;
    auto it = splitAt(s);
    const auto last = splitAt(e);
    for (; it != last; ++it) ApplyFormatOp(op, fontSize, resetSizeAndFace, it->second);
  }
  for (auto it = starts.begin(); std::next(it) != starts.end(); ++it) {
    const int end = std::next(it)->first;
    if (!runs.empty() && runs.back().state == it->second) {
      runs.back().end = end;
    } else {
      runs.push_back({it->first, end, it->second});
    }
  }
  return runs;
}

}  // namespace NoteText
