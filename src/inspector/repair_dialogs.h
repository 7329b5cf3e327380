// The user's side of one inspection run as kelvora answers it, without a person: the run's
// questions are answered in the order it asks them:
// - its first file dialog (the choice of the MDM) by the request's MDM;
// - any later file dialog (the repair's "SDM not found. Select ... manually.") by `locate`;
// - the question whether to save the corrected MDM: yes when `saveMdm` is given, otherwise no;
// - the save dialog by the `saveMdm` path.
// Where these leave a question open and the front end prompts (a terminal), its person answers.
// When nothing can answer a dialog, it is cancelled.
//
// Beyond the dialogs, the repair is guarded (repair_safeguards.h): a located file whose name is
// not the missing SDM's is refused from `locate` (the dialog is cancelled) unless `forceLocate`
// is set; the save question is answered no, without asking, when an SDM path of the corrected
// MDM does not open. The dialogs only record these; the front end tells them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "designmatrix/user_dialogs.h"
#include "inspector/front_end.h"

namespace kelvora::inspector {

// The answers a script (or the command line) gives the repair.
struct RepairAnswers {
  std::optional<std::string> locate;   // a full path: answers the "SDM not found" dialog
  bool forceLocate = false;            // `locate` stands even when its file name is not the SDM's
  std::optional<std::string> saveMdm;  // a full path: answers yes to saving, and the save dialog
};

class RepairDialogs : public UserDialogs {
 public:
  // `mdmFile`: the full path that answers the run's first dialog. The references must outlive
  // the dialogs.
  RepairDialogs(std::string mdmFile, const RepairAnswers& answers, InspectionFrontEnd& frontEnd);

  FileDialogAnswer chooseFileToOpen(const std::string& title, const std::string& initialDirectory,
                                    const std::string& filter) override;
  FileDialogAnswer chooseFileToSave(const std::string& title, const std::string& initialDirectory,
                                    const std::string& filter) override;
  bool askYesNo(const std::string& question) override;
  void showMessage(const std::string& text) override { frontEnd.showMessage(text); }
  void showProgress(std::size_t sdmsRead, std::size_t sdmCount) override {
    frontEnd.showProgress(sdmsRead, sdmCount);
  }

  // How the repair's "SDM not found" dialog was answered.
  enum class LocateAnswer {
    kNotAsked,         // the run asked for no repair
    kLocated,          // by `locate` or by the person
    kNobodyAsked,      // cancelled: no `locate`, and nobody to ask
    kPromptCancelled,  // cancelled by the person
    kNameRefused,      // cancelled: `locate` names another file than the missing SDM
    kMdmUnreadable,    // cancelled: the MDM could not be read again for the checks
  };
  LocateAnswer locateAnswer() const { return answeredLocate; }
  bool repairAsked() const { return answeredLocate != LocateAnswer::kNotAsked; }
  // The file name of the missing first SDM; empty unless the MDM was read again for the repair.
  const std::string& missingSdmName() const { return missingName; }
  // The path that answered the repair's dialog, if one did: the study is read again from there
  // after the run.
  const std::optional<std::string>& locatedSdm() const { return located; }
  // The repair read the located SDM and asked whether to save the corrected MDM.
  bool saveOffered() const { return askedToSave; }
  // The SDM paths of the corrected MDM that did not open when the save was asked (study order);
  // when there are any, the save was answered no.
  const std::vector<std::string>& unopenedSdms() const { return unopened; }
  std::size_t correctedSdmCount() const { return study ? study->sdmPaths.size() : 0; }

 private:
  FileDialogAnswer locateFirstSdm(const std::string& title, const std::string& initialDirectory,
                                  const std::string& filter);

  const std::string mdmFile;
  const RepairAnswers& answers;
  InspectionFrontEnd& frontEnd;
  const bool prompting;  // the front end's person answers what `answers` leave open
  bool mdmChosen = false;
  LocateAnswer answeredLocate = LocateAnswer::kNotAsked;
  bool askedToSave = false;
  std::optional<MdmFile> study;  // the MDM as read again for the repair's checks
  std::string missingName;
  std::optional<std::string> located;
  std::vector<std::string> unopened;
};

}  // namespace kelvora::inspector
