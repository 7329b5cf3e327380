/* Starts one measured program for the benchmark and reports that program's own peak memory.
 *
 * Linux counts into a process's peak (ru_maxrss) the peak of the memory it was started in, before
 * it executed its program. Started straight from the benchmark, a child's peak would hold the
 * benchmark's. This launcher is a small C program: the benchmark executes it, and it starts the
 * measured program from its own memory (a few hundred KiB), so that is all the measured peak holds
 * beyond the program's own.
 *
 * Usage: peak_launcher REPORT_FD PROGRAM [ARGUMENT...]. The environment and the standard streams
 * pass on unchanged. Once the program ended, writes one line to file descriptor REPORT_FD:
 * "<ru_maxrss in KiB> <user seconds> <system seconds> <exit status, -1 for a signal>", and exits
 * 0; exits 127 (nothing written) when the program cannot be started. */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

static double seconds(struct timeval time) { return (double)time.tv_sec + time.tv_usec / 1e6; }

int main(int argc, char** argv) {
  if (argc < 3) return 127;
  const int reportFd = atoi(argv[1]);
  /* The measured program does not inherit the report's pipe. */
  if (fcntl(reportFd, F_SETFD, FD_CLOEXEC) != 0) return 127;
  pid_t child = 0;
  if (posix_spawn(&child, argv[2], NULL, NULL, argv + 2, environ) != 0) return 127;
  int status = 0;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) return 127;
  char line[128];
  const int length =
      snprintf(line, sizeof line, "%ld %.6f %.6f %d\n", usage.ru_maxrss, seconds(usage.ru_utime),
               seconds(usage.ru_stime), WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return write(reportFd, line, (size_t)length) == length ? 0 : 127;
}
