// Every finding of one inspection, of every kind, in one shape: the plug-in's findings of the run,
// the likely causes, kelvora's further findings, the design findings of the rank check and the
// warnings of each design, then the contrasts' findings (kind "design"), in that order. The --json
// member "allFindings", the lines on standard error, the section kelvora adds to the findings file
// and the exit status under --fail-on are all made from it.
//
// One problem, one message: when a reader problem of an SDM (a value that could not be read, a cut
// matrix: every value after it reads as 0) explains later findings of that SDM, those findings
// name it as their cause (`causedBy`). They are:
// - its zero confounds (the run's and those beyond it) in a column the damage reached;
// - a predictor of interest zero in all runs of a subject one of whose runs the damage reached in
//   that column, and one zero in some runs only when the damage reached every one of those runs;
// - every design finding of the SDM (its matrix is not the file's).
// A column is reached when at least one of its values lies at or after the first damaged value.
//
// Likewise a predictor zero in all runs of a subject (ZERO_ACROSS_RUNS, the log's or kelvora's own)
// explains, in that subject's runs, the rank finding naming that zero column and the contrast
// findings (CONTRAST_NOT_ESTIMABLE, CONTRAST_NULL_IN_RUN, CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT) of
// every contrast that weighs the predictor by name: each follows from the zero column alone. When
// the zero finding itself follows from a reader problem, its followers name that reader problem.
// A run's finding that others follow from gets a line of kelvora's on standard error (its log
// line stays as the plug-in wrote it).
//
// A finding policy (finding_policy.h), when given, is applied to every entry as it is made: an
// entry it ignores is left out (the entries after it take its index, and an entry whose cause it
// ignores names no cause and has its own line), and one it gives another severity carries that
// severity, and its line on standard error says so (a likely cause keeps its "likely cause"
// line). The run's entries are decided too, but their text stays the log's line.
//
// The record holds references to the outcome and the study, which must outlive it, and a few
// numbers per damaged SDM and per zero finding; entries are made one at a time as they are visited,
// so a study with hundreds of thousands of findings costs no second copy of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/finding_policy.h"
#include "analysis/inspected_study.h"
#include "analysis/record_severity.h"
#include "inspection/run_outcome.h"

namespace kelvora::analysis {

inline constexpr char kRankCheckSkippedCode[] = "RANK_CHECK_SKIPPED";
// The dependencies of an SDM beyond those its findings list (kMostListedDependencies), counted.
inline constexpr char kDependenciesMoreCode[] = "DESIGN_DEPENDENCIES_MORE";

enum class RecordKind { kRun, kCause, kFurther, kDesign };

// "run", "cause", "further", "design".
const char* recordKindName(RecordKind kind);

struct RecordEntry {
  RecordKind kind = RecordKind::kRun;
  const char* code = "";
  RecordSeverity severity = RecordSeverity::kNote;
  std::string file;     // empty: none
  std::string subject;  // empty: none
  std::optional<std::int64_t> predictorNumber;
  std::string predictorName;  // meaningful with predictorNumber
  // A design finding's predictors (a dependency's, a pair's), for the policy's selectors.
  std::vector<PolicyPredictor> predictors;
  std::string text;           // run: the log line; others: the sentence kelvora prints
  // The whole line on standard error ("kelvora: warning: ...", without line end); empty for those
  // kelvora does not print and for the run's findings (their lines are the log's), but for one
  // that others follow from.
  std::string errorLine;
  std::optional<std::size_t> causedBy;  // index of the finding that explains it
  bool beyondRun = false;               // further findings: checked past the run's end
};

// The severity of one of the run's findings before a lab's config: kError for one that ended the
// run and for a predictor of interest zero in all of a subject's runs, kNote for the first SDM
// that the path repair found again, kWarning otherwise.
RecordSeverity severityOfRunFinding(const Finding& finding);

// One sentence for a design warning of `design`, file bytes as they are:
// `S01.sdm: predictor 1 "Faces" and predictor 2 "Houses" correlate (r = 0.72)`.
std::string designWarningSentence(const SdmDesign& design, const DesignWarning& warning);

class FindingRecord {
 public:
  // `study` null: a run that stopped on an unexpected failure (its findings alone). `policy`, when
  // given, must outlive the record.
  FindingRecord(const RunOutcome& outcome, const InspectedStudy* study,
                const FindingPolicy* policy = nullptr);

