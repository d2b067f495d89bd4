// Spread kernel. Output rows are independent: each band keeps one row of 64-bit sums and
// runs every copy over it, so the accumulator stays small and no sum can overflow.
#include "spread.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace lumetra::effects {

SpreadMethod SpreadMethodFrom(int32_t stored) {
  return stored >= 0 && stored <= 3 ? static_cast<SpreadMethod>(stored) : SpreadMethod::kLinear;
}

double SpreadClampLength(double length) {
  if (std::isnan(length)) return 0.0;
  return std::clamp(length, -kSpreadMaxLength, kSpreadMaxLength);
}

namespace {

int32_t IntegerPart(double v) {
  return static_cast<int32_t>(v >= 0.0 ? v + 0.0001 : v - 0.9999);
}

bool Manual(SpreadMethod m) {
  return m == SpreadMethod::kManual || m == SpreadMethod::kManualAdditive;
}

}  // namespace

std::vector<SpreadStep> SpreadSteps(double length, double angle, SpreadMethod method,
                                    float (*weight_at)(void* context, double t),
                                    void* context) {
  const double len = SpreadClampLength(length);
  const double a = std::isfinite(angle) ? angle : 0.0;
  const auto n = static_cast<int32_t>(std::fabs(len)) + 1;
  const double sx = -len * std::cos(a) * 0.5;
  const double sy = -len * std::sin(a) * 0.5;
  std::vector<SpreadStep> steps(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const double t = n < 2 ? 0.0 : static_cast<double>(i) / (n - 1);
    const double dx = n < 2 ? 0.0 : sx + (-sx - sx) * t;
    const double dy = n < 2 ? 0.0 : sy + (-sy - sy) * t;
    SpreadStep& s = steps[static_cast<std::size_t>(i)];
    if (Manual(method)) {
      float v = weight_at != nullptr ? weight_at(context, t) : 1.0f;
      v = v > 0.0f ? std::min(v, 1.0f) : 0.0f;
      s.weight = static_cast<int32_t>(static_cast<double>(v) * 255.0 + 0.01);
    }
    s.ix = IntegerPart(dx);
    s.iy = IntegerPart(dy);
    const double fx = std::fabs(dx - s.ix);
    const double fy = std::fabs(dy - s.iy);
    s.wc = static_cast<int32_t>(4096.0 * (1.0 - fx) * (1.0 - fy));
    s.wa = static_cast<int32_t>(4096.0 * fx * (1.0 - fy));
    s.wb = static_cast<int32_t>(4096.0 * fy * (1.0 - fx));
    s.wd = 4096 - s.wa - s.wb - s.wc;
  }
  return steps;
}

namespace {

struct SpreadJob {
  const uint8_t* padded;  // src with one zero pixel around it
  std::ptrdiff_t padded_stride;
  ImageView dst;
  int32_t width, height;
  const std::vector<SpreadStep>* steps;
  SpreadMethod method;
  int32_t row_offset = 0;
  std::atomic<bool> failed{false};

