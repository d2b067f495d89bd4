// Segment records and their crossings with pixel lines. Each record is cut into monotonic
// pieces and each piece is asked only for the lines it spans, so the cost follows the
// crossings, not lines x segments. The bisections run in batches of vector lanes: every
// lane does exactly the float steps of one scalar bisection, so the values do not depend
// on which crossings share a batch nor on the vector width.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

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

// Lanes of four (SSE) or eight (AVX2) floats, two groups of them per batch so that the
// groups' dependency chains interleave. The operations are plain IEEE float steps, so
// either width gives the same bits.
using Float4 = float __attribute__((vector_size(16)));
using Mask4 = int32_t __attribute__((vector_size(16)));
using Float8 = float __attribute__((vector_size(32)));
using Mask8 = int32_t __attribute__((vector_size(32)));
constexpr int kGroups = 2, kMaxLanes = 8 * kGroups;

// A line a piece crosses strictly between its ends, to be bisected.
struct Task {
  const Piece* piece;
  int32_t line;  // relative to the first
  uint8_t seen;
};

// Whether every lane of a mask is set.
[[gnu::always_inline]] inline bool Every(Mask4 m) {
  return __builtin_ia32_movmskps(reinterpret_cast<Float4>(m)) == 0xF;
}

[[gnu::always_inline]] inline bool Every(Mask8 m) {
  return Every(__builtin_shufflevector(m, m, 0, 1, 2, 3) &
               __builtin_shufflevector(m, m, 4, 5, 6, 7));
}

// Bisection of up to kGroups * W tasks at once: per lane, t from (tA + tB) / 2; stop
// when |tB - tA| < 1e-6; f = ((a t + b) t + c) t + d - L; rising with f < 0 or falling
// with f > 0 moves tA to t, else tB; halve; stop when |f| < 1e-4. A finished lane keeps
// its t. A falling piece runs on the negated cubic and line: rounding is symmetric, so
// that gives exactly -f, and the test is f < 0 for both.
template <class F, class M, int W>
[[gnu::always_inline]] inline void BisectLanes(const Task* tasks, int n, int32_t first,
                                               float* t_out) {
  F a[kGroups]{}, b[kGroups]{}, c[kGroups]{}, d[kGroups]{}, line[kGroups]{};
  F ta[kGroups]{}, tb[kGroups]{}, t[kGroups];
  for (int i = 0; i < n; ++i) {
    const Piece& p = *tasks[i].piece;
    const HermiteAxis& h = p.record->cross;
    const int g = i / W, k = i % W;
    const float sign = p.pb >= p.pa ? 1.f : -1.f;
    a[g][k] = sign * h.a;
    b[g][k] = sign * h.b;
    c[g][k] = sign * h.c;
    d[g][k] = sign * h.d;
    line[g][k] = sign * static_cast<float>(first + tasks[i].line);
    ta[g][k] = p.ta;
    tb[g][k] = p.tb;
  }
  // Unused lanes have tA = tB and stop at once. Vector casts keep the bits: |v| clears
  // the sign bit, selects mix bits by mask.
  const M no_sign = M{} + 0x7FFFFFFF;
  M done[kGroups]{};
  for (int g = 0; g < kGroups; ++g) t[g] = (ta[g] + tb[g]) * 0.5f;
  for (;;) {
    M all = M{} - 1;
    for (int g = 0; g < kGroups; ++g) {
      done[g] |= (F)((M)(tb[g] - ta[g]) & no_sign) < 1e-6f;
      all &= done[g];
    }
    if (Every(all)) break;
    for (int g = 0; g < kGroups; ++g) {
      const F f = ((a[g] * t[g] + b[g]) * t[g] + c[g]) * t[g] + d[g] - line[g];
      const M go = f < 0.f;
      const M live = ~done[g];
      const M to_a = live & go, to_b = live & ~go;
      ta[g] = (F)(((M)t[g] & to_a) | ((M)ta[g] & ~to_a));
      tb[g] = (F)(((M)t[g] & to_b) | ((M)tb[g] & ~to_b));
      const F mid = (ta[g] + tb[g]) * 0.5f;
      t[g] = (F)(((M)mid & live) | ((M)t[g] & ~live));
      done[g] |= live & ((F)((M)f & no_sign) < 0.0001f);
    }
  }
  for (int i = 0; i < n; ++i) t_out[i] = t[i / W][i % W];
}

