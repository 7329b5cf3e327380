// Looking at files as bytes, for tests of readers and writers.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace kelvora::testing {

// The file's bytes unchanged (binary); empty when it cannot be read.
inline std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names of the entries of `folder`, sorted.
inline std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().generic_string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace kelvora::testing
