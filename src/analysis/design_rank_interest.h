// The condition number of the predictors of interest once the confounds and the constant have
// taken their part: how far the conditions themselves can be told apart. The design's condition
// number (design_rank.h) mixes in the confounds, so a run whose motion columns are awkward and one
// whose conditions are nearly the same column grade alike; this number sees the conditions only.
//
// Method. In the scaled design's Gram matrix G (column_scales.h: unit-length columns, centred
// beside a constant), with the interest block I and the confounds (the constant among them) C,
// the Schur complement S = G_II - G_IC G_CC^+ G_CI is the Gram matrix of what remains of the
// predictors of interest after their projection on the confounds. Its condition number is
// sqrt(lambda_max / lambda_min) of S's eigenvalues: sigma_max / sigma_min of the remains, as the
// design's number is of the design. The remains are not scaled to unit length again, so a
// condition that the confounds nearly explain stands out too. G_CC^+ is through its Cholesky
// factor when every confound stands at least kRankTolerance from the span of the ones before it
// (as the rank check decides), else through its eigenvalues, those at most kRankTolerance^2 left
// out: a dependency among the confounds alone leaves the conditions estimable.
//
// Cost, for p columns of which q are of interest: O(p^3) time at most (p^3 / 3 when the confounds
// are independent), p^2 doubles; called only within withinRankCheckBudget.
#pragma once

#include <cstdint>
#include <vector>

namespace kelvora::analysis {

struct CrossProducts;  // cross_products.h
struct ColumnScales;   // column_scales.h

// The condition number of the examined columns `examined` (increasing SDM columns, none all zero
// or not finite) that are below `interest`, after the others; 1 for one such column, 0 for none,
// infinity when the remains of one of them vanish (an exact dependency takes it in). Never throws
// except std::bad_alloc.
double interestConditionNumber(const CrossProducts& products, const ColumnScales& scales,
                               const std::vector<std::int64_t>& examined, std::int64_t interest);

}  // namespace kelvora::analysis
