// Blur, Spread and Motion Blur: parameters read at the frame time, then the kernels.
#include "blur_effects.h"

#include <cmath>
#include <vector>

#include "effect_blocks.h"
#include "motion_blur.h"
#include "pic_blur.h"
#include "runtime.h"
#include "spread.h"

namespace effects {
namespace {

namespace k = lumetra::effects;

inline constexpr const char* kTextCantAllocateMemory = "Can't allocate memory";
inline constexpr const char* kTextCantAllocateBitmap = "Can't allocate bitmap";

float ValueAt(const KeyfloatKey* curve, double nt) {
  float v;
  HostKeyfloatEvaluate(curve, static_cast<float>(nt), &v, nullptr, nullptr);
  return v;
}

float CurveAt(void* curve, double nt) { return ValueAt(static_cast<const KeyfloatKey*>(curve), nt); }

bool Usable(const PIC* p) { return p != nullptr && p->pixels != nullptr && p->width > 0 && p->height > 0; }

k::ConstImageView ViewOf(const PIC* p) {
  return {p->pixels, static_cast<std::ptrdiff_t>(p->width) * 4, p->width, p->height};
}
k::ImageView ViewOf(PIC* p) {
  return {p->pixels, static_cast<std::ptrdiff_t>(p->width) * 4, p->width, p->height};
}

bool AbortAsked(void* context, double progress) {
  return HostCheckAbort(static_cast<HostCallContext*>(context), static_cast<float>(progress));
}

int32_t ImageWidth(HostCallContext* ctx) {
  int32_t w = 0, h = 0;
  return FrameSize(ctx, &w, &h) ? w : 0;
}

}  // namespace

PIC* BlurMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const PIC* in = HostGetInputFrame(ctx, 0, t);
    if (!Usable(in)) return nullptr;
    const auto* d = static_cast<const BlurData*>(data);
    const float f = d != nullptr ? ValueAt(d->Factor, NormalisedTime(from, to, t)) : 0.f;
    return PicTentBlur(ctx, in, k::BlurRadius(ImageWidth(ctx), f), k::TentChannels::kAll);
  });
}

PIC* SpreadMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const PIC* in = HostGetInputFrame(ctx, 0, t);
    if (!Usable(in)) return nullptr;
    static constexpr SpreadData kEmpty{};
    const auto* d = data != nullptr ? static_cast<const SpreadData*>(data) : &kEmpty;
    const float nt = NormalisedTime(from, to, t);
    const double length = static_cast<double>(ImageWidth(ctx)) * ValueAt(d->Length, nt);
    const double angle = static_cast<double>(ValueAt(d->Direction, nt)) * 6.283185307179586;
    const k::SpreadMethod method = k::SpreadMethodFrom(static_cast<int8_t>(d->Method));
    const std::vector<k::SpreadStep> steps =
        k::SpreadSteps(length, angle, method, CurveAt, const_cast<KeyfloatKey*>(d->Weight));
    OutputPic out(HostPicCreate(in->width, in->height));
    if (!out) {
      HostReportError(ctx, kTextNoMemory);
      return nullptr;
    }
    out->x = in->x;
    out->y = in->y;
    const k::KernelStatus status = k::Spread(ViewOf(in), ViewOf(out.get()), steps, method,
                                             MakeBands(), k::AbortCheck{AbortAsked, ctx});
    if (status == k::KernelStatus::kNoMemory) HostReportError(ctx, kTextAllocationError);
    return status == k::KernelStatus::kOk ? out.release() : nullptr;
  });
}

namespace {

struct MotionSource {
  HostCallContext* ctx;
  k::MotionBlurState* state;
  bool aborted = false;

