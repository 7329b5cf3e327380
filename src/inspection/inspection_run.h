// One inspection run, from the choice of the MDM to the last finding: the plug-in's whole action
// and the command-line inspector's per-MDM work.
//
// The run asks for the MDM, reads it, attaches the findings file beside it (the MDM path with
// "_log.txt" for its extension), reads every SDM (repairing a missing first SDM with the user),
// checks the number and the names of the predictors of interest, groups the studies by subject and
// reports all-zero predictors. Every line goes to pluginLog as one flushed entry; every finding is
// also returned as data. The SDMs after the first are read ahead on several threads, within one
// memory budget (sdm_read_ahead.h); of each SDM the run keeps its header counts (CondensedSdm,
// sdm_predictors.h), and its names and all-zero columns in a list and a set that every SDM with
// the same shares (name_list_table.h, zero_column_set.h), its path being the MDM's, so its memory
// does not grow with the values of the study, and with the number of its SDMs only by 72 bytes
// each, up to a ceiling (kMaxSlotsKeptPerRun); it reports up to kMaxFindingsPerRun findings. The
// findings file is closed
// at every end of the run, also when an exception (e.g. std::bad_alloc) passes through: the run
// throws nothing on purpose and catches nothing either, so the caller's boundary decides what an
// exception means.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "designmatrix/user_dialogs.h"
#include "inspection/run_outcome.h"
#include "inspection/sdm_read_ahead.h"

namespace kelvora {

// The most a run keeps of its SDMs together, in 4-byte value slots as the reader counts its caps
// (kSlotsKeptPerSdm, and each distinct list of names and set of zero columns once): 256 Mi slots,
// 1 GiB. The SDM that takes the run past it ends the run with RUN_TOO_LARGE, after it was read. A
// real study stays far below: an SDM of the benchmark's shape keeps its condensed record, 18
// slots, so 40,000 of them keep 720 Ki slots (2.8 MB). A hostile MDM that lists SDMs of 65,536
// predictors, each with names of its own (about 1 MiB), ends after about a thousand of them; one
// that lists the same SDM again and again ends after 15 million listings.
inline constexpr std::int64_t kMaxSlotsKeptPerRun = std::int64_t{256} * 1024 * 1024;

// The most findings a run reports, each a line logged and a Finding kept. The finding after them
// ends the run with RUN_TOO_LARGE instead. Without it, a 74-byte SDM whose announced confounds all
// read as zero, listed a thousand times, would log 65 million lines. A real study reports tens of
// findings; even 40,000 runs would need more than six findings each to come near.
inline constexpr std::size_t kMaxFindingsPerRun = 250000;

// Names a run's findings file from the MDM path the user chose. None: the run writes no findings
// file, and its complete end logs no "Saved findings to: " line.
using FindingsFileRule = std::function<std::optional<std::string>(const std::string& mdmPath)>;

// The plug-in's rule: beside the MDM, the MDM path with "_log.txt" for its extension.
std::optional<std::string> findingsBesideMdm(const std::string& mdmPath);

struct RunSettings {
  FindingsFileRule findingsFile = findingsBesideMdm;
  // The threads that read SDMs; 0: readThreadCount(). 1 reads each SDM at its turn.
  unsigned readThreads = 0;
  // Called for each SDM the run reads, while its values are at hand: the first once it could be
  // read (after a repair), the others on the threads that read them ahead, several at once and in
  // any order, and possibly beyond a study that ends the run (the run ignores those SDMs). Must be
  // safe to call for different studies at once. An exception it throws passes to the run's caller
  // when that study's turn comes.
  SdmValuesVisitor visitSdm;
  // The ceiling of what the run keeps, in value slots (smaller in tests).
  std::int64_t maxSlotsKept = kMaxSlotsKeptPerRun;
  // The most findings the run reports (smaller in tests).
  std::size_t maxFindings = kMaxFindingsPerRun;
  // The bytes that the SDMs being read ahead together may cost (smaller in tests).
  std::int64_t readAheadBudget = kReadAheadBudget;
};

// Performs one run, talking to the user through `dialogs`. `complete` is true only when the run
// came to its complete end (every SDM read, counts and names agree, all checks reported).
RunOutcome runInspection(UserDialogs& dialogs, const RunSettings& settings = {});

// The same with another findings file (the command line's --findings-dir, --no-findings-file).
RunOutcome runInspection(UserDialogs& dialogs, const FindingsFileRule& findingsFile);

}  // namespace kelvora
