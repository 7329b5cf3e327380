#include "plugin/version_check.h"

namespace kelvora {

bool versionAtLeast(int major, int minor, int patch, int requiredMajor, int requiredMinor,
                    int requiredPatch) {
  if (major != requiredMajor) return major > requiredMajor;
  if (minor != requiredMinor) return minor > requiredMinor;
  return patch >= requiredPatch;
}

}  // namespace kelvora
