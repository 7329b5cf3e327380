#include "report/subject_runs_section.h"

#include "designmatrix/path_names.h"
#include "report/text_bytes.h"

namespace kelvora::report {

std::string subjectRunsSection(const InspectedStudy& study) {
  const std::vector<SubjectGroup>& subjects = study.diagnosis.subjects;
  std::string html = "<section id=\"subject-runs\"><h2>Subjects and their runs</h2>\n";
  if (subjects.empty()) return html + "<p class=\"note\">No study was read.</p></section>\n";
  html += "<p class=\"note\">" + std::to_string(subjects.size()) + " subjects by --subject-rule " +
          htmlText(study.diagnosis.subjectRule) +
          ", as kelvora's checks across a subject's runs group them.</p>\n"
          "<table class=\"subjects\"><tr><th>subject</th><th>runs</th><th>SDMs</th></tr>\n";
  const PathList& sdmPaths = study.designs.mdm.sdmPaths;
  for (std::size_t row = 0; row < subjects.size() && row < kMostSubjectRows; ++row) {
    const SubjectGroup& subject = subjects[row];
    const std::size_t runs = subject.studies.size();
    html += "<tr data-subject=\"" + htmlText(subject.id) + "\"><td>" + htmlText(subject.id) +
            "</td><td>" + std::to_string(runs) + "</td><td>";
    for (std::size_t i = 0; i < runs && i < kMostRunsNamed; ++i) {
      const std::size_t at = subject.studies[i];
      if (at < sdmPaths.size()) html += (i ? ", " : "") + htmlText(fileNameOf(sdmPaths[at]));
    }
    if (runs > kMostRunsNamed) html += ", and " + std::to_string(runs - kMostRunsNamed) + " more";
    html += "</td></tr>\n";
  }
  html += "</table>\n";
  if (subjects.size() > kMostSubjectRows) {
    html += "<p class=\"note left-out\">" + std::to_string(subjects.size() - kMostSubjectRows) +
            " more subjects, not listed: the report lists at most " +
            std::to_string(kMostSubjectRows) + " (kelvora --subjects lists all)</p>\n";
  }
  return html + "</section>\n";
}

}  // namespace kelvora::report
