#include "pic_blur.h"

#include "runtime.h"

namespace effects {
namespace {

bool AbortAsked(void* context, double progress) {
  return HostCheckAbort(static_cast<HostCallContext*>(context), static_cast<float>(progress));
}

}  // namespace

PIC* PicTentBlur(HostCallContext* ctx, const PIC* in, double r,
                 lumetra::effects::TentChannels channels) {
  using lumetra::effects::KernelStatus;
  if (in == nullptr || in->pixels == nullptr || in->width < 1 || in->height < 1) return nullptr;
  OutputPic out(HostPicCreate(in->width, in->height));
  if (!out) {
    HostReportError(ctx, kTextNoMemory);
    return nullptr;
  }
  out->x = in->x;
  out->y = in->y;
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(in->width) * 4;
  const lumetra::effects::ConstImageView src(in->pixels, stride, in->width, in->height);
  const lumetra::effects::ImageView dst{out->pixels, stride, in->width, in->height};
  const KernelStatus status = lumetra::effects::TentBlur(
      src, dst, r, channels, MakeBands(), lumetra::effects::AbortCheck{AbortAsked, ctx});
  if (status == KernelStatus::kNoMemory) HostReportError(ctx, kTextNoMemory);
  return status == KernelStatus::kOk ? out.release() : nullptr;
}

}  // namespace effects
