#include "inspection_session.h"

#include <cstdio>
#include <exception>
#include <string>

#include "cli_dialogs.h"
#include "inspection/inspection_run.h"
#include "log/plugin_log.h"
#include "outcome_json.h"
#include "progress_line.h"

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

ExitStatus inspectOne(const std::string& mdmFile, const CliOptions& options,
                      const SessionStreams& streams, ProgressLine& progress) {
  CommandLineDialogs dialogs(mdmFile, options, streams.inputIsTerminal, streams.input, progress);
  try {
    const RunOutcome outcome = runInspection(dialogs);
    progress.erase();
    if (options.json) write(jsonLine(outcomeJson(outcome)), stdout);
    return exitStatusOf(outcome);
  } catch (const std::exception& error) {
    progress.erase();
    write("kelvora: the inspection of " + mdmFile + " stopped: " + error.what() + "\n", stderr);
  } catch (...) {
    progress.erase();
    write("kelvora: the inspection of " + mdmFile + " stopped\n", stderr);
  }
  if (options.json) write(jsonLine(interruptedRunJson(mdmFile)), stdout);
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
