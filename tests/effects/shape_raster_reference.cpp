// The shape raster as first written, kept for the tests only: crossings gathered per
// 64-line chunk and sorted there, then full edge-sample planes for every pixel and the
// coverage rules run over all of them. The fast raster must give the same bytes.
#include "shape_raster_reference.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

namespace lumetra::effects::reference {
namespace {

// A monotonic piece of a record and the lines [l0, l1) (relative to the first) it reaches,
// ends included.
struct Piece {
  const SegmentRecord* record;
  float ta, tb, pa, pb;
  int32_t l0, l1;
};

std::vector<Piece> PiecesOf(const std::vector<SegmentRecord>& records, int32_t first,
                            int32_t count) {
  std::vector<Piece> pieces;
  pieces.reserve(records.size() * 2);
  for (const SegmentRecord& r : records) {
    float cuts[4] = {0.f, 0.f, 0.f, 1.f};
    int n = 1;
    if (r.s1 >= 0.f) cuts[n++] = r.s1;
    if (r.s2 >= 0.f) cuts[n++] = r.s2;
    cuts[n] = 1.f;
    for (int i = 0; i < n; ++i) {
      Piece p{&r, cuts[i], cuts[i + 1], 0.f, 0.f, 0, 0};
      p.pa = r.cross.Hermite(p.ta);
      p.pb = r.cross.Hermite(p.tb);
      const double lo = std::min(p.pa, p.pb), hi = std::max(p.pa, p.pb);
      // Flat pieces never cross; a line at a shared end belongs to one piece only.
      if (!(lo < hi) || !std::isfinite(lo) || !std::isfinite(hi)) continue;
      const double l0 = std::max(std::ceil(lo) - first, 0.0);
      const double l1 = std::min(std::floor(hi) + 1.0 - first, static_cast<double>(count));
      if (!(l0 < l1)) continue;
      p.l0 = static_cast<int32_t>(l0);
      p.l1 = static_cast<int32_t>(l1);
      pieces.push_back(p);
    }
  }
  return pieces;
}

float Bisect(const Piece& p, float line) {
  // A piece ending on the line crosses it at that end.
  if (line == p.pa) return p.record->other.Hermite(p.ta);
  if (line == p.pb) return p.record->other.Hermite(p.tb);
  const HermiteAxis& h = p.record->cross;
  const bool rising = p.pb >= p.pa;
  float ta = p.ta, tb = p.tb;
  float t = (ta + tb) * 0.5f;
  for (;;) {
    if (std::fabs(tb - ta) < 1e-6f) break;
    const float f = ((h.a * t + h.b) * t + h.c) * t + h.d - line;
    if ((rising && f < 0.f) || (!rising && f > 0.f)) {
      ta = t;
    } else {
      tb = t;
    }
    t = (ta + tb) * 0.5f;
    if (std::fabs(f) < 0.0001f) break;
  }
  return p.record->other.Hermite(t);
}

constexpr int32_t kLinesPerChunk = 64;

constexpr uint8_t kAbove = 1, kBelow = 2;

struct Hit {
  int32_t line;
  float value;
  uint8_t seen;  // kAbove, kBelow or both
  bool operator<(const Hit& o) const { return line != o.line ? line < o.line : value < o.value; }
};

void Gather(const std::vector<std::vector<Hit>>& hits, int32_t count, uint8_t side,
            CrossingList* out) {
  out->offset.assign(static_cast<size_t>(count) + 1, 0u);
  for (const auto& chunk : hits) {
    for (const Hit& h : chunk) {
      if ((h.seen & side) == 0) continue;
      ++out->offset[static_cast<size_t>(h.line) + 1];
      out->value.push_back(h.value);
    }
  }
  for (int32_t i = 0; i < count; ++i) {
    out->offset[static_cast<size_t>(i) + 1] += out->offset[static_cast<size_t>(i)];
  }
}

}  // namespace

LineCrossings CrossLines(const std::vector<SegmentRecord>& records, int32_t first, int32_t count,
                         const BandRunner& bands) {
  LineCrossings out;
  out.first = first;
  out.count = std::max(count, 0);
  if (count <= 0) {
    out.above.offset.assign(1, 0u);
    out.below.offset.assign(1, 0u);
    return out;
  }
  const std::vector<Piece> pieces = PiecesOf(records, first, count);
  const int32_t chunks = (count + kLinesPerChunk - 1) / kLinesPerChunk;
  std::vector<std::vector<Hit>> hits(static_cast<size_t>(chunks));
  std::atomic<bool> no_memory{false};
  auto band = [&](int32_t begin, int32_t end) {
    for (int32_t c = begin; c < end; ++c) {
      const int32_t c0 = c * kLinesPerChunk, c1 = std::min(count, c0 + kLinesPerChunk);
      std::vector<Hit>& mine = hits[static_cast<size_t>(c)];
      try {
        for (const Piece& p : pieces) {
          const int32_t l0 = std::max(p.l0, c0), l1 = std::min(p.l1, c1);
          const float lo = std::min(p.pa, p.pb), hi = std::max(p.pa, p.pb);
          for (int32_t l = l0; l < l1; ++l) {
            const auto line = static_cast<float>(first + l);
            const auto seen =
                static_cast<uint8_t>((line < hi ? kAbove : 0) | (line > lo ? kBelow : 0));
            const float v = Bisect(p, line);
            if (std::isfinite(v)) mine.push_back({l, v, seen});
          }
        }
        std::sort(mine.begin(), mine.end());
      } catch (const std::bad_alloc&) {
        no_memory = true;
        return;
      }
    }
  };
  RunBands(bands, chunks, static_cast<int64_t>(pieces.size()) * 8, band);
  if (no_memory) throw std::bad_alloc();
  Gather(hits, count, kAbove, &out.above);
  Gather(hits, count, kBelow, &out.below);
  return out;
}

namespace {

void AddSample(uint8_t* sample, float part) {
  const auto v = static_cast<uint32_t>(part * 255.f);
  *sample = static_cast<uint8_t>(std::min<uint32_t>(*sample + v, 255));
}

// One line's pairs of crossings as edge samples along it, positions origin .. origin +
// extent (extent + 1 samples). Each pair adds what it covers of a pixel, so an empty pair
// adds nothing and a pair inside one pixel adds its own length.
void LineSamples(const float* c, const float* end, int32_t origin, int32_t extent,
                 uint8_t* samples) {
  const int64_t n = (end - c) & ~int64_t{1};  // an unpaired last crossing is ignored
  const auto lo = static_cast<float>(origin), hi = static_cast<float>(origin + extent);
  for (int64_t k = 0; k < n; k += 2) {
    float s = c[k], e = c[k + 1];
    if (s > hi) break;
    if (e < lo && s < lo) continue;
    s = std::max(s, lo);
    e = std::min(e, hi);
    if (!(e > s)) continue;
    const auto i = static_cast<int32_t>(std::floor(s));
    const auto j = static_cast<int32_t>(std::floor(e));
    if (i == j) {
      AddSample(samples + (i - origin), e - s);
      continue;
    }
    AddSample(samples + (i - origin), 1.f - (s - static_cast<float>(i)));
    const float out = e - static_cast<float>(j);
    if (out > 0.f) AddSample(samples + (j - origin), out);
    if (j - 1 >= i + 1)
      std::memset(samples + (i + 1 - origin), 255, static_cast<size_t>(j - 1 - i));
  }
}

constexpr int32_t kTileRows = 64;

uint64_t Load8(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Edge samples of every target pixel: lower and upper per pixel row (W + 1 positions each),
// left and right per pixel column (H + 1 positions each).
struct EdgePlanes {
  int32_t w, h;
  std::vector<uint8_t> lower, upper, left, right;

  EdgePlanes(int32_t width, int32_t height)
      : w(width),
        h(height),
        lower(RowBytes() * static_cast<size_t>(height), 0),
        upper(RowBytes() * static_cast<size_t>(height), 0),
        left(ColumnBytes() * static_cast<size_t>(width), 0),
        right(ColumnBytes() * static_cast<size_t>(width), 0) {}
  size_t RowBytes() const { return static_cast<size_t>(w) + 1; }
  size_t ColumnBytes() const { return static_cast<size_t>(h) + 1; }
};

struct CoverJob {
  const ImageView* pic;
  const EdgePlanes* planes;
  uint32_t colour;
  std::atomic<bool> no_memory{false};

  void Band(int32_t begin, int32_t end) {
    const int32_t w = pic->width;
    const size_t rstride = planes->RowBytes(), cstride = planes->ColumnBytes();
    std::vector<uint8_t> tile_l, tile_r;
    try {
      tile_l.resize(static_cast<size_t>(kTileRows) * rstride);
      tile_r.resize(static_cast<size_t>(kTileRows) * rstride);
    } catch (const std::bad_alloc&) {
      no_memory = true;
      return;
    }
    const uint32_t A = colour >> 24;
    const uint32_t C[3] = {colour & 0xFFu, (colour >> 8) & 0xFFu, (colour >> 16) & 0xFFu};
    const uint32_t full = colour | 0xFF000000u;
    for (int32_t k0 = begin; k0 < end; k0 += kTileRows) {
      const int32_t k1 = std::min(end, k0 + kTileRows);
      const int32_t rows = k1 - k0;
      // The column samples of these rows, turned row-major: tile[k - k0][m].
      for (int32_t m = 0; m < w; ++m) {
        const uint8_t* l = planes->left.data() + static_cast<size_t>(m) * cstride + k0;
        const uint8_t* r = planes->right.data() + static_cast<size_t>(m) * cstride + k0;
        for (int32_t k = 0; k < rows; ++k) {
          tile_l[static_cast<size_t>(k) * rstride + m] = l[k];
          tile_r[static_cast<size_t>(k) * rstride + m] = r[k];
        }
      }
      for (int32_t k = k0; k < k1; ++k) {
        const uint8_t* lower = planes->lower.data() + static_cast<size_t>(k) * rstride;
        const uint8_t* upper = planes->upper.data() + static_cast<size_t>(k) * rstride;
        const uint8_t* left = tile_l.data() + static_cast<size_t>(k - k0) * rstride;
        const uint8_t* right = tile_r.data() + static_cast<size_t>(k - k0) * rstride;
        uint8_t* px = pic->Row(k);
        int32_t m = 0;
        for (; m < w; ++m, px += 4) {
          // Runs of eight pixels wholly inside or wholly outside go in one step.
          if ((m & 7) == 0 && m + 8 <= w) {
            const uint64_t all =
                Load8(lower + m) & Load8(upper + m) & Load8(left + m) & Load8(right + m);
            const uint64_t any =
                Load8(lower + m) | Load8(upper + m) | Load8(left + m) | Load8(right + m);
            if (any == 0) {
              for (int i = 0; i < 8; ++i) px[4 * i + 3] = 0;
              px += 28;
              m += 7;
              continue;
            }
            if (all == ~uint64_t{0} && A == 255) {
              for (int i = 0; i < 8; ++i) std::memcpy(px + 4 * i, &full, 4);
              px += 28;
              m += 7;
              continue;
            }
          }
          const uint32_t b = lower[m], t = upper[m], l = left[m], r = right[m];
          uint32_t v;
          if ((b & t & l & r) == 255) {
            v = 255;
          } else if ((b | t | l | r) == 0) {
            v = 0;
          } else {
            v = EdgeCoverage(b, t, l, r);
          }
          const uint32_t alpha = A * v / 255;
          px[3] = static_cast<uint8_t>(alpha);
          if (alpha == 0) continue;
          if (alpha == 255) {
            px[0] = static_cast<uint8_t>(C[0]);
            px[1] = static_cast<uint8_t>(C[1]);
            px[2] = static_cast<uint8_t>(C[2]);
            continue;
          }
          for (int c = 0; c < 3; ++c) {
            px[c] = static_cast<uint8_t>((px[c] * (255 - alpha) + C[c] * alpha) / 255);
          }
        }
      }
    }
  }
};

}  // namespace

KernelStatus FillOutline(const ShapeOutline& outline, const ImageView& pic, int32_t x, int32_t y,
                         uint32_t colour, const BandRunner& bands, const AbortCheck& abort) {
  if (!ViewUsable(pic)) return KernelStatus::kOk;
  const int32_t w = pic.width, h = pic.height;
  try {
    const LineCrossings rows = reference::CrossLines(outline.rows, y, h + 1, bands);
    const LineCrossings columns = reference::CrossLines(outline.columns, x, w + 1, bands);
    EdgePlanes planes(w, h);
    const size_t rstride = planes.RowBytes(), cstride = planes.ColumnBytes();
    // Line i is the lower edge of pixel row i (seen from above) and the upper edge of row
    // i - 1 (seen from below).
    for (int32_t i = 0; i <= h; ++i) {
      if (abort(0.0)) return KernelStatus::kAborted;
      if (i < h) {
        LineSamples(rows.above.Begin(i), rows.above.End(i), x, w,
                    planes.lower.data() + static_cast<size_t>(i) * rstride);
      }
      if (i > 0) {
        LineSamples(rows.below.Begin(i), rows.below.End(i), x, w,
                    planes.upper.data() + static_cast<size_t>(i - 1) * rstride);
      }
    }
    for (int32_t i = 0; i <= w; ++i) {
      if (abort(0.0)) return KernelStatus::kAborted;
      if (i < w) {
        LineSamples(columns.above.Begin(i), columns.above.End(i), y, h,
                    planes.left.data() + static_cast<size_t>(i) * cstride);
      }
      if (i > 0) {
        LineSamples(columns.below.Begin(i), columns.below.End(i), y, h,
                    planes.right.data() + static_cast<size_t>(i - 1) * cstride);
      }
    }
    CoverJob job;
    job.pic = &pic;
    job.planes = &planes;
    job.colour = colour;
    auto band = [&job](int32_t b, int32_t e) { job.Band(b, e); };
    RunBands(bands, h, w, band);
    return job.no_memory ? KernelStatus::kNoMemory : KernelStatus::kOk;
  } catch (const std::bad_alloc&) {
    return KernelStatus::kNoMemory;
  }
}

}  // namespace lumetra::effects::reference
