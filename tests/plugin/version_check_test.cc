#include "plugin/version_check.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

bool atLeast280(int major, int minor, int patch) {
  return versionAtLeast(major, minor, patch, 2, 8, 0);
}

TEST(VersionCheckTest, RequiredVersionAndNewerPass) {
  EXPECT_TRUE(atLeast280(2, 8, 0));
  EXPECT_TRUE(atLeast280(2, 8, 1));
  EXPECT_TRUE(atLeast280(2, 9, 0));
  EXPECT_TRUE(atLeast280(3, 0, 0));
}

TEST(VersionCheckTest, OlderVersionsAreRefused) {
  EXPECT_FALSE(atLeast280(2, 7, 99));
  EXPECT_FALSE(atLeast280(1, 99, 99));
  EXPECT_FALSE(atLeast280(0, 0, 0));
}

TEST(VersionCheckTest, ComparesSignedAndLexicographically) {
  EXPECT_FALSE(atLeast280(2, 8, -1));
  EXPECT_TRUE(atLeast280(2, 9, -5));
  EXPECT_TRUE(atLeast280(3, -1, -1));
  EXPECT_FALSE(atLeast280(-3, 9, 9));
}

}  // namespace
}  // namespace kelvora
