// Twofish (Schneier et al., 128-bit block; 128-, 192- and 256-bit keys) and
// the engine's Twofish counter mode.
//
// Counter block: the whole 16-byte IV read as a 128-bit big-endian number plus
// the block index (offset / 16), carries running up through byte 0; each
// counter block is encrypted with the standard little-endian word loading and
// storing. Stored files depend on this layout.
//
// The block function is table-driven (the key-dependent S-boxes merged with
// the MDS matrix); counter mode keeps several blocks in flight unless the
// portable path is forced (CpuFeatures), which runs one block at a time and
// gives the same bytes.
#pragma once

#include <cstdint>

// A keyed Twofish: the 40 round subkeys and the four key-dependent S-box
// tables in full-key form. Wiped when cleared and when destroyed.
class TTwofishContext {
 public:
  TTwofishContext();
  ~TTwofishContext();
  TTwofishContext(const TTwofishContext&) = default;
  TTwofishContext& operator=(const TTwofishContext&) = default;

  // Keys the context with 16, 24 or 32 bytes and returns true. Any other
  // length, or a null key, clears the whole context and returns false.
  bool SetKey(const std::uint8_t* key, int length);
  // Overwrites the whole context with zeros.
  void Clear();

  void EncryptBlock(const std::uint8_t in[16], std::uint8_t out[16]) const;

  std::uint32_t SubKeys[40];
  std::uint32_t SBox[4][256];
};

// XORs the keystream into `length` bytes that sit at byte `offset` of the
// encrypted data, reading `in` and writing `out` (the same buffer, or two that
// do not overlap). The same call encrypts and decrypts. Nothing happens for a
// null buffer or a length of 0 or less.
void TwofishCtrXor(const std::uint8_t* in, std::uint8_t* out, std::int64_t length, const TTwofishContext& context,
                   const std::uint8_t iv[16], std::int64_t offset);

// The in-place forms, at an offset and at offset 0.
void TwofishCtrXor(std::uint8_t* buffer, std::int64_t length, const TTwofishContext& context,
                   const std::uint8_t iv[16], std::int64_t offset);
void TwofishCtrXor(std::uint8_t* buffer, std::int64_t length, const TTwofishContext& context,
                   const std::uint8_t iv[16]);
