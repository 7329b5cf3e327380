// The one place where an inspection run's results become the log's lines. Each function returns
// the lines in the order they are written; a line that reports a finding carries that finding,
// whose `line` is the text itself. Progress lines begin with the plug-in's name and ">  ", finding
// lines with "!!!  ". No text holds a line end: the run writes each line with one flush.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "inspection/predictor_checks.h"
#include "inspection/run_outcome.h"
#include "inspection/sdm_predictors.h"
#include "inspection/subjects.h"
#include "inspection/zero_checks.h"

namespace kelvora {

struct ReportLine {
  std::string text;
  std::optional<Finding> finding;
};
using Report = std::vector<ReportLine>;

// The MDM dialog of the run.
extern const char kMdmDialogTitle[];
extern const char kMdmDialogFilter[];

// Lines of the run itself.
ReportLine startInspectingLine(const std::string& mdmPath);
ReportLine readSdmsLine(std::size_t studyCount);
ReportLine noStudiesLine();
ReportLine sdmTooLargeLine(const std::string& sdmPath);
// `sdmPath`: the SDM that took what the run keeps past its ceiling of `maxSlots` value slots.
ReportLine runTooLargeLine(const std::string& sdmPath, std::int64_t maxSlots);
// `beyond`: the first finding past the `maxFindings` a run reports.
ReportLine tooManyFindingsLine(const Finding& beyond, std::size_t maxFindings);
ReportLine savedFindingsLine(const std::string& findingsPath);
ReportLine findingsNotSavedLine(const std::string& findingsPath);

// Findings whose lines the design-matrix readers and the MDM writer write themselves.
Finding mdmUnreadableFinding(const std::string& mdmPath);
Finding sdmUnreadableFinding(const std::string& sdmPath, Severity severity);
Finding mdmNotSavedFinding(const std::string& targetPath);

// The checks' reports. `sdms` are the run's SDMs, which the results index.
Report countReport(const CountCheck& check, const std::vector<CondensedSdm>& sdms);
Report nameReport(const NameCheck& check, const std::vector<CondensedSdm>& sdms);
// The subject count line, then the zero-across-runs findings or the none-found line.
Report subjectReport(const std::vector<SubjectGroup>& groups,
                     const std::vector<ZeroAcrossRuns>& zeros,
                     const std::vector<CondensedSdm>& sdms);
// The zero-confound findings or the none-found line.
Report confoundReport(const std::vector<ZeroConfound>& zeros,
                      const std::vector<CondensedSdm>& sdms);

}  // namespace kelvora
