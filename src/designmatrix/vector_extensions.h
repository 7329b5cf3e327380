// Which vector instruction sets the processor offers and the operating system saves across
// thread switches: both must hold before a function compiled for that set may run. Asked of the
// processor itself (cpuid, xgetbv), so the answer is the same with every compiler and runtime.
#pragma once

namespace kelvora {

// AVX-512 F and BW, with AVX2, BMI1, BMI2 and POPCNT.
bool hasAvx512bw();

// AVX2 and FMA.
bool hasAvx2Fma();

}  // namespace kelvora
