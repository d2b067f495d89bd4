#include "timecode/time_controls.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "timecode/time_base.h"

using namespace lumetra::project;

TEST(TimeControls, ModeChangeRefreshesRegisteredControls) {
  ASSERT_TRUE(TimeDisplayModeSet(kTimeDisplayTimeCode));
  std::vector<int32_t> seen_a, seen_b;
  auto a = std::make_unique<TimeControlRegistration>([&] { seen_a.push_back(TimeDisplayMode()); });
  TimeControlRegistration b([&] { seen_b.push_back(TimeDisplayMode()); });

  EXPECT_TRUE(TimeDisplayModeSet(kTimeDisplayFrames));
  EXPECT_TRUE(TimeDisplayModeSet(kTimeDisplayFrames));  // no change, no refresh
  EXPECT_FALSE(TimeDisplayModeSet(3));
  EXPECT_FALSE(TimeDisplayModeSet(-1));
  EXPECT_EQ(TimeDisplayMode(), kTimeDisplayFrames);
  a.reset();
  EXPECT_TRUE(TimeDisplayModeSet(kTimeDisplaySeconds));

  EXPECT_EQ(seen_a, (std::vector<int32_t>{kTimeDisplayFrames}));
  EXPECT_EQ(seen_b, (std::vector<int32_t>{kTimeDisplayFrames, kTimeDisplaySeconds}));
  TimeDisplayModeSet(kTimeDisplayTimeCode);
}

TEST(TimeControls, ControlMayUnregisterAnotherDuringRefresh) {
  int calls = 0;
  TimeControlId second = 0;
  TimeControlRegistration first([&] {
    ++calls;
    TimeControlUnregister(second);
  });
  second = TimeControlRegister([&] { ++calls; });
  TimeControlsRefresh();
  EXPECT_EQ(calls, 1);
  TimeControlsRefresh();
  EXPECT_EQ(calls, 2);
}
