// Shape raster. The coverage rules give 255 whenever a pixel's lower and upper edge
// samples are both 255 and 0 whenever both are 0, whatever its left and right samples;
// so a pixel row is walked as the steps of its two row lines, interior and exterior spans
// go in one stroke each, and only the pixels between (those the outline passes through)
// ask their column lines for the left and right samples. No plane of samples is made: the
// cost is the crossings plus one pass over the output.
#include "shape_raster.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "exact_divide.h"

namespace lumetra::effects {

namespace {

#define LUMETRA_INLINE [[gnu::always_inline]] inline
#define LUMETRA_INLINE_LAMBDA __attribute__((always_inline))

LUMETRA_INLINE uint8_t Coverage(uint32_t b, uint32_t t, uint32_t l, uint32_t r) {
  const int32_t bi = static_cast<int32_t>(b), ti = static_cast<int32_t>(t);
  const int32_t li = static_cast<int32_t>(l), ri = static_cast<int32_t>(r);
  int32_t v;
  if (bi == 255) {
    if (ti != 0) {
      const int32_t k = li < 255 ? li : ri;
      v = (ti - 255) * (255 - k) / 510 + 255;
    } else {
      v = (ri + li) >> 1;
    }
  } else if (bi > 0) {
    if (ti == 0) {
      v = (li != 0 ? bi * li : ri * bi) / 510;
    } else if (ti < 255) {
      v = (bi + ti) >> 1;
    } else {
      v = (li != 255 ? (255 - li) * (bi - 255) : (255 - ri) * (bi - 255)) / 510 + 255;
    }
  } else if (ti >= 255) {
    v = (ri + li) >> 1;
  } else {
    v = (li != 0 ? ti * li : ri * ti) / 510;
  }
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

LUMETRA_INLINE uint32_t PartSample(float part) {
  return static_cast<uint32_t>(part * 255.f);
}

// min(max(v, 0), 1) as two selects; std::min and std::max on floats become branches here.
LUMETRA_INLINE float Clamp01(float v) {
  return _mm_cvtss_f32(_mm_min_ss(_mm_max_ss(_mm_set_ss(v), _mm_setzero_ps()), _mm_set_ss(1.f)));
}

// What one pair of crossings (s entering, e leaving) leaves on the samples of a line
// whose positions run from lo to hi: nothing, or pixel i (absolute) gets vi, pixels
// i + 1 .. j - 1 get 255 and pixel j gets vj when it has any part.
struct PairSpan {
  int32_t i = 0, j = 0;
  uint32_t vi = 0, vj = 0;
  bool single = false;  // i == j: vi is the pair's own length
  bool has_j = false;

  int32_t Last() const { return single || has_j ? j : j - 1; }
  uint32_t At(int32_t k) const {
    if (k == i) return vi;
    if (single) return 0;
    if (k < j) return k > i ? 255u : 0u;
    return k == j && has_j ? vj : 0u;
  }
};

enum class Pair { kNone, kBeyond, kSpan };

LUMETRA_INLINE Pair SpanOf(float s, float e, float lo, float hi, PairSpan* out) {
  if (s > hi) return Pair::kBeyond;
  if (e < lo && s < lo) return Pair::kNone;
  s = std::max(s, lo);
  e = std::min(e, hi);
  if (!(e > s)) return Pair::kNone;
  out->i = static_cast<int32_t>(std::floor(s));
  out->j = static_cast<int32_t>(std::floor(e));
  out->single = out->i == out->j;
  if (out->single) {
    out->vi = PartSample(e - s);
    out->has_j = false;
    return Pair::kSpan;
  }
  out->vi = PartSample(1.f - (s - static_cast<float>(out->i)));
  const float rest = e - static_cast<float>(out->j);
  out->has_j = rest > 0.f;
  out->vj = out->has_j ? PartSample(rest) : 0u;
  return Pair::kSpan;
}

// A step of one line's samples: the value holds from `begin` (relative to the line's
// origin) up to the next step's begin.
struct Step {
  int32_t begin;
  uint32_t value;
};

// The samples one line's crossings leave, as steps from 0 ending with a step at `extent`:
// pairs in order (an unpaired last crossing is ignored), parts that meet in one pixel added
// up to 255, 0 between pairs. `steps` gets room for the most a line can make; returns the
// first step.
LUMETRA_INLINE const Step* LineSteps(const float* c, const float* end, int32_t origin,
                                     int32_t extent, std::vector<Step>* steps) {
  const int64_t n = (end - c) & ~int64_t{1};
  // A pair makes at most a gap, two parts and a run between.
  const auto most = static_cast<size_t>(2 * n + 2);
  if (steps->size() < most) steps->resize(most);
  Step* const first = steps->data();
  Step* o = first;
  const auto lo = static_cast<float>(origin), hi = static_cast<float>(origin + extent);
  int32_t at = 0;          // where the last step's stretch ends
  bool part_last = false;  // the last step is a one-pixel part
  auto part = [&](int32_t i, uint32_t v) LUMETRA_INLINE_LAMBDA {
    if (part_last && at == i + 1) {
      o[-1].value = std::min<uint32_t>(o[-1].value + v, 255);
      return;
    }
    if (i > at) *o++ = {at, 0u};
    *o++ = {i, std::min<uint32_t>(v, 255)};
    at = i + 1;
    part_last = true;
  };
  PairSpan p;
  for (int64_t k = 0; k < n; k += 2) {
    const Pair kind = SpanOf(c[k], c[k + 1], lo, hi, &p);
    if (kind == Pair::kBeyond) break;
    if (kind == Pair::kNone) continue;
    part(p.i - origin, p.vi);
    if (p.single) continue;
    if (p.j - 1 >= p.i + 1) {
      *o++ = {p.i + 1 - origin, 255u};
      at = p.j - origin;
      part_last = false;
    }
    if (p.has_j) part(p.j - origin, p.vj);
  }
  if (at < extent) *o++ = {at, 0u};
  *o = {extent, 0u};
  return first;
}

// The sum at absolute position k of one line's pairs from *pair on, the same as its steps
// would give. `pair` (index of a first value, even) only moves forward: pairs before it end
// below k, and the positions asked of one line never go down.
LUMETRA_INLINE uint32_t SumFrom(const float* c, const float* end, float lo, float hi, int32_t k,
                                uint32_t* pair) {
  const int64_t n = (end - c) & ~int64_t{1};
  // A pair entering at k + 1 or later leaves nothing on pixel k, nor does any after it
  // (while k + 1 is exact in float).
  const bool exact = k > -(1 << 24) && k < (1 << 24) - 1;
  const auto pixel = static_cast<float>(k), next_pixel = static_cast<float>(k + 1);
  PairSpan p;
  uint32_t sum = 0;
  bool reached = false;
  for (int64_t q = *pair; q < n; q += 2) {
    if (exact && c[q] >= next_pixel) break;
    // Ends ascend: a pair ending at or below k leaves nothing here nor further on.
    if (exact && !reached && c[q + 1] <= pixel) {
      *pair = static_cast<uint32_t>(q + 2);
      continue;
    }
    // The common pair: within the line, past pixel k and starting in it or before; what
    // SpanOf and At would give, without the rest.
    if (exact && c[q + 1] >= next_pixel && c[q] >= lo && c[q + 1] <= hi) {
      reached = true;
      const uint32_t v = c[q] <= pixel ? 255u : PartSample(1.f - (c[q] - pixel));
      sum = std::min<uint32_t>(sum + v, 255);
      if (sum == 255) break;
      continue;
    }
    const Pair kind = SpanOf(c[q], c[q + 1], lo, hi, &p);
    if (kind == Pair::kBeyond) break;
    if (kind == Pair::kNone) continue;
    if (!reached) {
      if (p.Last() < k) {
        *pair = static_cast<uint32_t>(q + 2);
        continue;
      }
      reached = true;
    }
    if (p.i > k) break;
    sum = std::min<uint32_t>(sum + p.At(k), 255);
    if (sum == 255) break;  // nothing can lower it
  }
  return sum;
}

// Whether line i has the same crossings in two lists.
LUMETRA_INLINE bool SameCrossings(const CrossingList& a, const CrossingList& b, int32_t i) {
  const auto n = static_cast<size_t>(a.End(i) - a.Begin(i));
  return n == static_cast<size_t>(b.End(i) - b.Begin(i)) &&
         (n == 0 || std::memcmp(a.Begin(i), b.Begin(i), n * sizeof(float)) == 0);
}

// Where one column line's pairs stand for the rows asked so far: the first pair that
// may still reach them, its values and the next pair's entry, held beside the other
// columns' so that a row asks no far-off list until a pair ends. Past the last pair the
// values are infinite, which reads as 0.
struct Cursor {
  // Before the first row asked: the first step lands on pair 0.
  static constexpr uint32_t kUnset = ~uint32_t{1};
  static constexpr float kNever = std::numeric_limits<float>::infinity();

  float s = -kNever, e = -kNever, after = -kNever;
  uint32_t q = kUnset;

  LUMETRA_INLINE void Point(const float* c, const float* end, uint32_t at) {
    const int64_t n = (end - c) & ~int64_t{1};
    q = at;
    s = at < n ? c[at] : kNever;
    e = at < n ? c[at + 1] : kNever;
    after = at + 2 < n ? c[at + 2] : kNever;
  }
};

// The sample of line `line` of a list at absolute position k, as SumFrom gives it from
// the cursor's pair.
LUMETRA_INLINE uint32_t SampleAt(const CrossingList& list, int32_t line, float lo, float hi,
                                 int32_t k, Cursor* u) {
  const bool exact = k > -(1 << 24) && k < (1 << 24) - 1;
  const auto pixel = static_cast<float>(k), next_pixel = static_cast<float>(k + 1);
  if (exact) {
    if (u->e <= pixel) {
      // Pairs ending at or below k leave nothing here nor further on.
      const float* c = list.Begin(line);
      const int64_t n = (list.End(line) - c) & ~int64_t{1};
      int64_t q = static_cast<uint32_t>(u->q + 2);
      while (q < n && c[q + 1] <= pixel) q += 2;
      u->Point(c, list.End(line), static_cast<uint32_t>(q));
    }
    // Within the line, the pair entering at k + 1 or later leaves 0 (as 1 - (s - k)
    // clamped says), one passing the pixel's end leaves the part from its entry, and one
    // ending in the pixel the part up to e, when no later pair enters the pixel.
    const float s = u->s, e = u->e;
    const bool within = (s >= lo) & (e <= hi);
    const bool passes = (s >= next_pixel) | ((e >= next_pixel) & within);
    const bool ends = (e < next_pixel) & within & (u->after >= next_pixel);
    const float from_entry = Clamp01(1.f - (s - pixel));
    // Clamped only so that the part not kept (past the last pair: infinite) converts
    // safely; the one kept already lies in [0, 1].
    const float to_end = Clamp01(e - _mm_cvtss_f32(_mm_max_ss(_mm_set_ss(s), _mm_set_ss(pixel))));
    // Both parts made, one kept by a mask: which case holds follows no pattern.
    const uint32_t keep = 0u - static_cast<uint32_t>(passes);
    const uint32_t v = (PartSample(from_entry) & keep) | (PartSample(to_end) & ~keep);
    if (static_cast<uint32_t>(passes) + static_cast<uint32_t>(ends) != 0) return v;
  }
  uint32_t q = u->q == Cursor::kUnset ? 0 : u->q;
  const uint32_t sum = SumFrom(list.Begin(line), list.End(line), lo, hi, k, &q);
  if (q != u->q) u->Point(list.Begin(line), list.End(line), q);
  return sum;
}

// The fill colour, and its channels spread into 16-bit lanes for Blend.
struct Paint {
  uint32_t alpha;   // the colour's own alpha
  uint32_t opaque;  // the colour's pixel with alpha 255
  __m128i lanes;

  explicit Paint(uint32_t colour)
      : alpha(colour >> 24), opaque(colour | 0xFF000000u), lanes(Widen(colour)) {}

  // A pixel's bytes in 16-bit lanes.
  static __m128i Widen(uint32_t w) {
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(w)), _mm_setzero_si128());
  }

