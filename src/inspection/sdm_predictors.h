// How the checks look at the predictors of one SDM: its number of predictors of interest, and the
// name and values of a predictor, also of one the SDM does not have.
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

namespace kelvora {

// firstConfoundPredictor - 1, in 64 bits so that the smallest 32-bit value does not overflow.
std::int64_t interestCountOf(const SdmFile& sdm);

// The name of predictor `index` (0-based); kUnreadPredictorName beyond the SDM's names. The view
// lives as long as `sdm` (and its names, once shared, as long as any copy of their list).
std::string_view predictorNameAt(const SdmFile& sdm, std::int64_t index);

// The number of names the SDM holds (its nrOfPredictors, once read), also once they are shared.
std::size_t nameCountOf(const SdmFile& sdm);

// Moves the SDM's names to `table`'s list of them (sdm.sharedNames), so that every SDM with the
// same names holds one list. The checks see the SDM as before. May throw std::bad_alloc (the SDM
// is then unchanged).
void shareNames(SdmFile& sdm, NameListTable& table);

// What an SDM condensed by shareNames and letValuesGo keeps of its own, its shared names not
// counted, in 4-byte value slots (rounded up) as the reader counts its caps: the record itself,
// its path, one bit per column for the all-zero columns and the text the notes keep.
std::int64_t slotsKeptBy(const SdmFile& sdm);

// True when column `index` holds no value that is not zero: every value compares equal to 0.0
// (negative zero included), a column without values, and a column the SDM does not have. After
// letValuesGo, the same answer from what it kept.
bool isAllZeroColumn(const SdmFile& sdm, std::int64_t index);

// The number of columns the SDM holds (its nrOfPredictors, once read), also after letValuesGo.
std::int64_t columnCountOf(const SdmFile& sdm);

// Keeps of the values only what the checks ask of them, whether each column is all zero, and
// frees them, and the colours, which nothing asks for after reading: a run holds every SDM it read
// until its end, and the values are nearly all of an SDM's memory. The checks see the SDM as
// before. May throw std::bad_alloc (the SDM is then unchanged).
void letValuesGo(SdmFile& sdm);

}  // namespace kelvora
