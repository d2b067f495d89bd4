// Crop: cuts the input by margins and/or a geometry, with soft edges, and can resize.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "composite_support.h"
#include "compositing_effects.h"
#include "crop_geometry.h"
#include "crop_kernel.h"
#include "effect_blocks.h"
#include "tent_blur.h"

namespace effects {
namespace {

constexpr int16_t kCropByGeometry = 1 << 0;
constexpr int16_t kCropManually = 1 << 1;
constexpr int16_t kCropByPicture = 1 << 10;
constexpr int32_t kCropResizeShift = 11;
constexpr int32_t kResizeToOriginal = 1;
constexpr int32_t kResizeToProject = 2;
constexpr int16_t kCropModeBySource = 1;
// The Blur effect's scale: a blur of 1 is 5/36 of the frame width.
constexpr double kBlurScale = 0.1388888888888889;
// Frame coordinates are kept within this before they become integers.
constexpr double kCoordinateLimit = 1e6;

double Bounded(double v) {
  return std::isnan(v) ? 0.0 : std::clamp(v, -kCoordinateLimit, kCoordinateLimit);
}
// Truncation toward zero, less 1 for a negative argument.
int32_t Fl(double v) {
  v = Bounded(v);
  const auto i = static_cast<int32_t>(v);
  return v < 0.0 ? i - 1 : i;
}
int32_t Trunc(double v) { return static_cast<int32_t>(Bounded(v)); }

float Value(const KeyfloatKey* curve, float nt) {
  float v = 0.f;
  HostKeyfloatEvaluate(curve, nt, &v, nullptr, nullptr);
  return std::isnan(v) ? 0.f : v;
}

}  // namespace

int32_t CropInit(HostCallContext*, void* data) {
  auto* d = static_cast<CropData*>(data);
  if (d == nullptr) return 1;
  d->Geo = nullptr;
  d->Flags = kCropManually;
  d->Mode = 0;
  HostKeyfloatKeySet(&d->l, 0.f, 1, 0.05f, 0.f, 0.f);
  HostKeyfloatKeySet(&d->r, 1.f, 1, 0.95f, 0.f, 0.f);
  HostKeyfloatKeySet(&d->t, 0.75f, 1, 0.95f, 0.f, 0.f);
  HostKeyfloatKeySet(&d->b, 0.25f, 1, 0.05f, 0.f, 0.f);
  HostKeyfloatKeySet(&d->Blur, 0.5f, 1, 0.f, 0.f, 0.f);
  return 1;
}

PIC* CropMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const PIC* in = HostGetInputFrame(ctx, 0, t);
    if (!PicUsable(in)) return nullptr;
    const auto* d = static_cast<const CropData*>(data);
    const int16_t flags = d != nullptr ? d->Flags : 0;
    const bool margins = (flags & kCropManually) != 0;
    const bool geometry = (flags & kCropByGeometry) != 0 && d != nullptr && d->Geo != nullptr;
    // The block holds the geometry field as an object handle.
    const auto geo = geometry ? reinterpret_cast<LumetraGeometry>(d->Geo) : nullptr;
    if (!margins && !geometry) return CopyPic(ctx, in, kTextNoMemory).release();

    int32_t fw = 0;
    int32_t fh = 0;
    if (!FrameSize(ctx, &fw, &fh)) {
      HostReportError(ctx, kTextIllegalParameter);
      return nullptr;
    }
    const double W = fw;
    const double H = fh;
    const float nt = NormalisedTime(from, to, t);
    const double blur = Unit(d->Blur, nt);