  // The pixel's colours towards the paint by a, each (p (255 - a) + c a) / 255, alpha a:
  // the channels in 16-bit lanes at once.
  uint32_t Blend(uint32_t pixel, uint32_t a) const {
    const __m128i p = Widen(pixel);
    const __m128i x =
        _mm_add_epi16(_mm_mullo_epi16(p, _mm_set1_epi16(static_cast<int16_t>(255 - a))),
                      _mm_mullo_epi16(lanes, _mm_set1_epi16(static_cast<int16_t>(a))));
    const __m128i q = Div255Lanes(x);
    const auto bgr = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(q, q)));
    return (bgr & 0x00FFFFFFu) | a << 24;
  }
};

// What a pixel span's lower and upper samples b and t make of it: filled or clear, the
// mean of two parts, or one of Coverage's cases that ask the left and right samples.
enum class SpanKind : uint8_t { kInterior, kExterior, kHalves, kSides, kOneSide, kNear };

// A sample's level: 0 none, 1 part, 2 all.
LUMETRA_INLINE int Level(uint32_t v) {
  return (v != 0) + (v == 255);
}

// By Level(b) * 3 + Level(t).
constexpr SpanKind kSpanKind[9] = {
    SpanKind::kExterior, SpanKind::kOneSide, SpanKind::kSides,     // b = 0
    SpanKind::kOneSide,  SpanKind::kHalves,  SpanKind::kNear,      // b part
    SpanKind::kSides,    SpanKind::kNear,    SpanKind::kInterior,  // b = 255
};

