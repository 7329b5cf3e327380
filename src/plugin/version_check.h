// The host version check of the plug-in's start-up.
#pragma once

namespace kelvora {

// True when major.minor.patch is at least requiredMajor.requiredMinor.requiredPatch, compared
// lexicographically as signed integers; an equal version passes.
bool versionAtLeast(int major, int minor, int patch, int requiredMajor, int requiredMinor,
                    int requiredPatch);

}  // namespace kelvora
