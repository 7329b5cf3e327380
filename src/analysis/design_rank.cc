#include "analysis/design_rank.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <eigen3/Eigen/Dense>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "analysis/column_scales.h"
#include "analysis/cross_products.h"
#include "analysis/design_rank_interest.h"
#include "analysis/singular_spectrum.h"
#include "inspection/sdm_predictors.h"

namespace kelvora::analysis {
namespace {

// The columns of a combination of the columns as taken (column_scales.h) with `weights` over the
// SDM columns `original`, in the design as written: those whose weight in absolute value exceeds
// `line` (or reaches it, `inclusive`), and the standing constant when the centres of the columns
// give it such a weight, increasing.
std::vector<std::int32_t> involvedColumns(const Eigen::VectorXd& weights,
                                          const std::vector<std::int64_t>& original,
                                          const ColumnScales& scales, double line, bool inclusive) {
  const auto above = [&](double weight) {
    return inclusive ? std::abs(weight) >= line : std::abs(weight) > line;
  };
  std::vector<std::int32_t> involved;
  double constantWeight = 0.0;
  for (Eigen::Index j = 0; j < weights.size(); ++j) {
    const std::int64_t column = original[static_cast<std::size_t>(j)];
    constantWeight -= weights(j) * scales.offset(column);
    if (column == scales.standingConstant) {
      constantWeight += weights(j);
    } else if (above(weights(j))) {
      involved.push_back(static_cast<std::int32_t>(column));
    }
  }
  if (scales.spansConstant && above(constantWeight)) {
    involved.push_back(static_cast<std::int32_t>(scales.standingConstant));
  }
  std::sort(involved.begin(), involved.end());
  return involved;
}

// The near-dependencies of the independent columns whose singular values `spectrum` gives (the
// triangular factor's columns are `original`, in the order of `permutation` when given).
void addNearDependencies(const SingularSpectrum& spectrum,
                         const std::vector<std::int64_t>& original,
                         const Eigen::VectorXi* permutation, const ColumnScales& scales,
                         std::vector<Dependency>& found) {
  std::vector<std::int64_t> columns(original.size());
  for (std::size_t j = 0; j < original.size(); ++j) {
    columns[j] = original[permutation ? static_cast<std::size_t>((*permutation)[j]) : j];
  }
  for (const SingularDirection& direction : spectrum.nearlyVanishing) {
    Dependency dependency;
    dependency.kind = DependencyKind::kNearDependent;
    dependency.conditionIndex = direction.conditionIndex;
    const std::vector<std::int64_t> taken(columns.begin(),
                                          columns.begin() + direction.vector.size());
    dependency.predictors = involvedColumns(direction.vector, taken, scales, kNearWeight, true);
    found.push_back(std::move(dependency));
  }
}

// The dependencies among `scaled` (columns `original` of the SDM): the exact ones from the
// column-pivoted QR, then the near ones from the singular values of the independent columns.
// Those are the singular values of the triangular factor's leading block R11 (the independent
// columns are Q1 R11 with Q1 orthonormal), so only a small square matrix is decomposed again, and
// only the singular vectors of the near-dependencies are computed.
void addDependencies(const Eigen::MatrixXd& scaled, const std::vector<std::int64_t>& original,
                     const ColumnScales& scales, RankCheck& check, std::vector<Dependency>& found) {
  Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(scaled);
  qr.setThreshold(kRankTolerance);
  const Eigen::Index rank = qr.rank();
  const Eigen::Index count = scaled.cols();
  const auto& permutation = qr.colsPermutation().indices();
  check.rank += static_cast<std::int32_t>(rank);
  if (rank == 0) return;
  const Eigen::MatrixXd r11 = qr.matrixR().topLeftCorner(rank, rank).triangularView<Eigen::Upper>();

  if (rank < count) {
    const Eigen::MatrixXd r12 = qr.matrixR().block(0, rank, rank, count - rank);
    const Eigen::MatrixXd weights = r11.triangularView<Eigen::Upper>().solve(r12);
    std::vector<std::int64_t> columns(static_cast<std::size_t>(rank) + 1);
    for (Eigen::Index k = 0; k < rank; ++k) {
      columns[static_cast<std::size_t>(k)] = original[static_cast<std::size_t>(permutation[k])];
    }
    for (Eigen::Index d = 0; d < count - rank; ++d) {
      Dependency dependency;
      dependency.dependent = original[static_cast<std::size_t>(permutation[rank + d])];
      // The dependent column less its combination of the independent ones vanishes.
      Eigen::VectorXd combination(rank + 1);
      combination.head(rank) = -weights.col(d);
      combination(rank) = 1.0;
      columns.back() = dependency.dependent;
      dependency.predictors = involvedColumns(combination, columns, scales, kInvolvedWeight, false);
      found.push_back(std::move(dependency));
    }
  }
  std::stable_sort(found.begin(), found.end(), [](const Dependency& a, const Dependency& b) {
    return a.dependent < b.dependent;
  });

  const SingularSpectrum spectrum = singularSpectrum(r11, kNearDependencyCondition);
  check.conditionNumber = spectrum.conditionNumber;
  const Eigen::VectorXi order = permutation.cast<int>();
  addNearDependencies(spectrum, original, &order, scales, found);
}

// The check of `examined` from the design's cross-products alone, when they prove it of full rank:
// the Cholesky factor R of the scaled Gram matrix (R'R = X'X with unit-length columns) has the
// design's singular values, and a condition number below kGramConditionLine puts the smallest one
// (the largest is at least 1) above 1e-3, ten times kRankTolerance, so the pivoted QR would find
// no dependency either. False, with nothing changed, otherwise (the QR decides).
constexpr double kGramConditionLine = 1e3;

bool checkedFromGram(const CrossProducts& products, const ColumnScales& scales,
                     const std::vector<std::int64_t>& examined, RankCheck& check,
                     std::vector<Dependency>& found) {
  const auto count = static_cast<Eigen::Index>(examined.size());
  if (products.rows < count) return false;
  const std::vector<Eigen::Index> taken(examined.begin(), examined.end());
  const Eigen::MatrixXd scaled = scaledGram(products, scales, taken, taken);
  const Eigen::LLT<Eigen::MatrixXd> cholesky(scaled);
  if (cholesky.info() != Eigen::Success) return false;
  const Eigen::MatrixXd r = cholesky.matrixU();
  const SingularSpectrum spectrum = singularSpectrum(r, kNearDependencyCondition, &scaled);
  if (!(spectrum.conditionNumber < kGramConditionLine)) return false;
  check.rank += count;
  check.conditionNumber = spectrum.conditionNumber;
  addNearDependencies(spectrum, examined, nullptr, scales, found);
  return true;
}

// The QR's check of `examined`, the columns of `sdm` as `scales` takes them.
void checkByQr(const SdmFile& sdm, const std::vector<std::int64_t>& examined,
               const ColumnScales& scales, RankCheck& check, std::vector<Dependency>& found) {
  const auto rows = static_cast<std::size_t>(check.rows);
  Eigen::MatrixXd scaled(static_cast<Eigen::Index>(rows),
                         static_cast<Eigen::Index>(examined.size()));
  for (std::size_t c = 0; c < examined.size(); ++c) {
    const auto& column = sdm.values[static_cast<std::size_t>(examined[c])];
    const double centre = scales.centre(examined[c]);
    for (std::size_t t = 0; t < rows; ++t) scaled(t, c) = column[t] - centre;
    const double norm = scaled.col(c).norm();
    if (norm > 0.0) scaled.col(c) /= norm;
  }
  addDependencies(scaled, examined, scales, check, found);
}

// The check of the columns of `sdm` within the budget, its dependencies gathered in `found`.
void checkColumns(const SdmFile& sdm, std::int64_t columns, const CrossProducts& products,
                  bool gramFirst, RankCheck& check, std::vector<Dependency>& found) {
  const ColumnScales scales = columnScalesOf(products);
  std::vector<std::int64_t> examined;
  for (std::int64_t j = 0; j < columns; ++j) {
    if (isAllZeroColumn(sdm, j)) {
      found.push_back({DependencyKind::kRankDeficient, j, {static_cast<std::int32_t>(j)}, 0.0});
      ++check.columns;
    } else if (products.usable[static_cast<std::size_t>(j)]) {
      examined.push_back(j);
      ++check.columns;
    }
  }
  const auto rows = static_cast<std::size_t>(check.rows);
  if (rows == 0 || examined.empty()) return;
  if (!gramFirst || !checkedFromGram(products, scales, examined, check, found)) {
    checkByQr(sdm, examined, scales, check, found);
  }
  // A predictor of interest in an exact dependency (an all-zero one among them) cannot be
  // estimated: its number is infinite, without the cost of computing it.
  const std::int64_t interest = interestCountOf(sdm);
  const bool takesInInterest =
      std::any_of(found.begin(), found.end(), [&](const Dependency& dependency) {
        return dependency.kind == DependencyKind::kRankDeficient &&
               dependency.predictors.front() < interest;
      });
  check.interestConditionNumber =
      takesInInterest ? std::numeric_limits<double>::infinity()
                      : interestConditionNumber(products, scales, examined, interest);
}

}  // namespace

// A packed dependency: its kind (one byte, kBitmapForm added when its predictors are a bitmap), for
// a near-dependency its condition index (8 bytes as stored in memory), then as variable-length
// unsigned numbers (7 bits a byte, low first) dependent + 1 and its predictors, in whichever form
// is shorter: the number of predictors and each one's distance from the one before (the first's
// from -1), or the first predictor, the span to the last (in columns, both included) and a bitmap
// of the span, low bit first (a near-dependency among a dozen of 36 columns: 7 bytes, not 13).
namespace {

void putNumber(std::uint64_t value, std::vector<unsigned char>& out) {
  for (; value >= 0x80; value >>= 7) out.push_back(static_cast<unsigned char>(value | 0x80));
  out.push_back(static_cast<unsigned char>(value));
}

constexpr unsigned char kBitmapForm = 0x80;

// `predictors` (increasing) as distances, after their count.
std::vector<unsigned char> distancesOf(const std::vector<std::int32_t>& predictors) {
  std::vector<unsigned char> out;
  putNumber(predictors.size(), out);
  std::int64_t before = -1;
  for (const std::int32_t predictor : predictors) {
    putNumber(static_cast<std::uint64_t>(predictor - before), out);
    before = predictor;
  }
  return out;
}

// `predictors` (increasing, not empty) as the first, the span and its bitmap.
std::vector<unsigned char> bitmapOf(const std::vector<std::int32_t>& predictors) {
  std::vector<unsigned char> out;
  const std::int32_t first = predictors.front();
  const auto span = static_cast<std::uint64_t>(predictors.back() - first) + 1;
  putNumber(static_cast<std::uint64_t>(first), out);
  putNumber(span, out);
  const std::size_t start = out.size();
  out.resize(start + (span + 7) / 8);
  for (const std::int32_t predictor : predictors) {
    const auto bit = static_cast<std::size_t>(predictor - first);
    out[start + bit / 8] |= static_cast<unsigned char>(1u << (bit % 8));
  }
  return out;
}

std::uint64_t takeNumber(const unsigned char*& at) {
  std::uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char byte = *at++;
    value |= std::uint64_t{byte & 0x7fu} << shift;
    if (byte < 0x80) return value;
  }
}

// Decodes the dependency at `at` into `dependency` (when given) and moves `at` past it.
void unpack(const unsigned char*& at, Dependency* dependency) {
  Dependency read;
  const unsigned char kind = *at++;
  read.kind = static_cast<DependencyKind>(kind & ~kBitmapForm);
  if (read.kind == DependencyKind::kNearDependent) {
    std::memcpy(&read.conditionIndex, at, sizeof read.conditionIndex);
    at += sizeof read.conditionIndex;
  }
  read.dependent = static_cast<std::int64_t>(takeNumber(at)) - 1;
  if (kind & kBitmapForm) {
    const std::uint64_t first = takeNumber(at);
    const std::uint64_t span = takeNumber(at);
    for (std::uint64_t bit = 0; dependency && bit < span; ++bit) {
      if (at[bit / 8] & (1u << (bit % 8))) {
        read.predictors.push_back(static_cast<std::int32_t>(first + bit));
      }
    }
    at += (span + 7) / 8;
  } else {
    const std::uint64_t count = takeNumber(at);
    std::int64_t predictor = -1;
    for (std::uint64_t i = 0; i < count; ++i) {
      predictor += static_cast<std::int64_t>(takeNumber(at));
      if (dependency) read.predictors.push_back(static_cast<std::int32_t>(predictor));
    }
  }
  if (dependency) *dependency = std::move(read);
}

}  // namespace

