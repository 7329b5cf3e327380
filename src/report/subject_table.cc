#include "report/subject_table.h"

#include <string>

#include "designmatrix/path_names.h"
#include "report/error_output.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records

void writeSubjectTable(const InspectedStudy& study, std::FILE* stream) {
  const std::vector<SubjectGroup>& subjects = study.diagnosis.subjects;
  if (subjects.empty()) return;
  writeError("kelvora: subjects by --subject-rule " + study.diagnosis.subjectRule + ": " +
                 std::to_string(subjects.size()) + "\n",
             stream);
  const PathList& sdmPaths = study.designs.mdm.sdmPaths;
  for (const SubjectGroup& subject : subjects) {
    const std::size_t runs = subject.studies.size();
    std::string line = "kelvora: subject " + visible(subject.id) + ": " + std::to_string(runs) +
                       (runs == 1 ? " run: " : " runs: ");
    for (std::size_t i = 0; i < runs; ++i) {
      const std::size_t at = subject.studies[i];
      line += (i ? ", " : "") + (at < sdmPaths.size() ? fileNameOf(sdmPaths[at]) : std::string());
    }
    writeError(line + "\n", stream);
  }
}

}  // namespace kelvora::report
