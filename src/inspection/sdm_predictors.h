// How the checks look at the predictors of one SDM: its number of predictors of interest, and the
// name and values of a predictor, also of one the SDM does not have. Each question is asked of an
// SDM as read (SdmFile) or as a run keeps it (CondensedSdm), with the same answer.
//
// A predictor beyond the SDM's own lists behaves like one the SDM declares but whose name and
// values could not be read: named "NoName", all values 0.0. So a check may ask for any predictor
// number and never reads what is not there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "designmatrix/predictor_name_list.h"
#include "designmatrix/sdm_file.h"
#include "inspection/name_list_table.h"
#include "inspection/zero_column_set.h"

namespace kelvora {

// What a run keeps of an SDM once read, for the checks: its header counts, its names and its
// all-zero columns, both shared with every SDM of the run that has the same (72 bytes of its own,
// whatever the SDM's size). The colours, values and the reader's notes are not kept.
struct CondensedSdm {
  // The SDM's path: a view of the string it was read from (the MDM's list of paths in a run),
  // which must outlive the record.
  std::string_view path;
  PredictorNameList names;
  ZeroColumnSet zeroColumns;
  std::int32_t fileVersion = 0;
  std::int32_t nrOfPredictors = 0;
  std::int32_t nrOfDataPoints = 0;
  std::int32_t firstConfoundPredictor = 0;
  bool tooLargeToRead = false;

  bool unreadable() const { return fileVersion == kUnreadableFileVersion; }
};

// What the checks need of `sdm`, its names and zero columns shared through the tables. The record
// views sdm.path. May throw std::bad_alloc.
CondensedSdm condense(const SdmFile& sdm, NameListTable& names, ZeroColumnTable& zeros);

// firstConfoundPredictor - 1, in 64 bits so that the smallest 32-bit value does not overflow.
std::int64_t interestCountOf(const SdmFile& sdm);
std::int64_t interestCountOf(const CondensedSdm& sdm);

// The name of predictor `index` (0-based); kUnreadPredictorName beyond the SDM's names. The view
// lives as long as `sdm` (and its names, once shared, as long as any copy of their list).
std::string_view predictorNameAt(const SdmFile& sdm, std::int64_t index);
std::string_view predictorNameAt(const CondensedSdm& sdm, std::int64_t index);

// The number of names the SDM holds (its nrOfPredictors, once read), also once they are shared.
std::size_t nameCountOf(const SdmFile& sdm);
std::size_t nameCountOf(const CondensedSdm& sdm);

// Moves the SDM's names to `table`'s list of them (sdm.sharedNames), so that every SDM with the
// same names holds one list. The checks see the SDM as before. May throw std::bad_alloc (the SDM
// is then unchanged).
void shareNames(SdmFile& sdm, NameListTable& table);

// What a run keeps of each SDM of its own, its shared names and zero columns not counted, in 4-byte
// value slots (rounded up) as the reader counts its caps: the condensed record.
inline constexpr std::int64_t kSlotsKeptPerSdm = (sizeof(CondensedSdm) + 3) / 4;

// True when column `index` holds no value that is not zero: every value compares equal to 0.0
// (negative zero included), a column without values, and a column the SDM does not have.
bool isAllZeroColumn(const SdmFile& sdm, std::int64_t index);
bool isAllZeroColumn(const CondensedSdm& sdm, std::int64_t index);

// The number of columns the SDM holds (its nrOfPredictors, once read).
std::int64_t columnCountOf(const SdmFile& sdm);
std::int64_t columnCountOf(const CondensedSdm& sdm);

}  // namespace kelvora
