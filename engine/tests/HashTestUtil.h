// Helpers shared by the hash tests: hex text and reproducible pseudo-random
// bytes for property checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace HashTest {

inline std::vector<std::uint8_t> FromHex(const std::string& hex) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
  return out;
}

inline std::string ToHex(const std::uint8_t* p, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}
inline std::string ToHex(const std::vector<std::uint8_t>& v) { return ToHex(v.data(), v.size()); }

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// xorshift64*: the same sequence on every platform, so a failure repeats.
class TTestRandom {
 public:
  explicit TTestRandom(std::uint64_t seed) : state_(seed ? seed : 1) {}
  std::uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1DULL;
  }
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
  std::vector<std::uint8_t> Fill(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) b = static_cast<std::uint8_t>(Next() >> 56);
    return v;
  }

 private:
  std::uint64_t state_;
};

// Names the two instances of a test run on the fast and the portable path.
inline std::string PathName(const ::testing::TestParamInfo<bool>& p) {
  return p.param ? "Portable" : "Fast";
}

}  // namespace HashTest
