// Replays inputs through a fuzz target's entry function without libFuzzer, so that the ordinary
// test build of either platform checks every input that ever showed a fault (and the seeds).
//
//   replay_<target> PATH...
//
// Each PATH is a file or a folder whose files (not its subfolders) are taken in name order. Every
// file is read before the first input runs, since a target may change the working folder. A
// property that does not hold stops the program as it stops the fuzzer; a folder that cannot be
// read, or no input at all, is a failure too, so that a mistyped path cannot pass unnoticed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputFilesOf(const fs::path& path) {
  if (!fs::is_directory(path)) return {path};
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, std::string>> inputs;  // name, bytes
  try {
    for (int i = 1; i < argc; ++i) {
      for (const fs::path& file : inputFilesOf(argv[i])) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
          std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
          return 1;
        }
        inputs.emplace_back(file.string(), std::string(std::istreambuf_iterator<char>(in), {}));
      }
    }
  } catch (const fs::filesystem_error& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "no input to replay\n");
    return 1;
  }
  for (const auto& [name, bytes] : inputs) {
    std::fprintf(stderr, "replaying %s\n", name.c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
