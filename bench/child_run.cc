#include "child_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace kelvora::bench {
namespace {

// Sets this process's peak resident memory to its present resident memory (Linux 4.0 and later);
// false when it could not.
bool resetOwnPeakMemory() {
  const int file = ::open("/proc/self/clear_refs", O_WRONLY);
  const bool reset = file >= 0 && ::write(file, "5", 1) == 1;
  if (file >= 0) ::close(file);
  return reset;
}

// This process's resident memory, in MiB; 0 when it cannot be read.
double residentMiB() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  unsigned long long pages = 0, resident = 0;
  const bool read = statm != nullptr && std::fscanf(statm, "%llu %llu", &pages, &resident) == 2;
  if (statm != nullptr) std::fclose(statm);
  return read ? static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
                    (1024.0 * 1024.0)
              : 0;
}

std::vector<char*> pointersTo(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

std::vector<std::string> environmentWith(const std::string& name, const std::string& value) {
  const std::string prefix = name + "=";
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) environment.emplace_back(*entry);
  }
  if (!value.empty()) environment.push_back(prefix + value);
  return environment;
}

ChildRun runChild(const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment, const std::string& outputPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const std::vector<char*> argv = pointersTo(arguments);
  const std::vector<char*> envp = pointersTo(environment);
  const std::string& program = arguments.front();
  ChildRun run;
  run.peakMayBeTheBenchmarks = !resetOwnPeakMemory();
  run.peakFloorMiB = residentMiB();
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  const int error =
      posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) throw std::runtime_error("wait4 failed");
  run.times = {secondsSince(start), cpuSeconds(usage)};
  run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace kelvora::bench
