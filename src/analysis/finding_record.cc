#include "analysis/finding_record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/summary_columns.h"
#include "designmatrix/path_names.h"

namespace kelvora::analysis {
namespace {

constexpr std::int64_t kWholeSdm = std::numeric_limits<std::int64_t>::max();

bool isReaderDamage(FurtherCode code) {
  return code == FurtherCode::kSdmShortMatrix || code == FurtherCode::kSdmUnreadableValue;
}

// The first column of `sdm` with a value at or after the first value that was not read as the
// file has it (every value after it reads as 0); the values are stored row by row.
std::int64_t firstReachedColumn(const SdmSummary& sdm) {
  const SdmReadNotes notes = sdm.notes();
  const std::int64_t columns = static_cast<std::int64_t>(sdm.names.size());
  const std::int64_t first = notes.unreadIndex < 0 ? notes.valuesRead
                             : notes.unreadInWord  ? notes.unreadIndex - 1
                                                   : notes.unreadIndex;
  return std::max<std::int64_t>(0, first - (std::int64_t{sdm.dataPoints} - 1) * columns);
}

bool isZero(const SdmSummary& sdm, std::int64_t column) {
  return column >= static_cast<std::int64_t>(sdm.zeroColumns.size()) ||
         sdm.zeroColumns[static_cast<std::size_t>(column)];
}

std::int64_t columnOf(const std::optional<std::int64_t>& predictorNumber) {
  return predictorNumber ? *predictorNumber - 1 : kWholeSdm;
}

// The file a run's finding is about, for the policy; empty for those about a subject or the study.
const std::string& policyFileOf(const Finding& finding) {
  static const std::string kNone;
  const bool namesFile =
      finding.code != FindingCode::kNoStudies && finding.code != FindingCode::kZeroAcrossRuns;
  return namesFile ? finding.path : kNone;
}

// The line kelvora prints for `entry` on standard error: its severity as --fail-on counts it.
std::string severityLine(const RecordEntry& entry) {
  return std::string("kelvora: ") + recordSeverityName(entry.severity) +
         (entry.beyondRun ? " (after the log stopped)" : "") + ": " + entry.text;
}

// kelvora's line for the log's ZERO_ACROSS_RUNS finding `entry` when others follow from it, in
// the words of its own zero check; the log's line is the plug-in's.
std::string zeroCauseLine(const RecordEntry& entry) {
  return std::string("kelvora: ") + recordSeverityName(entry.severity) + ": subject " +
         visible(entry.subject) + ", predictor number " +
         std::to_string(entry.predictorNumber.value_or(0)) + " named " +
         visible(entry.predictorName) + " is zero in all its runs";
}

bool followsFromZeroColumn(ContrastCode code) {
  return code == ContrastCode::kNotEstimable || code == ContrastCode::kNullInRun ||
         code == ContrastCode::kNotEstimableForSubject;
}

RecordEntry runEntry(const Finding& finding) {
  RecordEntry entry;
  entry.kind = RecordKind::kRun;
  entry.code = codeName(finding.code);
  entry.severity = severityOfRunFinding(finding);
  entry.file = policyFileOf(finding);
  if (finding.code == FindingCode::kZeroAcrossRuns) entry.subject = finding.subject;
  entry.predictorNumber = finding.predictorNumber;
  entry.predictorName = finding.predictorName;
  entry.text = finding.line;
  return entry;
}

RecordEntry causeEntry(const MismatchCause& cause) {
  RecordEntry entry;
  entry.kind = RecordKind::kCause;
  entry.code = causeCodeName(cause.code);
  entry.severity = RecordSeverity::kNote;
  entry.file = cause.path;
  entry.predictorNumber = cause.predictorNumber;
  entry.text = cause.text;
  entry.errorLine = "kelvora: likely cause: " + cause.text;
  return entry;
}

RecordEntry furtherEntry(const FurtherFinding& finding) {
  RecordEntry entry;
  entry.kind = RecordKind::kFurther;
  entry.code = furtherCodeName(finding.code);
  entry.severity = finding.severity;
  entry.file = finding.path;
  entry.subject = finding.subject;
  entry.predictorNumber = finding.predictorNumber;
  entry.predictorName = finding.predictorName;
  entry.text = finding.text;
  entry.beyondRun = finding.beyondRun;
  entry.errorLine = severityLine(entry);
  return entry;
}

// The count of an SDM's dependencies that its findings do not list.
RecordEntry unlistedEntry(const SdmDesign& design) {
  RecordEntry entry;
  entry.kind = RecordKind::kDesign;
  entry.file = design.path;
  entry.code = kDependenciesMoreCode;
  entry.severity = RecordSeverity::kWarning;
  entry.text = fileNameOf(design.path) + ": " + std::to_string(design.rank.unlisted) +
               " more dependencies among its predictors are not listed";
  entry.errorLine = severityLine(entry);
  return entry;
}

RecordEntry designEntry(const SdmDesign& design, const Dependency* dependency) {
  RecordEntry entry;
  entry.kind = RecordKind::kDesign;
  entry.file = design.path;
  if (dependency == nullptr) {
    entry.code = kRankCheckSkippedCode;
    entry.severity = RecordSeverity::kNote;
    entry.text = fileNameOf(design.path) + ": the rank check was skipped (" +
                 std::to_string(design.rank.columns) + " columns, more than it takes)";
    return entry;
  }
  entry.code = dependencyCodeName(dependency->kind);
  entry.severity = dependencySeverity(*dependency, design.interestCount);
  entry.predictors = policyPredictorsOf(design, dependency->predictors);
  if (dependency->dependent >= 0) {
    entry.predictorNumber = dependency->dependent + 1;
    entry.predictorName = std::string(nameAt(design.names, dependency->dependent));
  }
  entry.text = dependencySentence(design, *dependency);
  entry.errorLine = severityLine(entry);
  return entry;
}

std::string decimal(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

}  // namespace

RecordSeverity severityOfRunFinding(const Finding& finding) {
  if (finding.severity == Severity::kError || finding.code == FindingCode::kZeroAcrossRuns) {
    return RecordSeverity::kError;
  }
  // The first SDM that the path repair found again: the run went on with it.
  if (finding.code == FindingCode::kSdmUnreadable) return RecordSeverity::kNote;
  return RecordSeverity::kWarning;
}

std::string designWarningSentence(const SdmDesign& design, const DesignWarning& warning) {
  const std::string file = fileNameOf(design.path) + ": ";
  switch (warning.code) {
    case DesignWarningCode::kPredictorCorrelation:
      return file + predictorPhrase(warning.first, nameAt(design.names, warning.first)) + " and " +
             predictorPhrase(warning.second, nameAt(design.names, warning.second)) +
             (std::abs(warning.value) >= kIdenticalCorrelation ? " are the same column (r = "
                                                               : " correlate (r = ") +
             decimal(warning.value, 2) + ")";
    case DesignWarningCode::kMoreCorrelations:
      return file + decimal(warning.value, 0) +
             " more pairs of predictors correlate at |r| >= " + decimal(kCorrelationNote, 1) +
             " (the " + std::to_string(kMostCorrelationPairs) + " strongest are listed)";
    case DesignWarningCode::kHighVif:
      if (std::isinf(warning.value)) {
        return file + predictorPhrase(warning.first, nameAt(design.names, warning.first)) +
               " has an infinite variance inflation factor (it is part of a dependency)";
      }
      return file + predictorPhrase(warning.first, nameAt(design.names, warning.first)) +
             " has a variance inflation factor of " + decimal(warning.value, 1) + " (above " +
             decimal(
                 warning.severity == RecordSeverity::kWarning ? kInflationWarning : kInflationNote,
                 0) +
             ")";
  }
  return file;
}

namespace {

RecordEntry warningEntry(const SdmDesign& design, const DesignWarning& warning) {
  RecordEntry entry;
  entry.kind = RecordKind::kDesign;
  entry.code = designWarningCodeName(warning.code);
  entry.severity = warning.severity;
  entry.file = design.path;
  if (warning.first >= 0) {
    entry.predictorNumber = warning.first + 1;
    entry.predictorName = std::string(nameAt(design.names, warning.first));
  }
  entry.predictors = policyPredictorsOf(design, warningPredictors(warning));
  entry.text = designWarningSentence(design, warning);
  entry.errorLine = severityLine(entry);
  return entry;
}

RecordEntry contrastEntry(const StudyDesigns& designs, const ContrastFinding& finding) {
  RecordEntry entry;
  entry.kind = RecordKind::kDesign;
  entry.code = contrastCodeName(finding.code);
  entry.severity = finding.severity;
  if (finding.study) entry.file = designs.sdms[*finding.study].path;
  entry.subject = finding.subject;
  entry.text = finding.text;
  entry.errorLine = severityLine(entry);
  return entry;
}

}  // namespace

const char* recordKindName(RecordKind kind) {
  switch (kind) {
    case RecordKind::kRun:
      return "run";
    case RecordKind::kCause:
      return "cause";
    case RecordKind::kFurther:
      return "further";
    case RecordKind::kDesign:
      return "design";
  }
  return "";
}

const char* recordSeverityName(RecordSeverity severity) {
  switch (severity) {
    case RecordSeverity::kError:
      return "error";
    case RecordSeverity::kWarning:
      return "warning";
    case RecordSeverity::kNote:
      return "note";
  }
  return "";
}

FindingRecord::FindingRecord(const RunOutcome& outcome, const InspectedStudy* study,
                             const FindingPolicy* policy)
    : outcome(outcome), study(study), policy(policy && !policy->empty() ? policy : nullptr) {
  if (study != nullptr) {
    const std::size_t firstFurther = outcome.findings.size() + study->diagnosis.causes.size();
    const std::vector<SdmDesign>& sdms = study->designs.sdms;
    std::unordered_map<std::string_view, std::size_t> readStudyByPath;
    for (std::size_t i = 0; i < sdms.size(); ++i) {
      if (sdms[i].read) readStudyByPath.emplace(sdms[i].path, i);
    }
    for (std::size_t i = 0; i < study->diagnosis.findings.size(); ++i) {
      const FurtherFinding& finding = study->diagnosis.findings[i];
      const auto found = readStudyByPath.find(finding.path);
      if (!isReaderDamage(finding.code) || found == readStudyByPath.end()) continue;
      const std::size_t studyIndex = found->second;
      damageByStudy.emplace(studyIndex,
                            Damage{firstFurther + i, firstReachedColumn(sdms[studyIndex])});
      studyByPath.emplace(sdms[studyIndex].path, studyIndex);
      followersByEntry.emplace(firstFurther + i, 0);
    }
    if (!damageByStudy.empty()) {
      for (const SubjectGroup& group : study->designs.subjects) {
        groupBySubject.emplace(group.id, &group);
      }
    }
    noteZeroCauses();
  }
  // A follower may come before its cause (a run's finding), so which causes are kept is known
  // only at the end; followers of a cause that is not kept are never asked for.
  std::size_t kept = 0;
  forEachMade([&](std::size_t index, RecordEntry& entry) {
    if (!decide(entry)) {
      ++ignored;
      return;
    }
    worst = worst ? std::min(*worst, entry.severity) : entry.severity;
    if (entry.causedBy) ++followersByEntry.at(*entry.causedBy);
    if (followersByEntry.count(index) > 0) {
      keptIndexByEntry.emplace(index, kept);
      entryByKeptIndex.emplace(kept, index);
    }
    ++kept;
  });
}

void FindingRecord::noteZeroCauses() {
  const std::size_t firstFurther = outcome.findings.size() + study->diagnosis.causes.size();
  // The log's finding first; kelvora's own zero check tells only what the log did not reach.
  const auto note = [&](std::string_view subject, std::int64_t number, std::string_view name,
                        std::size_t index, const RecordEntry& entry) {
    SubjectZeros& zeros = zerosBySubject[subject];
    if (zeros.entryByColumn.count(number - 1) > 0) return;
    const std::size_t cause = causeOf(entry).value_or(index);
    zeros.entryByColumn.emplace(number - 1, cause);
    zeros.columnByName.emplace(name, number - 1);
    followersByEntry.emplace(cause, 0);
  };
  for (std::size_t i = 0; i < outcome.findings.size(); ++i) {
    const Finding& finding = outcome.findings[i];
    if (finding.code != FindingCode::kZeroAcrossRuns || !finding.predictorNumber) continue;
    note(finding.subject, *finding.predictorNumber, finding.predictorName, i, runEntry(finding));
  }
  for (std::size_t i = 0; i < study->diagnosis.findings.size(); ++i) {
    const FurtherFinding& finding = study->diagnosis.findings[i];
    if (finding.code != FurtherCode::kZeroAcrossRuns || !finding.predictorNumber) continue;
    note(finding.subject, *finding.predictorNumber, finding.predictorName, firstFurther + i,
         furtherEntry(finding));
  }
  if (zerosBySubject.empty()) return;
  for (const SubjectGroup& group : study->designs.subjects) {
    for (const std::size_t member : group.studies) subjectByStudy.emplace(member, group.id);
    const auto zeros = zerosBySubject.find(group.id);
    if (zeros != zerosBySubject.end()) zeros->second.group = &group;
  }
}

const FindingRecord::SubjectZeros* FindingRecord::zerosOf(std::string_view subject) const {
  const auto found = zerosBySubject.find(subject);
  return found == zerosBySubject.end() ? nullptr : &found->second;
}

const FindingRecord::SubjectZeros* FindingRecord::zerosOfStudy(std::size_t studyIndex) const {
  const auto subject = subjectByStudy.find(studyIndex);
  return subject == subjectByStudy.end() ? nullptr : zerosOf(subject->second);
}

std::optional<std::size_t> FindingRecord::zeroCauseOf(std::size_t studyIndex,
                                                      const Dependency& dependency) const {
  const SubjectZeros* zeros = zerosBySubject.empty() ? nullptr : zerosOfStudy(studyIndex);
  if (zeros == nullptr || dependency.kind != DependencyKind::kRankDeficient ||
      dependency.dependent < 0 || !isZero(study->designs.sdms[studyIndex], dependency.dependent)) {
    return std::nullopt;
  }
  const auto found = zeros->entryByColumn.find(dependency.dependent);
  return found == zeros->entryByColumn.end() ? std::nullopt
                                             : std::optional<std::size_t>(found->second);
}

// A contrast that weighs a zero predictor cannot be estimated where it is zero, whatever else:
// in each run the contrast finding is about (for a subject's, every run kelvora groups under it,
// whose subject rule may group them otherwise than the log), that column of that name is zero.
std::optional<std::size_t> FindingRecord::zeroCauseOf(const ContrastFinding& finding) const {
  if (!followsFromZeroColumn(finding.code) || zerosBySubject.empty()) return std::nullopt;
  const SubjectZeros* zeros =
      finding.study ? zerosOfStudy(*finding.study) : zerosOf(finding.subject);
  if (zeros == nullptr || zeros->group == nullptr) return std::nullopt;
  const std::vector<SdmDesign>& sdms = study->designs.sdms;
  const auto zeroIn = [&](std::size_t run, std::int64_t column, std::string_view name) {
    return sdms[run].read && nameAt(sdms[run].names, column) == name && isZero(sdms[run], column);
  };
  for (const auto& weight : study->contrasts.results[finding.contrast].contrast.weights) {
    const auto column = zeros->columnByName.find(weight.first);
    if (column == zeros->columnByName.end()) continue;
    const bool explained = finding.study
                               ? zeroIn(*finding.study, column->second, weight.first)
                               : std::all_of(zeros->group->studies.begin(),
                                             zeros->group->studies.end(), [&](std::size_t run) {
                                               return zeroIn(run, column->second, weight.first);
                                             });
    if (explained) return zeros->entryByColumn.at(column->second);
  }
  return std::nullopt;
}

std::size_t FindingRecord::followerCount(std::size_t index) const {
  const auto found = entryByKeptIndex.find(index);
  return found == entryByKeptIndex.end() ? 0 : followersByEntry.at(found->second);
}

std::optional<RecordSeverity> FindingRecord::decided(
    std::string_view code, const std::string& file, RecordSeverity found,
    const std::vector<PolicyPredictor>& predictors) const {
  if (policy == nullptr) return found;
  const std::optional<PolicyAction> action = policy->actionFor(code, file, predictors);
  if (!action) return found;
  if (*action == PolicyAction::kIgnore) return std::nullopt;
  return severityOf(*action);
}

bool FindingRecord::decide(RecordEntry& entry) const {
  const std::optional<RecordSeverity> severity =
      decided(entry.code, entry.file, entry.severity, entry.predictors);
  if (!severity) return false;
  if (*severity == entry.severity) return true;
  entry.severity = *severity;
  // A likely cause keeps its "likely cause" line.
  if (!entry.errorLine.empty() && entry.kind != RecordKind::kCause) {
    entry.errorLine = severityLine(entry);
  }
  return true;
}

std::optional<RecordSeverity> FindingRecord::runFindingSeverity(std::size_t index) const {
  const Finding& finding = outcome.findings[index];
  return decided(codeName(finding.code), policyFileOf(finding), severityOfRunFinding(finding));
}

std::optional<RecordSeverity> FindingRecord::furtherFindingSeverity(std::size_t index) const {
  const FurtherFinding& finding = study->diagnosis.findings[index];
  return decided(furtherCodeName(finding.code), finding.path, finding.severity);
}

const FindingRecord::Damage* FindingRecord::damageOfStudy(std::size_t studyIndex,
                                                          std::int64_t column) const {
  const auto found = damageByStudy.find(studyIndex);
  if (found == damageByStudy.end() || column < found->second.firstColumn) return nullptr;
  return &found->second;
}

// A predictor zero in all runs of `subject` follows from a damage that reached it in one run;
// one zero in some runs only, when the damage reached it in every run where it is zero.
std::optional<std::size_t> FindingRecord::subjectCause(const std::string& subject,
                                                       std::int64_t column, bool allRuns) const {
  const auto group = groupBySubject.find(subject);
  if (group == groupBySubject.end()) return std::nullopt;
  const Damage* first = nullptr;
  for (const std::size_t member : group->second->studies) {
    const Damage* damage = damageOfStudy(member, column);
    if (first == nullptr) first = damage;
    if (!allRuns && damage == nullptr && isZero(study->designs.sdms[member], column)) {
      return std::nullopt;
    }
  }
  return first ? std::optional<std::size_t>(first->entry) : std::nullopt;
}

std::optional<std::size_t> FindingRecord::causeOf(const RecordEntry& entry) const {
  if (damageByStudy.empty() || entry.kind == RecordKind::kCause) return std::nullopt;
  const std::string_view code = entry.code;
  const std::int64_t column = columnOf(entry.predictorNumber);
  const bool wholeSdm = entry.kind == RecordKind::kDesign;
  if (wholeSdm || (code == "ZERO_CONFOUND" && column != kWholeSdm)) {
    const auto found = studyByPath.find(entry.file);
    if (found == studyByPath.end()) return std::nullopt;
    const Damage* damage = damageOfStudy(found->second, wholeSdm ? kWholeSdm : column);
    return damage ? std::optional<std::size_t>(damage->entry) : std::nullopt;
  }
  if ((code == "ZERO_ACROSS_RUNS" || code == "ZERO_IN_SOME_RUNS") && column != kWholeSdm) {
    return subjectCause(entry.subject, column, code == "ZERO_ACROSS_RUNS");
  }
  return std::nullopt;
}

void FindingRecord::forEach(
    const std::function<void(std::size_t, const RecordEntry&)>& visit) const {
  std::size_t kept = 0;
  forEachMade([&](std::size_t made, RecordEntry& entry) {
    if (!decide(entry)) return;
    if (entry.kind == RecordKind::kRun && followersByEntry.count(made) > 0) {
      entry.errorLine = zeroCauseLine(entry);
    }
    if (entry.causedBy) {
      const auto cause = keptIndexByEntry.find(*entry.causedBy);
      entry.causedBy = cause == keptIndexByEntry.end() ? std::nullopt
                                                       : std::optional<std::size_t>(cause->second);
    }
    visit(kept++, entry);
  });
}

void FindingRecord::forEachMade(const std::function<void(std::size_t, RecordEntry&)>& visit) const {
  std::size_t index = 0;
  // `follows`: the zero finding that explains it, when no reader problem does.
  const auto hand = [&](RecordEntry entry, std::optional<std::size_t> follows = std::nullopt) {
    entry.causedBy = causeOf(entry);
    if (!entry.causedBy) entry.causedBy = follows;
    visit(index++, entry);
  };
  for (const Finding& finding : outcome.findings) hand(runEntry(finding));
  if (study == nullptr) return;
  for (const MismatchCause& cause : study->diagnosis.causes) hand(causeEntry(cause));
  for (const FurtherFinding& finding : study->diagnosis.findings) hand(furtherEntry(finding));
  forEachToldDesign(study->designs, [&](const SdmDesign& design) {
    const auto studyIndex = static_cast<std::size_t>(&design - study->designs.sdms.data());
    if (design.rank.skipped) hand(designEntry(design, nullptr));
    for (const Dependency& dependency : design.rank.dependencies) {
      hand(designEntry(design, &dependency), zeroCauseOf(studyIndex, dependency));
    }
    if (design.rank.unlisted > 0) hand(unlistedEntry(design));
    for (const DesignWarning& warning : design.warnings.items())
      hand(warningEntry(design, warning));
  });
  for (const ContrastFinding& finding : study->contrasts.findings) {
    hand(contrastEntry(study->designs, finding), zeroCauseOf(finding));
  }
}

}  // namespace kelvora::analysis
