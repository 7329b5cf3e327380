// The predictor names of an SDM held compactly and shared: one byte buffer with all the names one
// after the other, and where each ends. A list is immutable once made; copies share its buffer, so
// every SDM (and every summary of one) that holds the same list costs one pointer. The buffer is
// freed with the last copy.
//
// A list of p names of b bytes in all holds b bytes of text and 8 p bytes of ends (65,536 names of
// six bytes: 896 KiB), against p strings of at least 32 bytes each with the names in a vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora {

class PredictorNameList {
 public:
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    Iterator(const PredictorNameList& list, std::size_t index) : list(&list), index(index) {}
    std::string_view operator*() const { return (*list)[index]; }
    Iterator& operator++() {
      ++index;
      return *this;
    }
    bool operator==(const Iterator& other) const { return index == other.index; }
    bool operator!=(const Iterator& other) const { return index != other.index; }

   private:
    const PredictorNameList* list;
    std::size_t index;
  };

  // An empty list.
  PredictorNameList() = default;
  // The names of `names`, in their order: a list of its own, shared by its copies only (a run
  // shares lists through NameListTable). Implicit, so that names can be given as a vector where
  // a list is held. May throw std::bad_alloc.
  PredictorNameList(const std::vector<std::string>& names);  // NOLINT(google-explicit-constructor)

  std::size_t size() const { return shared ? shared->ends.size() : 0; }
  bool empty() const { return size() == 0; }
  // Name `index` (< size()); the view lives as long as any copy of this list.
  std::string_view operator[](std::size_t index) const;
  Iterator begin() const { return Iterator(*this, 0); }
  Iterator end() const { return Iterator(*this, size()); }

  // The bytes the shared buffer holds (text, ends and their bookkeeping), counted once for all
  // copies.
  std::size_t bytesHeld() const;
  // A hash of the names, equal for equal lists.
  std::uint64_t contentHash() const;
  // True when both hold the same names in the same order.
  bool sameNames(const PredictorNameList& other) const;
  // True when both are copies of one list (so they cost one buffer).
  bool sharesBufferWith(const PredictorNameList& other) const { return shared == other.shared; }
  // The same for every copy of one list and for no other list while a copy lives; null when
  // empty.
  const void* identity() const { return shared.get(); }

 private:
  struct Buffer {
    std::string text;
    std::vector<std::size_t> ends;  // name i is text[ends[i-1], ends[i]), ends[-1] being 0
  };
  std::shared_ptr<const Buffer> shared;
};

}  // namespace kelvora
