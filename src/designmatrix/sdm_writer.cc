#include <charconv>
#include <cmath>
#include <set>
#include <string>
#include <string_view>

#include "designmatrix/sdm_matrix.h"
#include "files/safe_file.h"

namespace kelvora {
namespace {

constexpr char kLineEnd[] = "\r\n";

std::string refusal(const SdmToWrite& design) {
  const std::size_t predictors = design.names.size();
  if (!design.colors.empty() && design.colors.size() != predictors) {
    return "there are " + std::to_string(design.colors.size()) + " colours for " +
           std::to_string(predictors) + " predictors";
  }
  if (design.dataPoints < 0 || design.dataPoints > INT32_MAX ||
      sdmTooLargeToRead(static_cast<std::int32_t>(std::min<std::size_t>(predictors, INT32_MAX)),
                        static_cast<std::int32_t>(design.dataPoints), UINT64_MAX)) {
    return "a design of " + std::to_string(design.dataPoints) + " data points and " +
           std::to_string(predictors) + " predictors is more than an SDM may hold";
  }
  std::set<std::string_view> seen;
  for (const std::string& name : design.names) {
    if (name.empty()) return "a predictor name is empty";
    if (name.find_first_of("\"\r\n") != std::string::npos) {
      return "the predictor name " + name + " holds a '\"' or a line end";
    }
    if (!seen.insert(name).second) return "the predictor name " + name + " is given twice";
  }
  for (const auto& color : design.colors) {
    for (const std::int32_t component : color) {
      if (component < 0 || component > 255) return "a colour component is outside 0..255";
    }
  }
  const std::size_t count = predictors * static_cast<std::size_t>(design.dataPoints);
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(design.values[i])) {
      const std::size_t dataPoints = static_cast<std::size_t>(design.dataPoints);
      return "the value of predictor " + design.names[i / dataPoints] + " at data point " +
             std::to_string(i % dataPoints) + " is not finite";
    }
  }
  return "";
}

void appendValue(std::string& text, float value) {
  char digits[32];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, end.ptr);
}

}  // namespace

std::string writeSdm(const std::string& path, const SdmToWrite& design) {
  if (std::string why = refusal(design); !why.empty()) return why;
  const std::size_t predictors = design.names.size();
  const std::size_t dataPoints = static_cast<std::size_t>(design.dataPoints);
  std::string text = "FileVersion: 1" + std::string(kLineEnd) + kLineEnd;
  text += "NrOfPredictors: " + std::to_string(predictors) + kLineEnd;
  text += "NrOfDataPoints: " + std::to_string(dataPoints) + kLineEnd;
  text += "IncludesConstant: " + std::to_string(design.includesConstant ? 1 : 0) + kLineEnd;
  text += "FirstConfoundPredictor: " + std::to_string(design.firstConfoundPredictor) + kLineEnd;
  text += kLineEnd;
  for (std::size_t p = 0; p < predictors; ++p) {
    const std::array<std::int32_t, 3> color =
        design.colors.empty() ? std::array<std::int32_t, 3>{128, 128, 128} : design.colors[p];
    text += std::to_string(color[0]) + " " + std::to_string(color[1]) + " " +
            std::to_string(color[2]) + kLineEnd;
  }
  for (std::size_t p = 0; p < predictors; ++p)
    text += (p == 0 ? "\"" : " \"") + design.names[p] + "\"";
  text += kLineEnd;
  for (std::size_t t = 0; t < dataPoints; ++t) {
    for (std::size_t p = 0; p < predictors; ++p) {
      if (p != 0) text += ' ';
      appendValue(text, design.values[p * dataPoints + t]);
    }
    text += kLineEnd;
  }
  if (!replaceFileContents(path, text)) return "the file " + path + " could not be written";
  return "";
}

}  // namespace kelvora
