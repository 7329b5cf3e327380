// What a front end of one inspection (kelvora, the Python module) adds to it: a person who answers
// the repair's questions that the request leaves open, the run's message boxes and its progress.
// The defaults answer nothing and show nothing, as a script needs. Called on the thread that runs
// the inspection, during the run only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kelvora::inspector {

class InspectionFrontEnd {
 public:
  virtual ~InspectionFrontEnd() = default;

  // True when a person can be asked (a terminal); only then are the prompts below called.
  virtual bool prompts() const { return false; }
  // The run's file dialog asked of the person: a path the dialog accepts (`saving`: the save
  // dialog's rules), or nothing when the person cancels. `missingSdmName` is the file name of the
  // SDM the repair looks for (empty for the save dialog).
  virtual std::optional<std::string> promptFile(bool saving, const std::string& title,
                                                const std::string& initialDirectory,
                                                const std::string& filter,
                                                const std::string& missingSdmName) {
    (void)saving, (void)title, (void)initialDirectory, (void)filter, (void)missingSdmName;
    return std::nullopt;
  }
  // A yes/no question asked of the person: nothing when the person cancels.
  virtual std::optional<bool> promptYesNo(const std::string& question) {
    (void)question;
    return std::nullopt;
  }
  // The run's message box.
  virtual void showMessage(const std::string& text) { (void)text; }
  // As UserDialogs::showProgress. May throw to stop the run (an interrupt): the exception passes
  // to the inspection, which then ends as stopped.
  virtual void showProgress(std::size_t sdmsRead, std::size_t sdmCount) {
    (void)sdmsRead, (void)sdmCount;
  }
};

}  // namespace kelvora::inspector
