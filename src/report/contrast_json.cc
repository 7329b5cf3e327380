#include "report/contrast_json.h"

#include <cmath>

#include "report/outcome_json.h"

namespace kelvora::report {

using namespace analysis;
namespace {

Json number(bool estimable, double value) {
  return estimable && std::isfinite(value) ? Json(value) : Json(nullptr);
}

Json estimateMembers(const ContrastEstimate& estimate) {
  const bool estimable = estimate.estimable.value_or(false);
  return Json{
      {"estimable", estimate.estimable ? Json(*estimate.estimable) : Json(nullptr)},
      {"null", estimate.null},
      {"efficiency", number(estimable, estimate.efficiency)},
      {"relativeEfficiency",
       estimate.relativeEfficiency ? Json(*estimate.relativeEfficiency) : Json(nullptr)},
      {"normalisedStd", number(estimable, estimate.normalisedStd)},
      {"unitEfficiency", number(estimable, estimate.unitEfficiency)},
      {"unitNormalisedStd", number(estimable, estimate.unitNormalisedStd)},
  };
}

}  // namespace

void forEachContrastRow(const StudyContrasts& contrasts, const StudyDesigns& designs,
                        const std::function<void(const Json&)>& visit) {
  for (const ContrastResult& result : contrasts.results) {
    const Json name = latin1String(result.contrast.name);
    for (const ContrastRun& run : result.runs) {
      Json row{{"contrast", name},
               {"file", latin1String(designs.sdms[run.study].path)},
               {"subject", nullptr},
               {"runs", nullptr},
               {"nullRuns", nullptr}};
      row.update(estimateMembers(run.estimate));
      visit(row);
    }
    for (const ContrastSubject& subject : result.subjects) {
      Json row{{"contrast", name},
               {"file", nullptr},
               {"subject", latin1String(subject.subject)},
               {"runs", subject.runs},
               {"nullRuns", subject.nullRuns}};
      row.update(estimateMembers(subject.estimate));
      visit(row);
    }
  }
}

}  // namespace kelvora::report
