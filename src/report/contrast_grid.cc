#include "report/contrast_grid.h"

#include <algorithm>

#include "report/text_bytes.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
namespace {

std::string cell(const std::string& contrast, const ContrastSubject& row) {
  const ContrastEstimate& estimate = row.estimate;
  const std::string estimable =
      estimate.estimable ? (*estimate.estimable ? "true" : "false") : "unchecked";
  const bool related = estimate.relativeEfficiency.has_value();
  const std::string relative = related ? decimalText(*estimate.relativeEfficiency, 6) : "";
  std::string text = estimable == "true"    ? "estimable"
                     : estimable == "false" ? "not estimable"
                                            : "not checked";
  if (related) text += "<br>" + decimalText(*estimate.relativeEfficiency, 2) + " &times; median";
  if (row.nullRuns > 0) {
    text +=
        "<br>null in " + std::to_string(row.nullRuns) + " of " + std::to_string(row.runs) + " runs";
  }
  return "<td class=\"cell contrast estimable-" + estimable + "\" data-contrast=\"" + contrast +
         "\" data-subject=\"" + htmlText(row.subject) + "\" data-estimable=\"" + estimable +
         "\" data-relative-efficiency=\"" + relative + "\" data-runs=\"" +
         std::to_string(row.runs) + "\" data-null-runs=\"" + std::to_string(row.nullRuns) + "\">" +
         text + "</td>";
}

}  // namespace

std::string contrastGridSection(const StudyContrasts& contrasts) {
  const std::vector<ContrastResult>& results = contrasts.results;
  if (results.empty()) return "";
  const std::size_t columns = std::min(results.size(), kMostGridContrasts);
  const std::size_t subjects = results.front().subjects.size();
  const std::size_t rows = std::min(subjects, kMostGridSubjects);
  std::string html =
      "<section id=\"contrasts\"><h2>Contrasts by subject</h2>\n<p class=\"note\">Whether the "
      "subject's runs together can estimate each contrast (a subject that cannot drops out of "
      "that contrast's group analysis), its efficiency relative to the median subject's, and the "
      "runs in which the contrast is null (every weighted predictor absent or zero).";
  if (columns < results.size() || rows < subjects) {
    html += " Left out: " + std::to_string(results.size() - columns) + " of " +
            std::to_string(results.size()) + " contrasts and " + std::to_string(subjects - rows) +
            " of " + std::to_string(subjects) + " subjects; the grid shows at most " +
            std::to_string(kMostGridContrasts) + " contrasts and " +
            std::to_string(kMostGridSubjects) + " subjects (--json lists all).";
  }
  html += "</p>\n<table class=\"grid contrasts\"><tr><th>subject</th>";
  for (std::size_t c = 0; c < columns; ++c) {
    html += "<th class=\"predictor\">" + htmlText(results[c].contrast.name) + "</th>";
  }
  html += "</tr>\n";
  for (std::size_t s = 0; s < rows; ++s) {
    html += "<tr><th>" + htmlText(results.front().subjects[s].subject) + "</th>";
    // Every contrast is evaluated over the same subjects, in the same order.
    for (std::size_t c = 0; c < columns; ++c) {
      if (s < results[c].subjects.size()) {
        html += cell(htmlText(results[c].contrast.name), results[c].subjects[s]);
      }
    }
    html += "</tr>\n";
  }
  return html + "</table></section>\n";
}

}  // namespace kelvora::report
