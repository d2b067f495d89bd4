// Tent blur kernels. Weights, window sums and their exact reciprocals are worked out once
// per call. Rows go in blocks: the vertical pass runs strip by strip over a block into a
// zero-padded buffer (the window's rows stay in cache from row to row), then the
// horizontal pass runs over each buffered row, so the edge columns differ from the
// interior only in their divisor. A window whose sums fit 16 bits goes row by row instead
// (both passes while the row is in the first-level cache) through the 16-bit lanes, where
// its divisors allow. Integer arithmetic only, so every thread count and every
// instruction set gives the same bytes.
#include "tent_blur.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "exact_divide.h"
#include "tent_lanes.h"
#include "tent_short_lanes.h"

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

// Rows of one block, and the bytes of window rows one vertical strip may span: a strip
// of the window stays in the second-level cache from row to row, and a narrow window
// takes whole rows, which the hardware prefetch follows best.
constexpr int32_t kBlockRows = 16;
constexpr int32_t kStripBudget = 192 * 1024;
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
  Plane plane{};
  const TentWeights* t = nullptr;
  LaneTaps taps;
  ShortTaps short_taps;                // count > 0: 16-bit lanes where the divisor allows
  ShortDivisor short_interior;
  std::vector<ShortDivisor> short_row;
  WindowSums sums;
  ExactDivisor interior;               // horizontal divisor of a column with a full window
  int32_t left = 0, right = 0;         // lanes of columns with a full horizontal window
  std::vector<ExactDivisor> edge_div;  // horizontal divisor per lane outside [left, right)
  std::vector<ExactDivisor> row;       // vertical divisor per row
  const uint8_t* zeros = nullptr;      // a row of zero bytes, as wide as a plane row
  int32_t row_offset = 0;              // first row of the chunk being run
  std::atomic<bool> failed{false};     // a band could not get its scratch memory

  void Band(int32_t begin, int32_t end);
};

void BlurJob::Band(int32_t begin, int32_t end) {
  const Plane& p = plane;
  const int32_t n = taps.count;
  const int32_t lanes = p.width * p.step;
  const int32_t pad = t->radius * p.step;
  const std::ptrdiff_t buf_stride = lanes + 2 * pad;
  // A small window's two passes go row by row, so the buffered row stays in the first-level
  // cache between them.
  const bool short_path = short_taps.count > 0;
  const int32_t block = short_path ? 1 : kBlockRows;
  std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[static_cast<std::size_t>(buf_stride) * block]);
  std::unique_ptr<uint32_t[]> edge(new (std::nothrow) uint32_t[static_cast<std::size_t>(2 * pad)]);
  if (!buf || !edge) {
    failed = true;
    return;
  }
  for (int32_t r = 0; r < block; ++r) {
    std::memset(buf.get() + r * buf_stride, 0, static_cast<std::size_t>(pad));
    std::memset(buf.get() + r * buf_stride + pad + lanes, 0, static_cast<std::size_t>(pad));
  }
  const uint8_t* lo[kTentMaxRadius];
  const uint8_t* hi[kTentMaxRadius];
  begin += row_offset;
  end += row_offset;
  if (n == 0) {
    // No side tap with a weight: every window sum is 256 times the centre.
    for (int32_t y = begin; y < end; ++y) {
      std::memcpy(p.dst + y * p.dst_stride, p.src + y * p.src_stride, static_cast<std::size_t>(lanes));
    }
    return;
  }
  const int32_t left = this->left, right = this->right;
  const int32_t strip = std::max(1024, kStripBudget / (block + 2 * t->radius) / 64 * 64);
  for (int32_t y0 = begin; y0 < end; y0 += block) {
    const int32_t y1 = std::min(end, y0 + block);
    for (int32_t x0 = 0; x0 < lanes; x0 += strip) {
      const int32_t x1 = std::min(lanes, x0 + strip);
      for (int32_t y = y0; y < y1; ++y) {
        for (int32_t j = 0; j < n; ++j) {
          const int32_t d = taps.dist[j];
          lo[j] = y - d >= 0 ? p.src + (y - d) * p.src_stride : zeros;
          hi[j] = y + d < p.height ? p.src + (y + d) * p.src_stride : zeros;
        }
        uint8_t* into = buf.get() + (y - y0) * buf_stride + pad + x0;
        if (short_path && short_row[static_cast<std::size_t>(y)].exact) {
          ShortLanes(p.src + y * p.src_stride, lo, hi, short_taps, x0, x1, short_row[static_cast<std::size_t>(y)],
                     into);
        } else {
          TentLanes<true>(p.src + y * p.src_stride, lo, hi, taps, x0, x1, row[static_cast<std::size_t>(y)], into,
                          nullptr);
        }
      }
    }
    for (int32_t y = y0; y < y1; ++y) {
      // Outside the row the buffer holds zeros, which add nothing to a sum.
      const uint8_t* c = buf.get() + (y - y0) * buf_stride + pad;
      for (int32_t j = 0; j < n; ++j) {
        lo[j] = c - taps.dist[j] * p.step;
        hi[j] = c + taps.dist[j] * p.step;
      }
      uint8_t* out = p.dst + y * p.dst_stride;
      if (short_path) {
        ShortLanes(c, lo, hi, short_taps, left, right, short_interior, out + left);
      } else {
        TentLanes<true>(c, lo, hi, taps, left, right, interior, out + left, nullptr);
      }
      TentLanes<false>(c, lo, hi, taps, 0, left, {}, nullptr, edge.get());
      TentLanes<false>(c, lo, hi, taps, right, lanes, {}, nullptr, edge.get() + left);
      for (int32_t i = 0; i < left; ++i) {
        out[i] = static_cast<uint8_t>(ExactDivide(edge[static_cast<std::size_t>(i)], edge_div[static_cast<std::size_t>(i)]));
      }
      for (int32_t i = right, k = left; i < lanes; ++i, ++k) {
        out[i] = static_cast<uint8_t>(ExactDivide(edge[static_cast<std::size_t>(k)], edge_div[static_cast<std::size_t>(k)]));
      }
    }
  }
}

