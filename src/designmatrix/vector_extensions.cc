#include "designmatrix/vector_extensions.h"

#include <cpuid.h>

#include <cstdint>

namespace kelvora {
namespace {

// The register state the operating system saves (XCR0): SSE and AVX halves, and the three
// AVX-512 parts.
std::uint64_t savedRegisterState() {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (std::uint64_t{high} << 32) | low;
}

bool detect() {
  constexpr unsigned kOsXsave = 1u << 27;       // leaf 1, ecx
  constexpr unsigned kPopcnt = 1u << 23;        // leaf 1, ecx
  constexpr unsigned kAvx = 1u << 28;           // leaf 1, ecx
  constexpr unsigned kBmi1 = 1u << 3;           // leaf 7, ebx
  constexpr unsigned kAvx2 = 1u << 5;           // leaf 7, ebx
  constexpr unsigned kBmi2 = 1u << 8;           // leaf 7, ebx
  constexpr unsigned kAvx512f = 1u << 16;       // leaf 7, ebx
  constexpr unsigned kAvx512bw = 1u << 30;      // leaf 7, ebx
  constexpr std::uint64_t kAvx512State = 0xE6;  // XMM, YMM, opmask, ZMM upper halves, ZMM16-31
  constexpr unsigned kLeaf1 = kOsXsave | kAvx | kPopcnt;
  constexpr unsigned kLeaf7 = kBmi1 | kAvx2 | kBmi2 | kAvx512f | kAvx512bw;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & kLeaf1) != kLeaf1) return false;
  // Only now is xgetbv known to exist.
  if ((savedRegisterState() & kAvx512State) != kAvx512State) return false;
  return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & kLeaf7) == kLeaf7;
}

}  // namespace

bool hasAvx512bw() {
  static const bool detected = detect();
  return detected;
}

}  // namespace kelvora
