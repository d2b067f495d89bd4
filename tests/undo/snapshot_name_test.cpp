// Step arithmetic, snapshot names and the prefix sequence.
#include "undo/snapshot_name.h"

#include <gtest/gtest.h>

namespace lumetra::undo {
namespace {

TEST(SnapshotName, StepsWrapBothWays) {
  const std::pair<int64_t, int> cases[] = {{0, 0},     {9999, 9999},       {10000, 0}, {-1, 9999},
                                           {-2, 9998}, {1 - 10 - 1, 9990}, {-10000, 0}};
  for (auto [value, want] : cases) EXPECT_EQ(StepWrap(value), want) << value;
  EXPECT_EQ(SnapshotFileName("/t", "Orcr", 7), "/t/Orcr0007.sav");
  EXPECT_EQ(SnapshotFileName("/t", "Orcr", -1), "/t/Orcr9999.sav");
}

TEST(SnapshotName, PrefixSequenceAndGivingUp) {
  const std::pair<const char*, const char*> cases[] = {
      {"Orcr", "Orcs"}, {"Orcz", "Orda"}, {"ABzz", "ACaa"}, {"AZzz", nullptr}, {"Orzz", nullptr}};
  for (auto [from, to] : cases) {
    auto next = NextPrefix(from);
    if (to == nullptr) {
      EXPECT_FALSE(next) << from;
    } else {
      EXPECT_EQ(next.value_or("?"), to) << from;
    }
  }
}

TEST(SnapshotName, ScanAcceptsOnlyWholeSnapshotNames) {
  auto parts = ParseSnapshotName("OrAb0042.sav", "Or");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->series, "Ab");
  EXPECT_EQ(parts->step, 42);
  for (const char* bad : {"OrAb042.sav", "OrA10042.sav", "OrAb00x2.sav", "OxAb0042.sav",
                          "OrAb0042.sav.tmp", "OrAb0042.SAV", "OrAb00420.sav"}) {
    EXPECT_FALSE(ParseSnapshotName(bad, "Or")) << bad;
  }
  EXPECT_TRUE(IsOwnSnapshotName("Orcr0001.sav", "Orcr"));
  EXPECT_TRUE(IsOwnSnapshotName("Orcr0001.sav.tmp", "Orcr"));
  EXPECT_FALSE(IsOwnSnapshotName("Orcs0001.sav", "Orcr"));
  EXPECT_FALSE(IsOwnSnapshotName("Orcr0001.save", "Orcr"));
}

}  // namespace
}  // namespace lumetra::undo
