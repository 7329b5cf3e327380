// A list of file paths held compactly: one byte buffer with every path one after the other, and
// where each ends. An MDM of thousands of studies holds two such lists (its functional data and its
// SDMs); as strings each path would cost a 32-byte string and a heap block of its own besides its
// bytes, here it costs its bytes and one 8-byte end.
//
// Reads like a std::vector of paths (size, operator[], range-for, front), each path a view into the
// buffer. A view lives until the list is next changed or destroyed; moving the list keeps the
// buffer, so views stay valid in the list moved to. Changing one path rewrites the buffer (O(bytes
// held)): lists are built once, by appending, and re-based as a whole at most once.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora {

class PathList {
 public:
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    Iterator(const PathList& list, std::size_t index) : list(&list), index(index) {}
    std::string_view operator*() const { return (*list)[index]; }
    Iterator& operator++() {
      ++index;
      return *this;
    }
    bool operator==(const Iterator& other) const { return index == other.index; }
    bool operator!=(const Iterator& other) const { return index != other.index; }

   private:
    const PathList* list;
    std::size_t index;
  };

  PathList() = default;
  // The given paths, in their order. Implicit, so that paths can be given as a list or vector
  // where a PathList is held. May throw std::bad_alloc.
  PathList(std::initializer_list<std::string_view> paths);
  PathList(const std::vector<std::string>& paths);  // NOLINT(google-explicit-constructor)

  std::size_t size() const { return ends.size(); }
  bool empty() const { return ends.empty(); }
  // Path `index` (< size()).
  std::string_view operator[](std::size_t index) const;
  std::string_view front() const { return (*this)[0]; }
  std::string_view back() const { return (*this)[size() - 1]; }
  Iterator begin() const { return Iterator(*this, 0); }
  Iterator end() const { return Iterator(*this, size()); }

  // Appends `path`; may throw std::bad_alloc (the list is then unchanged). `path` must not view
  // this list.
  void push_back(std::string_view path);
  void pop_back();
  // Replaces path `index` (< size()) by `path`, which must not view this list. May throw
  // std::bad_alloc (the list is then unchanged).
  void replace(std::size_t index, std::string_view path);
  void clear();
  // Gives back the room that appending left spare; may throw std::bad_alloc.
  void shrinkToFit();

  friend bool operator==(const PathList& a, const PathList& b) {
    return a.ends == b.ends && a.text == b.text;
  }
  friend bool operator!=(const PathList& a, const PathList& b) { return !(a == b); }

 private:
  std::vector<char> text;         // a vector, not a string: a move keeps its bytes where they are
  std::vector<std::size_t> ends;  // path i is text[ends[i-1], ends[i]), ends[-1] being 0
};

}  // namespace kelvora
