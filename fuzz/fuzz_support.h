// What the fuzz targets share: a scratch folder of their own, writing an input into it as a file,
// and a check that stops the fuzzer with a message when a property of the library does not hold.
// The readers take paths, so every input reaches them through a real file, as in the host.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace kelvora::fuzz {

// Stops the fuzzer (libFuzzer then saves the input as a crash) when `holds` is false.
inline void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "fuzz property does not hold: %s\n", property);
  std::abort();
}

// A folder of this process's own under the system's temporary folder, emptied on demand and
// removed at exit.
class ScratchFolder {
 public:
  ScratchFolder() {
    root = std::filesystem::temp_directory_path() /
           ("kelvora-fuzz-" + std::to_string(static_cast<long>(::getpid())));
    std::filesystem::create_directories(root);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path(const std::string& name) const { return (root / name).string(); }
  const std::filesystem::path& folder() const { return root; }

  std::string write(const std::string& name, std::string_view bytes) const {
    const std::string full = path(name);
    std::ofstream(full, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    return full;
  }

  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Removes everything inside the folder.
  void empty() const {
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
      std::error_code ignored;
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }

 private:
  std::filesystem::path root;
};

inline std::string_view bytesOf(const unsigned char* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace kelvora::fuzz
