// A scripted user for anything that talks through UserDialogs: answers are queued in advance and
// every call is recorded as one readable line. A dialog without a queued answer is cancelled, a
// question without one is answered no.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "designmatrix/user_dialogs.h"

namespace kelvora::testing {

class FakeDialogs : public UserDialogs {
 public:
  FakeDialogs& chooseToOpen(std::string path) { return queue(opens, {true, std::move(path)}); }
  FakeDialogs& cancelOpen() { return queue(opens, {false, ""}); }
  FakeDialogs& chooseToSave(std::string path) { return queue(saves, {true, std::move(path)}); }
  FakeDialogs& cancelSave() { return queue(saves, {false, ""}); }
  FakeDialogs& answer(bool yes) {
    answers.push_back(yes);
    return *this;
  }

  // One line per call, in order: `open|title|initial directory|filter`,
  // `save|title|initial directory|filter`, `yesno|question`, `message|text`.
  const std::vector<std::string>& calls() const { return recorded; }

  FileDialogAnswer chooseFileToOpen(const std::string& title, const std::string& initialDirectory,
                                    const std::string& filter) override {
    recorded.push_back("open|" + title + "|" + initialDirectory + "|" + filter);
    return next(opens);
  }
  FileDialogAnswer chooseFileToSave(const std::string& title, const std::string& initialDirectory,
                                    const std::string& filter) override {
    recorded.push_back("save|" + title + "|" + initialDirectory + "|" + filter);
    return next(saves);
  }
  bool askYesNo(const std::string& question) override {
    recorded.push_back("yesno|" + question);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void showMessage(const std::string& text) override { recorded.push_back("message|" + text); }

 private:
  FakeDialogs& queue(std::deque<FileDialogAnswer>& to, FileDialogAnswer answer) {
    to.push_back(std::move(answer));
    return *this;
  }
  static FileDialogAnswer next(std::deque<FileDialogAnswer>& from) {
    if (from.empty()) return {};
    FileDialogAnswer answer = std::move(from.front());
    from.pop_front();
    return answer;
  }

  std::deque<FileDialogAnswer> opens;
  std::deque<FileDialogAnswer> saves;
  std::deque<bool> answers;
  std::vector<std::string> recorded;
};

}  // namespace kelvora::testing
