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
//   bytes, of up to 2 from 8 bytes on; none for shorter names ("Cue" and "Car" are different
//   words, not a typo).
// Names longer than kMostNameBytesExamined get none of the causes of one name (CASE_ONLY to TYPO).
// A count (an SDM with one predictor of interest fewer or more than the prevailing count):
// - CONFOUND_BOUNDARY: the names are the prevailing names, but FirstConfoundPredictor is one off,
//   so the last predictor of interest is taken for a confound, or the first confound for one of
//   interest;
// - MISSING_PREDICTOR / EXTRA_PREDICTOR: the names are the prevailing ones with one left out or
//   one put in.
//
// Cost, for m SDMs of p columns whose names are L bytes long at most: the checks of a predictor
// stop at the most columns any SDM holds, whatever FirstConfoundPredictor announces, so names are
// compared O(lists x p x L) for the distinct lists of names among them, SWAPPED is looked up in a
// hash map of the disagreeing predictors, and the edit distance is computed in a band of the
// limit's width, O(limit x L).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "analysis/further_finding.h"
#include "analysis/sdm_summary.h"

namespace kelvora::analysis {

// The longest name that the causes of one name look at. A predictor's name is a word or a few; a
// name longer than a kilobyte is damage, not a slip of the hand, and the likely cause of its
// disagreement would be a guess. Such a name still takes part in SWAPPED, MISSING_PREDICTOR and
// EXTRA_PREDICTOR, which compare whole names only; otherwise its disagreement, which the run
// lists, gets no likely cause.
inline constexpr std::size_t kMostNameBytesExamined = 1024;

// The edit distance of a and b (insertions, deletions, substitutions, and swaps of two neighbours,
// each counting 1), or `limit` + 1 when it exceeds `limit`. Only the band of the table within
// `limit` of its diagonal is computed, and the work stops once every distance of a row exceeds
// the limit: O(limit x (|a| + 1)) time, O(limit) memory.
std::size_t editDistance(std::string_view a, std::string_view b, std::size_t limit);

// Causes of the name disagreements among `sdms` (those read; all with the prevailing count n), one
// per disagreeing predictor that a cause explains, in study order, then by predictor. The
// predictors looked at are those the run's name check compares: 0 to n - 1 clamped to the most
// columns any SDM holds. SDMs that share a list of names share its causes, found once. At most
// `most` causes, the first in that order.
std::vector<MismatchCause> nameCauses(const std::vector<const SdmSummary*>& sdms, std::int64_t n,
                                      std::size_t most = SIZE_MAX);

// Causes of the count disagreements among `sdms` (those read) against the prevailing count n, one
// per SDM that a cause explains, in study order. Counts are compared as the files state them;
// names as far as the SDMs hold them.
std::vector<MismatchCause> countCauses(const std::vector<const SdmSummary*>& sdms, std::int64_t n);

}  // namespace kelvora::analysis
