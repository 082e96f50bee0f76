#include "engine/Random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/ConstantTime.h"

namespace {

TEST(RandomBytes, RefusesNullBufferAndNonPositiveCounts) {
  std::uint8_t buf[4] = {9, 9, 9, 9};
  EXPECT_FALSE(RandomBytes(nullptr, 16));
  EXPECT_FALSE(RandomBytes(buf, 0));
  EXPECT_FALSE(RandomBytes(buf, -1));
  for (std::uint8_t b : buf) EXPECT_EQ(b, 9);
}

TEST(RandomBytes, FillsTheWholeBufferWithFreshBytes) {
  // Two 64-byte draws that agree, or a buffer whose last byte stays at its
  // start value in every one of 20 draws, would be a broken source.
  std::vector<std::uint8_t> a(64, 0), b(64, 0);
  ASSERT_TRUE(RandomBytes(a.data(), 64));
  ASSERT_TRUE(RandomBytes(b.data(), 64));
  EXPECT_NE(a, b);
  bool lastChanged = false;
  for (int i = 0; i < 20 && !lastChanged; ++i) {
    std::uint8_t c[17] = {};
    ASSERT_TRUE(RandomBytes(c, 17));
    lastChanged = c[16] != 0;
  }
  EXPECT_TRUE(lastChanged);
}

TEST(ConstantTimeEqual, ComparesEveryByte) {
  std::uint8_t a[32], b[32];
  for (int i = 0; i < 32; ++i) a[i] = b[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_TRUE(ConstantTimeEqual(a, b, 32));
  EXPECT_TRUE(ConstantTimeEqual(a, b, 0));
  for (int pos = 0; pos < 32; ++pos) {
    for (std::uint8_t bit = 1; bit != 0; bit = static_cast<std::uint8_t>(bit << 1)) {
      b[pos] ^= bit;
      EXPECT_FALSE(ConstantTimeEqual(a, b, 32)) << pos << " " << int(bit);
      b[pos] ^= bit;
    }
  }
}

}  // namespace
