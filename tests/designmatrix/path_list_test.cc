#include "designmatrix/path_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kelvora {
namespace {

std::vector<std::string> entriesOf(const PathList& list) {
  return std::vector<std::string>(list.begin(), list.end());
}

// Empty paths are entries of their own; removing the last one and replacing one keep the others
// byte for byte.
TEST(PathListTest, EditsKeepEveryOtherPathExactly) {
  PathList list{"D:\\a\\r1.sdm", "", "/b/r2.sdm"};
  EXPECT_EQ(entriesOf(list), (std::vector<std::string>{"D:\\a\\r1.sdm", "", "/b/r2.sdm"}));
  list.replace(0, "x");
  list.replace(1, "a longer path than before");
  EXPECT_EQ(entriesOf(list),
            (std::vector<std::string>{"x", "a longer path than before", "/b/r2.sdm"}));
  list.pop_back();
  list.push_back("c");
  EXPECT_EQ(list, (PathList{"x", "a longer path than before", "c"}));
  EXPECT_NE(list, (PathList{"x", "a longer path than befor", "ec"}));  // same bytes, other ends
  list.clear();
  EXPECT_TRUE(list.empty());
}

// The read-ahead and the run's records hold views of an MDM's paths while the list is moved.
TEST(PathListTest, ViewsOutliveAMoveOfTheList) {
  PathList list{"s"};
  const std::string_view first = list.front();
  const PathList moved = std::move(list);
  EXPECT_EQ(first.data(), moved.front().data());
  EXPECT_EQ(first, "s");
}

}  // namespace
}  // namespace kelvora
