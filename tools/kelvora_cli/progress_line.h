// How far a run's reading of SDMs has come ("Reading SDM 153/1600"), shown on one line of
// standard error while a study with many SDMs is read, and erased before anything else is written
// to the terminal. Shown only where standard error is a terminal; otherwise every call is a no-op.
#pragma once

#include <chrono>
#include <cstddef>

namespace kelvora::cli {

// Studies with fewer SDMs are read too quickly for progress to be worth showing.
inline constexpr std::size_t kProgressFromSdmCount = 50;

class ProgressLine {
 public:
  explicit ProgressLine(bool enabled) : enabled(enabled) {}

  // `sdmsRead` of `sdmCount` SDMs have been read; the next one is being read. Redraws at most
  // every tenth of a second; erases the line once all are read.
  void show(std::size_t sdmsRead, std::size_t sdmCount);
  // Removes the line, if one is shown, leaving the cursor at the start of the empty line.
  void erase();

 private:
  const bool enabled;
  std::size_t shownWidth = 0;  // characters on the line now; 0 when nothing is shown
  std::chrono::steady_clock::time_point lastDrawn;
};

}  // namespace kelvora::cli
