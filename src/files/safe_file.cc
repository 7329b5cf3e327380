#include "files/safe_file.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace kelvora {
namespace {

// Attempts at a fresh temporary name before giving up; each one is only taken by a file left
// over from an earlier failure or by another writer at the same moment.
constexpr int kTemporaryNameAttempts = 16;

// Where the file name starts in `path`: after the last separator.
std::size_t fileNameStart(const std::string& path) {
  const std::size_t slash = path.find_last_of(backslashSeparatesFolders() ? "/\\" : "/");
  return slash == std::string::npos ? 0 : slash + 1;
}

// A short name in the target's folder: a name built on the target's own would pass the system's
// path limit first, and a long target would then be saved nowhere.
std::string temporaryNameFor(const std::string& target, std::uint64_t salt) {
  static const char kDigits[] = "0123456789abcdef";
  std::string name = target.substr(0, fileNameStart(target)) + ".kv";
  for (int shift = 28; shift >= 0; shift -= 4) name += kDigits[(salt >> shift) & 0xF];
  return name + ".tmp";
}

// A fresh file beside `target`, created exclusively so that no existing file is ever touched.
// Null when the target may not be replaced or no temporary could be made.
FilePtr createTemporaryBeside(const std::string& target, WriteMode mode, std::string& temporary) {
  // A name ending in either separator names a folder, or would be taken for one on another system.
  if (target.empty() || target.back() == '/' || target.back() == '\\' ||
      target.find('\0') != std::string::npos || !nameMayBeReplaced(target)) {
    return nullptr;
  }
  static std::uint64_t counter = 0;
  const auto now =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    temporary = temporaryNameFor(target, now * 31 + ++counter);
    bool nameTaken = false;
    FilePtr file = createNewFile(temporary, mode, nameTaken);
    if (file != nullptr || !nameTaken) return file;
  }
  return nullptr;
}

// Writes the bytes and has them on the disk before the file is closed, so that the move that
// follows can never put an incomplete file in the target's place, even after a power cut.
bool writeAndClose(FilePtr file, std::string_view bytes, const std::string& target) {
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  ok = adoptPermissions(file.get(), target) && ok;
  ok = syncToDisk(file.get()) && ok;
  ok = std::ferror(file.get()) == 0 && ok;
  return std::fclose(file.release()) == 0 && ok;
}

}  // namespace

bool replaceFileContents(const std::string& target, std::string_view bytes) {
  try {
    std::string temporary;
    FilePtr file = createTemporaryBeside(target, WriteMode::kBinary, temporary);
    if (file == nullptr) return false;
    if (writeAndClose(std::move(file), bytes, target) && moveFileOver(temporary, target)) {
      return true;
    }
    removeFile(temporary);
    return false;
  } catch (...) {
    return false;  // only an allocation can throw here, before the temporary exists
  }
}

FilePtr createFileAnew(const std::string& target, WriteMode mode) {
  try {
    std::string temporary;
    FilePtr file = createTemporaryBeside(target, mode, temporary);
    if (file == nullptr) return nullptr;
    // The file stays open across the move: it is the same file under its new name.
    if (adoptPermissions(file.get(), target) && moveFileOver(temporary, target)) return file;
    file.reset();
    removeFile(temporary);
    return nullptr;
  } catch (...) {
    return nullptr;  // only an allocation can throw here, before the temporary exists
  }
}

}  // namespace kelvora
