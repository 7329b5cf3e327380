// sdm_benchmark: how fast a study is inspected, against how fast its bytes can be read; how the
// inspection scales with the reading threads and with the study's size; and its peak memory.
//
// It generates each study (study_generator.h) into a fresh temporary folder, by default one of
// 400 SDMs and one of 4,000, and measures, on the same files and in each of several repetitions:
//   (a) reading the bytes alone: every SDM read into memory and discarded;
//   (b) the reference reader (tests/designmatrix/reference_sdm_reader.h), which extracts every
//       value with standard streams;
//   (c) the whole inspection run of kelvora on the study's MDM, started as a child process, with
//       its peak resident memory: on all threads (KELVORA_READ_THREADS unset), and again on one;
//   (d) the plug-in's run alone: the stand-in host loading the plug-in and running it once on the
//       MDM, so that what kelvora adds does not hide a change of the plug-in's own speed.
// kelvora is asked the study's contrasts (study_generator.h), as an analysis would ask them.
// Per study it prints every repetition, the medians, (c)/(a), (b)/(c) and (c)/(d) in elapsed and in
// processor time, the throughput of (c), its speed-up from one thread to all, and its peaks
// against the bound that the read-ahead window gives; then it checks the findings
// (findings_check.h). Last it compares the studies: a run linear in the study has the same
// throughput on both, and its peak memory does not grow with the study.
//
// Exit status: 0, or 1 when a check finds a difference or a child fails, 2 on a usage error or an
// error of the benchmark itself. Linux only: the children's peak memory comes from wait4, in
// peak_launcher.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_run.h"
#include "findings_check.h"
#include "inspection/sdm_read_ahead.h"
#include "study_generator.h"
#include "study_reads.h"
#include "timing.h"

namespace kelvora::bench {
namespace {

// kelvora reads with this many threads; unset, with as many as the hardware has.
constexpr char kReadThreadsVariable[] = "KELVORA_READ_THREADS";

// The bound of a run's peak memory: a fixed allowance for the program, its libraries and what it
// keeps of every SDM, plus the values of the SDMs in the read-ahead window.
constexpr double kFixedAllowanceMiB = 64;
// The read-ahead window holds at most this many SDMs per reading thread: one being read, and one
// read and waiting for its turn in the study's order. The run's own figure: the bound follows it.
constexpr std::size_t kWindowSdmsPerThread = SdmReadAhead::kWindowPerThread;
// How far the large study's peak may be from the small one's: memory does not grow with the study.
constexpr double kPeakGrowthAllowed = 0.10;

constexpr double kMiB = 1024.0 * 1024.0;

struct StudyPlan {
  StudyShape shape;
  int repetitions = 0;
  bool wanted = true;
};

struct Options {
  StudyPlan small{StudyShape{}, 5};
  StudyPlan large{StudyShape{4000}, 3};
  std::string kelvora = KELVORA_CLI_PATH;
  std::string host = KELVORA_HOST_PATH;
  std::string plugin = KELVORA_PLUGIN_PATH;
  std::string launcher = KELVORA_PEAK_LAUNCHER_PATH;
  bool keepStudy = false;
  bool contrasts = true;  // kelvora (c) is asked the study's contrasts
};

const char kUsage[] =
    "usage: sdm_benchmark [--sdms N] [--runs N] [--large-sdms N] [--large-runs N]\n"
    "                     [--no-small | --no-large] [--data-points N] [--predictors N]\n"
    "                     [--kelvora PATH] [--host PATH --plugin PATH] [--keep-study]\n"
    "                     [--no-contrasts]\n"
    "defaults: a study of 400 SDMs measured 5 times and one of 4000 SDMs measured 3 times, each\n"
    "SDM 1200 data points x 36 predictors; the kelvora, stand-in host and plug-in of this build\n";

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
      options.small.shape.sdms = number();
    } else if (option == "--runs") {
      options.small.repetitions = number();
    } else if (option == "--large-sdms") {
      options.large.shape.sdms = number();
    } else if (option == "--large-runs") {
      options.large.repetitions = number();
    } else if (option == "--no-small") {
      options.small.wanted = false;
    } else if (option == "--no-large") {
      options.large.wanted = false;
    } else if (option == "--data-points") {
      options.small.shape.dataPoints = options.large.shape.dataPoints = number();
    } else if (option == "--predictors") {
      options.small.shape.predictors = options.large.shape.predictors = number();
    } else if (option == "--kelvora" && i + 1 < argc) {
      options.kelvora = argv[++i];
    } else if (option == "--host" && i + 1 < argc) {
      options.host = argv[++i];
    } else if (option == "--plugin" && i + 1 < argc) {
      options.plugin = argv[++i];
    } else if (option == "--keep-study") {
      options.keepStudy = true;
    } else if (option == "--no-contrasts") {
      options.contrasts = false;
    } else {
      throw std::runtime_error("unknown option " + option + "\n" + kUsage);
    }
  }
  if (!options.small.wanted && !options.large.wanted) {
    throw std::runtime_error(std::string("--no-small and --no-large leave no study\n") + kUsage);
  }
  return options;
}

