#include "notes/text/SearchReplace.h"

#include <algorithm>

#include "notes/text/LineCommands.h"
#include "notes/text/LineText.h"

namespace NoteText {

namespace {

void Append(TSearchMap& map, char c, int from, int to) {
  map.mapped.push_back(c);
  map.start.push_back(from);
  map.end.push_back(to);
}

void FoldCase(std::string& s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

}  // namespace

TSearchMap BuildSearchMap(std::string_view text, bool matchWhitespace) {
  TSearchMap map;
  const int n = static_cast<int>(text.size());
  map.mapped.reserve(text.size());
  map.start.reserve(text.size());
  map.end.reserve(text.size());
  for (int i = 0; i < n; ++i) {
    const char c = text[i];
    if (matchWhitespace) {
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
        Append(map, '\n', i, i + 2);
        ++i;
      } else if (c == '\r' || c == '\n') {
        Append(map, '\n', i, i + 1);
      } else {
        Append(map, c, i, i + 1);
      }
    } else if (c != '\t' && c != '\n' && c != '\r' && c != ' ') {
      Append(map, c, i, i + 1);
    }
  }
  return map;
}

int SearchMapIndexOf(const TSearchMap& map, int p) {
  if (p <= 0) return 0;
  const auto it = std::upper_bound(map.end.begin(), map.end.end(), p);
  return static_cast<int>(it - map.end.begin());
}

std::string LeadingBlanksAt(std::string_view text, int pos) {
  const int n = static_cast<int>(text.size());
  if (pos < 0 || pos >= n) return {};
  int e = pos;
  while (e < n && (text[e] == ' ' || text[e] == '\t')) ++e;
  return std::string(text.substr(pos, e - pos));
}

std::string ReindentReplacement(std::string_view text, std::string_view indent) {
  const std::string norm = NormalizeLineBreaks(text);
  if (indent.empty()) return ToHostText(norm);
  // The first line that holds something other than blanks.
  std::size_t ls = 0;
  while (ls <= norm.size()) {
    std::size_t le = norm.find('\n', ls);
    if (le == std::string::npos) le = norm.size();
    const std::string_view line = std::string_view(norm).substr(ls, le - ls);
    if (!IsBlankLine(line)) {
      if (line.substr(0, indent.size()) == indent) return ToHostText(norm);
      break;
    }
    if (le >= norm.size()) break;
    ls = le + 1;
  }
  std::string out;
  ls = 0;
  for (;;) {
    std::size_t le = norm.find('\n', ls);
    const bool last = le == std::string::npos;
    if (last) le = norm.size();
    if (le > ls) {
      out += indent;
      out.append(norm, ls, le - ls);
    }
    if (last) break;
    out += "\r\n";
    ls = le + 1;
  }
  return out;
}

TSearchResult SearchAndReplaceNext(std::string_view text, const TSearchRequest& rq) {
  TSearchResult r;
  const int n = static_cast<int>(text.size());
  if (rq.findText.empty() || n == 0) return r;
  TSearchMap t = BuildSearchMap(text, rq.matchWhitespace);
  TSearchMap f = BuildSearchMap(rq.findText, rq.matchWhitespace);
  if (t.mapped.empty() || f.mapped.empty()) return r;
  if (rq.ignoreCase) {
    FoldCase(t.mapped);
    FoldCase(f.mapped);
  }
  const int tLen = static_cast<int>(t.mapped.size());
  const int fLen = static_cast<int>(f.mapped.size());
  int startPos = std::max(rq.startPos, 0);
  if (startPos >= n) {
    if (!rq.backward) return r;
    startPos = n - 1;  // backward from the end: from the last character
  }
  int s = SearchMapIndexOf(t, startPos);
  if (s >= tLen) {
    if (!rq.backward) return r;
    s = tLen - 1;  // backward from trailing blanks
  }
  int e = tLen - 1;
  if (rq.endPos >= 0 && rq.endPos < n) e = std::min(SearchMapIndexOf(t, rq.endPos), tLen - 1);
  if (e < s) return r;
  const int lastStart = e - fLen + 1;
  if (lastStart < 0) return r;

  int chosen = -1;
  for (std::size_t k = 0;;) {
    k = t.mapped.find(f.mapped, k);
    if (k == std::string::npos || static_cast<int>(k) > lastStart) break;
    const int ki = static_cast<int>(k);
    ++r.matchCount;
    if (!rq.backward ? (chosen < 0 && ki >= s) : ki <= s) {
      chosen = ki;
      r.matchIndex = r.matchCount;
    }
    k += f.mapped.size();  // matches do not overlap
  }
  if (chosen < 0) {
    r.matchIndex = 0;
    return r;
  }
  r.rangeStart = t.start[chosen];
  r.rangeEnd = t.end[chosen + fLen - 1];
  const bool findSpansLines = NormalizeLineBreaks(rq.findText).find('\n') != std::string::npos;
  if (!rq.matchWhitespace && findSpansLines) {
    r.rangeStart = LineStartIndex(text, r.rangeStart);
    r.rangeEnd = LineEndIndex(text, r.rangeEnd);
  }
  r.index = r.rangeStart;
  if (!rq.replaceText.empty() || rq.replaceWithEmpty) {
    r.replace = true;
    const std::string host = rq.matchWhitespace || !findSpansLines
                                 ? ToHostText(rq.replaceText)
                                 : ReindentReplacement(rq.replaceText, LeadingBlanksAt(text, r.rangeStart));
    r.insertText = ToControlText(host);
  }
  return r;
}

}  // namespace NoteText