struct CoverJob {
  const ImageView* pic;
  const LineCrossings* rows;
  const LineCrossings* columns;
  // Per column line: 1 when its crossings seen from above and from below are the same.
  const std::vector<uint8_t>* same;
  uint32_t colour;
  int32_t x, y;
  std::atomic<bool> no_memory{false};

  void Band(int32_t begin, int32_t end);

  LUMETRA_INLINE void Rows(int32_t begin, int32_t end) {
    const int32_t w = pic->width, h = pic->height;
    std::vector<Step> lower_steps, upper_steps;
    // Left samples read the column lines seen from above, right ones those seen from below.
    std::vector<Cursor> left(static_cast<size_t>(w) + 1), right(static_cast<size_t>(w) + 1);
    const auto col_lo = static_cast<float>(y), col_hi = static_cast<float>(y + h);
    const Paint paint(colour);
    for (int32_t k = begin; k < end; ++k) {
      // Line k is the lower edge of pixel row k (seen from above), line k + 1 its upper
      // edge (seen from below). Seen from above, line k mostly has the crossings it has
      // seen from below, which the row before laid as its upper steps.
      const Step* lo_step;
      if (k > begin && SameCrossings(rows->above, rows->below, k)) {
        std::swap(lower_steps, upper_steps);
        lo_step = lower_steps.data();
      } else {
        lo_step = LineSteps(rows->above.Begin(k), rows->above.End(k), x, w, &lower_steps);
      }
      const Step* up_step =
          LineSteps(rows->below.Begin(k + 1), rows->below.End(k + 1), x, w, &upper_steps);
      uint8_t* px = pic->Row(k);
      const int32_t at = y + k;
      // Where a column line looks the same from both sides, the right sample of pixel
      // m - 1 is the left sample of pixel m.
      int32_t carry_at = -1;
      uint32_t carry = 0;
      int32_t m = 0;
      while (m < w) {
        const int32_t lower_next = lo_step[1].begin, upper_next = up_step[1].begin;
        // A select, not a branch: which line's step comes next follows no pattern.
        const int32_t gap = lower_next - upper_next;
        const int32_t next = upper_next + (gap & (gap >> 31));
        const uint32_t b = lo_step->value, t = up_step->value;
        lo_step += lower_next == next;
        up_step += upper_next == next;
        // The pixels between ask their column lines. Coverage's case follows from b and
        // t alone, so it is settled once per span: x_part is the one of b and t that is
        // neither 0 nor 255.
        auto edges = [&](auto cover) LUMETRA_INLINE_LAMBDA {
          for (int32_t i = m; i < next; ++i) {
            const auto li = static_cast<size_t>(i);
            const uint32_t l = carry_at == i && (*same)[li] != 0
                                   ? carry
                                   : SampleAt(columns->above, i, col_lo, col_hi, at, &left[li]);
            const uint32_t r = SampleAt(columns->below, i + 1, col_lo, col_hi, at, &right[li + 1]);
            carry_at = i + 1;
            carry = r;
            Lay(px + 4 * i, cover(static_cast<int32_t>(l), static_cast<int32_t>(r)), paint);
          }
        };
        switch (kSpanKind[Level(b) * 3 + Level(t)]) {
          case SpanKind::kInterior:
            Interior(px, m, next, paint);
            break;
          case SpanKind::kExterior:
            Exterior(px, m, next);
            break;
          case SpanKind::kHalves:
            for (int32_t i = m; i < next; ++i) Lay(px + 4 * i, (b + t) >> 1, paint);
            break;
          case SpanKind::kSides:
            edges([](int32_t l, int32_t r) { return static_cast<uint32_t>((r + l) >> 1); });
            break;
          case SpanKind::kOneSide:
            // One of b and t is 0.
            edges([x_part = static_cast<int32_t>(b + t)](int32_t l, int32_t r) {
              return static_cast<uint32_t>(x_part * (l != 0 ? l : r) / 510);
            });
            break;
          case SpanKind::kNear:
            // One of b and t is 255.
            edges([x_part = static_cast<int32_t>(b + t) - 255](int32_t l, int32_t r) {
              const int32_t v = (x_part - 255) * (l != 255 ? 255 - l : 255 - r) / 510 + 255;
              return static_cast<uint32_t>(std::min(std::max(v, 0), 255));
            });
            break;
        }
        m = next;
      }
    }
  }

