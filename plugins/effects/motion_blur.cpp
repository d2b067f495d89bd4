// Motion Blur sample tables and frame accumulation. Sums are 32-bit (a sample adds at
// most 255 per pixel and the count is capped), weights clamped to 0..1.
#include "motion_blur.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace lumetra::effects {

MotionSteps MotionStepsFrom(int32_t stored) {
  return stored >= 0 && stored <= 3 ? static_cast<MotionSteps>(stored) : MotionSteps::kByFrames;
}

namespace {

double Rate(int32_t frame_rate) { return static_cast<double>(std::max(frame_rate, 1)); }

float UnitWeight(float w) { return w > 0.0f ? std::min(w, 1.0f) : 0.0f; }

int32_t CappedCount(double n) {
  if (!(n >= 1.0)) return 1;
  return n >= kMotionBlurMaxSamples ? kMotionBlurMaxSamples : static_cast<int32_t>(n);
}

}  // namespace

MotionSegment MotionBlurSegment(MotionSteps mode, double f, double t, double clip_from,
                                double clip_to, int32_t frame_rate) {
  if (t < f) t = f;
  const double q = mode == MotionSteps::kByFrames ? Rate(frame_rate) : 2.0 * Rate(frame_rate);
  const double end = (std::trunc(q * clip_to + 0.001) - 1.0) / q;
  return {f * (end - clip_from) + clip_from, t * (end - clip_from) + clip_from};
}

MotionRange MotionBlurRange(MotionSteps mode, const MotionSegment& s, int32_t frame_rate,
                            double value) {
  MotionRange r{s.t1, s.t2, 1};
  switch (mode) {
    case MotionSteps::kByFrames:
    case MotionSteps::kByFields: {
      const double q = mode == MotionSteps::kByFrames ? Rate(frame_rate) : 2.0 * Rate(frame_rate);
      const double k1 = std::trunc(q * s.t1 + 0.001);
      r.a = k1 / q;
      if (r.a < s.t1) r.a = (k1 + 1.0) / q;
      if (r.a > s.t2) r.a = (s.t1 + s.t2) * 0.5;
      const double k2 = std::trunc(q * s.t2 + 0.001);
      r.b = k2 / q;
      if (r.b > s.t2) r.b = (k2 - 1.0) / q;
      if (r.a > r.b) r.b = r.a;
      r.n = CappedCount(std::trunc((r.b - r.a) * q + 0.01) + 1.0);
      break;
    }
    case MotionSteps::kByStepsValue:
      r.n = CappedCount(std::trunc((r.b - r.a) * value + 0.01));
      break;
    case MotionSteps::kConstantValue:
      r.n = CappedCount(std::trunc(value));
      break;
  }
  return r;
}

std::vector<MotionSample> MotionBlurSamples(const MotionRange& range,
                                            float (*opacity_at)(void* context, double t),
                                            void* context) {
  const int32_t n = std::clamp(range.n, 1, kMotionBlurMaxSamples);
  if (n == 1) return {{(range.a + range.b) * 0.5, 1.0f}};
  std::vector<MotionSample> samples(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / (n - 1);
    samples[static_cast<std::size_t>(i)] = {range.a + (range.b - range.a) * t,
                                            opacity_at != nullptr ? opacity_at(context, t) : 1.0f};
  }
  return samples;
}

