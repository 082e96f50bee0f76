#include "engine/Chacha20.h"

#include <cstring>

#include "base/Platform.h"
#include "engine/CpuFeatures.h"
#include "engine/CtrCore.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VL_CHACHA_X86 1
#else
#define VL_CHACHA_X86 0
#endif

namespace {

using CtrCore::LoadLE32;
using CtrCore::Rol32;
using CtrCore::StoreLE32;

// The input state: four constant words, eight key words, the block counter
// (word 12) and three nonce words, all little-endian.
void InitState(std::uint32_t st[16], const std::uint8_t key[32], const std::uint8_t nonce[12], std::uint32_t counter) {
  st[0] = 0x61707865;  // "expand 32-byte k"
  st[1] = 0x3320646e;
  st[2] = 0x79622d32;
  st[3] = 0x6b206574;
  for (int i = 0; i < 8; ++i) st[4 + i] = LoadLE32(key + 4 * i);
  st[12] = counter;
  for (int i = 0; i < 3; ++i) st[13 + i] = LoadLE32(nonce + 4 * i);
}

#define VL_QR(a, b, c, d)   \
  a += b;                   \
  d = Rol32(d ^ a, 16);     \
  c += d;                   \
  b = Rol32(b ^ c, 12);     \
  a += b;                   \
  d = Rol32(d ^ a, 8);      \
  c += d;                   \
  b = Rol32(b ^ c, 7)

// One block: ten double rounds, then the input state added back.
void BlockPortable(const std::uint32_t st[16], std::uint8_t out[64]) {
  std::uint32_t x[16];
  std::memcpy(x, st, sizeof x);
  for (int i = 0; i < 10; ++i) {
    VL_QR(x[0], x[4], x[8], x[12]);
    VL_QR(x[1], x[5], x[9], x[13]);
    VL_QR(x[2], x[6], x[10], x[14]);
    VL_QR(x[3], x[7], x[11], x[15]);
    VL_QR(x[0], x[5], x[10], x[15]);
    VL_QR(x[1], x[6], x[11], x[12]);
    VL_QR(x[2], x[7], x[8], x[13]);
    VL_QR(x[3], x[4], x[9], x[14]);
  }
  VL_UNROLL
  for (int i = 0; i < 16; ++i) StoreLE32(out + 4 * i, x[i] + st[i]);
  Platform::SecureZero(x, sizeof x);
}
#undef VL_QR

#if VL_CHACHA_X86
#define VL_TARGET_SSE2 __attribute__((target("sse2")))
#define VL_TARGET_AVX2 __attribute__((target("avx2")))

// Four blocks with SSE2: vector i holds word i of blocks counter .. counter+3.
VL_TARGET_SSE2 inline __m128i RotlSse2(__m128i v, int n) {
  return _mm_or_si128(_mm_slli_epi32(v, n), _mm_srli_epi32(v, 32 - n));
}
VL_TARGET_SSE2 inline __m128i Rotl16Sse2(__m128i v) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xb1), 0xb1);
}

#define VL_QR4(a, b, c, d)                       \
  a = _mm_add_epi32(a, b);                       \
  d = Rotl16Sse2(_mm_xor_si128(d, a));           \
  c = _mm_add_epi32(c, d);                       \
  b = RotlSse2(_mm_xor_si128(b, c), 12);         \
  a = _mm_add_epi32(a, b);                       \
  d = RotlSse2(_mm_xor_si128(d, a), 8);          \
  c = _mm_add_epi32(c, d);                       \
  b = RotlSse2(_mm_xor_si128(b, c), 7)

VL_TARGET_SSE2 void Blocks4Sse2(const std::uint32_t st[16], std::uint32_t counter, const std::uint8_t* in,
                                std::uint8_t* out) {
  __m128i v[16], x[16];
  VL_UNROLL
  for (int i = 0; i < 16; ++i) v[i] = _mm_set1_epi32(int(st[i]));
  v[12] = _mm_add_epi32(_mm_set1_epi32(int(counter)), _mm_setr_epi32(0, 1, 2, 3));
  VL_UNROLL
  for (int i = 0; i < 16; ++i) x[i] = v[i];
  for (int r = 0; r < 10; ++r) {
    VL_QR4(x[0], x[4], x[8], x[12]);
    VL_QR4(x[1], x[5], x[9], x[13]);
    VL_QR4(x[2], x[6], x[10], x[14]);
    VL_QR4(x[3], x[7], x[11], x[15]);
    VL_QR4(x[0], x[5], x[10], x[15]);
    VL_QR4(x[1], x[6], x[11], x[12]);
    VL_QR4(x[2], x[7], x[8], x[13]);
    VL_QR4(x[3], x[4], x[9], x[14]);
  }
  VL_UNROLL
  for (int i = 0; i < 16; ++i) x[i] = _mm_add_epi32(x[i], v[i]);
  // Transpose each group of four words: block j gets lane j of every vector.
  VL_UNROLL
  for (int g = 0; g < 4; ++g) {
    const __m128i t0 = _mm_unpacklo_epi32(x[4 * g], x[4 * g + 1]);
    const __m128i t1 = _mm_unpacklo_epi32(x[4 * g + 2], x[4 * g + 3]);
    const __m128i t2 = _mm_unpackhi_epi32(x[4 * g], x[4 * g + 1]);
    const __m128i t3 = _mm_unpackhi_epi32(x[4 * g + 2], x[4 * g + 3]);
    const __m128i r[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1), _mm_unpacklo_epi64(t2, t3),
                          _mm_unpackhi_epi64(t2, t3)};
    VL_UNROLL
    for (int j = 0; j < 4; ++j) {
      const std::size_t at = std::size_t(64 * j + 16 * g);
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), _mm_xor_si128(d, r[j]));
    }
  }
}
#undef VL_QR4

