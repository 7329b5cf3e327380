#include "analysis/study_diagnosis.h"

#include <algorithm>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "analysis/mismatch_causes.h"
#include "analysis/moved_study.h"
#include "analysis/reader_findings.h"
#include "analysis/run_length.h"
#include "analysis/subject_rule.h"
#include "analysis/summary_columns.h"
#include "designmatrix/path_names.h"
#include "inspection/inspection_run.h"
#include "inspection/prevailing_value.h"
#include "inspection/subjects.h"

namespace kelvora::analysis {
namespace {

using Summaries = std::vector<const SdmSummary*>;  // one per study; null: left out

// The most findings the diagnosis lists, as many as the run may report: the zero checks over a
// study that lists a few SDMs of 65,536 predictors a thousand times would otherwise list tens of
// millions. The checks that would add one more stop, and the diagnosis says so once, last.
constexpr std::size_t kMostFurtherFindings = kMaxFindingsPerRun;

// The most runs a zero-in-some-runs note names: a subject has a few runs, and the note of one with
// hundreds would be a page long, once for each of its predictors.
constexpr std::size_t kMostZeroRunsNamed = 10;

// The diagnosis's findings, up to kMostFurtherFindings; once full, the checks that would add
// more stop.
class FindingList {
 public:
  explicit FindingList(std::vector<FurtherFinding>& findings) : findings(findings) {}
  // False, and the finding left out, once the list is full.
  bool add(FurtherFinding finding) {
    if (findings.size() >= kMostFurtherFindings) {
      cut = true;
      return false;
    }
    findings.push_back(std::move(finding));
    return true;
  }
  bool full() const { return cut; }
  // Another list of the diagnosis (the likely causes) left some out.
  void cutShort() { cut = true; }

