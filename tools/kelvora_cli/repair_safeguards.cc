#include "repair_safeguards.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

#include "designmatrix/path_names.h"
#include "designmatrix/user_dialogs.h"
#include "files/native_file.h"

namespace kelvora::cli {
namespace {

bool opensAsRegularFile(const std::string& path) {
  std::uint64_t size = 0;
  return openRegularFileForReading(path, size) != nullptr;
}

char lowerAscii(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Answers the relocation's one file dialog with the path the run's repair was given.
class GivenLocation : public UserDialogs {
 public:
  explicit GivenLocation(std::string path) : path(std::move(path)) {}
  FileDialogAnswer chooseFileToOpen(const std::string&, const std::string&,
                                    const std::string&) override {
    return {true, path};
  }
  FileDialogAnswer chooseFileToSave(const std::string&, const std::string&,
                                    const std::string&) override {
    return {};
  }
  bool askYesNo(const std::string&) override { return false; }
  void showMessage(const std::string&) override {}

 private:
  std::string path;
};

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
  GivenLocation location(locatedSdm);
  std::vector<std::string> failing;
  if (!mdm.relocateStudyPaths(location)) return mdm.sdmPaths;  // the run did not re-base either
  for (const std::string& sdm : mdm.sdmPaths) {
    if (!opensAsRegularFile(sdm)) failing.push_back(sdm);
  }
  return failing;
}

}  // namespace kelvora::cli
