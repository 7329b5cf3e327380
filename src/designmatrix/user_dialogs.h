// The user's side of a run: the file dialogs, the yes/no question and the message box that the
// inspection and the path repair need. The plug-in answers them through the host's dialogs, the
// command-line inspector through its options and prompts, tests through scripted fakes.
// Implementations never throw.
#pragma once

#include <cstddef>
#include <string>

namespace kelvora {

struct FileDialogAnswer {
  bool chosen = false;  // the dialog reported a choice (the host's result was non-zero)
  std::string path;     // the text the dialog left behind, whatever `chosen` says
};

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;

  // `initialDirectory` has no trailing separator; empty leaves the choice to the dialog. `filter`
  // is a description, a blank and a pattern in parentheses; the pattern may be one exact name.
  virtual FileDialogAnswer chooseFileToOpen(const std::string& title,
                                            const std::string& initialDirectory,
                                            const std::string& filter) = 0;
  virtual FileDialogAnswer chooseFileToSave(const std::string& title,
                                            const std::string& initialDirectory,
                                            const std::string& filter) = 0;
  // True only for a clear yes.
  virtual bool askYesNo(const std::string& question) = 0;
  // A "\n" in `text` starts a new line.
  virtual void showMessage(const std::string& text) = 0;
  // While a run reads its SDMs: `sdmsRead` of `sdmCount` are read (called before each SDM is read,
  // and with sdmsRead == sdmCount once all are). Only a front end that shows progress overrides it.
  virtual void showProgress(std::size_t sdmsRead, std::size_t sdmCount) {
    (void)sdmsRead;
    (void)sdmCount;
  }
};

}  // namespace kelvora
