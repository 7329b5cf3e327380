// Which columns of an SDM are all zero, held compactly and shared: one bit per column in a buffer
// that every copy of the set shares, so a run whose SDMs have the same zero pattern (nearly every
// SDM of a study) holds that pattern once and costs one pointer per SDM. ZeroColumnTable hands out
// one set per pattern.
//
// Immutable once made; the buffer is freed with the last copy. Safe to copy and read from several
// threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kelvora {

class ZeroColumnSet {
 public:
  // No columns.
  ZeroColumnSet() = default;
  // A set of its own, shared by its copies only. Implicit, so that a pattern can be given as a
  // list where a set is held. May throw std::bad_alloc.
  ZeroColumnSet(std::vector<bool> allZero);            // NOLINT(google-explicit-constructor)
  ZeroColumnSet(std::initializer_list<bool> allZero);  // NOLINT(google-explicit-constructor)

  std::size_t size() const { return shared ? shared->size() : 0; }
  bool empty() const { return size() == 0; }
  // Whether column `index` (< size()) is all zero.
  bool operator[](std::size_t index) const { return (*shared)[index]; }

  // The bytes the shared buffer holds, counted once for all copies.
  std::size_t bytesHeld() const;
  // The same for every copy of one set and for no other set while a copy lives; null when empty.
  const void* identity() const { return shared.get(); }

 private:
  friend class ZeroColumnTable;
  const std::vector<bool>& patternOf() const;
  std::shared_ptr<const std::vector<bool>> shared;
};

// The zero patterns of one run's SDMs, each held once. Safe to use from several threads at once
// (the read-ahead threads share one table). Holds its sets until it ends.
class ZeroColumnTable {
 public:
  // The table's set of `allZero`, made and added when it holds none with this pattern. May throw
  // std::bad_alloc (the table is then unchanged).
  ZeroColumnSet share(std::vector<bool> allZero);

 private:
  std::mutex mutex;
  std::unordered_multimap<std::size_t, ZeroColumnSet> sets;  // by the pattern's hash
};

}  // namespace kelvora
