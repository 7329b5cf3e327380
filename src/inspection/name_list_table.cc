#include "inspection/name_list_table.h"

namespace kelvora {

PredictorNameList NameListTable::share(const std::vector<std::string>& names) {
  PredictorNameList made(names);
  const std::uint64_t hash = made.contentHash();
  const std::lock_guard<std::mutex> lock(mutex);
  const auto [first, last] = lists.equal_range(hash);
  for (auto held = first; held != last; ++held) {
    if (held->second.sameNames(made)) return held->second;
  }
  lists.emplace(hash, made);
  return made;
}

}  // namespace kelvora
