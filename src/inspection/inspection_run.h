// One inspection run, from the choice of the MDM to the last finding: the plug-in's whole action
// and the command-line inspector's per-MDM work.
//
// The run asks for the MDM, reads it, attaches the findings file beside it (the MDM path with
// "_log.txt" for its extension), reads every SDM (repairing a missing first SDM with the user),
// checks the number and the names of the predictors of interest, groups the studies by subject and
// reports all-zero predictors. Every line goes to pluginLog as one flushed entry; every finding is
// also returned as data. The findings file is closed at every end of the run, also when an
// exception (e.g. std::bad_alloc) passes through: the run throws nothing on purpose and catches
// nothing either, so the caller's boundary decides what an exception means.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "designmatrix/user_dialogs.h"
#include "inspection/run_outcome.h"

namespace kelvora {

// The most values (32-bit floats) that the SDMs of one run may hold together: 256 Mi values, that
// is 1 GiB. It leaves room for 1,000 subjects x 4 runs x 1,200 data points x 40 predictors
// (192,000,000 values) and stops a run whose files would exhaust the host's memory instead. The
// SDM whose values pass it ends the run, after it was read.
inline constexpr std::int64_t kMaxValuesPerRun = std::int64_t{256} * 1024 * 1024;

// Names a run's findings file from the MDM path the user chose. None: the run writes no findings
// file, and its complete end logs no "Saved findings to: " line.
using FindingsFileRule = std::function<std::optional<std::string>(const std::string& mdmPath)>;

// The plug-in's rule: beside the MDM, the MDM path with "_log.txt" for its extension.
std::optional<std::string> findingsBesideMdm(const std::string& mdmPath);

// Performs one run, talking to the user through `dialogs`. `complete` is true only when the run
// came to its complete end (every SDM read, counts and names agree, all checks reported).
RunOutcome runInspection(UserDialogs& dialogs);

// The same with another allowance of values per run, so that it can be exercised without
// allocating gigabytes.
RunOutcome runInspection(UserDialogs& dialogs, std::int64_t maxValuesPerRun);

// The same with another findings file (the command line's --findings-dir, --no-findings-file).
RunOutcome runInspection(UserDialogs& dialogs, const FindingsFileRule& findingsFile);

}  // namespace kelvora
