// SDMs grouped by the list of names they share (PredictorNameList::identity()), so that a check
// over the names looks at each distinct list once and weighs it by the SDMs that hold it, however
// often a study lists one SDM. The run's name check and kelvora's name diagnostics both use it.
// Lists of equal names held apart form groups of their own, which compare equal by their names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "inspection/prevailing_value.h"

namespace kelvora {

// The SDMs of one list: the first of them, which answers for all, and the positions of all of
// them in the sequence grouped, ascending.
template <typename Sdm>
struct NameListGroup {
  const Sdm* first = nullptr;
  std::vector<std::size_t> members;
};

// One group per distinct list among the `count` SDMs that `sdmAt(i)` gives (by reference), in the
// order of each list's first SDM. May throw std::bad_alloc.
template <typename Sdm, typename SdmAt>
std::vector<NameListGroup<Sdm>> groupByNameList(std::size_t count, SdmAt sdmAt) {
  std::vector<NameListGroup<Sdm>> groups;
  std::unordered_map<const void*, std::size_t> groupOf;
  for (std::size_t i = 0; i < count; ++i) {
    const Sdm& sdm = sdmAt(i);
    const auto [entry, added] = groupOf.try_emplace(sdm.names.identity(), groups.size());
    if (added) groups.push_back(NameListGroup<Sdm>{&sdm, {}});
    groups[entry->second].members.push_back(i);
  }
  return groups;
}

// The prevailing name of predictor k (prevailing_value.h) among every SDM of `groups`, of which
// `nameAt(sdm, k)` gives the name. `groups` must not be empty.
template <typename Sdm, typename NameAt>
std::string prevailingNameAt(const std::vector<NameListGroup<Sdm>>& groups, std::int64_t k,
                             NameAt nameAt) {
  std::vector<SharedName> names;
  names.reserve(groups.size());
  for (const NameListGroup<Sdm>& group : groups) {
    names.push_back(SharedName{nameAt(*group.first, k), group.members.size()});
  }
  return prevailingSharedName(std::move(names));
}

}  // namespace kelvora
