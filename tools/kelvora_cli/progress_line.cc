#include "progress_line.h"

#include <cstdio>
#include <string>

namespace kelvora::cli {

namespace {

constexpr std::chrono::milliseconds kRedrawInterval(100);

}  // namespace

void ProgressLine::show(std::size_t sdmsRead, std::size_t sdmCount) {
  if (!enabled || sdmCount < kProgressFromSdmCount) return;
  if (sdmsRead >= sdmCount) {
    erase();
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (shownWidth > 0 && now - lastDrawn < kRedrawInterval) return;
  lastDrawn = now;
  std::string text = "Reading SDM " + std::to_string(sdmsRead + 1) + "/" + std::to_string(sdmCount);
  // Blanks over the rest of a longer previous text; carriage returns, not terminal control
  // sequences, so that every console shows it the same way.
  const std::size_t width = text.size();
  if (width < shownWidth) text.append(shownWidth - width, ' ');
  std::fprintf(stderr, "\r%s", text.c_str());
  std::fflush(stderr);
  shownWidth = width;
}

void ProgressLine::erase() {
  if (shownWidth == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(shownWidth, ' ').c_str());
  std::fflush(stderr);
  shownWidth = 0;
}

}  // namespace kelvora::cli
