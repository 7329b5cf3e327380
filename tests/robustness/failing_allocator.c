/* The failing allocator of failing_allocator.h: malloc and its relatives replaced in the test
 * program (glibc lets a program do that), delegating to glibc's own allocator and failing where
 * the test asks. Single-threaded, like the plug-in. */
#include <errno.h>
#include <malloc.h>
#include <stddef.h>
#include <stdint.h>
#include <unistd.h>

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* memory, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* memory);

static int counting = 0;
static int paused = 0;
static uint64_t counted = 0;
static uint64_t failFrom = 0; /* 0: nothing fails */
static int failPersistently = 0;
static uint64_t failed = 0;
static size_t largestAllowed = 0; /* 0: no limit */
static uint64_t bytesInUse = 0;   /* wraps below zero for blocks freed but allocated early */

/* The block's usable size is what glibc's allocator holds for it, whatever was asked. */
static void* held(void* memory) {
  if (memory != NULL) bytesInUse += malloc_usable_size(memory);
  return memory;
}

static void released(void* memory) {
  if (memory != NULL) bytesInUse -= malloc_usable_size(memory);
}

void kelvoraCountAllocations(void) {
  counted = failed = 0;
  failFrom = 0;
  counting = 1;
}

void kelvoraFailAllocationsFrom(uint64_t n, int persistent) {
  kelvoraCountAllocations();
  failFrom = n;
  failPersistently = persistent;
}

uint64_t kelvoraStopCountingAllocations(void) {
  counting = 0;
  failFrom = 0;
  return counted;
}

uint64_t kelvoraFailedAllocations(void) { return failed; }

uint64_t kelvoraHeapBytesInUse(void) { return bytesInUse; }

void kelvoraFailAllocationsLargerThan(size_t bytes) {
  if (bytes != 0) failed = 0;
  largestAllowed = bytes;
}

void kelvoraPauseAllocationCounting(void) { ++paused; }

void kelvoraResumeAllocationCounting(void) { --paused; }

/* Counts one allocation of `size` bytes; true when it is to fail. */
static int failsNow(size_t size) {
  if (largestAllowed != 0 && size > largestAllowed && paused == 0) {
    ++failed;
    errno = ENOMEM;
    return 1;
  }
  if (!counting || paused > 0) return 0;
  ++counted;
  if (failFrom == 0 || counted < failFrom || (counted > failFrom && !failPersistently)) return 0;
  ++failed;
  errno = ENOMEM;
  return 1;
}

void* malloc(size_t size) { return failsNow(size) ? NULL : held(__libc_malloc(size)); }

void free(void* memory) {
  released(memory);
  __libc_free(memory);
}

void* calloc(size_t count, size_t size) {
  const size_t bytes = count != 0 && size > (size_t)-1 / count ? (size_t)-1 : count * size;
  return failsNow(bytes) ? NULL : held(__libc_calloc(count, size));
}

void* realloc(void* memory, size_t size) {
  /* Shrinking to nothing frees; it is not an allocation that can fail. */
  const int freeing = memory != NULL && size == 0;
  if (!freeing && failsNow(size)) return NULL;
  const size_t before = memory != NULL ? malloc_usable_size(memory) : 0;
  void* moved = __libc_realloc(memory, size);
  if (moved != NULL || freeing) bytesInUse -= before;
  return held(moved);
}

void* memalign(size_t alignment, size_t size) {
  return failsNow(size) ? NULL : held(__libc_memalign(alignment, size));
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void** memory, size_t alignment, size_t size) {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* allocated = memalign(alignment, size);
  if (allocated == NULL) return ENOMEM;
  *memory = allocated;
  return 0;
}

void* valloc(size_t size) { return memalign((size_t)sysconf(_SC_PAGESIZE), size); }

void* pvalloc(size_t size) {
  const size_t page = (size_t)sysconf(_SC_PAGESIZE);
  return memalign(page, (size + page - 1) / page * page);
}
