// Measures the subject grouping and the zero-across-runs check on 100,000 studies (25,000 subjects
// with four runs each, in shuffled order). Not a test: run it by hand, e.g.
//   build/linux/tests/inspection/subject_grouping_bench
// The grouping is meant to take well under a second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "inspection/sdm_predictors.h"
#include "inspection/subjects.h"
#include "inspection/zero_checks.h"
#include "support/study_files.h"

int main() {
  using Clock = std::chrono::steady_clock;
  constexpr std::size_t kStudies = 100000;
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < kStudies; ++i) ids.push_back("sub-" + std::to_string(i / 4));
  std::shuffle(ids.begin(), ids.end(), std::mt19937(7));

  kelvora::testing::SdmShape shape;
  shape.names = {"A", "B", "C", "Motion"};
  shape.firstConfoundPredictor = 4;
  shape.columns = kelvora::testing::filledColumns(4, 20, {1});
  const kelvora::SdmFile read = kelvora::testing::sdmOf(shape);
  kelvora::NameListTable names;
  kelvora::ZeroColumnTable zeroSets;
  const std::vector<kelvora::CondensedSdm> sdms(kStudies, kelvora::condense(read, names, zeroSets));

  const auto start = Clock::now();
  const auto groups = kelvora::groupSubjects(ids);
  const auto grouped = Clock::now();
  const auto zeros = kelvora::findZeroAcrossRuns(sdms, groups, 3);
  const auto checked = Clock::now();

  const auto ms = [](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  };
  std::printf("%zu studies, %zu subjects: grouping %.1f ms, zero across runs %.1f ms (%zu found)\n",
              ids.size(), groups.size(), ms(grouped - start), ms(checked - grouped), zeros.size());
  return groups.size() == kStudies / 4 && zeros.size() == kStudies / 4 ? 0 : 1;
}
