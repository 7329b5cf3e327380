#include "designmatrix/reference_sdm_reader.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <system_error>
#include <vector>

namespace kelvora::testing {
namespace {

// Formatted extraction that stores only what it read: a stream would store 0 or the largest value
// of the type into `field` on failure, the system keeps what the field held.
template <typename Number>
void extract(std::istream& in, Number& field) {
  Number value{};
  if (in >> value) field = value;
}

// The rest of the current line: it ends at LF, at CR LF or at a lone CR. False when nothing is
// left to read (as getline, with the stream failed).
bool readLine(std::istream& in, std::string& line) {
  line.clear();
  bool any = false;
  for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
    any = true;
    if (c == '\n') return true;
    if (c == '\r') {
      if (in.peek() == '\n') in.get();
      return true;
    }
    line += static_cast<char>(c);
  }
  if (any) in.clear(std::ios::eofbit);  // the last line, without a line end
  return any;
}

// A UTF-8 byte-order mark at the start of the file is skipped.
void skipByteOrderMark(std::istream& in) {
  char start[3] = {};
  if (in.read(start, 3) && std::memcmp(start, "\xEF\xBB\xBF", 3) == 0) return;
  in.clear();
  in.seekg(0);
}

// Step 3: at most five tokens besides the integer values; it ends after the value of
// "FirstConfoundPredictor:".
void readHeader(std::istream& in, SdmFile& sdm) {
  std::string token;
  for (int count = 0; token != "FirstConfoundPredictor:" && count < 5; ++count) {
    in >> token;  // a failed extraction leaves the token as it was
    if (token == "FileVersion:") {
      extract(in, sdm.fileVersion);
    } else if (token == "NrOfPredictors:") {
      extract(in, sdm.nrOfPredictors);
    } else if (token == "NrOfDataPoints:") {
      extract(in, sdm.nrOfDataPoints);
    } else if (token == "IncludesConstant:") {
      extract(in, sdm.includesConstant);
    } else if (token == "FirstConfoundPredictor:") {
      extract(in, sdm.firstConfoundPredictor);
    }
  }
}

// Step 4: the first component of each next triple is read ahead; the loop runs while the stream
// has no error (end of file alone is none), and the error state is cleared after it.
void readColours(std::istream& in, SdmFile& sdm) {
  const auto count = static_cast<std::size_t>(sdm.nrOfPredictors);
  sdm.colorRed.assign(count, 0);
  sdm.colorGreen.assign(count, 0);
  sdm.colorBlue.assign(count, 0);
  std::int32_t red = 0;
  extract(in, red);
  for (std::size_t stored = 0; !in.fail() && stored < count; ++stored) {
    std::int32_t green = 0;
    std::int32_t blue = 0;
    extract(in, green);
    extract(in, blue);
    sdm.colorRed[stored] = red;
    sdm.colorGreen[stored] = green;
    sdm.colorBlue[stored] = blue;
    extract(in, red);
  }
  if (in.fail()) in.clear();
}

// Step 5: the rest of the current line, or the following one when it holds no quote.
void readNames(std::istream& in, SdmFile& sdm) {
  const auto count = static_cast<std::size_t>(sdm.nrOfPredictors);
  sdm.predictorNames.assign(count, kUnreadPredictorName);
  std::string line;
  if (!readLine(in, line) || line.find('"') == std::string::npos) {
    if (!readLine(in, line)) line.clear();
  }
  std::size_t quote = line.find('"');
  for (std::size_t name = 0; name < count && quote != std::string::npos; ++name) {
    const std::size_t close = line.find('"', quote + 1);
    if (close == std::string::npos) break;
    sdm.predictorNames[name] = line.substr(quote + 1, close - quote - 1);
    quote = line.find('"', close + 1);
  }
}

// Step 6: row by row; a row is left as soon as the stream is in any error or end-of-file state.
void readValues(std::istream& in, SdmFile& sdm) {
  const auto predictors = static_cast<std::size_t>(sdm.nrOfPredictors);
  const auto dataPoints = static_cast<std::size_t>(sdm.nrOfDataPoints);
  // Each column made in place: a prototype column would claim nrOfDataPoints values even when no
  // predictor takes it (2147483647 data points and no predictor: 8 GiB for nothing).
  sdm.values.resize(predictors);
  for (std::vector<float>& column : sdm.values) column.assign(dataPoints, 0.0f);
  if (predictors == 0) return;  // rows without values: nothing to read, however many
  for (std::size_t t = 0; t < dataPoints; ++t) {
    for (std::size_t p = 0; p < predictors; ++p) {
      if (!in.good()) break;
      extract(in, sdm.values[p][t]);
    }
  }
}

std::string textOf(std::int32_t value) { return std::to_string(value); }
std::string textOf(bool value) { return value ? "true" : "false"; }
std::string textOf(const std::string& value) { return "'" + value + "'"; }
std::string textOf(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

bool same(float fast, float reference) {
#ifdef __MINGW32__
  // The runtime's known misrounding of long denormal texts (see the header).
  if (std::fabs(reference) == FLT_MIN && std::fpclassify(fast) == FP_SUBNORMAL &&
      std::signbit(fast) == std::signbit(reference)) {
    return true;
  }
#endif
  return std::memcmp(&fast, &reference, sizeof fast) == 0;
}
template <typename T>
bool same(const T& a, const T& b) {
  return a == b;
}
template <typename T>
bool same(const std::vector<T>& a, const std::vector<T>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const T& x, const T& y) { return same(x, y); });
}