DependencyList::DependencyList(const std::vector<Dependency>& made) {
  if (made.empty()) return;
  std::vector<unsigned char> bytes;
  for (const Dependency& dependency : made) {
    std::vector<unsigned char> predictors = distancesOf(dependency.predictors);
    bool bitmap = false;
    if (!dependency.predictors.empty()) {
      std::vector<unsigned char> asBitmap = bitmapOf(dependency.predictors);
      bitmap = asBitmap.size() < predictors.size();
      if (bitmap) predictors = std::move(asBitmap);
    }
    bytes.push_back(static_cast<unsigned char>(static_cast<unsigned char>(dependency.kind) |
                                               (bitmap ? kBitmapForm : 0)));
    if (dependency.kind == DependencyKind::kNearDependent) {
      const auto* index = reinterpret_cast<const unsigned char*>(&dependency.conditionIndex);
      bytes.insert(bytes.end(), index, index + sizeof dependency.conditionIndex);
    }
    putNumber(static_cast<std::uint64_t>(dependency.dependent + 1), bytes);
    bytes.insert(bytes.end(), predictors.begin(), predictors.end());
  }
  std::shared_ptr<unsigned char[]> block(new unsigned char[sizeof(std::uint32_t) + bytes.size()]);
  const auto count = static_cast<std::uint32_t>(made.size());
  std::memcpy(block.get(), &count, sizeof count);
  std::memcpy(block.get() + sizeof count, bytes.data(), bytes.size());
  packed = std::move(block);
}

