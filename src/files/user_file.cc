#include "files/user_file.h"

#include <algorithm>
#include <cstdio>

#include "files/native_file.h"

namespace kelvora {

std::optional<std::string> readUserFile(const std::string& path, std::string& error) {
  bool wrongKind = false;
  const FilePtr file = openFileOrPipeForReading(path, wrongKind);
  if (file == nullptr) {
    error = wrongKind ? " is neither a file nor a pipe" : " cannot be read";
    return std::nullopt;
  }
  std::string text;
  char chunk[65536];
  // One byte past the bound tells a file that is too large from one that just fits.
  while (text.size() <= kMostUserFileBytes) {
    const std::size_t wanted = std::min(sizeof chunk, kMostUserFileBytes + 1 - text.size());
    const std::size_t got = std::fread(chunk, 1, wanted, file.get());
    text.append(chunk, got);
    if (got < wanted) break;
  }
  if (std::ferror(file.get()) != 0) {
    error = " cannot be read";
    return std::nullopt;
  }
  if (text.size() > kMostUserFileBytes) {
    error = " is larger than " + std::to_string(kMostUserFileBytes) + " bytes";
    return std::nullopt;
  }
  return text;
}

}  // namespace kelvora
