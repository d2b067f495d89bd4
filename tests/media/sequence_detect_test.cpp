// Numbered sequences in directory listings.
#include "media/sequence_detect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lumetra::media;

namespace {

bool TgaNumbered(std::string_view ext) {
  return ext == "tga" || ext == "TGA";
}

std::vector<std::string> Shown(std::vector<std::string> names) {
  std::vector<std::string> out;
  for (const MediaListEntry& e : DetectSequences(std::move(names), TgaNumbered)) out.push_back(e.shown);
  return out;
}

TEST(SequenceDetect, Table) {
  const std::string d31(31, '1');
  struct Case {
    const char* what;
    std::vector<std::string> names;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {"a run", {"shot0002.tga", "shot0001.tga", "shot0003.tga"}, {"shot[0001,0003].tga"}},
      {"a gap splits the run", {"s1.tga", "s2.tga", "s4.tga", "s5.tga", "s7.tga"},
       {"s[1,2].tga", "s[4,5].tga", "s7.tga"}},
      {"case-blind base and extension", {"SHOT01.TGA", "shot02.tga"}, {"SHOT[01,02].TGA"}},
      {"a9 then a10, listed in byte order", {"a10.tga", "a9.tga", "a11.tga"}, {"a[9,11].tga"}},
      {"padded widths must agree", {"b09.tga", "b10.tga", "b011.tga"}, {"b[09,10].tga", "b011.tga"}},
      {"one number is a plain file", {"x5.tga", "y.tga"}, {"x5.tga", "y.tga"}},
      {"not a numbered format", {"m1.wav", "m2.wav"}, {"m1.wav", "m2.wav"}},
      {"different extensions", {"c1.tga", "c2.tgb"}, {"c1.tga", "c2.tgb"}},
      {"more than 31 digits", {"d" + d31 + "1.tga", "d" + d31 + "2.tga"},
       {"d" + d31 + "1.tga", "d" + d31 + "2.tga"}},
      {"overflowing numbers", {"e99999999999.tga", "e100000000000.tga"},
       {"e99999999999.tga", "e100000000000.tga"}},
      {"the largest number ends a run", {"f2147483646.tga", "f2147483647.tga"},
       {"f[2147483646,2147483647].tga"}},
      {"no digits before the dot", {"g.tga", "g1x.tga"}, {"g.tga", "g1x.tga"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Shown(c.names), c.shown);
  }
}

TEST(SequenceDetect, EntryCarriesTheRunAndItsDigits) {
  auto entries = DetectSequences({"take7.tga", "take8.tga", "take9.tga", "take10.tga"}, TgaNumbered);
  ASSERT_EQ(entries.size(), 1u);
  const MediaListEntry& e = entries[0];
  EXPECT_TRUE(e.sequence);
  EXPECT_EQ(e.file, "take7.tga");
  EXPECT_EQ(e.base, "take");
  EXPECT_EQ(e.extension, "tga");
  EXPECT_EQ(e.first, 7);
  EXPECT_EQ(e.last, 10);
  EXPECT_EQ(e.digits, 1);  // unpadded: each frame printed at its own width
}

TEST(SequenceDetect, FrameNumberLimits) {
  FrameNumber f;
  EXPECT_TRUE(ParseFrameNumber(std::string(31, '9').substr(0, 9) + ".tga", f));
  EXPECT_EQ(f.digits, 9);
  EXPECT_FALSE(ParseFrameNumber("x" + std::string(32, '0') + ".tga", f));
  EXPECT_TRUE(ParseFrameNumber("x" + std::string(31, '0') + ".tga", f));  // zeros fit
  EXPECT_FALSE(ParseFrameNumber("x2147483648.tga", f));
  EXPECT_FALSE(ParseFrameNumber("12", f));  // no dot
}

}  // namespace
