// `kelvora --subjects`: the subjects of a study as kelvora's checks group them (--subject-rule),
// one line each on standard error after the further findings. Standard output stays the log's.
#pragma once

#include <cstdio>

#include "report/html_report.h"

namespace kelvora::report {

// Writes "kelvora: subjects by --subject-rule RULE: N", then per subject, in the order of its
// first study, 'kelvora: subject "ID": R runs: a.sdm, b.sdm' (the SDMs' file names, in study
// order), to `stream` one line at a time. Nothing when the study had no subjects (the MDM could
// not be read).
void writeSubjectTable(const analysis::InspectedStudy& study, std::FILE* stream);

}  // namespace kelvora::report
