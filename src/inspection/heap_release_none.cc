// heap_release.h where the C library offers no such call: nothing to do.
#include "inspection/heap_release.h"

namespace kelvora {

void releaseFreeHeapMemory() {}

}  // namespace kelvora