// Eight blocks with AVX2: vector i holds word i of blocks counter .. counter+7.
VL_TARGET_AVX2 inline __m256i RotlAvx2(__m256i v, int n) {
  return _mm256_or_si256(_mm256_slli_epi32(v, n), _mm256_srli_epi32(v, 32 - n));
}

#define VL_QR8(a, b, c, d)                                  \
  a = _mm256_add_epi32(a, b);                               \
  d = _mm256_shuffle_epi8(_mm256_xor_si256(d, a), rot16);   \
  c = _mm256_add_epi32(c, d);                               \
  b = RotlAvx2(_mm256_xor_si256(b, c), 12);                 \
  a = _mm256_add_epi32(a, b);                               \
  d = _mm256_shuffle_epi8(_mm256_xor_si256(d, a), rot8);    \
  c = _mm256_add_epi32(c, d);                               \
  b = RotlAvx2(_mm256_xor_si256(b, c), 7)

VL_TARGET_AVX2 void Blocks8Avx2(const std::uint32_t st[16], std::uint32_t counter, const std::uint8_t* in,
                                std::uint8_t* out) {
  const __m256i rot16 = _mm256_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13, 2, 3, 0, 1, 6, 7, 4,
                                         5, 10, 11, 8, 9, 14, 15, 12, 13);
  const __m256i rot8 = _mm256_setr_epi8(3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10, 15, 12, 13, 14, 3, 0, 1, 2, 7, 4, 5,
                                        6, 11, 8, 9, 10, 15, 12, 13, 14);
  __m256i x[16];
  VL_UNROLL
  for (int i = 0; i < 16; ++i) x[i] = _mm256_set1_epi32(int(st[i]));
  const __m256i counters = _mm256_add_epi32(_mm256_set1_epi32(int(counter)), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  x[12] = counters;
  for (int r = 0; r < 10; ++r) {
    VL_QR8(x[0], x[4], x[8], x[12]);
    VL_QR8(x[1], x[5], x[9], x[13]);
    VL_QR8(x[2], x[6], x[10], x[14]);
    VL_QR8(x[3], x[7], x[11], x[15]);
    VL_QR8(x[0], x[5], x[10], x[15]);
    VL_QR8(x[1], x[6], x[11], x[12]);
    VL_QR8(x[2], x[7], x[8], x[13]);
    VL_QR8(x[3], x[4], x[9], x[14]);
  }
  VL_UNROLL
  for (int i = 0; i < 16; ++i)
    x[i] = _mm256_add_epi32(x[i], i == 12 ? counters : _mm256_set1_epi32(int(st[i])));
  // Transpose each group of four words inside the 128-bit lanes: r[g][j]
  // holds words 4g..4g+3 of block j (low lane) and of block j+4 (high lane).
  __m256i r[4][4];
  VL_UNROLL
  for (int g = 0; g < 4; ++g) {
    const __m256i t0 = _mm256_unpacklo_epi32(x[4 * g], x[4 * g + 1]);
    const __m256i t1 = _mm256_unpacklo_epi32(x[4 * g + 2], x[4 * g + 3]);
    const __m256i t2 = _mm256_unpackhi_epi32(x[4 * g], x[4 * g + 1]);
    const __m256i t3 = _mm256_unpackhi_epi32(x[4 * g + 2], x[4 * g + 3]);
    r[g][0] = _mm256_unpacklo_epi64(t0, t1);
    r[g][1] = _mm256_unpackhi_epi64(t0, t1);
    r[g][2] = _mm256_unpacklo_epi64(t2, t3);
    r[g][3] = _mm256_unpackhi_epi64(t2, t3);
  }
  VL_UNROLL
  for (int j = 0; j < 4; ++j) {
    VL_UNROLL
    for (int half = 0; half < 2; ++half) {  // words 0-7, then words 8-15
      const __m256i lo = _mm256_permute2x128_si256(r[2 * half][j], r[2 * half + 1][j], 0x20);  // block j
      const __m256i hi = _mm256_permute2x128_si256(r[2 * half][j], r[2 * half + 1][j], 0x31);  // block j+4
      const std::size_t atLo = std::size_t(64 * j + 32 * half);
      const std::size_t atHi = atLo + 256;
      const __m256i dLo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + atLo));
      const __m256i dHi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + atHi));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + atLo), _mm256_xor_si256(dLo, lo));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + atHi), _mm256_xor_si256(dHi, hi));
    }
  }
}
#undef VL_QR8