void BisectNarrow(const Task* tasks, int n, int32_t first, float* t_out) {
  BisectLanes<Float4, Mask4, 4>(tasks, n, first, t_out);
}

[[gnu::target("avx2")]] void BisectWide(const Task* tasks, int n, int32_t first, float* t_out) {
  BisectLanes<Float8, Mask8, 8>(tasks, n, first, t_out);
}

// Tasks per batch, and the batch's bisection, for this processor.
struct Bisector {
  int lanes;
  void (*run)(const Task*, int, int32_t, float*);
};

Bisector PickBisector() {
  if (__builtin_cpu_supports("avx2")) return {8 * kGroups, BisectWide};
  return {4 * kGroups, BisectNarrow};
}

constexpr int32_t kLinesPerChunk = 64;

constexpr uint8_t kAbove = 1, kBelow = 2;

struct Hit {
  float value;
  uint8_t seen;  // kAbove, kBelow or both
  int32_t line;
};

// One chunk's crossings, line by line, ascending: per line the count seen from above and
// from below, and the values of each list one line after the other.
struct ChunkCrossings {
  std::vector<uint32_t> above_count, below_count;
  std::vector<float> above, below;
};

// Buffers one band reuses from chunk to chunk.
struct ChunkScratch {
  std::vector<Hit> hits, sorted;
  std::vector<Task> tasks;
  std::vector<uint32_t> start, at;
};

void CrossChunk(const std::vector<Piece>& pieces, int32_t first, int32_t c0, int32_t c1,
                ChunkScratch* scratch, ChunkCrossings* out) {
  std::vector<Hit>& hits = scratch->hits;
  std::vector<Task>& tasks = scratch->tasks;
  hits.clear();
  tasks.clear();
  auto hit = [&hits](int32_t l, float v, uint8_t seen) {
    if (std::isfinite(v)) hits.push_back({v, seen, l});
  };
  for (const Piece& p : pieces) {
    const int32_t l0 = std::max(p.l0, c0), l1 = std::min(p.l1, c1);
    const float lo = std::min(p.pa, p.pb), hi = std::max(p.pa, p.pb);
    for (int32_t l = l0; l < l1; ++l) {
      const auto line = static_cast<float>(first + l);
      const auto seen = static_cast<uint8_t>((line < hi ? kAbove : 0) | (line > lo ? kBelow : 0));
      // A piece ending on the line crosses it at that end.
      if (line == p.pa) {
        hit(l, p.record->other.Hermite(p.ta), seen);
      } else if (line == p.pb) {
        hit(l, p.record->other.Hermite(p.tb), seen);
      } else {
        tasks.push_back({&p, l, seen});
      }
    }
  }
  static const Bisector bisect = PickBisector();
  const auto lanes = static_cast<size_t>(bisect.lanes);
  float t[kMaxLanes];
  for (size_t i = 0; i < tasks.size(); i += lanes) {
    const int n = static_cast<int>(std::min(lanes, tasks.size() - i));
    bisect.run(&tasks[i], n, first, t);
    for (int k = 0; k < n; ++k) {
      const Task& task = tasks[i + static_cast<size_t>(k)];
      hit(task.line, task.piece->record->other.Hermite(t[k]), task.seen);
    }
  }
  // Bucket by line, then sort each line's values.
  const auto lines = static_cast<size_t>(c1 - c0);
  std::vector<uint32_t>& start = scratch->start;
  start.assign(lines + 1, 0u);
  for (const Hit& h : hits) ++start[static_cast<size_t>(h.line - c0) + 1];
  for (size_t i = 0; i < lines; ++i) start[i + 1] += start[i];
  std::vector<Hit>& sorted = scratch->sorted;
  sorted.resize(hits.size());
  std::vector<uint32_t>& at = scratch->at;
  at.assign(start.begin(), start.end() - 1);
  for (const Hit& h : hits) sorted[at[static_cast<size_t>(h.line - c0)]++] = h;
  out->above_count.assign(lines, 0u);
  out->below_count.assign(lines, 0u);
  out->above.reserve(hits.size());
  out->below.reserve(hits.size());
  for (size_t i = 0; i < lines; ++i) {
    Hit* b = sorted.data() + start[i];
    Hit* e = sorted.data() + start[i + 1];
    std::sort(b, e, [](const Hit& x, const Hit& y) { return x.value < y.value; });
    for (const Hit* h = b; h != e; ++h) {
      if ((h->seen & kAbove) != 0) {
        out->above.push_back(h->value);
        ++out->above_count[i];
      }
      if ((h->seen & kBelow) != 0) {
        out->below.push_back(h->value);
        ++out->below_count[i];
      }
    }
  }
}

