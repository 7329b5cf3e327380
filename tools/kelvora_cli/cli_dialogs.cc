#include "cli_dialogs.h"

#include <cctype>
#include <cstdio>

#include "answer_prompt.h"
#include "designmatrix/path_names.h"
#include "inspector/repair_safeguards.h"
#include "inspector/user_paths.h"
#include "report/error_output.h"

namespace kelvora::cli {

using namespace inspector;
using namespace report;
namespace {

constexpr char kPathQuestion[] = "  path (an empty line cancels): ";

bool isYes(std::string answer) {
  for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return answer == "y" || answer == "yes";
}

// The dialog as a prompt: its title, then its filter and initial directory.
std::string fileDialogHeading(const std::string& title, const std::string& initialDirectory,
                              const std::string& filter) {
  std::string text = title + "\n  " + filter;
  if (!initialDirectory.empty()) text += ", in " + initialDirectory;
  return text + "\n";
}

}  // namespace

void TerminalFrontEnd::showMessage(const std::string& text) {
  progress.erase();
  writeError(text + "\n");
}

void TerminalFrontEnd::showProgress(std::size_t sdmsRead, std::size_t sdmCount) {
  progress.show(sdmsRead, sdmCount);
}

std::optional<std::string> TerminalFrontEnd::promptFile(bool saving, const std::string& title,
                                                        const std::string& initialDirectory,
                                                        const std::string& filter,
                                                        const std::string& missingSdmName) {
  progress.erase();
  writeError(fileDialogHeading(title, initialDirectory, filter));
  for (;;) {
    const std::optional<std::string> answer = prompt(kPathQuestion);
    if (!answer || answer->empty()) return std::nullopt;
    const std::string path = fullPath(*answer);
    std::optional<bool> taken;
    switch (kindOf(path)) {
      case PathKind::kFolder:
        writeError("  " + path + " is a folder, not a file\n");
        continue;
      case PathKind::kNothing:
        if (saving) return path;
        writeError("  " + path + " does not exist\n");
        continue;
      case PathKind::kFile:
        taken = saving ? promptYesNo("  " + path + " exists: overwrite? [y/N] ")
                       : takenForMissingSdm(path, missingSdmName);
        if (!taken) return std::nullopt;
        if (*taken) return path;
        continue;
    }
  }
}

std::optional<bool> TerminalFrontEnd::takenForMissingSdm(const std::string& path,
                                                         const std::string& missingSdmName) {
  if (sameFileName(missingSdmName, path)) return true;
  writeError("  " + fileNameOf(path) + " is not " + missingSdmName +
             ", the SDM the MDM names: every path of the MDM would be re-based on it\n");
  return promptYesNo("  take it all the same? [y/N] ");
}

std::optional<bool> TerminalFrontEnd::promptYesNo(const std::string& question) {
  const std::optional<std::string> answer = prompt(question);
  if (!answer) return std::nullopt;
  return isYes(*answer);
}

std::optional<std::string> TerminalFrontEnd::prompt(const std::string& question) {
  progress.erase();
  return readAnswer(question);
}

}  // namespace kelvora::cli
