// The user's side of one inspection run on the command line. The run's questions are answered in
// the order it asks them:
// - its first file dialog (the choice of the MDM) by the MDM_FILE argument of this run;
// - any later file dialog (the repair's "SDM not found. Select ... manually.") by --locate;
// - the question whether to save the corrected MDM: yes when --save-mdm is given, otherwise no;
// - the save dialog by the --save-mdm path.
// When standard input is a terminal and --locate is not given, the repair's questions are asked at
// a prompt on standard error instead (an option that answers one still answers it). When nothing
// can answer a dialog, it is cancelled and standard error names the option that would have
// answered it. Message boxes are written to standard error. The texts shown are those the run
// passes in.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "cli_options.h"
#include "designmatrix/user_dialogs.h"
#include "progress_line.h"

namespace kelvora::cli {

class CommandLineDialogs : public UserDialogs {
 public:
  // `prompting`: a person answers at `input` what the options leave open. The references must
  // outlive the dialogs.
  CommandLineDialogs(std::string mdmFile, const CliOptions& options, bool prompting,
                     std::istream& input, ProgressLine& progress);

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

 private:
  // The answer to a file dialog: from `option` if given, else from the prompt, else cancelled
  // with a note naming `optionName`.
  FileDialogAnswer answerFileDialog(const std::optional<std::string>& option,
                                    const char* optionName, const std::string& title,
                                    const std::string& initialDirectory, const std::string& filter);
  // Writes `question` to standard error and reads one line; nothing at the end of the input.
  std::optional<std::string> promptLine(const std::string& question);

  const std::string mdmFile;
  const CliOptions& options;
  const bool prompting;
  std::istream& input;
  ProgressLine& progress;
  bool mdmChosen = false;
  std::optional<std::string> located;
};

}  // namespace kelvora::cli
