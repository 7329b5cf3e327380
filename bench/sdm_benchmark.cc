// sdm_benchmark: how fast a large study is inspected, against how fast its bytes can be read.
//
// It generates a study (study_generator.h) into a fresh temporary folder and measures, on the same
// files and in each of several repetitions:
//   (a) reading the bytes alone: every SDM read into memory and discarded;
//   (b) the reference reader (tests/designmatrix/reference_sdm_reader.h), which extracts every
//       value with standard streams;
//   (c) the whole inspection run of kelvora on the study's MDM, started as a child process, with
//       its peak resident memory (kelvora's own work after the run, the rank check and the study
//       diagnostics, included);
//   (d) the plug-in's run alone: the stand-in host loading the plug-in and running it once on the
//       MDM, started as a child process, so that what kelvora adds does not hide a change of the
//       plug-in's own speed.
// It prints every repetition, the medians, the ratios (c)/(a) and (b)/(c), each in elapsed and in
// processor time, and the peak memory of (c) against 1.5 x the values' own size + 64 MiB. Then it
// checks that readSdm gives every SDM exactly the reference reader's record and that kelvora's
// findings file holds exactly the lines the run's checks give on the reference reader's records; a
// difference makes the exit status 1.
//
// Linux only: the child's peak memory comes from wait4.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "designmatrix/reference_sdm_reader.h"
#include "designmatrix/sdm_file.h"
#include "inspection/predictor_checks.h"
#include "inspection/run_messages.h"
#include "inspection/subjects.h"
#include "inspection/zero_checks.h"
#include "study_generator.h"

extern char** environ;

namespace kelvora::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  StudyShape shape;
  int runs = 5;
  std::string kelvora = KELVORA_CLI_PATH;
  std::string host = KELVORA_HOST_PATH;
  std::string plugin = KELVORA_PLUGIN_PATH;
  bool keepStudy = false;
};

