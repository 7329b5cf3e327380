// The HTML report of one inspection run: a single self-contained page (inline CSS, pictures as
// data: URIs, no script, a content security policy that forbids every network load), readable
// offline. Sections: a summary (studies, subjects, predictors of interest, how the run ended, the
// number of findings by code), the findings grouped by code with the log line each was written as,
// the subjects x predictors-of-interest grid of all-zero predictors, the subjects and their runs
// (subject_runs_section.h), the design matrices as
// pictures, and the rank check of every SDM.
//
// Bounds of its size: the pictures of at most the SDMs chosen (report_file.h), each drawn once per
// content and within the bounds of design_figures.h; at most 1,000 findings listed a code, and at
// most 200 predictors of interest in the grid; each list says what it left out.
//
// Elements carry data attributes (data-code, data-subject, data-predictor, data-file) with the
// same values as the --json object, so that tools and tests can compare the two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "further_finding.h"
#include "inspection/run_outcome.h"
#include "study_designs.h"

namespace kelvora::report {

// The pictures of one SDM, by where they come from: the SDM as the run read it. The report draws
// them (design_drawing.h) only for the SDMs it shows; an SDM listed again with the same content
// is drawn once, and its other listings refer to that picture.
struct DesignPictures {
  std::size_t study = 0;          // index into StudyDesigns::sdms
  std::string path;               // the SDM's path as the run read it
  std::uint64_t fingerprint = 0;  // fingerprintOf what the run read
  std::int64_t columns = 0;
  std::int64_t interestCount = 0;
};

struct StudyReport {
  StudyDesigns designs;
  std::vector<DesignPictures> pictures;   // in study order; fewer than the SDMs in large studies
  diagnostics::StudyDiagnosis diagnosis;  // what kelvora finds beyond the log
};

// The whole page, UTF-8 (file bytes shown as Latin-1 code points, as in the JSON).
std::string renderReport(const RunOutcome& outcome, const StudyReport& study);

}  // namespace kelvora::report
