// SHA-256 block function and PBKDF2 chain loop on the x86 SHA extensions
// (sha256rnds2, sha256msg1, sha256msg2). The state lives in two registers
// in the order the instructions want (A,B,E,F and C,D,G,H); the code is only
// reached when cpuid reports the extensions.
#include <utility>

#include "engine/Sha256Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define VL_SHA_TARGET __attribute__((target("sha,sse4.1")))
#define VL_SHA_INLINE __attribute__((target("sha,sse4.1"), always_inline)) inline
// The per-lane loops must unroll so the lane arrays stay in registers.
#define VL_LANES _Pragma("GCC unroll 4") for

namespace Sha256Kernels {
namespace {

VL_SHA_INLINE __m128i LoadWords(const std::uint32_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
VL_SHA_INLINE void StoreWords(std::uint32_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Eight chaining words in digest order -> the ABEF / CDGH register pair.
VL_SHA_INLINE void ToRegisterOrder(__m128i abcd, __m128i efgh, __m128i& abef, __m128i& cdgh) {
  const __m128i badc = _mm_shuffle_epi32(abcd, 0xB1);
  const __m128i hgfe = _mm_shuffle_epi32(efgh, 0x1B);
  abef = _mm_alignr_epi8(badc, hgfe, 8);
  cdgh = _mm_blend_epi16(hgfe, badc, 0xF0);
}

// The ABEF / CDGH register pair -> words A..D and E..H in digest order.
VL_SHA_INLINE void ToDigestOrder(__m128i abef, __m128i cdgh, __m128i& abcd, __m128i& efgh) {
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  abcd = _mm_blend_epi16(feba, dchg, 0xF0);
  efgh = _mm_alignr_epi8(dchg, feba, 8);
}

// Rounds 4*I .. 4*I+3 of N independent blocks, interleaved so that their
// dependency chains overlap in the processor. m[n][I & 3] holds message
// words 4*I.. of block n; the schedule is extended four words at a time.
// `first` and `second`, when given, replace the message operands of the two
// round pairs of group 0 (words 0,1 and 2,3 plus their round constants in
// lanes 0 and 1), which the caller forms early from the raw state.
template <int I, int N>
VL_SHA_INLINE void Group(__m128i (&s0)[N], __m128i (&s1)[N], __m128i (&m)[N][4], const __m128i* first,
                         const __m128i* second = nullptr) {
  const __m128i k = LoadWords(RoundConstants + 4 * I);
  __m128i msg[N];
  VL_LANES (int n = 0; n < N; ++n) {
    msg[n] = _mm_add_epi32(m[n][I & 3], k);
    s1[n] = _mm_sha256rnds2_epu32(s1[n], s0[n], (I == 0 && first) ? first[n] : msg[n]);
  }
  if constexpr (I >= 3 && I <= 14) {
    VL_LANES (int n = 0; n < N; ++n) {
      const __m128i tmp = _mm_alignr_epi8(m[n][I & 3], m[n][(I + 3) & 3], 4);
      m[n][(I + 1) & 3] = _mm_add_epi32(m[n][(I + 1) & 3], tmp);
      m[n][(I + 1) & 3] = _mm_sha256msg2_epu32(m[n][(I + 1) & 3], m[n][I & 3]);
    }
  }
  VL_LANES (int n = 0; n < N; ++n) {
    msg[n] = _mm_shuffle_epi32(msg[n], 0x0E);
    s0[n] = _mm_sha256rnds2_epu32(s0[n], s1[n], (I == 0 && second) ? second[n] : msg[n]);
  }
  if constexpr (I >= 1 && I <= 12) {
    VL_LANES (int n = 0; n < N; ++n) m[n][(I + 3) & 3] = _mm_sha256msg1_epu32(m[n][(I + 3) & 3], m[n][I & 3]);
  }
}

template <int N, int... I>
VL_SHA_INLINE void AllGroups(__m128i (&s0)[N], __m128i (&s1)[N], __m128i (&m)[N][4], const __m128i* first,
                             std::integer_sequence<int, I...>, const __m128i* second = nullptr) {
  (Group<I, N>(s0, s1, m, first, second), ...);
}

// One block per lane: s0/s1 (ABEF/CDGH) absorb the 16 words in m.
template <int N>
VL_SHA_INLINE void CompressBlocks(__m128i (&s0)[N], __m128i (&s1)[N], __m128i (&m)[N][4]) {
  __m128i save0[N], save1[N];
  VL_LANES (int n = 0; n < N; ++n) {
    save0[n] = s0[n];
    save1[n] = s1[n];
  }
  AllGroups<N>(s0, s1, m, nullptr, std::make_integer_sequence<int, 16>{});
  VL_LANES (int n = 0; n < N; ++n) {
    s0[n] = _mm_add_epi32(s0[n], save0[n]);
    s1[n] = _mm_add_epi32(s1[n], save1[n]);
  }
}

// N chains of PBKDF2 side by side; see Pbkdf2ChainsShaNi. Each chain is a
// strict sequence of block computations, so what counts is the delay from
// the last round of one block to the first round of the next: the first
// round's message (words A and B of the previous digest plus the
// feed-forward and the round constants) is formed from the raw state with
// one shuffle and one add, and so is the second (words C and D, from the
// C,D,G,H register that is ready one round pair earlier); everything else
// is computed beside them.
template <int N>
VL_SHA_INLINE void Chains(const std::uint32_t inner[8], const std::uint32_t outer[8],
                          std::uint32_t (*u)[8], std::uint32_t (*t)[8], std::uint32_t rounds) {
  __m128i innerAbef, innerCdgh, outerAbef, outerCdgh;
  ToRegisterOrder(LoadWords(inner), LoadWords(inner + 4), innerAbef, innerCdgh);
  ToRegisterOrder(LoadWords(outer), LoadWords(outer + 4), outerAbef, outerCdgh);
  const __m128i k0 = LoadWords(RoundConstants);
  // Shuffled feed-forward plus round constants: lanes 0 and 1 of
  // shuffle(raw ABEF, 0x1B) + this are A + K0 and B + K1 of the digest;
  // likewise C + K2 and D + K3 from the raw C,D,G,H register.
  const __m128i firstAfterInner = _mm_add_epi32(_mm_shuffle_epi32(innerAbef, 0x1B), k0);
  const __m128i firstAfterOuter = _mm_add_epi32(_mm_shuffle_epi32(outerAbef, 0x1B), k0);
  const __m128i k2 = _mm_shuffle_epi32(k0, 0x0E);
  const __m128i secondAfterInner = _mm_add_epi32(_mm_shuffle_epi32(innerCdgh, 0x1B), k2);
  const __m128i secondAfterOuter = _mm_add_epi32(_mm_shuffle_epi32(outerCdgh, 0x1B), k2);
  // Words 8..15 of the only block after the key block: 0x80 marker, zeros,
  // and the message length of 64 + 32 bytes in bits.
  const __m128i pad0 = _mm_set_epi32(0, 0, 0, static_cast<int>(0x80000000u));
  const __m128i pad1 = _mm_set_epi32((64 + 32) * 8, 0, 0, 0);

  __m128i ulo[N], uhi[N], tlo[N], thi[N], first[N], second[N];
  VL_LANES (int n = 0; n < N; ++n) {
    ulo[n] = LoadWords(u[n]);
    uhi[n] = LoadWords(u[n] + 4);
    tlo[n] = LoadWords(t[n]);
    thi[n] = LoadWords(t[n] + 4);
    first[n] = _mm_add_epi32(ulo[n], k0);
    second[n] = _mm_shuffle_epi32(first[n], 0x0E);
  }
  for (std::uint32_t r = 0; r < rounds; ++r) {
    __m128i s0[N], s1[N], m[N][4];
    // Inner hash: key XOR 0x36 block (its state is innerAbef/Cdgh), then U.
    VL_LANES (int n = 0; n < N; ++n) {
      s0[n] = innerAbef;
      s1[n] = innerCdgh;
      m[n][0] = ulo[n];
      m[n][1] = uhi[n];
      m[n][2] = pad0;
      m[n][3] = pad1;
    }
    AllGroups<N>(s0, s1, m, first, std::make_integer_sequence<int, 16>{}, second);
    // Outer hash over the inner digest.
    VL_LANES (int n = 0; n < N; ++n) {
      first[n] = _mm_add_epi32(_mm_shuffle_epi32(s0[n], 0x1B), firstAfterInner);
      second[n] = _mm_add_epi32(_mm_shuffle_epi32(s1[n], 0x1B), secondAfterInner);
      ToDigestOrder(_mm_add_epi32(s0[n], innerAbef), _mm_add_epi32(s1[n], innerCdgh), m[n][0], m[n][1]);
      m[n][2] = pad0;
      m[n][3] = pad1;
      s0[n] = outerAbef;
      s1[n] = outerCdgh;
    }
    AllGroups<N>(s0, s1, m, first, std::make_integer_sequence<int, 16>{}, second);
    VL_LANES (int n = 0; n < N; ++n) {
      first[n] = _mm_add_epi32(_mm_shuffle_epi32(s0[n], 0x1B), firstAfterOuter);
      second[n] = _mm_add_epi32(_mm_shuffle_epi32(s1[n], 0x1B), secondAfterOuter);
      ToDigestOrder(_mm_add_epi32(s0[n], outerAbef), _mm_add_epi32(s1[n], outerCdgh), ulo[n], uhi[n]);
      tlo[n] = _mm_xor_si128(tlo[n], ulo[n]);
      thi[n] = _mm_xor_si128(thi[n], uhi[n]);
    }
  }
  VL_LANES (int n = 0; n < N; ++n) {
    StoreWords(u[n], ulo[n]);
    StoreWords(u[n] + 4, uhi[n]);
    StoreWords(t[n], tlo[n]);
    StoreWords(t[n] + 4, thi[n]);
  }
}

}  // namespace

VL_SHA_TARGET void CompressShaNi(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count) {
  // Loads the big-endian message words into native order.
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  __m128i s0[1], s1[1];
  ToRegisterOrder(LoadWords(state), LoadWords(state + 4), s0[0], s1[0]);
  for (; count > 0; --count, blocks += 64) {
    __m128i m[1][4];
    for (int i = 0; i < 4; ++i)
      m[0][i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
    CompressBlocks<1>(s0, s1, m);
  }
  __m128i abcd, efgh;
  ToDigestOrder(s0[0], s1[0], abcd, efgh);
  StoreWords(state, abcd);
  StoreWords(state + 4, efgh);
}

VL_SHA_TARGET void Pbkdf2ChainsShaNi(const std::uint32_t inner[8], const std::uint32_t outer[8],
                                     std::uint32_t (*u)[8], std::uint32_t (*t)[8], std::size_t chains,
                                     std::uint32_t rounds) {
  while (chains >= 2) {
    Chains<2>(inner, outer, u, t, rounds);
    u += 2;
    t += 2;
    chains -= 2;
  }
  if (chains == 1) Chains<1>(inner, outer, u, t, rounds);
}

}  // namespace Sha256Kernels

#else  // not x86: the dispatcher never picks these.

namespace Sha256Kernels {
void CompressShaNi(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count) {
  CompressPortable(state, blocks, count);
}
void Pbkdf2ChainsShaNi(const std::uint32_t inner[8], const std::uint32_t outer[8], std::uint32_t (*u)[8],
                       std::uint32_t (*t)[8], std::size_t chains, std::uint32_t rounds) {
  Pbkdf2ChainsPortable(inner, outer, u, t, chains, rounds);
}
}  // namespace Sha256Kernels

#endif
