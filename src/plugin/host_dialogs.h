// The user's dialogs as the host provides them: file dialogs with a 512-byte buffer, the yes/no
// question and the message box, each through the host function table.
#pragma once

#include "designmatrix/user_dialogs.h"

namespace kelvora {

class HostDialogs : public UserDialogs {
 public:
  // The buffer's text is read whatever the result, with its last byte forced to NUL first, so a
  // host that fills all 512 bytes cannot make the plug-in read past them. A dialog the host does
  // not provide answers as cancelled, with an empty text.
  FileDialogAnswer chooseFileToOpen(const std::string& title, const std::string& initialDirectory,
                                    const std::string& filter) override;
  FileDialogAnswer chooseFileToSave(const std::string& title, const std::string& initialDirectory,
                                    const std::string& filter) override;
  // Only an answer of exactly 1 is yes; a missing function answers no.
  bool askYesNo(const std::string& question) override;
  void showMessage(const std::string& text) override;
};

}  // namespace kelvora
