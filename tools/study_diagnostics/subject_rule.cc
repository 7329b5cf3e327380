#include "subject_rule.h"

#include <map>
#include <set>

#include "designmatrix/path_names.h"
#include "inspection/prevailing_value.h"

namespace kelvora::diagnostics {
namespace {

FurtherFinding subjectFinding(FurtherCode code, const StudyInput& study, std::string text) {
  FurtherFinding finding;
  finding.code = code;
  finding.path = study.mdmPath;
  finding.text = fileNameOf(study.mdmPath) + ": " + std::move(text);
  return finding;
}

void addFolderFinding(const StudyInput& study, std::vector<FurtherFinding>& findings) {
  std::map<std::string, std::set<std::string>> foldersOf;
  for (const std::string& path : study.functionalPaths) {
    foldersOf[fileNameOf(path)].insert(directoryOf(path));
  }
  for (const auto& [name, folders] : foldersOf) {
    if (folders.size() < 2) continue;
    findings.push_back(subjectFinding(
        FurtherCode::kSubjectInFolder, study,
        "the functional file name " + visible(name) + " stands in " +
            std::to_string(folders.size()) + " folders (" + visible(fileNameOf(*folders.begin())) +
            ", ...): the subject is probably in the folder name, which the subject rule ignores"));
    return;  // one such name says it; the others would repeat it
  }
}

}  // namespace

std::vector<SubjectGroup> groupByFolder(const std::vector<std::string>& functionalPaths) {
  std::vector<std::string> folders;
  for (const std::string& path : functionalPaths) folders.push_back(fileNameOf(directoryOf(path)));
  return groupSubjects(folders);
}

void addSubjectRuleFindings(const StudyInput& study, const std::vector<SubjectGroup>& groups,
                            std::vector<FurtherFinding>& findings) {
  const std::size_t studies = study.functionalPaths.size();
  std::size_t withoutUnderscore = 0;
  std::string example;
  for (const std::string& path : study.functionalPaths) {
    const std::string name = fileNameOf(path);
    if (name.find('_') != std::string::npos) continue;
    if (withoutUnderscore++ == 0) example = name;
  }
  if (withoutUnderscore > 0) {
    findings.push_back(subjectFinding(
        FurtherCode::kSubjectNoUnderscore, study,
        std::to_string(withoutUnderscore) + " of " + std::to_string(studies) +
            " functional file names have no \"_\", so the whole name became the subject (" +
            visible(example) + ")"));
  }
  if (studies > 1 && groups.size() == studies) {
    findings.push_back(subjectFinding(
        FurtherCode::kSubjectPerStudy, study,
        "every one of the " + std::to_string(studies) +
            " studies is its own subject, so no predictor is checked across a subject's runs"));
  }
  addFolderFinding(study, findings);
  if (groups.size() < 2) return;
  std::vector<std::int64_t> runs;
  for (const SubjectGroup& group : groups)
    runs.push_back(static_cast<std::int64_t>(group.studies.size()));
  const std::int64_t usual = prevailingCount(runs);
  for (const SubjectGroup& group : groups) {
    const auto count = static_cast<std::int64_t>(group.studies.size());
    if (count == usual) continue;
    FurtherFinding finding = subjectFinding(
        FurtherCode::kSubjectUnevenRuns, study,
        "subject " + visible(group.id) + " has " + std::to_string(count) + " run" +
            (count == 1 ? "" : "s") + ", most subjects have " + std::to_string(usual));
    finding.severity = FurtherSeverity::kNote;
    finding.subject = group.id;
    findings.push_back(std::move(finding));
  }
}

}  // namespace kelvora::diagnostics
