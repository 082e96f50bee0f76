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

TCpuidWords Probe() {
  TCpuidWords w;
#if VL_X86
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  w.MaxLeaf = __get_cpuid_max(0, nullptr);
  if (w.MaxLeaf < 1) return w;
  __cpuid(1, eax, ebx, ecx, edx);
  w.Leaf1Ecx = ecx;
  w.Leaf1Edx = edx;
  if ((ecx >> 27) & 1) w.Xcr0 = ReadXcr0();  // OSXSAVE: xgetbv may run
  if (w.MaxLeaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    w.Leaf7Ebx = ebx;
  }
#endif
  return w;
}

std::atomic<bool> g_forcePortable{false};

}  // namespace

TFeatures FeaturesFrom(const TCpuidWords& w) {
  TFeatures f;
  if (w.MaxLeaf < 1) return f;
  f.SSE2 = (w.Leaf1Edx >> 26) & 1;
  f.SSSE3 = (w.Leaf1Ecx >> 9) & 1;
  f.SSE41 = (w.Leaf1Ecx >> 19) & 1;
  f.AESNI = (w.Leaf1Ecx >> 25) & 1;
  const bool osxsave = (w.Leaf1Ecx >> 27) & 1;
  const bool avx = (w.Leaf1Ecx >> 28) & 1;
  // The OS must save the XMM (bit 1) and YMM (bit 2) state, and for AVX-512
  // also the opmask (bit 5) and both halves of the ZMM state (bits 6 and 7).
  const bool ymmState = osxsave && avx && (w.Xcr0 & 0x06) == 0x06;
  const bool zmmState = ymmState && (w.Xcr0 & 0xE6) == 0xE6;
  if (w.MaxLeaf >= 7) {
    f.AVX2 = ymmState && ((w.Leaf7Ebx >> 5) & 1);
    f.AVX512F = zmmState && ((w.Leaf7Ebx >> 16) & 1);
    f.SHA = ((w.Leaf7Ebx >> 29) & 1) && f.SSSE3 && f.SSE41;
  }
  return f;
}

const TFeatures& Detected() {
  static const TFeatures features = FeaturesFrom(Probe());
  return features;
}

void ForcePortable(bool on) { g_forcePortable.store(on, std::memory_order_relaxed); }
bool PortableForced() { return g_forcePortable.load(std::memory_order_relaxed); }

bool HasSSE2() { return !PortableForced() && Detected().SSE2; }
bool HasSSSE3() { return !PortableForced() && Detected().SSSE3; }
bool HasSSE41() { return !PortableForced() && Detected().SSE41; }
bool HasAVX2() { return !PortableForced() && Detected().AVX2; }
bool HasAVX512F() { return !PortableForced() && Detected().AVX512F; }
bool HasAESNI() { return !PortableForced() && Detected().AESNI; }
bool HasSHA() { return !PortableForced() && Detected().SHA; }

}  // namespace CpuFeatures
