#include "app/model/ShellHelpers.h"

#include <cstring>

#include "base/SysUtils.h"

std::string MaskText(const std::string& text) { return text.empty() ? std::string() : std::string(8, '*'); }

std::int64_t StrToInt64Or0(const std::string& text) {
  std::int64_t value = 0;
  return TryStrToInt64(text, value) ? value : 0;
}

std::int64_t UnixMsFromFileTime(std::uint64_t fileTime) {
  constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
  if (fileTime < kUnixEpochAsFileTime) return 0;
  return static_cast<std::int64_t>((fileTime - kUnixEpochAsFileTime) / 10000ULL);
}

bool LockedLongerThan30MinAt(bool lockRemembered, std::uint32_t lockTick, std::uint32_t nowTick) {
  // Unsigned subtraction measures across a wrap of the tick count.
  return lockRemembered && static_cast<std::uint32_t>(nowTick - lockTick) >= 1800000u;
}

std::string EncodeHandOverPath(const std::string& path) {
  // Only the characters up to a zero byte can be received.
  std::string data = path.substr(0, path.find('\0'));
  data.push_back('\0');
  return data;
}

std::string DecodeHandOverPath(const void* data, std::size_t size) {
  if (!data || size == 0) return "";
  const char* chars = static_cast<const char*>(data);
  const void* zero = std::memchr(chars, 0, size);
  const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - chars) : size;
  return Trim(std::string(chars, n));
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  for (;;) {
    while (i < n && static_cast<unsigned char>(commandLine[i]) <= ' ') ++i;
    if (i >= n) break;
    std::string word;
    bool quoted = false;
    for (; i < n; ++i) {
      const char c = commandLine[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && static_cast<unsigned char>(c) <= ' ') {
        break;
      } else {
        word.push_back(c);
      }
    }
    words.push_back(word);
  }
  return words;
}
