// How the benchmark times a piece of work: elapsed (wall) time, and processor time (user and
// system), which the machine's other load disturbs less; and the median of repetitions.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <vector>

namespace kelvora::bench {

using Clock = std::chrono::steady_clock;

struct Times {
  double wall = 0;
  double cpu = 0;
};

double secondsSince(Clock::time_point start);

// User and system time of `usage`, in seconds.
double cpuSeconds(const rusage& usage);

// Times the work of this process (all its threads) from construction to stop().
class Stopwatch {
 public:
  Stopwatch();
  Times stop() const;

 private:
  Clock::time_point start;
  double startCpu;
};

// The median of `values`, which must not be empty; the mean of the middle two for an even count.
double median(std::vector<double> values);

}  // namespace kelvora::bench
