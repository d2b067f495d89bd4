// Segment records and their crossings with pixel lines. Each record is cut into monotonic
// pieces and each piece is asked only for the lines it spans, so the cost follows the
// crossings, not lines x segments. The bisections run in batches of vector lanes: every
// lane does exactly the float steps of one scalar bisection, so the values do not depend
// on which crossings share a batch nor on the vector width.
#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "shape_raster.h"

namespace lumetra::effects {

// In double, so that equal ends give exactly that value all along and t = 0 and t = 1
// give p0 and p1.
float HermiteAxis::Hermite(float t) const {
  const double u = t, u2 = u * u, u3 = u2 * u;
  return static_cast<float>((2.0 * u3 - 3.0 * u2 + 1.0) * p0 + (-2.0 * u3 + 3.0 * u2) * p1 +
                            (u3 - 2.0 * u2 + u) * t0 + (u3 - u2) * t1);
}

namespace {

constexpr float kSplitMin = 6e-5f;

HermiteAxis MakeAxis(float p0, float p1, float t0, float t1) {
  HermiteAxis h;
  h.a = 2.f * (p0 - p1) + t0 + t1;
  h.b = 3.f * (p1 - p0) - 2.f * t0 - t1;
  h.c = t0;
  h.d = p0;
  h.p0 = p0;
  h.p1 = p1;
  h.t0 = t0;
  h.t1 = t1;
  return h;
}

SegmentRecord MakeRecord(const HermiteAxis& cross, const HermiteAxis& other) {
  SegmentRecord r;
  r.cross = cross;
  r.other = other;
  SplitParameters(cross.a, cross.b, cross.c, &r.s1, &r.s2);
  return r;
}

}  // namespace

void SplitParameters(float a, float b, float c, float* s1, float* s2) {
  float cand[2];
  int n = 0;
  if (a == 0.f) {
    // A quadratic (or a line): its derivative 2bt + c has one root, or none.
    if (b != 0.f) cand[n++] = -c / (2.f * b);
  } else {
    const float disc = (b * b - 3.f * a * c) * 4.f;
    if (disc >= 0.f) {
      if (std::fabs(disc) < kSplitMin) {
        cand[n++] = -2.f * b / (6.f * a);
      } else {
        const float root = std::sqrt(disc);
        cand[n++] = (-2.f * b - root) / (6.f * a);
        cand[n++] = (-2.f * b + root) / (6.f * a);
      }
    }
  }
  float kept[2];
  int k = 0;
  for (int i = 0; i < n; ++i) {
    if (cand[i] >= kSplitMin && cand[i] < 1.f) kept[k++] = cand[i];
  }
  if (k == 2 && kept[1] < kept[0]) std::swap(kept[0], kept[1]);
  *s1 = k > 0 ? kept[0] : -1.f;
  *s2 = k > 1 ? kept[1] : -1.f;
}

void ShapeOutline::Add(const BezierSegment& s, float x_offset, float y_offset) {
  const float x0 = s.x0 + x_offset, x1 = s.x1 + x_offset;
  const float y0 = s.y0 + y_offset, y1 = s.y1 + y_offset;
  const HermiteAxis x = MakeAxis(x0, x1, 3.f * s.vx, -3.f * s.wx);
  const HermiteAxis y = MakeAxis(y0, y1, 3.f * s.vy, -3.f * s.wy);
  rows.push_back(MakeRecord(y, x));
  columns.push_back(MakeRecord(x, y));
}

namespace {

// A monotonic piece of a record and the lines [l0, l1) (relative to the first) it reaches,
// ends included. sign is 1 for a rising piece, -1 for a falling one.
struct Piece {
  const SegmentRecord* record;
  float ta, tb, pa, pb, sign;
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
      Piece p{&r, cuts[i], cuts[i + 1], 0.f, 0.f, 1.f, 0, 0};
      p.pa = r.cross.Hermite(p.ta);
      p.pb = r.cross.Hermite(p.tb);
      p.sign = p.pb >= p.pa ? 1.f : -1.f;
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

// Lanes of four (SSE), eight (AVX2) or sixteen (AVX-512) floats, in three or four groups
// whose dependency chains interleave (the loop waits on them, not on the spills of the
// narrow sets' loop-invariant inputs). The operations are plain IEEE float steps, so any
// width gives the same bits.
using Float4 = float __attribute__((vector_size(16)));
using Mask4 = int32_t __attribute__((vector_size(16)));
using Float8 = float __attribute__((vector_size(32)));
using Mask8 = int32_t __attribute__((vector_size(32)));
constexpr int kMaxLanes = 64;  // the widest batch

// The lines of one chunk that pieces cross strictly between their ends, one array per
// field: the bisection's inputs (the cubic and the line negated for a falling piece), its
// result t, and the other axis' Hermite form to evaluate at t. Padded to whole batches.
struct Tasks {
  enum Field { kA, kB, kC, kD, kLine, kTa, kTb, kT, kP0, kP1, kT0, kT1, kValue, kFields };
  std::vector<float> field;
  std::vector<int32_t> line;  // relative to the first
  std::vector<uint8_t> seen;
  size_t size = 0, capacity = 0;

