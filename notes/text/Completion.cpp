#include "notes/text/Completion.h"

#include <algorithm>

namespace NoteText {

namespace {

bool IsIdentChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$';
}
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerAscii(c);
  return r;
}

bool EqualIC(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// Index of the ")" that closes the "(" at open, or npos.
std::size_t MatchingParen(std::string_view s, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < s.size(); ++i) {
    if (s[i] == '(') {
      ++depth;
    } else if (s[i] == ')') {
      if (--depth == 0) return i;
    }
  }
  return std::string_view::npos;
}

// Trimmed as the class library trims: every character up to the blank.
std::string_view Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

}  // namespace

bool CompletionGetPrefix(std::string_view text, int selStart, std::string& prefix, int& start) {
  const int caret = std::clamp(selStart, 0, static_cast<int>(text.size()));
  int s = caret;
  while (s > 0 && IsIdentChar(text[static_cast<std::size_t>(s - 1)])) --s;
  prefix.assign(text.substr(static_cast<std::size_t>(s), static_cast<std::size_t>(caret - s)));
  start = s;
  return true;
}

bool CompletionStartsWithIC(std::string_view text, std::string_view prefix) {
  if (prefix.empty()) return true;
  if (text.size() < prefix.size()) return false;
  return EqualIC(text.substr(0, prefix.size()), prefix);
}

bool CompletionContainsIC(std::string_view text, std::string_view prefix) {
  if (prefix.empty()) return true;
  return LowerAscii(text).find(LowerAscii(prefix)) != std::string::npos;
}

std::vector<TCompletionItem> CompletionFilter(const std::vector<TFunctionEntry>& functions,
                                              std::string_view prefix) {
  std::vector<TCompletionItem> items;
  auto add = [&](int index) {
    const std::string& entry = functions[static_cast<std::size_t>(index)].entry;
    if (entry.empty()) return;
    for (const auto& it : items) {
      if (EqualIC(it.entry, entry)) return;
    }
    items.push_back({entry, index});
  };
  const int n = static_cast<int>(functions.size());
  std::vector<std::string> names;
  names.reserve(functions.size());
  for (const auto& f : functions) names.push_back(ExtractSimpleFunctionName(f.entry));
  for (int i = 0; i < n && static_cast<int>(items.size()) < kCompletionMaxItems; ++i) {
    if (CompletionStartsWithIC(names[static_cast<std::size_t>(i)], prefix)) add(i);
  }
  if (!prefix.empty()) {
    for (int i = 0; i < n && static_cast<int>(items.size()) < kCompletionMaxItems; ++i) {
      const std::string& name = names[static_cast<std::size_t>(i)];
      if (!CompletionStartsWithIC(name, prefix) && CompletionContainsIC(name, prefix)) add(i);
    }
  }
  return items;
}

std::string CompletionMakeCallText(std::string_view entry, int& parameterOffset, int& afterOffset) {
  parameterOffset = -1;
  afterOffset = -1;
  std::string name = ExtractSimpleFunctionName(entry);
  if (name.empty()) name.assign(entry);
  std::string params = "()";
  const std::size_t open = entry.find('(');
  if (open != std::string_view::npos) {
    const std::size_t close = MatchingParen(entry, open);
    params.assign(entry.substr(open, close == std::string_view::npos ? std::string_view::npos : close - open + 1));
  }
  std::string call = name + params;
  const std::size_t callOpen = call.find('(');
  if (callOpen == std::string::npos) {
    afterOffset = static_cast<int>(call.size());
    return call;
  }
  const std::size_t callClose = MatchingParen(call, callOpen);
  afterOffset = callClose == std::string::npos ? static_cast<int>(call.size()) : static_cast<int>(callClose) + 1;
  const std::size_t innerEnd = callClose == std::string::npos ? call.size() : callClose;
  const std::string_view inner = std::string_view(call).substr(callOpen + 1, innerEnd - callOpen - 1);
  const std::string_view trimmed = Trim(inner);
  if (!trimmed.empty() && !EqualIC(trimmed, "void")) {
    std::size_t k = callOpen + 1;
    while (k < innerEnd && (call[k] == ' ' || call[k] == '\t')) ++k;
    parameterOffset = static_cast<int>(k);
  }
  return call;
}

bool PlanCompletionAccept(std::string_view text, int selStart, std::string_view entry, bool enterKey,
                          TCompletionAcceptPlan& plan) {
  int paramOffset = -1, afterOffset = -1;
  std::string call = CompletionMakeCallText(entry, paramOffset, afterOffset);
  if (call.empty()) return false;
  std::string prefix;
  int start = 0;
  CompletionGetPrefix(text, selStart, prefix, start);
  plan.replaceStart = start;
  plan.replaceEnd = start + static_cast<int>(prefix.size());
  plan.caret = start + (enterKey && paramOffset >= 0 ? paramOffset : afterOffset);
  plan.insert = std::move(call);
  return true;
}

int CompletionMoveIndex(int current, int delta, int count) {
  if (count <= 0) return -1;
  const long long next = current < 0 ? delta : static_cast<long long>(current) + delta;
  return static_cast<int>(std::clamp<long long>(next, 0, count - 1));
}

int CompletionItemHeight(int textHeight) { return std::max(textHeight + 6, 18); }

TPopupRect CompletionPopupRect(int anchorX, int anchorY, int lineHeight, int itemHeight, int itemCount,
                               int parentWidth, int parentHeight) {
  if (lineHeight < 1) lineHeight = 16;
  TPopupRect r;
  r.left = anchorX;
  r.top = anchorY + lineHeight + 2;
  r.width = kCompletionPopupWidth;
  const int rows = std::clamp(itemCount, 1, 8);
  r.height = std::max(itemHeight * rows + 6, 40);
  if (r.left + r.width > parentWidth) r.left = parentWidth - r.width - 4;
  if (r.top + r.height > parentHeight) r.top -= r.height + lineHeight + 6;
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  return r;
}

}  // namespace NoteText
