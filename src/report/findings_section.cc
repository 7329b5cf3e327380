#include "report/findings_section.h"

#include <cstdio>
#include <string>

#include "files/native_file.h"
#include "report/error_output.h"
#include "report/further_output.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records

bool addFindingsSection(const RunOutcome& outcome, const FindingRecord& record, std::FILE* echo) {
  const bool toFile = outcome.findingsFileKey && outcome.findingsPath;
  if (!toFile && echo == nullptr) return true;
  FilePtr file;
  bool written = true;
  forEachFurtherLine(record, [&](const std::string& line) {
    if (echo != nullptr) writeError(line + "\n", echo);
    if (!toFile || !written) return;
    if (file == nullptr) {
      file = openToAppend(*outcome.findingsPath, *outcome.findingsFileKey, WriteMode::kText);
      written = file != nullptr && std::fputs(kFindingsSectionMarker, file.get()) >= 0 &&
                std::fputc('\n', file.get()) != EOF;
      if (!written) return;
    }
    const std::string shown = withControlBytesShown(line) + "\n";
    written = std::fwrite(shown.data(), 1, shown.size(), file.get()) == shown.size();
  });
  if (file != nullptr && std::fclose(file.release()) != 0) written = false;
  if (!written) {
    writeError("kelvora: note: the findings beyond the log could not be added to " +
               *outcome.findingsPath + "\n");
  }
  return written;
}

}  // namespace kelvora::report
