#include "app/model/Utf8Text.h"

#include "base/CodePage.h"
#include "base/Wipe.h"

namespace {

bool ValidCodePoint(char32_t cp) { return cp < 0x110000 && (cp < 0xD800 || cp > 0xDFFF); }

// Wipes a UTF-16 copy of a text before it is released.
struct TWideScratch {
  std::u16string text;
  ~TWideScratch() {
    if (text.capacity() > 0) WipeBytes(text.data(), text.capacity() * sizeof(char16_t));
  }
};

// Reads one UTF-8 sequence at pos. A well-formed sequence gives its code
// point and advances pos past it; anything else (a stray or cut-short byte,
// an overlong form, a surrogate, a value above U+10FFFF) advances one byte
// and gives -1.
long NextUtf8(std::string_view s, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int n = 0;
  char32_t cp = 0, min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 1;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 2;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 3;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    ++pos;
    return -1;
  }
  if (s.size() - pos <= static_cast<std::size_t>(n)) {
    ++pos;
    return -1;
  }
  for (int i = 1; i <= n; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || !ValidCodePoint(cp)) {
    ++pos;
    return -1;
  }
  pos += static_cast<std::size_t>(n) + 1;
  return static_cast<long>(cp);
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

std::size_t Utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The code points of UTF-16 text: pairs joined, a lone surrogate as U+FFFD.
template <class F>
void ForEachCodePoint(std::u16string_view w, F&& f) {
  for (std::size_t i = 0; i < w.size(); ++i) {
    char32_t c = w[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    f(c);
  }
}

void AppendWideAsUtf8(std::string& out, std::u16string_view wide) {
  std::size_t size = 0;
  ForEachCodePoint(wide, [&](char32_t c) { size += Utf8Length(c); });
  out.reserve(out.size() + size);
  ForEachCodePoint(wide, [&](char32_t c) { AppendUtf8(out, c); });
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The length of a code-point token of a valid code point at pos, or 0.
std::size_t CodePointTokenAt(std::string_view s, std::size_t pos, char32_t& cp) {
  if (s.compare(pos, 4, "[[U+") != 0 && s.compare(pos, 4, "[[u+") != 0) return 0;
  std::size_t i = pos + 4;
  char32_t v = 0;
  int digits = 0;
  while (i < s.size() && digits < 6 && HexValue(s[i]) >= 0) {
    v = v * 16 + static_cast<char32_t>(HexValue(s[i]));
    ++digits;
    ++i;
  }
  if (digits < 4 || s.compare(i, 2, "]]") != 0 || !ValidCodePoint(v)) return 0;
  cp = v;
  return i + 2 - pos;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8, bool* lost) {
  TWideScratch wide;
  wide.text.reserve(utf8.size());
  bool oneByOne = false;  // malformed bytes or characters beyond U+FFFF
  for (std::size_t pos = 0; pos < utf8.size() && !oneByOne;) {
    const long c = NextUtf8(utf8, pos);
    if (c < 0 || c > 0xFFFF) oneByOne = true;
    else wide.text.push_back(static_cast<char16_t>(c));
  }
  std::string out;
  if (!oneByOne) {
    // The usual case: the whole text in one conversion.
    if (!CodePage::WideToAnsiNoBestFit(wide.text, out) && lost) *lost = true;
    return out;
  }
  // Each character on its own, so that every one that the code page cannot
  // hold, and every malformed byte, is exactly one "?".
  out.reserve(utf8.size() * 2);
  for (std::size_t pos = 0; pos < utf8.size();) {
    const long c = NextUtf8(utf8, pos);
    if (c < 0 || c > 0xFFFF || !CodePage::AppendAnsiChar(static_cast<char16_t>(c), out)) {
      out.push_back('?');
      if (lost) *lost = true;
    }
  }
  return out;
}

std::string Utf8ToNotesText(std::string_view utf8, bool* lost) {
  // Most notes convert whole; only when some character does not is each
  // one looked at on its own.
  bool anyLost = false;
  std::string whole = Utf8ToAnsi(utf8, &anyLost);
  if (!anyLost) return whole;
  WipeString(whole);
  std::string out;
  out.reserve(utf8.size() * 5);  // a two-byte character may become a ten-character token
  for (std::size_t pos = 0; pos < utf8.size();) {
    const long c = NextUtf8(utf8, pos);
    if (c < 0) {
      out.push_back('?');
      if (lost) *lost = true;
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c > 0xFFFF || !CodePage::AppendAnsiChar(static_cast<char16_t>(c), out)) {
      out += FormatCodePointToken(static_cast<char32_t>(c));
    }
  }
  return out;
}

void AppendAnsiToUtf8(std::string& out, std::string_view ansi) {
  TWideScratch wide;
  wide.text = CodePage::AnsiToWide(ansi);
  AppendWideAsUtf8(out, wide.text);
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  AppendAnsiToUtf8(out, ansi);
  return out;
}

void AppendNotesTextToUtf8(std::string& out, std::string_view notes) {
  TWideScratch wide;
  wide.text.reserve(notes.size());
  std::size_t runStart = 0;
  auto flushRun = [&](std::size_t end) {
    if (end > runStart) {
      TWideScratch run;
      run.text = CodePage::AnsiToWide(notes.substr(runStart, end - runStart));
      wide.text += run.text;
    }
  };
  for (std::size_t i = 0; i < notes.size();) {
    char32_t c = 0;
    if (notes[i] == '[') {
      if (std::size_t n = CodePointTokenAt(notes, i, c)) {
        flushRun(i);
        AppendUtf16(wide.text, c);
        i += n;
        runStart = i;
        continue;
      }
    }
    ++i;
  }
  flushRun(notes.size());
  AppendWideAsUtf8(out, wide.text);
}

std::string NotesTextToUtf8(std::string_view notes) {
  std::string out;
  AppendNotesTextToUtf8(out, notes);
  return out;
}

std::string FormatCodePointToken(char32_t codePoint) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string digits;
  for (char32_t v = codePoint; v != 0 || digits.size() < 4; v >>= 4) digits.insert(digits.begin(), kHex[v & 0xF]);
  return "[[U+" + digits + "]]";
}
