#include "notes/text/Tokens.h"

#include <algorithm>
#include <cstdio>

#include "base/CodePage.h"
#include "notes/text/LineText.h"

namespace NoteText {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HasAt(std::string_view text, int pos, std::string_view what) {
  return pos >= 0 && static_cast<std::size_t>(pos) <= text.size() &&
         text.substr(static_cast<std::size_t>(pos), what.size()) == what;
}

void AppendAscii(std::u16string& out, std::string_view s) {
  for (char c : s) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

// Walks the wide text and hands each piece to the sink: a unit that stays as
// it is, or a token that replaces `units` units. The single place that
// decides which units the code page holds.
template <class KeepUnit, class WriteToken>
void WalkWide(std::u16string_view wide, KeepUnit keep, WriteToken token) {
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char16_t u = wide[i];
    if (IsHighSurrogate(u) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      token(CodePointFromSurrogates(u, wide[i + 1]), i, 2);
      ++i;
    } else if (!keep(u)) {
      token(u, i, 1);
    }
  }
}

}  // namespace

bool IsValidCodePoint(std::uint32_t cp) { return cp < 0x110000u && (cp < 0xD800u || cp > 0xDFFFu); }

std::string FormatCodePointToken(std::uint32_t cp) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "[[U+%04X]]", static_cast<unsigned>(cp));
  return buf;
}

int CodePointTokenLength(std::string_view text, int pos, std::uint32_t* value) {
  const int len = static_cast<int>(text.size());
  if (pos < 0 || pos + 10 > len) return 0;  // the shortest token has 10 characters
  if (text[pos] != '[' || text[pos + 1] != '[' || (text[pos + 2] != 'U' && text[pos + 2] != 'u') ||
      text[pos + 3] != '+') {
    return 0;
  }
  std::uint32_t v = 0;
  int digits = 0;
  int p = pos + 4;
  while (digits < 6 && p < len && HexValue(text[p]) >= 0) {
    v = v * 16 + static_cast<std::uint32_t>(HexValue(text[p]));
    ++digits;
    ++p;
  }
  if (digits < 4 || p + 2 > len || text[p] != ']' || text[p + 1] != ']') return 0;
  if (value) *value = v;
  return 6 + digits;
}

int ParseCodePointToken(std::string_view text, int pos, std::uint32_t& codePoint) {
  std::uint32_t v = 0;
  const int n = CodePointTokenLength(text, pos, &v);
  if (n == 0 || !IsValidCodePoint(v)) return 0;
  codePoint = v;
  return n;
}

int ParseImageToken(std::string_view text, int pos, int& number) {
  const int len = static_cast<int>(text.size());
  if (pos < 0 || pos + 9 > len || !HasAt(text, pos, "[[IMG:")) return 0;
  int p = pos + 6;
  std::int64_t v = 0;
  int digits = 0;
  while (p < len && text[p] >= '0' && text[p] <= '9') {
    if (v > 1000000) return 0;  // too large before a further digit
    v = v * 10 + (text[p] - '0');
    ++digits;
    ++p;
  }
  if (digits == 0 || p + 2 > len || text[p] != ']' || text[p + 1] != ']') return 0;
  number = static_cast<int>(v);
  return 6 + digits + 2;
}

int ParseColorToken(std::string_view text, int pos, bool& colourOff, TColor& color) {
  if (pos < 0) return 0;
  if (HasAt(text, pos, "[[COLOR:NONE]]")) {
    colourOff = true;
    color = 0;
    return 14;
  }
  if (!HasAt(text, pos, "[[COLOR:#") || static_cast<std::size_t>(pos) + 17 > text.size()) return 0;
  int v[6];
  for (int k = 0; k < 6; ++k) {
    v[k] = HexValue(text[pos + 9 + k]);
    if (v[k] < 0) return 0;
  }
  if (text[pos + 15] != ']' || text[pos + 16] != ']') return 0;
  const int r = v[0] * 16 + v[1], g = v[2] * 16 + v[3], b = v[4] * 16 + v[5];
  colourOff = false;
  color = r + g * 256 + b * 65536;
  return 17;
}

std::u16string CodePointToUtf16(std::uint32_t cp) {
  std::u16string out;
  AppendCodePointUtf16(out, cp);
  return out;
}

void AppendCodePointUtf16(std::u16string& wide, std::uint32_t cp) {
  if (!IsValidCodePoint(cp)) return;
  if (cp <= 0xFFFF) {
    wide.push_back(static_cast<char16_t>(cp));
  } else {
    wide.push_back(static_cast<char16_t>(0xD7C0 + (cp >> 10)));
    wide.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
  }
}

std::string WideToEditorText(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size());
  std::size_t copied = 0;  // units before this index are already in out
  auto keep = [](char16_t u) { return u < 0x80 || (!IsHighSurrogate(u) && !IsLowSurrogate(u) && CodePage::IsRepresentable(u)); };
  WalkWide(
      wide, keep,
      [&](std::uint32_t cp, std::size_t at, std::size_t units) {
        for (std::size_t k = copied; k < at; ++k) {
          if (wide[k] < 0x80) {
            out.push_back(static_cast<char>(wide[k]));
          } else {
            CodePage::AppendAnsiChar(wide[k], out);
          }
        }
        out += FormatCodePointToken(cp);
        copied = at + units;
      });
  for (std::size_t k = copied; k < wide.size(); ++k) {
    if (wide[k] < 0x80) {
      out.push_back(static_cast<char>(wide[k]));
    } else {
      CodePage::AppendAnsiChar(wide[k], out);
    }
  }
  return out;
}