  float* operator[](Field f) { return field.data() + static_cast<size_t>(f) * capacity; }
  // Room for n tasks and a batch of padding; forgets the tasks.
  void Reset(size_t n) {
    size = 0;
    if (n + kMaxLanes <= capacity) return;
    capacity = (n + kMaxLanes) * 2;
    field.assign(capacity * kFields, 0.f);
    line.assign(capacity, 0);
    seen.assign(capacity, 0);
  }
};

// Whether every lane of a mask is set.
[[gnu::always_inline]] inline bool Every(Mask4 m) {
  return __builtin_ia32_movmskps(reinterpret_cast<Float4>(m)) == 0xF;
}

[[gnu::always_inline]] inline bool Every(Mask8 m) {
  return Every(__builtin_shufflevector(m, m, 0, 1, 2, 3) &
               __builtin_shufflevector(m, m, 4, 5, 6, 7));
}

template <class F>
[[gnu::always_inline]] inline void Load(F* v, const float* p) {
  std::memcpy(v, p, sizeof *v);
}

// Bisection of G * W tasks from `at` on: per lane, t from (tA + tB) / 2; stop when
// |tB - tA| < 1e-6; f = ((a t + b) t + c) t + d - L; rising with f < 0 or falling with
// f > 0 moves tA to t, else tB; halve; stop when |f| < 1e-4. A finished lane keeps its t.
// A falling piece runs on the negated cubic and line: rounding is symmetric, so that
// gives exactly -f, and the test is f < 0 for both.
template <class F, class M, int W, int G>
[[gnu::always_inline]] inline void BisectLanes(Tasks* tasks, size_t at) {
  F a[G], b[G], c[G], d[G], line[G], ta[G], tb[G], t[G];
  for (int g = 0; g < G; ++g) {
    const size_t i = at + static_cast<size_t>(g * W);
    Load(&a[g], (*tasks)[Tasks::kA] + i);
    Load(&b[g], (*tasks)[Tasks::kB] + i);
    Load(&c[g], (*tasks)[Tasks::kC] + i);
    Load(&d[g], (*tasks)[Tasks::kD] + i);
    Load(&line[g], (*tasks)[Tasks::kLine] + i);
    Load(&ta[g], (*tasks)[Tasks::kTa] + i);
    Load(&tb[g], (*tasks)[Tasks::kTb] + i);
  }
  // Padding lanes have tA = tB and stop at once. Vector casts keep the bits: |v| clears
  // the sign bit, selects mix bits by mask.
  const M no_sign = M{} + 0x7FFFFFFF;
  M done[G]{};
  for (int g = 0; g < G; ++g) t[g] = (ta[g] + tb[g]) * 0.5f;
  for (;;) {
    M all = M{} - 1;
    for (int g = 0; g < G; ++g) {
      done[g] |= (F)((M)(tb[g] - ta[g]) & no_sign) < 1e-6f;
      all &= done[g];
    }
    if (Every(all)) break;
    for (int g = 0; g < G; ++g) {
      const F f = ((a[g] * t[g] + b[g]) * t[g] + c[g]) * t[g] + d[g] - line[g];
      const M go = f < 0.f;
      const M live = ~done[g];
      const M to_a = live & go, to_b = live & ~go;
      // Both possible midpoints while f is under way: (t + tB) / 2 after a move of tA,
      // (tA + t) / 2 after one of tB.
      const F mid_a = (t[g] + tb[g]) * 0.5f, mid_b = (ta[g] + t[g]) * 0.5f;
      ta[g] = (F)(((M)t[g] & to_a) | ((M)ta[g] & ~to_a));
      tb[g] = (F)(((M)t[g] & to_b) | ((M)tb[g] & ~to_b));
      t[g] = (F)(((M)mid_a & to_a) | ((M)mid_b & to_b) | ((M)t[g] & ~live));
      done[g] |= live & ((F)((M)f & no_sign) < 0.0001f);
    }
  }
  for (int g = 0; g < G; ++g) {
    std::memcpy((*tasks)[Tasks::kT] + at + static_cast<size_t>(g * W), &t[g], sizeof t[g]);
  }
}

// The other axis at every task's t, as HermiteAxis::Hermite computes it: the same double
// steps in the same order, so a vectorised loop gives the same bits.
[[gnu::always_inline]] inline void HermiteLanes(Tasks* tasks) {
  const float* tv = (*tasks)[Tasks::kT];
  const float* p0 = (*tasks)[Tasks::kP0];
  const float* p1 = (*tasks)[Tasks::kP1];
  const float* t0 = (*tasks)[Tasks::kT0];
  const float* t1 = (*tasks)[Tasks::kT1];
  float* out = (*tasks)[Tasks::kValue];
  for (size_t i = 0; i < tasks->size; ++i) {
    const double u = tv[i], u2 = u * u, u3 = u2 * u;
    out[i] =
        static_cast<float>((2.0 * u3 - 3.0 * u2 + 1.0) * p0[i] + (-2.0 * u3 + 3.0 * u2) * p1[i] +
                           (u3 - 2.0 * u2 + u) * t0[i] + (u3 - u2) * t1[i]);
  }
}

template <class F, class M, int W, int G>
[[gnu::always_inline]] inline void SolveLanes(Tasks* tasks) {
  for (size_t i = 0; i < tasks->size; i += W * G) BisectLanes<F, M, W, G>(tasks, i);
  HermiteLanes(tasks);
}

// Groups of lanes per batch of each solver.
constexpr int kNarrowGroups = 3, kWideGroups = 4, kWiderGroups = 4;

void SolveNarrow(Tasks* tasks) {
  SolveLanes<Float4, Mask4, 4, kNarrowGroups>(tasks);
}

[[gnu::target("avx2")]] void SolveWide(Tasks* tasks) {
  SolveLanes<Float8, Mask8, 8, kWideGroups>(tasks);
}

#define LUMETRA_AVX512 gnu::target("avx512f,avx512vl,avx512dq,avx512bw")

// BisectLanes with mask registers: the same float steps, each select a masked move. Zmm
// lanes even where 512-bit operations are split in two: half the instructions.
template <int G>
[[gnu::always_inline, LUMETRA_AVX512]] inline void BisectMasked(Tasks* tasks, size_t at) {
  __m512 a[G], b[G], c[G], d[G], line[G], ta[G], tb[G], t[G];
  __mmask16 done[G];
  const __m512 no_sign = _mm512_castsi512_ps(_mm512_set1_epi32(0x7FFFFFFF));
  const __m512 half = _mm512_set1_ps(0.5f), zero = _mm512_setzero_ps();
  const __m512 width = _mm512_set1_ps(1e-6f), near = _mm512_set1_ps(0.0001f);
  for (int g = 0; g < G; ++g) {
    const size_t i = at + static_cast<size_t>(g * 16);
    a[g] = _mm512_loadu_ps((*tasks)[Tasks::kA] + i);
    b[g] = _mm512_loadu_ps((*tasks)[Tasks::kB] + i);
    c[g] = _mm512_loadu_ps((*tasks)[Tasks::kC] + i);
    d[g] = _mm512_loadu_ps((*tasks)[Tasks::kD] + i);
    line[g] = _mm512_loadu_ps((*tasks)[Tasks::kLine] + i);
    ta[g] = _mm512_loadu_ps((*tasks)[Tasks::kTa] + i);
    tb[g] = _mm512_loadu_ps((*tasks)[Tasks::kTb] + i);
    t[g] = _mm512_mul_ps(_mm512_add_ps(ta[g], tb[g]), half);
    done[g] =
        _mm512_cmp_ps_mask(_mm512_and_ps(_mm512_sub_ps(tb[g], ta[g]), no_sign), width, _CMP_LT_OQ);
  }
  for (;;) {
    __mmask16 all = done[0];
    for (int g = 1; g < G; ++g) all &= done[g];
    if (all == 0xFFFF) break;
    for (int g = 0; g < G; ++g) {
      const __mmask16 live = static_cast<__mmask16>(~done[g]);
      __m512 f = _mm512_add_ps(_mm512_mul_ps(a[g], t[g]), b[g]);
      f = _mm512_add_ps(_mm512_mul_ps(f, t[g]), c[g]);
      f = _mm512_add_ps(_mm512_mul_ps(f, t[g]), d[g]);
      f = _mm512_sub_ps(f, line[g]);
      // Both possible midpoints while f is under way: (t + tB) / 2 after a move of tA,
      // (tA + t) / 2 after one of tB.
      const __m512 mid_a = _mm512_mul_ps(_mm512_add_ps(t[g], tb[g]), half);
      const __m512 mid_b = _mm512_mul_ps(_mm512_add_ps(ta[g], t[g]), half);
      const __mmask16 to_a = _mm512_mask_cmp_ps_mask(live, f, zero, _CMP_LT_OQ);
      const __mmask16 to_b = live ^ to_a;
      ta[g] = _mm512_mask_mov_ps(ta[g], to_a, t[g]);
      tb[g] = _mm512_mask_mov_ps(tb[g], to_b, t[g]);
      t[g] = _mm512_mask_mov_ps(_mm512_mask_mov_ps(t[g], to_a, mid_a), to_b, mid_b);
      done[g] |= _mm512_mask_cmp_ps_mask(live, _mm512_and_ps(f, no_sign), near, _CMP_LT_OQ);
      done[g] |= _mm512_cmp_ps_mask(_mm512_and_ps(_mm512_sub_ps(tb[g], ta[g]), no_sign), width,
                                    _CMP_LT_OQ);
    }
  }
  for (int g = 0; g < G; ++g) {
    _mm512_storeu_ps((*tasks)[Tasks::kT] + at + static_cast<size_t>(g * 16), t[g]);
  }
}

[[LUMETRA_AVX512]] void SolveWider(Tasks* tasks) {
  for (size_t i = 0; i < tasks->size; i += 16 * kWiderGroups) BisectMasked<kWiderGroups>(tasks, i);
  HermiteLanes(tasks);
}

#undef LUMETRA_AVX512

using Solver = void (*)(Tasks*);

// The tasks each solver takes at once.
constexpr size_t kBatches[] = {4 * kNarrowGroups, 8 * kWideGroups, 16 * kWiderGroups};
static_assert(16 * kWiderGroups <= kMaxLanes);

Solver PickSolver(CrossingLanes lanes) {
  static const bool avx512 =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (lanes == CrossingLanes::kWidest && avx512) return SolveWider;
  if (lanes != CrossingLanes::kSse2 && avx2) return SolveWide;
  return SolveNarrow;
}

constexpr int32_t kLinesPerChunk = 64;

constexpr uint8_t kAbove = 1, kBelow = 2;

struct Hit {
  float value;
  uint8_t seen;  // kAbove, kBelow or both
  int32_t line;
};

// A hit in its line's bucket.
struct Sorted {
  float value;
  uint8_t seen;
};

// Where a chunk writes its crossings: per line of the chunk the count seen from above and
// from below, and the values of each list one line after the other, ascending per line.
// The value arrays have room for every crossing the chunk's pieces could make.
struct ChunkOut {
  uint32_t *above_count, *below_count;
  float *above, *below;
  // Filled by the chunk: how many values each list got.
  size_t* above_size;
  size_t* below_size;
};

// Buffers one band reuses from chunk to chunk.
struct ChunkScratch {
  std::vector<Hit> hits;
  std::vector<Sorted> sorted;
  Tasks tasks;
  std::vector<uint32_t> start, at;
};

// Lines of a piece strictly inside its span: one task each.
void AddTasks(const Piece& p, int32_t first, int32_t l0, int32_t l1, uint8_t seen, Tasks* tasks) {
  const size_t n = static_cast<size_t>(l1 - l0), at = tasks->size;
  const HermiteAxis &h = p.record->cross, &o = p.record->other;
  const float s = p.sign;
  std::fill_n((*tasks)[Tasks::kA] + at, n, s * h.a);
  std::fill_n((*tasks)[Tasks::kB] + at, n, s * h.b);
  std::fill_n((*tasks)[Tasks::kC] + at, n, s * h.c);
  std::fill_n((*tasks)[Tasks::kD] + at, n, s * h.d);
  std::fill_n((*tasks)[Tasks::kTa] + at, n, p.ta);
  std::fill_n((*tasks)[Tasks::kTb] + at, n, p.tb);
  std::fill_n((*tasks)[Tasks::kP0] + at, n, o.p0);
  std::fill_n((*tasks)[Tasks::kP1] + at, n, o.p1);
  std::fill_n((*tasks)[Tasks::kT0] + at, n, o.t0);
  std::fill_n((*tasks)[Tasks::kT1] + at, n, o.t1);
  float* line = (*tasks)[Tasks::kLine] + at;
  int32_t* rel = tasks->line.data() + at;
  for (int32_t l = l0; l < l1; ++l) {
    *line++ = s * static_cast<float>(first + l);
    *rel++ = l;
  }
  std::fill_n(tasks->seen.data() + at, n, seen);
  tasks->size += n;
}

// Clears what the last batch of any solver reads past the last task (only the bisection
// does): tA = tB = 0 stops those lanes at once.
void PadTasks(Tasks* tasks) {
  size_t pad = 0;
  for (const size_t batch : kBatches) pad = std::max(pad, (batch - tasks->size % batch) % batch);
  for (const Tasks::Field f :
       {Tasks::kA, Tasks::kB, Tasks::kC, Tasks::kD, Tasks::kLine, Tasks::kTa, Tasks::kTb}) {
    std::fill_n((*tasks)[f] + tasks->size, pad, 0.f);
  }
}

// Integers up to this are exact floats.
constexpr int64_t kExactLine = int64_t{1} << 24;

void CrossChunk(const Piece* pieces, const uint32_t* which, size_t n, int32_t first, int32_t c0,
                int32_t c1, Solver solve, ChunkScratch* scratch, const ChunkOut& out) {
  std::vector<Hit>& hits = scratch->hits;
  Tasks& tasks = scratch->tasks;
  hits.clear();
  size_t most = 0;
  for (size_t k = 0; k < n; ++k) {
    const Piece& p = pieces[which[k]];
    most += static_cast<size_t>(std::min(p.l1, c1) - std::max(p.l0, c0));
  }
  tasks.Reset(most);
  auto hit = [&hits](int32_t l, float v, uint8_t seen) {
    if (std::isfinite(v)) hits.push_back({v, seen, l});
  };
  for (size_t k = 0; k < n; ++k) {
    const Piece& p = pieces[which[k]];
    const int32_t l0 = std::max(p.l0, c0), l1 = std::min(p.l1, c1);
    const float lo = std::min(p.pa, p.pb), hi = std::max(p.pa, p.pb);
    // A piece ending on the line crosses it at that end.
    auto end = [&](int32_t l) {
      const auto line = static_cast<float>(first + l);
      const auto seen = static_cast<uint8_t>((line < hi ? kAbove : 0) | (line > lo ? kBelow : 0));
      if (line == p.pa) {
        hit(l, p.record->other.Hermite(p.ta), seen);
      } else if (line == p.pb) {
        hit(l, p.record->other.Hermite(p.tb), seen);
      } else {
        return seen;
      }
      return uint8_t{0};
    };
    // Up to 2^24 the lines are exact floats in [lo, hi]: only the first and the last can
    // meet an end, and the others lie strictly inside, seen from both sides. Beyond, each
    // line is asked.
    const int64_t big = std::max(std::abs(int64_t{first} + l0), std::abs(int64_t{first} + l1 - 1));
    if (big > kExactLine) {
      for (int32_t l = l0; l < l1; ++l) {
        if (const uint8_t seen = end(l)) AddTasks(p, first, l, l + 1, seen, &tasks);
      }
      continue;
    }
    const int32_t i0 = l0 + (end(l0) == 0), i1 = l1 - (l1 - 1 > l0 && end(l1 - 1) == 0);
    AddTasks(p, first, i0, i1, kAbove | kBelow, &tasks);
  }
  PadTasks(&tasks);
  solve(&tasks);
  // Bucket by line, the ends' hits before the tasks' as they were found, then sort each
  // line's values.
  const float* value = tasks[Tasks::kValue];
  const int32_t* task_line = tasks.line.data();
  const auto lines = static_cast<size_t>(c1 - c0);
  std::vector<uint32_t>& start = scratch->start;
  start.assign(lines + 1, 0u);
  for (const Hit& h : hits) ++start[static_cast<size_t>(h.line - c0) + 1];
  for (size_t i = 0; i < tasks.size; ++i) {
    start[static_cast<size_t>(task_line[i] - c0) + 1] += std::isfinite(value[i]) ? 1u : 0u;
  }
  for (size_t i = 0; i < lines; ++i) start[i + 1] += start[i];
  const size_t total = start[lines];
  std::vector<Sorted>& sorted = scratch->sorted;
  sorted.resize(total);
  std::vector<uint32_t>& at = scratch->at;
  at.assign(start.begin(), start.end() - 1);
  for (const Hit& h : hits) sorted[at[static_cast<size_t>(h.line - c0)]++] = {h.value, h.seen};
  for (size_t i = 0; i < tasks.size; ++i) {
    if (std::isfinite(value[i])) {
      sorted[at[static_cast<size_t>(task_line[i] - c0)]++] = {value[i], tasks.seen[i]};
    }
  }
  float* above = out.above;
  float* below = out.below;
  for (size_t i = 0; i < lines; ++i) {
    Sorted* b = sorted.data() + start[i];
    Sorted* e = sorted.data() + start[i + 1];
    // The comparisons alone steer the sort, so its order is that of sorting the hits.
    // An outline mostly crosses a line in one sweep, the hits already ascending or
    // descending: those take a pass, not a sort.
    auto ascending = [](const Sorted& x, const Sorted& y) { return x.value < y.value; };
    if (!std::is_sorted(b, e, ascending)) {
      if (std::is_sorted(b, e,
                         [](const Sorted& x, const Sorted& y) { return x.value > y.value; })) {
        std::reverse(b, e);
      } else {
        std::sort(b, e, ascending);
      }
    }
    const float* above_from = above;
    const float* below_from = below;
    for (const Sorted* h = b; h != e; ++h) {
      *above = h->value;
      above += (h->seen & kAbove) != 0;
      *below = h->value;
      below += (h->seen & kBelow) != 0;
    }
    out.above_count[i] = static_cast<uint32_t>(above - above_from);
    out.below_count[i] = static_cast<uint32_t>(below - below_from);
  }
  *out.above_size = static_cast<size_t>(above - out.above);
  *out.below_size = static_cast<size_t>(below - out.below);
}

// One set of lines to cross: its pieces, the pieces each chunk of lines meets (`which`
// from `meets[c]` to `meets[c + 1]`), and the lists being built: while the chunks run,
// offset[l + 1] holds line l's count and chunk c's values start at room[c].
struct LineJob {
  std::vector<Piece> pieces;
  int32_t first = 0, count = 0, chunks = 0;
  std::vector<uint32_t> which;
  std::vector<size_t> meets, room, above_size, below_size;
  LineCrossings out;
};

// The pieces per chunk, in piece order, and the room for each chunk's crossings.
void PlanChunks(LineJob* j) {
  const auto chunks = static_cast<size_t>(j->chunks);
  j->meets.assign(chunks + 1, 0);
  j->room.assign(chunks + 1, 0);
  for (const Piece& p : j->pieces) {
    for (int32_t c = p.l0 / kLinesPerChunk; c * kLinesPerChunk < p.l1; ++c) {
      const int32_t c0 = c * kLinesPerChunk, c1 = c0 + kLinesPerChunk;
      ++j->meets[static_cast<size_t>(c) + 1];
      j->room[static_cast<size_t>(c) + 1] +=
          static_cast<size_t>(std::min(p.l1, c1) - std::max(p.l0, c0));
    }
  }
  for (size_t c = 0; c < chunks; ++c) {
    j->meets[c + 1] += j->meets[c];
    j->room[c + 1] += j->room[c];
  }
  j->which.resize(j->meets[chunks]);
  std::vector<size_t> at(j->meets.begin(), j->meets.end() - 1);
  for (size_t i = 0; i < j->pieces.size(); ++i) {
    const Piece& p = j->pieces[i];
    for (int32_t c = p.l0 / kLinesPerChunk; c * kLinesPerChunk < p.l1; ++c) {
      j->which[at[static_cast<size_t>(c)]++] = static_cast<uint32_t>(i);
    }
  }
  j->above_size.assign(chunks, 0);
  j->below_size.assign(chunks, 0);
  j->out.first = j->first;
  j->out.count = j->count;
  for (CrossingList* list : {&j->out.above, &j->out.below}) {
    list->offset.assign(static_cast<size_t>(j->count) + 1, 0u);
    list->value.resize(j->room[chunks]);
  }
}

ChunkOut OutOf(LineJob* j, int32_t chunk) {
  const auto c = static_cast<size_t>(chunk);
  const size_t line = c * kLinesPerChunk + 1;
  return {j->out.above.offset.data() + line,
          j->out.below.offset.data() + line,
          j->out.above.value.data() + j->room[c],
          j->out.below.value.data() + j->room[c],
          &j->above_size[c],
          &j->below_size[c]};
}

// Closes the gaps between the chunks' values and turns the counts into offsets.
void Finish(const LineJob& j, const std::vector<size_t>& size, CrossingList* list) {
  size_t to = 0;
  for (size_t c = 0; c < size.size(); ++c) {
    if (to != j.room[c]) {
      std::memmove(list->value.data() + to, list->value.data() + j.room[c],
                   size[c] * sizeof(float));
    }
    to += size[c];
  }
  list->value.resize(to);
  for (size_t l = 0; l < static_cast<size_t>(j.count); ++l) list->offset[l + 1] += list->offset[l];
}

// The chunks of every job in one run of row bands.
void CrossJobs(LineJob* jobs, int n, const BandRunner& bands, CrossingLanes lanes) {
  const Solver solve = PickSolver(lanes);
  int32_t chunks = 0;
  int64_t crossings = 0;
  for (int i = 0; i < n; ++i) {
    LineJob& j = jobs[i];
    j.count = std::max(j.count, 0);
    j.chunks = (j.count + kLinesPerChunk - 1) / kLinesPerChunk;
    PlanChunks(&j);
    chunks += j.chunks;
    crossings += static_cast<int64_t>(j.room[static_cast<size_t>(j.chunks)]);
  }
  std::atomic<bool> no_memory{false};
  auto band = [&](int32_t begin, int32_t end) {
    try {
      ChunkScratch scratch;
      for (int32_t c = begin; c < end; ++c) {
        int32_t local = c;
        LineJob* j = jobs;
        while (local >= j->chunks) local -= (j++)->chunks;
        const int32_t c0 = local * kLinesPerChunk, c1 = std::min(j->count, c0 + kLinesPerChunk);
        const size_t m0 = j->meets[static_cast<size_t>(local)];
        const size_t m1 = j->meets[static_cast<size_t>(local) + 1];
        CrossChunk(j->pieces.data(), j->which.data() + m0, m1 - m0, j->first, c0, c1, solve,
                   &scratch, OutOf(j, local));
      }
    } catch (const std::bad_alloc&) {
      no_memory = true;
    }
  };
  // A bisection costs about what 32 pixels of a kernel do.
  RunBands(bands, chunks, crossings * 32 / std::max(chunks, 1), band);
  if (no_memory) throw std::bad_alloc();
  for (int i = 0; i < n; ++i) {
    Finish(jobs[i], jobs[i].above_size, &jobs[i].out.above);
    Finish(jobs[i], jobs[i].below_size, &jobs[i].out.below);
  }
}

}  // namespace

LineCrossings CrossLines(const std::vector<SegmentRecord>& records, int32_t first, int32_t count,
                         const BandRunner& bands, CrossingLanes lanes) {
  LineJob job;
  job.first = first;
  job.count = std::max(count, 0);
  if (job.count > 0) job.pieces = PiecesOf(records, first, job.count);
  CrossJobs(&job, 1, bands, lanes);
  return std::move(job.out);
}

void CrossOutline(const ShapeOutline& outline, int32_t x, int32_t columns, int32_t y, int32_t rows,
                  const BandRunner& bands, LineCrossings* row_lines, LineCrossings* column_lines) {
  LineJob jobs[2];
  jobs[0].first = y;
  jobs[0].count = std::max(rows, 0);
  jobs[1].first = x;
  jobs[1].count = std::max(columns, 0);
  if (jobs[0].count > 0) jobs[0].pieces = PiecesOf(outline.rows, y, jobs[0].count);
  if (jobs[1].count > 0) jobs[1].pieces = PiecesOf(outline.columns, x, jobs[1].count);
  CrossJobs(jobs, 2, bands, CrossingLanes::kWidest);
  *row_lines = std::move(jobs[0].out);
  *column_lines = std::move(jobs[1].out);
}

}  // namespace lumetra::effects
