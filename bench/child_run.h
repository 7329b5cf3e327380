// Runs kelvora, or the stand-in host with the plug-in, as a child process of the benchmark and
// takes its elapsed time, its processor time and its peak resident memory.
//
// Linux counts into a process's peak the peak of the memory it was started in, before it executed
// its program, so a program started from the benchmark would count the benchmark's peak too. Each
// program is therefore started through peak_launcher (a small C program the benchmark executes),
// which starts it from its own small memory and reports the program's rusage: the peak holds the
// launcher's memory (measured by trivialProgramPeak) and the program's own, nothing of the
// benchmark's.
#pragma once

#include <string>
#include <vector>

#include "timing.h"

namespace kelvora::bench {

struct ChildRun {
  Times times;
  double peakMiB = 0;
  int exitStatus = -1;  // -1 when the child did not exit (a signal ended it)
};

// This process's environment without the variable `name`, and with `name`=`value` when `value`
// is not empty: "NAME=value" entries for runChild.
std::vector<std::string> environmentWith(const std::string& name, const std::string& value);

// Runs the program `arguments[0]` with `arguments` and `environment` through `launcher`
// (peak_launcher), standard input from /dev/null, standard output and error into `outputPath`,
// and waits for its end. Throws std::runtime_error when it cannot be started or the launcher
// reports nothing.
ChildRun runChild(const std::string& launcher, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment, const std::string& outputPath);

// The peak of a program that does nothing (/bin/true) run as runChild runs one: the floor of
// every peak runChild reports, in MiB.
double trivialProgramPeak(const std::string& launcher);

}  // namespace kelvora::bench
