// What the study diagnostics look at: the MDM as the readers saw it and one summary per study.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/sdm_summary.h"
#include "designmatrix/mdm_file.h"

namespace kelvora::analysis {

struct StudyInput {
  std::string mdmPath;
  std::int32_t nrOfStudies = 0;  // as the header says
  MdmReadNotes mdmNotes;
  PathList sdmPaths;                    // one per study
  PathList functionalPaths;             // one per study
  std::vector<const SdmSummary*> sdms;  // one per study, in study order; not owned
};

}  // namespace kelvora::analysis
