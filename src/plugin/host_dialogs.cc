#include "plugin/host_dialogs.h"

#include "plugin/host_calls.h"

namespace kelvora {
namespace {

using HostFileDialog = int (*)(const char*, const char*, const char*, char*);

FileDialogAnswer askHost(HostFileDialog dialog, const std::string& title,
                         const std::string& initialDirectory, const std::string& filter) {
  char buffer[kDialogBufferSize] = {};
  const int result = dialog(title.c_str(), initialDirectory.c_str(), filter.c_str(), buffer);
  buffer[kDialogBufferSize - 1] = '\0';
  return FileDialogAnswer{result != 0, buffer};
}

}  // namespace

FileDialogAnswer HostDialogs::chooseFileToOpen(const std::string& title,
                                               const std::string& initialDirectory,
                                               const std::string& filter) {
  return askHost(&hostGetOpenFileName, title, initialDirectory, filter);
}

FileDialogAnswer HostDialogs::chooseFileToSave(const std::string& title,
                                               const std::string& initialDirectory,
                                               const std::string& filter) {
  return askHost(&hostGetSaveFileName, title, initialDirectory, filter);
}

bool HostDialogs::askYesNo(const std::string& question) {
  return hostYesNoMessageBox(question.c_str()) == 1;
}

void HostDialogs::showMessage(const std::string& text) { hostMessageBox(text.c_str()); }

}  // namespace kelvora
