#include "timecode/time_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace lumetra::project;

namespace {

// Every frame of the time line at a base must come back from its f32 time.
int64_t CountRoundTripMisses(int32_t base) {
  int64_t misses = 0;
  const int32_t last = static_cast<int32_t>(kTimeLineEnd) * base;
  for (int32_t n = 0; n <= last; ++n) {
    const float t = FrameToTime(n, base);
    if (TimeToFrame(t, base, kFrameEpsLibrary) != n) ++misses;
    if (TimeToFrame(t, base, kFrameEpsDisplay) != n) ++misses;
    if (TimeToFrame(t, base, kFrameEpsRender) != n) ++misses;
  }
  return misses;
}

}  // namespace

TEST(TimeBase, EveryFrameOfTheTimeLineRoundTripsAtCommonBases) {
  for (int32_t base : {24, 25, 30, 60}) EXPECT_EQ(CountRoundTripMisses(base), 0) << base;
}

TEST(TimeBase, LastFramesRoundTripAtEveryBase) {
  // The last frames of the time line are where f32 is coarsest.
  for (int32_t base = kTimeBaseMin; base <= kTimeBaseMax; ++base) {
    const int32_t last = 7200 * base;
    for (int32_t n = std::max(0, last - 2 * base); n <= last; ++n) {
      ASSERT_EQ(TimeToFrame(FrameToTime(n, base), base, kFrameEpsDisplay), n)
          << "base " << base << " frame " << n;
    }
  }
}

TEST(TimeBase, TimesBetweenFramesStillTruncate) {
  // The f32 tolerance must not move a time that lies clearly inside a frame.
  struct Case {
    float time;
    int32_t base;
    double eps;
    int32_t frame;
  };
  const Case cases[] = {
      {1.5f, 25, kFrameEpsDisplay, 37},
      {1.52f, 25, kFrameEpsDisplay, 38},
      {0.999f, 25, kFrameEpsLibrary, 24},
      {7199.9995f, 1000, kFrameEpsDisplay, 7199999},
      {100.0005f, 1000, kFrameEpsDisplay, 100000},  // f32 holds 100.000504: frame 100000.5
      {0.0f, 1000, kFrameEpsDisplay, 0},
      {0.995f, 1, kFrameEpsRender, 1},  // the render epsilon lifts it
  };
  for (const Case& c : cases)
    EXPECT_EQ(TimeToFrame(c.time, c.base, c.eps), c.frame) << c.time << " @" << c.base;
}

TEST(TimeBase, GuardsAgainstBadInput) {
  EXPECT_EQ(TimeToFrame(std::numeric_limits<float>::quiet_NaN(), 25, kFrameEpsDisplay), 0);
  EXPECT_EQ(TimeToFrame(std::numeric_limits<float>::infinity(), 25, kFrameEpsDisplay), 0);
  EXPECT_EQ(TimeToFrame(1e30f, 1000, kFrameEpsDisplay), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(TimeToFrame(-1e30f, 1000, kFrameEpsDisplay), std::numeric_limits<int32_t>::min());
  EXPECT_FLOAT_EQ(FrameToTime(50, 0), 50.0f);  // base clamped to 1, no division by zero
  EXPECT_FLOAT_EQ(FrameToTime(5000, 5000), 5.0f);
  EXPECT_EQ(TimeBaseClamp(-3), 1);
  EXPECT_EQ(TimeBaseClamp(1001), 1000);
}

TEST(TimeBase, SnapAndTimeCodeChecks) {
  EXPECT_TRUE(TimeSnapValid(25, 25));
  EXPECT_TRUE(TimeSnapValid(50, 25));
  EXPECT_FALSE(TimeSnapValid(24, 25));
  EXPECT_FALSE(TimeSnapValid(30, 25));
  EXPECT_FALSE(TimeSnapValid(25, 0));
  EXPECT_EQ(TimeSnapFor(30, true), 60);
  EXPECT_EQ(TimeSnapFor(30, false), 30);
  EXPECT_FLOAT_EQ(TimeSnapTolerance(25), 0.008f);
  EXPECT_TRUE(TimeCodeFieldsValid(23, 59, 59, 24, 25));
  EXPECT_FALSE(TimeCodeFieldsValid(24, 0, 0, 0, 25));
  EXPECT_FALSE(TimeCodeFieldsValid(0, 60, 0, 0, 25));
  EXPECT_FALSE(TimeCodeFieldsValid(0, 0, 0, 25, 25));
  EXPECT_FALSE(TimeCodeFieldsValid(0, -1, 0, 0, 25));
  EXPECT_TRUE(InitialTimeCodeValid(86400 * 25 - 1, 25));
  EXPECT_FALSE(InitialTimeCodeValid(86400 * 25, 25));
  EXPECT_FALSE(InitialTimeCodeValid(-1, 25));
}

TEST(TimeBase, RenderSegmentFrames) {
  FrameRange r = TimeSegmentFrames(0.0f, 4.0f, 25);
  EXPECT_EQ(r.first, 0);
  EXPECT_EQ(r.last, 99);
  r = TimeSegmentFrames(FrameToTime(7, 30), FrameToTime(8, 30), 30);
  EXPECT_EQ(r.first, 7);
  EXPECT_EQ(r.last, 7);
  r = TimeSegmentFrames(2.0f, 2.0f, 25);
  EXPECT_LT(r.last, r.first);
}
