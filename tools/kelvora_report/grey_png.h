// The PNG file of an 8-bit greyscale picture, written here rather than with an image library so
// that both builds write the same report. The image data are stored without compression (zlib's
// stored blocks): a report's pictures are small (a pixel column per predictor, at most 300 rows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvora::report {

// `height` rows of `width` bytes from `pixels`, 0 black to 255 white. Empty when either side is
// not positive or the image would not fit a PNG's 32-bit sizes. Throws std::bad_alloc only.
std::string greyPng(int width, int height, const std::uint8_t* pixels);

// The CRC-32 of PNG chunks (ISO 3309 polynomial, reflected, inverted in and out).
std::uint32_t pngCrc(const std::uint8_t* bytes, std::size_t size, std::uint32_t crc = 0);

}  // namespace kelvora::report
