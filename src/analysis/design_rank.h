// The rank check of one single-study design matrix: whether every predictor's effect can be
// estimated, and if not, which predictors form the dependency. The plug-in does not run it; the
// command-line inspector reports it in its JSON and its HTML report.
//
// Method. Each column is scaled to unit Euclidean length, so that the units of a predictor
// (a response shape, millimetres of motion, a constant of 1) do not matter; beside a constant
// column, every other column is first centred, so that an offset counts as the constant's part and
// not as a dependency (column_scales.h). A dependency so found names the constant column too when
// the combination needs an offset (its weight in the design as written above kInvolvedWeight, or
// kNearWeight for a near-dependency). Then:
// - An all-zero column (as the run's zero checks define it) is a dependency of its own.
// - A column-pivoted Householder QR of the other columns (Eigen's ColPivHouseholderQR) gives the
//   numerical rank: a column whose distance from the span of the columns pivoted before it is at
//   most kRankTolerance is dependent. Each dependent column is expressed in the independent ones
//   (least squares through the triangular factor); the predictors with a weight above
//   kInvolvedWeight form the dependency with it. kRankTolerance sits well above the rounding of
//   32-bit values written as text with six digits (about 1e-6), so a predictor computed as the sum
//   of two others and stored that way is still found.
// - The independent columns' singular values (singular_spectrum.h: through the eigenvalues of the
//   Gram matrix of the triangular factor, with vectors only for the near-dependencies; a Jacobi
//   SVD of 1,500 columns took minutes, a full one with every vector seconds) give the condition
//   number sigma_max / sigma_min of the scaled design. Each singular value whose condition index
//   sigma_max / sigma_k exceeds kNearDependencyCondition is a near-dependency; its right singular
//   vector holds the weights of the nearly vanishing combination, and the predictors whose weight
//   is at least kNearWeight in absolute value are involved. 30 is the usual line for a moderate
//   to strong dependency in collinearity diagnostics of unit-length scaled designs; 100 marks a
//   strong one. Kelvora warns from 100 on, where estimates become unstable enough to mislead.
// - Cost: time O(n p min(n, p)) for the QR plus O(min(n, p)^3) for the spectrum, memory n p + p^2
//   doubles, for n rows (data points) and p columns. Both are bounded by refusing a design wider
//   than kRankCheckMaxColumns or whose work n p^2 exceeds kRankCheckMaxWork (about three seconds
//   on one core, 150 MB at most): such a design (far larger than any real one) is not checked, and
//   the check says it was skipped instead of running for minutes.
// - The condition number of the predictors of interest alone, after the confounds and the constant
//   (design_rank_interest.h), from the same cross-products: O(p^3) more at most. Without the cross-products,
//   the check makes them for the columns' centres and lengths: O(n p^2) time, 2 p^2 doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora::analysis {

inline constexpr double kRankTolerance = 1e-4;
inline constexpr double kInvolvedWeight = 1e-3;
inline constexpr double kNearDependencyCondition = 100.0;
inline constexpr double kNearWeight = 0.1;
inline constexpr std::int64_t kRankCheckMaxColumns = 2000;
inline constexpr double kRankCheckMaxWork = 4e9;  // rows x columns^2
// The dependencies one SDM's findings list: a design far wider than its rows has one per column
// beyond its rank, and an SDM listed thousands of times would print them each time. The rest are
// counted (RankCheck::unlisted).
inline constexpr std::size_t kMostListedDependencies = 16;

// True when a design of `rows` x `columns` is within kRankCheckMaxColumns and kRankCheckMaxWork;
// the correlations' VIF (design_correlation.h) keeps to the same bounds.
bool withinRankCheckBudget(std::int64_t rows, std::int64_t columns);

enum class DependencyKind {
  kRankDeficient,  // exact within kRankTolerance: the effects cannot be estimated
  kNearDependent,  // condition index above kNearDependencyCondition: estimates unstable
};