// Sixteen blocks with AVX-512: vector i holds word i of blocks counter ..
// counter+15; every rotation is one instruction.
#define VL_TARGET_AVX512 __attribute__((target("avx512f")))

// GCC 12's AVX-512 intrinsics pass _mm512_undefined_epi32() as the unused
// merge source, which -Wuninitialized and -Wmaybe-uninitialized report.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define VL_QR16(a, b, c, d)                                 \
  a = _mm512_add_epi32(a, b);                               \
  d = _mm512_rol_epi32(_mm512_xor_si512(d, a), 16);         \
  c = _mm512_add_epi32(c, d);                               \
  b = _mm512_rol_epi32(_mm512_xor_si512(b, c), 12);         \
  a = _mm512_add_epi32(a, b);                               \
  d = _mm512_rol_epi32(_mm512_xor_si512(d, a), 8);          \
  c = _mm512_add_epi32(c, d);                               \
  b = _mm512_rol_epi32(_mm512_xor_si512(b, c), 7)

VL_TARGET_AVX512 void Blocks16Avx512(const std::uint32_t st[16], std::uint32_t counter, const std::uint8_t* in,
                                     std::uint8_t* out) {
  __m512i x[16];
  VL_UNROLL
  for (int i = 0; i < 16; ++i) x[i] = _mm512_set1_epi32(int(st[i]));
  const __m512i counters = _mm512_add_epi32(
      _mm512_set1_epi32(int(counter)), _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
  x[12] = counters;
  for (int r = 0; r < 10; ++r) {
    VL_QR16(x[0], x[4], x[8], x[12]);
    VL_QR16(x[1], x[5], x[9], x[13]);
    VL_QR16(x[2], x[6], x[10], x[14]);
    VL_QR16(x[3], x[7], x[11], x[15]);
    VL_QR16(x[0], x[5], x[10], x[15]);
    VL_QR16(x[1], x[6], x[11], x[12]);
    VL_QR16(x[2], x[7], x[8], x[13]);
    VL_QR16(x[3], x[4], x[9], x[14]);
  }
  VL_UNROLL
  for (int i = 0; i < 16; ++i)
    x[i] = _mm512_add_epi32(x[i], i == 12 ? counters : _mm512_set1_epi32(int(st[i])));
  // Transpose each group of four words inside the 128-bit lanes: r[g][j]
  // holds words 4g..4g+3 of block 4L+j in lane L.
  __m512i r[4][4];
  VL_UNROLL
  for (int g = 0; g < 4; ++g) {
    const __m512i t0 = _mm512_unpacklo_epi32(x[4 * g], x[4 * g + 1]);
    const __m512i t1 = _mm512_unpacklo_epi32(x[4 * g + 2], x[4 * g + 3]);
    const __m512i t2 = _mm512_unpackhi_epi32(x[4 * g], x[4 * g + 1]);
    const __m512i t3 = _mm512_unpackhi_epi32(x[4 * g + 2], x[4 * g + 3]);
    r[g][0] = _mm512_unpacklo_epi64(t0, t1);
    r[g][1] = _mm512_unpackhi_epi64(t0, t1);
    r[g][2] = _mm512_unpacklo_epi64(t2, t3);
    r[g][3] = _mm512_unpackhi_epi64(t2, t3);
  }
  // Then the 128-bit lanes across the four groups: block 4L+j is lane L of
  // r[0][j], r[1][j], r[2][j], r[3][j].
  VL_UNROLL
  for (int j = 0; j < 4; ++j) {
    const __m512i t0 = _mm512_shuffle_i32x4(r[0][j], r[1][j], 0x44);
    const __m512i t1 = _mm512_shuffle_i32x4(r[0][j], r[1][j], 0xee);
    const __m512i t2 = _mm512_shuffle_i32x4(r[2][j], r[3][j], 0x44);
    const __m512i t3 = _mm512_shuffle_i32x4(r[2][j], r[3][j], 0xee);
    const __m512i blocks[4] = {_mm512_shuffle_i32x4(t0, t2, 0x88), _mm512_shuffle_i32x4(t0, t2, 0xdd),
                               _mm512_shuffle_i32x4(t1, t3, 0x88), _mm512_shuffle_i32x4(t1, t3, 0xdd)};
    VL_UNROLL
    for (int lane = 0; lane < 4; ++lane) {
      const std::size_t at = std::size_t(64 * (4 * lane + j));
      const __m512i d = _mm512_loadu_si512(in + at);
      _mm512_storeu_si512(out + at, _mm512_xor_si512(d, blocks[lane]));
    }
  }
}
#undef VL_QR16
#pragma GCC diagnostic pop
#endif

// XORs the keystream whose block at `offset` / 64 has the counter st[12].
// Never inlined, so that the caller can burn its stack.
[[gnu::noinline]] void Run(const std::uint32_t init[16], const std::uint8_t* in, std::uint8_t* out,
                           std::uint64_t len, std::uint64_t offset) {
  std::uint32_t st[16];
  std::memcpy(st, init, sizeof st);
#if VL_CHACHA_X86
  const bool avx512 = CpuFeatures::HasAVX512F();
  const bool avx2 = CpuFeatures::HasAVX2();
  const bool sse2 = CpuFeatures::HasSSE2();
#endif
  auto one = [&](std::uint8_t ks[64]) {
    BlockPortable(st, ks);
    ++st[12];
  };
  auto many = [&](const std::uint8_t* src, std::uint8_t* dst, std::size_t blocks) {
#if VL_CHACHA_X86
    if (avx512) {
      for (; blocks >= 16; blocks -= 16, src += 1024, dst += 1024, st[12] += 16) Blocks16Avx512(st, st[12], src, dst);
    }
    if (avx2) {
      for (; blocks >= 8; blocks -= 8, src += 512, dst += 512, st[12] += 8) Blocks8Avx2(st, st[12], src, dst);
    }
    if (sse2) {
      for (; blocks >= 4; blocks -= 4, src += 256, dst += 256, st[12] += 4) Blocks4Sse2(st, st[12], src, dst);
    }
#endif
    std::uint8_t ks[64];
    for (; blocks != 0; --blocks, src += 64, dst += 64) {
      one(ks);
      CtrCore::XorBytes(src, dst, ks, 64);
    }
    Platform::SecureZero(ks, sizeof ks);
  };
  CtrCore::Walk<64>(in, out, len, offset, one, many);
  Platform::SecureZero(st, sizeof st);
}

}  // namespace

