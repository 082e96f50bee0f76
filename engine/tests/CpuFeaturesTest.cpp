#include "engine/CpuFeatures.h"

#include <gtest/gtest.h>

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

#if defined(__x86_64__)
// Every x86-64 processor has SSE2; a probe that misses it is reading cpuid wrongly.
TEST(CpuFeatures, X86_64AlwaysHasSSE2) { EXPECT_TRUE(CpuFeatures::Detected().SSE2); }
#endif

}  // namespace
