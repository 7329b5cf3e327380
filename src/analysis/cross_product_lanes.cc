#include "analysis/cross_product_lanes.h"

#include <immintrin.h>

#include "designmatrix/vector_extensions.h"

namespace kelvora::analysis {
namespace {

using TileLanes = double[kColumnTile][kColumnTile][kLanes];

double laneTotal(const double (&lanes)[kLanes]) {
  return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) +
         ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
}

const double* columnOf(const RowBlock& block, std::size_t column) {
  return block.values + column * block.rows;
}

// The lanes of the tile whose columns start at `first` (rows of the tile) and `second`.
void portableTile(const RowBlock& block, std::size_t first, std::size_t second, TileLanes& lanes) {
  for (std::size_t a = 0; a < kColumnTile; ++a) {
    const double* x = columnOf(block, first + a);
    for (std::size_t b = 0; b < kColumnTile; ++b) {
      const double* y = columnOf(block, second + b);
      double* sum = lanes[a][b];
      for (std::size_t l = 0; l < kLanes; ++l) sum[l] = 0.0;
      for (std::size_t t = 0; t < block.rows; t += kLanes) {
        for (std::size_t l = 0; l < kLanes; ++l) sum[l] += x[t + l] * y[t + l];
      }
    }
  }
}

#define KELVORA_AVX512F __attribute__((target("avx512f")))

// All sixteen sums of a tile stay in registers while the rows stream by. The product of two
// floats is exact in a double, so the fused multiply-add rounds exactly as the product and the
// sum of the portable kernel do, in one instruction instead of two.
KELVORA_AVX512F void vectorTile(const RowBlock& block, std::size_t first, std::size_t second,
                                TileLanes& lanes) {
  __m512d sum[kColumnTile][kColumnTile];
  for (auto& row : sum) {
    for (__m512d& lane : row) lane = _mm512_setzero_pd();
  }
  for (std::size_t t = 0; t < block.rows; t += kLanes) {
    __m512d x[kColumnTile];
    __m512d y[kColumnTile];
    for (std::size_t a = 0; a < kColumnTile; ++a) {
      x[a] = _mm512_loadu_pd(columnOf(block, first + a) + t);
      y[a] = _mm512_loadu_pd(columnOf(block, second + a) + t);
    }
    for (std::size_t a = 0; a < kColumnTile; ++a) {
      for (std::size_t b = 0; b < kColumnTile; ++b) {
        sum[a][b] = _mm512_fmadd_pd(x[a], y[b], sum[a][b]);
      }
    }
  }
  for (std::size_t a = 0; a < kColumnTile; ++a) {
    for (std::size_t b = 0; b < kColumnTile; ++b) _mm512_storeu_pd(lanes[a][b], sum[a][b]);
  }
}

KELVORA_AVX512F void widenVectors(const float* from, std::size_t count, double* to) {
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    // The masked form: the plain one reads an undefined register that compilers warn of.
    _mm512_storeu_pd(to + i, _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(from + i)));
  }
  for (; i < count; ++i) to[i] = from[i];
}

void widenPortably(const float* from, std::size_t count, double* to) {
  for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
}

using TileKernel = void (*)(const RowBlock&, std::size_t, std::size_t, TileLanes&);

void addWith(TileKernel tile, const RowBlock& block, double* gram, std::size_t order,
             double* sums) {
  TileLanes lanes;
  for (std::size_t second = 0; second < block.columns; second += kColumnTile) {
    for (std::size_t first = second; first < block.columns; first += kColumnTile) {
      tile(block, first, second, lanes);
      for (std::size_t a = 0; a < kColumnTile && first + a < block.columns; ++a) {
        for (std::size_t b = 0; b < kColumnTile && second + b <= first + a; ++b) {
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
  static const TileKernel tile = hasAvx512bw() ? vectorTile : portableTile;
  addWith(tile, block, gram, order, sums);
}

void widen(const float* from, std::size_t count, double* to) {
  static const auto widener = hasAvx512bw() ? widenVectors : widenPortably;
  widener(from, count, to);
}

void addCrossProductsPortably(const RowBlock& block, double* gram, std::size_t order,
                              double* sums) {
  addWith(portableTile, block, gram, order, sums);
}

}  // namespace kelvora::analysis
