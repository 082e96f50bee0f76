#include "engine/Twofish.h"

#include <array>
#include <cstring>

#include "base/Platform.h"
#include "engine/CpuFeatures.h"
#include "engine/CtrCore.h"

namespace {

using CtrCore::LoadLE32;
using CtrCore::Rol32;
using CtrCore::Ror32;
using CtrCore::StoreLE32;

// ---------------------------------------------------------------------------
// The fixed permutations q0 and q1, built from their 4-bit tables.

constexpr std::uint8_t kQTables[2][4][16] = {
    {{0x8, 0x1, 0x7, 0xD, 0x6, 0xF, 0x3, 0x2, 0x0, 0xB, 0x5, 0x9, 0xE, 0xC, 0xA, 0x4},
     {0xE, 0xC, 0xB, 0x8, 0x1, 0x2, 0x3, 0x5, 0xF, 0x4, 0xA, 0x6, 0x7, 0x0, 0x9, 0xD},
     {0xB, 0xA, 0x5, 0xE, 0x6, 0xD, 0x9, 0x0, 0xC, 0x8, 0xF, 0x3, 0x2, 0x4, 0x7, 0x1},
     {0xD, 0x7, 0xF, 0x4, 0x1, 0x2, 0x6, 0xE, 0x9, 0xB, 0x3, 0x0, 0x8, 0x5, 0xC, 0xA}},
    {{0x2, 0x8, 0xB, 0xD, 0xF, 0x7, 0x6, 0xE, 0x3, 0x1, 0x9, 0x4, 0x0, 0xA, 0xC, 0x5},
     {0x1, 0xE, 0x2, 0xB, 0x4, 0xC, 0x3, 0x7, 0x6, 0xD, 0xA, 0x5, 0xF, 0x9, 0x0, 0x8},
     {0x4, 0xC, 0x7, 0x5, 0x1, 0x6, 0x9, 0xA, 0x0, 0xE, 0xD, 0x8, 0x2, 0xB, 0x3, 0xF},
     {0xB, 0x9, 0x5, 0x1, 0xC, 0x3, 0xD, 0xE, 0x6, 0x4, 0x7, 0xF, 0x2, 0x0, 0x8, 0xA}}};

constexpr std::array<std::uint8_t, 256> MakeQ(int which) {
  std::array<std::uint8_t, 256> q{};
  const auto& t = kQTables[which];
  auto ror4 = [](unsigned v) { return ((v >> 1) | (v << 3)) & 0xF; };
  for (unsigned x = 0; x < 256; ++x) {
    const unsigned a0 = x >> 4, b0 = x & 0xF;
    const unsigned a1 = a0 ^ b0, b1 = (a0 ^ ror4(b0) ^ (8 * a0)) & 0xF;
    const unsigned a2 = t[0][a1], b2 = t[1][b1];
    const unsigned a3 = a2 ^ b2, b3 = (a2 ^ ror4(b2) ^ (8 * a2)) & 0xF;
    const unsigned a4 = t[2][a3], b4 = t[3][b3];
    q[x] = std::uint8_t(16 * b4 + a4);
  }
  return q;
}

constexpr std::array<std::uint8_t, 256> kQ0 = MakeQ(0);
constexpr std::array<std::uint8_t, 256> kQ1 = MakeQ(1);

// Multiplication in GF(2^8) modulo the given polynomial (with its x^8 bit),
// without branches on the operands: the key schedule multiplies key bytes.
constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b, unsigned poly) {
  unsigned x = a, p = 0;
  for (int bit = 0; bit < 8; ++bit) {
    p ^= x & (0u - ((unsigned(b) >> bit) & 1));
    x <<= 1;
    x ^= poly & (0u - (x >> 8));
  }
  return std::uint8_t(p);
}

constexpr unsigned kMdsPoly = 0x169;  // x^8 + x^6 + x^5 + x^3 + 1
constexpr unsigned kRsPoly = 0x14D;   // x^8 + x^6 + x^3 + x^2 + 1

constexpr std::uint8_t kMds[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B}, {0x5B, 0xEF, 0xEF, 0x01}, {0xEF, 0x5B, 0x01, 0xEF}, {0xEF, 0x01, 0xEF, 0x5B}};