void Chacha20Block(const std::uint8_t key[32], const std::uint8_t nonce[12], std::uint32_t counter,
                   std::uint8_t out[64]) {
  std::uint32_t st[16];
  InitState(st, key, nonce, counter);
  BlockPortable(st, out);
  CtrCore::BurnStack<>();
  Platform::SecureZero(st, sizeof st);
}

void Chacha20StreamXor(const std::uint8_t key[32], const std::uint8_t nonce[12], std::uint32_t counter,
                       const std::uint8_t* in, std::uint8_t* out, std::int64_t length) {
  if (in == nullptr || out == nullptr || length <= 0) return;
  std::uint32_t st[16];
  InitState(st, key, nonce, counter);
  Run(st, in, out, std::uint64_t(length), 0);
  CtrCore::BurnStack<3072>();
  Platform::SecureZero(st, sizeof st);
}

void Chacha20Xor(const std::uint8_t* in, std::uint8_t* out, std::int64_t length, const std::uint8_t* cipherKey,
                 const std::uint8_t iv[16], std::int64_t offset) {
  if (in == nullptr || out == nullptr || length <= 0) return;
  // The offset is a byte position; it is taken modulo 2^64.
  const std::uint64_t position = std::uint64_t(offset);
  std::uint8_t key[32];
  std::memcpy(key, cipherKey, 16);
  std::memcpy(key + 16, iv, 16);
  std::uint32_t st[16];
  InitState(st, key, iv, std::uint32_t(position / 64));
  Run(st, in, out, std::uint64_t(length), position);
  CtrCore::BurnStack<3072>();
  Platform::SecureZero(st, sizeof st);
  Platform::SecureZero(key, sizeof key);
}

void Chacha20Xor(std::uint8_t* buffer, std::int64_t length, const std::uint8_t* cipherKey, const std::uint8_t iv[16],
                 std::int64_t offset) {
  Chacha20Xor(buffer, buffer, length, cipherKey, iv, offset);
}

void Chacha20Xor(std::uint8_t* buffer, std::int64_t length, const std::uint8_t* cipherKey, const std::uint8_t iv[16]) {
  Chacha20Xor(buffer, buffer, length, cipherKey, iv, 0);
}
