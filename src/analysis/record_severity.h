// What a finding means for a group analysis, as kelvora's record of all findings (finding_record.h)
// and --fail-on see it, most serious first.
#pragma once

namespace kelvora::analysis {

// kError: the study cannot be analysed soundly as it is (counts or names disagree, an SDM cannot
// be read or reads wrongly, a predictor of interest is zero in all of a subject's runs, the run
// ended early). kWarning: worth a look. kNote: information only (likely causes, partial zeros, a
// repaired path, a skipped check).
enum class RecordSeverity { kError, kWarning, kNote };

// "error", "warning", "note".
const char* recordSeverityName(RecordSeverity severity);

}  // namespace kelvora::analysis
