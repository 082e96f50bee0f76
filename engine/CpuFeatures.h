// Run-time detection of the x86 instruction-set extensions that the fast
// paths of the hashes and ciphers use. Every fast path has a portable
// fallback that gives identical bytes; ForcePortable(true) makes every Has*
// query answer false so the portable code runs (tests compare the two paths,
// and a user on an odd CPU or emulator can fall back to it).
#pragma once

#include <cstdint>

namespace CpuFeatures {

// What the processor and the operating system offer, probed once per process
// with cpuid (and xgetbv for the AVX register state). All false on a
// processor that is not x86.
struct TFeatures {
  bool SSE2 = false;
  bool SSSE3 = false;
  bool SSE41 = false;
  bool AVX2 = false;     // only when the OS saves the YMM registers
  bool AVX512F = false;  // only when the OS saves the opmask and ZMM registers
  bool AESNI = false;
  // The SHA-1/SHA-256 extensions (sha256rnds2 …), only together with the
  // SSSE3 and SSE4.1 shuffles and blends that the SHA-256 kernels also use.
  bool SHA = false;
};
const TFeatures& Detected();

// The processor's answers that the probe reads: cpuid leaf 0 (highest
// leaf), leaf 1 (ecx, edx), leaf 7 subleaf 0 (ebx) and, when leaf 1 reports
// OSXSAVE, the XCR0 register. FeaturesFrom turns them into the features above;
// Detected() is FeaturesFrom of this processor.
struct TCpuidWords {
  unsigned MaxLeaf = 0;
  unsigned Leaf1Ecx = 0, Leaf1Edx = 0;
  unsigned Leaf7Ebx = 0;
  std::uint64_t Xcr0 = 0;
};
TFeatures FeaturesFrom(const TCpuidWords& words);

// Process-wide switch: while on, every Has* below answers false. Safe to call
// from any thread; code that has already picked a path for a call in progress
// finishes on that path.
void ForcePortable(bool on);
bool PortableForced();

// Detected and not forced off.
bool HasSSE2();
bool HasSSSE3();
bool HasSSE41();
bool HasAVX2();
bool HasAVX512F();
bool HasAESNI();
bool HasSHA();

// Forces the portable path for the lifetime of the object and restores the
// previous setting afterwards.
class TPortableScope {
 public:
  explicit TPortableScope(bool on = true) : previous_(PortableForced()) { ForcePortable(on); }
  ~TPortableScope() { ForcePortable(previous_); }
  TPortableScope(const TPortableScope&) = delete;
  TPortableScope& operator=(const TPortableScope&) = delete;

 private:
  bool previous_;
};

}  // namespace CpuFeatures
