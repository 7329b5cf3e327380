// The likely cause of each count or name disagreement of the predictors of interest, found by
// comparing an SDM's names with the prevailing ones. Only a cause that fits is named; a
// disagreement that no cause explains gets none, rather than a guess.
//
// A name (predictor k of an SDM against the prevailing name of predictor k), first the causes that
// explain the whole list, then those of the one name:
// - SWAPPED: the names of k and another predictor m are each other's prevailing names;
// - MISSING_PREDICTOR / EXTRA_PREDICTOR: from k on, every name of interest is the prevailing name
//   one predictor further on (one missing) or one before (one extra);
// - CASE_ONLY, BLANKS_ONLY (leading, trailing or doubled blanks), PUNCTUATION_ONLY;
// - TYPO: an edit distance (two neighbours swapped count as one edit) of 1 for names of 4 to 7
// bytes, of up to 2 from 8 bytes on; none for
//   shorter names ("Cue" and "Car" are different words, not a typo).
// A count (an SDM with one predictor of interest fewer or more than the prevailing count):
// - CONFOUND_BOUNDARY: the names are the prevailing names, but FirstConfoundPredictor is one off,
//   so the last predictor of interest is taken for a confound, or the first confound for one of
//   interest;
// - MISSING_PREDICTOR / EXTRA_PREDICTOR: the names are the prevailing ones with one left out or
//   one put in.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "further_finding.h"
#include "sdm_summary.h"

namespace kelvora::diagnostics {

// The edit distance of a and b (insertions, deletions, substitutions, and swaps of two neighbours,
// each counting 1), or `limit` + 1 when it exceeds `limit`.
std::size_t editDistance(std::string_view a, std::string_view b, std::size_t limit);

// Causes of the name disagreements among `sdms` (those read; all with the prevailing count n), one
// per disagreeing predictor that a cause explains, in study order, then by predictor.
std::vector<MismatchCause> nameCauses(const std::vector<const SdmSummary*>& sdms, std::int64_t n);

// Causes of the count disagreements among `sdms` (those read) against the prevailing count n, one
// per SDM that a cause explains, in study order.
std::vector<MismatchCause> countCauses(const std::vector<const SdmSummary*>& sdms, std::int64_t n);

}  // namespace kelvora::diagnostics
