#include "grey_png.h"

#include <algorithm>
#include <array>
#include <limits>

namespace kelvora::report {
namespace {

constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kMaxStoredBlock = 65535;
constexpr std::uint8_t kGreyscale = 0;
constexpr std::uint8_t kNoFilter = 0;

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();

std::uint32_t adler32(const std::string& bytes) {
  constexpr std::uint32_t kModulus = 65521;
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const char c : bytes) {
    a = (a + static_cast<std::uint8_t>(c)) % kModulus;
    b = (b + a) % kModulus;
  }
  return (b << 16) | a;
}

void appendBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void appendChunk(std::string& out, const char (&type)[5], const std::string& data) {
  appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeStart = out.size();
  out.append(type, 4);
  out += data;
  const auto* checked = reinterpret_cast<const std::uint8_t*>(out.data() + typeStart);
  appendBigEndian(out, pngCrc(checked, out.size() - typeStart));
}

// The zlib stream of `raw` in stored (uncompressed) deflate blocks.
std::string storedZlib(const std::string& raw) {
  std::string out = {'\x78', '\x01'};  // deflate, 32 KiB window, no dictionary, fastest
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(kMaxStoredBlock, raw.size() - offset);
    const bool last = offset + length == raw.size();
    out.push_back(last ? '\x01' : '\x00');
    out.push_back(static_cast<char>(length & 0xFF));
    out.push_back(static_cast<char>(length >> 8));
    out.push_back(static_cast<char>(~length & 0xFF));
    out.push_back(static_cast<char>((~length >> 8) & 0xFF));
    out.append(raw, offset, length);
    offset += length;
  } while (offset < raw.size());
  appendBigEndian(out, adler32(raw));
  return out;
}

}  // namespace

std::uint32_t pngCrc(const std::uint8_t* bytes, std::size_t size, std::uint32_t crc) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::string greyPng(int width, int height, const std::uint8_t* pixels) {
  // One filter byte per row; a chunk's length, like the sides, must stay below 2^31.
  constexpr std::uint64_t kLargestChunk = std::numeric_limits<std::int32_t>::max() / 2;
  if (width <= 0 || height <= 0 ||
      (std::uint64_t{static_cast<std::uint32_t>(width)} + 1) * static_cast<std::uint32_t>(height) >
          kLargestChunk) {
    return {};
  }
  const auto rowBytes = static_cast<std::size_t>(width);
  std::string raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(static_cast<char>(kNoFilter));
    raw.append(reinterpret_cast<const char*>(pixels) + static_cast<std::size_t>(y) * rowBytes,
               rowBytes);
  }
  std::string header;
  appendBigEndian(header, static_cast<std::uint32_t>(width));
  appendBigEndian(header, static_cast<std::uint32_t>(height));
  // 8 bits a pixel, greyscale, deflate, the standard filters, no interlacing.
  header += {'\x08', static_cast<char>(kGreyscale), '\x00', '\x00', '\x00'};

  std::string png(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
  appendChunk(png, "IHDR", header);
  appendChunk(png, "IDAT", storedZlib(raw));
  appendChunk(png, "IEND", std::string());
  return png;
}

}  // namespace kelvora::report
