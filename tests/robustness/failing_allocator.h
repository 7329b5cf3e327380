// An allocator for tests that makes the N-th allocation of the process fail. A test program that
// links failing_allocator.c replaces malloc and its relatives (C++'s operator new calls malloc, so
// it fails too, with std::bad_alloc); every library in the process, a plug-in loaded by path
// included, then allocates through it. Linux only, and never together with a sanitizer, which
// brings an allocator of its own.
//
// Counting is off until failAllocationsFrom() or countAllocations(); the test program's own code
// wraps what it does inside a counted stretch (host functions, bookkeeping) in
// AllocationsUnchecked, so that only the library's allocations are counted and failed.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
// Counts allocations from now on without failing any.
void kelvoraCountAllocations(void);
// Counts from now on; the allocation numbered `n` (1-based) fails, and with `persistent` every one
// after it too.
void kelvoraFailAllocationsFrom(std::uint64_t n, int persistent);
// Every allocation of more than `bytes` fails from now on, counted or not (the count of failed
// allocations starts again); 0 lifts the limit.
void kelvoraFailAllocationsLargerThan(std::size_t bytes);
// Stops counting and failing; returns how many allocations were counted.
std::uint64_t kelvoraStopCountingAllocations(void);
// How many allocations failed since counting last started.
std::uint64_t kelvoraFailedAllocations(void);
// Bytes of heap blocks in use, as glibc's allocator holds them; only differences mean anything.
std::uint64_t kelvoraHeapBytesInUse(void);
// Nested pauses of counting and failing.
void kelvoraPauseAllocationCounting(void);
void kelvoraResumeAllocationCounting(void);
}

namespace kelvora::testing {

// While alive, allocations are neither counted nor failed.
class AllocationsUnchecked {
 public:
  AllocationsUnchecked() { kelvoraPauseAllocationCounting(); }
  ~AllocationsUnchecked() { kelvoraResumeAllocationCounting(); }
  AllocationsUnchecked(const AllocationsUnchecked&) = delete;
  AllocationsUnchecked& operator=(const AllocationsUnchecked&) = delete;
};

}  // namespace kelvora::testing
