#include "cli_dialogs.h"

#include <cctype>
#include <cstdio>
#include <utility>

#include "answer_prompt.h"
#include "designmatrix/path_names.h"
#include "mdm_file_glance.h"
#include "repair_safeguards.h"
#include "report/error_output.h"
#include "user_paths.h"

namespace kelvora::cli {

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

CommandLineDialogs::CommandLineDialogs(std::string mdmFile, const CliOptions& options,
                                       bool prompting, ProgressLine& progress)
    : mdmFile(std::move(mdmFile)),
      options(options),
      prompting(prompting && !options.locate && !options.noPrompt),
      progress(progress) {}

FileDialogAnswer CommandLineDialogs::chooseFileToOpen(const std::string& title,
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

FileDialogAnswer CommandLineDialogs::locateFirstSdm(const std::string& title,
                                                    const std::string& initialDirectory,
                                                    const std::string& filter) {
  answeredLocate = LocateAnswer::kNobodyAsked;
  if (!options.locate && !prompting) return FileDialogAnswer{false, ""};
  study = readMdmForChecks(mdmFile);
  if (!study || study->sdmPaths.empty()) {
    answeredLocate = LocateAnswer::kMdmUnreadable;
    return FileDialogAnswer{false, ""};
  }
  missingName = fileNameOf(study->sdmPaths.front());
  if (options.locate) {
    if (options.forceLocate || sameFileName(missingName, *options.locate)) {
      return FileDialogAnswer{true, *options.locate};
    }
    answeredLocate = LocateAnswer::kNameRefused;
    return FileDialogAnswer{false, ""};
  }
  const std::optional<std::string> path = promptFileDialog(false, title, initialDirectory, filter);
  if (!path) answeredLocate = LocateAnswer::kPromptCancelled;
  return path ? FileDialogAnswer{true, *path} : FileDialogAnswer{false, ""};
}

FileDialogAnswer CommandLineDialogs::chooseFileToSave(const std::string& title,
                                                      const std::string& initialDirectory,
                                                      const std::string& filter) {
  if (options.saveMdm) return FileDialogAnswer{true, *options.saveMdm};
  if (!prompting) return FileDialogAnswer{false, ""};  // askYesNo answered no already
  const std::optional<std::string> path = promptFileDialog(true, title, initialDirectory, filter);
  return path ? FileDialogAnswer{true, *path} : FileDialogAnswer{false, ""};
}

bool CommandLineDialogs::askYesNo(const std::string& question) {
  askedToSave = true;
  if (study && located) unopened = correctedSdmsThatDoNotOpen(*study, *located);
  if (!unopened.empty()) return false;  // saved, the MDM would open and never be repaired again
  if (options.saveMdm) return true;
  if (!prompting) return false;
  return promptYesNo(question + " [y/N] ").value_or(false);
}

void CommandLineDialogs::showMessage(const std::string& text) {
  progress.erase();
  writeError(text + "\n");
}

void CommandLineDialogs::showProgress(std::size_t sdmsRead, std::size_t sdmCount) {
  progress.show(sdmsRead, sdmCount);
}

std::optional<std::string> CommandLineDialogs::promptFileDialog(bool saving,
                                                                const std::string& title,
                                                                const std::string& initialDirectory,
                                                                const std::string& filter) {
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
                       : takenForMissingSdm(path);
        if (!taken) return std::nullopt;
        if (*taken) return path;
        continue;
    }
  }
}

std::optional<bool> CommandLineDialogs::takenForMissingSdm(const std::string& path) {
  if (sameFileName(missingName, path)) return true;
  writeError("  " + fileNameOf(path) + " is not " + missingName +
             ", the SDM the MDM names: every path of the MDM would be re-based on it\n");
  return promptYesNo("  take it all the same? [y/N] ");
}

std::optional<bool> CommandLineDialogs::promptYesNo(const std::string& question) {
  const std::optional<std::string> answer = prompt(question);
  if (!answer) return std::nullopt;
  return isYes(*answer);
}

std::optional<std::string> CommandLineDialogs::prompt(const std::string& question) {
  progress.erase();
  return readAnswer(question);
}

}  // namespace kelvora::cli
