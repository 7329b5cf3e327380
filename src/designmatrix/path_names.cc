#include "designmatrix/path_names.h"

namespace kelvora {
namespace {

constexpr std::string_view kSeparators = "/\\";

// Index of the first character of the file name: just after the last separator, or 0.
std::size_t fileNameStart(std::string_view path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

std::string fileNameOf(std::string_view path) {
  return std::string(path.substr(fileNameStart(path)));
}

std::string directoryOf(std::string_view path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  if (separator == std::string_view::npos) return std::string();
  return std::string(path.substr(0, separator));
}

std::string replaceExtension(std::string_view path, std::string_view suffix) {
  const std::size_t nameStart = fileNameStart(path);
  const std::size_t dot = path.rfind('.');
  const std::size_t stemEnd =
      (dot == std::string_view::npos || dot < nameStart) ? path.size() : dot;
  std::string result(path.substr(0, stemEnd));
  result += suffix;
  return result;
}

}  // namespace kelvora
