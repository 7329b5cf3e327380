#include "analysis/cross_products.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/cross_product_lanes.h"

namespace kelvora::analysis {
namespace {

// Values with every bit of a float's significand in use, the same on every machine.
std::vector<std::vector<float>> columnsOf(std::size_t columns, std::size_t rows) {
  std::uint64_t state = 12345;
  std::vector<std::vector<float>> values(columns, std::vector<float>(rows));
  for (auto& column : values) {
    for (float& value : column) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      value = static_cast<float>(static_cast<std::int64_t>(state >> 40) - (1 << 23)) / 4096.0f;
    }
  }
  return values;
}

SdmFile sdmOf(std::vector<std::vector<float>> values) {
  SdmFile sdm;
  sdm.values = std::move(values);
  return sdm;
}

// Every shape of tile and lane remainder, and a design long enough for several blocks of rows.
TEST(CrossProductsTest, MatchTheExactSumsAndTheSameBitsWithEitherKernel) {
  for (const auto& [columns, rows] : {std::pair<std::size_t, std::size_t>{1, 1},
                                      {3, 7},
                                      {5, 9},
                                      {9, 17},
                                      {13, 40},
                                      {6, 3001},
                                      {600, 70}}) {
    const SdmFile sdm = sdmOf(columnsOf(columns, rows));
    const CrossProducts products = crossProductsOf(sdm);
    for (std::size_t a = 0; a < columns; ++a) {
      long double sum = 0;
      for (std::size_t t = 0; t < rows; ++t) sum += sdm.values[a][t];
      EXPECT_NEAR(products.sums(a), static_cast<double>(sum), 1e-12 * rows * (1 << 11));
      for (std::size_t b = 0; b <= a && b < 3; ++b) {
        long double product = 0;
        for (std::size_t t = 0; t < rows; ++t)
          product += sdm.values[a][t] * 1.0L * sdm.values[b][t];
        EXPECT_NEAR(products.gram(a, b), static_cast<double>(product),
                    std::abs(static_cast<double>(product)) * 1e-13 + 1e-9);
        EXPECT_EQ(products.gram(a, b), products.gram(b, a));
      }
    }
    // The lanes of one block, by the kernel the processor offers and by the portable one.
    const std::size_t padded = (columns + kColumnTile - 1) / kColumnTile * kColumnTile;
    const std::size_t blockRows = (rows + kLanes - 1) / kLanes * kLanes;
    std::vector<double> block(padded * blockRows, 0.0);
    for (std::size_t j = 0; j < columns; ++j) {
      widen(sdm.values[j].data(), rows, block.data() + j * blockRows);
    }
    const RowBlock rowBlock{block.data(), blockRows, padded, columns};
    std::vector<double> gram(columns * columns, 0.0), portableGram = gram;
    std::vector<double> sums(columns, 0.0), portableSums = sums;
    addCrossProducts(rowBlock, gram.data(), columns, sums.data());
    addCrossProductsPortably(rowBlock, portableGram.data(), columns, portableSums.data());
    EXPECT_EQ(gram, portableGram);
    EXPECT_EQ(sums, portableSums);
  }
}

TEST(CrossProductsTest, AColumnNotFiniteCountsAsZero) {
  std::vector<std::vector<float>> values = columnsOf(4, 20);
  values[1][7] = std::numeric_limits<float>::quiet_NaN();
  values[2][19] = -std::numeric_limits<float>::infinity();
  const CrossProducts products = crossProductsOf(sdmOf(values));
  EXPECT_EQ(products.usable, (std::vector<bool>{true, false, false, true}));
  values[1].assign(20, 0.0f);
  values[2].assign(20, 0.0f);
  const CrossProducts cleared = crossProductsOf(sdmOf(values));
  EXPECT_EQ(products.gram, cleared.gram);
  EXPECT_EQ(products.sums, cleared.sums);
}

// A column 1000 + 1e-5 s: the centred cross-products, made on values shifted by the first, keep
// the digits that X'X - s s' / n loses; a column of one value has them exactly 0.
TEST(CrossProductsTest, CentredCrossProductsKeepTheDigitsOfAnOffsetColumn) {
  std::vector<std::vector<float>> values = columnsOf(2, 64);
  std::vector<float> offset(64), constant(64, 7.5f);
  for (std::size_t t = 0; t < 64; ++t) offset[t] = 1000.0f + 0.0078125f * values[0][t] / 2048.0f;
  values.push_back(offset);
  values.push_back(constant);
  const CrossProducts products = crossProductsOf(sdmOf(values));
  for (std::size_t a = 0; a < values.size(); ++a) {
    long double mean = 0;
    for (const float v : values[a]) mean += v;
    mean /= 64;
    for (std::size_t b = 0; b < values.size(); ++b) {
      long double meanB = 0;
      for (const float v : values[b]) meanB += v;
      meanB /= 64;
      long double centred = 0;
      for (std::size_t t = 0; t < 64; ++t)
        centred += (values[a][t] - mean) * (values[b][t] - meanB);
      EXPECT_NEAR(
          products.centred(a, b), static_cast<double>(centred),
          1e-12 * std::sqrt(std::abs(products.centred(a, a) * products.centred(b, b))) + 1e-300)
          << a << " " << b;
    }
    EXPECT_NEAR(products.sums(a), static_cast<double>(mean * 64),
                1e-9 * std::abs(products.sums(a)));
  }
  EXPECT_EQ(products.shift(2), 1000.0f + 0.0078125f * values[0][0] / 2048.0f);
  EXPECT_EQ(products.centred.row(3).norm(), 0.0);
  EXPECT_EQ(products.gram(3, 3), 64 * 7.5 * 7.5);
  long double squares = 0;
  for (const float v : offset) squares += v * 1.0L * v;
  EXPECT_NEAR(products.gram(2, 2), static_cast<double>(squares), 1e-13 * products.gram(2, 2));
}

}  // namespace
}  // namespace kelvora::analysis
