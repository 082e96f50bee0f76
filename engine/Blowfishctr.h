// Blowfish (Schneier: 64-bit block, 16 rounds, the pi-derived initial tables)
// and the engine's Blowfish counter mode.
//
// Counter block: IV bytes 0-7 read as a 64-bit big-endian number plus the
// block index (offset / 8), modulo 2^64 with the carry running through all
// eight bytes; IV bytes 8-15 are not used. The block's left half is the
// big-endian word of counter bytes 0-3, the right half that of bytes 4-7; the
// output is the left then the right half, each big-endian. Stored files depend
// on this layout.
//
// Counter mode keeps several blocks in flight unless the portable path is
// forced (CpuFeatures), which runs one block at a time and gives the same
// bytes.
#pragma once

#include <cstdint>

// A keyed Blowfish: the 18-word P array and the four 256-word S-boxes after
// the key schedule. Wiped when cleared and when destroyed.
class TBlowfishContext {
 public:
  TBlowfishContext();
  ~TBlowfishContext();
  TBlowfishContext(const TBlowfishContext&) = default;
  TBlowfishContext& operator=(const TBlowfishContext&) = default;

  // Keys the context with 1 to 56 bytes (the engine uses 16) and returns true:
  // the key bytes, cycled, are XORed into the P array as big-endian words,
  // then repeated encryption of an all-zero block replaces P and the S-boxes.
  // Any other length, or a null key, clears the whole context and returns false.
  bool SetKey(const std::uint8_t* key, int length);
  // Overwrites the whole context with zeros.
  void Clear();

  // Encrypts one block given as its two big-endian halves.
  void EncryptBlock(std::uint32_t& left, std::uint32_t& right) const;
  // Encrypts one 8-byte block.
  void EncryptBlock(const std::uint8_t in[8], std::uint8_t out[8]) const;

  std::uint32_t P[18];
  std::uint32_t S[4][256];
};

// XORs the keystream into `length` bytes that sit at byte `offset` of the
// encrypted data, reading `in` and writing `out` (the same buffer, or two that
// do not overlap). The same call encrypts and decrypts. Nothing happens for a
// null buffer or a length of 0 or less.
void BlowfishCtrXor(const std::uint8_t* in, std::uint8_t* out, std::int64_t length, const TBlowfishContext& context,
                    const std::uint8_t iv[16], std::int64_t offset);

// The in-place forms, at an offset and at offset 0.
void BlowfishCtrXor(std::uint8_t* buffer, std::int64_t length, const TBlowfishContext& context,
                    const std::uint8_t iv[16], std::int64_t offset);
void BlowfishCtrXor(std::uint8_t* buffer, std::int64_t length, const TBlowfishContext& context,
                    const std::uint8_t iv[16]);
