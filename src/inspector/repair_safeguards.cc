#include "inspector/repair_safeguards.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "designmatrix/path_names.h"
#include "designmatrix/replayed_relocation.h"
#include "files/native_file.h"

namespace kelvora::inspector {

namespace {

bool opensAsRegularFile(const std::string& path) {
  std::uint64_t size = 0;
  return openRegularFileForReading(path, size) != nullptr;
}

char lowerAscii(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

bool sameFileName(const std::string& missingPath, const std::string& chosenPath) {
  const std::string missing = fileNameOf(missingPath);
  const std::string chosen = fileNameOf(chosenPath);
  return std::equal(missing.begin(), missing.end(), chosen.begin(), chosen.end(),
                    [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

std::optional<MdmFile> readMdmForChecks(const std::string& path) {
  if (!opensAsRegularFile(path)) return std::nullopt;
  return MdmFile(path);
}

std::vector<std::string> correctedSdmsThatDoNotOpen(MdmFile mdm, const std::string& locatedSdm) {
  std::vector<std::string> failing;
  if (!relocateStudyPathsOn(mdm, locatedSdm))
    return std::vector<std::string>(mdm.sdmPaths.begin(), mdm.sdmPaths.end());  // not re-based
  for (const std::string_view sdm : mdm.sdmPaths) {
    if (!opensAsRegularFile(std::string(sdm))) failing.emplace_back(sdm);
  }
  return failing;
}

}  // namespace kelvora::inspector
