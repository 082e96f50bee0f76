// HMAC-SHA256 (RFC 2104): streaming, one-shot, and finishing on a copy of a
// pre-keyed context, which lets a caller key once and tag many messages that
// share a prefix (PBKDF2 does this for every block it derives).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/Sha256.h"

constexpr std::size_t HmacSha256TagSize = 32;

struct THmacSha256Context {
  TSha256Context Inner;  // already fed with the key XOR 0x36 block
  TSha256Context Outer;  // already fed with the key XOR 0x5c block
};

// Keys of up to 64 bytes are zero-padded; longer keys are first replaced by
// their SHA-256 digest. A null key or a length of 0 or less is the empty key.
void HmacSha256Init(THmacSha256Context& ctx, const void* key, std::int64_t keyLength);
// A null pointer or a length of 0 or less does nothing.
void HmacSha256Update(THmacSha256Context& ctx, const void* data, std::int64_t length);
// Writes the 32-byte tag and wipes the context.
void HmacSha256Final(THmacSha256Context& ctx, std::uint8_t tag[HmacSha256TagSize]);
// Tag of everything fed to ctx so far followed by `extra`, computed on copies:
// ctx itself is unchanged and may be finished again or fed further.
void HmacSha256FinalCopy(const THmacSha256Context& ctx, const void* extra, std::int64_t extraLength,
                         std::uint8_t tag[HmacSha256TagSize]);
// HMAC(key, data) in one call.
void HmacSha256(const void* key, std::int64_t keyLength, const void* data, std::int64_t length,
                std::uint8_t tag[HmacSha256TagSize]);

void HmacSha256Wipe(THmacSha256Context& ctx);
