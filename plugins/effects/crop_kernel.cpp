#include "crop_kernel.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace lumetra::effects {
namespace {

// The part of [p, p + 1) inside [lo, hi), 0..1.
inline double Covered(double p, double lo, double hi) {
  const double c = std::min(p + 1.0, hi) - std::max(p, lo);
  return std::isnan(c) ? 0.0 : std::clamp(c, 0.0, 1.0);
}

}  // namespace

KernelStatus MultiplyRectCoverage(const PlacedImage& out, double x0, double y0, double x1,
                                  double y1, const BandRunner& bands) {
  if (!ViewUsable(out.view)) return KernelStatus::kNoMemory;
  const int32_t w = out.view.width;
  std::vector<double> column(static_cast<size_t>(w));
  for (int32_t x = 0; x < w; ++x) column[static_cast<size_t>(x)] = Covered(out.x + x, x0, x1);
  auto band = [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      const double cy = Covered(out.y + y, y0, y1);
      uint8_t* o = out.view.Row(y);
      for (int32_t x = 0; x < w; ++x) {
        const double c = column[static_cast<size_t>(x)] * cy;
        if (c < 1.0) o[4 * x + 3] = static_cast<uint8_t>(o[4 * x + 3] * c);
      }
    }
  };
  return RunChunked(out.view.height, w, bands, {}, band);
}

KernelStatus CropComposite(const PlacedView& input, const PlacedImage& out, bool by_source,
                           const BandRunner& bands, const AbortCheck& abort) {
  if (!ViewUsable(out.view)) return KernelStatus::kNoMemory;
  const int32_t w = out.view.width;
  const Span s = SpanOf(out.x, w, input.x, input.view.width);
  auto band = [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      uint8_t* o = out.view.Row(y);
      const uint8_t* r = RowAt(input, out.y, y);
      if (r == nullptr) {
        if (by_source) {
          for (int32_t x = 0; x < w; ++x) o[4 * x + 3] = 0;
        }
        continue;
      }
      for (int32_t x = 0; x < s.begin; ++x) o[4 * x + 3] = 0;
      for (int32_t x = s.end; x < w; ++x) o[4 * x + 3] = 0;
      const uint8_t* p = r + 4 * static_cast<size_t>(s.source_column);
      for (int32_t x = s.begin; x < s.end; ++x, p += 4) {
        uint8_t* d = o + 4 * static_cast<size_t>(x);
        d[0] = p[0];
        d[1] = p[1];
        d[2] = p[2];
        if (by_source) d[3] = static_cast<uint8_t>(d[3] * p[3] / 255);
      }
    }
  };
  return RunChunked(out.view.height, w, bands, abort, band);
}

}  // namespace lumetra::effects