struct Dependency {
  DependencyKind kind = DependencyKind::kRankDeficient;
  // Rank deficiency: the column found to be a combination of the others (0-based); it is one of
  // `predictors`. Near-dependency: -1.
  std::int64_t dependent = -1;
  // 0-based columns involved, increasing; 32 bits, as an SDM holds at most kSdmMaxPredictors
  // columns, so that the dependencies of thousands of SDMs cost half as much.
  std::vector<std::int32_t> predictors;
  double conditionIndex = 0.0;  // near-dependency: sigma_max / sigma_k; 0 otherwise
};

// The dependencies of one check, packed into one byte block: kelvora keeps a check per SDM until
// its output, and a study of thousands of SDMs, each with a few near-dependencies of a dozen
// predictors, would otherwise hold a vector per dependency (about 500 bytes per SDM against about
// 85 packed). The block is never changed once made, and copies share it: an SDM listed again
// shares its first listing's check, so thousands of listings of one SDM hold its dependencies
// once. Each dependency is read back as a Dependency of its own (a value, made on each access);
// reading all of them costs O(bytes held). Empty costs no allocation.
class DependencyList {
 public:
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Dependency;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Dependency;

    Iterator(const unsigned char* at, std::size_t index) : at(at), index(index) {}
    Dependency operator*() const;
    Iterator& operator++();
    bool operator==(const Iterator& other) const { return index == other.index; }
    bool operator!=(const Iterator& other) const { return index != other.index; }

   private:
    const unsigned char* at;  // the packed dependency `index`
    std::size_t index;
  };

  DependencyList() = default;
  // Packs `made`. May throw std::bad_alloc.
  explicit DependencyList(const std::vector<Dependency>& made);

  Iterator begin() const;
  Iterator end() const { return Iterator(nullptr, size()); }
  std::size_t size() const;
  bool empty() const { return packed == nullptr; }
  // Dependency `index` (< size()); O(bytes held).
  Dependency operator[](std::size_t index) const;
  // The block this list shares with its copies; null when empty.
  const void* identity() const { return packed.get(); }

 private:
  // The count (32 bits: a check holds at most kRankCheckMaxColumns dependencies), then the
  // dependencies; null when there are none.
  std::shared_ptr<const unsigned char[]> packed;
};

// 32-bit counts: an SDM's data points and columns are 32-bit fields of its header.
struct RankCheck {
  std::int32_t rows = 0;     // data points examined
  std::int32_t columns = 0;  // columns examined: those the SDM holds, less any not finite
  std::int32_t rank = 0;     // numerical rank of the scaled design
  // The design was outside withinRankCheckBudget: nothing was checked, `rows` and `columns` hold
  // the SDM's size, and there are no dependencies.
  bool skipped = false;
  // sigma_max / sigma_min of the independent scaled columns; 1 for a single column, 0 when no
  // column is independent. What the front ends show: shownConditionNumber (design_warnings.h).
  double conditionNumber = 0.0;
  // The condition number of the predictors of interest after the confounds and the constant
  // (design_rank_interest.h): infinity when an exact dependency takes one in, 0 when none was
  // examined. What the front ends show: shownInterestConditionNumber (design_warnings.h).
  double interestConditionNumber = 0.0;
  DependencyList dependencies;  // exact ones by dependent column, then near ones
  std::int32_t unlisted = 0;    // found beyond those listed (keepListedDependencies)

  bool fullRank() const { return !skipped && rank == columns; }
};

// Checks every column of `sdm` (data points by predictors), unless the design is outside
// withinRankCheckBudget. A column holding a value that is not finite is left out of the check
// altogether. With `products`, the cross-products of `sdm` (cross_products.h), a design they
// prove of full rank (condition number below 1,000) is checked from them alone, in O(p^3) instead
// of the QR's O(n p^2), with the same dependencies and condition number to rounding. Never throws
// except std::bad_alloc.
struct CrossProducts;
RankCheck checkRank(const SdmFile& sdm, const CrossProducts* products = nullptr);

// Keeps the first kMostListedDependencies dependencies of `check` and counts the others in
// `unlisted`. Called once what needs every dependency (the VIF) is made. May throw std::bad_alloc.
void keepListedDependencies(RankCheck& check);

}  // namespace kelvora::analysis
