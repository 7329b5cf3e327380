// The arithmetic of a design's cross-products, fixed so that every processor gives the same bits.
// Called by crossProductsOf (cross_products.h) on blocks of rows it has turned into doubles.
//
// Within a block, the products of row t of two columns go to lane t mod kLanes: each product (of
// two floats, so exact) is added to its lane in row order, one rounding each; at the block's end
// the lanes are added pairwise, (0+1)+(2+3). A column's sum is made the same way. The AVX2 kernel
// (four lanes per register) and the portable one do exactly these roundings in this order: which
// one runs changes the time, never a result.
#pragma once

#include <cstddef>

namespace kelvora::analysis {

inline constexpr std::size_t kLanes = 4;
// Columns are taken four by four: a block's columns are padded with zero columns to a multiple.
inline constexpr std::size_t kColumnTile = 4;

// Rows of a design held as doubles, column by column: column j at values + j * rows. `rows` is a
// multiple of kLanes and `paddedColumns` of kColumnTile, the padding being zeros.
struct RowBlock {
  const double* values = nullptr;
  std::size_t rows = 0;
  std::size_t paddedColumns = 0;
  std::size_t columns = 0;  // the design's own columns, at most paddedColumns
};

// Adds the block's cross-products to the lower triangle (diagonal included) of `gram`, an
// `order` x `order` column-major matrix with order >= block.columns, and its column sums to
// `sums`. Cost: about rows x columns^2 / 2 multiplications and additions; no allocation.
void addCrossProducts(const RowBlock& block, double* gram, std::size_t order, double* sums);

// to[i] = from[i] for i < count: a float is exact as a double.
void widen(const float* from, std::size_t count, double* to);

// addCrossProducts with the portable kernel alone: what it gives on a processor without AVX2 and
// FMA, for tests that hold the two to the same bits.
void addCrossProductsPortably(const RowBlock& block, double* gram, std::size_t order, double* sums);

}  // namespace kelvora::analysis
