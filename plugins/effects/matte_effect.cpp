// Matte (Sources/Solid Color): one colour and alpha over the frame, or over the pixels of
// a geometry's bounding box.
#include <algorithm>
#include <cmath>

#include "effect_blocks.h"
#include "fill_effects.h"
#include "runtime.h"

namespace effects {
namespace {

uint8_t UnitByte(float v) { return static_cast<uint8_t>((v > 0.f ? std::min(v, 1.f) : 0.f) * 255.f); }

// The pixel span [floor(lo), floor(hi - 0.001)] of a box side, kept inside what a picture
// can hold (origin in int16, sides 1 to 32767).
void Span(float lo, float hi, int32_t* origin, int32_t* size) {
  const double first = std::isfinite(lo) ? std::floor(static_cast<double>(lo)) : 0.0;
  const double last = std::isfinite(hi) ? std::floor(static_cast<double>(hi) - 0.001) : first;
  const double o = std::clamp(first, static_cast<double>(INT16_MIN), static_cast<double>(INT16_MAX));
  const double n = std::clamp(last - o + 1.0, 1.0, static_cast<double>(INT16_MAX));
  *origin = static_cast<int32_t>(o);
  *size = static_cast<int32_t>(n);
}

}  // namespace

PIC* MatteMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    static constexpr MatteData kEmpty{};
    const auto* d = data != nullptr ? static_cast<const MatteData*>(data) : &kEmpty;
    int32_t x = 0, y = 0, w = 0, h = 0;
    if (d->Geo != nullptr) {
      float box[4] = {0.f, 0.f, 0.f, 0.f};
      HostGeoGetBBox(ctx, reinterpret_cast<LumetraGeometry>(d->Geo), box, t);
      Span(box[0], box[2], &x, &w);
      Span(box[1], box[3], &y, &h);
    } else if (!FrameSize(ctx, &w, &h)) {
      HostReportError(ctx, kTextIllegalParameter);
      return nullptr;
    }
    OutputPic pic(HostPicCreate(w, h));
    if (!pic) {
      HostReportError(ctx, kTextAllocationError);
      return nullptr;
    }
    pic->x = static_cast<int16_t>(x);
    pic->y = static_cast<int16_t>(y);
    const float nt = NormalisedTime(from, to, t);
    float c[3], a;
    HostKeyfloatEvaluate(d->clr, nt, &c[0], &c[1], &c[2]);
    HostKeyfloatEvaluate(d->a, nt, &a, nullptr, nullptr);
    const uint8_t px[4] = {UnitByte(c[2]), UnitByte(c[1]), UnitByte(c[0]), UnitByte(a)};
    const size_t n = static_cast<size_t>(w) * h;
    for (size_t i = 0; i < n; ++i) std::copy(px, px + 4, pic->pixels + 4 * i);
    return pic.release();
  });
}

}  // namespace effects
