// The warnings the field already gives about one SDM's design, with their published lines (README,
// "Design warnings"): pairs of predictors that correlate (PREDICTOR_CORRELATION), predictors of
// interest whose variance the others inflate (HIGH_VIF), and the grade of the design's condition
// number. Made on the reading thread from the SDM's cross-products (cross_products.h) and its rank
// check, then only the few warnings are kept: nothing of size p x p outlives the making.
//
// Method. r and the VIF are the correlations' own (design_correlation.h: on the centred
// columns, a VIF infinite for a predictor of an exact dependency among them, the rank check's
// tolerance); the condition number is the rank check's (design_rank.h).
//
// Cost, for p columns: O(p^3) time and p^2 doubles on top of the cross-products; the warnings kept
// are at most kMostCorrelationPairs + 1 pairs and one per predictor of interest.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/design_rank.h"
#include "analysis/record_severity.h"

namespace kelvora::analysis {

struct CrossProducts;  // cross_products.h

inline constexpr double kCorrelationNote = 0.4;
inline constexpr double kCorrelationWarning = 0.7;
// |r| this close to 1 is the same column up to scale and rounding of six-digit text.
inline constexpr double kIdenticalCorrelation = 1.0 - 1e-6;
inline constexpr double kInflationNote = 5.0;
inline constexpr double kInflationWarning = 10.0;
// The strongest pairs reported per SDM; the rest are counted in one more finding.
inline constexpr std::size_t kMostCorrelationPairs = 10;

enum class DesignWarningCode {
  kPredictorCorrelation,  // two predictors with |r| >= kCorrelationNote
  kMoreCorrelations,      // pairs beyond kMostCorrelationPairs, counted (a note)
  kHighVif,               // a predictor of interest with VIF > kInflationNote
};

struct DesignWarning {
  DesignWarningCode code = DesignWarningCode::kPredictorCorrelation;
  RecordSeverity severity = RecordSeverity::kNote;
  std::int32_t first = -1;   // 0-based column
  std::int32_t second = -1;  // correlations: the other column
  // r, the VIF (infinity for an exact dependency), or the number of pairs left out.
  double value = 0.0;
};

// The warnings of one design, never changed once made; copies share them, so the listings of one
// SDM content hold them once.
class DesignWarnings {
 public:
  DesignWarnings() = default;
  // Keeps `made`, at its size. May throw std::bad_alloc.
  explicit DesignWarnings(std::vector<DesignWarning> made);

  // Correlations by decreasing |r|, then VIFs by column.
  const std::vector<DesignWarning>& items() const;
  // The list these warnings share with their copies; null when there are none.
  const void* identity() const { return shared.get(); }

 private:
  std::shared_ptr<const std::vector<DesignWarning>> shared;  // null: none
};

// The columns `warning` names: a pair's two, a VIF's one, none for a count.
std::vector<std::int32_t> warningPredictors(const DesignWarning& warning);

// "PREDICTOR_CORRELATION", "PREDICTOR_CORRELATION_MORE", "HIGH_VIF".
const char* designWarningCodeName(DesignWarningCode code);

// The grade of a condition number: "low" (below 20), "moderate" (below 400), "high" (below
// 8,000), "very high" (below 160,000), "extreme"; "extreme" for a design without full rank.
// Meaningless for a check that was skipped or of no column (shownConditionGrade).
const char* conditionGrade(const RankCheck& rank);

// The condition number every front end shows: the rank check's, or none when the design has no
// full rank (it is infinite), no column, or was not checked.
std::optional<double> shownConditionNumber(const RankCheck& rank);
// The grade every front end shows: conditionGrade, or null when the check was skipped or the
// design has no column.
const char* shownConditionGrade(const RankCheck& rank);

// The severity of a dependency of a design whose first `interest` columns are the predictors of
// interest: an exact one is a warning, and so is a near one that takes in a predictor of interest;
// a near-dependency among the confounds (the constant among them) alone is a note, as it leaves
// the conditions' estimates as they are (their correlations with the confounds are the
// correlations' and VIF's to tell).
RecordSeverity dependencySeverity(const Dependency& dependency, std::int64_t interest);

// The condition number of the predictors of interest after the confounds and the constant, as
// every front end shows it: none when the check was skipped, no predictor of interest was
// examined, or one of them cannot be estimated (infinite).
std::optional<double> shownInterestConditionNumber(const RankCheck& rank);
// Its grade, on lines of its own (the remains of two conditions correlating at r have the number
// sqrt((1 + r) / (1 - r))): "low" below 3 (r below 0.8), "moderate" below 10 (r below 0.98),
// "high" below 30, "very high" below 100, "extreme" from 100 (the near-dependency's line) and when
// a predictor of interest cannot be estimated; null when shownInterestConditionNumber has no
// number for another reason.
const char* shownInterestConditionGrade(const RankCheck& rank);

// The warnings of the design whose cross-products are `products` and rank check `rank`; its first
// `interest` columns are the predictors of interest. A pair of two confounds is left out unless
// `allCorrelations` or they are identical. Nothing when the rank check was skipped. Never throws
// except std::bad_alloc.
DesignWarnings warnDesign(const CrossProducts& products, std::int64_t interest,
                          const RankCheck& rank, bool allCorrelations);

}  // namespace kelvora::analysis
