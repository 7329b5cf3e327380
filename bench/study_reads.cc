#include "study_reads.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "designmatrix/reference_sdm_reader.h"

namespace kelvora::bench {

Times readBytes(const std::vector<std::string>& paths, std::vector<char>& buffer) {
  const Stopwatch watch;
  std::uint64_t checksum = 0;
  for (const std::string& path : paths) {
    const int file = ::open(path.c_str(), O_RDONLY);
    if (file < 0) throw std::runtime_error("cannot open " + path);
    std::size_t held = 0;
    for (;;) {
      if (held == buffer.size()) buffer.resize(buffer.size() * 2 + 4096);
      const ssize_t got = ::read(file, buffer.data() + held, buffer.size() - held);
      if (got <= 0) break;
      held += static_cast<std::size_t>(got);
    }
    ::close(file);
    if (held > 0) checksum += static_cast<unsigned char>(buffer[held / 2]);
  }
  const Times times = watch.stop();
  if (checksum == 1) std::puts("");  // keeps the reads from being optimised away
  return times;
}

Times readWithStreams(const std::vector<std::string>& paths) {
  const Stopwatch watch;
  double checksum = 0;
  for (const std::string& path : paths) {
    const SdmFile sdm = testing::readSdmWithStreams(path);
    if (!sdm.values.empty() && !sdm.values.back().empty()) checksum += sdm.values.back().back();
  }
  const Times times = watch.stop();
  if (checksum == 0.5) std::puts("");
  return times;
}

}  // namespace kelvora::bench
