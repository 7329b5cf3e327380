#include "report/disagreement_table.h"

#include <variant>

#include "designmatrix/path_names.h"
#include "report/text_bytes.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
namespace {

std::string valueText(const FindingValue& value) {
  if (const auto* count = std::get_if<std::int64_t>(&value)) return std::to_string(*count);
  if (const auto* name = std::get_if<std::string>(&value)) {
    return "<code>" + htmlText(visible(*name)) + "</code>";
  }
  return "";
}

const MismatchCause* causeOf(const Finding& finding, const StudyDiagnosis& diagnosis) {
  for (const MismatchCause& cause : diagnosis.causes) {
    if (cause.path == finding.path && cause.predictorNumber == finding.predictorNumber) {
      return &cause;
    }
  }
  return nullptr;
}

}  // namespace

std::string disagreementSection(const RunOutcome& outcome, const StudyDiagnosis& diagnosis) {
  std::string rows;
  for (const Finding& finding : outcome.findings) {
    if (finding.code != FindingCode::kPredictorCountMismatch &&
        finding.code != FindingCode::kPredictorNameMismatch) {
      continue;
    }
    const MismatchCause* cause = causeOf(finding, diagnosis);
    rows += "<tr data-file=\"" + htmlText(finding.path) + "\" data-cause=\"" +
            (cause ? causeCodeName(cause->code) : "") + "\"><td>" +
            htmlText(fileNameOf(finding.path)) + "</td><td class=\"num\">" +
            (finding.predictorNumber ? std::to_string(*finding.predictorNumber) : "count") +
            "</td><td>" + valueText(finding.prevailing) + "</td><td>" + valueText(finding.found) +
            "</td><td>" +
            (cause ? "<code>" + std::string(causeCodeName(cause->code)) + "</code> " +
                         htmlText(cause->text)
                   : "<span class=\"note\">no likely cause</span>") +
            "</td></tr>\n";
  }
  if (rows.empty()) return "";
  return "<section id=\"disagreements\"><h2>Disagreements</h2>\n<p class=\"note\">The SDMs whose "
         "predictors of interest differ from what most SDMs have, with the likely cause where one "
         "fits.</p>\n<table class=\"disagreements\"><tr><th>SDM</th><th>predictor</th>"
         "<th>prevailing</th><th>found</th><th>likely cause</th></tr>\n" +
         rows + "</table></section>\n";
}

}  // namespace kelvora::report
