// The one entry point through which the container applies a cipher stage to
// a chunk of its body.
#pragma once

#include <cstdint>

#include "engine/Blowfishctr.h"
#include "engine/Twofish.h"

// Cipher codes: the container's cipher byte, equal to the TQEncAlgorithm value
// of the same cipher.
enum TCtrCipherCode : int {
  ccAes128Ctr = 0,    // key: 16 bytes
  ccBlowfishCtr = 1,  // key: 16 bytes, schedule in the Blowfish context
  ccChaCha20 = 2,     // key: 32 bytes, of which only the first 16 are read
  ccTwofishCtr = 3,   // key: 16 bytes, schedule in the Twofish context
};

// XORs the keystream of cipher `code` into `length` bytes of `buffer`, which
// sit at byte `offset` of the encrypted data. Nothing happens for a null buffer
// or a length of 0 or less.
//
// With `compatibility` set the offset is replaced by 0 on every call, so each
// chunk restarts the keystream at its beginning (files written that way read
// back only with the same chunk size).
//
// AES and ChaCha20 take their key from `key` (at least 16 bytes); Blowfish and
// Twofish use their context, keyed before the first chunk, and ignore `key`.
// `iv` is the stage's 16-byte IV. A code outside 0-3 is handled as AES.
void CtrCipherApply(int code, std::uint8_t* buffer, std::int64_t length, bool compatibility, std::int64_t offset,
                    const TTwofishContext& twofish, const TBlowfishContext& blowfish, const std::uint8_t iv[16],
                    const std::uint8_t* key);
