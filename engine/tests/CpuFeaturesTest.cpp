#include "engine/CpuFeatures.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct TQuery {
  const char* name;
  bool (*has)();
  bool CpuFeatures::TFeatures::*detected;
};

const TQuery kQueries[] = {
    {"SSE2", CpuFeatures::HasSSE2, &CpuFeatures::TFeatures::SSE2},
    {"SSSE3", CpuFeatures::HasSSSE3, &CpuFeatures::TFeatures::SSSE3},
    {"SSE4.1", CpuFeatures::HasSSE41, &CpuFeatures::TFeatures::SSE41},
    {"AVX2", CpuFeatures::HasAVX2, &CpuFeatures::TFeatures::AVX2},
    {"AVX-512F", CpuFeatures::HasAVX512F, &CpuFeatures::TFeatures::AVX512F},
    {"AES-NI", CpuFeatures::HasAESNI, &CpuFeatures::TFeatures::AESNI},
    {"SHA", CpuFeatures::HasSHA, &CpuFeatures::TFeatures::SHA},
};

TEST(CpuFeatures, ForcingPortableHidesEveryExtensionAndScopeRestores) {
  ASSERT_FALSE(CpuFeatures::PortableForced());
  {
    CpuFeatures::TPortableScope portable;
    for (const TQuery& q : kQueries) EXPECT_FALSE(q.has()) << q.name;
    {
      CpuFeatures::TPortableScope fast(false);
      for (const TQuery& q : kQueries) EXPECT_EQ(q.has(), CpuFeatures::Detected().*q.detected) << q.name;
    }
    EXPECT_TRUE(CpuFeatures::PortableForced());
  }
  EXPECT_FALSE(CpuFeatures::PortableForced());
  for (const TQuery& q : kQueries) EXPECT_EQ(q.has(), CpuFeatures::Detected().*q.detected) << q.name;
}

// What cpuid and XCR0 report, and what each fast path may use. A kernel that
// runs on an extension the OS does not save, or without an instruction set
// it also uses, dies of an illegal instruction or corrupts registers.
TEST(CpuFeatures, FeaturesFromTheProcessorsAnswers) {
  constexpr unsigned kSse2 = 1u << 26;                                   // leaf 1 edx
  constexpr unsigned kSsse3 = 1u << 9, kSse41 = 1u << 19, kAes = 1u << 25;  // leaf 1 ecx
  constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28;
  constexpr unsigned kAvx2 = 1u << 5, kAvx512f = 1u << 16, kSha = 1u << 29;  // leaf 7 ebx
  constexpr std::uint64_t kYmm = 0x06, kZmm = 0xE6;
  const unsigned allEcx = kSsse3 | kSse41 | kAes | kOsxsave | kAvx;
  struct {
    const char* name;
    CpuFeatures::TCpuidWords words;
    bool sse2, ssse3, sse41, avx2, avx512f, aesni, sha;
  } const cases[] = {
      {"everything", {7, allEcx, kSse2, kAvx2 | kAvx512f | kSha, kZmm}, true, true, true, true, true, true, true},
      {"no cpuid leaf 1", {0, allEcx, kSse2, kAvx2 | kAvx512f | kSha, kZmm}, false, false, false, false, false,
       false, false},
      {"no leaf 7", {1, allEcx, kSse2, kAvx2 | kAvx512f | kSha, kZmm}, true, true, true, false, false, true, false},
      {"OS saves YMM only", {7, allEcx, kSse2, kAvx2 | kAvx512f, kYmm}, true, true, true, true, false, true, false},
      {"OS saves no YMM", {7, allEcx, kSse2, kAvx2 | kAvx512f, 0x02}, true, true, true, false, false, true, false},
      {"no OSXSAVE", {7, allEcx & ~kOsxsave, kSse2, kAvx2 | kAvx512f, kZmm}, true, true, true, false, false, true,
       false},
      {"no AVX", {7, allEcx & ~kAvx, kSse2, kAvx2 | kAvx512f, kZmm}, true, true, true, false, false, true, false},
      // The SHA-256 kernels shuffle and blend with SSSE3 and SSE4.1 too.
      {"SHA without SSE4.1", {7, allEcx & ~kSse41, kSse2, kSha, kZmm}, true, true, false, false, false, true, false},
      {"SHA without SSSE3", {7, allEcx & ~kSsse3, kSse2, kSha, kZmm}, true, false, true, false, false, true, false},
      {"SHA with SSSE3 and SSE4.1", {7, kSsse3 | kSse41, kSse2, kSha, 0}, true, true, true, false, false, false,
       true},
  };
  for (const auto& c : cases) {
    const CpuFeatures::TFeatures f = CpuFeatures::FeaturesFrom(c.words);
    EXPECT_EQ(f.SSE2, c.sse2) << c.name;
    EXPECT_EQ(f.SSSE3, c.ssse3) << c.name;
    EXPECT_EQ(f.SSE41, c.sse41) << c.name;
    EXPECT_EQ(f.AVX2, c.avx2) << c.name;
    EXPECT_EQ(f.AVX512F, c.avx512f) << c.name;
    EXPECT_EQ(f.AESNI, c.aesni) << c.name;
    EXPECT_EQ(f.SHA, c.sha) << c.name;
  }
}

#if defined(__x86_64__)
// Every x86-64 processor has SSE2; a probe that misses it is reading cpuid wrongly.
TEST(CpuFeatures, X86_64AlwaysHasSSE2) { EXPECT_TRUE(CpuFeatures::Detected().SSE2); }
#endif

}  // namespace
