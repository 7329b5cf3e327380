// Fuzz target: the text scanner that both readers stand on, differentially. The same bytes are
// scanned from memory in one piece and from a file in small chunks (1 to 16 bytes, so that every
// token and line crosses refills), with the same fuzzed sequence of reads; every result, value
// and failure state must agree. A matrix read is among them: in one piece most of its values are
// read several per vector instruction, in small chunks one by one. The input's last bytes choose
// the chunk size and the reads (FuzzedDataProvider takes them from the end); the rest is the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "designmatrix/text_scanner.h"
#include "fuzz_support.h"

namespace {

using kelvora::TextScanner;
using kelvora::fuzz::require;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// What one read gave, comparable across scanners (floats by their bits, so -0 and NaN count).
struct Step {
  bool result = false;
  bool failed = false;
  std::string text;
  std::int64_t number = 0;

  bool operator==(const Step& other) const {
    return result == other.result && failed == other.failed && text == other.text &&
           number == other.number;
  }
};

Step perform(TextScanner& scanner, std::uint8_t operation) {
  Step step;
  switch (operation % 7) {
    case 0: {
      std::string word = "untouched";
      step.result = scanner.readWord(word);
      step.text = word;
      break;
    }
    case 1: {
      std::int32_t value = 77;
      step.result = scanner.readInt(value);
      step.number = value;
      break;
    }
    case 2: {
      float value = 0.25f;
      step.result = scanner.readFloat(value);
      std::uint32_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      step.number = bits;
      break;
    }
    case 3: {
      std::string_view line;
      step.result = scanner.readLine(line);
      step.text = std::string(line);
      break;
    }
    case 4:
      scanner.skipLine();
      break;
    case 5: {  // a matrix of 3 columns and 8 rows, its values by their bits
      float values[24] = {};
      float* const columns[] = {values, values + 8, values + 16};
      step.number = static_cast<std::int64_t>(scanner.readFloatRows(columns, 3, 8));
      step.text.assign(reinterpret_cast<const char*>(values), sizeof values);
      break;
    }
    default:
      scanner.clearFailure();
      break;
  }
  step.failed = scanner.failed();
  return step;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const auto chunkSize = provider.ConsumeIntegralInRange<std::size_t>(1, 16);
  const std::vector<std::uint8_t> operations =
      provider.ConsumeBytes<std::uint8_t>(provider.ConsumeIntegralInRange<std::size_t>(0, 64));
  const std::string text = provider.ConsumeRemainingBytesAsString();

  const kelvora::fuzz::ScratchFolder& scratch = kelvora::fuzz::scratchFolder();
  const std::unique_ptr<std::FILE, FileCloser> file(
      std::fopen(scratch.write("input.txt", text).c_str(), "rb"));
  require(file != nullptr, "the text can be read back from a file");
  TextScanner whole(text);
  TextScanner chunked(file.get(), chunkSize);

  for (std::uint8_t operation : operations) {
    require(perform(whole, operation) == perform(chunked, operation),
            "a read gives the same from memory and from a file in small chunks");
  }
  // Whatever is left, line by line, is the same too.
  for (int line = 0; line < 1000; ++line) {
    const Step fromWhole = perform(whole, 3);
    require(fromWhole == perform(chunked, 3), "the remaining lines agree");
    if (!fromWhole.result) break;
  }
  return 0;
}
