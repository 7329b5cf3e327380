#include "inspection/predictor_checks.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "inspection/prevailing_value.h"
#include "inspection/sdm_predictors.h"

namespace kelvora {
namespace {

// The SDMs that share one list of names: the first of them, which answers for all, and their
// studies in study order.
struct NameListHolders {
  const CondensedSdm* sdm = nullptr;
  std::vector<std::size_t> studies;
};

// One entry per distinct list (PredictorNameList::identity()), the first study's first. Lists of
// equal names held apart are compared by their names, as different lists.
std::vector<NameListHolders> holdersByList(const std::vector<CondensedSdm>& sdms) {
  std::vector<NameListHolders> holders;
  std::unordered_map<const void*, std::size_t> holderOf;
  for (std::size_t study = 0; study < sdms.size(); ++study) {
    const auto [entry, added] = holderOf.try_emplace(sdms[study].names.identity(), holders.size());
    if (added) holders.push_back(NameListHolders{&sdms[study], {}});
    holders[entry->second].studies.push_back(study);
  }
  return holders;
}

bool shareOneList(const std::vector<CondensedSdm>& sdms) {
  const void* first = sdms.front().names.identity();
  return std::all_of(sdms.begin(), sdms.end(),
                     [first](const CondensedSdm& sdm) { return sdm.names.identity() == first; });
}

// The studies of the lists whose name for predictor k is not `prevailing`, in study order; the
// first `most` of them.
std::vector<std::size_t> deviatingStudies(const std::vector<NameListHolders>& holders,
                                          std::int64_t k, std::string_view prevailing,
                                          std::size_t most) {
  std::vector<std::size_t> studies;
  for (const NameListHolders& holder : holders) {
    if (predictorNameAt(*holder.sdm, k) == prevailing) continue;
    const std::size_t taken = std::min(holder.studies.size(), most);
    studies.insert(studies.end(), holder.studies.begin(),
                   holder.studies.begin() + static_cast<std::ptrdiff_t>(taken));
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

  const std::vector<NameListHolders> holders = holdersByList(sdms);
  std::size_t room = most;
  for (std::int64_t k = 0; k < compared && room > 0; ++k) {
    const std::string_view firstName = predictorNameAt(*holders.front().sdm, k);
    const bool same =
        std::all_of(holders.begin() + 1, holders.end(), [k, firstName](const NameListHolders& h) {
          return predictorNameAt(*h.sdm, k) == firstName;
        });
    if (same) continue;

    std::vector<SharedName> names;
    names.reserve(holders.size());
    for (const NameListHolders& holder : holders) {
      names.push_back(SharedName{predictorNameAt(*holder.sdm, k), holder.studies.size()});
    }
    NameMismatch mismatch;
    mismatch.predictor = k;
    mismatch.prevailing = prevailingSharedName(std::move(names));
    mismatch.deviatingStudies = deviatingStudies(holders, k, mismatch.prevailing, room);
    room -= mismatch.deviatingStudies.size();
    check.mismatches.push_back(std::move(mismatch));
  }
  check.agree = check.mismatches.empty();
  return check;
}

}  // namespace kelvora
