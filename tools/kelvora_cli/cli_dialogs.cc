#include "cli_dialogs.h"

#include <cctype>
#include <cstdio>
#include <utility>

#include "answer_prompt.h"
#include "error_output.h"
#include "user_paths.h"

namespace kelvora::cli {
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
      prompting(prompting && !options.locate),
      progress(progress) {}

FileDialogAnswer CommandLineDialogs::chooseFileToOpen(const std::string& title,
                                                      const std::string& initialDirectory,
                                                      const std::string& filter) {
  if (!mdmChosen) {  // a run asks for its MDM before anything else
    mdmChosen = true;
    return FileDialogAnswer{true, mdmFile};
  }
  askedToLocate = true;
  const FileDialogAnswer answer =
      answerFileDialog(options.locate, "--locate SDM_PATH", false, title, initialDirectory, filter);
  if (answer.chosen) located = answer.path;
  return answer;
}

FileDialogAnswer CommandLineDialogs::chooseFileToSave(const std::string& title,
                                                      const std::string& initialDirectory,
                                                      const std::string& filter) {
  return answerFileDialog(options.saveMdm, "--save-mdm MDM_PATH", true, title, initialDirectory,
                          filter);
}

bool CommandLineDialogs::askYesNo(const std::string& question) {
  askedToSave = true;
  if (options.saveMdm) return true;
  if (!prompting) return false;
  const std::optional<std::string> answer = prompt(question + " [y/N] ");
  return answer && isYes(*answer);
}

void CommandLineDialogs::showMessage(const std::string& text) {
  progress.erase();
  writeError(text + "\n");
}

void CommandLineDialogs::showProgress(std::size_t sdmsRead, std::size_t sdmCount) {
  progress.show(sdmsRead, sdmCount);
}

FileDialogAnswer CommandLineDialogs::answerFileDialog(const std::optional<std::string>& option,
                                                      const char* optionName, bool saving,
                                                      const std::string& title,
                                                      const std::string& initialDirectory,
                                                      const std::string& filter) {
  if (option) return FileDialogAnswer{true, *option};
  progress.erase();
  if (prompting) {
    writeError(fileDialogHeading(title, initialDirectory, filter));
    const std::optional<std::string> path = promptPath(saving);
    return path ? FileDialogAnswer{true, *path} : FileDialogAnswer{false, ""};
  }
  writeError("kelvora: cancelled \"" + title + "\": no answer (" + optionName +
             " would answer it)\n");
  return FileDialogAnswer{false, ""};
}

std::optional<std::string> CommandLineDialogs::promptPath(bool saving) {
  for (;;) {
    const std::optional<std::string> answer = prompt(kPathQuestion);
    if (!answer || answer->empty()) return std::nullopt;
    const std::string path = fullPath(*answer);
    switch (kindOf(path)) {
      case PathKind::kFolder:
        writeError("  " + path + " is a folder, not a file\n");
        continue;
      case PathKind::kNothing:
        if (saving) return path;
        writeError("  " + path + " does not exist\n");
        continue;
      case PathKind::kFile: {
        if (!saving) return path;
        const std::optional<std::string> overwrite =
            prompt("  " + path + " exists: overwrite? [y/N] ");
        if (!overwrite) return std::nullopt;
        if (isYes(*overwrite)) return path;
        continue;
      }
    }
  }
}

std::optional<std::string> CommandLineDialogs::prompt(const std::string& question) {
  progress.erase();
  return readAnswer(question);
}

}  // namespace kelvora::cli