    const double ix = in->x, iy = in->y, iw = in->width, ih = in->height;
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double mx0 = 0, my0 = 0, mx1 = 0, my1 = 0;  // the margin rectangle, unrounded
    if (margins) {
      const double l = Value(d->l, nt), r = Value(d->r, nt);
      const double tp = Value(d->t, nt), b = Value(d->b, nt);
      if ((flags & kCropByPicture) != 0) {
        x0 = Trunc(ix + Trunc(iw * l + 0.0001));
        y0 = Trunc(iy + Trunc(ih * b + 0.0001));
        x1 = Trunc(ix + Trunc(iw * r + 0.9999));
        y1 = Trunc(iy + Trunc(ih * tp + 0.9999));
        mx0 = ix + iw * l, my0 = iy + ih * b, mx1 = ix + iw * r, my1 = iy + ih * tp;
      } else {
        x0 = std::max(Trunc(W * l + 0.0001), in->x + 0);
        y0 = std::max(Trunc(H * b + 0.0001), in->y + 0);
        x1 = std::min(Trunc(W * r + 0.0001), in->x + in->width);
        y1 = std::min(Trunc(H * tp + 0.0001), in->y + in->height);
        mx0 = W * l, my0 = H * b, mx1 = W * r, my1 = H * tp;
      }
    }
    if (geometry) {
      float box[4] = {0.f, 0.f, 0.f, 0.f};
      HostGeoGetBBox(ctx, geo, box, t);
      const int32_t gx0 = Trunc(box[0] + 0.0001), gy0 = Trunc(box[1] + 0.0001);
      const int32_t gx1 = Trunc(box[2] + 0.9999), gy1 = Trunc(box[3] + 0.9999);
      if (margins) {
        x0 = std::max(x0, gx0), y0 = std::max(y0, gy0);
        x1 = std::min(x1, gx1), y1 = std::min(y1, gy1);
      } else {
        x0 = gx0, y0 = gy0, x1 = gx1, y1 = gy1;
      }
    }
    const double rb = W * blur * kBlurScale;
    x0 = Fl(x0 - rb + 0.0001);
    y0 = Fl(y0 - rb + 0.0001);
    x1 = Fl(x1 + rb + 0.0001);
    y1 = Fl(y1 + rb + 0.0001);
    FrameRect rect{x0, y0, std::max(x1 - x0, 1), std::max(y1 - y0, 1)};

    OutputPic out = NewPic(ctx, rect, kTextNoMemory);
    if (!out) return nullptr;
    out->tag = in->tag;
    const size_t count = static_cast<size_t>(rect.width) * rect.height;
    for (size_t i = 0; i < count; ++i) out->pixels[4 * i + 3] = 255;
    if (geometry && !CropGeometryCoverage(ctx, geo, t, out.get())) return nullptr;
    const BandRunner bands = MakeBands();
    if (margins && lumetra::effects::MultiplyRectCoverage(PlacedOut(out.get()), mx0, my0, mx1,
                                                          my1, bands) != KernelStatus::kOk) {
      HostReportError(ctx, kTextNoMemory);
      return nullptr;
    }
    if (rb > 0.0) {
      OutputPic blurred = NewPic(ctx, rect, kTextNoMemory);
      if (!blurred) return nullptr;
      const KernelStatus status = lumetra::effects::TentBlur(
          PlacedOf(out.get()).view, PlacedOut(blurred.get()).view, rb,
          lumetra::effects::TentChannels::kAlpha, bands, AbortOf(ctx));
      if (status != KernelStatus::kOk) {
        if (status == KernelStatus::kNoMemory) HostReportError(ctx, kTextNoMemory);
        return nullptr;
      }
      blurred->tag = out->tag;
      out = std::move(blurred);
    }
    const bool by_source = d->Mode == kCropModeBySource;
    const KernelStatus status = lumetra::effects::CropComposite(
        PlacedOf(in), PlacedOut(out.get()), by_source, bands, AbortOf(ctx));
    if (status != KernelStatus::kOk) {
      if (status == KernelStatus::kNoMemory) HostReportError(ctx, kTextNoMemory);
      return nullptr;
    }

    const int32_t resize = (flags >> kCropResizeShift) & 3;
    if (resize != kResizeToOriginal && resize != kResizeToProject) return out.release();
    const LumetraRectF place =
        resize == kResizeToOriginal
            ? LumetraRectF{static_cast<float>(ix), static_cast<float>(iy),
                           static_cast<float>(ix + iw), static_cast<float>(iy + ih)}
            : LumetraRectF{0.f, 0.f, static_cast<float>(W), static_cast<float>(H)};
    PIC* scaled = HostPicPlaceInRect(out.get(), place);
    if (scaled == nullptr) HostReportError(ctx, kTextErrorScaling);
    return scaled;
  });
}

}  // namespace effects
