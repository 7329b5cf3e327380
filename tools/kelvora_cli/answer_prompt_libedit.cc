#include <editline/readline.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "answer_prompt.h"
#include "files/relative_paths.h"
#include "report/error_output.h"

namespace kelvora::cli {

using namespace report;
namespace {

struct FreeLine {
  void operator()(char* line) const { std::free(line); }
};

// Tab completes a relative path in the folder the run anchored (its MDM's, where the prompt's
// dialog opens and where the answer is taken), not in the process's current folder, which stays
// where kelvora started. Without an anchor, and for a full path, libedit completes as usual.
char** completeInAnchoredFolder(const char* text, int, int) {
  const std::string folder = relativePathFolder();
  if (folder.empty() || text[0] == '/' || text[0] == '~') return nullptr;
  const std::string prefix = folder.back() == '/' ? folder : folder + '/';
  rl_attempted_completion_over = 1;  // no second try in the current folder
  char** matches = rl_completion_matches((prefix + text).c_str(), rl_filename_completion_function);
  for (char** match = matches; match != nullptr && *match != nullptr; ++match) {
    if (std::strncmp(*match, prefix.c_str(), prefix.size()) == 0) {
      std::memmove(*match, *match + prefix.size(), std::strlen(*match) - prefix.size() + 1);
    }
  }
  return matches;
}

// The prompt and the editing go to standard error: standard output carries the log or the JSON.
// An answer is one path, blanks included, so the whole line is the word that Tab completes, and a
// completed file name gets nothing appended.
void setUpLineEditing() {
  static bool ready = false;
  if (ready) return;
  rl_readline_name = "kelvora";
  rl_instream = stdin;
  rl_outstream = stderr;
  rl_basic_word_break_characters = "";
  rl_completion_append_character = '\0';
  rl_attempted_completion_function = completeInAnchoredFolder;
  rl_initialize();
  ready = true;
}

}  // namespace

std::optional<std::string> readAnswer(const std::string& prompt) {
  setUpLineEditing();
  const std::unique_ptr<char, FreeLine> line(readline(withControlBytesShown(prompt).c_str()));
  if (line == nullptr) {
    std::fputs("\n", stderr);
    return std::nullopt;
  }
  return std::string(line.get());
}

}  // namespace kelvora::cli
