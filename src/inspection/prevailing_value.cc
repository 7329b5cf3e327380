#include "inspection/prevailing_value.h"

#include <algorithm>
#include <cstddef>

namespace kelvora {
namespace {

template <typename T, typename Less>
T middleOf(std::vector<T>& values, Less less) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end(), less);
  return *middle;
}

}  // namespace

bool nameBefore(std::string_view a, std::string_view b) {
  // Spelled out rather than left to char_traits, so that the order does not depend on whether
  // plain char is signed: names are 8-bit text in any code page.
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

std::int64_t prevailingCount(std::vector<std::int64_t> counts) {
  return middleOf(counts, [](std::int64_t a, std::int64_t b) { return a < b; });
}

std::string prevailingName(std::vector<std::string_view> names) {
  return std::string(middleOf(names, nameBefore));
}

std::string prevailingSharedName(std::vector<SharedName> names) {
  std::sort(names.begin(), names.end(),
            [](const SharedName& a, const SharedName& b) { return nameBefore(a.name, b.name); });
  std::size_t total = 0;
  for (const SharedName& shared : names) total += shared.count;
  // The name at position floor(total / 2) of the list in which each name is repeated `count` times.
  std::size_t before = 0;
  for (const SharedName& shared : names) {
    before += shared.count;
    if (before > total / 2) return std::string(shared.name);
  }
  return std::string(names.back().name);
}

}  // namespace kelvora
