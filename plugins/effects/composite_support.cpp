#include "composite_support.h"

#include <algorithm>
#include <cmath>

#include "mix_kernel.h"

namespace effects {

PlacedView PlacedOf(const PIC* pic) {
  if (!PicUsable(pic)) return {};
  return {{pic->pixels, static_cast<std::ptrdiff_t>(pic->width) * 4, pic->width, pic->height},
          pic->x,
          pic->y};
}

PlacedImage PlacedOut(PIC* pic) {
  if (!PicUsable(pic)) return {};
  return {{pic->pixels, static_cast<std::ptrdiff_t>(pic->width) * 4, pic->width, pic->height},
          pic->x,
          pic->y};
}

AbortCheck AbortOf(HostCallContext* ctx) {
  return {[](void* c, double progress) {
            return HostCheckAbort(static_cast<HostCallContext*>(c), static_cast<float>(progress));
          },
          ctx};
}

FrameRect UnionOf(const PIC* a, const PIC* b) {
  const int32_t x0 = std::min<int32_t>(a->x, b->x);
  const int32_t y0 = std::min<int32_t>(a->y, b->y);
  const int32_t x1 = std::max<int32_t>(a->x + a->width, b->x + b->width);
  const int32_t y1 = std::max<int32_t>(a->y + a->height, b->y + b->height);
  return {x0, y0, x1 - x0, y1 - y0};
}

OutputPic NewPic(HostCallContext* ctx, const FrameRect& rect, const char* text) {
  // Sides and origins that a picture header cannot hold are refused like a failed
  // allocation rather than wrapped.
  const bool fits = rect.width >= 1 && rect.height >= 1 && rect.width <= INT16_MAX &&
                    rect.height <= INT16_MAX && rect.x >= INT16_MIN && rect.x <= INT16_MAX &&
                    rect.y >= INT16_MIN && rect.y <= INT16_MAX;
  OutputPic out(fits ? HostPicCreate(rect.width, rect.height) : nullptr);
  if (!out) {
    HostReportError(ctx, text);
    return out;
  }
  out->x = static_cast<int16_t>(rect.x);
  out->y = static_cast<int16_t>(rect.y);
  return out;
}

OutputPic CopyPic(HostCallContext* ctx, const PIC* in, const char* text) {
  if (!PicUsable(in)) {
    HostReportError(ctx, text);
    return {};
  }
  OutputPic out = NewPic(ctx, {in->x, in->y, in->width, in->height}, text);
  if (!out) return out;
  out->tag = in->tag;
  const PlacedView src = PlacedOf(in);
  const KernelStatus status =
      lumetra::effects::CopyRows(src.view, PlacedOut(out.get()).view, MakeBands(), AbortOf(ctx));
  if (status != KernelStatus::kOk) {
    if (status == KernelStatus::kNoMemory) HostReportError(ctx, text);
    return {};
  }
  return out;
}

float Unit(const KeyfloatKey* curve, float nt) {
  float v = 0.f;
  HostKeyfloatEvaluate(curve, nt, &v, nullptr, nullptr);
  return std::isnan(v) ? 0.f : std::clamp(v, 0.f, 1.f);
}

}  // namespace effects
