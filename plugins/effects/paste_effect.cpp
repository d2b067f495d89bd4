// Paste: the foreground over the background by opacity source, method and blend.
#include "composite_support.h"
#include "compositing_effects.h"
#include "effect_blocks.h"
#include "paste_kernel.h"

namespace effects {

int32_t PasteInit(HostCallContext*, void* data) {
  auto* d = static_cast<PasteData*>(data);
  if (d == nullptr) return 1;
  HostKeyfloatKeySet(&d->Operation, 0.5f, 1, 1.f, 0.f, 0.f);
  d->AlphaSource = 3;  // source "Alpha", method "Normal"
  d->BlendingMode = 0;
  return 1;
}

PIC* PasteMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const auto* d = static_cast<const PasteData*>(data);
    lumetra::effects::PasteParams p;
    p.opacity = Unit(d != nullptr ? d->Operation : nullptr, NormalisedTime(from, to, t));
    const int32_t alpha_source = d != nullptr ? static_cast<uint16_t>(d->AlphaSource) : 3;
    p.source = alpha_source & 0xFF;
    p.method = (alpha_source >> 8) & 0xFF;
    p.blend = d != nullptr ? d->BlendingMode : 0;

    const bool external_assigned = HostIsInputAssigned(ctx, 2);
    const PIC* external = external_assigned ? HostGetInputFrame(ctx, 2, t) : nullptr;
    const PIC* foreground = HostGetInputFrame(ctx, 1, t);
    const PIC* background = HostGetInputFrame(ctx, 0, t);
    if (!PicUsable(background) || !PicUsable(foreground)) return nullptr;
    if (external_assigned && !PicUsable(external)) return nullptr;
    if (!external_assigned) external = foreground;

    OutputPic out = NewPic(
        ctx, {background->x, background->y, background->width, background->height},
        kTextNoMemoryInPaster);
    if (!out) return nullptr;
    const KernelStatus status =
        lumetra::effects::Paste(PlacedOf(background), PlacedOf(foreground), PlacedOf(external),
                                PlacedOut(out.get()), p, MakeBands(), AbortOf(ctx));
    if (status == KernelStatus::kNoMemory) HostReportError(ctx, kTextNoMemoryInPaster);
    return status == KernelStatus::kOk ? out.release() : nullptr;
  });
}

}  // namespace effects
