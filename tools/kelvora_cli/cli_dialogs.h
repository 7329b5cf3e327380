// The user's side of one inspection run on the command line. The run's questions are answered in
// the order it asks them:
// - its first file dialog (the choice of the MDM) by the MDM_FILE argument of this run;
// - any later file dialog (the repair's "SDM not found. Select ... manually.") by --locate;
// - the question whether to save the corrected MDM: yes when --save-mdm is given, otherwise no;
// - the save dialog by the --save-mdm path.
// When standard input is a terminal and --locate is not given, the repair's questions are asked at
// a prompt on standard error instead (an option that answers one still answers it). The prompt
// behaves like the dialog it stands for: a relative path is taken in the folder it names (the
// MDM's, the current folder during the run) and becomes a full path; open refuses a path that is
// missing or a folder and asks again; save asks before it overwrites; an empty line cancels. When
// nothing can answer a dialog, it is cancelled and standard error names the option that would
// have answered it. Message boxes are written to standard error. The texts shown are those the
// run passes in.
#pragma once

#include <optional>
#include <string>

#include "cli_options.h"
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

  // The path that answered the repair's dialog (from --locate or the prompt), if one did: the
  // study is read again from there after the run.
  const std::optional<std::string>& locatedSdm() const { return located; }
  // The run asked where its first SDM is: a repair began.
  bool repairAsked() const { return askedToLocate; }
  // The repair read the located SDM and asked whether to save the corrected MDM.
  bool saveOffered() const { return askedToSave; }

 private:
  // The answer to a file dialog: from `option` if given, else from the prompt (`saving`: the save
  // dialog's), else cancelled with a note naming `optionName`.
  FileDialogAnswer answerFileDialog(const std::optional<std::string>& option,
                                    const char* optionName, bool saving, const std::string& title,
                                    const std::string& initialDirectory, const std::string& filter);
  // Asks for a path until one is acceptable to the dialog; nothing when the person cancels.
  std::optional<std::string> promptPath(bool saving);
  std::optional<std::string> prompt(const std::string& question);

  const std::string mdmFile;
  const CliOptions& options;
  const bool prompting;
  ProgressLine& progress;
  bool mdmChosen = false;
  bool askedToLocate = false;
  bool askedToSave = false;
  std::optional<std::string> located;
};

}  // namespace kelvora::cli
