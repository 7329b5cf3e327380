#include <editline/readline.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "answer_prompt.h"
#include "report/error_output.h"

namespace kelvora::cli {

using namespace report;
namespace {

struct FreeLine {
  void operator()(char* line) const { std::free(line); }
};

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
