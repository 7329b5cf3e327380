#include "designmatrix/file_replacement.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "designmatrix/native_file.h"
#include "designmatrix/path_names.h"

namespace kelvora {
namespace {

// Attempts at a fresh temporary name before giving up; each one is only taken by a file left
// over from an earlier failure or by another writer at the same moment.
constexpr int kTemporaryNameAttempts = 16;

// A short name in the target's folder: a name built on the target's own would pass the system's
// path limit first, and a long target would then be saved nowhere.
std::string temporaryNameFor(const std::string& target, std::uint64_t salt) {
  static const char kDigits[] = "0123456789abcdef";
  const std::size_t nameStart = target.size() - fileNameOf(target).size();
  std::string name = target.substr(0, nameStart) + ".kv";
  for (int shift = 28; shift >= 0; shift -= 4) name += kDigits[(salt >> shift) & 0xF];
  return name + ".tmp";
}

// A fresh file beside `target`, created exclusively so that no existing file is ever touched.
FilePtr createTemporaryBeside(const std::string& target, std::string& temporary) {
  static std::uint64_t counter = 0;
  const auto now =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    temporary = temporaryNameFor(target, now * 31 + ++counter);
    bool nameTaken = false;
    FilePtr file = createNewFile(temporary, nameTaken);
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
    if (target.find('\0') != std::string::npos || fileNameOf(target).empty()) return false;
    if (namesNonRegularFile(target)) return false;
    std::string temporary;
    FilePtr file = createTemporaryBeside(target, temporary);
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

}  // namespace kelvora
