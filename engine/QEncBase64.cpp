#include "engine/QEncBase64.h"

#include <cstdint>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kPad = 64;
constexpr int kSkip = -1;

int SymbolValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  if (c == '=') return kPad;
  return kSkip;
}

}  // namespace

std::string Base64Encode(const std::string& data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const std::uint32_t v = (std::uint32_t(p[i]) << 16) | (std::uint32_t(p[i + 1]) << 8) | p[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = data.size() - i;
  if (rest == 1) {
    const std::uint32_t v = std::uint32_t(p[i]) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    const std::uint32_t v = (std::uint32_t(p[i]) << 16) | (std::uint32_t(p[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string Base64Decode(const std::string& text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  int group[4];
  int n = 0;
  for (const char c : text) {
    const int v = SymbolValue(c);
    if (v == kSkip) continue;
    group[n++] = v;
    if (n < 4) continue;
    n = 0;
    if (group[0] == kPad || group[1] == kPad) continue;
    const std::uint32_t bits = (std::uint32_t(group[0]) << 18) | (std::uint32_t(group[1]) << 12) |
                               (std::uint32_t(group[2] == kPad ? 0 : group[2]) << 6) |
                               std::uint32_t(group[3] == kPad ? 0 : group[3]);
    out += static_cast<char>((bits >> 16) & 0xFF);
    if (group[2] == kPad) continue;
    out += static_cast<char>((bits >> 8) & 0xFF);
    if (group[3] == kPad) continue;
    out += static_cast<char>(bits & 0xFF);
  }
  return out;
}
