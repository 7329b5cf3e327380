// Reads what a person types at the terminal in answer to a prompt. One implementation per
// platform: on Linux with line editing and Tab completion of paths (libedit,
// answer_prompt_libedit.cc); on Windows with the console's own editing (answer_prompt_console.cc).
// Called only when standard input is a terminal.
#pragma once

#include <optional>
#include <string>

namespace kelvora::cli {

// Shows `prompt` on standard error (on one line) and returns the line typed, without its line end;
// nothing at the end of the input.
std::optional<std::string> readAnswer(const std::string& prompt);

}  // namespace kelvora::cli
