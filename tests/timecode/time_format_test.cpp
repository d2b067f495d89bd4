#include "timecode/time_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "timecode/time_base.h"

using namespace lumetra::project;

TEST(TimeFormat, Table) {
  struct Case {
    float time;
    int32_t base;
    int32_t mode;
    const char* text;
  };
  const Case cases[] = {
      {1.5f, 25, kTimeDisplayTimeCode, " 00:00:01:12"},
      {1.5f, 25, kTimeDisplayFrames, "37"},
      {1.5f, 25, kTimeDisplaySeconds, "1.500"},
      {-1.5f, 25, kTimeDisplayTimeCode, "-00:00:01:12"},
      // 1.52 is held just below 1.52: time code truncates to frame 12, frames shows 38.
      {1.52f, 25, kTimeDisplayTimeCode, " 00:00:01:12"},
      {1.52f, 25, kTimeDisplayFrames, "38"},
      {0.0f, 25, kTimeDisplayTimeCode, " 00:00:00:00"},
      {3725.5f, 30, kTimeDisplayTimeCode, " 01:02:05:15"},
      {7200.0f, 25, kTimeDisplayTimeCode, " 02:00:00:00"},
      {90000.0f, 25, kTimeDisplayTimeCode, " 01:00:00:00"},  // hours wrap at 24
      {7200.0f, 1000, kTimeDisplayFrames, "7200000"},
      {-0.25f, 4, kTimeDisplaySeconds, "-0.250"},
      {std::numeric_limits<float>::quiet_NaN(), 25, kTimeDisplayTimeCode, " 00:00:00:00"},
      {1.0f, 25, 7, "1.000"},  // unknown mode shows seconds
  };
  for (const Case& c : cases)
    EXPECT_EQ(TimeFormat(c.time, c.base, c.mode), c.text) << c.time << " mode " << c.mode;
}

TEST(TimeFormat, NegativeFramesMirrorPositiveOnes) {
  EXPECT_EQ(TimeFormat(1.5f, 24, kTimeDisplayFrames), "36");
  EXPECT_EQ(TimeFormat(-1.5f, 24, kTimeDisplayFrames), "-36");
  for (int32_t base : {24, 25, 30, 1000}) {
    for (int32_t n = 1; n < 7200 * base; n += 331) {
      const float t = FrameToTime(-n, base);
      const std::string text = TimeFormat(t, base, kTimeDisplayFrames);
      ASSERT_EQ(text, "-" + std::to_string(n)) << base;
      auto back = TimeParse(text, base, kTimeDisplayFrames);
      ASSERT_TRUE(back.has_value());
      ASSERT_EQ(TimeToFrame(*back, base, kFrameEpsDisplay), -n) << base;
    }
  }
}

TEST(TimeFormat, TimeCodeJustBelowAWholeMinuteKeepsItsMinuteAndHour) {
  // One to four f32 steps below every whole minute: the minute and hour shown are those of
  // the last whole second, never the next minute.
  for (int32_t base : {24, 25, 30, 1000}) {
    for (int32_t minute = 1; minute <= 120; ++minute) {
      float t = static_cast<float>(minute * 60);
      for (int step = 1; step <= 4; ++step) {
        t = std::nextafter(t, 0.0f);
        const int64_t whole = minute * 60 - 1;
        // Frame from the exact value of t, in double (exact for these magnitudes).
        const double fraction = static_cast<double>(t) - static_cast<double>(whole);
        const int frames = static_cast<int>(std::floor(fraction * base));
        char expected[32];
        std::snprintf(expected, sizeof expected, " %.2d:%.2d:%.2d:%.2d",
                      static_cast<int>(whole / 3600 % 24), static_cast<int>(whole / 60 % 60),
                      static_cast<int>(whole % 60), frames);
        EXPECT_EQ(TimeFormat(t, base, kTimeDisplayTimeCode), expected)
            << "t=" << t << " base " << base << " step " << step;
        EXPECT_EQ(TimeFormat(-t, base, kTimeDisplayTimeCode), "-" + std::string(expected + 1))
            << "t=" << -t << " base " << base;
      }
    }
  }
  EXPECT_EQ(TimeFormat(59.999996f, 25, kTimeDisplayTimeCode), " 00:00:59:24");
  EXPECT_EQ(TimeFormat(3599.99976f, 25, kTimeDisplayTimeCode), " 00:59:59:24");
  EXPECT_EQ(TimeFormat(7199.9995f, 25, kTimeDisplayTimeCode), " 01:59:59:24");
}