  // Blend gives alpha 0 with the colours kept at v = 0, so only full alpha is singled
  // out (it need not read the pixel): the rest come in no order a branch could learn.
  LUMETRA_INLINE static void Lay(uint8_t* px, uint32_t v, const Paint& paint) {
    const uint32_t alpha = paint.alpha * v / 255;
    uint32_t word = paint.opaque;
    if (alpha != 255) {
      std::memcpy(&word, px, 4);
      word = paint.Blend(word, alpha);
    }
    std::memcpy(px, &word, 4);
  }

  // n copies of a pixel. The string store writes whole cache lines without reading them
  // first: on long runs about twice as fast as a loop of vector stores.
  LUMETRA_INLINE static void FillWords(uint8_t* p, size_t n, uint32_t word) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (n >= 64) {
      asm volatile("rep stosl" : "+D"(p), "+c"(n) : "a"(word) : "memory");
      return;
    }
#endif
    for (size_t i = 0; i < n; ++i) std::memcpy(p + 4 * i, &word, 4);
  }

  // Alpha 0, colours kept. Blocks of 16 pixels whose alpha is 0 already (a new picture,
  // or the last frame's outside) are only read: a line left clean needs no write back,
  // which costs about what the reading does.
  LUMETRA_INLINE static void Exterior(uint8_t* px, int32_t m0, int32_t m1) {
    uint8_t* p = px + 4 * static_cast<size_t>(m0);
    const auto n = static_cast<size_t>(m1 - m0);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      __m128i v[4];
      for (int k = 0; k < 4; ++k) {
        v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * i + 16 * k));
      }
      const __m128i any =
          _mm_and_si128(_mm_or_si128(_mm_or_si128(v[0], v[1]), _mm_or_si128(v[2], v[3])), alpha);
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(any, _mm_setzero_si128())) == 0xFFFF) continue;
      for (int k = 0; k < 4; ++k) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i + 16 * k),
                         _mm_andnot_si128(alpha, v[k]));
      }
    }
    for (; i < n; ++i) {
      uint32_t word;
      std::memcpy(&word, p + 4 * i, 4);
      word &= 0x00FFFFFFu;
      std::memcpy(p + 4 * i, &word, 4);
    }
  }

  // Coverage 255: the colour's alpha, colours towards it by that alpha.
  LUMETRA_INLINE static void Interior(uint8_t* px, int32_t m0, int32_t m1, const Paint& paint) {
    uint8_t* p = px + 4 * static_cast<size_t>(m0);
    const auto n = static_cast<size_t>(m1 - m0);
    if (paint.alpha == 0) {
      Exterior(px, m0, m1);
    } else if (paint.alpha == 255) {
      FillWords(p, n, paint.opaque);
    } else {
      for (size_t i = 0; i < n; ++i) {
        uint32_t word;
        std::memcpy(&word, p + 4 * i, 4);
        word = paint.Blend(word, paint.alpha);
        std::memcpy(p + 4 * i, &word, 4);
      }
    }
  }
};

