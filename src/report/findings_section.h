// kelvora's section of the findings file: after the plug-in's lines, which stay as the run wrote
// them, the findings kelvora makes beyond the log, so that the file a user archives holds every
// finding. The section is one marker line, kFindingsSectionMarker, then the lines kelvora prints
// on standard error (further_output.h), in the same text; each line ends as the run's lines do
// (the file is added to in text mode: CR LF on Windows, LF elsewhere).
//
// The marker, like every line of the section, begins with "kelvora: ". The plug-in begins each of
// its lines with "Kelvora>  " or "!!!  " (a name from the files never leads a line), so no line of
// the section can be taken for one of the plug-in's, nor one of the plug-in's for the section's;
// and `grep '^kelvora: '` picks the whole section.
#pragma once

#include <cstdio>

#include "analysis/finding_record.h"
#include "inspection/run_outcome.h"

namespace kelvora::report {

inline constexpr char kFindingsSectionMarker[] = "kelvora: findings beyond the log:";

// Adds the section of `record` to the findings file of `outcome`, when this run made that file
// (RunOutcome::findingsFileKey) and kelvora has a line beyond the log; the file is opened with
// openToAppend, so a link or another file that took its name since is never written. When it
// cannot be added, standard error tells so in one line. Returns false then; true otherwise.
// With `echo` (kelvora's standard error), each line goes there too, whether or not there is a
// findings file: one rendering of the record serves both.
bool addFindingsSection(const RunOutcome& outcome, const analysis::FindingRecord& record,
                        std::FILE* echo = nullptr);

}  // namespace kelvora::report
