// MdmFile::relocateStudyPaths: the user locates the first study's SDM, and the part of the old
// first SDM path that the answer does not share is replaced in every study path that begins with
// it.

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "designmatrix/mdm_file.h"
#include "designmatrix/path_names.h"
#include "designmatrix/sdm_path_repair.h"
#include "files/native_file.h"

namespace kelvora {
namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool sameCharacter(char x, char y) { return x == y || (isSeparator(x) && isSeparator(y)); }

// True when `path` begins with `cut`, compared as the common tail is compared.
bool beginsWith(std::string_view path, std::string_view cut) {
  return path.size() >= cut.size() &&
         std::equal(cut.begin(), cut.end(), path.begin(), sameCharacter);
}

// How a path is re-based: its first cut.size() characters become `prefix`, when it begins with
// `cut`. With `toSlashes`, the rest of a re-based path takes '/' for every '\'.
class Rebase {
 public:
  Rebase(std::string_view cut, std::string prefix, bool toSlashes)
      : cut(cut), prefix(std::move(prefix)), toSlashes(toSlashes) {}

  void apply(std::string& path) const {
    if (!beginsWith(path, cut)) return;  // not below the moved folder: left exactly as it is
    path.replace(0, cut.size(), prefix);
    if (toSlashes) std::replace(path.begin() + prefix.size(), path.end(), '\\', '/');
  }

  // The first `count` paths of `list` re-based, the others as they are.
  PathList applied(const PathList& list, std::size_t count) const {
    PathList rebased;
    std::string path;
    for (std::size_t j = 0; j < list.size(); ++j) {
      path = list[j];
      if (j < count) apply(path);
      rebased.push_back(path);
    }
    rebased.shrinkToFit();
    return rebased;
  }

 private:
  std::string_view cut;
  std::string prefix;
  bool toSlashes;
};

}  // namespace

std::size_t commonTailLength(std::string_view a, std::string_view b) {
  std::size_t k = 0;
  while (k < a.size() && k < b.size() && sameCharacter(a[a.size() - 1 - k], b[b.size() - 1 - k])) {
    ++k;
  }
  return k;
}

bool MdmFile::relocateStudyPaths(UserDialogs& dialogs) {
  if (sdmPaths.empty()) return false;  // no first study to locate
  const std::string oldFirstPath(sdmPaths[0]);
  const std::string expectedName = fileNameOf(oldFirstPath);

  const FileDialogAnswer answer = dialogs.chooseFileToOpen(
      "SDM not found. Select " + expectedName + " manually.", directoryOf(path),
      "Single Subject Desgin Matrix (" + expectedName + ")");
  if (!answer.chosen) return false;
  const std::string& chosenPath = answer.path;
  if (chosenPath.size() < expectedName.size()) return false;

  const std::size_t tail = commonTailLength(oldFirstPath, chosenPath);
  // An MDM written where '\' separates folders, repaired where it does not: the re-based paths
  // take '/' throughout, as the user's answer does, or they would name no file here.
  const bool toSlashes =
      !backslashSeparatesFolders() && oldFirstPath.find('\\') != std::string::npos;
  const Rebase rebase(std::string_view(oldFirstPath).substr(0, oldFirstPath.size() - tail),
                      chosenPath.substr(0, chosenPath.size() - tail), toSlashes);
  // Only the paths below the moved folder move with it: a study's files may lie elsewhere (the
  // functional data on another drive), and those stay where the MDM says.
  const std::size_t studies = sdmPaths.size();
  PathList rebasedSdms = rebase.applied(sdmPaths, studies);
  PathList rebasedFunctional = rebase.applied(functionalPaths, studies);
  // The first SDM is the file the user chose. Re-based, its path would keep the MDM's separators
  // after the common end ("after\S01\run1.sdm" for a '/' answer), which names another file
  // where '\' is no separator, and would be saved unlike the user's answer.
  rebasedSdms.replace(0, chosenPath);
  for (std::size_t j = 0; j < studies; ++j) {
    if (isMtcDesign() && j < extraPaths.size() && extraPaths[j]) rebase.apply(*extraPaths[j]);
  }
  sdmPaths = std::move(rebasedSdms);
  functionalPaths = std::move(rebasedFunctional);
  return true;
}

}  // namespace kelvora