  static bool Fetch(void* c, double time, k::MotionFrame* frame) {
    auto* s = static_cast<MotionSource*>(c);
    const auto n = static_cast<double>(s->state->samples.size());
    // The input may be waited for over several calls; an abort must still free the state.
    if (HostCheckAbort(s->ctx, static_cast<float>(static_cast<double>(s->state->next) / n))) {
      s->aborted = true;
      return false;
    }
    PIC* p = HostGetInputFrame(s->ctx, 0, static_cast<float>(time));
    if (p == nullptr) return false;
    if (!Usable(p)) {
      // Nothing to add: an empty frame counts as fully transparent.
      frame->view = {};
    } else {
      frame->view = ViewOf(static_cast<const PIC*>(p));
    }
    frame->x = p->x;
    frame->y = p->y;
    frame->handle = p;
    return true;
  }
  static void Release(void* c, k::MotionFrame* frame) {
    if (Host().free_input_frame != nullptr) {
      Host().free_input_frame(static_cast<MotionSource*>(c)->ctx, static_cast<PIC*>(frame->handle));
    }
  }
  static bool Failed(void* c) {
    auto* s = static_cast<MotionSource*>(c);
    return s->aborted || HostErrorTextLength(s->ctx) > 0;
  }
};

void FreeOutput(void* pic) { HostPicFree(static_cast<PIC*>(pic)); }

// A new state for this request, its output picture hanging on it; null after a report.
k::MotionBlurState* StartMotionBlur(HostCallContext* ctx, const MotionBlurData& d, float from,
                                    float to, float t) {
  if (!HostIsInputAssigned(ctx, 0)) {
    HostReportError(ctx, kTextNoInput);
    return nullptr;
  }
  int32_t w = 0, h = 0;
  if (!FrameSize(ctx, &w, &h)) {
    HostReportError(ctx, kTextIllegalParameter);
    return nullptr;
  }
  const int32_t rate = HostProjectFrameRate();
  const float nt = NormalisedTime(from, to, t);
  const k::MotionSteps mode = k::MotionStepsFrom(d.alignment);
  const k::MotionSegment segment =
      k::MotionBlurSegment(mode, ValueAt(d.f, nt), ValueAt(d.t, nt), from, to, rate);
  const k::MotionRange range = k::MotionBlurRange(mode, segment, rate, d.steps);
  std::vector<k::MotionSample> samples =
      k::MotionBlurSamples(range, CurveAt, const_cast<KeyfloatKey*>(d.opc));
  k::MotionBlurState* state =
      k::MotionBlurStateCreate(w, h, static_cast<uint32_t>(d.flags), std::move(samples));
  if (state == nullptr) {
    HostReportError(ctx, kTextCantAllocateMemory);
    return nullptr;
  }
  PIC* out = HostPicCreate(w, h);
  if (out == nullptr) {
    k::MotionBlurStateFree(state);
    HostReportError(ctx, kTextCantAllocateBitmap);
    return nullptr;
  }
  state->output = out;
  state->output_free = FreeOutput;
  return state;
}

}  // namespace

PIC* MotionBlurMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    static constexpr MotionBlurData kEmpty{};
    const auto* d = data != nullptr ? static_cast<const MotionBlurData*>(data) : &kEmpty;
    auto* state = reinterpret_cast<k::MotionBlurState*>(HostRequestGetUserWord(ctx));
    if (state == nullptr) {
      state = StartMotionBlur(ctx, *d, from, to, t);
      if (state == nullptr) return nullptr;
      HostRequestSetUserWord(ctx, reinterpret_cast<intptr_t>(state));
    }
    MotionSource source{ctx, state};
    const k::MotionFrameSource frames{&source, MotionSource::Fetch, MotionSource::Release,
                                      MotionSource::Failed};
    switch (k::MotionBlurContinue(*state, frames, MakeBands())) {
      case k::MotionBlurStatus::kWaiting:
        return nullptr;
      case k::MotionBlurStatus::kFailed:
        HostRequestSetUserWord(ctx, 0);
        k::MotionBlurStateFree(state);
        return nullptr;
      case k::MotionBlurStatus::kDone:
        break;
    }
    auto* out = static_cast<PIC*>(state->output);
    k::MotionBlurFinish(*state, ViewOf(out), MakeBands());
    state->output = nullptr;
    HostRequestSetUserWord(ctx, 0);
    k::MotionBlurStateFree(state);
    return out;
  });
}

}  // namespace effects
