#include <windows.h>

#include "base/CodePage.h"

#include <climits>

namespace CodePage {

namespace {

// On a system whose ANSI code page is UTF-8, WideCharToMultiByte refuses
// WC_NO_BEST_FIT_CHARS and the used-default flag; UTF-8 holds every
// character except an unpaired surrogate, which is what we report then.
bool AnsiIsUtf8() { return GetACP() == CP_UTF8; }

bool IsSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

}  // namespace

unsigned AnsiCodePage() { return GetACP(); }

std::u16string AnsiToWide(std::string_view text) {
  std::u16string out;
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return out;
  const int n = static_cast<int>(text.size());
  const int need = MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
  if (need <= 0) return out;
  out.resize(static_cast<std::size_t>(need));
  const int got = MultiByteToWideChar(CP_ACP, 0, text.data(), n,
                                      reinterpret_cast<wchar_t*>(out.data()), need);
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

bool AppendAnsiChar(char16_t unit, std::string& out) {
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
    return true;
  }
  if (IsSurrogate(unit)) return false;
  const wchar_t w = static_cast<wchar_t>(unit);
  char buf[8];
  int got;
  if (AnsiIsUtf8()) {
    got = WideCharToMultiByte(CP_UTF8, 0, &w, 1, buf, sizeof buf, nullptr, nullptr);
    if (got <= 0) return false;
  } else {
    BOOL usedDefault = FALSE;
    got = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &w, 1, buf, sizeof buf, nullptr,
                              &usedDefault);
    if (got <= 0 || usedDefault) return false;
  }
  out.append(buf, static_cast<std::size_t>(got));
  return true;
}

bool IsRepresentable(char16_t unit) {
  std::string scratch;
  return AppendAnsiChar(unit, scratch);
}

bool WideToAnsiNoBestFit(std::u16string_view wide, std::string& out) {
  out.clear();
  if (wide.empty()) return true;
  if (wide.size() > static_cast<std::size_t>(INT_MAX) / 4) return false;
  const int n = static_cast<int>(wide.size());
  const auto* src = reinterpret_cast<const wchar_t*>(wide.data());
  if (AnsiIsUtf8()) {
    bool ok = true;
    for (std::size_t i = 0; i < wide.size(); ++i) {
      const char16_t u = wide[i];
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
          wide[i + 1] <= 0xDFFF) {
        char buf[8];
        const int got = WideCharToMultiByte(CP_UTF8, 0, src + i, 2, buf, sizeof buf, nullptr, nullptr);
        if (got > 0) out.append(buf, static_cast<std::size_t>(got));
        ++i;
      } else if (!AppendAnsiChar(u, out)) {
        out.push_back('?');
        ok = false;
      }
    }
    return ok;
  }
  BOOL usedDefault = FALSE;
  const int need = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, src, n, nullptr, 0, nullptr,
                                       &usedDefault);
  if (need <= 0) return false;
  out.resize(static_cast<std::size_t>(need));
  usedDefault = FALSE;
  const int got = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, src, n, out.data(), need,
                                      nullptr, &usedDefault);
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return got > 0 && !usedDefault;
}

}  // namespace CodePage
