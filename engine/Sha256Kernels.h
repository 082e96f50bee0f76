// Block functions behind Sha256.h, Hmac.h and Pbkdf2.h: one portable set and
// one set that uses the x86 SHA extensions. Callers inside the engine pick a
// set with CpuFeatures::HasSHA(); both sets give identical results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Sha256Kernels {

// Hashes count whole 64-byte blocks into state.
void CompressPortable(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count);
void CompressShaNi(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count);

// The PBKDF2 inner loop for `chains` independent output blocks (1 or 2).
// inner/outer are the chaining words after the key XOR 0x36 / 0x5c block.
// u[c] holds U1 of chain c and t[c] the running XOR (equal to U1 on entry),
// both as eight 32-bit words in digest order. Runs `rounds` further
// iterations: U = HMAC(U) with exactly two block computations each, T ^= U.
void Pbkdf2ChainsPortable(const std::uint32_t inner[8], const std::uint32_t outer[8],
                          std::uint32_t (*u)[8], std::uint32_t (*t)[8], std::size_t chains,
                          std::uint32_t rounds);
void Pbkdf2ChainsShaNi(const std::uint32_t inner[8], const std::uint32_t outer[8],
                       std::uint32_t (*u)[8], std::uint32_t (*t)[8], std::size_t chains,
                       std::uint32_t rounds);

extern const std::uint32_t RoundConstants[64];
extern const std::uint32_t InitialState[8];

}  // namespace Sha256Kernels
