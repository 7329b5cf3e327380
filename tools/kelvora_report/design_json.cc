#include "design_json.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "designmatrix/path_names.h"
#include "further_finding.h"
#include "text_bytes.h"

namespace kelvora::report {
namespace {

using Json = nlohmann::ordered_json;

Json predictorJson(const SdmDesign& design, std::int64_t column) {
  const auto index = static_cast<std::size_t>(column);
  return Json{{"number", column + 1},
              {"name", latin1ToUtf8(index < design.names.size() ? design.names[index] : "")}};
}

std::string predictorText(const SdmDesign& design, std::int64_t column) {
  const auto index = static_cast<std::size_t>(column);
  return "predictor " + std::to_string(column + 1) + " " +
         diagnostics::visible(index < design.names.size() ? design.names[index] : "");
}

std::string predictorsText(const SdmDesign& design, const std::vector<std::int32_t>& columns,
                           std::int64_t except) {
  std::string text;
  for (const std::int64_t column : columns) {
    if (column != except) text += (text.empty() ? "" : ", ") + predictorText(design, column);
  }
  return text;
}

}  // namespace

std::string dependencySentence(const SdmDesign& design, const Dependency& dependency) {
  const std::string file = fileNameOf(design.path) + ": ";
  char index[32];
  std::snprintf(index, sizeof index, "%.1f", dependency.conditionIndex);
  if (dependency.kind == DependencyKind::kNearDependent) {
    return file + predictorsText(design, dependency.predictors, -1) +
           " are nearly dependent (condition index " + index + ")";
  }
  if (dependency.predictors.size() == 1) {
    return file + predictorText(design, dependency.dependent) + " is zero throughout";
  }
  return file + predictorText(design, dependency.dependent) + " is a combination of " +
         predictorsText(design, dependency.predictors, dependency.dependent);
}

const char* dependencyCodeName(DependencyKind kind) {
  return kind == DependencyKind::kRankDeficient ? "RANK_DEFICIENT_DESIGN" : "NEAR_DEPENDENT_DESIGN";
}

void forEachDesignFinding(const StudyDesigns& designs,
                          const std::function<void(const Json&)>& visit) {
  for (const SdmDesign& design : designs.sdms) {
    if (!design.read) continue;
    if (design.rank.skipped) {
      visit(Json{
          {"code", "RANK_CHECK_SKIPPED"},
          {"severity", "warning"},
          {"file", latin1ToUtf8(design.path)},
          {"rank", nullptr},
          {"columns", design.rank.columns},
          {"conditionIndex", nullptr},
          {"dependent", nullptr},
          {"predictors", Json::array()},
      });
    }
    for (const Dependency& dependency : design.rank.dependencies) {
      Json predictors = Json::array();
      for (const std::int64_t column : dependency.predictors) {
        predictors.push_back(predictorJson(design, column));
      }
      const bool near = dependency.kind == DependencyKind::kNearDependent;
      visit(Json{
          {"code", dependencyCodeName(dependency.kind)},
          {"severity", "warning"},
          {"file", latin1ToUtf8(design.path)},
          {"rank", design.rank.rank},
          {"columns", design.rank.columns},
          {"conditionIndex", near ? Json(dependency.conditionIndex) : Json(nullptr)},
          {"dependent", near ? Json(nullptr) : predictorJson(design, dependency.dependent)},
          {"predictors", std::move(predictors)},
      });
    }
  }
}

}  // namespace kelvora::report