MotionBlurState* MotionBlurStateCreate(int32_t width, int32_t height, uint32_t flags,
                                       std::vector<MotionSample> samples) {
  if (width <= 0 || height <= 0 || samples.empty()) return nullptr;
  try {
    auto* state = new MotionBlurState;
    state->width = width;
    state->height = height;
    state->flags = flags;
    state->samples = std::move(samples);
    try {
      state->accum.assign(static_cast<std::size_t>(width) * height * 5, 0u);
    } catch (const std::bad_alloc&) {
      delete state;
      return nullptr;
    }
    return state;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void MotionBlurStateFree(MotionBlurState* state) {
  if (state == nullptr) return;
  if (state->output != nullptr && state->output_free != nullptr) state->output_free(state->output);
  delete state;
}

namespace {

struct AddJob {
  MotionBlurState* state;
  const ConstImageView* frame;
  int32_t x, y;            // frame origin in the state's picture
  int32_t col0, col1;      // columns [col0, col1) of the state that the frame covers
  int32_t row0;            // first covered row
  uint32_t colour_mul[256];  // per alpha: the colour factor in 1/4096
  uint32_t alpha_add[256];   // per alpha: what alpha adds
  bool on_black;
};

void AddBand(void* context, int32_t begin, int32_t end) {
  auto& job = *static_cast<AddJob*>(context);
  MotionBlurState& s = *job.state;
  for (int32_t row = job.row0 + begin; row < job.row0 + end; ++row) {
    const uint8_t* src = job.frame->Row(row - job.y) + 4 * (job.col0 - job.x);
    uint32_t* acc = s.accum.data() + (static_cast<std::size_t>(row) * s.width + job.col0) * 5;
    const int32_t n = job.col1 - job.col0;
    for (int32_t i = 0; i < n; ++i, src += 4, acc += 5) {
      const uint32_t alpha = src[3];
      const uint32_t m = job.on_black ? job.colour_mul[255] : job.colour_mul[alpha];
      acc[0] += (src[0] * m) >> 12;
      acc[1] += (src[1] * m) >> 12;
      acc[2] += (src[2] * m) >> 12;
      const uint32_t a = job.alpha_add[alpha];
      acc[3] += a;
      acc[4] = std::max(acc[4], a);
    }
  }
}

}  // namespace

void MotionBlurAdd(MotionBlurState& state, const ConstImageView& frame, int32_t x, int32_t y,
                   float weight, const BandRunner& bands) {
  if (!ViewUsable(frame)) return;
  AddJob job{};
  job.state = &state;
  job.frame = &frame;
  job.x = x;
  job.y = y;
  const int64_t c0 = std::max<int64_t>(0, x), c1 = std::min<int64_t>(state.width, int64_t{x} + frame.width);
  const int64_t r0 = std::max<int64_t>(0, y), r1 = std::min<int64_t>(state.height, int64_t{y} + frame.height);
  if (c0 >= c1 || r0 >= r1) return;
  job.col0 = static_cast<int32_t>(c0);
  job.col1 = static_cast<int32_t>(c1);
  job.row0 = static_cast<int32_t>(r0);
  job.on_black = (state.flags & kMotionBlurOnBlack) != 0;
  const float s = (state.flags & kMotionBlurManual) != 0 ? UnitWeight(weight) : 1.0f;
  const auto k = static_cast<uint32_t>(s * 4096.0f);
  for (uint32_t a = 0; a < 256; ++a) {
    if (job.on_black) {
      job.colour_mul[a] = k;
      job.alpha_add[a] = (a * k) >> 12;
    } else {
      job.colour_mul[a] = static_cast<uint32_t>(a * static_cast<double>(s) * 16.062746);
      job.alpha_add[a] = static_cast<uint32_t>(a * static_cast<double>(s));
    }
  }
  RunBands(bands, static_cast<int32_t>(r1 - r0), c1 - c0, AddBand, &job);
}

void MotionBlurFinish(const MotionBlurState& state, const ImageView& out, const BandRunner& bands) {
  struct FinishJob {
    const MotionBlurState* s;
    const ImageView* out;
  } job{&state, &out};
  RunBands(bands, std::min(state.height, out.height), state.width,
           [](void* context, int32_t begin, int32_t end) {
             auto& j = *static_cast<FinishJob*>(context);
             const MotionBlurState& s = *j.s;
             const bool manual = (s.flags & kMotionBlurManual) != 0;
             const auto n = static_cast<uint32_t>(s.samples.size());
             const int32_t w = std::min(s.width, j.out->width);
             for (int32_t y = begin; y < end; ++y) {
               const uint32_t* acc = s.accum.data() + static_cast<std::size_t>(y) * s.width * 5;
               uint8_t* d = j.out->Row(y);
               for (int32_t x = 0; x < w; ++x, acc += 5, d += 4) {
                 if (acc[3] == 0) {
                   d[0] = d[1] = d[2] = d[3] = 0;
                   continue;
                 }
                 for (int c = 0; c < 3; ++c) {
                   const uint64_t v = uint64_t{acc[c]} * 255 / acc[3];
                   d[c] = static_cast<uint8_t>(std::min<uint64_t>(v, 255));
                 }
                 d[3] = static_cast<uint8_t>(std::min<uint32_t>(manual ? acc[4] : acc[3] / n, 255));
               }
             }
           },
           &job);
}

MotionBlurStatus MotionBlurContinue(MotionBlurState& state, const MotionFrameSource& source,
                                    const BandRunner& bands) {
  while (state.next < state.samples.size()) {
    const MotionSample& sample = state.samples[state.next];
    MotionFrame frame;
    if (source.fetch == nullptr || !source.fetch(source.context, sample.time, &frame)) {
      const bool failed = source.fetch == nullptr || (source.failed != nullptr && source.failed(source.context));
      return failed ? MotionBlurStatus::kFailed : MotionBlurStatus::kWaiting;
    }
    MotionBlurAdd(state, frame.view, frame.x, frame.y, sample.weight, bands);
    if (source.release != nullptr) source.release(source.context, &frame);
    ++state.next;
  }
  return MotionBlurStatus::kDone;
}

}  // namespace lumetra::effects
