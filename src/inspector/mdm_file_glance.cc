#include "inspector/mdm_file_glance.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "files/native_file.h"

namespace kelvora::inspector {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Where `key` stands as a whole word of `bytes` (as the readers compare header words), or npos.
std::size_t findKey(std::string_view bytes, std::string_view key) {
  for (std::size_t at = bytes.find(key); at != std::string_view::npos;
       at = bytes.find(key, at + 1)) {
    const std::size_t end = at + key.size();
    if ((at == 0 || isBlank(bytes[at - 1])) && (end == bytes.size() || isBlank(bytes[end]))) {
      return at;
    }
  }
  return std::string_view::npos;
}

char separatorOf(std::string_view path) {
  const bool slash = path.find('/') != std::string_view::npos;
  const bool backslash = path.find('\\') != std::string_view::npos;
  if (slash == backslash) return '\0';
  return slash ? '/' : '\\';
}

// The separator of the first study line's SDM path (its last quoted text) after `studies`.
char firstSdmPathSeparator(std::string_view studies) {
  studies.remove_prefix(std::min(studies.find_first_of("\r\n"), studies.size()));
  while (!studies.empty()) {
    const std::size_t end = std::min(studies.find_first_of("\r\n"), studies.size());
    const std::string_view line = studies.substr(0, end);
    std::vector<std::size_t> quotes;
    for (std::size_t at = line.find('"'); at != std::string_view::npos;
         at = line.find('"', at + 1)) {
      quotes.push_back(at);
    }
    if (quotes.size() == 4 || quotes.size() == 6) {
      const std::size_t open = quotes[quotes.size() - 2] + 1;
      return separatorOf(line.substr(open, quotes.back() - open));
    }
    studies.remove_prefix(std::min(end + 1, studies.size()));
  }
  return '\0';
}

}  // namespace

MdmFileGlance glanceAtBytes(std::string_view bytes) {
  MdmFileGlance glance;
  const std::size_t studies = findKey(bytes, "NrOfStudies:");
  if (studies != std::string_view::npos) {
    glance.kind = GivenFileKind::kMdm;
    glance.studyPathSeparator = firstSdmPathSeparator(bytes.substr(studies));
  } else if (findKey(bytes, "NrOfPredictors:") != std::string_view::npos ||
             findKey(bytes, "FirstConfoundPredictor:") != std::string_view::npos) {
    glance.kind = GivenFileKind::kSdm;
  } else {
    glance.kind = GivenFileKind::kOther;
  }
  return glance;
}

MdmFileGlance glanceAtMdmFile(const std::string& path) {
  std::uint64_t size = 0;
  const FilePtr file = openRegularFileForReading(path, size);
  if (!file) return MdmFileGlance{};
  std::string bytes(kGlanceBytes, '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  return glanceAtBytes(bytes);
}

}  // namespace kelvora::inspector
