// Runs kelvora, or the stand-in host with the plug-in, as a child process of the benchmark and
// takes its elapsed time, its processor time and its peak resident memory (from wait4).
//
// Linux counts into a child's peak the peak of the process that started it: the child begins
// in a copy of the parent's memory and leaves it only when it executes its program. So before
// each start the benchmark resets its own peak to what it holds then (a few MiB: the study's
// paths, a read buffer), which stays a floor of every peak reported.
#pragma once

#include <string>
#include <vector>

#include "timing.h"

namespace kelvora::bench {

struct ChildRun {
  Times times;
  double peakMiB = 0;
  int exitStatus = -1;  // -1 when the child did not exit (a signal ended it)
  // The benchmark's resident memory when it started the child: peakMiB is at least this.
  double peakFloorMiB = 0;
  // The benchmark's peak could not be reset: peakMiB may be the benchmark's own peak so far.
  bool peakMayBeTheBenchmarks = false;
};

// This process's environment without the variable `name`, and with `name`=`value` when `value`
// is not empty: "NAME=value" entries for runChild.
std::vector<std::string> environmentWith(const std::string& name, const std::string& value);

// Runs the program `arguments[0]` with `arguments` and `environment`, standard input from
// /dev/null, standard output and error into `outputPath`, and waits for its end. Throws
// std::runtime_error when it cannot be started.
ChildRun runChild(const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment, const std::string& outputPath);

}  // namespace kelvora::bench
