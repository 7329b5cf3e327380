#include "inspection_session.h"

#include <cstdio>
#include <exception>
#include <string>

#include "cli_dialogs.h"
#include "design_json.h"
#include "inspection/inspection_run.h"
#include "log/plugin_log.h"
#include "outcome_json.h"
#include "progress_line.h"
#include "report_file.h"

namespace kelvora::cli {
namespace {

// The log sink is a plain function, so the progress line it must erase first is reached here.
ProgressLine* activeProgress = nullptr;

void write(const std::string& text, std::FILE* stream) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// One log entry, one line: the text as it is, then a line end.
void printLogEntry(const char* text) {
  if (activeProgress != nullptr) activeProgress->erase();
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// The sink and the progress line belong to one call of inspectAll, whatever way it ends.
class SinkInstallation {
 public:
  SinkInstallation(bool printLog, ProgressLine& progress) {
    activeProgress = &progress;
    setLogTextSink(printLog ? &printLogEntry : nullptr);
  }
  ~SinkInstallation() {
    setLogTextSink(nullptr);
    activeProgress = nullptr;
  }
  SinkInstallation(const SinkInstallation&) = delete;
  SinkInstallation& operator=(const SinkInstallation&) = delete;
};

// The study read again for the rank check and the report. The readers' lines (an SDM that cannot
// be opened) were already printed by the run, so they are not printed twice.
report::StudyReport readStudyAfterRun(const RunOutcome& outcome, const CliOptions& options,
                                      const std::optional<std::string>& locatedSdm) {
  struct Silence {
    LogTextSink restored;
    ~Silence() { setLogTextSink(restored); }
  } silence{options.json ? nullptr : &printLogEntry};
  setLogTextSink(nullptr);
  return report::readStudyReport(outcome, locatedSdm, options.report.has_value());
}

ExitStatus inspectOne(const std::string& mdmFile, const CliOptions& options,
                      const SessionStreams& streams, ProgressLine& progress) {
  CommandLineDialogs dialogs(mdmFile, options, streams.inputIsTerminal, streams.input, progress);
  try {
    const RunOutcome outcome = runInspection(dialogs);
    progress.erase();
    ExitStatus status = exitStatusOf(outcome);
    Json object = options.json ? outcomeJson(outcome) : Json();
    if (options.json || options.report) {
      const report::StudyReport study = readStudyAfterRun(outcome, options, dialogs.locatedSdm());
      if (options.json) object["designFindings"] = report::designFindingsJson(study.designs);
      std::string error;
      if (options.report && !report::writeReportFile(*options.report, outcome, study, error)) {
        write("kelvora: no report: " + error + "\n", stderr);
        status = worseOf(status, kNotInspected);
      }
    }
    if (options.json) write(jsonLine(object), stdout);
    return status;
  } catch (const std::exception& error) {
    progress.erase();
    write("kelvora: the inspection of " + mdmFile + " stopped: " + error.what() + "\n", stderr);
  } catch (...) {
    progress.erase();
    write("kelvora: the inspection of " + mdmFile + " stopped\n", stderr);
  }
  if (options.json) {
    Json object = interruptedRunJson(mdmFile);
    object["designFindings"] = Json::array();
    write(jsonLine(object), stdout);
  }
  return kNotInspected;
}

}  // namespace

ExitStatus inspectAll(const CliOptions& options, const SessionStreams& streams) {
  ProgressLine progress(streams.errorIsTerminal);
  SinkInstallation sink(!options.json, progress);
  ExitStatus status = kClean;
  for (const std::string& mdmFile : options.mdmFiles) {
    status = worseOf(status, inspectOne(mdmFile, options, streams, progress));
  }
  return status;
}

}  // namespace kelvora::cli
