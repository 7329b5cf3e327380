#include "timing.h"

#include <algorithm>

namespace kelvora::bench {
namespace {

double ownCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return cpuSeconds(usage);
}

}  // namespace

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double cpuSeconds(const rusage& usage) {
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Stopwatch::Stopwatch() : start(Clock::now()), startCpu(ownCpuSeconds()) {}

Times Stopwatch::stop() const { return {secondsSince(start), ownCpuSeconds() - startCpu}; }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace kelvora::bench
