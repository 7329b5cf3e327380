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

// The launcher writes its report to this descriptor.
constexpr int kReportFd = 3;

std::vector<char*> pointersTo(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Reads what the launcher wrote into `run`; false when it wrote no whole report.
bool readReport(int pipe, ChildRun& run) {
  char text[128] = {};
  std::size_t length = 0;
  for (ssize_t got = 1; got > 0 && length + 1 < sizeof text; length += static_cast<size_t>(got)) {
    got = ::read(pipe, text + length, sizeof text - 1 - length);
    if (got < 0) return false;
  }
  long maxrssKiB = 0;
  double user = 0, system = 0;
  if (std::sscanf(text, "%ld %lf %lf %d", &maxrssKiB, &user, &system, &run.exitStatus) != 4) {
    return false;
  }
  run.times.cpu = user + system;
  run.peakMiB = static_cast<double>(maxrssKiB) / 1024.0;
  return true;
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

ChildRun runChild(const std::string& launcher, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment, const std::string& outputPath) {
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
  std::vector<std::string> launch = {launcher, std::to_string(kReportFd)};
  launch.insert(launch.end(), arguments.begin(), arguments.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_adddup2(&actions, report[1], kReportFd);
  const std::vector<char*> argv = pointersTo(launch);
  const std::vector<char*> envp = pointersTo(environment);
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  const int error =
      posix_spawn(&child, launcher.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(report[1]);
  if (error != 0) {
    ::close(report[0]);
    throw std::runtime_error("cannot start " + launcher + ": " + std::strerror(error));
  }
  int status = 0;
  const bool waited = ::waitpid(child, &status, 0) == child;
  ChildRun run;
  run.times.wall = secondsSince(start);
  const bool reported = readReport(report[0], run);
  ::close(report[0]);
  if (!waited || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !reported) {
    throw std::runtime_error("cannot run " + arguments.front() + " through " + launcher);
  }
  return run;
}

double trivialProgramPeak(const std::string& launcher) {
  return runChild(launcher, {"/bin/true"}, environmentWith("", ""), "/dev/null").peakMiB;
}

}  // namespace kelvora::bench
