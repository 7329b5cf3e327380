// A fresh folder per test, removed with everything in it when the test ends.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace kelvora::testing {

class TempDir {
 public:
  TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root = std::filesystem::temp_directory_path() /
           ("kelvora-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // `name` relative to the folder, as a generic ('/'-separated) path string.
  std::string path(const std::string& name) const { return (root / name).generic_string(); }

  // Writes `bytes` unchanged (binary) and returns the file's path.
  std::string writeFile(const std::string& name, const std::string& bytes) const {
    const std::string full = path(name);
    std::ofstream(full, std::ios::binary) << bytes;
    return full;
  }

 private:
  std::filesystem::path root;
};

}  // namespace kelvora::testing
