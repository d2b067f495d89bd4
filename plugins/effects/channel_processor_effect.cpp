// The Channel Processor: per-channel arithmetic on two inputs.
#include "channel_processor_kernel.h"
#include "composite_support.h"
#include "compositing_effects.h"
#include "effect_blocks.h"

namespace effects {

int32_t ChannelProcessorInit(HostCallContext*, void* data) {
  auto* d = static_cast<ChannelProcessorData*>(data);
  if (d == nullptr) return 1;
  for (int16_t c = 0; c < 4; ++c) {
    d->Operation[c] = 0;
    d->Operand1[c] = c;
    d->Operand2[c] = static_cast<int16_t>(c + 4);
    d->Mode[c] = 0;
  }
  return 1;
}

PIC* ChannelProcessorMake(HostCallContext* ctx, void* data, float, float, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const PIC* first = HostGetInputFrame(ctx, 0, t);
    const PIC* second = HostGetInputFrame(ctx, 1, t);
    if (!PicUsable(first) || !PicUsable(second)) return nullptr;
    lumetra::effects::ChannelProgram program;
    if (const auto* d = static_cast<const ChannelProcessorData*>(data); d != nullptr) {
      for (int c = 0; c < 4; ++c) {
        program.operation[c] = d->Operation[c];
        program.operand1[c] = d->Operand1[c];
        program.operand2[c] = d->Operand2[c];
        program.mode[c] = d->Mode[c];
      }
    }
    OutputPic out = NewPic(ctx, UnionOf(first, second), kTextNoMemory);
    if (!out) return nullptr;
    const KernelStatus status =
        lumetra::effects::ChannelProcess(PlacedOf(first), PlacedOf(second), PlacedOut(out.get()),
                                         program, MakeBands(), AbortOf(ctx));
    if (status == KernelStatus::kNoMemory) HostReportError(ctx, kTextNoMemory);
    return status == KernelStatus::kOk ? out.release() : nullptr;
  });
}

}  // namespace effects
