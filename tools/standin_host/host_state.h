// The stand-in host's state shared by its exported functions and its main program: the version it
// reports, the scripted dialog answers, and the transcript it writes.
#pragma once

#include <deque>
#include <string>

#include "transcript.h"

namespace standin {

// One scripted answer of a file dialog: the result it returns and what it leaves in the buffer.
struct DialogAnswer {
  int result = 0;
  bool writesText = false;  // false: the buffer stays as it was
  std::string text;         // written as is; 512 bytes or more fill the buffer without a NUL
};

struct HostState {
  int versionMajor = 2;
  int versionMinor = 8;
  int versionPatch = 0;
  std::deque<DialogAnswer> openAnswers;
  std::deque<DialogAnswer> saveAnswers;
  std::deque<int> yesNoAnswers;
  Transcript transcript;
};

HostState& hostState();

}  // namespace standin
