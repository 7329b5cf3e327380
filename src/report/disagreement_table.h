// The report's table of the run's count and name disagreements: one row per SDM (counts) or per
// SDM and predictor (names), with the predictor number, the prevailing value, the value found and
// the likely cause, when one fits.
#pragma once

#include <string>

#include "analysis/further_finding.h"
#include "inspection/run_outcome.h"

namespace kelvora::report {

// The section's HTML; empty when the run found no disagreement.
std::string disagreementSection(const RunOutcome& outcome,
                                const analysis::StudyDiagnosis& diagnosis);

}  // namespace kelvora::report
