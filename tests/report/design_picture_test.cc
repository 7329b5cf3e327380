#include "report/design_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

// The decoder of the same single-header library family, used here only to read the files back.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

namespace kelvora::report {
namespace {

struct Decoded {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

Decoded decodeGreyPng(const std::string& png) {
  Decoded decoded;
  int channels = 0;
  const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
      stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()),
                            static_cast<int>(png.size()), &decoded.width, &decoded.height,
                            &channels, 1),
      stbi_image_free);
  EXPECT_NE(pixels, nullptr) << stbi_failure_reason();
  EXPECT_EQ(channels, 1);
  if (pixels) {
    decoded.pixels.assign(pixels.get(), pixels.get() + decoded.width * decoded.height);
  }
  return decoded;
}

SdmFile sdmWithColumns(std::vector<std::vector<float>> columns) {
  SdmFile sdm;
  sdm.nrOfPredictors = static_cast<std::int32_t>(columns.size());
  sdm.nrOfDataPoints = static_cast<std::int32_t>(columns.empty() ? 0 : columns[0].size());
  sdm.values = std::move(columns);
  return sdm;
}

// Each column on its own scale: a ramp from black to white, an all-zero column black, a constant
// white; a value that is not finite is black and leaves the scale alone.
TEST(DesignPictureTest, EachColumnIsScaledToItsOwnRange) {
  const float inf = std::numeric_limits<float>::infinity();
  const GreyPicture picture = designPicture(
      sdmWithColumns({{-2.0f, -1.0f, 0.0f, 2.0f}, {0, 0, 0, 0}, {1, 1, 1, 1}, {5, inf, 6, 7}}), 0,
      4);
  ASSERT_EQ(picture.width, 4);
  ASSERT_EQ(picture.height, 4);
  const auto column = [&](int x) {
    std::vector<int> shades;
    for (int y = 0; y < 4; ++y) shades.push_back(picture.pixels[y * 4 + x]);
    return shades;
  };
  EXPECT_EQ(column(0), (std::vector<int>{0, 64, 128, 255}));
  EXPECT_EQ(column(1), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(column(2), (std::vector<int>{255, 255, 255, 255}));
  EXPECT_EQ(column(3), (std::vector<int>{0, 0, 128, 255}));
}

// A long run is averaged down to the most rows a picture has.
TEST(DesignPictureTest, LongRunsAreAveragedDown) {
  std::vector<float> blocks(1200);
  for (std::size_t t = 0; t < blocks.size(); ++t) blocks[t] = (t / 100) % 2 == 0 ? 0.0f : 1.0f;
  const GreyPicture picture = designPicture(sdmWithColumns({blocks}), 0, 1, 300);
  ASSERT_EQ(picture.height, 300);
  EXPECT_EQ(std::set<int>(picture.pixels.begin(), picture.pixels.end()), (std::set<int>{0, 255}));
  EXPECT_EQ(picture.pixels[24], 0);
  EXPECT_EQ(picture.pixels[25], 255);
}

// A design wider than the most pixel columns is averaged over neighbouring predictors: 600
// white predictors, then 600 black ones, make 256 x 300 pixels, white left and black right.
TEST(DesignPictureTest, WideLongDesignsStayWithinTheMostPixels) {
  std::vector<std::vector<float>> columns(1200, std::vector<float>(400, 1.0f));
  for (std::size_t j = 600; j < columns.size(); ++j) columns[j].assign(400, 0.0f);
  const GreyPicture picture = designPicture(sdmWithColumns(columns), 0, 1200);
  ASSERT_EQ(picture.width, kMaxPictureColumns);
  ASSERT_EQ(picture.height, kMaxPictureRows);
  ASSERT_EQ(picture.pixels.size(), static_cast<std::size_t>(kMaxPictureColumns * kMaxPictureRows));
  EXPECT_EQ(picture.pixels[0], 255);
  EXPECT_EQ(picture.pixels[kMaxPictureColumns - 1], 0);
  EXPECT_EQ(std::set<int>(picture.pixels.begin(), picture.pixels.end()), (std::set<int>{0, 255}));
  const Decoded decoded = decodeGreyPng(encodePng(picture));
  EXPECT_EQ(decoded.width, kMaxPictureColumns);
}

TEST(DesignPictureTest, PngHoldsThePicture) {
  GreyPicture picture;
  picture.width = 37;
  picture.height = 300;
  for (int i = 0; i < picture.width * picture.height; ++i) {
    picture.pixels.push_back(static_cast<std::uint8_t>((i * 7 + i / 37 * 13) & 0xFF));
  }
  const std::string png = encodePng(picture);
  ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  const Decoded decoded = decodeGreyPng(png);
  EXPECT_EQ(decoded.width, 37);
  EXPECT_EQ(decoded.height, 300);
  EXPECT_EQ(decoded.pixels, picture.pixels);
}

TEST(DesignPictureTest, NoPngForAPictureWithoutPixelsOrWithTheWrongCount) {
  EXPECT_EQ(encodePng(GreyPicture{}), "");
  GreyPicture picture;
  picture.width = 2;
  picture.height = 2;
  picture.pixels.assign(3, 0);  // one pixel short
  EXPECT_EQ(encodePng(picture), "");
  EXPECT_EQ(designPicture(sdmWithColumns({}), 0, 5).width, 0);
}

}  // namespace
}  // namespace kelvora::report
