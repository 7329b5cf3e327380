// Fuzz target: readSdm against the reference reader of the unit tests
// (tests/designmatrix/reference_sdm_reader.h), which follows the same algorithm with standard
// streams. Both read the same file, and their records must be identical: the header fields, the
// too-large flag, the colour lists, the names and every value, floats bit for bit (so -0 against
// 0 and a NaN's payload count). The first difference stops the fuzzer, naming the field and both
// values (readSdm's first).
#include <cstddef>
#include <cstdint>
#include <string>

#include "designmatrix/reference_sdm_reader.h"
#include "designmatrix/sdm_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvora::fuzz::ScratchFolder& scratch = kelvora::fuzz::scratchFolder();
  const std::string path = scratch.write("input.sdm", kelvora::fuzz::bytesOf(data, size));
  const kelvora::SdmFile fast = kelvora::readSdm(path);
  const kelvora::SdmFile reference = kelvora::testing::readSdmWithStreams(path);

  const std::string difference = kelvora::testing::differenceBetween(fast, reference);
  kelvora::fuzz::require(
      difference.empty(),
      ("readSdm gives the reference reader's record; first difference: " + difference).c_str());
  return 0;
}
