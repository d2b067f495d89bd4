// Mix, Chained Mix and Copy: cross-fades and plain copies of their inputs.
#include <cmath>

#include "composite_support.h"
#include "compositing_effects.h"
#include "effect_blocks.h"
#include "mix_kernel.h"

namespace effects {
namespace {

// The two-picture mix of a and b with share f of b, over the union of both.
PIC* MixTwo(HostCallContext* ctx, const PIC* a, const PIC* b, double f) {
  OutputPic out = NewPic(ctx, UnionOf(a, b), kTextImageAllocation);
  if (!out) return nullptr;
  const KernelStatus status =
      lumetra::effects::MixPictures(PlacedOf(a), PlacedOf(b), PlacedOut(out.get()),
                                    lumetra::effects::MixShare(f), MakeBands(), AbortOf(ctx));
  if (status == KernelStatus::kNoMemory) HostReportError(ctx, kTextImageAllocation);
  return status == KernelStatus::kOk ? out.release() : nullptr;
}

}  // namespace

int32_t MixInit(HostCallContext*, void* data) {
  auto* d = static_cast<MixData*>(data);
  if (d == nullptr) return 1;
  HostKeyfloatKeySet(&d->Factor, 0.f, 1, 0.f, 0.f, 0.f);
  HostKeyfloatKeySet(&d->Factor, 1.f, 1, 1.f, 0.f, 0.f);
  d->Clipping = 0;
  return 1;
}

PIC* MixMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const auto* d = static_cast<const MixData*>(data);
    const float f = Unit(d != nullptr ? d->Factor : nullptr, NormalisedTime(from, to, t));
    // The ends fetch only the input they show, so the other one need not be rendered.
    if (f == 0.f || f >= 1.f) {
      const PIC* only = HostGetInputFrame(ctx, f == 0.f ? 0 : 1, t);
      if (!PicUsable(only)) return nullptr;
      return CopyPic(ctx, only, kTextImageAllocation).release();
    }
    const PIC* a = HostGetInputFrame(ctx, 0, t);
    const PIC* b = HostGetInputFrame(ctx, 1, t);
    if (!PicUsable(a) || !PicUsable(b)) return nullptr;
    return MixTwo(ctx, a, b, f);
  });
}

int32_t ChainedMixInit(HostCallContext*, void* data) {
  auto* d = static_cast<ChainedMixData*>(data);
  if (d == nullptr) return 1;
  d->start = 0;
  d->inn = 2.f;
  d->sn = 0.5f;
  d->mn = 1.5f;
  d->flags = 0;
  return 1;
}

PIC* ChainedMixMake(HostCallContext* ctx, void* data, float from, float, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const auto* d = static_cast<const ChainedMixData*>(data);
    if (d == nullptr) return nullptr;
    int32_t rate = HostProjectFrameRate();
    if (rate <= 0) rate = kFallbackFrameRate;
    const double rf = rate;
    const double sn = std::isfinite(d->sn) ? d->sn : 0.0;
    const double mn = std::isfinite(d->mn) ? d->mn : 0.0;
    const double inn = std::isfinite(d->inn) ? d->inn : 0.0;
    const double cycle = sn + mn;
    // Frames into the clip. Frame times arrive as floats that can sit a hair below their
    // frame; the nudge keeps such a time in its own frame and cycle.
    constexpr double kFrameNudge = 1e-4;
    const double elapsed = (static_cast<double>(t) - from) * rf + kFrameNudge;
    // A cycle of no length has no position in it: the first frame is held.
    const double k = cycle > 0.0 ? std::trunc(elapsed / cycle) : 0.0;
    const PIC* a =
        HostGetInputFrame(ctx, 0, static_cast<float>((k * inn + d->start) / rf));
    const double phase = cycle > 0.0 ? elapsed - cycle * k : 0.0;
    if (cycle > 0.0 && phase >= sn && mn > 0.0) {
      const PIC* b =
          HostGetInputFrame(ctx, 0, static_cast<float>(((k + 1.0) * inn + d->start) / rf));
      if (!PicUsable(a) || !PicUsable(b)) return nullptr;
      double m = (phase - sn + 0.5) / (mn + 0.5);
      if ((d->flags & 1) != 0) m = (3.0 - 2.0 * m) * m * m;
      return MixTwo(ctx, a, b, m);
    }
    if (!PicUsable(a)) return nullptr;
    return CopyPic(ctx, a, kTextPicCopy).release();
  });
}

PIC* CopyMake(HostCallContext* ctx, void*, float, float, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const PIC* in = HostGetInputFrame(ctx, 0, t);
    if (!PicUsable(in)) return nullptr;
    return CopyPic(ctx, in, kTextCantCopyPic).release();
  });
}

}  // namespace effects
