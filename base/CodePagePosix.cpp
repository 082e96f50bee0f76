// The POSIX build stands in for a Windows system whose ANSI code page is
// Windows-1252 (Western European), the code page of the test machines.
#include "base/CodePage.h"

namespace CodePage {

namespace {

// Bytes 0x80..0x9F of Windows-1252. The five bytes that the code page leaves
// unassigned map to the C1 control of the same value, as Windows does.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t ByteToUnit(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) return kHigh[b - 0x80];
  return static_cast<char16_t>(b);  // ASCII and Latin-1 A0..FF map to themselves
}

// The byte for a unit, or -1 when the code page has none.
int UnitToByte(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == u) return 0x80 + i;
  }
  return -1;
}

}  // namespace

unsigned AnsiCodePage() { return 1252; }

std::u16string AnsiToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(ByteToUnit(static_cast<unsigned char>(c)));
  return out;
}

bool AppendAnsiChar(char16_t unit, std::string& out) {
  const int b = UnitToByte(unit);
  if (b < 0) return false;
  out.push_back(static_cast<char>(b));
  return true;
}

bool IsRepresentable(char16_t unit) { return UnitToByte(unit) >= 0; }

bool WideToAnsiNoBestFit(std::u16string_view wide, std::string& out) {
  out.clear();
  out.reserve(wide.size());
  bool ok = true;
  for (char16_t u : wide) {
    if (!AppendAnsiChar(u, out)) {
      out.push_back('?');
      ok = false;
    }
  }
  return ok;
}

}  // namespace CodePage
