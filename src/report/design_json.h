// The rank check's findings in the inspector's --json object: the member "designFindings", one
// object per dependency of every SDM read. The layout is published with the rest of the object
// (doc/kelvora-json.schema.json, README); its codes are stable:
//   RANK_DEFICIENT_DESIGN  predictors whose effects cannot be estimated (an exact dependency, or an
//                          all-zero column)
//   NEAR_DEPENDENT_DESIGN  a near-dependency whose condition index exceeds the documented threshold
//   RANK_CHECK_SKIPPED     the SDM is outside withinRankCheckBudget (wider than
//                          kRankCheckMaxColumns, or more work than kRankCheckMaxWork): not checked
//   DESIGN_DEPENDENCIES_MORE  the dependencies beyond the first kMostListedDependencies of an SDM,
//                          counted ("dependencies")
//   PREDICTOR_CORRELATION  two predictors with |r| >= 0.4 (note) or >= 0.7 (warning); member "r"
//   PREDICTOR_CORRELATION_MORE  the pairs beyond the strongest few of an SDM, counted ("pairs")
//   HIGH_VIF               a predictor of interest with VIF > 5 (note) or > 10 (warning); member
//                          "vif", null for an infinite one (part of an exact dependency)
// The rank check's have severity "warning" (RANK_CHECK_SKIPPED, and NEAR_DEPENDENT_DESIGN among
// confounds alone: "note"), as the record of all findings gives them.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "analysis/design_rank.h"
#include "analysis/finding_policy.h"
#include "analysis/study_designs.h"

namespace kelvora::report {

// Hands each design finding, an object {code, severity, file, rank, columns, conditionIndex,
// dependent, predictors}, to `visit`, by study (those forEachToldDesign tells) and then in the
// order of RankCheck::dependencies:
// the elements of the array "designFindings", one at a time, so that no copy of all of them is
// held. Strings are Latin-1 code points of the bytes, as everywhere in the object. `policy`, when
// given, decides as in the record of all findings: a finding it ignores is left out, and one it
// gives a severity has that "severity".
void forEachDesignFinding(const analysis::StudyDesigns& designs,
                          const std::function<void(const nlohmann::ordered_json&)>& visit,
                          const analysis::FindingPolicy* policy = nullptr);

// Hands each SDM read an object {file, rank, columns, conditionNumber, conditionGrade,
// interestConditionNumber, interestConditionGrade}: the elements of the array "sdmDesigns".
// conditionNumber is null when the design has no full rank (infinite), has no column or was not
// checked; conditionGrade null when not checked or without a column (shownConditionNumber,
// shownConditionGrade). The interest pair is the predictors of interest's after the confounds and
// the constant, null likewise (shownInterestConditionNumber, shownInterestConditionGrade).
void forEachSdmDesign(const analysis::StudyDesigns& designs,
                      const std::function<void(const nlohmann::ordered_json&)>& visit);

}  // namespace kelvora::report