// The same rows built for AVX2 where the processor has it (floors in one instruction,
// wider stores); integer and float steps alike, so the bytes do not change.
void RowsNarrow(CoverJob* job, int32_t begin, int32_t end) {
  job->Rows(begin, end);
}

[[gnu::target("avx2")]] void RowsWide(CoverJob* job, int32_t begin, int32_t end) {
  job->Rows(begin, end);
}

void CoverJob::Band(int32_t begin, int32_t end) {
  static const auto rows = __builtin_cpu_supports("avx2") ? RowsWide : RowsNarrow;
  try {
    rows(this, begin, end);
  } catch (const std::bad_alloc&) {
    no_memory = true;
  }
}

#undef LUMETRA_INLINE
#undef LUMETRA_INLINE_LAMBDA

}  // namespace

uint8_t EdgeCoverage(uint32_t b, uint32_t t, uint32_t l, uint32_t r) {
  return Coverage(b, t, l, r);
}

KernelStatus FillOutline(const ShapeOutline& outline, const ImageView& pic, int32_t x, int32_t y,
                         uint32_t colour, const BandRunner& bands, const AbortCheck& abort) {
  if (!ViewUsable(pic)) return KernelStatus::kOk;
  const int32_t w = pic.width, h = pic.height;
  try {
    LineCrossings rows, columns;
    CrossOutline(outline, x, w + 1, y, h + 1, bands, &rows, &columns);
    for (int32_t i = 0; i < (h + 1) + (w + 1); ++i) {
      if (abort(0.0)) return KernelStatus::kAborted;
    }
    std::vector<uint8_t> same(static_cast<size_t>(w) + 1);
    for (int32_t i = 0; i <= w; ++i) {
      same[static_cast<size_t>(i)] = SameCrossings(columns.above, columns.below, i);
    }
    CoverJob job;
    job.pic = &pic;
    job.same = &same;
    job.rows = &rows;
    job.columns = &columns;
    job.colour = colour;
    job.x = x;
    job.y = y;
    auto band = [&job](int32_t b, int32_t e) { job.Band(b, e); };
    RunBands(bands, h, w, band);
    return job.no_memory ? KernelStatus::kNoMemory : KernelStatus::kOk;
  } catch (const std::bad_alloc&) {
    return KernelStatus::kNoMemory;
  }
}

bool PointInOutline(const ShapeOutline& outline, float x, float y) {
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(y) > 1e9f) return false;
  const auto line = static_cast<int32_t>(std::floor(y));
  const LineCrossings c = CrossLines(outline.rows, line, 1, {});
  const float* v = c.above.Begin(0);
  const int64_t n = (c.above.End(0) - v) & ~int64_t{1};  // an unpaired last crossing is ignored
  bool parity = false;
  for (int64_t i = 0; i < n; ++i) {
    parity = !parity;
    if (i == n - 1) return parity;
    if (v[i] <= x && x <= v[i + 1]) return parity;
    if (v[i] > x) return false;
  }
  return false;
}

}  // namespace lumetra::effects