void Gather(const std::vector<ChunkCrossings>& chunks, int32_t count, bool above,
            CrossingList* out) {
  out->offset.assign(static_cast<size_t>(count) + 1, 0u);
  size_t total = 0;
  for (const ChunkCrossings& c : chunks) total += (above ? c.above : c.below).size();
  out->value.clear();
  out->value.reserve(total);
  size_t line = 0;
  for (const ChunkCrossings& c : chunks) {
    const std::vector<uint32_t>& n = above ? c.above_count : c.below_count;
    for (uint32_t k : n) {
      out->offset[line + 1] = out->offset[line] + k;
      ++line;
    }
    const std::vector<float>& v = above ? c.above : c.below;
    out->value.insert(out->value.end(), v.begin(), v.end());
  }
}

// One set of lines to cross: its pieces and, per chunk of lines, what was found.
struct LineJob {
  std::vector<Piece> pieces;
  int32_t first = 0, count = 0, chunks = 0;
  std::vector<ChunkCrossings> found;
};

LineCrossings Finish(const LineJob& job) {
  LineCrossings out;
  out.first = job.first;
  out.count = job.count;
  if (job.count == 0) {
    out.above.offset.assign(1, 0u);
    out.below.offset.assign(1, 0u);
    return out;
  }
  Gather(job.found, job.count, true, &out.above);
  Gather(job.found, job.count, false, &out.below);
  return out;
}

// The chunks of every job in one run of row bands.
void CrossJobs(LineJob* jobs, int n, const BandRunner& bands) {
  int32_t chunks = 0;
  int64_t crossings = 0;
  for (int i = 0; i < n; ++i) {
    LineJob& j = jobs[i];
    j.count = std::max(j.count, 0);
    j.chunks = (j.count + kLinesPerChunk - 1) / kLinesPerChunk;
    j.found.resize(static_cast<size_t>(j.chunks));
    chunks += j.chunks;
    for (const Piece& p : j.pieces) crossings += p.l1 - p.l0;
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
        CrossChunk(j->pieces, j->first, c0, c1, &scratch, &j->found[static_cast<size_t>(local)]);
      }
    } catch (const std::bad_alloc&) {
      no_memory = true;
    }
  };
  // A bisection costs about what 32 pixels of a kernel do.
  RunBands(bands, chunks, crossings * 32 / std::max(chunks, 1), band);
  if (no_memory) throw std::bad_alloc();
}

}  // namespace

LineCrossings CrossLines(const std::vector<SegmentRecord>& records, int32_t first, int32_t count,
                         const BandRunner& bands) {
  LineJob job;
  job.first = first;
  job.count = std::max(count, 0);
  if (job.count > 0) job.pieces = PiecesOf(records, first, job.count);
  CrossJobs(&job, 1, bands);
  return Finish(job);
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
  CrossJobs(jobs, 2, bands);
  *row_lines = Finish(jobs[0]);
  *column_lines = Finish(jobs[1]);
}

}  // namespace lumetra::effects