const char kUsage[] =
    "usage: sdm_benchmark [--sdms N] [--data-points N] [--predictors N] [--runs N]\n"
    "                     [--kelvora PATH] [--host PATH --plugin PATH] [--keep-study]\n"
    "defaults: 400 SDMs x 1200 data points x 36 predictors, 5 runs, the kelvora, stand-in host\n"
    "and plug-in of this build\n";

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const auto number = [&]() {
      if (i + 1 >= argc) throw std::runtime_error(option + " needs a value");
      const int value = std::atoi(argv[++i]);
      if (value < 1) throw std::runtime_error(option + " needs a positive number");
      return value;
    };
    if (option == "--sdms") {
      options.shape.sdms = number();
    } else if (option == "--data-points") {
      options.shape.dataPoints = number();
    } else if (option == "--predictors") {
      options.shape.predictors = number();
    } else if (option == "--runs") {
      options.runs = number();
    } else if (option == "--kelvora" && i + 1 < argc) {
      options.kelvora = argv[++i];
    } else if (option == "--host" && i + 1 < argc) {
      options.host = argv[++i];
    } else if (option == "--plugin" && i + 1 < argc) {
      options.plugin = argv[++i];
    } else if (option == "--keep-study") {
      options.keepStudy = true;
    } else {
      throw std::runtime_error("unknown option " + option + "\n" + kUsage);
    }
  }
  return options;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double cpuSeconds(const rusage& usage) {
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Elapsed time and the processor time of this process (user and system), which the machine's
// other load disturbs less.
struct Times {
  double wall = 0;
  double cpu = 0;
};

class Stopwatch {
 public:
  Stopwatch() : start(Clock::now()), startCpu(ownCpuSeconds()) {}
  Times stop() const { return {secondsSince(start), ownCpuSeconds() - startCpu}; }

 private:
  static double ownCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
  }
  Clock::time_point start;
  double startCpu;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// (a): each file read whole into one buffer, as large as the largest file, with read(2).
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

// (b): every SDM through the reference reader; the records are discarded.
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

struct ChildRun {
  Times times;
  double peakMiB = 0;
  int exitStatus = -1;
};

// (c) and (d): the program `arguments[0]` with `arguments`, its output going to `outputPath`.
ChildRun inspect(const std::vector<std::string>& arguments, const std::string& outputPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const std::string& program = arguments.front();
  ChildRun run;
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  const int error = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
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

std::vector<std::string> linesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The findings file's lines of a run that reads every SDM, as the run's checks give them on the
// reference reader's records (the order of src/inspection/inspection_run.cc).
std::vector<std::string> referenceFindings(const std::string& mdmPath,
                                           const std::vector<SdmFile>& sdms) {
  const MdmFile mdm(mdmPath);
  std::vector<std::string> lines{startInspectingLine(mdm.path).text,
                                 readSdmsLine(sdms.size()).text};
  const auto add = [&lines](const Report& report) {
    for (const ReportLine& line : report) lines.push_back(line.text);
  };
  const CountCheck counts = checkPredictorCounts(sdms);
  add(countReport(counts, sdms));
  if (!counts.agree) return lines;
  const NameCheck names = checkPredictorNames(sdms, counts.n);
  add(nameReport(names, sdms));
  if (!names.agree) return lines;
  const std::vector<SubjectGroup> subjects =
      groupSubjects(subjectIdsOf(mdm.functionalPaths, sdms.size()));
  add(subjectReport(subjects, findZeroAcrossRuns(sdms, subjects, counts.n), sdms));
  add(confoundReport(findZeroConfounds(sdms, counts.n), sdms));
  return lines;
}

// True when readSdm and the reference reader agree on every SDM and kelvora's findings are the
// reference findings, line for line.
bool verify(const GeneratedStudy& study, const std::string& findingsPath) {
  std::vector<SdmFile> reference;
  std::size_t differentRecords = 0;
  for (const std::string& path : study.sdmPaths) {
    reference.push_back(testing::readSdmWithStreams(path));
    const std::string difference = testing::differenceBetween(readSdm(path), reference.back());
    if (!difference.empty() && differentRecords++ == 0) {
      std::printf("  %s: readSdm differs from the reference reader: %s\n", path.c_str(),
                  difference.c_str());
    }
  }
  const std::vector<std::string> expected = referenceFindings(study.mdmPath, reference);
  const std::vector<std::string> found = linesOf(findingsPath);
  const bool sameFindings = expected == found;
  std::printf("records identical to the reference reader's: %zu of %zu\n",
              study.sdmPaths.size() - differentRecords, study.sdmPaths.size());
  std::printf("findings identical to those on the reference records: %s (%zu lines)\n",
              sameFindings ? "yes" : "NO", found.size());
  return differentRecords == 0 && sameFindings;
}

class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kelvora-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
    path = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!keep) std::filesystem::remove_all(path, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  std::string path;
  bool keep = false;
};

int run(const Options& options) {
  TemporaryFolder folder;
  folder.keep = options.keepStudy;
  const StudyShape& shape = options.shape;
  std::printf("study: %d SDMs x %d data points x %d predictors in %s\n", shape.sdms,
              shape.dataPoints, shape.predictors, folder.path.c_str());
  const GeneratedStudy study = generateStudy(folder.path, shape);
  const double valueMiB = static_cast<double>(study.valueCount) * 4 / (1024.0 * 1024.0);
  std::printf("SDM text: %.1f MiB; values: %llu, %.1f MiB as 32-bit floats\n",
              static_cast<double>(study.sdmBytes) / (1024.0 * 1024.0),
              static_cast<unsigned long long>(study.valueCount), valueMiB);

  const std::string outputPath = folder.path + "/kelvora-output.txt";
  std::vector<char> buffer;
  readBytes(study.sdmPaths, buffer);  // warms the page cache and the buffer
  std::vector<double> bytes, streams, inspection, bytesCpu, streamsCpu, inspectionCpu, peak;
  std::vector<double> plugin, pluginCpu;
  std::printf("\n%-4s %22s %22s %22s %14s %14s %9s\n", "", "(a) bytes", "(b) streams",
              "(c) kelvora", "(c)/(a)", "(b)/(c)", "(c) peak");
  std::printf("%-4s %22s %22s %22s %14s %14s %9s\n", "run", "wall s   cpu s", "wall s   cpu s",
              "wall s   cpu s", "wall   cpu", "wall   cpu", "MiB");
  const auto printRow = [](const char* label, double a, double aCpu, double b, double bCpu,
                           double c, double cCpu, double peakMiB) {
    std::printf("%-4s %12.3f %9.3f %12.3f %9.3f %12.3f %9.3f %7.2f %6.2f %7.2f %6.2f %9.1f\n",
                label, a, aCpu, b, bCpu, c, cCpu, c / a, cCpu / aCpu, b / c, bCpu / cCpu, peakMiB);
  };
  for (int r = 0; r < options.runs; ++r) {
    const Times a = readBytes(study.sdmPaths, buffer);
    const Times b = readWithStreams(study.sdmPaths);
    const ChildRun host =
        inspect({options.host, "--open", study.mdmPath, options.plugin}, outputPath);
    const ChildRun child = inspect({options.kelvora, study.mdmPath}, outputPath);
    if ((child.exitStatus != 0 && child.exitStatus != 1) || host.exitStatus != 0) {
      std::printf("kelvora ended with status %d, the host with %d; the last output is in %s\n",
                  child.exitStatus, host.exitStatus, outputPath.c_str());
      folder.keep = true;
      return 1;
    }
    plugin.push_back(host.times.wall);
    pluginCpu.push_back(host.times.cpu);
    bytes.push_back(a.wall);
    bytesCpu.push_back(a.cpu);
    streams.push_back(b.wall);
    streamsCpu.push_back(b.cpu);
    inspection.push_back(child.times.wall);
    inspectionCpu.push_back(child.times.cpu);
    peak.push_back(child.peakMiB);
    printRow(std::to_string(r + 1).c_str(), a.wall, a.cpu, b.wall, b.cpu, child.times.wall,
             child.times.cpu, child.peakMiB);
    std::fflush(stdout);
  }
  const double a = median(bytes), b = median(streams), c = median(inspection);
  const double aCpu = median(bytesCpu), bCpu = median(streamsCpu), cCpu = median(inspectionCpu);
  printRow("med", a, aCpu, b, bCpu, c, cCpu, median(peak));
  const double peakLimit = 1.5 * valueMiB + 64;
  std::printf("\n(c)/(a) = %.2f, %.2f in processor time (target <= 4)\n", c / a, cCpu / aCpu);
  std::printf("(b)/(c) = %.2f, %.2f in processor time (target >= 8)\n", b / c, bCpu / cCpu);
  std::printf("peak memory of (c) = %.1f MiB (target <= 1.5 x %.1f + 64 = %.1f MiB)\n",
              median(peak), valueMiB, peakLimit);
  std::printf("(d) the plug-in's run in the stand-in host: %.3f s wall, %.3f s cpu (medians)\n",
              median(plugin), median(pluginCpu));
  std::printf("throughput (wall): (a) %.0f MiB/s, (c) %.0f MiB/s of SDM text\n\n",
              static_cast<double>(study.sdmBytes) / (1024.0 * 1024.0) / a,
              static_cast<double>(study.sdmBytes) / (1024.0 * 1024.0) / c);

  const std::string findingsPath = folder.path + "/study_log.txt";
  return verify(study, findingsPath) ? 0 : 1;
}

}  // namespace
}  // namespace kelvora::bench

int main(int argc, char** argv) {
  try {
    return kelvora::bench::run(kelvora::bench::parseOptions(argc, argv));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sdm_benchmark: %s\n", error.what());
    return 2;
  }
}
