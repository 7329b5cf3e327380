#include "report/design_picture.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

// The PNG writer of a well-kept single-header library, compiled here, private to this file, and
// without its file functions: pictures are encoded into memory.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
namespace {

// Adds the shade of each of `rows` averaged data points of one column to pixel column x of
// `shades` (`width` doubles a row).
void addColumn(const std::vector<float>& column, int rows, int x, int width,
               std::vector<double>& shades) {
  double low = 0.0;
  double high = 0.0;
  bool any = false;
  for (const float v : column) {
    if (!std::isfinite(v)) continue;
    low = any ? std::min(low, double{v}) : v;
    high = any ? std::max(high, double{v}) : v;
    any = true;
  }
  const std::size_t points = column.size();
  for (int y = 0; y < rows; ++y) {
    const std::size_t begin = points * static_cast<std::size_t>(y) / static_cast<std::size_t>(rows);
    const std::size_t end = std::max(
        begin + 1, points * static_cast<std::size_t>(y + 1) / static_cast<std::size_t>(rows));
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t t = begin; t < end; ++t) {
      if (std::isfinite(column[t])) {
        sum += column[t];
        ++count;
      }
    }
    double shade = 0.0;
    if (count > 0 && high > low) {
      shade = (sum / static_cast<double>(count) - low) / (high - low);
    } else if (count > 0 && high != 0.0) {
      shade = 1.0;  // a constant that is not zero
    }
    shades[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x)] += std::clamp(shade, 0.0, 1.0);
  }
}

}  // namespace

GreyPicture designPicture(const SdmFile& sdm, std::int64_t first, std::int64_t end, int maxRows,
                          int maxColumns) {
  GreyPicture picture;
  const auto columns = static_cast<std::int64_t>(sdm.values.size());
  first = std::clamp<std::int64_t>(first, 0, columns);
  end = std::clamp<std::int64_t>(end, first, columns);
  std::size_t points = 0;
  for (std::int64_t j = first; j < end; ++j) {
    points = std::max(points, sdm.values[static_cast<std::size_t>(j)].size());
  }
  if (end == first || points == 0 || maxRows < 1 || maxColumns < 1) return picture;
  const std::int64_t width = end - first;
  picture.width = static_cast<int>(std::min<std::int64_t>(width, maxColumns));
  picture.height =
      static_cast<int>(std::min<std::size_t>(points, static_cast<std::size_t>(maxRows)));
  const std::size_t size =
      static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
  std::vector<double> shades(size, 0.0);
  std::vector<int> perPixel(static_cast<std::size_t>(picture.width), 0);
  for (std::int64_t j = first; j < end; ++j) {
    const auto x = static_cast<int>((j - first) * picture.width / width);
    ++perPixel[static_cast<std::size_t>(x)];
    const auto& column = sdm.values[static_cast<std::size_t>(j)];
    if (!column.empty()) {
      addColumn(column, std::min(picture.height, static_cast<int>(column.size())), x, picture.width,
                shades);
    }
  }
  picture.pixels.resize(size);
  for (std::size_t i = 0; i < size; ++i) {
    const double shade = shades[i] / perPixel[i % static_cast<std::size_t>(picture.width)];
    picture.pixels[i] = static_cast<std::uint8_t>(std::lround(shade * 255.0));
  }
  return picture;
}

namespace {

std::string encode(int width, int height, int channels, const std::vector<std::uint8_t>& pixels) {
  if (width <= 0 || height <= 0 ||
      pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                           static_cast<std::size_t>(channels)) {
    return {};
  }
  std::string bytes;
  const auto append = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<std::size_t>(size));
  };
  if (stbi_write_png_to_func(append, &bytes, width, height, channels, pixels.data(),
                             width * channels) == 0) {
    return {};  // the encoder ran out of memory
  }
  return bytes;
}

}  // namespace

std::string encodePng(const GreyPicture& picture) {
  return encode(picture.width, picture.height, 1, picture.pixels);
}

std::string encodePng(const RgbPicture& picture) {
  return encode(picture.width, picture.height, 3, picture.pixels);
}

std::string heatmapPng(const DesignCorrelation& correlation) {
  if (correlation.side <= 0) return {};
  const int side = static_cast<int>(correlation.side);
  RgbPicture picture{side, side, {}};
  for (const double value : correlation.r) {
    std::uint8_t red = 200, green = 200, blue = 200;  // no correlation
    if (!std::isnan(value)) {
      const auto fade = static_cast<std::uint8_t>(std::lround((1.0 - std::abs(value)) * 255.0));
      red = value < 0 ? fade : 255;
      blue = value > 0 ? fade : 255;
      green = fade;
    }
    picture.pixels.insert(picture.pixels.end(), {red, green, blue});
  }
  return encodePng(picture);
}

}  // namespace kelvora::report
