#include "engine/Aes.h"

#include <array>
#include <cstring>

#include "base/Platform.h"
#include "engine/CpuFeatures.h"
#include "engine/CtrCore.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VL_AES_X86 1
#else
#define VL_AES_X86 0
#endif

namespace {

using CtrCore::LoadBE32;
using CtrCore::LoadLE32;
using CtrCore::Ror32;
using CtrCore::StoreBE32;
using CtrCore::StoreLE32;

// ---------------------------------------------------------------------------
// Portable AES-128. The state is four column words, row r of a column in
// bits 8r..8r+7 (the bytes of the block loaded little-endian, four at a time).

constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b) {
  std::uint8_t p = 0;
  for (int i = 0; i < 8; ++i) {
    if (b & 1) p ^= a;
    const bool high = (a & 0x80) != 0;
    a = std::uint8_t(a << 1);
    if (high) a ^= 0x1b;
    b >>= 1;
  }
  return p;
}

// The S-box from its definition: the multiplicative inverse in GF(2^8)
// followed by the affine transform.
constexpr std::array<std::uint8_t, 256> MakeSbox() {
  std::array<std::uint8_t, 256> s{};
  for (int x = 0; x < 256; ++x) {
    std::uint8_t inv = 0;
    if (x != 0) {
      // x^254 = x^-1
      std::uint8_t result = 1, base = std::uint8_t(x);
      for (int e = 254; e != 0; e >>= 1) {
        if (e & 1) result = GfMul(result, base);
        base = GfMul(base, base);
      }
      inv = result;
    }
    auto rotl8 = [](std::uint8_t v, int n) { return std::uint8_t((v << n) | (v >> (8 - n))); };
    s[x] = std::uint8_t(inv ^ rotl8(inv, 1) ^ rotl8(inv, 2) ^ rotl8(inv, 3) ^ rotl8(inv, 4) ^ 0x63);
  }
  return s;
}

constexpr std::array<std::uint8_t, 256> kSbox = MakeSbox();
constexpr std::uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1b, 0x36};

inline std::uint32_t SubWord(std::uint32_t w) {
  return std::uint32_t(kSbox[w & 0xff]) | (std::uint32_t(kSbox[(w >> 8) & 0xff]) << 8) |
         (std::uint32_t(kSbox[(w >> 16) & 0xff]) << 16) | (std::uint32_t(kSbox[w >> 24]) << 24);
}

void ExpandKeyPortable(const std::uint8_t key[16], std::uint32_t rk[44]) {
  for (int i = 0; i < 4; ++i) rk[i] = LoadLE32(key + 4 * i);
  for (int i = 4; i < 44; ++i) {
    std::uint32_t t = rk[i - 1];
    if (i % 4 == 0) t = SubWord(Ror32(t, 8)) ^ kRcon[i / 4 - 1];
    rk[i] = rk[i - 4] ^ t;
  }
}

// Doubles each byte of w in GF(2^8).
inline std::uint32_t Xtime4(std::uint32_t w) {
  return ((w & 0x7f7f7f7fu) << 1) ^ (((w >> 7) & 0x01010101u) * 0x1b);
}

inline std::uint32_t MixColumn(std::uint32_t w) {
  const std::uint32_t r8 = Ror32(w, 8);
  return Xtime4(w ^ r8) ^ r8 ^ Ror32(w, 16) ^ Ror32(w, 24);
}

