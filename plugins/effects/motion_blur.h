// Motion Blur: the sample table of a time segment and the accumulation of the sampled
// frames, with the progress kept in a plain state that survives between make calls.
#pragma once

#include <cstdint>
#include <vector>

#include "image_view.h"
#include "row_bands.h"

namespace lumetra::effects {

enum class MotionSteps : int32_t {
  kByFrames = 0,
  kByFields = 1,
  kByStepsValue = 2,
  kConstantValue = 3,
};

// A stored "Motion Steps" byte; values outside 0..3 read as By Frames.
MotionSteps MotionStepsFrom(int32_t stored);

inline constexpr uint32_t kMotionBlurManual = 1u << 0;   // opacity from the curve
inline constexpr uint32_t kMotionBlurOnBlack = 1u << 1;  // colours not weighted by alpha
// More samples than this are cut to it: each one renders an input frame.
inline constexpr int32_t kMotionBlurMaxSamples = 4096;

// Time segment [t1, t2] from the curve values f and t at nt (t below f reads as f) and the
// clip's span; the end is aligned to the last whole frame or field. A frame rate below 1
// reads as 1.
struct MotionSegment {
  double t1 = 0.0, t2 = 0.0;
};
MotionSegment MotionBlurSegment(MotionSteps mode, double f, double t, double clip_from,
                                double clip_to, int32_t frame_rate);

// Sample range [a, b] and count n (1..kMotionBlurMaxSamples) for a segment.
struct MotionRange {
  double a = 0.0, b = 0.0;
  int32_t n = 1;
};
MotionRange MotionBlurRange(MotionSteps mode, const MotionSegment& segment, int32_t frame_rate,
                            double value);

struct MotionSample {
  double time = 0.0;
  float weight = 1.0f;
};
// n = 1: one sample at the middle with weight 1; else sample i at a + (b - a) i / (n - 1)
// with weight opacity_at(context, i / (n - 1)).
std::vector<MotionSample> MotionBlurSamples(const MotionRange& range,
                                            float (*opacity_at)(void* context, double t),
                                            void* context);

// One render request's progress. The effect keeps a pointer to it in the request's user
// word; the host's output picture hangs on it and is freed with it unless taken.
struct MotionBlurState {
  int32_t width = 0, height = 0;
  uint32_t flags = 0;
  std::vector<MotionSample> samples;
  std::size_t next = 0;  // first sample not yet added
  // Per pixel: blue, green, red sums, alpha sum, alpha maximum.
  std::vector<uint32_t> accum;
  void* output = nullptr;
  void (*output_free)(void* output) = nullptr;
};

// Null when memory runs out.
MotionBlurState* MotionBlurStateCreate(int32_t width, int32_t height, uint32_t flags,
                                       std::vector<MotionSample> samples);
// Frees the state and the output still hanging on it; null does nothing.
void MotionBlurStateFree(MotionBlurState* state);

// Adds one frame placed at (x, y) within the state's picture, clipped, with the sample's
// weight (used when Manual, clamped to 0..1).
void MotionBlurAdd(MotionBlurState& state, const ConstImageView& frame, int32_t x, int32_t y,
                   float weight, const BandRunner& bands);

// Writes the mixed picture (width x height of the state).
void MotionBlurFinish(const MotionBlurState& state, const ImageView& out, const BandRunner& bands);

struct MotionFrame {
  ConstImageView view;
  int32_t x = 0, y = 0;
  void* handle = nullptr;  // the source's own, handed back to release
};

struct MotionFrameSource {
  void* context = nullptr;
  // The input frame at a time; false when none came back yet.
  bool (*fetch)(void* context, double time, MotionFrame* frame) = nullptr;
  void (*release)(void* context, MotionFrame* frame) = nullptr;
  // True when the request was aborted or carries an error.
  bool (*failed)(void* context) = nullptr;
};

enum class MotionBlurStatus {
  kDone,     // every sample added: finish and free the state
  kWaiting,  // a frame is not there yet: keep the state, come back later
  kFailed,   // aborted or in error: free the state and clear the user word
};

// Adds the samples from state.next on, one frame held at a time.
MotionBlurStatus MotionBlurContinue(MotionBlurState& state, const MotionFrameSource& source,
                                    const BandRunner& bands);

}  // namespace lumetra::effects
