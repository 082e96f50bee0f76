// AES-128 (FIPS 197) and the engine's AES-128 counter mode.
//
// Counter block: the 16-byte IV whose bytes 12-15, read as a big-endian
// 32-bit number, are increased by the block index (modulo 2^32); bytes 0-11
// stay as in the IV. The 32-bit counter wraps from FFFFFFFF to 0 without
// carrying into byte 11. Stored files depend on this layout.
//
// Uses AES-NI with eight counter blocks in flight when the processor has it
// (CpuFeatures), otherwise portable code that gives the same bytes.
#pragma once

#include <cstdint>

// One block of AES-128 encryption.
void Aes128EncryptBlock(const std::uint8_t key[16], const std::uint8_t in[16], std::uint8_t out[16]);

// XORs the keystream into `length` bytes that sit at byte `offset` of the
// encrypted data, reading `in` and writing `out` (the same buffer, or two that
// do not overlap). The same call encrypts and decrypts. Nothing happens for a
// null buffer or a length of 0 or less. The key schedule is expanded inside
// every call and wiped before it returns.
void Aes128CtrXor(const std::uint8_t* in, std::uint8_t* out, std::int64_t length, const std::uint8_t key[16],
                  const std::uint8_t iv[16], std::int64_t offset);

// The in-place forms, at an offset and at offset 0.
void Aes128CtrXor(std::uint8_t* buffer, std::int64_t length, const std::uint8_t key[16], const std::uint8_t iv[16],
                  std::int64_t offset);
void Aes128CtrXor(std::uint8_t* buffer, std::int64_t length, const std::uint8_t key[16], const std::uint8_t iv[16]);
