#include "engine/Pbkdf2.h"

#include "base/Platform.h"
#include "engine/CpuFeatures.h"
#include "engine/CtrCore.h"
#include "engine/Hmac.h"
#include "engine/Sha256Kernels.h"

namespace {

constexpr std::int64_t kMaxOutput = std::int64_t(0xFFFFFFFF) * 32;
// Output blocks derived side by side: their chains are independent, so
// running two at once keeps the hash units busy while each waits on its
// own previous round.
constexpr int kChainsAtOnce = 2;

}  // namespace

bool Pbkdf2HmacSha256(const void* password, std::int64_t passwordLength, const void* salt,
                      std::int64_t saltLength, std::uint8_t* out, std::int64_t outLength,
                      std::uint32_t iterations) {
  if (password == nullptr || passwordLength < 0 || out == nullptr || outLength <= 0 ||
      outLength > kMaxOutput)
    return false;
  if (iterations == 0) iterations = 1;

  // The keyed context gives the chaining words after the key XOR 0x36 and
  // 0x5c blocks; every iteration starts from them. The salted one has the
  // salt fed too, so each block's U1 only adds its 4-byte index.
  THmacSha256Context keyed;
  HmacSha256Init(keyed, password, passwordLength);
  THmacSha256Context salted = keyed;
  HmacSha256Update(salted, salt, saltLength);

  std::uint32_t u[kChainsAtOnce][8];
  std::uint32_t t[kChainsAtOnce][8];
  std::uint8_t tag[HmacSha256TagSize];
  std::uint8_t index[4];
  std::uint32_t blockIndex = 1;
  std::int64_t done = 0;
  while (done < outLength) {
    const std::int64_t blocksLeft = (outLength - done + 31) / 32;
    const int chains = blocksLeft < kChainsAtOnce ? static_cast<int>(blocksLeft) : kChainsAtOnce;
    for (int c = 0; c < chains; ++c) {
      const std::uint32_t i = blockIndex + static_cast<std::uint32_t>(c);
      index[0] = static_cast<std::uint8_t>(i >> 24);
      index[1] = static_cast<std::uint8_t>(i >> 16);
      index[2] = static_cast<std::uint8_t>(i >> 8);
      index[3] = static_cast<std::uint8_t>(i);
      HmacSha256FinalCopy(salted, index, sizeof index, tag);
      for (int w = 0; w < 8; ++w) {
        u[c][w] = (std::uint32_t(tag[4 * w]) << 24) | (std::uint32_t(tag[4 * w + 1]) << 16) |
                  (std::uint32_t(tag[4 * w + 2]) << 8) | std::uint32_t(tag[4 * w + 3]);
        t[c][w] = u[c][w];
      }
    }
    if (iterations > 1) {
      const std::uint32_t* inner = keyed.Inner.State;
      const std::uint32_t* outer = keyed.Outer.State;
      if (CpuFeatures::HasSHA())
        Sha256Kernels::Pbkdf2ChainsShaNi(inner, outer, u, t, static_cast<std::size_t>(chains), iterations - 1);
      else
        Sha256Kernels::Pbkdf2ChainsPortable(inner, outer, u, t, static_cast<std::size_t>(chains),
                                            iterations - 1);
    }
    for (int c = 0; c < chains && done < outLength; ++c) {
      for (int w = 0; w < 8 && done < outLength; ++w) {
        for (int shift = 24; shift >= 0 && done < outLength; shift -= 8)
          out[done++] = static_cast<std::uint8_t>(t[c][w] >> shift);
      }
    }
    blockIndex += static_cast<std::uint32_t>(chains);
  }

  Platform::SecureZero(u, sizeof u);
  Platform::SecureZero(t, sizeof t);
  Platform::SecureZero(tag, sizeof tag);
  HmacSha256Wipe(keyed);
  HmacSha256Wipe(salted);
  // The kernels keep the chaining words, U and T in registers that the
  // compiler spills to their frames, out of reach of the wipes above: the
  // stack they used is overwritten too (deep enough for the larger frames of
  // instrumented builds).
  CtrCore::BurnStack<8192>();
  return true;
}