// Leaves no copy of the state behind except in registers and the caller's
// stack, which the callers wipe.
inline void EncryptPortable(const std::uint32_t rk[44], const std::uint8_t in[16], std::uint8_t out[16]) {
  std::uint32_t s0 = LoadLE32(in) ^ rk[0], s1 = LoadLE32(in + 4) ^ rk[1];
  std::uint32_t s2 = LoadLE32(in + 8) ^ rk[2], s3 = LoadLE32(in + 12) ^ rk[3];
  // SubBytes and ShiftRows: row r of column c comes from column c + r.
  auto column = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return std::uint32_t(kSbox[a & 0xff]) | (std::uint32_t(kSbox[(b >> 8) & 0xff]) << 8) |
           (std::uint32_t(kSbox[(c >> 16) & 0xff]) << 16) | (std::uint32_t(kSbox[d >> 24]) << 24);
  };
  for (int round = 1; round <= 10; ++round) {
    std::uint32_t t0 = column(s0, s1, s2, s3), t1 = column(s1, s2, s3, s0);
    std::uint32_t t2 = column(s2, s3, s0, s1), t3 = column(s3, s0, s1, s2);
    if (round < 10) {
      t0 = MixColumn(t0);
      t1 = MixColumn(t1);
      t2 = MixColumn(t2);
      t3 = MixColumn(t3);
    }
    const std::uint32_t* k = rk + 4 * round;
    s0 = t0 ^ k[0];
    s1 = t1 ^ k[1];
    s2 = t2 ^ k[2];
    s3 = t3 ^ k[3];
  }
  StoreLE32(out, s0);
  StoreLE32(out + 4, s1);
  StoreLE32(out + 8, s2);
  StoreLE32(out + 12, s3);
}

[[gnu::noinline]] void CtrPortable(const std::uint8_t* in, std::uint8_t* out, std::uint64_t len,
                                   const std::uint8_t key[16], const std::uint8_t iv[16], std::uint64_t offset) {
  std::uint32_t rk[44];
  ExpandKeyPortable(key, rk);
  std::uint8_t block[16];
  std::memcpy(block, iv, 12);
  std::uint32_t counter = LoadBE32(iv + 12) + std::uint32_t(offset / 16);
  auto one = [&](std::uint8_t ks[16]) {
    StoreBE32(block + 12, counter++);
    EncryptPortable(rk, block, ks);
  };
  auto many = [&](const std::uint8_t* src, std::uint8_t* dst, std::size_t blocks) {
    std::uint8_t ks[16];
    for (std::size_t b = 0; b < blocks; ++b, src += 16, dst += 16) {
      one(ks);
      CtrCore::XorBytes(src, dst, ks, 16);
    }
    Platform::SecureZero(ks, sizeof ks);
  };
  CtrCore::Walk<16>(in, out, len, offset, one, many);
  Platform::SecureZero(rk, sizeof rk);
  Platform::SecureZero(block, sizeof block);
}

// ---------------------------------------------------------------------------
// AES-NI: the key schedule with aeskeygenassist, eight counter blocks per
// pass through the rounds.

#if VL_AES_X86
#define VL_TARGET_AESNI __attribute__((target("aes,sse4.1")))

VL_TARGET_AESNI inline __m128i ExpandStep(__m128i key, __m128i assist) {
  assist = _mm_shuffle_epi32(assist, 0xff);
  key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
  key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
  key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
  return _mm_xor_si128(key, assist);
}

