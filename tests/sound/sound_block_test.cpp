#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sound/sound_block.h"

namespace lumetra::sound {
namespace {

TEST(SoundCreate, HalfASecondOf8BitSilenceIs500BytesOf128) {
  SoundPtr b(SoundCreate(0.0f, 0.5f, 1000, 1, 1));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->samples, 500u);
  EXPECT_EQ(b->rate, 1000u);
  EXPECT_EQ(b->channels, 1);
  EXPECT_EQ(b->bytes, 1);
  for (uint32_t i = 0; i < 500; ++i) ASSERT_EQ(b->data[i], 128) << i;
}

TEST(SoundCreate, WiderSilenceIsZeroAndCountsFollowTheAbsoluteRule) {
  // trunc(1.3 * 44100 + 0.0001) - trunc(0.1 * 44100 + 0.0001)
  SoundPtr b(SoundCreate(0.1f, 1.3f, 44100, 2, 2));
  ASSERT_NE(b, nullptr);
  const int64_t expected = SoundPosition(1.3f, 44100) - SoundPosition(0.1f, 44100);
  EXPECT_EQ(b->samples, expected);
  for (std::size_t i = 0; i < b->samples * 4; ++i) ASSERT_EQ(b->data[i], 0);
  // Adjacent spans add up exactly.
  SoundPtr a(SoundCreate(0.1f, 0.7f, 44100, 2, 2)), c(SoundCreate(0.7f, 1.3f, 44100, 2, 2));
  EXPECT_EQ(a->samples + c->samples, b->samples);
}

TEST(SoundCreate, AnEmptySpanIsAnEmptyBlock) {
  SoundPtr b(SoundCreate(2.0f, 2.0f, 22050, 2, 1));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->samples, 0u);
  EXPECT_NE(b->data, nullptr);
}

TEST(SoundCreate, RefusesWhatCannotBeABlock) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float start, end;
    int32_t rate, bytes, channels;
  } cases[] = {
      {1.0f, 0.5f, 1000, 1, 1},            // end before start
      {0.0f, 1.0f, 0, 1, 1},               // no rate
      {0.0f, 1.0f, -8000, 1, 1},           // negative rate
      {0.0f, 1.0f, 1000, 1, 0},            // no channels
      {0.0f, 1.0f, 1000, 1, 70000},        // more channels than the field holds
      {0.0f, 1.0f, 1000, 0, 1},            // width 0
      {0.0f, 1.0f, 1000, 5, 1},            // width 5
      {nan, 1.0f, 1000, 1, 1},             // not a number
      {0.0f, inf, 1000, 1, 1},             // endless
      {0.0f, 3.0e9f, 1000, 1, 1},          // more samples than 32 bits count
      {0.0f, 7200.0f, 1 << 24, 4, 65535},  // a size that overflows
      {0.0f, 1.0f, (1 << 24) + 1, 1, 1},   // a rate past the resampler's range
  };
  for (const Case& c : cases) {
    SoundBlock* b = SoundCreate(c.start, c.end, c.rate, c.bytes, c.channels);
    EXPECT_EQ(b, nullptr) << c.start << " " << c.end << " " << c.rate << " " << c.bytes << " "
                          << c.channels;
    SoundFree(b);
  }
}

TEST(SoundDataSize, OverflowIsNone) {
  EXPECT_EQ(SoundDataSize(10, 2, 2), std::optional<std::size_t>(40));
  EXPECT_FALSE(SoundDataSize(std::numeric_limits<uint64_t>::max() / 2, 2, 2).has_value());
}

TEST(SoundFree, NullIsIgnored) {
  SoundFree(nullptr);
}

}  // namespace
}  // namespace lumetra::sound
