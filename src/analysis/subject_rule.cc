#include "analysis/subject_rule.h"

#include <algorithm>
#include <map>

#include "designmatrix/path_names.h"
#include "inspection/prevailing_value.h"

namespace kelvora::analysis {
namespace {

FurtherFinding subjectFinding(FurtherCode code, const StudyInput& study, std::string text) {
  FurtherFinding finding;
  finding.code = code;
  finding.path = study.mdmPath;
  finding.text = fileNameOf(study.mdmPath) + ": " + std::move(text);
  return finding;
}

// The file name and the folder of a path, as fileNameOf and directoryOf give them, viewed in it:
// a study's paths are looked at without a copy of each.
struct NameInFolder {
  std::string_view name;
  std::string_view folder;
};

NameInFolder nameInFolderOf(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  if (separator == std::string_view::npos) return {path, {}};
  return {path.substr(separator + 1), path.substr(0, separator)};
}

std::string_view folderOf(std::string_view path) { return nameInFolderOf(path).folder; }

void addFolderFinding(const StudyInput& study, std::vector<FurtherFinding>& findings) {
  // Sorted by name, then folder: each name's folders come together, the names in their order.
  std::vector<NameInFolder> paths;
  paths.reserve(study.functionalPaths.size());
  for (const std::string_view path : study.functionalPaths) paths.push_back(nameInFolderOf(path));
  const auto order = [](const NameInFolder& a, const NameInFolder& b) {
    return a.name != b.name ? a.name < b.name : a.folder < b.folder;
  };
  std::sort(paths.begin(), paths.end(), order);
  for (std::size_t first = 0, end = 0; first < paths.size(); first = end) {
    std::size_t folders = 0;
    for (end = first; end < paths.size() && paths[end].name == paths[first].name; ++end) {
      if (end == first || paths[end].folder != paths[end - 1].folder) ++folders;
    }
    if (folders < 2) continue;
    findings.push_back(subjectFinding(
        FurtherCode::kSubjectInFolder, study,
        "the functional file name " + visible(paths[first].name) + " stands in " +
            std::to_string(folders) + " folders (" + visible(fileNameOf(paths[first].folder)) +
            ", ...): the subject is probably in the folder name, which the subject rule ignores"));
    return;  // one such name says it; the others would repeat it
  }
}

void addNoUnderscoreFinding(const StudyInput& study, std::vector<FurtherFinding>& findings) {
  std::size_t withoutUnderscore = 0;
  std::string example;
  for (const std::string_view path : study.functionalPaths) {
    const std::string name = fileNameOf(path);
    if (name.find('_') != std::string::npos) continue;
    if (withoutUnderscore++ == 0) example = name;
  }
  if (withoutUnderscore == 0) return;
  findings.push_back(subjectFinding(
      FurtherCode::kSubjectNoUnderscore, study,
      std::to_string(withoutUnderscore) + " of " + std::to_string(study.functionalPaths.size()) +
          " functional file names have no \"_\", so the whole name became the subject (" +
          visible(example) + ")"));
}

// A folder of two or more runs, each of which the rule made a subject of its own: the rule took
// the subject from what tells a subject's runs apart. Told once, for the first such folder.
void addSplitFolderFinding(const StudyInput& study, const SubjectRule& rule,
                           const std::vector<std::string>& ids,
                           const std::vector<SubjectGroup>& groups,
                           std::vector<FurtherFinding>& findings) {
  const std::size_t studies = std::min(ids.size(), study.functionalPaths.size());
  std::vector<bool> alone(studies, false);
  for (const SubjectGroup& group : groups) {
    if (group.studies.size() == 1 && group.studies.front() < studies) {
      alone[group.studies.front()] = true;
    }
  }
  struct Folder {
    std::vector<std::size_t> studies;
    bool allAlone = true;
  };
  std::map<std::string_view, Folder> folders;
  std::vector<const std::string_view*> order;  // the folders by their first study
  for (std::size_t i = 0; i < studies; ++i) {
    const auto [at, added] = folders.try_emplace(folderOf(study.functionalPaths[i]));
    if (added) order.push_back(&at->first);
    at->second.studies.push_back(i);
    at->second.allAlone = at->second.allAlone && alone[i];
  }
  const auto split = [&folders](const std::string_view* name) {
    const Folder& folder = folders.at(*name);
    return folder.allAlone && folder.studies.size() > 1;
  };
  const auto first = std::find_if(order.begin(), order.end(), split);
  if (first == order.end()) return;
  const auto others = std::count_if(first + 1, order.end(), split);
  const std::vector<std::size_t>& runs = folders.at(**first).studies;
  constexpr std::size_t kNamed = 3;
  std::string names;
  for (std::size_t i = 0; i < runs.size() && i < kNamed; ++i) {
    names += (i ? ", " : "") + visible(ids[runs[i]]);
  }
  if (runs.size() > kNamed) names += ", ...";
  const std::string count = std::to_string(runs.size());
  findings.push_back(subjectFinding(
      FurtherCode::kSubjectSplitFolder, study,
      ruleWords(rule) + "the " + count + " runs in the folder " + visible(**first) + " are " +
          count + " subjects of one run each (" + names + ")" +
          (others > 0 ? ", and so are the runs of " + std::to_string(others) + " other folder" +
                            (others == 1 ? "" : "s")
                      : "") +
          ": the subject is probably elsewhere in the path (--subject-rule bids, folder:N or "
          "regex:EXPR takes it from there)"));
}

void addUnplacedFinding(const StudyInput& study, const SubjectRule& rule,
                        const ChosenSubjects& chosen, std::vector<FurtherFinding>& findings) {
  if (chosen.unplaced == 0) return;
  findings.push_back(subjectFinding(
      FurtherCode::kSubjectRuleUnplaced, study,
      "--subject-rule " + rule.text + " places no subject in " + std::to_string(chosen.unplaced) +
          " of " + std::to_string(study.functionalPaths.size()) + " functional paths (" +
          visible(chosen.unplacedExample) +
          "); those studies keep their file-name prefix subject, as in the log"));
}

void addCountFinding(const StudyInput& study, const SubjectRule& rule, std::size_t logCount,
                     std::size_t chosenCount, std::vector<FurtherFinding>& findings) {
  if (rule.kind == SubjectRuleKind::kPrefix || logCount == chosenCount) return;
  FurtherFinding finding = subjectFinding(
      FurtherCode::kSubjectRuleCount, study,
      "the log counts " + std::to_string(logCount) + " subjects by file-name prefix; " +
          "--subject-rule " + rule.text + " finds " + std::to_string(chosenCount));
  finding.severity = RecordSeverity::kNote;
  findings.push_back(std::move(finding));
}

void addUnevenRunsFindings(const StudyInput& study, const SubjectRule& rule,
                           const std::vector<SubjectGroup>& groups,
                           std::vector<FurtherFinding>& findings) {
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
        ruleWords(rule) + "subject " + visible(group.id) + " has " + std::to_string(count) +
            " run" + (count == 1 ? "" : "s") + ", most subjects have " + std::to_string(usual));
    finding.severity = RecordSeverity::kNote;
    finding.subject = group.id;
    findings.push_back(std::move(finding));
  }
}

}  // namespace

