// The HTML report of one inspection run: a single self-contained page (inline CSS, pictures as
// data: URIs, no script, a content security policy that forbids every network load), readable
// offline. Sections: a summary (studies, subjects, predictors of interest, how the run ended, the
// number of findings by code), the findings grouped by code with the log line each was written as,
// the subjects x predictors-of-interest grid of all-zero predictors, the design matrices as
// pictures, and the rank check of every SDM.
//
// Elements carry data attributes (data-code, data-subject, data-predictor, data-file) with the
// same values as the --json object, so that tools and tests can compare the two.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "further_finding.h"
#include "inspection/run_outcome.h"
#include "study_designs.h"

namespace kelvora::report {

// The pictures of one SDM: predictors of interest and confounds apart, as PNG files, and the
// correlations of its predictors.
struct DesignPictures {
  std::size_t study = 0;       // index into StudyDesigns::sdms
  std::string interestPng;     // empty when the SDM has no predictor of interest
  std::string confoundPng;     // empty when it has no confound
  int rows = 0;                // pixel rows of each picture (data points, or fewer when averaged)
  std::string correlationPng;  // the predictors' correlation heatmap; may be empty
  std::vector<double> varianceInflation;  // per predictor of interest (design_correlation.h)
};

struct StudyReport {
  StudyDesigns designs;
  std::vector<DesignPictures> pictures;   // in study order; fewer than the SDMs in large studies
  diagnostics::StudyDiagnosis diagnosis;  // what kelvora finds beyond the log
};

// The whole page, UTF-8 (file bytes shown as Latin-1 code points, as in the JSON).
std::string renderReport(const RunOutcome& outcome, const StudyReport& study);

}  // namespace kelvora::report
