// The user's side of one inspection run on the command line. The run's questions are answered in
// the order it asks them:
// - its first file dialog (the choice of the MDM) by the MDM_FILE argument of this run;
// - any later file dialog (the repair's "SDM not found. Select ... manually.") by --locate;
// - the question whether to save the corrected MDM: yes when --save-mdm is given, otherwise no;
// - the save dialog by the --save-mdm path.
// When standard input is a terminal and neither --locate nor --no-prompt is given, the repair's
// questions are asked at a prompt on standard error instead (an option that answers one still
// answers it). The prompt behaves like the dialog it stands for: a relative path is taken in the
// folder it names (the MDM's, the current folder during the run) and becomes a full path; open
// refuses a path that is missing or a folder and asks again; save asks before it overwrites; an
// empty line cancels. When nothing can answer a dialog, it is cancelled.
//
// Beyond the dialogs, the repair is guarded (repair_safeguards.h): a located file whose name is
// not the missing SDM's is confirmed at the prompt, and refused from --locate (the dialog is
// cancelled) unless --force-locate is given; the save question is answered no, without asking,
// when an SDM path of the corrected MDM does not open. The dialogs only record these; the caller
// tells them (inspection_session.cc). Message boxes are written to standard error. The texts shown
// are those the run passes in.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "designmatrix/mdm_file.h"
#include "designmatrix/user_dialogs.h"
#include "progress_line.h"

namespace kelvora::cli {

class CommandLineDialogs : public UserDialogs {
 public:
  // `mdmFile`: the full path that answers the run's first dialog. `prompting`: a person answers
  // at the terminal what the options leave open. The references must outlive the dialogs.
  CommandLineDialogs(std::string mdmFile, const CliOptions& options, bool prompting,
                     ProgressLine& progress);

  FileDialogAnswer chooseFileToOpen(const std::string& title, const std::string& initialDirectory,
                                    const std::string& filter) override;
  FileDialogAnswer chooseFileToSave(const std::string& title, const std::string& initialDirectory,
                                    const std::string& filter) override;
  bool askYesNo(const std::string& question) override;
  void showMessage(const std::string& text) override;
  void showProgress(std::size_t sdmsRead, std::size_t sdmCount) override;

  // How the repair's "SDM not found" dialog was answered.
  enum class LocateAnswer {
    kNotAsked,         // the run asked for no repair
    kLocated,          // by --locate or at the prompt
    kNobodyAsked,      // cancelled: standard input is no terminal, or --no-prompt
    kPromptCancelled,  // cancelled by the person at the prompt
    kNameRefused,      // cancelled: --locate names another file than the missing SDM
    kMdmUnreadable,    // cancelled: the MDM could not be read again for the checks
  };
  LocateAnswer locateAnswer() const { return answeredLocate; }
  bool repairAsked() const { return answeredLocate != LocateAnswer::kNotAsked; }
  // The file name of the missing first SDM; empty unless the MDM was read again for the repair.
  const std::string& missingSdmName() const { return missingName; }
  // The path that answered the repair's dialog (from --locate or the prompt), if one did: the
  // study is read again from there after the run.
  const std::optional<std::string>& locatedSdm() const { return located; }
  // The repair read the located SDM and asked whether to save the corrected MDM.
  bool saveOffered() const { return askedToSave; }
  // The SDM paths of the corrected MDM that did not open when the save was asked (study order);
  // when there are any, the save was answered no.
  const std::vector<std::string>& unopenedSdms() const { return unopened; }
  std::size_t correctedSdmCount() const { return study ? study->sdmPaths.size() : 0; }

 private:
  // The answer to the repair's dialog, with the checks of the located file's name.
  FileDialogAnswer locateFirstSdm(const std::string& title, const std::string& initialDirectory,
                                  const std::string& filter);
  // The dialog asked at the prompt: its heading, then a path until one is acceptable to the
  // dialog (`saving`: the save dialog's rules); nothing when the person cancels.
  std::optional<std::string> promptFileDialog(bool saving, const std::string& title,
                                              const std::string& initialDirectory,
                                              const std::string& filter);
  // Whether the person takes `path` for the missing SDM: at once when the names agree, else
  // after a y/N question; nothing when the person cancels.
  std::optional<bool> takenForMissingSdm(const std::string& path);
  // A y/N question at the prompt: true only for a clear yes; nothing when the person cancels.
  std::optional<bool> promptYesNo(const std::string& question);
  std::optional<std::string> prompt(const std::string& question);

  const std::string mdmFile;
  const CliOptions& options;
  const bool prompting;
  ProgressLine& progress;
  bool mdmChosen = false;
  LocateAnswer answeredLocate = LocateAnswer::kNotAsked;
  bool askedToSave = false;
  std::optional<MdmFile> study;  // the MDM as read again for the repair's checks
  std::string missingName;
  std::optional<std::string> located;
  std::vector<std::string> unopened;
};

}  // namespace kelvora::cli
