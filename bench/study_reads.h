// The measures (a) and (b) of the benchmark: reading a study's SDMs within the benchmark's own
// process, timed with Stopwatch (processor time of the whole process).
#pragma once

#include <string>
#include <vector>

#include "timing.h"

namespace kelvora::bench {

// (a): each file read whole with read(2) into `buffer`, which grows to the largest file and is
// reused. Throws std::runtime_error when a file cannot be opened.
Times readBytes(const std::vector<std::string>& paths, std::vector<char>& buffer);

// (b): every SDM through the reference reader; the records are discarded.
Times readWithStreams(const std::vector<std::string>& paths);

}  // namespace kelvora::bench
