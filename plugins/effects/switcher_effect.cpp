// The Multitrack switcher: per-channel formulas over any number of inputs.
#include <vector>

#include "composite_support.h"
#include "compositing_effects.h"
#include "effect_blocks.h"
#include "switcher_kernel.h"

namespace effects {
namespace {

// Inputs beyond this are not read: the block's input codes are bytes.
constexpr intptr_t kMaxSwitcherInputs = 256;

}  // namespace

int32_t SwitcherInit(HostCallContext*, void* data) {
  auto* d = static_cast<MultiswitcherData*>(data);
  if (d == nullptr) return 1;
  d->Op_r = d->Op_g = d->Op_b = d->Op_a = 0;
  d->Ch1_r = d->Ch2_r = 0;
  d->Ch1_g = d->Ch2_g = 1;
  d->Ch1_b = d->Ch2_b = 2;
  d->Ch1_a = d->Ch2_a = 3;
  d->In1_r = d->In1_g = d->In1_b = d->In1_a = 0;
  d->In2_r = d->In2_g = d->In2_b = d->In2_a = 0;
  return 1;
}

PIC* SwitcherMake(HostCallContext* ctx, void* data, float, float, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    intptr_t count = 0;
    if (!HostClipGetInt(ctx, "clip_inputs", &count) || count < 1) {
      HostReportError(ctx, kTextNoInputs);
      return nullptr;
    }
    count = std::min(count, kMaxSwitcherInputs);
    std::vector<const PIC*> pics(static_cast<size_t>(count), nullptr);
    bool missing = false;
    for (int32_t i = 0; i < count; ++i) {
      if (!HostIsInputAssigned(ctx, i)) continue;
      pics[static_cast<size_t>(i)] = HostGetInputFrame(ctx, i, t);
      if (!PicUsable(pics[static_cast<size_t>(i)])) {
        missing = true;
        // A failed or aborted request will not deliver the rest either.
        if (HostCheckAbort(ctx, 0.f)) break;
      }
    }
    if (missing) return nullptr;  // the host calls again once the inputs are there

    std::vector<PlacedView> inputs;
    inputs.reserve(pics.size());
    const PIC* first = nullptr;
    for (const PIC* p : pics) {
      inputs.push_back(PlacedOf(p));
      if (first == nullptr && PicUsable(p)) first = p;
    }
    FrameRect rect;
    if (first != nullptr) {
      rect = {first->x, first->y, first->width, first->height};
    } else if (!FrameSize(ctx, &rect.width, &rect.height)) {
      HostReportError(ctx, kTextAllocationError);
      return nullptr;
    }
    OutputPic out = NewPic(ctx, rect, kTextAllocationError);
    if (!out) return nullptr;
    lumetra::effects::SwitcherProgram program;
    if (const auto* d = static_cast<const MultiswitcherData*>(data); d != nullptr) {
      const uint8_t op[4] = {d->Op_r, d->Op_g, d->Op_b, d->Op_a};
      const uint8_t ch1[4] = {d->Ch1_r, d->Ch1_g, d->Ch1_b, d->Ch1_a};
      const uint8_t in1[4] = {d->In1_r, d->In1_g, d->In1_b, d->In1_a};
      const uint8_t ch2[4] = {d->Ch2_r, d->Ch2_g, d->Ch2_b, d->Ch2_a};
      const uint8_t in2[4] = {d->In2_r, d->In2_g, d->In2_b, d->In2_a};
      for (int c = 0; c < 4; ++c) {
        program.op[c] = op[c];
        program.ch1[c] = ch1[c];
        program.in1[c] = in1[c];
        program.ch2[c] = ch2[c];
        program.in2[c] = in2[c];
      }
    }
    const KernelStatus status = lumetra::effects::Switch(inputs, PlacedOut(out.get()), program,
                                                         MakeBands(), AbortOf(ctx));
    if (status == KernelStatus::kNoMemory) HostReportError(ctx, kTextAllocationError);
    return status == KernelStatus::kOk ? out.release() : nullptr;
  });
}

}  // namespace effects
