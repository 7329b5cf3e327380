// The report's section "Subjects and their runs": each subject as kelvora's checks group the
// study (--subject-rule), its number of runs and its SDMs' file names. Bounded: at most
// kMostSubjectRows subjects and kMostRunsNamed file names a subject, each followed by how many
// were left out.
#pragma once

#include <cstddef>
#include <string>

#include "report/html_report.h"

namespace kelvora::report {

inline constexpr std::size_t kMostSubjectRows = 200;
inline constexpr std::size_t kMostRunsNamed = 20;

// The section's HTML; rows carry data-subject as the --json findings name subjects. A study
// without subjects (the MDM could not be read) gets a note instead of the table.
std::string subjectRunsSection(const InspectedStudy& study);

}  // namespace kelvora::report
