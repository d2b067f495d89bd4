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
  struct Case {
    float start;
    float end;
    int32_t base;
    int32_t first;
    int32_t last;
  };
  const Case cases[] = {
      {0.0f, 4.0f, 25, 0, 99},
      {FrameToTime(7, 30), FrameToTime(8, 30), 30, 7, 7},
      // Rendering the current time: start == end still gives that one frame.
      {1.0f, 1.0f, 25, 25, 25},
      {2.0f, 2.0f, 25, 50, 50},
      // Shorter than a frame, both ends in the same frame after the epsilon.
      {3.9999f, 4.0f, 25, 100, 100},
      {0.0f, 0.01f, 25, 0, 0},
      {0.0f, 0.04f, 25, 0, 0},  // the end frame 1 is above 0: lowered to 0
      {0.0f, 0.08f, 25, 0, 1},
      {7199.0f, 7200.0f, 1000, 7199000, 7199999},
  };
  for (const Case& c : cases) {
    const FrameRange r = TimeSegmentFrames(c.start, c.end, c.base);
    EXPECT_EQ(r.first, c.first) << "[" << c.start << ", " << c.end << "[ @" << c.base;
    EXPECT_EQ(r.last, c.last) << "[" << c.start << ", " << c.end << "[ @" << c.base;
  }
}

TEST(TimeBase, ReversedSegmentIsEmpty) {
  const FrameRange r = TimeSegmentFrames(2.0f, 1.0f, 25);
  EXPECT_LT(r.last, r.first);
}

TEST(TimeBase, NegativeFramesRoundTripLikePositiveOnes) {
  for (int32_t base : {1, 24, 25, 30, 60, 1000}) {
    const int32_t last = base == 1000 ? 200000 : 7200 * base;
    for (int32_t n = 1; n <= last; ++n) {
      const float t = FrameToTime(-n, base);
      ASSERT_EQ(TimeToFrame(t, base, kFrameEpsLibrary), -n) << "base " << base;
      ASSERT_EQ(TimeToFrame(t, base, kFrameEpsDisplay), -n) << "base " << base;
      ASSERT_EQ(TimeToFrame(t, base, kFrameEpsRender), -n) << "base " << base;
      ASSERT_EQ(TimeToFrame(t, base, kFrameEpsDisplay), -TimeToFrame(-t, base, kFrameEpsDisplay));
    }
  }
  // Times inside a negative frame truncate toward zero, the mirror of positive ones.
  EXPECT_EQ(TimeToFrame(-1.5f, 25, kFrameEpsDisplay), -37);
  EXPECT_EQ(TimeToFrame(-0.01f, 25, kFrameEpsDisplay), 0);
}
