#include "study_designs.h"

#include "designmatrix/mdm_file.h"
#include "designmatrix/user_dialogs.h"
#include "sdm_design_maker.h"

namespace kelvora::report {
namespace {

// Answers the relocation's file dialog with the path the run's repair was given; nothing else is
// asked by relocateStudyPaths.
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

StudyDesigns loadStudyDesigns(const std::string& mdmPath,
                              const std::optional<std::string>& locatedFirstSdm,
                              SdmDesignMaker& maker) {
  StudyDesigns designs;
  MdmFile mdm(mdmPath);
  if (mdm.unreadable()) return designs;
  designs.mdmRead = true;
  if (locatedFirstSdm) {
    ReplayedLocation location(*locatedFirstSdm);
    mdm.relocateStudyPaths(location);
  }
  const std::size_t count = mdm.sdmPaths.size();
  const std::vector<std::string> ids = subjectIdsOf(mdm.functionalPaths, count);
  designs.subjects = groupSubjects(ids);
  designs.sdms.reserve(count);

  for (std::size_t study = 0; study < count; ++study) {
    if (!maker.made(study)) maker.make(study, readSdm(mdm.sdmPaths[study]));
    SdmDesign design = maker.takeDesign(study);
    design.path = mdm.sdmPaths[study];
    design.subject = ids[study];
    designs.sdms.push_back(std::move(design));
  }
  diagnostics::StudyInput& input = designs.mdm;
  input.mdmPath = mdm.path;
  input.nrOfStudies = mdm.nrOfStudies;
  input.mdmNotes = std::move(mdm.notes);
  input.sdmPaths = std::move(mdm.sdmPaths);
  input.functionalPaths = std::move(mdm.functionalPaths);
  return designs;
}

diagnostics::StudyInput diagnosisInput(const StudyDesigns& designs) {
  diagnostics::StudyInput input = designs.mdm;
  for (const SdmDesign& design : designs.sdms) input.sdms.push_back(&design);
  return input;
}

}  // namespace kelvora::report
