#include "engine/CpuFeatures.h"

#include <atomic>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define VL_X86 1
#else
#define VL_X86 0
#endif

namespace CpuFeatures {
namespace {

#if VL_X86
// xgetbv by opcode, so no -mxsave is needed; only called when the processor
// reports OSXSAVE.
std::uint64_t ReadXcr0() {
  std::uint32_t lo = 0, hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (std::uint64_t(hi) << 32) | lo;
}
#endif

TFeatures Probe() {
  TFeatures f;
#if VL_X86
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  const unsigned maxLeaf = __get_cpuid_max(0, nullptr);
  if (maxLeaf < 1) return f;
  __cpuid(1, eax, ebx, ecx, edx);
  f.SSE2 = (edx >> 26) & 1;
  f.SSSE3 = (ecx >> 9) & 1;
  f.SSE41 = (ecx >> 19) & 1;
  f.AESNI = (ecx >> 25) & 1;
  const bool osxsave = (ecx >> 27) & 1;
  const bool avx = (ecx >> 28) & 1;
  // The OS must save both the XMM (bit 1) and the YMM (bit 2) state.
  const bool ymmState = osxsave && avx && (ReadXcr0() & 6) == 6;
  if (maxLeaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    f.AVX2 = ymmState && ((ebx >> 5) & 1);
    f.SHA = (ebx >> 29) & 1;
  }
#endif
  return f;
}

std::atomic<bool> g_forcePortable{false};

}  // namespace

const TFeatures& Detected() {
  static const TFeatures features = Probe();
  return features;
}

void ForcePortable(bool on) { g_forcePortable.store(on, std::memory_order_relaxed); }
bool PortableForced() { return g_forcePortable.load(std::memory_order_relaxed); }

bool HasSSE2() { return !PortableForced() && Detected().SSE2; }
bool HasSSSE3() { return !PortableForced() && Detected().SSSE3; }
bool HasSSE41() { return !PortableForced() && Detected().SSE41; }
bool HasAVX2() { return !PortableForced() && Detected().AVX2; }
bool HasAESNI() { return !PortableForced() && Detected().AESNI; }
bool HasSHA() { return !PortableForced() && Detected().SHA; }

}  // namespace CpuFeatures