// The alpha bytes of a BGRA row, packed.
void AlphaOut(const uint8_t* s, uint8_t* a, int32_t w) {
  int32_t x = 0;
#if TENT_LANES_X86
  for (; x + 16 <= w; x += 16) {
    const auto* v = reinterpret_cast<const __m128i*>(s + 4 * x);
    const __m128i p0 = _mm_srli_epi32(_mm_loadu_si128(v), 24), p1 = _mm_srli_epi32(_mm_loadu_si128(v + 1), 24);
    const __m128i p2 = _mm_srli_epi32(_mm_loadu_si128(v + 2), 24), p3 = _mm_srli_epi32(_mm_loadu_si128(v + 3), 24);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + x),
                     _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3)));
  }
#endif
  for (; x < w; ++x) a[x] = s[4 * x + 3];
}

// A BGRA row with its alpha bytes taken from a packed row.
void AlphaIn(const uint8_t* s, const uint8_t* a, uint8_t* d, int32_t w) {
  int32_t x = 0;
#if TENT_LANES_X86
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  const __m128i z = _mm_setzero_si128();
  for (; x + 16 <= w; x += 16) {
    const auto* v = reinterpret_cast<const __m128i*>(s + 4 * x);
    auto* o = reinterpret_cast<__m128i*>(d + 4 * x);
    const __m128i av = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i lo = _mm_unpacklo_epi8(z, av), hi = _mm_unpackhi_epi8(z, av);
    const __m128i q[4] = {_mm_unpacklo_epi16(z, lo), _mm_unpackhi_epi16(z, lo), _mm_unpacklo_epi16(z, hi),
                          _mm_unpackhi_epi16(z, hi)};
    for (int32_t k = 0; k < 4; ++k) {
      _mm_storeu_si128(o + k, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(v + k), colour), q[k]));
    }
  }
#endif
  for (; x < w; ++x) {
    std::memcpy(d + 4 * x, s + 4 * x, 3);
    d[4 * x + 3] = a[x];
  }
}

