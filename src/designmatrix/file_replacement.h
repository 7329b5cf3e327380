// Replacing a file's contents so that no failure can destroy what was there: the bytes go to a
// fresh temporary file beside the target, which is moved over the target only once every byte
// is written, synced to the disk and closed, and which takes over the target's permission bits.
#pragma once

#include <string>
#include <string_view>

namespace kelvora {

// Stores `bytes` (unchanged, binary) as the file `target`. True once the target holds them.
// False, with an existing target left byte for byte as it was and no temporary left behind, when
// the target is empty, names a folder (ends in '/' or '\'), holds a NUL byte, exists but is not a
// regular file, or when creating, writing, syncing, closing or moving the temporary fails.
// Logs nothing; never throws.
bool replaceFileContents(const std::string& target, std::string_view bytes);

}  // namespace kelvora
