#include "engine/ConstantTime.h"

#include <cstdint>

bool ConstantTimeEqual(const void* a, const void* b, std::size_t n) {
  auto* pa = static_cast<const std::uint8_t*>(a);
  auto* pb = static_cast<const std::uint8_t*>(b);
  std::uint32_t diff = 0;
  for (std::size_t i = 0; i < n; ++i) {
    diff |= static_cast<std::uint32_t>(pa[i] ^ pb[i]);
    // Hide diff from the optimiser so it cannot turn the loop into one that
    // stops at the first difference.
    __asm__("" : "+r"(diff));
  }
  return diff == 0;
}
