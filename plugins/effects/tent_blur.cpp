// Tent blur kernels. Weights, window sums and their exact reciprocals are worked out once
// per call; the row loops are plain integer loops over byte lanes that the compiler
// vectorises (an AVX2 clone is picked at run time where the processor has it). Integer
// arithmetic only, so every clone and every thread count gives the same bytes.
#include "tent_blur.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "exact_divide.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__)
#define EFFECTS_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define EFFECTS_KERNEL_CLONES
#endif

namespace lumetra::effects {

TentWeights TentWeightsFor(double r) {
  TentWeights t;
  t.w[0] = 256;
  if (!(r > 0.0)) return t;
  auto big = static_cast<int32_t>(std::min(r, static_cast<double>(kTentMaxRadius)));
  if (big < r) ++big;
  t.radius = std::min(big, kTentMaxRadius);
  for (int32_t d = 1; d <= t.radius; ++d) {
    t.w[d] = d <= r ? static_cast<int32_t>(256.0 - d * 256.0 / r) : 0;
  }
  return t;
}

double BlurRadius(int32_t image_width, float factor) {
  const float f = factor > 0.0f ? std::min(factor, 1.0f) : 0.0f;
  return static_cast<double>(image_width) * static_cast<double>(f) * 0.1388888888888889;
}

namespace {

// Lanes of one strip: the accumulators stay in the first-level cache while the taps run.
constexpr int32_t kStrip = 512;
// Rows between abort checks at most; fewer chunks when the picture is small.
constexpr int32_t kChunks = 8;

// Prefix sums of the weights beyond the centre: side[k] = w[1] + ... + w[k].
struct WindowSums {
  std::array<uint32_t, kTentMaxRadius + 1> side{};
  uint32_t Sum(const TentWeights& t, int32_t before, int32_t after) const {
    return static_cast<uint32_t>(t.w[0]) + side[static_cast<std::size_t>(std::min(before, t.radius))] +
           side[static_cast<std::size_t>(std::min(after, t.radius))];
  }
};

// acc[i] = w0 * c[i]; acc[i] += w * (a[i] + b[i]) per symmetric tap pair.
EFFECTS_KERNEL_CLONES
void VerticalStrip(const uint8_t* const* rows_below, const uint8_t* const* rows_above,
                   const uint8_t* centre, const int32_t* w, int32_t radius, int32_t n,
                   ExactDivisor q, uint8_t* out) {
  uint32_t acc[kStrip];
  const auto w0 = static_cast<uint32_t>(w[0]);
  for (int32_t i = 0; i < n; ++i) acc[i] = w0 * centre[i];
  for (int32_t k = 1; k <= radius; ++k) {
    const uint8_t* a = rows_below[k];
    const uint8_t* b = rows_above[k];
    const auto wk = static_cast<uint32_t>(w[k]);
    if (wk == 0) continue;
    for (int32_t i = 0; i < n; ++i) acc[i] += wk * static_cast<uint32_t>(a[i] + b[i]);
  }
  for (int32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(ExactDivide(acc[i], q));
}

// The same along a row of `step`-byte pixels held in `t`, padded with zeros on both sides.
EFFECTS_KERNEL_CLONES
void HorizontalStrip(const uint8_t* t, int32_t step, const int32_t* w, int32_t radius,
                     int32_t n, uint32_t* acc) {
  const auto w0 = static_cast<uint32_t>(w[0]);
  for (int32_t i = 0; i < n; ++i) acc[i] = w0 * t[i];
  for (int32_t k = 1; k <= radius; ++k) {
    const uint8_t* a = t - k * step;
    const uint8_t* b = t + k * step;
    const auto wk = static_cast<uint32_t>(w[k]);
    if (wk == 0) continue;
    for (int32_t i = 0; i < n; ++i) acc[i] += wk * static_cast<uint32_t>(a[i] + b[i]);
  }
}

EFFECTS_KERNEL_CLONES
void DivideLanes(const uint32_t* acc, int32_t n, ExactDivisor q, uint8_t* out) {
  for (int32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(ExactDivide(acc[i], q));
}

// One plane of `step`-byte pixels (4 for BGRA, 1 for alpha alone).
struct Plane {
  const uint8_t* src;
  std::ptrdiff_t src_stride;
  uint8_t* dst;
  std::ptrdiff_t dst_stride;
  int32_t width;
  int32_t height;
  int32_t step;
};

struct BlurJob {
  Plane plane;
  const TentWeights* t;
  WindowSums sums;
  ExactDivisor interior;               // horizontal divisor of a column with a full window
  std::vector<ExactDivisor> column;    // horizontal divisor per column
  const uint8_t* zeros;                // a row of zero bytes, as wide as a plane row
  int32_t row_offset = 0;              // first row of the chunk being run
  std::atomic<bool> failed{false};     // a band could not get its scratch memory

  void Band(int32_t begin, int32_t end);
};

void BlurJob::Band(int32_t begin, int32_t end) {
  const Plane& p = plane;
  const int32_t radius = t->radius;
  const int32_t lanes = p.width * p.step;
  const int32_t pad = radius * p.step;
  std::unique_ptr<uint8_t[]> padded(new (std::nothrow) uint8_t[static_cast<std::size_t>(lanes + 2 * pad)]);
  std::unique_ptr<uint32_t[]> acc(new (std::nothrow) uint32_t[kStrip]);
  if (!padded || !acc) {
    failed = true;
    return;
  }
  std::memset(padded.get(), 0, static_cast<std::size_t>(pad));
  std::memset(padded.get() + pad + lanes, 0, static_cast<std::size_t>(pad));
  const uint8_t* below[kTentMaxRadius + 1];
  const uint8_t* above[kTentMaxRadius + 1];
  begin += row_offset;
  end += row_offset;

  // Vertical pass, strip by strip so the window's rows stay in cache from row to row.
  for (int32_t x0 = 0; x0 < lanes; x0 += kStrip) {
    const int32_t n = std::min(kStrip, lanes - x0);
    for (int32_t y = begin; y < end; ++y) {
      for (int32_t k = 1; k <= radius; ++k) {
        below[k] = (y - k >= 0 ? p.src + (y - k) * p.src_stride : zeros) + x0;
        above[k] = (y + k < p.height ? p.src + (y + k) * p.src_stride : zeros) + x0;
      }
      const uint32_t den = sums.Sum(*t, y, p.height - 1 - y);
      VerticalStrip(below, above, p.src + y * p.src_stride + x0, t->w.data(), radius, n,
                    MakeExactDivisor(den), p.dst + y * p.dst_stride + x0);
    }
  }

  // Horizontal pass in place, each row through the zero-padded copy.
  const int32_t first_full = std::min(radius, p.width);
  const int32_t last_full = std::max(first_full, p.width - radius);  // columns [first, last)
  for (int32_t y = begin; y < end; ++y) {
    uint8_t* row = p.dst + y * p.dst_stride;
    std::memcpy(padded.get() + pad, row, static_cast<std::size_t>(lanes));
    for (int32_t x0 = 0; x0 < lanes; x0 += kStrip) {
      const int32_t n = std::min(kStrip, lanes - x0);
      HorizontalStrip(padded.get() + pad + x0, p.step, t->w.data(), radius, n, acc.get());
      // Full windows share one divisor; the columns near the edges have their own.
      const int32_t lo = std::clamp(first_full * p.step - x0, 0, n);
      const int32_t hi = std::clamp(last_full * p.step - x0, lo, n);
      DivideLanes(acc.get() + lo, hi - lo, interior, row + x0 + lo);
      for (int32_t i = 0; i < lo; ++i) {
        row[x0 + i] = static_cast<uint8_t>(ExactDivide(acc[i], column[(x0 + i) / p.step]));
      }
      for (int32_t i = hi; i < n; ++i) {
        row[x0 + i] = static_cast<uint8_t>(ExactDivide(acc[i], column[(x0 + i) / p.step]));
      }
    }
  }
}

KernelStatus RunPlane(BlurJob& job, const BandRunner& bands, const AbortCheck& abort) {
  const Plane& p = job.plane;
  const TentWeights& t = *job.t;
  for (int32_t k = 1; k <= t.radius; ++k) {
    job.sums.side[static_cast<std::size_t>(k)] =
        job.sums.side[static_cast<std::size_t>(k - 1)] + static_cast<uint32_t>(t.w[k]);
  }
  job.interior = MakeExactDivisor(job.sums.Sum(t, t.radius, t.radius));
  job.column.resize(static_cast<std::size_t>(p.width));
  for (int32_t x = 0; x < p.width; ++x) {
    job.column[static_cast<std::size_t>(x)] = MakeExactDivisor(job.sums.Sum(t, x, p.width - 1 - x));
  }
  const int64_t work = static_cast<int64_t>(p.width) * p.step * (2 * t.radius + 1) / 4;
  const int32_t chunk_rows = abort.fn ? std::max<int32_t>(1, (p.height + kChunks - 1) / kChunks)
                                      : p.height;
  for (int32_t y = 0; y < p.height; y += chunk_rows) {
    job.row_offset = y;
    const int32_t rows = std::min(chunk_rows, p.height - y);
    auto band = [&job](int32_t b, int32_t e) { job.Band(b, e); };
    RunBands(bands, rows, work, band);
    if (job.failed) return KernelStatus::kNoMemory;
    const int32_t done = y + rows;
    if (abort(p.height > 1 ? static_cast<double>(done - 1) / (p.height - 1) : 1.0)) {
      return KernelStatus::kAborted;
    }
  }
  return KernelStatus::kOk;
}

}  // namespace

KernelStatus TentBlur(const ConstImageView& src, const ImageView& dst, double r,
                      TentChannels channels, const BandRunner& bands, const AbortCheck& abort) {
  if (!ViewUsable(src) || !ViewUsable(dst) || src.width != dst.width || src.height != dst.height) {
    return KernelStatus::kNoMemory;
  }
  const TentWeights t = TentWeightsFor(r);
  const int32_t w = src.width;
  const int32_t h = src.height;
  try {
    if (channels == TentChannels::kAll) {
      if (t.radius == 0) {
        for (int32_t y = 0; y < h; ++y) std::memcpy(dst.Row(y), src.Row(y), static_cast<std::size_t>(w) * 4);
        return abort(1.0) ? KernelStatus::kAborted : KernelStatus::kOk;
      }
      std::vector<uint8_t> zeros(static_cast<std::size_t>(w) * 4, 0);
      BlurJob job{{src.base, src.stride, dst.base, dst.stride, w, h, 4}, &t, {}, {}, {},
                  zeros.data()};
      return RunPlane(job, bands, abort);
    }
    // Alpha only: blur a packed alpha plane, then merge it under the source colours.
    std::vector<uint8_t> alpha(static_cast<std::size_t>(w) * h);
    std::vector<uint8_t> blurred(static_cast<std::size_t>(w) * h);
    std::vector<uint8_t> zeros(static_cast<std::size_t>(w), 0);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* s = src.Row(y);
      uint8_t* a = alpha.data() + static_cast<std::size_t>(y) * w;
      for (int32_t x = 0; x < w; ++x) a[x] = s[4 * x + 3];
    }
    KernelStatus status = KernelStatus::kOk;
    if (t.radius == 0) {
      blurred = alpha;
    } else {
      BlurJob job{{alpha.data(), w, blurred.data(), w, w, h, 1}, &t, {}, {}, {}, zeros.data()};
      status = RunPlane(job, bands, abort);
    }
    if (status != KernelStatus::kOk) return status;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* s = src.Row(y);
      uint8_t* d = dst.Row(y);
      const uint8_t* a = blurred.data() + static_cast<std::size_t>(y) * w;
      std::memcpy(d, s, static_cast<std::size_t>(w) * 4);
      for (int32_t x = 0; x < w; ++x) d[4 * x + 3] = a[x];
    }
    return KernelStatus::kOk;
  } catch (const std::bad_alloc&) {
    return KernelStatus::kNoMemory;
  }
}

}  // namespace lumetra::effects
