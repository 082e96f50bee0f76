// Shared pieces of the counter-mode ciphers: byte-order helpers and the walk
// over a buffer that starts at an arbitrary byte offset of the keystream,
// and the stack burning that PBKDF2 uses too. Internal to the engine's
// primitives; the container uses the cipher headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/Platform.h"

// Fully unrolls the loop that follows, so the per-block arrays of the
// interleaved kernels stay in registers (-O2 alone leaves such loops rolled).
#define VL_UNROLL _Pragma("GCC unroll 16")

namespace CtrCore {

inline std::uint32_t LoadBE32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}
inline std::uint64_t LoadBE64(const std::uint8_t* p) {
  return (std::uint64_t(LoadBE32(p)) << 32) | LoadBE32(p + 4);
}
inline std::uint32_t LoadLE32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline void StoreBE32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v >> 24);
  p[1] = std::uint8_t(v >> 16);
  p[2] = std::uint8_t(v >> 8);
  p[3] = std::uint8_t(v);
}
inline void StoreLE32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}
inline std::uint32_t Rol32(std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
inline std::uint32_t Ror32(std::uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

// The kernels keep key words and keystream in registers that the compiler
// may spill to the stack, out of reach of SecureZero. Each cipher runs its
// kernels in a worker that is never inlined; called right after the worker
// has returned, this overwrites the stack below the caller's frame, where the
// worker's frame and those of its callees were.
template <std::size_t Bytes = 2048>
[[gnu::noinline]] void BurnStack() {
  unsigned char area[Bytes];
  Platform::SecureZero(area, sizeof area);
}

// XORs n bytes of ks into in, writing out (in and out may be the same).
inline void XorBytes(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* ks, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = std::uint8_t(in[i] ^ ks[i]);
}

// Walks len bytes that sit at byte position `offset` of a keystream made of
// B-byte blocks. The caller has already set its counter to block offset / B.
//   one(ks)               writes the keystream block of the current counter
//                         into ks[B] and advances the counter by one;
//   many(in, out, blocks) XORs that many whole blocks and advances the counter.
// A start inside a block uses the rest of that block's keystream; a short end
// uses the front of the next one. The keystream block on the stack is wiped.
template <std::size_t B, class One, class Many>
void Walk(const std::uint8_t* in, std::uint8_t* out, std::uint64_t len, std::uint64_t offset, One&& one,
          Many&& many) {
  std::uint8_t ks[B];
  const std::size_t skip = std::size_t(offset % B);
  if (skip != 0) {
    one(ks);
    const std::size_t n = len < B - skip ? std::size_t(len) : B - skip;
    XorBytes(in, out, ks + skip, n);
    in += n;
    out += n;
    len -= n;
  }
  // Whole blocks, in pieces small enough for size_t on 32-bit targets.
  constexpr std::uint64_t kMaxBlocksPerStep = std::uint64_t(1) << 20;
  while (len >= B) {
    const std::uint64_t blocks = len / B < kMaxBlocksPerStep ? len / B : kMaxBlocksPerStep;
    many(in, out, std::size_t(blocks));
    in += blocks * B;
    out += blocks * B;
    len -= blocks * B;
  }
  if (len != 0) {
    one(ks);
    XorBytes(in, out, ks, std::size_t(len));
  }
  Platform::SecureZero(ks, sizeof ks);
}

}  // namespace CtrCore
