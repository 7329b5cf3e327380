#include "designmatrix/path_list.h"

#include <utility>

namespace kelvora {

PathList::PathList(std::initializer_list<std::string_view> paths) {
  for (const std::string_view path : paths) push_back(path);
}

PathList::PathList(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) push_back(path);
}

std::string_view PathList::operator[](std::size_t index) const {
  const std::size_t start = index == 0 ? 0 : ends[index - 1];
  return std::string_view(text.data() + start, ends[index] - start);
}

void PathList::push_back(std::string_view path) {
  ends.reserve(ends.size() + 1);  // a failure here leaves the text as it was
  text.insert(text.end(), path.begin(), path.end());
  ends.push_back(text.size());
}

void PathList::pop_back() {
  ends.pop_back();
  text.resize(ends.empty() ? 0 : ends.back());
}

void PathList::replace(std::size_t index, std::string_view path) {
  PathList changed;
  changed.text.reserve(text.size() - (*this)[index].size() + path.size());
  changed.ends.reserve(ends.size());
  for (std::size_t i = 0; i < size(); ++i) changed.push_back(i == index ? path : (*this)[i]);
  *this = std::move(changed);
}

void PathList::clear() {
  std::vector<char>().swap(text);
  std::vector<std::size_t>().swap(ends);
}

void PathList::shrinkToFit() {
  text.shrink_to_fit();
  ends.shrink_to_fit();
}

}  // namespace kelvora
