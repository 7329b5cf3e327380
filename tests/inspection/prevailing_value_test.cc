#include "inspection/prevailing_value.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

TEST(PrevailingValueTest, CountIsTheMiddleOfTheOrderedList) {
  EXPECT_EQ(prevailingCount({4, 4, 5}), 4);
  EXPECT_EQ(prevailingCount({5, 4, 4}), 4);
  EXPECT_EQ(prevailingCount({4, 5}), 5);  // two values: the larger one
  EXPECT_EQ(prevailingCount({3, 3, 4, 5}), 4);
  EXPECT_EQ(prevailingCount({7}), 7);
  EXPECT_EQ(prevailingCount({-2147483649LL, 2, -1}), -1);  // ordered as signed values
}

TEST(PrevailingValueTest, NamesOrderAsUnsignedBytesWithAPrefixFirst) {
  EXPECT_TRUE(nameBefore("Face", "Faces"));
  EXPECT_TRUE(nameBefore("Faces", "faces"));
  EXPECT_TRUE(nameBefore("Zebra", "\xC4pfel"));  // 0xC4 above 'Z' although char may be signed
  EXPECT_TRUE(nameBefore("", "a"));
  EXPECT_FALSE(nameBefore("Faces", "Face"));
  EXPECT_FALSE(nameBefore("Faces", "Faces"));
}

TEST(PrevailingValueTest, NameIsTheMiddleOfTheOrderedList) {
  EXPECT_EQ(prevailingName({"Faces", "Houses"}), "Houses");
  EXPECT_EQ(prevailingName({"Tools", "Faces", "Houses"}), "Houses");
  EXPECT_EQ(prevailingName({"\xC4pfel", "Zebra"}), "\xC4pfel");
  EXPECT_EQ(prevailingName({"Faces", "faces", "Faces"}), "Faces");
}

TEST(PrevailingValueTest, ASharedNameCountsAsOftenAsItsSdms) {
  // Each against the list of names it stands for.
  const std::vector<std::vector<SharedName>> cases = {
      {{"Faces", 1}, {"Houses", 1}}, {{"Houses", 3}, {"Faces", 2}},
      {{"Faces", 2}, {"Houses", 2}}, {{"Tools", 1}, {"Faces", 1}, {"Houses", 5}},
      {{"Faces", 1}, {"Faces", 1}},  {{"\xC4pfel", 2}, {"Zebra", 3}, {"Faces", 1}}};
  for (const std::vector<SharedName>& shared : cases) {
    std::vector<std::string_view> each;
    for (const SharedName& name : shared) each.insert(each.end(), name.count, name.name);
    EXPECT_EQ(prevailingSharedName(shared), prevailingName(each)) << shared.size();
  }
}

}  // namespace
}  // namespace kelvora