constexpr std::uint8_t kRs[4][8] = {{0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
                                    {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
                                    {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
                                    {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03}};

// Column j of the MDS matrix times y, as a little-endian word, for every y.
constexpr std::array<std::array<std::uint32_t, 256>, 4> MakeMdsTable() {
  std::array<std::array<std::uint32_t, 256>, 4> t{};
  for (int j = 0; j < 4; ++j)
    for (unsigned y = 0; y < 256; ++y)
      for (int i = 0; i < 4; ++i) t[j][y] |= std::uint32_t(GfMul(kMds[i][j], std::uint8_t(y), kMdsPoly)) << (8 * i);
  return t;
}
constexpr std::array<std::array<std::uint32_t, 256>, 4> kMdsTable = MakeMdsTable();

inline std::uint32_t MdsColumn(int j, std::uint8_t y) { return kMdsTable[j][y]; }

inline std::uint8_t Byte(std::uint32_t w, int i) { return std::uint8_t(w >> (8 * i)); }

// The byte permutations of the function h for each of the four byte
// positions, keyed by the list L (k words, L[0] applied last).
void HBytes(std::uint8_t y[4], const std::uint32_t* l, int k) {
  if (k == 4) {
    y[0] = kQ1[y[0]] ^ Byte(l[3], 0);
    y[1] = kQ0[y[1]] ^ Byte(l[3], 1);
    y[2] = kQ0[y[2]] ^ Byte(l[3], 2);
    y[3] = kQ1[y[3]] ^ Byte(l[3], 3);
  }
  if (k >= 3) {
    y[0] = kQ1[y[0]] ^ Byte(l[2], 0);
    y[1] = kQ1[y[1]] ^ Byte(l[2], 1);
    y[2] = kQ0[y[2]] ^ Byte(l[2], 2);
    y[3] = kQ0[y[3]] ^ Byte(l[2], 3);
  }
  y[0] = kQ1[kQ0[kQ0[y[0]] ^ Byte(l[1], 0)] ^ Byte(l[0], 0)];
  y[1] = kQ0[kQ0[kQ1[y[1]] ^ Byte(l[1], 1)] ^ Byte(l[0], 1)];
  y[2] = kQ1[kQ1[kQ0[y[2]] ^ Byte(l[1], 2)] ^ Byte(l[0], 2)];
  y[3] = kQ0[kQ1[kQ1[y[3]] ^ Byte(l[1], 3)] ^ Byte(l[0], 3)];
}

std::uint32_t H(std::uint32_t x, const std::uint32_t* l, int k) {
  std::uint8_t y[4] = {Byte(x, 0), Byte(x, 1), Byte(x, 2), Byte(x, 3)};
  HBytes(y, l, k);
  return MdsColumn(0, y[0]) ^ MdsColumn(1, y[1]) ^ MdsColumn(2, y[2]) ^ MdsColumn(3, y[3]);
}

// ---------------------------------------------------------------------------
// Encryption with the full-key tables. g(x) looks up the four bytes of x;
// g(rol(x, 8)) the same bytes one table further on.

// The four tables are reached through one base pointer, so that the
// interleaved blocks keep their state in registers.
using TSBoxes = const std::uint32_t (*)[256];

inline std::uint32_t G0(TSBoxes s, std::uint32_t x) {
  return s[0][x & 0xff] ^ s[1][(x >> 8) & 0xff] ^ s[2][(x >> 16) & 0xff] ^ s[3][x >> 24];
}
inline std::uint32_t G1(TSBoxes s, std::uint32_t x) {
  return s[0][x >> 24] ^ s[1][x & 0xff] ^ s[2][(x >> 8) & 0xff] ^ s[3][(x >> 16) & 0xff];
}

// Encrypts N blocks given as little-endian words, interleaved so that the
// table lookups of the blocks overlap.
template <int N>
inline void EncryptWords(const TTwofishContext& ctx, std::uint32_t w[N][4]) {
  const std::uint32_t* k = ctx.SubKeys;
  const TSBoxes t = ctx.SBox;
  std::uint32_t a[N], b[N], c[N], d[N];
  VL_UNROLL
  for (int n = 0; n < N; ++n) {
    a[n] = w[n][0] ^ k[0];
    b[n] = w[n][1] ^ k[1];
    c[n] = w[n][2] ^ k[2];
    d[n] = w[n][3] ^ k[3];
  }
  VL_UNROLL
  for (int r = 0; r < 16; r += 2) {
    const std::uint32_t* rk = k + 8 + 2 * r;
    VL_UNROLL
    for (int n = 0; n < N; ++n) {
      const std::uint32_t t0 = G0(t, a[n]);
      const std::uint32_t t1 = G1(t, b[n]);
      c[n] = Ror32(c[n] ^ (t0 + t1 + rk[0]), 1);
      d[n] = Rol32(d[n], 1) ^ (t0 + 2 * t1 + rk[1]);
    }
    VL_UNROLL
    for (int n = 0; n < N; ++n) {
      const std::uint32_t t0 = G0(t, c[n]);
      const std::uint32_t t1 = G1(t, d[n]);
      a[n] = Ror32(a[n] ^ (t0 + t1 + rk[2]), 1);
      b[n] = Rol32(b[n], 1) ^ (t0 + 2 * t1 + rk[3]);
    }
  }
  VL_UNROLL
  for (int n = 0; n < N; ++n) {
    w[n][0] = c[n] ^ k[4];
    w[n][1] = d[n] ^ k[5];
    w[n][2] = a[n] ^ k[6];
    w[n][3] = b[n] ^ k[7];
  }
}

// The 128-bit big-endian counter as two halves.
struct TCounter {
  std::uint64_t hi;
  std::uint64_t lo;

  // Loads the counter block as the words the block function reads.
  void Words(std::uint32_t w[4]) const {
    w[0] = __builtin_bswap32(std::uint32_t(hi >> 32));
    w[1] = __builtin_bswap32(std::uint32_t(hi));
    w[2] = __builtin_bswap32(std::uint32_t(lo >> 32));
    w[3] = __builtin_bswap32(std::uint32_t(lo));
  }
  void Increment() {
    if (++lo == 0) ++hi;
  }
};

inline void XorWords(const std::uint8_t* in, std::uint8_t* out, const std::uint32_t w[4]) {
  VL_UNROLL
  for (int i = 0; i < 4; ++i) StoreLE32(out + 4 * i, LoadLE32(in + 4 * i) ^ w[i]);
}

// Five blocks in flight measured best on x86-64: fewer leave the table
// lookups waiting on each other, more spill the state out of registers.
constexpr int kBlocksInFlight = 5;

}  // namespace

TTwofishContext::TTwofishContext() { Clear(); }

TTwofishContext::~TTwofishContext() { Clear(); }

void TTwofishContext::Clear() {
  Platform::SecureZero(SubKeys, sizeof SubKeys);
  Platform::SecureZero(SBox, sizeof SBox);
}

bool TTwofishContext::SetKey(const std::uint8_t* key, int length) {
  if (key == nullptr || (length != 16 && length != 24 && length != 32)) {
    Clear();
    return false;
  }
  const int k = length / 8;
  std::uint32_t even[4], odd[4], sboxKey[4];
  for (int i = 0; i < k; ++i) {
    even[i] = LoadLE32(key + 8 * i);
    odd[i] = LoadLE32(key + 8 * i + 4);
    // The S-box key words, from the RS code of each 8 key bytes, listed in
    // reverse order.
    std::uint32_t s = 0;
    for (int row = 0; row < 4; ++row) {
      std::uint8_t v = 0;
      for (int col = 0; col < 8; ++col) v ^= GfMul(kRs[row][col], key[8 * i + col], kRsPoly);
      s |= std::uint32_t(v) << (8 * row);
    }
    sboxKey[k - 1 - i] = s;
  }
  constexpr std::uint32_t rho = 0x01010101;
  for (int i = 0; i < 20; ++i) {
    const std::uint32_t a = H(std::uint32_t(2 * i) * rho, even, k);
    const std::uint32_t b = Rol32(H(std::uint32_t(2 * i + 1) * rho, odd, k), 8);
    SubKeys[2 * i] = a + b;
    SubKeys[2 * i + 1] = Rol32(a + 2 * b, 9);
  }
  for (unsigned x = 0; x < 256; ++x) {
    std::uint8_t y[4] = {std::uint8_t(x), std::uint8_t(x), std::uint8_t(x), std::uint8_t(x)};
    HBytes(y, sboxKey, k);
    for (int j = 0; j < 4; ++j) SBox[j][x] = MdsColumn(j, y[j]);
    Platform::SecureZero(y, sizeof y);
  }
  Platform::SecureZero(even, sizeof even);
  Platform::SecureZero(odd, sizeof odd);
  Platform::SecureZero(sboxKey, sizeof sboxKey);
  CtrCore::BurnStack<>();
  return true;
}

void TTwofishContext::EncryptBlock(const std::uint8_t in[16], std::uint8_t out[16]) const {
  std::uint32_t w[1][4];
  for (int i = 0; i < 4; ++i) w[0][i] = LoadLE32(in + 4 * i);
  EncryptWords<1>(*this, w);
  for (int i = 0; i < 4; ++i) StoreLE32(out + 4 * i, w[0][i]);
  Platform::SecureZero(w, sizeof w);
}

// The keystream loop; never inlined, so that the caller can burn its stack.
[[gnu::noinline]] static void TwofishCtrWorker(const std::uint8_t* in, std::uint8_t* out, std::int64_t length,
                                               const TTwofishContext& context, const std::uint8_t iv[16],
                                               std::int64_t offset) {
  // The offset is a byte position; it is taken modulo 2^64.
  const std::uint64_t position = std::uint64_t(offset);
  TCounter counter{CtrCore::LoadBE64(iv), CtrCore::LoadBE64(iv + 8)};
  const std::uint64_t index = position / 16;
  counter.lo += index;
  if (counter.lo < index) ++counter.hi;

  const bool interleave = !CpuFeatures::PortableForced();
  std::uint32_t w[kBlocksInFlight][4];
  auto one = [&](std::uint8_t ks[16]) {
    counter.Words(w[0]);
    counter.Increment();
    EncryptWords<1>(context, w);
    for (int i = 0; i < 4; ++i) StoreLE32(ks + 4 * i, w[0][i]);
  };
  auto many = [&](const std::uint8_t* src, std::uint8_t* dst, std::size_t blocks) {
    if (interleave) {
      for (; blocks >= kBlocksInFlight; blocks -= kBlocksInFlight) {
        VL_UNROLL
        for (int n = 0; n < kBlocksInFlight; ++n) {
          counter.Words(w[n]);
          counter.Increment();
        }
        EncryptWords<kBlocksInFlight>(context, w);
        VL_UNROLL
        for (int n = 0; n < kBlocksInFlight; ++n, src += 16, dst += 16) XorWords(src, dst, w[n]);
      }
    }
    for (; blocks != 0; --blocks, src += 16, dst += 16) {
      counter.Words(w[0]);
      counter.Increment();
      EncryptWords<1>(context, w);
      XorWords(src, dst, w[0]);
    }
  };
  CtrCore::Walk<16>(in, out, std::uint64_t(length), position, one, many);
  Platform::SecureZero(w, sizeof w);
  Platform::SecureZero(&counter, sizeof counter);
}

void TwofishCtrXor(const std::uint8_t* in, std::uint8_t* out, std::int64_t length, const TTwofishContext& context,
                   const std::uint8_t iv[16], std::int64_t offset) {
  if (in == nullptr || out == nullptr || length <= 0) return;
  TwofishCtrWorker(in, out, length, context, iv, offset);
  CtrCore::BurnStack<>();
}

void TwofishCtrXor(std::uint8_t* buffer, std::int64_t length, const TTwofishContext& context,
                   const std::uint8_t iv[16], std::int64_t offset) {
  TwofishCtrXor(buffer, buffer, length, context, iv, offset);
}

void TwofishCtrXor(std::uint8_t* buffer, std::int64_t length, const TTwofishContext& context,
                   const std::uint8_t iv[16]) {
  TwofishCtrXor(buffer, buffer, length, context, iv, 0);
}
