#include <cstdio>
#include <iostream>
#include <string>

#include "answer_prompt.h"
#include "report/error_output.h"

namespace kelvora::cli {

using namespace report;

std::optional<std::string> readAnswer(const std::string& prompt) {
  writeError(prompt);
  std::string line;
  if (!std::getline(std::cin, line)) {
    std::fputs("\n", stderr);
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace kelvora::cli
