// Helpers on 8-bit paths as the host and the files spell them. '/' and '\' both count as
// separators, wherever they stand; nothing else about a path is interpreted.
#pragma once

#include <string>
#include <string_view>

namespace kelvora {

// The text after the last '/' or '\'; the whole path when it has neither.
std::string fileNameOf(std::string_view path);

// The text before the last '/' or '\', without that separator; empty when the path has neither.
// "D:\g.mdm" gives "D:", "/g.mdm" gives "".
std::string directoryOf(std::string_view path);

// The path without the extension of its file name, followed by `suffix`. Only a '.' in the file
// name (after the last separator) counts, so a dotted folder never shortens the path:
// "D:\set.b\group" with "_log.txt" gives "D:\set.b\group_log.txt".
std::string replaceExtension(std::string_view path, std::string_view suffix);

}  // namespace kelvora
