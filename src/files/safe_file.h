// The one way files are created and replaced: every file the library or a program on it writes
// (the findings file, an MDM, a report) is made here. A file is always made anew: it is created
// exclusively under a fresh temporary name beside its target, never through a link, and moved over
// the target's name in one step, so that whatever had the name (a regular file, or a link: only
// the name goes) is replaced and never written through. A folder, a pipe, a device or anything
// else at the name is left alone and never opened, so a pipe cannot block. A replaced regular
// file's permission bits are kept, without setuid, setgid or sticky bits (native_file.h).
#pragma once

#include <string>
#include <string_view>

#include "files/native_file.h"

namespace kelvora {

// Stores `bytes` (unchanged, binary) as the file `target`. The temporary is moved over the target
// only once every byte is written, synced to the disk and closed, so no failure can destroy what
// was there. True once the target holds them. False, with an existing target left byte for byte
// as it was and no temporary left behind, when the target is empty, names a folder (ends in '/' or
// '\'), holds a NUL byte, is taken by anything but a regular file
// or a link, or when creating, writing, syncing, closing or moving the temporary fails. Logs
// nothing; never throws.
bool replaceFileContents(const std::string& target, std::string_view bytes);

// Makes `target` anew at once, empty, and returns it open for writing (in `mode`) so that its
// writer can add to it while others read it by its name. Null, touching nothing and leaving no
// temporary, on the same refusals and failures as replaceFileContents. Never throws.
FilePtr createFileAnew(const std::string& target, WriteMode mode);

}  // namespace kelvora