std::u16string EditorTextToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const int len = static_cast<int>(text.size());
  int runStart = 0;  // start of the plain text not yet converted
  auto flush = [&](int upTo) {
    if (upTo > runStart) out += CodePage::AnsiToWide(text.substr(runStart, upTo - runStart));
  };
  for (int i = 0; i < len;) {
    std::uint32_t cp = 0;
    const int n = text[i] == '[' ? ParseCodePointToken(text, i, cp) : 0;
    if (n > 0) {
      flush(i);
      AppendCodePointUtf16(out, cp);
      i += n;
      runStart = i;
    } else {
      ++i;
    }
  }
  flush(len);
  return out;
}

std::string ClipboardWideToEditorText(std::u16string_view wide) {
  const std::size_t zero = wide.find(u'\0');
  if (zero != std::u16string_view::npos) wide = wide.substr(0, zero);
  return ToHostText(WideToEditorText(wide));
}

std::u16string EditorTextToClipboardWide(std::string_view text) {
  return EditorTextToWide(ToHostText(text));
}

bool NeedsTokenRewrite(std::u16string_view wide) {
  for (char16_t u : wide) {
    if (u >= 0x80 && (IsHighSurrogate(u) || IsLowSurrogate(u) || !CodePage::IsRepresentable(u))) {
      return true;
    }
  }
  return false;
}

TTokenRewrite RewriteUnrepresentable(std::u16string_view wide, int selStart) {
  TTokenRewrite r;
  r.wide.reserve(wide.size() + 16);
  std::size_t copied = 0;
  long long growth = 0;
  auto keep = [](char16_t u) { return u < 0x80 || (!IsHighSurrogate(u) && !IsLowSurrogate(u) && CodePage::IsRepresentable(u)); };
  WalkWide(wide, keep, [&](std::uint32_t cp, std::size_t at, std::size_t units) {
    r.wide.append(wide.substr(copied, at - copied));
    const std::string token = FormatCodePointToken(cp);
    AppendAscii(r.wide, token);
    copied = at + units;
    // Only what grew in front of the caret moves it.
    if (static_cast<long long>(at) < selStart) {
      growth += static_cast<long long>(token.size()) - static_cast<long long>(units);
    }
  });
  r.wide.append(wide.substr(copied));
  const long long caret = static_cast<long long>(std::max(selStart, 0)) + growth;
  r.caret = static_cast<int>(std::clamp<long long>(caret, 0, static_cast<long long>(r.wide.size())));
  return r;
}

bool FindGlyphTokenNear(std::string_view text, int pos, int direction, TCodePointToken& token) {
  const int len = static_cast<int>(text.size());
  if (pos < 0 || pos > len) return false;
  for (int s = std::max(0, pos - 12); s <= pos && s < len; ++s) {
    if (text[s] != '[') continue;
    std::uint32_t cp = 0;
    const int n = ParseCodePointToken(text, s, cp);
    if (n == 0) continue;
    const int e = s + n;
    const bool covers = direction > 0 ? (s <= pos && pos < e) : (s < pos && pos <= e);
    if (covers) {
      token = {s, e, cp};
      return true;
    }
  }
  return false;
}

bool CodePointTokenAt(std::string_view text, int index, TCodePointToken& token) {
  const int len = static_cast<int>(text.size());
  if (len == 0) return false;
  int i = std::clamp(index, 0, len - 1);
  for (;;) {
    if (text[i] == '[' && i + 1 < len && text[i + 1] == '[') break;
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || i == 0) return false;
    --i;
  }
  std::uint32_t v = 0;
  const int n = CodePointTokenLength(text, i, &v);
  // The token must reach the character asked about, not end before it.
  if (n == 0 || i + n <= std::clamp(index, 0, len - 1)) return false;
  token = {i, i + n, v};
  return true;
}

int TokenCharsForWidth(int tokenLength, int minWidth, const std::function<int(int)>& widthOfFirst) {
  if (tokenLength <= 1) return tokenLength < 1 ? 0 : 1;
  if (!widthOfFirst) return 2;
  if (minWidth <= 0) minWidth = 16;
  for (int k = 1; k <= tokenLength; ++k) {
    if (widthOfFirst(k) >= minWidth) return k;
  }
  return tokenLength;
}

void FitImageToSquare(int width, int height, int size, int& outWidth, int& outHeight) {
  if (width <= 0 || height <= 0 || size <= 0) {
    outWidth = outHeight = std::max(size, 1);
    return;
  }
  const long long longer = std::max(width, height), shorter = std::min(width, height);
  const int scaled = static_cast<int>(std::max<long long>(1, size * shorter / longer));
  if (width >= height) {
    outWidth = size;
    outHeight = scaled;
  } else {
    outWidth = scaled;
    outHeight = size;
  }
}

}  // namespace NoteText
