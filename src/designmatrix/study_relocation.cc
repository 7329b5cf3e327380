// MdmFile::relocateStudyPaths: the user locates the first study's SDM, and the part of the old
// paths that the answer does not share is replaced in every study path.

#include <algorithm>
#include <string>
#include <string_view>

#include "designmatrix/mdm_file.h"
#include "designmatrix/path_names.h"
#include "designmatrix/sdm_path_repair.h"

namespace kelvora {
namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Replaces the first `cut` characters of `path` (all of it when shorter) by `prefix`.
void rebase(std::string& path, std::size_t cut, const std::string& prefix) {
  path.replace(0, std::min(cut, path.size()), prefix);
}

}  // namespace

std::size_t commonTailLength(std::string_view a, std::string_view b) {
  std::size_t k = 0;
  while (k < a.size() && k < b.size()) {
    const char x = a[a.size() - 1 - k];
    const char y = b[b.size() - 1 - k];
    if (x != y && !(isSeparator(x) && isSeparator(y))) break;
    ++k;
  }
  return k;
}

bool MdmFile::relocateStudyPaths(UserDialogs& dialogs) {
  if (sdmPaths.empty()) return false;  // no first study to locate
  const std::string oldFirstPath = sdmPaths[0];
  const std::string expectedName = fileNameOf(oldFirstPath);

  const FileDialogAnswer answer = dialogs.chooseFileToOpen(
      "SDM not found. Select " + expectedName + " manually.", directoryOf(path),
      "Single Subject Desgin Matrix (" + expectedName + ")");
  if (!answer.chosen) return false;
  const std::string& chosenPath = answer.path;
  if (chosenPath.size() < expectedName.size()) return false;

  const std::size_t tail = commonTailLength(oldFirstPath, chosenPath);
  const std::size_t cut = oldFirstPath.size() - tail;
  const std::string prefix = chosenPath.substr(0, chosenPath.size() - tail);

  // Every path loses its first `cut` characters, whether or not it began like the old first SDM
  // path: the studies of one MDM were moved together.
  for (std::size_t j = 0; j < sdmPaths.size(); ++j) {
    rebase(sdmPaths[j], cut, prefix);
    if (j < functionalPaths.size()) rebase(functionalPaths[j], cut, prefix);
    if (isMtcDesign() && j < extraPaths.size() && extraPaths[j]) {
      rebase(*extraPaths[j], cut, prefix);
    }
  }
  // The first SDM is the file the user chose. Re-based, its path would keep the MDM's separators
  // after the common end ("after\S01\run1.sdm" for a '/' answer), which names another file
  // where '\' is no separator, and would be saved unlike the user's answer.
  sdmPaths[0] = chosenPath;
  return true;
}

}  // namespace kelvora
