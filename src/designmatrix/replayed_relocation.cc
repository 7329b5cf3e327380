#include "designmatrix/replayed_relocation.h"

#include <utility>

#include "designmatrix/user_dialogs.h"

namespace kelvora {
namespace {

// Answers the relocation's file dialog with the given path; nothing else is asked by
// relocateStudyPaths.
class ReplayedLocation : public UserDialogs {
 public:
  explicit ReplayedLocation(std::string path) : path(std::move(path)) {}
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

bool relocateStudyPathsOn(MdmFile& mdm, const std::string& locatedFirstSdm) {
  ReplayedLocation location(locatedFirstSdm);
  return mdm.relocateStudyPaths(location);
}

}  // namespace kelvora
