#include "grey_png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "design_picture.h"

namespace kelvora::report {
namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string out;
  for (const int b : list) out.push_back(static_cast<char>(b));
  return out;
}

std::uint32_t bigEndianAt(const std::string& png, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(png[at + i]);
  return value;
}

// The check value of the CRC-32 that PNG uses.
TEST(GreyPngTest, ChunkCrcHasItsCheckValue) {
  const std::string text = "123456789";
  EXPECT_EQ(pngCrc(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), 0xCBF43926u);
}

// Every byte of a 2 x 3 picture; the checksums were computed with an independent zlib.
TEST(GreyPngTest, SmallPictureIsExactlyThePngFile) {
  const std::vector<std::uint8_t> pixels = {0, 255, 16, 32, 128, 127};
  const std::string expected =
      bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}) +
      bytes({0,    0,    0,    13,  'I', 'H', 'D', 'R', 0, 0, 0, 2, 0, 0, 0, 3, 8, 0, 0, 0, 0,  //
             0x9C, 0x81, 0x81, 0x5D}) +
      bytes({0,    0,    0,    20,  'I', 'D', 'A', 'T', 0x78, 0x01, 0x01, 0x09, 0x00,
             0xF6, 0xFF,                                                               //
             0,    0,    255,  0,   16,  32,  0,   128, 127,  0x09, 0x51, 0x02, 0x2F,  //
             0x5E, 0xA1, 0x60, 0xC9}) +
      bytes({0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
  EXPECT_EQ(greyPng(2, 3, pixels.data()), expected);
}

// 300 x 300 pixels and a filter byte a row: more than one stored block holds.
TEST(GreyPngTest, LargePictureSpansStoredBlocks) {
  constexpr int kSide = 300;
  std::vector<std::uint8_t> pixels;
  std::string rows;
  for (int y = 0; y < kSide; ++y) {
    rows.push_back('\0');
    for (int x = 0; x < kSide; ++x) {
      pixels.push_back(static_cast<std::uint8_t>((x * 7 + y * 13) & 0xFF));
      rows.push_back(static_cast<char>(pixels.back()));
    }
  }
  const std::string png = greyPng(kSide, kSide, pixels.data());
  constexpr std::size_t kIdat = 8 + 25;  // after the signature and the header chunk
  ASSERT_EQ(png.substr(kIdat + 4, 4), "IDAT");
  const std::size_t length = bigEndianAt(png, kIdat);
  const std::string stream = png.substr(kIdat + 8, length);
  ASSERT_EQ(stream.substr(0, 2), bytes({0x78, 0x01}));

  std::string inflated;
  std::vector<std::size_t> blockLengths;
  std::size_t at = 2;
  bool last = false;
  while (!last) {
    ASSERT_LT(at + 5, stream.size());
    last = stream[at] == '\x01';
    ASSERT_TRUE(last || stream[at] == '\0');
    const std::size_t block = static_cast<std::uint8_t>(stream[at + 1]) |
                              static_cast<std::size_t>(static_cast<std::uint8_t>(stream[at + 2]))
                                  << 8;
    const std::size_t complement =
        static_cast<std::uint8_t>(stream[at + 3]) |
        static_cast<std::size_t>(static_cast<std::uint8_t>(stream[at + 4])) << 8;
    EXPECT_EQ(block ^ complement, 0xFFFFu);
    blockLengths.push_back(block);
    inflated += stream.substr(at + 5, block);
    at += 5 + block;
  }
  EXPECT_EQ(blockLengths, (std::vector<std::size_t>{65535, 90300 - 65535}));
  EXPECT_EQ(inflated, rows);
  ASSERT_EQ(at + 4, stream.size());
  EXPECT_EQ(bigEndianAt(stream, at), 0x2CE01722u);  // Adler-32, from an independent zlib
  EXPECT_EQ(png.substr(png.size() - 12),
            bytes({0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
}

TEST(GreyPngTest, NoFileForSidesAPngCannotHave) {
  const std::uint8_t pixel = 0;
  EXPECT_EQ(greyPng(0, 1, &pixel), "");
  EXPECT_EQ(greyPng(1, 0, &pixel), "");
  EXPECT_EQ(greyPng(-1, 1, &pixel), "");
  EXPECT_EQ(greyPng(65536, 65536, nullptr), "");  // 4 GiB of pixels: refused before reading any

  GreyPicture picture;
  picture.width = 2;
  picture.height = 2;
  picture.pixels.assign(3, 0);  // one pixel short
  EXPECT_EQ(encodePng(picture), "");
}

}  // namespace
}  // namespace kelvora::report
