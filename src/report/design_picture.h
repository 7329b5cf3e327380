// A design matrix as a greyscale picture: one pixel column per predictor, time running down. Each
// predictor is scaled to its own range (black its smallest value, white its largest), because
// predictors come in unrelated units; a constant predictor is white, an all-zero one black. Long
// runs are downsampled in time by averaging neighbouring data points, and designs wider than
// kMaxPictureColumns by averaging the shades of neighbouring predictors, so that a picture holds
// at most kMaxPictureRows x kMaxPictureColumns pixels and a report of many SDMs stays small and
// fast to open. Cost: O(n p) time for n data points and p predictors, and the picture's pixels
// (plus one double each while drawing).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/design_correlation.h"
#include "designmatrix/sdm_file.h"

namespace kelvora::report {

// The most pixel rows of a picture: runs with more data points are averaged down to this.
inline constexpr int kMaxPictureRows = 300;
// The most pixel columns: wider designs are averaged down to this.
inline constexpr int kMaxPictureColumns = 256;

struct GreyPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // row by row, `width` bytes a row
};

// Columns [first, end) of `sdm` (clamped to the columns it holds). Values that are not finite are
// drawn black. Empty (0 x 0) when there is no column or no data point.
GreyPicture designPicture(const SdmFile& sdm, std::int64_t first, std::int64_t end,
                          int maxRows = kMaxPictureRows, int maxColumns = kMaxPictureColumns);

// A colour picture: three bytes (red, green, blue) a pixel.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // row by row, 3 * `width` bytes a row
};

// The PNG file of `picture` (8-bit greyscale, or 8-bit RGB); empty for an empty picture, one whose
// pixels do not match its sides, or when memory runs out. The appending to the returned text may
// throw std::bad_alloc.
std::string encodePng(const GreyPicture& picture);
std::string encodePng(const RgbPicture& picture);

// The heatmap as an RGB PNG, one pixel per cell: blue for -1, white for 0, red for +1, grey where
// there is no correlation. Empty when there is no column.
std::string heatmapPng(const analysis::DesignCorrelation& correlation);

}  // namespace kelvora::report