TEST(TimeParse, Table) {
  struct Case {
    const char* text;
    int32_t base;
    int32_t mode;
    bool ok;
    float time;
  };
  const Case cases[] = {
      {"00:00:01:12", 25, kTimeDisplayTimeCode, true, 1.48f},
      {" 00:00:01:12", 25, kTimeDisplayTimeCode, true, 1.48f},
      {"-00:00:01:12", 25, kTimeDisplayTimeCode, true, -1.48f},
      {"01:02:05:00", 25, kTimeDisplayTimeCode, true, 3725.0f},
      {"1:30", 25, kTimeDisplayTimeCode, true, 5400.0f},  // fields fill h, m, s, f in order
      {"00:01:60:00", 25, kTimeDisplayTimeCode, false, 0},
      {"00:60:00:00", 25, kTimeDisplayTimeCode, false, 0},
      {"00:00:10:25", 25, kTimeDisplayTimeCode, false, 0},
      {"00:00:10:25", 30, kTimeDisplayTimeCode, true, 10.0f + 25.0f / 30.0f},
      {"00:-1:00:00", 25, kTimeDisplayTimeCode, false, 0},  // negative field
      {"00:00:00:-1", 25, kTimeDisplayTimeCode, false, 0},
      {"99999999999:00:00:00", 25, kTimeDisplayTimeCode, false, 0},  // overflow
      {"00:00:4294967297:00", 25, kTimeDisplayTimeCode, false, 0},   // would wrap to 1
      {"1:2:3:4:5", 25, kTimeDisplayTimeCode, false, 0},
      {"00:0x:00:00", 25, kTimeDisplayTimeCode, false, 0},
      {"37", 25, kTimeDisplayFrames, true, 1.48f},
      {"-25", 25, kTimeDisplayFrames, true, -1.0f},
      {"", 25, kTimeDisplayFrames, false, 0},
      {"+", 25, kTimeDisplayFrames, false, 0},
      {"-", 25, kTimeDisplayFrames, false, 0},
      {"12abc", 25, kTimeDisplayFrames, false, 0},
      {"2147483648", 25, kTimeDisplayFrames, false, 0},
      {"4294967296", 25, kTimeDisplayFrames, false, 0},
      {"1.500", 25, kTimeDisplaySeconds, true, 1.5f},
      {"-2.25", 25, kTimeDisplaySeconds, true, -2.25f},
      {" 7 ", 25, kTimeDisplaySeconds, true, 7.0f},
      {"", 25, kTimeDisplaySeconds, false, 0},
      {"-", 25, kTimeDisplaySeconds, false, 0},
      {"+-1", 25, kTimeDisplaySeconds, false, 0},
      {"nan", 25, kTimeDisplaySeconds, false, 0},
      {"inf", 25, kTimeDisplaySeconds, false, 0},
      {"1e999", 25, kTimeDisplaySeconds, false, 0},
      {"1.5s", 25, kTimeDisplaySeconds, false, 0},
  };
  for (const Case& c : cases) {
    auto t = TimeParse(c.text, c.base, c.mode);
    ASSERT_EQ(t.has_value(), c.ok) << '"' << c.text << "\" mode " << c.mode;
    if (c.ok) {
      EXPECT_FLOAT_EQ(*t, c.time) << c.text;
    }
  }
}

TEST(TimeParse, RefusesOverlongText) {
  EXPECT_TRUE(TimeParse(std::string(125, '1').replace(0, 120, 120, ' '), 25, 1).has_value());
  EXPECT_FALSE(TimeParse(std::string(126, ' ') + "1", 25, 1).has_value());
}

TEST(TimeParse, ReadsBackWhatFormatWrote) {
  // Frames text gives the frame back exactly. Time code truncates its frame field without
  // an epsilon, so it may read back one frame early, never more.
  for (int32_t base : {24, 25, 30, 60, 1000}) {
    for (int32_t n = 0; n < 7200 * base; n += 997) {
      const float t = FrameToTime(n, base);
      auto frames = TimeParse(TimeFormat(t, base, kTimeDisplayFrames), base, kTimeDisplayFrames);
      ASSERT_TRUE(frames.has_value());
      EXPECT_EQ(TimeToFrame(*frames, base, kFrameEpsDisplay), n) << base;
      auto tc = TimeParse(TimeFormat(t, base, kTimeDisplayTimeCode), base, kTimeDisplayTimeCode);
      ASSERT_TRUE(tc.has_value());
      const int32_t back = TimeToFrame(*tc, base, kFrameEpsDisplay);
      EXPECT_TRUE(back == n || back == n - 1) << base << " " << n << " " << back;
    }
  }
}

TEST(DurationFormat, Table) {
  struct Case {
    float time;
    int32_t base;
    const char* text;
  };
  const Case cases[] = {
      {59.99f, 25, "59:24"},
      {61.0f, 25, "1:01:00"},
      {3725.0f, 25, "1:02:05:00"},
      {0.0f, 25, "00:00"},
      {1.5f, 30, "01:15"},
      {0.9999f, 25, "00:24"},  // the +0.1 never shows frame 25 of 25
      {7200.0f, 25, "2:00:00:00"},
      {4.0f, 25, "04:00"},
      {FrameToTime(99, 25), 25, "03:24"},
      {-2.0f, 25, "-02:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(DurationFormat(c.time, c.base), c.text) << c.time;
}
