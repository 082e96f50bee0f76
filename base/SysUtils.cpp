#include "base/SysUtils.h"

#include <cstdio>

#include "base/Exceptions.h"
#include "base/Platform.h"

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string TrimLeft(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  return s.substr(i);
}

std::string TrimRight(const std::string& s) {
  std::size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
  return s.substr(0, n);
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && UpperCase(a) == UpperCase(b);
}

bool StartsText(const std::string& prefix, const std::string& s) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool EndsText(const std::string& suffix, const std::string& s) {
  return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

std::string StringReplaceAll(const std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  std::string r;
  std::size_t i = 0;
  for (;;) {
    std::size_t j = s.find(from, i);
    if (j == std::string::npos) break;
    r.append(s, i, j - i);
    r += to;
    i = j + from.size();
  }
  r.append(s, i, std::string::npos);
  return r;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string IntToHex(std::uint64_t value, int digits) {
  static const char hex[] = "0123456789ABCDEF";
  std::string r;
  do {
    r.insert(r.begin(), hex[value & 15]);
    value >>= 4;
  } while (value);
  while (static_cast<int>(r.size()) < digits) r.insert(r.begin(), '0');
  return r;
}

bool TryStrToInt64(const std::string& s, std::int64_t& value) {
  std::size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  if (i == s.size()) return false;
  // Accumulate negatively so INT64_MIN fits.
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c < '0' || c > '9') return false;
    int d = c - '0';
    if (v < (INT64_MIN + d) / 10) return false;
    v = v * 10 - d;
  }
  if (!neg) {
    if (v == INT64_MIN) return false;
    v = -v;
  }
  value = v;
  return true;
}

bool TryStrToInt(const std::string& s, int& value) {
  std::int64_t v;
  if (!TryStrToInt64(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

int StrToIntDef(const std::string& s, int def) {
  int v;
  return TryStrToInt(s, v) ? v : def;
}

int StrToIntStrict(const std::string& s) {
  int v;
  if (!TryStrToInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
  return v;
}

bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }

static std::size_t LastSplit(const std::string& path) {
  std::size_t p = path.find_last_of("\\/:");
  return p == std::string::npos ? 0 : p + 1;
}

std::string ExtractFileName(const std::string& path) { return path.substr(LastSplit(path)); }
std::string ExtractFilePath(const std::string& path) { return path.substr(0, LastSplit(path)); }

std::string ExtractFileDir(const std::string& path) {
  std::size_t n = LastSplit(path);
  // Keep the delimiter of a root ("C:\", "/").
  if (n > 0 && IsPathDelimiter(path[n - 1]) && n > 1 && path[n - 2] != ':') --n;
  return path.substr(0, n);
}

std::string ExtractFileExt(const std::string& path) {
  std::size_t p = path.find_last_of(".\\/:");
  if (p == std::string::npos || path[p] != '.') return {};
  return path.substr(p);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  std::size_t p = path.find_last_of(".\\/:");
  if (p == std::string::npos || path[p] != '.') return path + ext;
  return path.substr(0, p) + ext;
}

char PathDelimiter() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path.back())) return path;
  return path + PathDelimiter();
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path.back())) return path.substr(0, path.size() - 1);
  return path;
}

std::string ExpandFileName(const std::string& path) { return Platform::FullPathName(path); }