VL_TARGET_AESNI void ExpandKeyNi(const std::uint8_t key[16], __m128i rk[11]) {
  rk[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
  rk[1] = ExpandStep(rk[0], _mm_aeskeygenassist_si128(rk[0], 0x01));
  rk[2] = ExpandStep(rk[1], _mm_aeskeygenassist_si128(rk[1], 0x02));
  rk[3] = ExpandStep(rk[2], _mm_aeskeygenassist_si128(rk[2], 0x04));
  rk[4] = ExpandStep(rk[3], _mm_aeskeygenassist_si128(rk[3], 0x08));
  rk[5] = ExpandStep(rk[4], _mm_aeskeygenassist_si128(rk[4], 0x10));
  rk[6] = ExpandStep(rk[5], _mm_aeskeygenassist_si128(rk[5], 0x20));
  rk[7] = ExpandStep(rk[6], _mm_aeskeygenassist_si128(rk[6], 0x40));
  rk[8] = ExpandStep(rk[7], _mm_aeskeygenassist_si128(rk[7], 0x80));
  rk[9] = ExpandStep(rk[8], _mm_aeskeygenassist_si128(rk[8], 0x1b));
  rk[10] = ExpandStep(rk[9], _mm_aeskeygenassist_si128(rk[9], 0x36));
}

VL_TARGET_AESNI inline __m128i EncryptNi(const __m128i rk[11], __m128i b) {
  b = _mm_xor_si128(b, rk[0]);
  for (int r = 1; r < 10; ++r) b = _mm_aesenc_si128(b, rk[r]);
  return _mm_aesenclast_si128(b, rk[10]);
}

// The counter block for a 32-bit counter value: IV bytes 0-11, then the
// counter big-endian in bytes 12-15.
VL_TARGET_AESNI inline __m128i CounterBlock(__m128i ivPrefix, std::uint32_t counter) {
  return _mm_insert_epi32(ivPrefix, int(__builtin_bswap32(counter)), 3);
}

[[gnu::noinline]] VL_TARGET_AESNI void CtrNi(const std::uint8_t* in, std::uint8_t* out, std::uint64_t len,
                                             const std::uint8_t key[16], const std::uint8_t iv[16],
                                             std::uint64_t offset) {
  __m128i rk[11];
  ExpandKeyNi(key, rk);
  const __m128i ivPrefix = _mm_loadu_si128(reinterpret_cast<const __m128i*>(iv));
  std::uint32_t counter = LoadBE32(iv + 12) + std::uint32_t(offset / 16);

  auto one = [&](std::uint8_t ks[16]) VL_TARGET_AESNI {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(ks), EncryptNi(rk, CounterBlock(ivPrefix, counter++)));
  };
  auto many = [&](const std::uint8_t* src, std::uint8_t* dst, std::size_t blocks) VL_TARGET_AESNI {
    for (; blocks >= 8; blocks -= 8, src += 128, dst += 128) {
      __m128i b[8];
      VL_UNROLL
      for (int j = 0; j < 8; ++j) b[j] = _mm_xor_si128(CounterBlock(ivPrefix, counter + std::uint32_t(j)), rk[0]);
      counter += 8;
      VL_UNROLL
      for (int r = 1; r < 10; ++r) {
        const __m128i k = rk[r];
        VL_UNROLL
        for (int j = 0; j < 8; ++j) b[j] = _mm_aesenc_si128(b[j], k);
      }
      VL_UNROLL
      for (int j = 0; j < 8; ++j) {
        b[j] = _mm_aesenclast_si128(b[j], rk[10]);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16 * j));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16 * j), _mm_xor_si128(d, b[j]));
      }
    }
    for (; blocks != 0; --blocks, src += 16, dst += 16) {
      const __m128i k = EncryptNi(rk, CounterBlock(ivPrefix, counter++));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_xor_si128(d, k));
    }
  };
  CtrCore::Walk<16>(in, out, len, offset, one, many);
  Platform::SecureZero(rk, sizeof rk);
}
#endif

}  // namespace

void Aes128EncryptBlock(const std::uint8_t key[16], const std::uint8_t in[16], std::uint8_t out[16]) {
  std::uint32_t rk[44];
  ExpandKeyPortable(key, rk);
  EncryptPortable(rk, in, out);
  Platform::SecureZero(rk, sizeof rk);
  CtrCore::BurnStack<>();
}

void Aes128CtrXor(const std::uint8_t* in, std::uint8_t* out, std::int64_t length, const std::uint8_t key[16],
                  const std::uint8_t iv[16], std::int64_t offset) {
  if (in == nullptr || out == nullptr || length <= 0) return;
  // The offset is a byte position; it is taken modulo 2^64.
  const std::uint64_t position = std::uint64_t(offset);
#if VL_AES_X86
  if (CpuFeatures::HasAESNI() && CpuFeatures::HasSSE41()) {
    CtrNi(in, out, std::uint64_t(length), key, iv, position);
    CtrCore::BurnStack<>();
    return;
  }
#endif
  CtrPortable(in, out, std::uint64_t(length), key, iv, position);
  CtrCore::BurnStack<>();
}

void Aes128CtrXor(std::uint8_t* buffer, std::int64_t length, const std::uint8_t key[16], const std::uint8_t iv[16],
                  std::int64_t offset) {
  Aes128CtrXor(buffer, buffer, length, key, iv, offset);
}

void Aes128CtrXor(std::uint8_t* buffer, std::int64_t length, const std::uint8_t key[16], const std::uint8_t iv[16]) {
  Aes128CtrXor(buffer, buffer, length, key, iv, 0);
}
