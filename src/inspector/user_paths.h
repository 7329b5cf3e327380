// Paths as the user gives them on the command line or at a prompt.
// One implementation per platform: user_paths_posix.cc, user_paths_windows.cc. Paths are 8-bit
// strings as the platform's 8-bit file functions take them. Nothing here throws.
#pragma once

#include <string>

namespace kelvora::inspector {

// `path` as a file dialog returns it: a full path. A relative path is taken in the folder this
// thread anchored (relative_paths.h: during an inspection, its MDM's folder, where its dialogs
// open), or else in the current folder, its "." segments dropped; a full path is returned
// unchanged, and so is an empty one.
std::string fullPath(const std::string& path);

// The folder that holds the file at the full path `path`, with its separator ("/" for "/g.mdm");
// empty when `path` has no separator.
std::string folderOf(const std::string& path);

// The file `name` in `folder`, joined with the platform's separator unless `folder` ends in one.
std::string pathInFolder(const std::string& folder, const std::string& name);

enum class PathKind { kNothing, kFolder, kFile };  // kFile: anything else that exists

PathKind kindOf(const std::string& path);

// `path` spelled with `separator` ('/' or '\\') throughout, where the platform takes both as
// separators (Windows), so that a located SDM path joins an MDM's own paths in their spelling;
// unchanged for a separator '\0', and on POSIX, where '\\' is part of a name.
std::string withSeparator(std::string path, char separator);

// Makes the folder `path` (one level: its parent must exist). True when made; otherwise `reason`
// holds the system's reason ("No such file or directory" when the parent is missing too), and
// `parentMissing` tells that case apart.
bool makeFolder(const std::string& path, std::string& reason, bool& parentMissing);

// Why no file could be created as `path`, in the system's words: something other than a file
// holds its name, or its folder refuses a new file (permission denied, a read-only file system).
// Empty when nothing of that kind is found (the failure came from elsewhere, e.g. a full disk).
// Creates nothing that it leaves behind.
std::string whyNoFileAt(const std::string& path);

}  // namespace kelvora::inspector
