// SHA-256 (FIPS 180-4). Streaming context plus a one-shot helper. The block
// function is picked at run time: the x86 SHA extensions where the processor
// has them, portable code otherwise; both give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t Sha256DigestSize = 32;
constexpr std::size_t Sha256BlockSize = 64;

struct TSha256Context {
  std::uint32_t State[8];          // chaining words
  std::uint8_t Buffer[64];         // bytes of the block not yet hashed
  std::uint32_t BufferLength;      // count of bytes in Buffer (0..63)
  std::uint64_t TotalLength;       // count of all bytes fed so far
};

void Sha256Init(TSha256Context& ctx);
// A null pointer or a length of 0 or less does nothing.
void Sha256Update(TSha256Context& ctx, const void* data, std::int64_t length);
// Writes the 32-byte digest (big-endian words) and wipes the context.
void Sha256Final(TSha256Context& ctx, std::uint8_t digest[Sha256DigestSize]);
// Digest of one buffer; same rules for null and non-positive lengths.
void Sha256(const void* data, std::int64_t length, std::uint8_t digest[Sha256DigestSize]);

void Sha256Wipe(TSha256Context& ctx);
