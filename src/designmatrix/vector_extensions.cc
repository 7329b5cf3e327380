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

constexpr unsigned kOsXsave = 1u << 27;       // leaf 1, ecx
constexpr unsigned kFma = 1u << 12;           // leaf 1, ecx
constexpr unsigned kPopcnt = 1u << 23;        // leaf 1, ecx
constexpr unsigned kAvx = 1u << 28;           // leaf 1, ecx
constexpr unsigned kBmi1 = 1u << 3;           // leaf 7, ebx
constexpr unsigned kAvx2 = 1u << 5;           // leaf 7, ebx
constexpr unsigned kBmi2 = 1u << 8;           // leaf 7, ebx
constexpr unsigned kAvx512f = 1u << 16;       // leaf 7, ebx
constexpr unsigned kAvx512bw = 1u << 30;      // leaf 7, ebx
constexpr std::uint64_t kAvxState = 0x6;      // XMM, YMM
constexpr std::uint64_t kAvx512State = 0xE6;  // and opmask, ZMM upper halves, ZMM16-31

// Whether the processor has every bit of `leaf1` (leaf 1, ecx) and `leaf7` (leaf 7, ebx) and the
// operating system saves `state`.
bool detect(unsigned leaf1, unsigned leaf7, std::uint64_t state) {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  leaf1 |= kOsXsave | kAvx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & leaf1) != leaf1) return false;
  // Only now is xgetbv known to exist.
  if ((savedRegisterState() & state) != state) return false;
  return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & leaf7) == leaf7;
}

}  // namespace

bool hasAvx512bw() {
  static const bool detected =
      detect(kPopcnt, kBmi1 | kAvx2 | kBmi2 | kAvx512f | kAvx512bw, kAvx512State);
  return detected;
}

bool hasAvx2Fma() {
  static const bool detected = detect(kFma, kAvx2, kAvxState);
  return detected;
}

}  // namespace kelvora
