// Time base, time snap and initial time code of a project; seconds <-> frames conversions.
#pragma once

#include <cstdint>

namespace lumetra::project {

// Times are f32 seconds from the start of the time line, which ends here.
inline constexpr float kTimeLineEnd = 7200.0f;

inline constexpr int32_t kTimeBaseMin = 1;
inline constexpr int32_t kTimeBaseMax = 1000;
inline constexpr int32_t kTimeBaseDefault = 25;
inline constexpr int32_t kTimeSnapDefault = 25;
inline constexpr int32_t kInitialTimeCodeDefault = 0;

// Rounding epsilons for TimeToFrame, by who asks.
inline constexpr double kFrameEpsLibrary = 0.0001;   // a library asks for a frame number
inline constexpr double kFrameEpsDisplay = 0.00001;  // the frames display
inline constexpr double kFrameEpsRender = 0.01;      // start, end and current frame of a render

// How a time is shown and typed; process-wide, stored with the project.
enum TimeDisplay : int32_t {
  kTimeDisplayTimeCode = 0,
  kTimeDisplayFrames = 1,
  kTimeDisplaySeconds = 2,
};

// sign(x) * trunc(|x| + epsilon) with x = time * base. A time made by FrameToTime(n, base)
// gives n again for every frame f32 can tell apart, negative ones too: the f32 rounding of
// the time (at most |x| * 2^-24 frames) is added to the epsilon. Non-finite times give 0;
// results saturate at int32.
int32_t TimeToFrame(float time, int32_t base, double epsilon);

// frame / base, correctly rounded to f32. A base outside 1..1000 is clamped first.
float FrameToTime(int32_t frame, int32_t base);

// The base clamped to 1..1000 (what loading and every division use).
int32_t TimeBaseClamp(int32_t base);

// A snap is usable when it is at least the base and a multiple of it.
bool TimeSnapValid(int32_t snap, int32_t base);
// The snap for a base: twice the base with fields (half-frame steps), else the base.
int32_t TimeSnapFor(int32_t base, bool fields);
// Clip move tolerance: 0.2 / snap seconds.
float TimeSnapTolerance(int32_t snap);

// Initial time code fields are valid with hours 0..23, minutes and seconds 0..59 and
// frames below the base.
bool TimeCodeFieldsValid(int32_t hours, int32_t minutes, int32_t seconds, int32_t frames,
                         int32_t base);
// An initial time code in frames is valid when it is below 24 hours at the base.
bool InitialTimeCodeValid(int32_t frames, int32_t base);

// The frames a render writes for the segment [start, end[: first to last inclusive, with
// the render epsilon. The end frame is lowered by one only when it is above the first
// frame, so [t, t[ gives the one frame at t; a segment that ends before it starts is
// empty (last < first).
struct FrameRange {
  int32_t first;
  int32_t last;
};
FrameRange TimeSegmentFrames(float start, float end, int32_t base);

}  // namespace lumetra::project
