// The prevailing value of one value per SDM: the value at 0-based position floor(m / 2) once the
// m values are in ascending order. A value that more than half of the SDMs share always prevails;
// otherwise it is the middle of the ordered list (with two values, the larger one). Found by
// selecting the middle element, not by sorting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora {

// Names ordered byte by byte, each byte unsigned, a proper prefix first:
// "Face" < "Faces" < "faces", "Zebra" < "\xC4pfel".
bool nameBefore(std::string_view a, std::string_view b);

// `counts` must not be empty.
std::int64_t prevailingCount(std::vector<std::int64_t> counts);

// `names` must not be empty. The views must outlive the call only.
std::string prevailingName(std::vector<std::string_view> names);

// The same of names that several SDMs share: each name stands for `count` SDMs (count > 0), and
// the names need not differ. O(d log d) in the number of pairs, whatever the counts.
struct SharedName {
  std::string_view name;
  std::size_t count = 0;
};
std::string prevailingSharedName(std::vector<SharedName> names);

}  // namespace kelvora
