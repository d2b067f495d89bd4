// Atom table: case-blind interning, lookups that never insert, sorted buckets.
#include "clipdata/atom.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace lumetra::project {
namespace {

TEST(AtomTest, InterningIsCaseBlindAndKeepsTheFirstSpelling) {
  const Atom* a = AtomIntern("AtomTestName");
  EXPECT_EQ(a, AtomIntern("atomtestname"));
  EXPECT_EQ(a, AtomIntern("ATOMTESTNAME"));
  EXPECT_EQ(a, AtomFind("AtomTestNAME"));
  EXPECT_EQ(a->text, "AtomTestName");
  EXPECT_NE(a, AtomIntern("AtomTestName2"));
}

TEST(AtomTest, FindNeverInserts) {
  EXPECT_EQ(AtomFind("qq-never-interned"), nullptr);
  EXPECT_EQ(AtomFind("qq-never-interned"), nullptr);
  const auto bucket = AtomBucketTexts('q');
  EXPECT_EQ(std::count(bucket.begin(), bucket.end(), "qq-never-interned"), 0);
}

TEST(AtomTest, BucketsStaySortedWithoutRegardToCase) {
  for (const char* name : {"kZeta", "Kalpha", "kBeta", "KAPPA", "k", "k_", "kAlphA"})
    AtomIntern(name);
  const auto bucket = AtomBucketTexts('K');
  ASSERT_EQ(bucket, AtomBucketTexts('k'));
  EXPECT_TRUE(std::is_sorted(bucket.begin(), bucket.end(),
                             [](const auto& a, const auto& b) { return AtomCompare(a, b) < 0; }));
  EXPECT_EQ(std::count_if(bucket.begin(), bucket.end(),
                          [](const auto& t) { return AtomCompare(t, "kalpha") == 0; }),
            1);
}

TEST(AtomTest, StandardNamesAreInternedAtStartUp) {
  AtomInternStandardNames();
  for (const char* name : {"attach",
                           "attachto",
                           "contour",
                           "delete",
                           "flags",
                           "float",
                           "hostobject",
                           "int32",
                           "link",
                           "linkto",
                           "name",
                           "NextSelectedContour",
                           "NextSelectedGeometry",
                           "Optimize",
                           "shape",
                           "string",
                           "vertex",
                           "vx",
                           "vy",
                           "wx",
                           "wy",
                           "x",
                           "y",
                           "z"})
    EXPECT_NE(AtomFind(name), nullptr) << name;
  EXPECT_EQ(AtomFind("OPTIMIZE"), AtomFind("optimize"));
}

TEST(AtomTest, EmptyAndHighCharacterNames) {
  const Atom* empty = AtomIntern("");
  EXPECT_EQ(empty, AtomFind(""));
  const Atom* high = AtomIntern("\xE9t\xE9");
  EXPECT_EQ(high, AtomFind("\xE9t\xE9"));
}

}  // namespace
}  // namespace lumetra::project
