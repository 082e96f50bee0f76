// ChaCha20 (RFC 8439: 20 rounds, 32-bit block counter, 96-bit nonce) and the
// engine's ChaCha20 keystream.
//
// Engine layout: the 32-byte ChaCha20 key is cipher key bytes 0-15 followed by
// IV bytes 0-15 (cipher key bytes 16-31 are never read); the nonce is IV bytes
// 0-11; the block counter starts at the low 32 bits of offset / 64 and wraps
// modulo 2^32 without touching the nonce. Stored files depend on this layout.
//
// Runs sixteen blocks at once with AVX-512, eight with AVX2 or four with SSE2
// when the processor and the operating system offer them, otherwise portable
// code that gives the same bytes; forcing the portable path (CpuFeatures)
// turns all three off.
#pragma once

#include <cstdint>

// The RFC 8439 block function: 64 keystream bytes for one counter value.
void Chacha20Block(const std::uint8_t key[32], const std::uint8_t nonce[12], std::uint32_t counter,
                   std::uint8_t out[64]);

// The RFC 8439 cipher: XORs the keystream that starts at block `counter` into
// `length` bytes (in and out the same buffer, or not overlapping). The counter
// wraps modulo 2^32. Nothing happens for a null buffer or a length of 0 or less.
void Chacha20StreamXor(const std::uint8_t key[32], const std::uint8_t nonce[12], std::uint32_t counter,
                       const std::uint8_t* in, std::uint8_t* out, std::int64_t length);

// The engine's keystream at byte `offset` of the encrypted data, from the
// cipher key (at least 16 bytes; only the first 16 are read) and the 16-byte
// IV. The same call encrypts and decrypts. Nothing happens for a null buffer
// or a length of 0 or less.
void Chacha20Xor(const std::uint8_t* in, std::uint8_t* out, std::int64_t length, const std::uint8_t* cipherKey,
                 const std::uint8_t iv[16], std::int64_t offset);

// The in-place forms, at an offset and at offset 0.
void Chacha20Xor(std::uint8_t* buffer, std::int64_t length, const std::uint8_t* cipherKey, const std::uint8_t iv[16],
                 std::int64_t offset);
void Chacha20Xor(std::uint8_t* buffer, std::int64_t length, const std::uint8_t* cipherKey, const std::uint8_t iv[16]);
