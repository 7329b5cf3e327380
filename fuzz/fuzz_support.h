// What the fuzz targets share: a scratch folder of their own to work in, writing an input into it
// as a file, and a check that stops the fuzzer with a message when a property of the library does
// not hold.
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
#include <vector>

namespace kelvora::fuzz {

// Stops the fuzzer (libFuzzer then saves the input as a crash) when `holds` is false.
inline void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "fuzz property does not hold: %s\n", property);
  std::abort();
}

// A folder of this process's own under the system's temporary folder, which the process works in
// from the first use on, emptied on demand and removed at exit. The targets name their files
// relative to it, so the paths that the code under test sees and compares are the same in every
// process and on every machine: with the process number or the temporary folder in them, the
// fuzzer's comparison feedback, and with it the inputs it explores from a given seed, would differ
// from run to run. Whoever feeds the target (libFuzzer, the regression replay) has its own paths
// absolute by then (see LLVMFuzzerInitialize below).
class ScratchFolder {
 public:
  ScratchFolder() {
    root = std::filesystem::temp_directory_path() /
           ("kelvora-fuzz-" + std::to_string(static_cast<long>(::getpid())));
    std::filesystem::create_directories(root);
    std::error_code error;
    std::filesystem::current_path(root, error);
    require(!error, "the scratch folder can be entered");
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(root.parent_path(), ignored);
    std::filesystem::remove_all(root, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string write(const std::string& name, std::string_view bytes) const {
    std::ofstream(name, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    return name;
  }

  std::string read(const std::string& name) const {
    std::ifstream in(name, std::ios::binary);
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

// The one scratch folder of the process.
inline const ScratchFolder& scratchFolder() {
  static const ScratchFolder scratch;
  return scratch;
}

inline std::string_view bytesOf(const unsigned char* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace kelvora::fuzz

// libFuzzer calls this before it reads its arguments. The targets work inside their scratch
// folder, so libFuzzer's own paths are made absolute first: the corpus folders and files, -dict,
// -seed_inputs, and where findings go (by default the folder it was started in). The regression
// replay does not call it. Each target includes this header once.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static std::vector<std::string> arguments;
  static std::vector<char*> pointers;
  const std::filesystem::path startedIn = std::filesystem::current_path();
  const auto startsWith = [](const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
  };
  bool artifactPrefixGiven = false;
  for (int i = 0; i < *argc; ++i) {
    std::string argument = (*argv)[i];
    if (i > 0 && argument[0] != '-') {
      argument = (startedIn / argument).string();
    } else if (startsWith(argument, "-dict=")) {
      argument = "-dict=" + (startedIn / argument.substr(6)).string();
    } else if (startsWith(argument, "-seed_inputs=@")) {
      argument = "-seed_inputs=@" + (startedIn / argument.substr(14)).string();
    }
    artifactPrefixGiven = artifactPrefixGiven || startsWith(argument, "-artifact_prefix=") ||
                          startsWith(argument, "-exact_artifact_path=");
    arguments.push_back(argument);
  }
  if (!artifactPrefixGiven) arguments.push_back("-artifact_prefix=" + startedIn.string() + "/");
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(arguments.size());
  *argv = pointers.data();
  return 0;
}
