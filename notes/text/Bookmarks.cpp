#include "notes/text/Bookmarks.h"

#include <algorithm>
#include <climits>

#include "base/SysUtils.h"
#include "notes/text/LineText.h"

namespace NoteText {

namespace {

// The items of a comma text: separated by commas or blanks (bytes up to
// space), double-quoted items with "" for a quote inside.
std::vector<std::string> SplitCommaText(std::string_view s) {
  std::vector<std::string> items;
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto isBlank = [&](std::size_t k) { return static_cast<unsigned char>(s[k]) <= ' '; };
  while (i < n && isBlank(i)) ++i;
  while (i < n) {
    std::string item;
    if (s[i] == '"') {
      ++i;
      while (i < n) {
        if (s[i] == '"') {
          if (i + 1 < n && s[i + 1] == '"') {
            item.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item.push_back(s[i++]);
      }
      while (i < n && s[i] != ',' && !isBlank(i)) item.push_back(s[i++]);
    } else {
      while (i < n && s[i] != ',' && !isBlank(i)) item.push_back(s[i++]);
    }
    items.push_back(std::move(item));
    while (i < n && isBlank(i)) ++i;
    if (i < n && s[i] == ',') {
      ++i;
      while (i < n && isBlank(i)) ++i;
      if (i >= n) items.emplace_back();  // a trailing comma ends an empty item
    }
  }
  return items;
}

}  // namespace

bool TBookmarkList::IsBookmarked(int line) const {
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

void TBookmarkList::AddOnce(int line) {
  if (!IsBookmarked(line)) lines_.push_back(line);
}

bool TBookmarkList::Toggle(int line) {
  if (line < 0) return false;
  const auto it = std::find(lines_.begin(), lines_.end(), line);
  if (it != lines_.end()) {
    lines_.erase(it);
    return false;
  }
  lines_.push_back(line);
  return true;
}

int TBookmarkList::NextTarget(int currentLine, int lineCount) const {
  if (lines_.empty()) return -1;
  int after = INT_MAX, smallest = INT_MAX;
  for (int b : lines_) {
    smallest = std::min(smallest, b);
    if (b > currentLine) after = std::min(after, b);
  }
  int target = after != INT_MAX ? after : smallest;
  if (lineCount > 0 && target >= lineCount) target = lineCount - 1;
  return target;
}

std::string TBookmarkList::ToText() const {
  std::string out;
  for (int b : lines_) {
    if (!out.empty()) out += ',';
    out += IntToStr(static_cast<std::int64_t>(b) + 1);
  }
  return out;
}

void TBookmarkList::SetFromText(std::string_view text, int lineCount) {
  lines_.clear();
  for (const std::string& raw : SplitCommaText(text)) {
    int n = 0;
    if (!TryStrToInt(Trim(raw), n) || n <= 0) continue;
    if (lineCount > 0 && n - 1 >= lineCount) continue;
    AddOnce(n - 1);
  }
}

bool TBookmarkList::AdjustForTextChange(std::string_view oldText, std::string_view newText,
                                        int caretLine) {
  if (lines_.empty() || oldText == newText) return false;
  const int newBreaks = CountLineBreaks(newText);
  const int delta = newBreaks - CountLineBreaks(oldText);
  if (delta == 0) return false;
  const int c = std::max(caretLine, 0);
  const int r = delta < 0 ? c : std::max(c - delta, 0);
  std::vector<int> moved;
  for (int b : lines_) {
    if (delta > 0) {
      if (b >= r) b += delta;
    } else {
      if (b >= r && b < r - delta) continue;  // its line was removed
      if (b >= r - delta) b += delta;
    }
    b = std::clamp(b, 0, newBreaks);
    if (std::find(moved.begin(), moved.end(), b) == moved.end()) moved.push_back(b);
  }
  const bool changed = moved != lines_;
  lines_ = std::move(moved);
  return changed;
}

int GutterDigits(int lineCount) {
  int n = std::max(lineCount, 1);
  int digits = 0;
  while (n > 0) {
    ++digits;
    n /= 10;
  }
  return std::max(digits, 2);
}

int GutterWidthFor(int lineCount, int averageCharWidth) {
  if (averageCharWidth <= 0) averageCharWidth = 8;
  return std::max(GutterDigits(lineCount) * averageCharWidth + 6, 24);
}

int BookmarkDotSize(int lineHeight) {
  int d = std::min(lineHeight - 4, 10);
  if (d < 6) d = 10;
  return d + 2;
}

}  // namespace NoteText
