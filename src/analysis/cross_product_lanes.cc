#include "analysis/cross_product_lanes.h"

#include <immintrin.h>

#include "designmatrix/vector_extensions.h"

namespace kelvora::analysis {
namespace {

// A tile: kTileFirst columns by kTileSecond, its sums all held in registers.
constexpr std::size_t kTileFirst = 2;
constexpr std::size_t kTileSecond = 4;
static_assert(kColumnTile % kTileFirst == 0 && kColumnTile % kTileSecond == 0);

using TileLanes = double[kTileFirst][kTileSecond][kLanes];

double laneTotal(const double (&lanes)[kLanes]) {
  return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}

const double* columnOf(const RowBlock& block, std::size_t column) {
  return block.values + column * block.rows;
}

// The lanes of the tile whose columns start at `first` and `second`.
void portableTile(const RowBlock& block, std::size_t first, std::size_t second, TileLanes& lanes) {
  for (std::size_t a = 0; a < kTileFirst; ++a) {
    const double* x = columnOf(block, first + a);
    for (std::size_t b = 0; b < kTileSecond; ++b) {
      const double* y = columnOf(block, second + b);
      double* sum = lanes[a][b];
      for (std::size_t l = 0; l < kLanes; ++l) sum[l] = 0.0;
      for (std::size_t t = 0; t < block.rows; t += kLanes) {
        for (std::size_t l = 0; l < kLanes; ++l) sum[l] += x[t + l] * y[t + l];
      }
    }
  }
}

// 256-bit vectors, not 512: on processors that slow their clock for 512-bit arithmetic, the
// slower clock would outlast the kernel and hold back the reading of the next SDM.
#define KELVORA_AVX2_FMA __attribute__((target("avx2,fma")))

// The eight sums of a tile and its six columns' values fill fourteen of the sixteen registers;
// they are named one by one, so that every optimisation level keeps them there. The product of two
// floats is exact in a double, so the fused multiply-add rounds exactly as the product and the sum
// of the portable kernel do.
KELVORA_AVX2_FMA void vectorTile(const RowBlock& block, std::size_t first, std::size_t second,
                                 TileLanes& lanes) {
  static_assert(kTileFirst == 2 && kTileSecond == 4 && kLanes == 4);
  const double* x0 = columnOf(block, first);
  const double* x1 = columnOf(block, first + 1);
  const double* y0 = columnOf(block, second);
  const double* y1 = columnOf(block, second + 1);
  const double* y2 = columnOf(block, second + 2);
  const double* y3 = columnOf(block, second + 3);
  __m256d s00 = _mm256_setzero_pd(), s01 = s00, s02 = s00, s03 = s00;
  __m256d s10 = s00, s11 = s00, s12 = s00, s13 = s00;
  for (std::size_t t = 0; t < block.rows; t += kLanes) {
    const __m256d a0 = _mm256_loadu_pd(x0 + t), a1 = _mm256_loadu_pd(x1 + t);
    const __m256d b0 = _mm256_loadu_pd(y0 + t), b1 = _mm256_loadu_pd(y1 + t);
    const __m256d b2 = _mm256_loadu_pd(y2 + t), b3 = _mm256_loadu_pd(y3 + t);
    s00 = _mm256_fmadd_pd(a0, b0, s00);
    s01 = _mm256_fmadd_pd(a0, b1, s01);
    s02 = _mm256_fmadd_pd(a0, b2, s02);
    s03 = _mm256_fmadd_pd(a0, b3, s03);
    s10 = _mm256_fmadd_pd(a1, b0, s10);
    s11 = _mm256_fmadd_pd(a1, b1, s11);
    s12 = _mm256_fmadd_pd(a1, b2, s12);
    s13 = _mm256_fmadd_pd(a1, b3, s13);
  }
  _mm256_storeu_pd(lanes[0][0], s00);
  _mm256_storeu_pd(lanes[0][1], s01);
  _mm256_storeu_pd(lanes[0][2], s02);
  _mm256_storeu_pd(lanes[0][3], s03);
  _mm256_storeu_pd(lanes[1][0], s10);
  _mm256_storeu_pd(lanes[1][1], s11);
  _mm256_storeu_pd(lanes[1][2], s12);
  _mm256_storeu_pd(lanes[1][3], s13);
}

KELVORA_AVX2_FMA void widenVectors(const float* from, std::size_t count, double* to) {
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) _mm256_storeu_pd(to + i, _mm256_cvtps_pd(_mm_loadu_ps(from + i)));
  for (; i < count; ++i) to[i] = from[i];
}

void widenPortably(const float* from, std::size_t count, double* to) {
  for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
}

using TileKernel = void (*)(const RowBlock&, std::size_t, std::size_t, TileLanes&);

void addWith(TileKernel tile, const RowBlock& block, double* gram, std::size_t order,
             double* sums) {
  TileLanes lanes;
  for (std::size_t second = 0; second < block.columns; second += kTileSecond) {
    for (std::size_t first = second; first < block.columns; first += kTileFirst) {
      tile(block, first, second, lanes);
      for (std::size_t a = 0; a < kTileFirst && first + a < block.columns; ++a) {
        for (std::size_t b = 0; b < kTileSecond && second + b <= first + a; ++b) {
          gram[(second + b) * order + first + a] += laneTotal(lanes[a][b]);
        }
      }
    }
  }
  for (std::size_t column = 0; column < block.columns; ++column) {
    const double* x = columnOf(block, column);
    double sum[kLanes] = {};
    for (std::size_t t = 0; t < block.rows; t += kLanes) {
      for (std::size_t l = 0; l < kLanes; ++l) sum[l] += x[t + l];
    }
    sums[column] += laneTotal(sum);
  }
}

}  // namespace

void addCrossProducts(const RowBlock& block, double* gram, std::size_t order, double* sums) {
  static const TileKernel tile = hasAvx2Fma() ? vectorTile : portableTile;
  addWith(tile, block, gram, order, sums);
}

void widen(const float* from, std::size_t count, double* to) {
  static const auto widener = hasAvx2Fma() ? widenVectors : widenPortably;
  widener(from, count, to);
}

void addCrossProductsPortably(const RowBlock& block, double* gram, std::size_t order,
                              double* sums) {
  addWith(portableTile, block, gram, order, sums);
}

}  // namespace kelvora::analysis
