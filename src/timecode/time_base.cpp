// Seconds <-> frames conversions and the checks of the time settings.
#include "timecode/time_base.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace lumetra::project {
namespace {

// One f32 rounding is at most half a unit in the last place: |t| * 2^-24.
constexpr double kF32HalfUlp = 1.0 / 16777216.0;

int32_t SaturateToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::trunc(v));
}

}  // namespace

int32_t TimeBaseClamp(int32_t base) {
  return std::clamp(base, kTimeBaseMin, kTimeBaseMax);
}

int32_t TimeToFrame(float time, int32_t base, double epsilon) {
  if (!std::isfinite(time)) return 0;
  // f32 time times an int below 2^31 is exact in double.
  const double x = static_cast<double>(time) * static_cast<double>(base);
  // Rounded away from zero on both sides, so that -n / base gives -n like n / base gives n.
  const double a = std::fabs(x);
  const double frames = std::trunc(a + epsilon + a * kF32HalfUlp);
  return SaturateToInt(x < 0.0 ? -frames : frames);
}

float FrameToTime(int32_t frame, int32_t base) {
  const int32_t b = TimeBaseClamp(base);
  // Frames up to 2^24 are exact in f32, so one f32 division rounds once.
  if (frame >= -(1 << 24) && frame <= (1 << 24))
    return static_cast<float>(frame) / static_cast<float>(b);
  return static_cast<float>(static_cast<double>(frame) / static_cast<double>(b));
}

bool TimeSnapValid(int32_t snap, int32_t base) {
  return base >= 1 && snap >= base && snap % base == 0;
}

int32_t TimeSnapFor(int32_t base, bool fields) {
  const int32_t b = TimeBaseClamp(base);
  return fields ? b * 2 : b;
}

float TimeSnapTolerance(int32_t snap) {
  return 0.2f / static_cast<float>(std::max(snap, 1));
}

bool TimeCodeFieldsValid(int32_t hours, int32_t minutes, int32_t seconds, int32_t frames,
                         int32_t base) {
  return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 &&
         seconds <= 59 && frames >= 0 && frames < base;
}

bool InitialTimeCodeValid(int32_t frames, int32_t base) {
  return frames >= 0 && static_cast<int64_t>(frames) < int64_t{86400} * TimeBaseClamp(base);
}

FrameRange TimeSegmentFrames(float start, float end, int32_t base) {
  const int32_t first = TimeToFrame(start, base, kFrameEpsRender);
  const int32_t end_frame = TimeToFrame(end, base, kFrameEpsRender);
  // A segment shorter than a frame (render of the current time: start == end) still
  // renders its first frame; the end is exclusive only when it lies past the start.
  return {first, end_frame > first ? end_frame - 1 : end_frame};
}

}  // namespace lumetra::project
