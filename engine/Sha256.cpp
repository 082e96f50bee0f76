#include "engine/Sha256.h"

#include <cstring>

#include "base/Platform.h"
#include "engine/CpuFeatures.h"
#include "engine/Sha256Kernels.h"

namespace {

void Compress(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count) {
  if (CpuFeatures::HasSHA())
    Sha256Kernels::CompressShaNi(state, blocks, count);
  else
    Sha256Kernels::CompressPortable(state, blocks, count);
}

}  // namespace

void Sha256Init(TSha256Context& ctx) {
  std::memcpy(ctx.State, Sha256Kernels::InitialState, sizeof ctx.State);
  std::memset(ctx.Buffer, 0, sizeof ctx.Buffer);
  ctx.BufferLength = 0;
  ctx.TotalLength = 0;
}

void Sha256Update(TSha256Context& ctx, const void* data, std::int64_t length) {
  if (data == nullptr || length <= 0) return;
  auto* p = static_cast<const std::uint8_t*>(data);
  auto n = static_cast<std::size_t>(length);
  ctx.TotalLength += n;
  if (ctx.BufferLength > 0) {
    const std::size_t take = n < 64 - ctx.BufferLength ? n : 64 - ctx.BufferLength;
    std::memcpy(ctx.Buffer + ctx.BufferLength, p, take);
    ctx.BufferLength += static_cast<std::uint32_t>(take);
    p += take;
    n -= take;
    if (ctx.BufferLength < 64) return;
    Compress(ctx.State, ctx.Buffer, 1);
    ctx.BufferLength = 0;
  }
  if (n >= 64) {
    Compress(ctx.State, p, n / 64);
    p += n & ~std::size_t(63);
    n &= 63;
  }
  if (n > 0) {
    std::memcpy(ctx.Buffer, p, n);
    ctx.BufferLength = static_cast<std::uint32_t>(n);
  }
}

void Sha256Final(TSha256Context& ctx, std::uint8_t digest[Sha256DigestSize]) {
  const std::uint64_t bits = ctx.TotalLength * 8;
  std::uint32_t used = ctx.BufferLength;
  ctx.Buffer[used++] = 0x80;
  if (used > 56) {
    std::memset(ctx.Buffer + used, 0, 64 - used);
    Compress(ctx.State, ctx.Buffer, 1);
    used = 0;
  }
  std::memset(ctx.Buffer + used, 0, 56 - used);
  for (int i = 0; i < 8; ++i) ctx.Buffer[56 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  Compress(ctx.State, ctx.Buffer, 1);
  for (int i = 0; i < 8; ++i) {
    digest[4 * i] = static_cast<std::uint8_t>(ctx.State[i] >> 24);
    digest[4 * i + 1] = static_cast<std::uint8_t>(ctx.State[i] >> 16);
    digest[4 * i + 2] = static_cast<std::uint8_t>(ctx.State[i] >> 8);
    digest[4 * i + 3] = static_cast<std::uint8_t>(ctx.State[i]);
  }
  Sha256Wipe(ctx);
}

void Sha256(const void* data, std::int64_t length, std::uint8_t digest[Sha256DigestSize]) {
  TSha256Context ctx;
  Sha256Init(ctx);
  Sha256Update(ctx, data, length);
  Sha256Final(ctx, digest);
}

void Sha256Wipe(TSha256Context& ctx) { Platform::SecureZero(&ctx, sizeof ctx); }
