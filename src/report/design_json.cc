#include "report/design_json.h"

#include <cmath>
#include <cstddef>
#include <string>

#include "analysis/finding_record.h"
#include "report/text_bytes.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
namespace {

using Json = nlohmann::ordered_json;

Json predictorJson(const SdmDesign& design, std::int64_t column) {
  const auto index = static_cast<std::size_t>(column);
  return Json{{"number", column + 1},
              {"name", latin1ToUtf8(index < design.names.size() ? design.names[index] : "")}};
}

Json warningJson(const SdmDesign& design, const DesignWarning& warning) {
  Json predictors = Json::array();
  for (const std::int32_t column : warningPredictors(warning)) {
    predictors.push_back(predictorJson(design, column));
  }
  Json object{
      {"code", designWarningCodeName(warning.code)},
      {"severity", recordSeverityName(warning.severity)},
      {"file", latin1ToUtf8(design.path)},
      {"rank", design.rank.rank},
      {"columns", design.rank.columns},
      {"conditionIndex", nullptr},
      {"dependent", nullptr},
      {"predictors", std::move(predictors)},
  };
  switch (warning.code) {
    case DesignWarningCode::kPredictorCorrelation:
      object["r"] = warning.value;
      break;
    case DesignWarningCode::kMoreCorrelations:
      object["pairs"] = static_cast<std::int64_t>(warning.value);
      break;
    case DesignWarningCode::kHighVif:
      object["vif"] = std::isinf(warning.value) ? Json(nullptr) : Json(warning.value);
      break;
  }
  return object;
}

}  // namespace

void forEachDesignFinding(const StudyDesigns& designs,
                          const std::function<void(const Json&)>& shown,
                          const FindingPolicy* policy) {
  forEachToldDesign(designs, [&](const SdmDesign& design) {
    const auto visit = [&](Json finding, const std::vector<std::int32_t>& columns = {}) {
      if (policy != nullptr) {
        const auto action = policy->actionFor(finding["code"].get<std::string>(), design.path,
                                              policyPredictorsOf(design, columns));
        if (action == PolicyAction::kIgnore) return;
        if (action) finding["severity"] = policyActionName(*action);
      }
      shown(finding);
    };
    if (design.rank.skipped) {
      visit(Json{
          {"code", kRankCheckSkippedCode},
          {"severity", "note"},
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
          {"severity", recordSeverityName(dependencySeverity(dependency, design.interestCount))},
          {"file", latin1ToUtf8(design.path)},
          {"rank", design.rank.rank},
          {"columns", design.rank.columns},
          {"conditionIndex", near ? Json(dependency.conditionIndex) : Json(nullptr)},
          {"dependent", near ? Json(nullptr) : predictorJson(design, dependency.dependent)},
          {"predictors", std::move(predictors)},
      }, dependency.predictors);
    }
    if (design.rank.unlisted > 0) {
      visit(Json{
          {"code", kDependenciesMoreCode},
          {"severity", "warning"},
          {"file", latin1ToUtf8(design.path)},
          {"rank", design.rank.rank},
          {"columns", design.rank.columns},
          {"conditionIndex", nullptr},
          {"dependent", nullptr},
          {"predictors", Json::array()},
          {"dependencies", design.rank.unlisted},
      });
    }
    for (const DesignWarning& warning : design.warnings.items()) {
      visit(warningJson(design, warning), warningPredictors(warning));
    }
  });
}

void forEachSdmDesign(const StudyDesigns& designs, const std::function<void(const Json&)>& visit) {
  for (const SdmDesign& design : designs.sdms) {
    if (!design.read) continue;
    const RankCheck& rank = design.rank;
    visit(Json{
        {"file", latin1ToUtf8(design.path)},
        {"rank", rank.skipped ? Json(nullptr) : Json(rank.rank)},
        {"columns", rank.columns},
        {"conditionNumber",
         shownConditionNumber(rank) ? Json(*shownConditionNumber(rank)) : Json(nullptr)},
        {"conditionGrade",
         shownConditionGrade(rank) ? Json(shownConditionGrade(rank)) : Json(nullptr)},
        {"interestConditionNumber", shownInterestConditionNumber(rank)
                                        ? Json(*shownInterestConditionNumber(rank))
                                        : Json(nullptr)},
        {"interestConditionGrade", shownInterestConditionGrade(rank)
                                       ? Json(shownInterestConditionGrade(rank))
                                       : Json(nullptr)},
    });
  }
}

}  // namespace kelvora::report
