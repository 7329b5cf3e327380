#include "inspection/run_outcome.h"

namespace kelvora {

const char* codeName(FindingCode code) {
  switch (code) {
    case FindingCode::kMdmUnreadable:
      return "MDM_UNREADABLE";
    case FindingCode::kSdmUnreadable:
      return "SDM_UNREADABLE";
    case FindingCode::kSdmTooLarge:
      return "SDM_TOO_LARGE";
    case FindingCode::kRunTooLarge:
      return "RUN_TOO_LARGE";
    case FindingCode::kNoStudies:
      return "NO_STUDIES";
    case FindingCode::kPredictorCountMismatch:
      return "PREDICTOR_COUNT_MISMATCH";
    case FindingCode::kPredictorNameMismatch:
      return "PREDICTOR_NAME_MISMATCH";
    case FindingCode::kZeroAcrossRuns:
      return "ZERO_ACROSS_RUNS";
    case FindingCode::kZeroConfound:
      return "ZERO_CONFOUND";
    case FindingCode::kFindingsNotSaved:
      return "FINDINGS_NOT_SAVED";
    case FindingCode::kMdmNotSaved:
      return "MDM_NOT_SAVED";
  }
  return "UNKNOWN";
}

const char* severityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

bool RunOutcome::fileUnreadable() const {
  switch (end) {
    case RunEnd::kMdmUnreadable:
    case RunEnd::kSdmUnreadable:
    case RunEnd::kSdmTooLarge:
    case RunEnd::kRunTooLarge:
    case RunEnd::kRepairStillUnreadable:
      return true;
    default:
      return false;
  }
}

bool RunOutcome::repairCancelled() const {
  return end == RunEnd::kRepairNotRelocated || end == RunEnd::kRepairSaveCancelled;
}

}  // namespace kelvora
