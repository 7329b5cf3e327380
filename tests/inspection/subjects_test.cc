#include "inspection/subjects.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kelvora {
namespace {

TEST(SubjectsTest, IdentifierIsTheFileNameUpToItsFirstUnderscore) {
  EXPECT_EQ(subjectIdOf("D:/fmri/S01_run1.vtc"), "S01");
  EXPECT_EQ(subjectIdOf("D:/fmri/S01.vtc"), "S01.vtc");
  EXPECT_EQ(subjectIdOf("S02_task.vtc"), "S02");
  EXPECT_EQ(subjectIdOf("D:\\my_data\\S03_run2.vtc"), "S03");
  EXPECT_EQ(subjectIdOf("D:/my_data/S04"), "S04");
  EXPECT_EQ(subjectIdOf("D:/fmri/_x.vtc"), "");
  EXPECT_EQ(subjectIdOf("a_b_c.vtc"), "a");
  EXPECT_EQ(subjectIdOf(""), "");
}

TEST(SubjectsTest, GroupsComeInTheOrderOfEachSubjectsFirstStudy) {
  const auto groups = groupSubjects({"S02", "S01", "s01", "S02", "S01", "S01 "});
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[0].id, "S02");
  EXPECT_EQ(groups[0].studies, (std::vector<std::size_t>{0, 3}));
  EXPECT_EQ(groups[1].id, "S01");
  EXPECT_EQ(groups[1].studies, (std::vector<std::size_t>{1, 4}));
  EXPECT_EQ(groups[2].id, "s01");   // case matters
  EXPECT_EQ(groups[3].id, "S01 ");  // nothing is trimmed
}

// Large enough that an unstable sort would reorder the studies of a subject.
TEST(SubjectsTest, ManyStudiesKeepTheirOrderWithinEachSubject) {
  std::vector<std::string> ids;
  for (int i = 0; i < 30000; ++i) ids.push_back("sub-" + std::to_string((i * 7919) % 1000));
  const auto groups = groupSubjects(ids);
  ASSERT_EQ(groups.size(), 1000u);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const auto& studies = groups[g].studies;
    ASSERT_EQ(studies.size(), 30u);
    EXPECT_TRUE(std::is_sorted(studies.begin(), studies.end()));
    if (g > 0) {
      EXPECT_LT(groups[g - 1].studies.front(), studies.front());
    }
    EXPECT_EQ(ids[studies.back()], groups[g].id);
  }
}

}  // namespace
}  // namespace kelvora
