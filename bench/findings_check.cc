#include "findings_check.h"

#include <cstdio>
#include <fstream>

#include "designmatrix/mdm_file.h"
#include "designmatrix/reference_sdm_reader.h"
#include "designmatrix/sdm_file.h"
#include "inspection/predictor_checks.h"
#include "inspection/run_messages.h"
#include "inspection/sdm_predictors.h"
#include "inspection/subjects.h"
#include "inspection/zero_checks.h"

namespace kelvora::bench {
namespace {

// The run's own lines of a findings file: kelvora appends its findings beyond the log after them,
// under its marker line (kFindingsSectionMarker of the command-line inspector).
std::vector<std::string> runLinesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "kelvora: findings beyond the log:") break;
    lines.push_back(line);
  }
  return lines;
}

// The findings file's lines of a run that reads every SDM, as the run's checks give them on the
// reference reader's records (the order of src/inspection/inspection_run.cc).
std::vector<std::string> referenceFindings(const std::string& mdmPath,
                                           const std::vector<CondensedSdm>& sdms) {
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

}  // namespace

bool findingsMatchReference(const GeneratedStudy& study,
                            const std::vector<std::string>& findingsPaths) {
  // Of each reference record only what the checks read is kept, as a run keeps it.
  NameListTable names;
  ZeroColumnTable zeros;
  std::vector<CondensedSdm> reference;
  std::size_t differentRecords = 0;
  for (const std::string& path : study.sdmPaths) {
    const SdmFile record = testing::readSdmWithStreams(path);
    const std::string difference = testing::differenceBetween(readSdm(path), record);
    if (!difference.empty() && differentRecords++ == 0) {
      std::printf("  %s: readSdm differs from the reference reader: %s\n", path.c_str(),
                  difference.c_str());
    }
    reference.push_back(condense(record, names, zeros));
    reference.back().path = path;  // the record's own ends here
  }
  std::printf("records identical to the reference reader's: %zu of %zu\n",
              study.sdmPaths.size() - differentRecords, study.sdmPaths.size());
  bool same = differentRecords == 0;
  const std::vector<std::string> expected = referenceFindings(study.mdmPath, reference);
  for (const std::string& findingsPath : findingsPaths) {
    const std::vector<std::string> found = runLinesOf(findingsPath);
    std::printf("findings identical to those on the reference records: %s (%zu lines, %s)\n",
                found == expected ? "yes" : "NO", found.size(), findingsPath.c_str());
    same = same && found == expected;
  }
  return same;
}

}  // namespace kelvora::bench