DependencyList::Iterator DependencyList::begin() const {
  return Iterator(packed ? packed.get() + sizeof(std::uint32_t) : nullptr, 0);
}

std::size_t DependencyList::size() const {
  std::uint32_t count = 0;
  if (packed) std::memcpy(&count, packed.get(), sizeof count);
  return count;
}

Dependency DependencyList::Iterator::operator*() const {
  const unsigned char* from = at;
  Dependency dependency;
  unpack(from, &dependency);
  return dependency;
}

DependencyList::Iterator& DependencyList::Iterator::operator++() {
  unpack(at, nullptr);
  ++index;
  return *this;
}

Dependency DependencyList::operator[](std::size_t index) const {
  Iterator at = begin();
  for (std::size_t i = 0; i < index; ++i) ++at;
  return *at;
}

bool withinRankCheckBudget(std::int64_t rows, std::int64_t columns) {
  const double width = static_cast<double>(columns);
  return columns <= kRankCheckMaxColumns &&
         static_cast<double>(rows) * width * width <= kRankCheckMaxWork;
}

RankCheck checkRank(const SdmFile& sdm, const CrossProducts* products) {
  RankCheck check;
  const std::int64_t columns = columnCountOf(sdm);
  const std::size_t rows =
      sdm.values.empty()
          ? 0
          : std::min_element(sdm.values.begin(), sdm.values.end(),
                             [](const auto& a, const auto& b) { return a.size() < b.size(); })
                ->size();
  check.rows = static_cast<std::int32_t>(rows);
  if (!withinRankCheckBudget(check.rows, columns)) {
    check.columns = static_cast<std::int32_t>(columns);
    check.skipped = true;
    return check;
  }

  std::vector<Dependency> found;
  if (products) {
    checkColumns(sdm, columns, *products, true, check, found);
  } else {
    // What the columns are taken as needs their sums and lengths: the cross-products, which then
    // serve no shortcut (a design wider than its rows, or a caller that asks for the QR).
    checkColumns(sdm, columns, crossProductsOf(sdm), false, check, found);
  }
  check.dependencies = DependencyList(std::move(found));
  return check;
}

void keepListedDependencies(RankCheck& check) {
  if (check.dependencies.size() <= kMostListedDependencies) return;
  std::vector<Dependency> listed;
  for (const Dependency& dependency : check.dependencies) {
    if (listed.size() == kMostListedDependencies) break;
    listed.push_back(dependency);
  }
  check.unlisted += static_cast<std::int32_t>(check.dependencies.size() - listed.size());
  check.dependencies = DependencyList(listed);
}

}  // namespace kelvora::analysis
