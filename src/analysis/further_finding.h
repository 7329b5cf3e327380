// The findings that the command-line inspector adds to the plug-in's log, as data: what the readers
// noticed, where the subject rule probably does not fit the study, the likely cause of a count or
// name disagreement, and the checks the run did not reach. The plug-in neither makes nor shows
// them; kelvora prints them (standard error, --json) and its report shows them.
//
// The codes are published (README, doc/kelvora-json.schema.json): never renamed, never reused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/record_severity.h"
#include "inspection/subjects.h"

namespace kelvora::analysis {

enum class FurtherCode {
  kSdmShortMatrix,          // the file ended before every announced value
  kSdmUnreadableValue,      // a value could not be read; every value after it read as 0
  kSdmTextAfterMatrix,      // text follows the announced values
  kSdmNamesLine,            // the names line holds fewer or more names than predictors
  kSdmHeaderField,          // a header field is missing or unreadable; 0 took its place
  kMdmStudyCount,           // NrOfStudies is not the number of study lines
  kMdmLineSkipped,          // a line among the studies holds no study
  kMdmDuplicateSdm,         // the same SDM path is listed more than once
  kMdmDuplicateFunctional,  // the same functional data path is listed more than once
  kSubjectNoUnderscore,     // functional file names without '_': the whole name is the subject
  kSubjectPerStudy,         // every study is its own subject
  kSubjectInFolder,         // equal functional file names in different folders
  kSubjectUnevenRuns,       // a subject with another number of runs than most (a note)
  kSdmUnreadable,           // beyond the run: an SDM that could not be opened
  kSubjectCount,            // beyond the run: the subjects of the SDMs that agree (a note)
  kZeroAcrossRuns,          // beyond the run: as the log's check, over the SDMs that agree
  kZeroConfound,            // beyond the run: as the log's check, over the SDMs that agree
  kZeroInSomeRuns,          // a predictor of interest zero in some of a subject's runs (a note)
  kSubjectSplitFolder,      // one-run subjects made of the runs that share a folder
  kSubjectRuleUnplaced,     // paths the chosen subject rule cannot place: their prefix subject
  kSubjectRuleCount,        // the chosen rule's subject count is not the log's (a note)
  kFindingsCut,             // the checks beyond the log found more than they list
  kStudyMoved,  // most SDMs, the first among them, fail to open from one folder (a note)
  kRunLength,   // a run with another number of data points than most (a note)
};

struct FurtherFinding {
  FurtherCode code = FurtherCode::kSdmShortMatrix;
  // What --fail-on counts before a lab's config: kError where the study cannot be analysed soundly
  // as read (a damaged SDM, one that cannot be opened, a predictor zero in all of a subject's
  // runs), kNote for information only, kWarning otherwise.
  RecordSeverity severity = RecordSeverity::kWarning;
  bool beyondRun = false;  // a check past the point where the plug-in's run ended
  std::string path;        // the SDM, or the MDM for MDM and subject findings; may be empty
  std::string subject;     // subject findings; empty otherwise
  std::optional<std::int64_t> predictorNumber;  // 1-based
  std::string predictorName;                    // meaningful with predictorNumber
  std::string text;                             // one sentence, file bytes as they are
};

// The likely cause of a count or name disagreement.
enum class CauseCode {
  kCaseOnly,
  kBlanksOnly,
  kPunctuationOnly,
  kTypo,
  kSwapped,
  kMissingPredictor,
  kExtraPredictor,
  kConfoundBoundary,
};

struct MismatchCause {
  std::string path;                             // the SDM that disagrees
  std::optional<std::int64_t> predictorNumber;  // name disagreements: 1-based; counts: none
  CauseCode code = CauseCode::kCaseOnly;
  std::string text;  // one sentence
};

struct StudyDiagnosis {
  std::vector<FurtherFinding> findings;
  std::vector<MismatchCause> causes;
  std::string subjectRule = "prefix";  // the rule `subjects` were grouped by, as given
  std::vector<SubjectGroup> subjects;  // the studies by subject under that rule
};

// Stable upper-case names ("SDM_SHORT_MATRIX", ..., "CASE_ONLY", ...).
const char* furtherCodeName(FurtherCode code);
const char* causeCodeName(CauseCode code);

// `text` in double quotes with every byte that does not show escaped: control bytes as \xNN, the
// quote and the backslash with a backslash. Blanks stay, inside the quotes.
std::string visible(std::string_view text);
void appendVisible(std::string& to, std::string_view text);

// `predictor 3 "Faces"` for the 0-based `column` of that name: the phrase of every finding.
std::string predictorPhrase(std::int64_t column, std::string_view name);
void appendPredictorPhrase(std::string& to, std::int64_t column, std::string_view name);

}  // namespace kelvora::analysis
