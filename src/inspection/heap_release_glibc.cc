// heap_release.h with the GNU C library.
#include <malloc.h>

#include "inspection/heap_release.h"

namespace kelvora {

void releaseFreeHeapMemory() { malloc_trim(0); }

}  // namespace kelvora
