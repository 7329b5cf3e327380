// A subject's runs together, as the group model combines them: one beta per predictor of interest
// across the runs (by name), each run with its own confounds. The subject's information is the sum
// of its runs' information matrices of all their predictors of interest (contrast_information.h),
// each run's on the design as written, added by name in study order; estimability is tested on the
// sum scaled to unit length per name, as for a run. Whatever the contrasts asked, the sum is the
// same, so no contrast's numbers depend on the others asked.
//
// A predictor of interest that no other run of the subject holds, and no contrast weighs, is taken
// out within its run first (its beta is that run's alone; the Schur complement leaves every other
// number as it is): runs of single-trial regressors of their own then add nothing but what is
// shared. What remains is at most kMostSubjectNames names: names x names doubles, one subject at
// a time. Cost: O(sum over runs of P_r^3 + N^3) for P_r predictors kept per run and N names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/contrast_information.h"
#include "analysis/study_designs.h"

namespace kelvora::analysis {

// The most names a subject's information holds: 256 x 256 doubles (512 KiB).
inline constexpr std::size_t kMostSubjectNames = 256;

struct SubjectInformation {
  std::vector<std::int32_t> place;  // per contrasted name: its place, -1 when no run holds it
  Eigen::VectorXd lengths;          // per place: the column's length over the runs
  // None: not made. No run of the subject was checked, one kept only its contrasted names (more
  // than kMostKeptInterest predictors of interest), or more than kMostSubjectNames names remain.
  std::optional<InformationSolver> solver;
};

// The information of the runs `studies` of one subject, `information` and `designs` indexed by
// study (a null information: that run was not checked, and adds nothing), for the contrasted
// `names`. Never throws except std::bad_alloc.
SubjectInformation subjectInformationOf(const std::vector<std::size_t>& studies,
                                        const std::vector<SharedContrastInformation>& information,
                                        const std::vector<SdmDesign>& designs,
                                        const std::vector<std::string>& names);

}  // namespace kelvora::analysis
