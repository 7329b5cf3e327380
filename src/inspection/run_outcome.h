// What one inspection run found and how it ended, as data. The plug-in reduces it to `complete`;
// the command-line inspector renders it (log lines or JSON) without repeating a check or a text.
//
// Every finding carries the exact log line it was written as, so a front end that renders findings
// differently can still quote the log. The codes below are stable: front ends publish them, so a
// code is never renamed or reused for another kind of finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "files/native_file.h"

namespace kelvora {

enum class FindingCode {
  kMdmUnreadable,           // the MDM could not be opened
  kSdmUnreadable,           // an SDM could not be opened
  kSdmTooLarge,             // an SDM announced more values than one SDM may hold
  kRunTooLarge,             // what the run keeps of its SDMs passed kMaxSlotsKeptPerRun, or
                            // its findings passed kMaxFindingsPerRun
  kNoStudies,               // the MDM lists no study
  kPredictorCountMismatch,  // an SDM's number of predictors of interest is not the prevailing one
  kPredictorNameMismatch,   // an SDM names a predictor of interest unlike the prevailing name
  kZeroAcrossRuns,          // a predictor of interest is zero in every run of a subject
  kZeroConfound,            // a confound predictor is zero throughout a run
  kFindingsNotSaved,        // the findings file could not be created or written
  kMdmNotSaved,             // the corrected MDM could not be written
};

// kError: the finding ended the run, so the MDM was not inspected to the end.
// kWarning: reported while the run went on (or mended by the path repair).
enum class Severity { kError, kWarning };

// Stable upper-case names: "MDM_UNREADABLE", "SDM_UNREADABLE", "SDM_TOO_LARGE", "RUN_TOO_LARGE",
// "NO_STUDIES", "PREDICTOR_COUNT_MISMATCH", "PREDICTOR_NAME_MISMATCH", "ZERO_ACROSS_RUNS",
// "ZERO_CONFOUND", "FINDINGS_NOT_SAVED", "MDM_NOT_SAVED"; and "error" / "warning".
const char* codeName(FindingCode code);
const char* severityName(Severity severity);

// A count (predictor count findings) or a name (predictor name findings); empty otherwise.
using FindingValue = std::variant<std::monostate, std::int64_t, std::string>;

struct Finding {
  FindingCode code = FindingCode::kNoStudies;
  Severity severity = Severity::kError;
  // The file concerned, as the run knows its path: the SDM for SDM and predictor findings, the
  // MDM for kMdmUnreadable, the findings file for kFindingsNotSaved, the save target for
  // kMdmNotSaved. Empty for kNoStudies and kZeroAcrossRuns (a subject spans several SDMs).
  std::string path;
  std::string subject;                          // kZeroAcrossRuns
  std::optional<std::int64_t> predictorNumber;  // 1-based; predictor findings
  std::string predictorName;                    // the name in that SDM (the first SDM's for
                                                // kZeroAcrossRuns); predictor findings
  FindingValue found;                           // mismatches: the SDM's own count or name
  FindingValue prevailing;                      // mismatches: the prevailing count or name
  std::string line;                             // the log line, exactly as written
};

// How the run ended. Only kComplete reaches the checks' last line.
enum class RunEnd {
  kComplete,
  kMdmUnreadable,
  kNoStudies,
  kSdmUnreadable,  // an SDM after the first could not be opened
  kSdmTooLarge,
  kRunTooLarge,            // what the run keeps of its SDMs, or its findings, passed a ceiling
  kRepairNotRelocated,     // the user cancelled locating the first SDM, or chose too short a path
  kRepairStillUnreadable,  // the first SDM could not be opened from the corrected path either
  kRepairSaveCancelled,    // the user agreed to save the corrected MDM, then cancelled
  kPredictorCountMismatch,
  kPredictorNameMismatch,
};

struct RunOutcome {
  bool complete = false;  // what the plug-in's execute returns
  RunEnd end = RunEnd::kMdmUnreadable;
  std::string mdmPath;                      // as the dialog answered, possibly empty
  std::optional<std::string> findingsPath;  // set once the findings file was attached
  // The findings file this run made, as it was when the run let go of it; none when none was
  // made (or, at the complete end, when a line could not be saved). A front end that adds to the
  // file afterwards adds only to this very file (openToAppend).
  std::optional<FileKey> findingsFileKey;
  std::optional<std::size_t> studyCount;    // set once the MDM was read
  std::optional<std::size_t> subjectCount;  // set once every SDM was read
  std::optional<std::string> savedMdmPath;  // set when the repair saved the corrected MDM
  std::vector<Finding> findings;            // in the order their lines were written

  // A file the run needed could not be read in the end (the MDM, an SDM, or SDMs too large, alone
  // or together).
  bool fileUnreadable() const;
  // The user cancelled the path repair (locating the first SDM, or the save dialog).
  bool repairCancelled() const;
};

}  // namespace kelvora
