// Portable SHA-256 block function and PBKDF2 chain loop: plain 32-bit
// arithmetic, rounds unrolled with a rolling 16-word message schedule.
#include <cstring>

#include "base/Platform.h"
#include "engine/Sha256Kernels.h"

namespace Sha256Kernels {

const std::uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

const std::uint32_t InitialState[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

namespace {

inline std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline std::uint32_t BigSigma0(std::uint32_t x) { return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22); }
inline std::uint32_t BigSigma1(std::uint32_t x) { return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25); }
inline std::uint32_t SmallSigma0(std::uint32_t x) { return Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3); }
inline std::uint32_t SmallSigma1(std::uint32_t x) { return Rotr(x, 17) ^ Rotr(x, 19) ^ (x >> 10); }
inline std::uint32_t Choose(std::uint32_t e, std::uint32_t f, std::uint32_t g) { return ((f ^ g) & e) ^ g; }
inline std::uint32_t Majority(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  return (a & b) | (c & (a | b));
}

inline std::uint32_t LoadBE32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

// One round; the eight working variables rotate by renaming the arguments.
#define VL_SHA256_ROUND(a, b, c, d, e, f, g, h, k, w)                   \
  do {                                                                  \
    std::uint32_t t1 = h + BigSigma1(e) + Choose(e, f, g) + (k) + (w);  \
    d += t1;                                                            \
    h = t1 + BigSigma0(a) + Majority(a, b, c);                          \
  } while (0)

// Message word i (0..15) of the first group of 16 rounds, and of the later
// groups, where the schedule is rolled forward in place.
#define VL_SHA256_W0(i) w[i]
#define VL_SHA256_WN(i)                                                                   \
  (w[i] += SmallSigma1(w[((i) + 14) & 15]) + w[((i) + 9) & 15] + SmallSigma0(w[((i) + 1) & 15]))

#define VL_SHA256_16(W)                                             \
  do {                                                              \
    VL_SHA256_ROUND(a, b, c, d, e, f, g, h, k[0], W(0));            \
    VL_SHA256_ROUND(h, a, b, c, d, e, f, g, k[1], W(1));            \
    VL_SHA256_ROUND(g, h, a, b, c, d, e, f, k[2], W(2));            \
    VL_SHA256_ROUND(f, g, h, a, b, c, d, e, k[3], W(3));            \
    VL_SHA256_ROUND(e, f, g, h, a, b, c, d, k[4], W(4));            \
    VL_SHA256_ROUND(d, e, f, g, h, a, b, c, k[5], W(5));            \
    VL_SHA256_ROUND(c, d, e, f, g, h, a, b, k[6], W(6));            \
    VL_SHA256_ROUND(b, c, d, e, f, g, h, a, k[7], W(7));            \
    VL_SHA256_ROUND(a, b, c, d, e, f, g, h, k[8], W(8));            \
    VL_SHA256_ROUND(h, a, b, c, d, e, f, g, k[9], W(9));            \
    VL_SHA256_ROUND(g, h, a, b, c, d, e, f, k[10], W(10));          \
    VL_SHA256_ROUND(f, g, h, a, b, c, d, e, k[11], W(11));          \
    VL_SHA256_ROUND(e, f, g, h, a, b, c, d, k[12], W(12));          \
    VL_SHA256_ROUND(d, e, f, g, h, a, b, c, k[13], W(13));          \
    VL_SHA256_ROUND(c, d, e, f, g, h, a, b, k[14], W(14));          \
    VL_SHA256_ROUND(b, c, d, e, f, g, h, a, k[15], W(15));          \
  } while (0)

// Hashes the 16 message words in w (overwritten by the schedule) into s.
inline void Rounds(std::uint32_t s[8], std::uint32_t w[16]) {
  std::uint32_t a = s[0], b = s[1], c = s[2], d = s[3], e = s[4], f = s[5], g = s[6], h = s[7];
  const std::uint32_t* k = RoundConstants;
  VL_SHA256_16(VL_SHA256_W0);
  for (k += 16; k != RoundConstants + 64; k += 16) VL_SHA256_16(VL_SHA256_WN);
  s[0] += a; s[1] += b; s[2] += c; s[3] += d;
  s[4] += e; s[5] += f; s[6] += g; s[7] += h;
}

#undef VL_SHA256_16
#undef VL_SHA256_WN
#undef VL_SHA256_W0
#undef VL_SHA256_ROUND

// Message words 8..15 of the single final block of a 64 + 32-byte message:
// the 0x80 marker, zeros and the length in bits (768).
inline void SetTailPadding(std::uint32_t w[16]) {
  w[8] = 0x80000000u;
  w[9] = w[10] = w[11] = w[12] = w[13] = w[14] = 0;
  w[15] = (64 + 32) * 8;
}

}  // namespace

void CompressPortable(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count) {
  std::uint32_t w[16];
  for (; count > 0; --count, blocks += 64) {
    for (int i = 0; i < 16; ++i) w[i] = LoadBE32(blocks + 4 * i);
    Rounds(state, w);
  }
  Platform::SecureZero(w, sizeof w);
}

void Pbkdf2ChainsPortable(const std::uint32_t inner[8], const std::uint32_t outer[8],
                          std::uint32_t (*u)[8], std::uint32_t (*t)[8], std::size_t chains,
                          std::uint32_t rounds) {
  std::uint32_t w[16];
  std::uint32_t s[8];
  for (std::size_t c = 0; c < chains; ++c) {
    std::uint32_t* uc = u[c];
    std::uint32_t* tc = t[c];
    for (std::uint32_t r = 0; r < rounds; ++r) {
      // Inner hash: key XOR 0x36 block (already in `inner`), then U and padding.
      std::memcpy(w, uc, 32);
      SetTailPadding(w);
      std::memcpy(s, inner, 32);
      Rounds(s, w);
      // Outer hash over the inner digest.
      std::memcpy(w, s, 32);
      SetTailPadding(w);
      std::memcpy(uc, outer, 32);
      Rounds(uc, w);
      for (int i = 0; i < 8; ++i) tc[i] ^= uc[i];
    }
  }
  Platform::SecureZero(w, sizeof w);
  Platform::SecureZero(s, sizeof s);
}

}  // namespace Sha256Kernels
