#include "inspector/repair_dialogs.h"

#include <utility>

#include "designmatrix/path_names.h"
#include "inspector/mdm_file_glance.h"
#include "inspector/repair_safeguards.h"
#include "inspector/user_paths.h"

namespace kelvora::inspector {

RepairDialogs::RepairDialogs(std::string mdmFile, const RepairAnswers& answers,
                             InspectionFrontEnd& frontEnd)
    : mdmFile(std::move(mdmFile)),
      answers(answers),
      frontEnd(frontEnd),
      prompting(frontEnd.prompts() && !answers.locate) {}

FileDialogAnswer RepairDialogs::chooseFileToOpen(const std::string& title,
                                                 const std::string& initialDirectory,
                                                 const std::string& filter) {
  if (!mdmChosen) {  // a run asks for its MDM before anything else
    mdmChosen = true;
    return FileDialogAnswer{true, mdmFile};
  }
  FileDialogAnswer answer = locateFirstSdm(title, initialDirectory, filter);
  if (answer.chosen) {
    // Spelled with the separator of the MDM's own paths (Windows), so that the paths the repair
    // re-bases on it take one separator throughout.
    answer.path = withSeparator(answer.path, glanceAtMdmFile(mdmFile).studyPathSeparator);
    answeredLocate = LocateAnswer::kLocated;
    located = answer.path;
  }
  return answer;
}

FileDialogAnswer RepairDialogs::locateFirstSdm(const std::string& title,
                                               const std::string& initialDirectory,
                                               const std::string& filter) {
  answeredLocate = LocateAnswer::kNobodyAsked;
  if (!answers.locate && !prompting) return FileDialogAnswer{false, ""};
  study = readMdmForChecks(mdmFile);
  if (!study || study->sdmPaths.empty()) {
    answeredLocate = LocateAnswer::kMdmUnreadable;
    return FileDialogAnswer{false, ""};
  }
  missingName = fileNameOf(study->sdmPaths.front());
  if (answers.locate) {
    if (answers.forceLocate || sameFileName(missingName, *answers.locate)) {
      return FileDialogAnswer{true, *answers.locate};
    }
    answeredLocate = LocateAnswer::kNameRefused;
    return FileDialogAnswer{false, ""};
  }
  const std::optional<std::string> path =
      frontEnd.promptFile(false, title, initialDirectory, filter, missingName);
  if (!path) answeredLocate = LocateAnswer::kPromptCancelled;
  return path ? FileDialogAnswer{true, *path} : FileDialogAnswer{false, ""};
}

FileDialogAnswer RepairDialogs::chooseFileToSave(const std::string& title,
                                                 const std::string& initialDirectory,
                                                 const std::string& filter) {
  if (answers.saveMdm) return FileDialogAnswer{true, *answers.saveMdm};
  if (!prompting) return FileDialogAnswer{false, ""};  // askYesNo answered no already
  const std::optional<std::string> path =
      frontEnd.promptFile(true, title, initialDirectory, filter, "");
  return path ? FileDialogAnswer{true, *path} : FileDialogAnswer{false, ""};
}

bool RepairDialogs::askYesNo(const std::string& question) {
  askedToSave = true;
  if (study && located) unopened = correctedSdmsThatDoNotOpen(*study, *located);
  if (!unopened.empty()) return false;  // saved, the MDM would open and never be repaired again
  if (answers.saveMdm) return true;
  if (!prompting) return false;
  return frontEnd.promptYesNo(question + " [y/N] ").value_or(false);
}

}  // namespace kelvora::inspector
