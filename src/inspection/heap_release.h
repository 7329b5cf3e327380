// Hands the heap's free memory back to the system. The C library of Linux keeps one heap per
// thread that allocates, and keeps what is freed in each: SDMs read one at a time on sixteen
// threads would leave sixteen heaps each as large as the largest SDM read on it, although only
// one SDM's values were at hand at a time. One implementation per C library, chosen by the build:
// heap_release_glibc.cc, heap_release_none.cc (where freed memory is not held so, or no call
// returns it).
#pragma once

namespace kelvora {

// Returns what every heap of the process holds free to the system. Costs a walk over the heaps'
// free memory: for after a large SDM, not after every one. Never throws.
void releaseFreeHeapMemory();

}  // namespace kelvora
