// The person at the terminal, for one inspection on the command line (inspector/repair_dialogs.h
// answers the run's questions from the options). When standard input is a terminal and neither
// --locate nor --no-prompt is given, the repair's questions the options leave open are asked at a
// prompt on standard error. The prompt behaves like the dialog it stands for: a relative path is
// taken in the folder it names (the MDM's, the current folder during the run) and becomes a full
// path; open refuses a path that is missing or a folder and asks again, and confirms a located
// file whose name is not the missing SDM's; save asks before it overwrites; an empty line
// cancels. Message boxes are written to standard error, progress on the progress line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "inspector/front_end.h"
#include "progress_line.h"

namespace kelvora::cli {

class TerminalFrontEnd : public inspector::InspectionFrontEnd {
 public:
  // `prompting`: a person answers at the terminal. The progress line must outlive the object.
  TerminalFrontEnd(bool prompting, ProgressLine& progress)
      : prompting(prompting), progress(progress) {}

  bool prompts() const override { return prompting; }
  std::optional<std::string> promptFile(bool saving, const std::string& title,
                                        const std::string& initialDirectory,
                                        const std::string& filter,
                                        const std::string& missingSdmName) override;
  std::optional<bool> promptYesNo(const std::string& question) override;
  void showMessage(const std::string& text) override;
  void showProgress(std::size_t sdmsRead, std::size_t sdmCount) override;

 private:
  // Whether the person takes `path` for the missing SDM: at once when the names agree, else
  // after a y/N question; nothing when the person cancels.
  std::optional<bool> takenForMissingSdm(const std::string& path,
                                         const std::string& missingSdmName);
  std::optional<std::string> prompt(const std::string& question);

  const bool prompting;
  ProgressLine& progress;
};

}  // namespace kelvora::cli
