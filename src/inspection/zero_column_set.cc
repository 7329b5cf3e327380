#include "inspection/zero_column_set.h"

#include <functional>
#include <utility>

namespace kelvora {

ZeroColumnSet::ZeroColumnSet(std::vector<bool> allZero) {
  if (!allZero.empty()) {
    allZero.shrink_to_fit();
    shared = std::make_shared<const std::vector<bool>>(std::move(allZero));
  }
}

ZeroColumnSet::ZeroColumnSet(std::initializer_list<bool> allZero)
    : ZeroColumnSet(std::vector<bool>(allZero)) {}

std::size_t ZeroColumnSet::bytesHeld() const {
  // The bits, rounded to the vector's words, and the block holding the vector and its count.
  return shared ? (shared->capacity() + 63) / 64 * 8 + sizeof(*shared) + 16 : 0;
}

const std::vector<bool>& ZeroColumnSet::patternOf() const {
  static const std::vector<bool> none;
  return shared ? *shared : none;
}

ZeroColumnSet ZeroColumnTable::share(std::vector<bool> allZero) {
  if (allZero.empty()) return {};
  const std::size_t hash = std::hash<std::vector<bool>>()(allZero);
  const std::lock_guard<std::mutex> lock(mutex);
  const auto [first, last] = sets.equal_range(hash);
  for (auto held = first; held != last; ++held) {
    if (held->second.patternOf() == allZero) return held->second;
  }
  ZeroColumnSet made(std::move(allZero));
  sets.emplace(hash, made);
  return made;
}

}  // namespace kelvora