template <typename T>
std::string differenceOf(const std::string& field, const T& a, const T& b) {
  return same(a, b) ? std::string() : field + ": " + textOf(a) + " against " + textOf(b);
}

// The first entry that differs, named only once found: records hold millions of entries.
template <typename T>
std::string differenceOf(const std::string& field, const std::vector<T>& a,
                         const std::vector<T>& b) {
  if (a.size() != b.size()) {
    return field + ": " + std::to_string(a.size()) + " entries against " + std::to_string(b.size());
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!same(a[i], b[i])) return differenceOf(field + "[" + std::to_string(i) + "]", a[i], b[i]);
  }
  return std::string();
}

}  // namespace

std::string differenceBetween(const SdmFile& fast, const SdmFile& reference) {
  const std::string found[] = {
      differenceOf("fileVersion", fast.fileVersion, reference.fileVersion),
      differenceOf("path", fast.path, reference.path),
      differenceOf("nrOfPredictors", fast.nrOfPredictors, reference.nrOfPredictors),
      differenceOf("nrOfDataPoints", fast.nrOfDataPoints, reference.nrOfDataPoints),
      differenceOf("includesConstant", fast.includesConstant, reference.includesConstant),
      differenceOf("firstConfoundPredictor", fast.firstConfoundPredictor,
                   reference.firstConfoundPredictor),
      differenceOf("tooLargeToRead", fast.tooLargeToRead, reference.tooLargeToRead),
      differenceOf("colorRed", fast.colorRed, reference.colorRed),
      differenceOf("colorGreen", fast.colorGreen, reference.colorGreen),
      differenceOf("colorBlue", fast.colorBlue, reference.colorBlue),
      differenceOf("predictorNames", fast.predictorNames, reference.predictorNames),
      differenceOf("values", fast.values, reference.values),
  };
  for (const std::string& difference : found) {
    if (!difference.empty()) return difference;
  }
  return std::string();
}

SdmFile readSdmWithStreams(const std::string& path) {
  SdmFile sdm;
  sdm.path = path;
  std::error_code error;
  const bool regular = std::filesystem::is_regular_file(path, error);
  const std::uintmax_t fileSize = regular ? std::filesystem::file_size(path, error) : 0;
  std::ifstream in;
  if (regular && !error) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    sdm.fileVersion = kUnreadableFileVersion;
    return sdm;
  }
  in.imbue(std::locale::classic());
  skipByteOrderMark(in);
  try {
    readHeader(in, sdm);
    sdm.fileVersion = openedFileVersion(sdm.fileVersion);
    sdm.nrOfPredictors = std::max(sdm.nrOfPredictors, 0);
    sdm.nrOfDataPoints = std::max(sdm.nrOfDataPoints, 0);
    if (sdmTooLargeToRead(sdm.nrOfPredictors, sdm.nrOfDataPoints, fileSize)) {
      sdm.tooLargeToRead = true;
      return sdm;
    }
    readColours(in, sdm);
    readNames(in, sdm);
    readValues(in, sdm);
  } catch (const std::bad_alloc&) {
    // As readSdm: memory that ran out makes the file too large to read, and nothing is kept.
    std::vector<std::int32_t>().swap(sdm.colorRed);
    std::vector<std::int32_t>().swap(sdm.colorGreen);
    std::vector<std::int32_t>().swap(sdm.colorBlue);
    std::vector<std::string>().swap(sdm.predictorNames);
    std::vector<std::vector<float>>().swap(sdm.values);
    sdm.tooLargeToRead = true;
  }
  return sdm;
}

}  // namespace kelvora::testing
