// The pictures of one SDM as a report shows them (design_picture.h, design_correlation.h), drawn
// only for the SDMs a report shows: during the run the SDM design maker keeps of each SDM only
// where it was read and a fingerprint of what was read (DesignPictures), and the report reads
// those few SDMs again when it draws them. So the pictures, correlations and VIF of a study cost
// the memory and time of the SDMs shown, whatever the number of SDMs listed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/sdm_design_maker.h"
#include "designmatrix/sdm_file.h"

namespace kelvora::report {

struct DesignDrawing {
  std::string interestPng;  // empty when the SDM has no predictor of interest
  std::string confoundPng;  // empty when it has no confound
  int interestWidth = 0;    // pixel columns of each picture (predictors, or fewer when averaged)
  int confoundWidth = 0;
  int rows = 0;                // pixel rows of each picture (data points, or fewer when averaged)
  std::string correlationPng;  // the predictors' correlation heatmap; may be empty
  std::int64_t correlationSide = 0;       // its cells a side
  std::vector<double> varianceInflation;  // per predictor of interest (design_correlation.h)
  bool inflationSkipped = false;
};

// The drawing of `sdm`, whose first `interestCount` columns are the predictors of interest. Never
// throws except std::bad_alloc.
DesignDrawing drawDesign(const SdmFile& sdm, std::int64_t interestCount);

// Reads the SDM of `source` again, silently, and draws it; nothing when it has no column, cannot
// be read, or no longer holds what the run read (another fingerprint). Never throws except
// std::bad_alloc.
std::optional<DesignDrawing> drawDesignAgain(const analysis::DesignPictures& source);

}  // namespace kelvora::report