  // Hands every entry the policy keeps, with its index among them, to `visit`, in the record's
  // order.
  void forEach(const std::function<void(std::size_t, const RecordEntry&)>& visit) const;

  // The severity of the run's finding outcome.findings[index], or of the further finding
  // diagnosis.findings[index] of a record with a study, after the policy, as forEach hands it;
  // none when the policy ignores it. So the findings' own JSON members show what --fail-on
  // counts. `index` must lie within that list. O(1).
  std::optional<RecordSeverity> runFindingSeverity(std::size_t index) const;
  std::optional<RecordSeverity> furtherFindingSeverity(std::size_t index) const;

  // How many entries name entry `index` (an index forEach hands) as their cause. O(1).
  std::size_t followerCount(std::size_t index) const;

  // The most serious severity of all entries; none without entries.
  std::optional<RecordSeverity> worstSeverity() const { return worst; }

  // How many entries the policy ignores (left out of forEach).
  std::size_t ignoredCount() const { return ignored; }

 private:
  struct Damage {
    std::size_t entry = 0;         // the reader finding's index in the record
    std::int64_t firstColumn = 0;  // 0-based: this column and those after it were reached
  };
  // The predictors zero in all runs of one subject: by 0-based column, the entry their followers
  // name; by name (as the finding names it; contrasts weigh predictors by name), the column.
  struct SubjectZeros {
    std::unordered_map<std::int64_t, std::size_t> entryByColumn;
    std::unordered_map<std::string_view, std::int64_t> columnByName;
    const SubjectGroup* group = nullptr;  // its runs as kelvora groups them; null: none read
  };

  // The damage of a study that reached `column` (kWholeSdm: any), or null.
  const Damage* damageOfStudy(std::size_t study, std::int64_t column) const;
  std::optional<std::size_t> subjectCause(const std::string& subject, std::int64_t column,
                                          bool allRuns) const;
  std::optional<std::size_t> causeOf(const RecordEntry& entry) const;
  // The zero predictors of the subject of study `studyIndex`, or of `subject`; null: none.
  const SubjectZeros* zerosOfStudy(std::size_t studyIndex) const;
  const SubjectZeros* zerosOf(std::string_view subject) const;
  // The zero finding that explains a rank finding of study `studyIndex` about `dependency`, or a
  // contrast finding; none when none does. O(1), and O(weights) for a run's contrast finding,
  // O(weights x runs) for a subject's.
  std::optional<std::size_t> zeroCauseOf(std::size_t studyIndex,
                                         const Dependency& dependency) const;
  std::optional<std::size_t> zeroCauseOf(const ContrastFinding& finding) const;
  void noteZeroCauses();
  // Every entry before the policy, with its index in the whole record; causedBy in those indexes.
  void forEachMade(const std::function<void(std::size_t, RecordEntry&)>& visit) const;
  // Applies the policy to `entry`; false when it ignores it.
  bool decide(RecordEntry& entry) const;
  // The severity the policy gives a finding of `code` about `file` found as `found`; none: ignored.
  std::optional<RecordSeverity> decided(std::string_view code, const std::string& file,
                                        RecordSeverity found,
                                        const std::vector<PolicyPredictor>& predictors = {}) const;

  const RunOutcome& outcome;
  const InspectedStudy* study;
  const FindingPolicy* policy;
  // Filled only for a study with damaged SDMs; views into the study's designs.
  std::unordered_map<std::size_t, Damage> damageByStudy;
  std::unordered_map<std::string_view, std::size_t> studyByPath;  // damaged SDMs only
  std::unordered_map<std::string_view, const SubjectGroup*> groupBySubject;
  // Filled only for a study with zero findings: by subject, and each read SDM's subject.
  std::unordered_map<std::string_view, SubjectZeros> zerosBySubject;
  std::unordered_map<std::size_t, std::string_view> subjectByStudy;
  // Every entry others may name as cause (made index) with how many the policy keeps that do;
  // those the policy keeps: their index among the entries kept, and back.
  std::unordered_map<std::size_t, std::size_t> followersByEntry;
  std::unordered_map<std::size_t, std::size_t> keptIndexByEntry;
  std::unordered_map<std::size_t, std::size_t> entryByKeptIndex;
  std::optional<RecordSeverity> worst;
  std::size_t ignored = 0;
};

}  // namespace kelvora::analysis
