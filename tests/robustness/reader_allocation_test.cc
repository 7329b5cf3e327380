// What the readers allocate is justified by what they keep: run under an allocator that refuses
// any single allocation beyond 64 MiB, a header that announces much but keeps little is read as
// the format says, instead of running out of memory (or, where memory is plentiful, touching
// gigabytes of it for nothing).
#include <gtest/gtest.h>

#include <string>

#include "designmatrix/mdm_file.h"
#include "designmatrix/sdm_file.h"
#include "failing_allocator.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

constexpr std::size_t kLargestAllocation = std::size_t{64} << 20;

class ReaderAllocationTest : public ::testing::Test {
 protected:
  SdmFile readSdmText(const std::string& text) {
    const std::string path = dir.writeFile("a.sdm", text);
    kelvoraFailAllocationsLargerThan(kLargestAllocation);
    SdmFile sdm = readSdm(path);
    kelvoraFailAllocationsLargerThan(0);
    refused = kelvoraFailedAllocations();
    return sdm;
  }

  testing::LogCapture log;
  testing::TempDir dir;
  std::uint64_t refused = 0;
};

TEST_F(ReaderAllocationTest, SdmWithDataPointsButNoPredictorsAllocatesNoColumn) {
  for (const char* predictors : {"NrOfPredictors: 0\n", ""}) {
    SCOPED_TRACE(predictors);
    const SdmFile sdm = readSdmText(std::string("FileVersion: 1\n") + predictors +
                                    "NrOfDataPoints: 2147483647\nIncludesConstant: 1\n"
                                    "FirstConfoundPredictor: 1\n\n\"\"\n");
    EXPECT_EQ(refused, 0u);
    EXPECT_FALSE(sdm.tooLargeToRead);
    EXPECT_EQ(sdm.nrOfPredictors, 0);
    EXPECT_EQ(sdm.nrOfDataPoints, 2147483647);
    EXPECT_TRUE(sdm.values.empty());
  }
}

}  // namespace
}  // namespace kelvora