 private:
  std::vector<FurtherFinding>& findings;
  bool cut = false;
};

bool isZero(const SdmSummary& sdm, std::int64_t j) {
  return j >= static_cast<std::int64_t>(sdm.zeroColumns.size()) ||
         sdm.zeroColumns[static_cast<std::size_t>(j)];
}

struct ZeroScope {
  bool beyondRun = false;
  bool acrossRuns = true;  // report predictors zero in every run
  bool someRuns = false;   // report predictors zero in some runs only (notes)
  std::string preamble;    // what the text begins with
};

// As the run's zero-across-runs check, over `sdms` and `groups`: predictors 0 to n - 1, clamped to
// the most columns any of `sdms` holds.
void addZeroFindings(const Summaries& sdms, const std::vector<SubjectGroup>& groups, std::int64_t n,
                     const ZeroScope& scope, FindingList& findings) {
  const std::int64_t examined = examinedInterestCount(n, sdms);
  for (const SubjectGroup& group : groups) {
    if (findings.full()) return;
    std::vector<const SdmSummary*> runs;
    for (const std::size_t study : group.studies) {
      if (sdms[study] != nullptr) runs.push_back(sdms[study]);
    }
    if (runs.empty()) continue;
    for (std::int64_t j = 0; j < examined; ++j) {
      std::size_t zeroRuns = 0;
      for (const SdmSummary* run : runs) zeroRuns += isZero(*run, j) ? 1 : 0;
      const bool all = zeroRuns == runs.size();
      if (zeroRuns == 0 || (all && !scope.acrossRuns) || (!all && !scope.someRuns)) continue;
      FurtherFinding finding;
      finding.code = all ? FurtherCode::kZeroAcrossRuns : FurtherCode::kZeroInSomeRuns;
      finding.severity = all ? RecordSeverity::kError : RecordSeverity::kNote;
      finding.beyondRun = scope.beyondRun;
      finding.subject = group.id;
      finding.predictorNumber = j + 1;
      finding.predictorName = std::string(nameAt(runs.front()->names, j));
      std::string text = scope.preamble + "subject " + visible(group.id) + ", predictor number " +
                         std::to_string(j + 1) + " named " + visible(finding.predictorName) +
                         " is zero in ";
      if (all) {
        text +=
            runs.size() == 1 ? "its only run" : "all its " + std::to_string(runs.size()) + " runs";
      } else {
        text += std::to_string(zeroRuns) + " of its " + std::to_string(runs.size()) + " runs (";
        std::size_t named = 0;
        for (const SdmSummary* run : runs) {
          if (!isZero(*run, j)) continue;
          if (named == kMostZeroRunsNamed) {
            text += " and " + std::to_string(zeroRuns - named) + " more";
            break;
          }
          text += (named++ > 0 ? ", " : "") + fileNameOf(run->path);
        }
        text += ")";
      }
      finding.text = std::move(text);
      if (!findings.add(std::move(finding))) return;
    }
  }
}

void addZeroConfoundFindings(const Summaries& sdms, std::int64_t n, const std::string& preamble,
                             FindingList& findings) {
  for (const SdmSummary* sdm : sdms) {
    if (sdm == nullptr) continue;
    const auto columns = static_cast<std::int64_t>(sdm->zeroColumns.size());
    for (std::int64_t j = std::max<std::int64_t>(n, 0); j < columns; ++j) {
      if (!isZero(*sdm, j)) continue;
      FurtherFinding finding;
      finding.code = FurtherCode::kZeroConfound;
      finding.beyondRun = true;
      finding.path = sdm->path;
      finding.predictorNumber = j + 1;
      finding.predictorName = std::string(nameAt(sdm->names, j));
      finding.text = preamble + fileNameOf(sdm->path) + " predictor number " +
                     std::to_string(j + 1) + " named " + visible(finding.predictorName) +
                     " contains only zeros";
      if (!findings.add(std::move(finding))) return;
    }
  }
}

// The SDMs that agree with the prevailing count and names of interest; the others are null. Names
// are compared as the run's name check does, up to the most columns any SDM read holds.
Summaries agreeingSdms(const StudyInput& study, const Summaries& read, std::int64_t& n) {
  std::vector<std::int64_t> counts;
  for (const SdmSummary* sdm : read) counts.push_back(sdm->interestCount);
  n = prevailingCount(counts);
  const std::int64_t compared = examinedInterestCount(n, read);
  Summaries counted;
  for (const SdmSummary* sdm : read) {
    if (sdm->interestCount == n) counted.push_back(sdm);
  }
  const std::vector<std::string> prevailing = prevailingNamesOf(counted, compared);
  // Whether a list of names is the prevailing one, found once per list.
  std::unordered_map<const void*, bool> prevails;
  const auto namesPrevail = [&](const SdmSummary& sdm) {
    const auto [entry, added] = prevails.try_emplace(sdm.names.identity(), true);
    for (std::int64_t j = 0; added && entry->second && j < compared; ++j) {
      entry->second = nameAt(sdm.names, j) == prevailing[static_cast<std::size_t>(j)];
    }
    return entry->second;
  };
  Summaries agreeing;
  for (const SdmSummary* sdm : study.sdms) {
    const bool agrees = sdm->read && sdm->interestCount == n && namesPrevail(*sdm);
    agreeing.push_back(agrees ? sdm : nullptr);
  }
  return agreeing;
}

void addUnreadSdms(const RunOutcome& outcome, const StudyInput& study,
                   std::vector<FurtherFinding>& findings) {
  std::set<std::string> reported;
  for (const Finding& finding : outcome.findings) {
    if (finding.code == FindingCode::kSdmUnreadable) reported.insert(finding.path);
  }
  for (const SdmSummary* sdm : study.sdms) {
    if (!sdm->openFailed || reported.count(std::string(sdm->path)) > 0) continue;
    FurtherFinding finding;
    finding.code = FurtherCode::kSdmUnreadable;
    finding.severity = RecordSeverity::kError;
    finding.beyondRun = true;
    finding.path = sdm->path;
    finding.text = "the SDM " + visible(sdm->path) + " cannot be opened";
    findings.push_back(std::move(finding));
  }
}

void addBeyondMismatch(const StudyInput& study, const Summaries& read,
                       const std::vector<std::string>& ids, const SubjectRule& rule,
                       FindingList& findings) {
  std::int64_t n = 0;
  const Summaries agreeing = agreeingSdms(study, read, n);
  std::vector<std::string> agreeingIds;
  std::vector<std::size_t> studyOf;
  for (std::size_t i = 0; i < agreeing.size(); ++i) {
    if (agreeing[i] == nullptr) continue;
    agreeingIds.push_back(ids[i]);
    studyOf.push_back(i);
  }
  std::vector<SubjectGroup> groups = groupSubjects(agreeingIds);
  for (SubjectGroup& group : groups) {
    for (std::size_t& member : group.studies) member = studyOf[member];
  }
  const std::string preamble = "over the " + std::to_string(studyOf.size()) +
                               " SDMs that agree with the prevailing count and names: ";
  FurtherFinding count;
  count.code = FurtherCode::kSubjectCount;
  count.severity = RecordSeverity::kNote;
  count.beyondRun = true;
  count.path = study.mdmPath;
  count.text = preamble + std::to_string(groups.size()) + " unique subjects" +
               (rule.kind == SubjectRuleKind::kPrefix ? "" : " by --subject-rule " + rule.text);
  findings.add(std::move(count));
  addZeroFindings(agreeing, groups, n, ZeroScope{true, true, true, preamble}, findings);
  addZeroConfoundFindings(agreeing, n, preamble, findings);
}

// The zero checks of a complete run with subjects by a chosen rule: zero in some runs (notes) for
// every subject; zero in all runs for the subjects whose runs the log grouped otherwise (for the
// others the log said it).
void addChosenZeroFindings(const Summaries& sdms, const std::vector<SubjectGroup>& logGroups,
                           const std::vector<SubjectGroup>& groups, std::int64_t n,
                           const SubjectRule& rule, FindingList& findings) {
  std::set<std::vector<std::size_t>> logged;
  for (const SubjectGroup& group : logGroups) logged.insert(group.studies);
  std::vector<SubjectGroup> asLogged;
  std::vector<SubjectGroup> regrouped;
  for (const SubjectGroup& group : groups) {
    (logged.count(group.studies) > 0 ? asLogged : regrouped).push_back(group);
  }
  const std::string preamble = ruleWords(rule);
  addZeroFindings(sdms, asLogged, n, ZeroScope{false, false, true, preamble}, findings);
  addZeroFindings(sdms, regrouped, n, ZeroScope{true, true, true, preamble}, findings);
}

}  // namespace

StudyDiagnosis diagnoseStudy(const RunOutcome& outcome, const StudyInput& study,
                             const SubjectRule& rule) {
  StudyDiagnosis diagnosis;
  diagnosis.subjectRule = rule.text;
  addMdmFindings(study, diagnosis.findings);
  Summaries read;
  for (const SdmSummary* sdm : study.sdms) {
    if (sdm->read) {
      addSdmFindings(*sdm, diagnosis.findings);
      read.push_back(sdm);
    }
  }
  addUnreadSdms(outcome, study, diagnosis.findings);
  if (std::optional<FurtherFinding> moved = movedStudyFinding(study)) {
    diagnosis.findings.push_back(std::move(*moved));
  }
  const std::size_t count = study.sdms.size();
  if (count == 0) return diagnosis;
  const ChosenSubjects chosen = chooseSubjects(rule, study.functionalPaths, count);
  const bool prefix = rule.kind == SubjectRuleKind::kPrefix;
  // By the plug-in's rule the log's groups are the chosen ones, held once.
  diagnosis.subjects = groupSubjects(chosen.ids);
  const std::vector<SubjectGroup>& groups = diagnosis.subjects;
  const std::vector<SubjectGroup> otherLogGroups =
      prefix ? std::vector<SubjectGroup>()
             : groupSubjects(subjectIdsOf(study.functionalPaths, count));
  const std::vector<SubjectGroup>& logGroups = prefix ? groups : otherLogGroups;
  addSubjectRuleFindings(study, rule, chosen, logGroups, groups, diagnosis.findings);
  addRunLengthFindings(study, groups, diagnosis.findings);
  if (read.empty()) return diagnosis;

  std::vector<std::int64_t> counts;
  for (const SdmSummary* sdm : read) counts.push_back(sdm->interestCount);
  const std::int64_t n = prevailingCount(counts);
  if (outcome.end == RunEnd::kPredictorCountMismatch) diagnosis.causes = countCauses(read, n);
  FindingList findings(diagnosis.findings);
  if (outcome.end == RunEnd::kPredictorNameMismatch) {
    // One more than the most, to learn that there are more.
    diagnosis.causes = nameCauses(read, n, kMostFurtherFindings + 1);
    if (diagnosis.causes.size() > kMostFurtherFindings) {
      diagnosis.causes.pop_back();
      findings.cutShort();
    }
  }
  if (outcome.end == RunEnd::kPredictorCountMismatch ||
      outcome.end == RunEnd::kPredictorNameMismatch) {
    addBeyondMismatch(study, read, chosen.ids, rule, findings);
  } else if (outcome.complete && !prefix) {
    addChosenZeroFindings(study.sdms, logGroups, groups, n, rule, findings);
  } else if (outcome.complete) {
    addZeroFindings(study.sdms, groups, n, ZeroScope{false, false, true, ""}, findings);
    const bool inFolders = std::any_of(
        diagnosis.findings.begin(), diagnosis.findings.end(),
        [](const FurtherFinding& f) { return f.code == FurtherCode::kSubjectInFolder; });
    if (inFolders) {
      addZeroFindings(study.sdms, groupByFolder(study.functionalPaths), n,
                      ZeroScope{true, true, false, "with the folder as the subject: "}, findings);
    }
  }
  if (findings.full()) {
    FurtherFinding cut;
    cut.code = FurtherCode::kFindingsCut;
    cut.path = study.mdmPath;
    cut.text = fileNameOf(study.mdmPath) + ": more than " + std::to_string(kMostFurtherFindings) +
               " findings beyond the log: the checks after the log list these and stop";
    diagnosis.findings.push_back(std::move(cut));
  }
  return diagnosis;
}

}  // namespace kelvora::analysis
