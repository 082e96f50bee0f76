#include "engine/Hmac.h"

#include <cstring>

#include "base/Platform.h"

void HmacSha256Init(THmacSha256Context& ctx, const void* key, std::int64_t keyLength) {
  std::uint8_t block[Sha256BlockSize] = {};
  if (key != nullptr && keyLength > 0) {
    if (keyLength > static_cast<std::int64_t>(Sha256BlockSize))
      Sha256(key, keyLength, block);  // the digest, then zero padding
    else
      std::memcpy(block, key, static_cast<std::size_t>(keyLength));
  }
  for (std::uint8_t& b : block) b ^= 0x36;
  Sha256Init(ctx.Inner);
  Sha256Update(ctx.Inner, block, sizeof block);
  for (std::uint8_t& b : block) b ^= 0x36 ^ 0x5c;
  Sha256Init(ctx.Outer);
  Sha256Update(ctx.Outer, block, sizeof block);
  Platform::SecureZero(block, sizeof block);
}

void HmacSha256Update(THmacSha256Context& ctx, const void* data, std::int64_t length) {
  Sha256Update(ctx.Inner, data, length);
}

void HmacSha256Final(THmacSha256Context& ctx, std::uint8_t tag[HmacSha256TagSize]) {
  std::uint8_t innerDigest[Sha256DigestSize];
  Sha256Final(ctx.Inner, innerDigest);
  Sha256Update(ctx.Outer, innerDigest, sizeof innerDigest);
  Sha256Final(ctx.Outer, tag);
  Platform::SecureZero(innerDigest, sizeof innerDigest);
}

void HmacSha256FinalCopy(const THmacSha256Context& ctx, const void* extra, std::int64_t extraLength,
                         std::uint8_t tag[HmacSha256TagSize]) {
  THmacSha256Context copy = ctx;
  HmacSha256Update(copy, extra, extraLength);
  HmacSha256Final(copy, tag);  // wipes the copy
}

void HmacSha256(const void* key, std::int64_t keyLength, const void* data, std::int64_t length,
                std::uint8_t tag[HmacSha256TagSize]) {
  THmacSha256Context ctx;
  HmacSha256Init(ctx, key, keyLength);
  HmacSha256Update(ctx, data, length);
  HmacSha256Final(ctx, tag);
}

void HmacSha256Wipe(THmacSha256Context& ctx) { Platform::SecureZero(&ctx, sizeof ctx); }