KernelStatus RunPlane(BlurJob& job, const BandRunner& bands, const AbortCheck& abort) {
  const Plane& p = job.plane;
  const TentWeights& t = *job.t;
  for (int32_t k = 1; k <= t.radius; ++k) {
    job.sums.side[static_cast<std::size_t>(k)] =
        job.sums.side[static_cast<std::size_t>(k - 1)] + static_cast<uint32_t>(t.w[k]);
  }
  job.taps = LaneTapsFor(t);
  job.interior = MakeExactDivisor(job.sums.Sum(t, t.radius, t.radius));
  job.left = std::min(t.radius, p.width) * p.step;
  job.right = std::max(job.left, (p.width - t.radius) * p.step);
  const int32_t lanes = p.width * p.step;
  // A multiply where the edge lanes used to divide.
  job.edge_div.clear();
  auto edge_lane = [&](int32_t i) {
    const int32_t x = i / p.step;
    job.edge_div.push_back(MakeExactDivisor(job.sums.Sum(t, x, p.width - 1 - x)));
  };
  for (int32_t i = 0; i < job.left; ++i) edge_lane(i);
  for (int32_t i = job.right; i < lanes; ++i) edge_lane(i);
  job.row.resize(static_cast<std::size_t>(p.height));
  for (int32_t y = 0; y < p.height; ++y) {
    job.row[static_cast<std::size_t>(y)] = MakeExactDivisor(job.sums.Sum(t, y, p.height - 1 - y));
  }
  job.short_taps = ShortTapsFor(t);
  if (job.short_taps.count > 0) {
    const auto factor = static_cast<uint32_t>(job.short_taps.factor);
    const uint32_t full = job.sums.Sum(t, t.radius, t.radius);
    job.short_interior = MakeShortDivisor(full / factor);
    if (!job.short_interior.exact) job.short_taps.count = 0;
  }
  if (job.short_taps.count > 0) {
    // Only rows within the radius of an edge have their own divisor.
    const uint32_t full = job.sums.Sum(t, t.radius, t.radius);
    job.short_row.resize(static_cast<std::size_t>(p.height));
    for (int32_t y = 0; y < p.height; ++y) {
      const uint32_t sum = job.sums.Sum(t, y, p.height - 1 - y);
      job.short_row[static_cast<std::size_t>(y)] =
          sum == full ? job.short_interior : MakeShortDivisor(sum / static_cast<uint32_t>(job.short_taps.factor));
    }
  }
  const int64_t work = static_cast<int64_t>(p.width) * p.step * (job.taps.count + 1) / 8;
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
  const bool copy = t.radius == 0;
  auto run = [&](const Plane& plane, const uint8_t* zeros) {
    BlurJob job;
    job.plane = plane;
    job.t = &t;
    job.zeros = zeros;
    return RunPlane(job, bands, abort);
  };
  try {
    if (channels == TentChannels::kAll) {
      if (copy) {
        for (int32_t y = 0; y < h; ++y) std::memcpy(dst.Row(y), src.Row(y), static_cast<std::size_t>(w) * 4);
        return abort(1.0) ? KernelStatus::kAborted : KernelStatus::kOk;
      }
      std::vector<uint8_t> zeros(static_cast<std::size_t>(w) * 4, 0);
      return run({src.base, src.stride, dst.base, dst.stride, w, h, 4}, zeros.data());
    }
    // Alpha only: blur a packed alpha plane, then merge it under the source colours.
    std::vector<uint8_t> alpha(static_cast<std::size_t>(w) * h);
    std::vector<uint8_t> blurred(static_cast<std::size_t>(w) * h);
    std::vector<uint8_t> zeros(static_cast<std::size_t>(w), 0);
    for (int32_t y = 0; y < h; ++y) AlphaOut(src.Row(y), alpha.data() + static_cast<std::size_t>(y) * w, w);
    KernelStatus status = KernelStatus::kOk;
    if (copy) {
      blurred = alpha;
    } else {
      status = run({alpha.data(), w, blurred.data(), w, w, h, 1}, zeros.data());
    }
    if (status != KernelStatus::kOk) return status;
    for (int32_t y = 0; y < h; ++y) AlphaIn(src.Row(y), blurred.data() + static_cast<std::size_t>(y) * w, dst.Row(y), w);
    return KernelStatus::kOk;
  } catch (const std::bad_alloc&) {
    return KernelStatus::kNoMemory;
  }
}

}  // namespace lumetra::effects
