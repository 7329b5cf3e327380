#include "inspection/predictor_checks.h"

#include <algorithm>
#include <string_view>

#include "inspection/name_list_groups.h"
#include "inspection/prevailing_value.h"
#include "inspection/sdm_predictors.h"

namespace kelvora {
namespace {

using NameGroups = std::vector<NameListGroup<CondensedSdm>>;

std::string_view nameOf(const CondensedSdm& sdm, std::int64_t k) { return predictorNameAt(sdm, k); }

bool shareOneList(const std::vector<CondensedSdm>& sdms) {
  const void* first = sdms.front().names.identity();
  return std::all_of(sdms.begin(), sdms.end(),
                     [first](const CondensedSdm& sdm) { return sdm.names.identity() == first; });
}

// The studies of the lists whose name for predictor k is not `prevailing`, in study order; the
// first `most` of them.
std::vector<std::size_t> deviatingStudies(const NameGroups& groups, std::int64_t k,
                                          std::string_view prevailing, std::size_t most) {
  std::vector<std::size_t> studies;
  for (const NameListGroup<CondensedSdm>& group : groups) {
    if (nameOf(*group.first, k) == prevailing) continue;
    const std::size_t taken = std::min(group.members.size(), most);
    studies.insert(studies.end(), group.members.begin(),
                   group.members.begin() + static_cast<std::ptrdiff_t>(taken));
  }
  std::sort(studies.begin(), studies.end());
  if (studies.size() > most) studies.resize(most);
  return studies;
}

}  // namespace

CountCheck checkPredictorCounts(const std::vector<CondensedSdm>& sdms, std::size_t most) {
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
  for (std::size_t study = 0; study < sdms.size() && check.deviatingStudies.size() < most;
       ++study) {
    if (counts[study] != check.prevailing) check.deviatingStudies.push_back(study);
  }
  return check;
}

NameCheck checkPredictorNames(const std::vector<CondensedSdm>& sdms, std::int64_t n,
                              std::size_t most) {
  NameCheck check;
  if (shareOneList(sdms)) return check;
  std::size_t mostNames = 0;
  for (const CondensedSdm& sdm : sdms) mostNames = std::max(mostNames, nameCountOf(sdm));
  const std::int64_t compared =
      std::clamp<std::int64_t>(n, 0, static_cast<std::int64_t>(mostNames));

  const NameGroups groups = groupByNameList<CondensedSdm>(
      sdms.size(), [&sdms](std::size_t study) -> const CondensedSdm& { return sdms[study]; });
  std::size_t room = most;
  for (std::int64_t k = 0; k < compared && room > 0; ++k) {
    const std::string_view firstName = nameOf(*groups.front().first, k);
    const bool same = std::all_of(groups.begin() + 1, groups.end(), [k, firstName](const auto& g) {
      return nameOf(*g.first, k) == firstName;
    });
    if (same) continue;
    NameMismatch mismatch;
    mismatch.predictor = k;
    mismatch.prevailing = prevailingNameAt(groups, k, nameOf);
    mismatch.deviatingStudies = deviatingStudies(groups, k, mismatch.prevailing, room);
    room -= mismatch.deviatingStudies.size();
    check.mismatches.push_back(std::move(mismatch));
  }
  check.agree = check.mismatches.empty();
  return check;
}

}  // namespace kelvora
