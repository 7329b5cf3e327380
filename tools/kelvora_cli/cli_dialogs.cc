#include "cli_dialogs.h"

#include <cctype>
#include <cstdio>
#include <istream>
#include <utility>

namespace kelvora::cli {
namespace {

void writeError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The dialog as a prompt: its title, then its filter and initial directory, then the question.
std::string fileDialogPrompt(const std::string& title, const std::string& initialDirectory,
                             const std::string& filter) {
  std::string text = title + "\n  " + filter;
  if (!initialDirectory.empty()) text += ", in " + initialDirectory;
  return text + "\n  path (an empty line cancels): ";
}

}  // namespace

CommandLineDialogs::CommandLineDialogs(std::string mdmFile, const CliOptions& options,
                                       bool prompting, std::istream& input, ProgressLine& progress)
    : mdmFile(std::move(mdmFile)),
      options(options),
      prompting(prompting && !options.locate),
      input(input),
      progress(progress) {}

FileDialogAnswer CommandLineDialogs::chooseFileToOpen(const std::string& title,
                                                      const std::string& initialDirectory,
                                                      const std::string& filter) {
  if (!mdmChosen) {  // a run asks for its MDM before anything else
    mdmChosen = true;
    return FileDialogAnswer{true, mdmFile};
  }
  const FileDialogAnswer answer =
      answerFileDialog(options.locate, "--locate SDM_PATH", title, initialDirectory, filter);
  if (answer.chosen) located = answer.path;
  return answer;
}

FileDialogAnswer CommandLineDialogs::chooseFileToSave(const std::string& title,
                                                      const std::string& initialDirectory,
                                                      const std::string& filter) {
  return answerFileDialog(options.saveMdm, "--save-mdm MDM_PATH", title, initialDirectory, filter);
}

bool CommandLineDialogs::askYesNo(const std::string& question) {
  if (options.saveMdm) return true;
  if (!prompting) return false;
  const std::optional<std::string> answer = promptLine(question + " [y/N] ");
  return answer && (lowered(*answer) == "y" || lowered(*answer) == "yes");
}

void CommandLineDialogs::showMessage(const std::string& text) {
  progress.erase();
  writeError(text + "\n");
}

void CommandLineDialogs::showProgress(std::size_t sdmsRead, std::size_t sdmCount) {
  progress.show(sdmsRead, sdmCount);
}

FileDialogAnswer CommandLineDialogs::answerFileDialog(const std::optional<std::string>& option,
                                                      const char* optionName,
                                                      const std::string& title,
                                                      const std::string& initialDirectory,
                                                      const std::string& filter) {
  if (option) return FileDialogAnswer{true, *option};
  if (prompting) {
    const std::optional<std::string> path =
        promptLine(fileDialogPrompt(title, initialDirectory, filter));
    if (path && !path->empty()) return FileDialogAnswer{true, *path};
    return FileDialogAnswer{false, ""};
  }
  progress.erase();
  writeError("kelvora: cancelled \"" + title + "\": no answer (" + optionName +
             " would answer it)\n");
  return FileDialogAnswer{false, ""};
}

std::optional<std::string> CommandLineDialogs::promptLine(const std::string& question) {
  progress.erase();
  writeError(question);
  std::string line;
  if (!std::getline(input, line)) {
    writeError("\n");
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace kelvora::cli
