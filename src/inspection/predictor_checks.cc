#include "inspection/predictor_checks.h"

#include <algorithm>
#include <string_view>

#include "inspection/prevailing_value.h"
#include "inspection/sdm_predictors.h"

namespace kelvora {

CountCheck checkPredictorCounts(const std::vector<CondensedSdm>& sdms) {
  CountCheck check;
  check.n = interestCountOf(sdms.front());
  check.agree = std::all_of(sdms.begin(), sdms.end(), [&check](const CondensedSdm& sdm) {
    return interestCountOf(sdm) == check.n;
  });
  if (check.agree) {
    check.prevailing = check.n;
    return check;
  }
  std::vector<std::int64_t> counts;
  counts.reserve(sdms.size());
  for (const CondensedSdm& sdm : sdms) counts.push_back(interestCountOf(sdm));
  check.prevailing = prevailingCount(counts);
  for (std::size_t study = 0; study < sdms.size(); ++study) {
    if (counts[study] != check.prevailing) check.deviatingStudies.push_back(study);
  }
  return check;
}

NameCheck checkPredictorNames(const std::vector<CondensedSdm>& sdms, std::int64_t n) {
  std::size_t mostNames = 0;
  for (const CondensedSdm& sdm : sdms) mostNames = std::max(mostNames, nameCountOf(sdm));
  const std::int64_t compared =
      std::clamp<std::int64_t>(n, 0, static_cast<std::int64_t>(mostNames));

  NameCheck check;
  const CondensedSdm& first = sdms.front();
  for (std::int64_t k = 0; k < compared; ++k) {
    const std::string_view firstName = predictorNameAt(first, k);
    const bool same = std::all_of(
        sdms.begin() + 1, sdms.end(),
        [k, firstName](const CondensedSdm& sdm) { return predictorNameAt(sdm, k) == firstName; });
    if (same) continue;

    std::vector<std::string_view> names;
    names.reserve(sdms.size());
    for (const CondensedSdm& sdm : sdms) names.push_back(predictorNameAt(sdm, k));
    NameMismatch mismatch;
    mismatch.predictor = k;
    mismatch.prevailing = prevailingName(names);
    for (std::size_t study = 0; study < sdms.size(); ++study) {
      if (names[study] != mismatch.prevailing) mismatch.deviatingStudies.push_back(study);
    }
    check.mismatches.push_back(std::move(mismatch));
  }
  check.agree = check.mismatches.empty();
  return check;
}

}  // namespace kelvora
