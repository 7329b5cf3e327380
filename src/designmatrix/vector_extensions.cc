#include "designmatrix/vector_extensions.h"

#include <cpuid.h>

#include <cstdint>

namespace kelvora {
namespace {

struct Features {
  bool avx2 = false;
  bool avx512bw = false;
};

// The register state the operating system saves (XCR0): SSE and AVX halves, and the three
// AVX-512 parts.
std::uint64_t savedRegisterState() {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (std::uint64_t{high} << 32) | low;
}

Features detect() {
  constexpr unsigned kOsXsave = 1u << 27;          // leaf 1, ecx
  constexpr unsigned kAvx = 1u << 28;              // leaf 1, ecx
  constexpr unsigned kBmi1 = 1u << 3;              // leaf 7, ebx
  constexpr unsigned kAvx2 = 1u << 5;              // leaf 7, ebx
  constexpr unsigned kBmi2 = 1u << 8;              // leaf 7, ebx
  constexpr unsigned kAvx512f = 1u << 16;          // leaf 7, ebx
  constexpr unsigned kAvx512bw = 1u << 30;         // leaf 7, ebx
  constexpr std::uint64_t kAvxState = 0x6;         // XMM and YMM
  constexpr std::uint64_t kAvx512State = 0xE6;     // and opmask, ZMM upper halves, ZMM16-31
  Features features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return features;
  if ((ecx & (kOsXsave | kAvx)) != (kOsXsave | kAvx)) return features;
  const std::uint64_t state = savedRegisterState();
  if ((state & kAvxState) != kAvxState) return features;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return features;
  features.avx2 = (ebx & (kAvx2 | kBmi1 | kBmi2)) == (kAvx2 | kBmi1 | kBmi2);
  features.avx512bw = features.avx2 && (ebx & (kAvx512f | kAvx512bw)) == (kAvx512f | kAvx512bw) &&
                      (state & kAvx512State) == kAvx512State;
  return features;
}

const Features& features() {
  static const Features detected = detect();
  return detected;
}

}  // namespace

bool hasAvx2() { return features().avx2; }
bool hasAvx512bw() { return features().avx512bw; }

}  // namespace kelvora