  // P(x, y) for x in -1..width, y in -1..height.
  const uint8_t* Row(int32_t y) const { return padded + (y + 1) * padded_stride + 4; }
  void Band(int32_t begin, int32_t end);
};

// sample = wd P(x-1, y-1) + wa P(x-1, y) + wb P(x, y-1) + wc P(x, y) per lane, so the copy
// is sampled at X - (dx, dy) and a zero shift is the identity.
template <SpreadMethod M>
void AddCopy(const uint8_t* r0, const uint8_t* r1, const SpreadStep& s, int32_t lanes,
             uint64_t* sum, uint32_t* wsum) {
  const auto wa = static_cast<uint32_t>(s.wa), wb = static_cast<uint32_t>(s.wb);
  const auto wc = static_cast<uint32_t>(s.wc), wd = static_cast<uint32_t>(s.wd);
  const auto w = static_cast<uint32_t>(s.weight);
  for (int32_t j = 0; j < lanes; ++j) {
    const uint32_t sample = wd * r1[j - 4] + wa * r0[j - 4] + wb * r1[j] + wc * r0[j];
    if constexpr (M == SpreadMethod::kLinear) {
      sum[j] += sample;
    } else if constexpr (M == SpreadMethod::kAdditive) {
      sum[j] = std::max<uint64_t>(sum[j], sample);
    } else if constexpr (M == SpreadMethod::kManual) {
      sum[j] += static_cast<uint64_t>(w) * sample / 255;
    } else {
      sum[j] = std::max<uint64_t>(sum[j], static_cast<uint64_t>(w) * sample / 255);
    }
  }
  const int32_t pixels = lanes / 4;
  for (int32_t x = 0; x < pixels; ++x) {
    if constexpr (M == SpreadMethod::kLinear) {
      wsum[x] += 4096;
    } else if constexpr (M == SpreadMethod::kManual) {
      wsum[x] += w * 4096 / 255;
    } else {
      wsum[x] = 4096;
    }
  }
}

template <SpreadMethod M>
void BandFor(SpreadJob& job, int32_t begin, int32_t end, uint64_t* sum, uint32_t* wsum) {
  const int32_t w = job.width;
  for (int32_t y = begin; y < end; ++y) {
    std::fill(sum, sum + 4 * static_cast<std::ptrdiff_t>(w), uint64_t{0});
    std::fill(wsum, wsum + w, 0u);
    for (const SpreadStep& s : *job.steps) {
      // Rows y - iy - 1 and y - iy, columns x - ix - 1 and x - ix: one of each inside.
      const int32_t sy = y - s.iy;
      if (sy < 0 || sy > job.height) continue;
      const int32_t x0 = std::max(0, s.ix);
      const int32_t x1 = std::min(w - 1, s.ix + w);
      if (x0 > x1) continue;
      const uint8_t* r0 = job.Row(sy) + 4 * (x0 - s.ix);
      const uint8_t* r1 = job.Row(sy - 1) + 4 * (x0 - s.ix);
      AddCopy<M>(r0, r1, s, 4 * (x1 - x0 + 1), sum + 4 * x0, wsum + x0);
    }
    uint8_t* out = job.dst.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      for (int32_t c = 0; c < 4; ++c) {
        const uint64_t v = wsum[x] == 0 ? 0 : sum[4 * x + c] / wsum[x];
        out[4 * x + c] = static_cast<uint8_t>(std::min<uint64_t>(v, 255));
      }
    }
  }
}

void SpreadJob::Band(int32_t begin, int32_t end) {
  std::unique_ptr<uint64_t[]> sum(new (std::nothrow) uint64_t[4 * static_cast<std::size_t>(width)]);
  std::unique_ptr<uint32_t[]> wsum(new (std::nothrow) uint32_t[static_cast<std::size_t>(width)]);
  if (!sum || !wsum) {
    failed = true;
    return;
  }
  begin += row_offset;
  end += row_offset;
  switch (method) {
    case SpreadMethod::kLinear: BandFor<SpreadMethod::kLinear>(*this, begin, end, sum.get(), wsum.get()); break;
    case SpreadMethod::kAdditive: BandFor<SpreadMethod::kAdditive>(*this, begin, end, sum.get(), wsum.get()); break;
    case SpreadMethod::kManual: BandFor<SpreadMethod::kManual>(*this, begin, end, sum.get(), wsum.get()); break;
    case SpreadMethod::kManualAdditive:
      BandFor<SpreadMethod::kManualAdditive>(*this, begin, end, sum.get(), wsum.get());
      break;
  }
}

}  // namespace

KernelStatus Spread(const ConstImageView& src, const ImageView& dst,
                    const std::vector<SpreadStep>& steps, SpreadMethod method,
                    const BandRunner& bands, const AbortCheck& abort) {
  if (!ViewUsable(src) || !ViewUsable(dst) || src.width != dst.width || src.height != dst.height) {
    return KernelStatus::kNoMemory;
  }
  const int32_t w = src.width, h = src.height;
  const std::ptrdiff_t stride = (static_cast<std::ptrdiff_t>(w) + 2) * 4;
  std::unique_ptr<uint8_t[]> padded(new (std::nothrow) uint8_t[static_cast<std::size_t>(stride) * (h + 2)]());
  if (!padded) return KernelStatus::kNoMemory;
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(padded.get() + (y + 1) * stride + 4, src.Row(y), static_cast<std::size_t>(w) * 4);
  }
  SpreadJob job{padded.get(), stride, dst, w, h, &steps, method};
  const int64_t work = static_cast<int64_t>(w) * static_cast<int64_t>(std::max<std::size_t>(steps.size(), 1));
  const int32_t chunk_rows = abort.fn ? std::max<int32_t>(1, (h + 7) / 8) : h;
  for (int32_t y = 0; y < h; y += chunk_rows) {
    job.row_offset = y;
    const int32_t rows = std::min(chunk_rows, h - y);
    auto band = [&job](int32_t b, int32_t e) { job.Band(b, e); };
    RunBands(bands, rows, work, band);
    if (job.failed) return KernelStatus::kNoMemory;
    if (abort(h > 1 ? static_cast<double>(y + rows - 1) / (h - 1) : 1.0)) return KernelStatus::kAborted;
  }
  return KernelStatus::kOk;
}

}  // namespace lumetra::effects
