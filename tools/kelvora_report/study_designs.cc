#include "study_designs.h"

#include "designmatrix/mdm_file.h"
#include "designmatrix/replayed_relocation.h"
#include "sdm_design_maker.h"

namespace kelvora::report {

StudyDesigns loadStudyDesigns(const std::string& mdmPath,
                              const std::optional<std::string>& locatedFirstSdm,
                              SdmDesignMaker& maker) {
  StudyDesigns designs;
  MdmFile mdm(mdmPath);
  if (mdm.unreadable()) return designs;
  designs.mdmRead = true;
  if (locatedFirstSdm) relocateStudyPathsOn(mdm, *locatedFirstSdm);
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
