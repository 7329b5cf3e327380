// The HTML report of one inspection run: a single self-contained page (inline CSS, pictures as
// data: URIs, no script, a content security policy that forbids every network load), readable
// offline. Sections: a summary (studies, subjects, predictors of interest, how the run ended, the
// number of findings by code), the findings grouped by code with the log line each was written as,
// the subjects x predictors-of-interest grid of all-zero predictors, the subjects x contrasts grid
// when contrasts were asked (contrast_grid.h), the subjects and their runs
// (subject_runs_section.h), the design matrices as
// pictures, and the rank check of every SDM.
//
// Bounds of its size: the pictures of at most the SDMs chosen (report_file.h), each drawn once per
// content and within the bounds of design_figures.h; at most 1,000 findings listed a code, and at
// most 200 predictors of interest in the grid; each list says what it left out.
//
// The counts, the findings' lists and the design warnings beside each picture come from the record
// of all findings after the lab's config (finding_record.h): a finding the config ignores is in
// none of them, and the summary says how many were left out; the log's lines shown are the run's.
//
// Elements carry data attributes (data-code, data-subject, data-predictor, data-file) with the
// same values as the --json object, so that tools and tests can compare the two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/finding_record.h"
#include "analysis/inspected_study.h"
#include "analysis/study_designs.h"
#include "inspection/run_outcome.h"

namespace kelvora::report {

using analysis::FindingRecord;
using analysis::InspectedStudy;

// The whole page, UTF-8 (file bytes shown as Latin-1 code points, as in the JSON). `record` is
// the record of `outcome` and `study`, with the lab's config when one was given.
std::string renderReport(const RunOutcome& outcome, const InspectedStudy& study,
                         const FindingRecord& record);

}  // namespace kelvora::report