std::string ruleWords(const SubjectRule& rule) {
  return rule.kind == SubjectRuleKind::kPrefix ? "" : "by --subject-rule " + rule.text + ", ";
}

std::vector<SubjectGroup> groupByFolder(const PathList& functionalPaths) {
  std::vector<std::string> folders;
  for (const std::string_view path : functionalPaths)
    folders.push_back(fileNameOf(directoryOf(path)));
  return groupSubjects(folders);
}

void addSubjectRuleFindings(const StudyInput& study, const SubjectRule& rule,
                            const ChosenSubjects& chosen,
                            const std::vector<SubjectGroup>& logGroups,
                            const std::vector<SubjectGroup>& chosenGroups,
                            std::vector<FurtherFinding>& findings) {
  const bool prefix = rule.kind == SubjectRuleKind::kPrefix;
  if (prefix) addNoUnderscoreFinding(study, findings);
  addUnplacedFinding(study, rule, chosen, findings);
  const std::size_t studies = study.functionalPaths.size();
  if (studies > 1 && chosenGroups.size() == studies) {
    findings.push_back(subjectFinding(
        FurtherCode::kSubjectPerStudy, study,
        ruleWords(rule) + "every one of the " + std::to_string(studies) +
            " studies is its own subject, so no predictor is checked across a subject's runs"));
  }
  if (prefix) addFolderFinding(study, findings);
  addSplitFolderFinding(study, rule, chosen.ids, chosenGroups, findings);
  addCountFinding(study, rule, logGroups.size(), chosenGroups.size(), findings);
  addUnevenRunsFindings(study, rule, chosenGroups, findings);
}

}  // namespace kelvora::analysis
