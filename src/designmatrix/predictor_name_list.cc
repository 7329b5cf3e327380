#include "designmatrix/predictor_name_list.h"

#include <functional>

namespace kelvora {

PredictorNameList::PredictorNameList(const std::vector<std::string>& names) {
  if (names.empty()) return;
  auto buffer = std::make_shared<Buffer>();
  std::size_t total = 0;
  for (const std::string& name : names) total += name.size();
  buffer->text.reserve(total);
  buffer->ends.reserve(names.size());
  for (const std::string& name : names) {
    buffer->text += name;
    buffer->ends.push_back(buffer->text.size());
  }
  shared = std::move(buffer);
}

std::string_view PredictorNameList::operator[](std::size_t index) const {
  const std::size_t start = index == 0 ? 0 : shared->ends[index - 1];
  return std::string_view(shared->text).substr(start, shared->ends[index] - start);
}

std::size_t PredictorNameList::bytesHeld() const {
  if (!shared) return 0;
  return sizeof(Buffer) + shared->text.capacity() + shared->ends.capacity() * sizeof(std::size_t);
}

std::uint64_t PredictorNameList::contentHash() const {
  if (!shared) return 0;
  const std::uint64_t text = std::hash<std::string_view>()(shared->text);
  // The count tells "ab","c" from "a","bc" apart often enough; sameNames decides.
  return text ^ (std::uint64_t{shared->ends.size()} * 0x9E3779B97F4A7C15ull);
}

bool PredictorNameList::sameNames(const PredictorNameList& other) const {
  if (shared == other.shared) return true;
  if (size() != other.size()) return false;
  if (!shared || !other.shared) return true;  // both empty
  return shared->ends == other.shared->ends && shared->text == other.shared->text;
}

}  // namespace kelvora