// 1234567 as "1,234,567".
std::string withThousands(std::uint64_t number) {
  std::string digits = std::to_string(number);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
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

// One measure's figures over the repetitions.
struct Series {
  std::vector<double> wall, cpu, peakMiB;

  void add(const Times& times) {
    wall.push_back(times.wall);
    cpu.push_back(times.cpu);
  }
  void add(const ChildRun& run) {
    add(run.times);
    peakMiB.push_back(run.peakMiB);
  }
  Times medians() const { return {median(wall), median(cpu)}; }
  ChildRun medianRun() const {
    ChildRun run;
    run.times = medians();
    run.peakMiB = median(peakMiB);
    return run;
  }
};

// A study's medians, and what the comparison of the studies needs.
struct StudyFigures {
  int sdms = 0;
  double textMiB = 0;
  Times inspection;
  double speedUp = 0;
  double peakMiB = 0;
  double boundMiB = 0;
  double pluginPeakMiB = 0;
  bool findingsMatch = false;
};

// 64 MiB + the window's SDMs on `threads` threads, each as large as the study's largest.
double peakBoundMiB(unsigned threads, const GeneratedStudy& study) {
  return kFixedAllowanceMiB +
         kWindowSdmsPerThread * threads * static_cast<double>(study.largestSdmValues) * 4 / kMiB;
}

void printPeak(const char* run, double peakMiB, unsigned threads, const GeneratedStudy& study) {
  const double bound = peakBoundMiB(threads, study);
  std::printf(
      "peak memory of (c)%s: %.1f MiB; bound %.0f MiB + %zu x %u x %.3f MiB = %.1f MiB: %s\n", run,
      peakMiB, kFixedAllowanceMiB, kWindowSdmsPerThread, threads,
      static_cast<double>(study.largestSdmValues) * 4 / kMiB, bound,
      peakMiB <= bound ? "within" : "NOT within");
}

void printHeading() {
  const char* const child = "wall s   cpu s  peak MiB";
  std::printf("\n%-4s %16s %16s %26s %26s %26s\n", "", "(a) bytes", "(b) streams", "(c) kelvora",
              "(c) kelvora, 1 thread", "(d) plug-in");
  std::printf("%-4s %16s %16s %26s %26s %26s\n", "rep", "wall s   cpu s", "wall s   cpu s", child,
              child, child);
}

void printRow(const std::string& label, const Times& a, const Times& b, const ChildRun& c,
              const ChildRun& c1, const ChildRun& d) {
  std::printf("%-4s %8.3f %7.3f %8.3f %7.3f", label.c_str(), a.wall, a.cpu, b.wall, b.cpu);
  for (const ChildRun* run : {&c, &c1, &d}) {
    std::printf(" %8.3f %7.3f %9.1f", run->times.wall, run->times.cpu, run->peakMiB);
  }
  std::printf("\n");
  std::fflush(stdout);
}

struct Measures {
  Series bytes, streams, inspection, inspectionOnOne, plugin;
};

// The repetitions on `study`; nothing when a child failed (its output is kept and named).
// kelvora's findings file is left beside the MDM for the run on all threads, in `oneThreadFindings`
// for the run on one.
std::optional<Measures> measure(const StudyPlan& plan, const GeneratedStudy& study,
                                const Options& options, TemporaryFolder& folder,
                                const std::string& oneThreadFindings) {
  const std::string outputPath = folder.path + "/kelvora-output.txt";
  const std::vector<std::string> allThreads = environmentWith(kReadThreadsVariable, "");
  const std::vector<std::string> oneThread = environmentWith(kReadThreadsVariable, "1");
  // kelvora ends with 1 when the run reports something, and the study has all-zero confounds.
  const auto inspected = [](const ChildRun& run) {
    return run.exitStatus == 0 || run.exitStatus == 1;
  };
  const auto kelvoraRun = [&](std::vector<std::string> arguments) {
    if (!options.contrasts) return arguments;
    for (const std::string& contrast : study.contrasts) {
      arguments.insert(arguments.end() - 1, {"--contrast", contrast});
    }
    return arguments;
  };
  std::vector<char> buffer;
  readBytes(study.sdmPaths, buffer);  // warms the page cache and the buffer
  Measures measures;
  printHeading();
  for (int r = 0; r < plan.repetitions; ++r) {
    const Times a = readBytes(study.sdmPaths, buffer);
    const Times b = readWithStreams(study.sdmPaths);
    const ChildRun d =
        runChild(options.launcher, {options.host, "--open", study.mdmPath, options.plugin},
                 allThreads, outputPath);
    const ChildRun c1 =
        runChild(options.launcher,
                 kelvoraRun({options.kelvora, "--findings-dir", oneThreadFindings, study.mdmPath}),
                 oneThread, outputPath);
    const ChildRun c = runChild(options.launcher, kelvoraRun({options.kelvora, study.mdmPath}),
                                allThreads, outputPath);
    if (!inspected(c1) || !inspected(c) || d.exitStatus != 0) {
      std::printf(
          "kelvora ended with status %d on one thread, %d on all, the host with %d; "
          "the last output is in %s\n",
          c1.exitStatus, c.exitStatus, d.exitStatus, outputPath.c_str());
      folder.keep = true;
      return std::nullopt;
    }
    measures.bytes.add(a);
    measures.streams.add(b);
    measures.inspection.add(c);
    measures.inspectionOnOne.add(c1);
    measures.plugin.add(d);
    printRow(std::to_string(r + 1), a, b, c, c1, d);
  }
  return measures;
}

// Prints the medians and what they give.
StudyFigures summarise(const Measures& measures, const GeneratedStudy& study, unsigned threads) {
  const Times a = measures.bytes.medians(), b = measures.streams.medians();
  const ChildRun all = measures.inspection.medianRun(), one = measures.inspectionOnOne.medianRun();
  const ChildRun plugin = measures.plugin.medianRun();
  const Times c = all.times, c1 = one.times;
  StudyFigures figures;
  figures.sdms = static_cast<int>(study.sdmPaths.size());
  figures.textMiB = static_cast<double>(study.sdmBytes) / kMiB;
  figures.inspection = c;
  figures.speedUp = c1.wall / c.wall;
  figures.peakMiB = all.peakMiB;
  figures.boundMiB = peakBoundMiB(threads, study);
  figures.pluginPeakMiB = plugin.peakMiB;
  printRow("med", a, b, all, one, plugin);

  std::printf("\n(c)/(a) = %.2f, %.2f in processor time (target <= 4 in wall time on 400 SDMs)\n",
              c.wall / a.wall, c.cpu / a.cpu);
  std::printf("(b)/(c) = %.2f, %.2f in processor time (target >= 20)\n", b.wall / c.wall,
              b.cpu / c.cpu);
  std::printf("(c)/(d) = %.2f, %.2f in processor time (target <= 1.3 in wall time on 400 SDMs)\n",
              c.wall / plugin.times.wall, c.cpu / plugin.times.cpu);
  std::printf("throughput of (c): %.0f MiB/s of SDM text, %.0f MiB/s in processor time\n",
              figures.textMiB / c.wall, figures.textMiB / c.cpu);
  std::printf("speed-up of (c) from 1 thread to %u: %.2f in wall time (processor time x %.2f)\n",
              threads, figures.speedUp, c.cpu / c1.cpu);
  printPeak("", figures.peakMiB, threads, study);
  printPeak(" on 1 thread", one.peakMiB, 1, study);
  return figures;
}

// Generates the study, measures it and checks its findings; nothing when a child failed.
std::optional<StudyFigures> measureStudy(const StudyPlan& plan, const Options& options,
                                         unsigned threads) {
  TemporaryFolder folder;
  folder.keep = options.keepStudy;
  const StudyShape& shape = plan.shape;
  std::printf(
      "\n== %d SDMs (%d subjects x %d runs) x %d data points x %d predictors, "
      "repetitions: %d ==\n",
      shape.sdms, (shape.sdms + shape.runsPerSubject - 1) / shape.runsPerSubject,
      shape.runsPerSubject, shape.dataPoints, shape.predictors, plan.repetitions);
  const Stopwatch generation;
  const GeneratedStudy study = generateStudy(folder.path, shape);
  std::printf("generated in %.1f s into %s\n", generation.stop().wall, folder.path.c_str());
  std::printf("SDM text: %s bytes (%.1f MiB); values: %s (%.1f MiB as 32-bit floats)\n",
              withThousands(study.sdmBytes).c_str(), static_cast<double>(study.sdmBytes) / kMiB,
              withThousands(study.valueCount).c_str(),
              static_cast<double>(study.valueCount) * 4 / kMiB);
  std::printf("contrasts asked of kelvora (c):");
  if (options.contrasts) {
    for (const std::string& contrast : study.contrasts) std::printf(" \"%s\"", contrast.c_str());
  }
  std::printf("%s\n", !options.contrasts || study.contrasts.empty() ? " none" : "");

  const std::string oneThreadFindings = folder.path + "/one-thread";
  std::filesystem::create_directory(oneThreadFindings);
  const std::optional<Measures> measures = measure(plan, study, options, folder, oneThreadFindings);
  if (!measures) return std::nullopt;
  StudyFigures figures = summarise(*measures, study, threads);
  std::printf("\n");
  figures.findingsMatch = findingsMatchReference(
      study, {folder.path + "/study_log.txt", oneThreadFindings + "/study_log.txt"});
  return figures;
}

// A run linear in the study has the same throughput on both studies and a peak that does not grow.
void compareStudies(const StudyFigures& small, const StudyFigures& large) {
  std::printf("\n== both studies ==\n%-10s %10s %24s %10s %10s %10s %14s\n", "", "text MiB",
              "(c) MiB/s wall   cpu", "speed-up", "peak MiB", "bound MiB", "(d) peak MiB");
  for (const StudyFigures* study : {&small, &large}) {
    std::printf("%5d SDMs %10.1f %14.0f %9.0f %10.2f %10.1f %10.1f %14.1f\n", study->sdms,
                study->textMiB, study->textMiB / study->inspection.wall,
                study->textMiB / study->inspection.cpu, study->speedUp, study->peakMiB,
                study->boundMiB, study->pluginPeakMiB);
  }
  const auto throughputRatio = [&](double Times::*time) {
    return (large.textMiB / large.inspection.*time) / (small.textMiB / small.inspection.*time);
  };
  std::printf(
      "throughput of the %d SDMs against the %d: %.2f, %.2f in processor time "
      "(1 when the run is linear in the study)\n",
      large.sdms, small.sdms, throughputRatio(&Times::wall), throughputRatio(&Times::cpu));
  // Where memory grows with the study, the growth per SDM says what a run keeps of each.
  const auto printGrowth = [&](const char* run, double smallMiB, double largeMiB) {
    const double growth = largeMiB / smallMiB - 1;
    std::printf(
        "peak memory of %s on the %d SDMs: %+.1f %% of that on the %d (%+.1f KiB per SDM): %s\n",
        run, large.sdms, 100 * growth, small.sdms,
        (largeMiB - smallMiB) * 1024 / (large.sdms - small.sdms),
        std::fabs(growth) <= kPeakGrowthAllowed ? "within 10 %" : "NOT within 10 %");
  };
  printGrowth("(c)", small.peakMiB, large.peakMiB);
  printGrowth("(d), the plug-in's run,", small.pluginPeakMiB, large.pluginPeakMiB);
}

int run(const Options& options) {
  // The count of a run with the variable unset: the hardware's, within the run's bounds.
  ::unsetenv(kReadThreadsVariable);
  const unsigned threads = readThreadCount();
  std::printf("reading threads of (c): %u (%s unset), read-ahead window %zu SDMs per thread\n",
              threads, kReadThreadsVariable, kWindowSdmsPerThread);
  std::printf("peak of a trivial program (/bin/true) started as (c) and (d) are: %.2f MiB\n",
              trivialProgramPeak(options.launcher));
  std::optional<StudyFigures> small, large;
  if (options.small.wanted && !(small = measureStudy(options.small, options, threads))) return 1;
  if (options.large.wanted && !(large = measureStudy(options.large, options, threads))) return 1;
  if (small && large) compareStudies(*small, *large);
  const bool findingsMatch = (!small || small->findingsMatch) && (!large || large->findingsMatch);
  return findingsMatch ? 0 : 1;
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
