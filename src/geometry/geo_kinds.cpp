// The kind table: Vertex, Vector, Contour, Morph Pair and Group operations.
#include "geometry/geo_kinds.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "anim/keyfloat.h"
#include "geometry/geo_internal.h"
#include "geometry/geo_ops.h"

namespace lumetra::geometry {

namespace {

constexpr uint16_t kChunkContour = 0xBF82;
constexpr uint16_t kChunkGroup = 0xBF84;
constexpr uint16_t kChunkMorphPair = 0xBF85;
constexpr uint32_t kNoRef = 0xFFFFFFFFu;
// Nesting deeper than this is not followed by the recursive services.
constexpr int kDepthMax = 256;

int32_t RefNumber(const Geometry* g) {
  return g ? static_cast<int32_t>(g->id) : -1;
}

// Reads a chunk header of the expected id and hands out its payload.
bool ReadChunk(ByteReader& r, uint16_t expected, std::span<const uint8_t>& payload) {
  uint16_t id;
  uint32_t len;
  return r.U16(id) && r.U32(len) && id == expected && len >= kChunkHeaderSize &&
         r.Bytes(len - kChunkHeaderSize, payload);
}

void Pending(const GeoLoadContext& ctx, Geometry* g, int slot, int32_t number) {
  if (ctx.pending != nullptr && number >= 0) ctx.pending->push_back({g, slot, number});
}

// ---- shared slots

void FreeData(Geometry* g, bool) {
  g->data.reset();
}

int Enumerate(Geometry* g, GeoSlotFn cb, intptr_t u1, intptr_t u2) {
  return GeoEnumerate(g, [&](Geometry** slot) { return cb(slot, u1, u2); });
}

int EmitNothing(Geometry*, float, bool, intptr_t, GeoCurveFn) {
  return 1;
}

float PointDistance(Geometry* g, float time, float x, float y) {
  float px, py;
  GeoWorldPosition(g, time, &px, &py);
  return static_cast<float>(std::hypot(double{x} - px, double{y} - py));
}

// ---- Vertex

std::size_t VertexSize(const Geometry* g) {
  std::size_t n = 2 * kChunkHeaderSize + 8;
  const GeoVertexData* v = g->Vertex();
  for (const KeyfloatKey* c : {v->v, v->w})
    for (const KeyfloatKey* k = c; k; k = k->next) n += 38;
  return n;
}

void VertexSave(const Geometry* g, ByteWriter& w) {
  const GeoVertexData* v = g->Vertex();
  GeoWriteCurve(w, v->v);
  GeoWriteCurve(w, v->w);
  w.I32(RefNumber(v->refs[0]));
  w.I32(RefNumber(v->refs[1]));
}

bool VertexLoad(Geometry* g, ByteReader& r, const GeoLoadContext& ctx) {
  GeoVertexData* v = g->Vertex();
  if (!GeoReadCurve(r, &v->v, 1.f) || !GeoReadCurve(r, &v->w, 1.f)) return false;
  if (ctx.file_version < 920) return true;
  int32_t a = -1, b = -1;
  if (!r.I32(a) || !r.I32(b)) return false;
  Pending(ctx, g, 0, a);
  Pending(ctx, g, 1, b);
  return true;
}

std::unique_ptr<GeoKindData> VertexCopy(const Geometry* g) {
  const GeoVertexData* v = g->Vertex();
  auto c = std::unique_ptr<GeoVertexData>(new (std::nothrow) GeoVertexData);
  if (!c) return nullptr;
  c->v = anim::KeyfloatCopy(v->v);
  c->w = anim::KeyfloatCopy(v->w);
  if ((v->v && !c->v) || (v->w && !c->w)) return nullptr;
  c->refs[0] = v->refs[0];
  c->refs[1] = v->refs[1];
  return c;
}

// ---- Vector

std::size_t NoSize(const Geometry*) {
  return 0;
}
void NoSave(const Geometry*, ByteWriter&) {}
bool NoLoad(Geometry*, ByteReader&, const GeoLoadContext&) {
  return true;
}
std::unique_ptr<GeoKindData> NoCopy(const Geometry*) {
  return nullptr;
}

// ---- Contour

std::size_t ContourSize(const Geometry* g) {
  return kChunkHeaderSize + 4 + 4 * g->Contour()->vertices.size();
}

void ContourSave(const Geometry* g, ByteWriter& w) {
  const GeoContourData* c = g->Contour();
  std::size_t at = GeoOpenChunk(w, kChunkContour);
  w.U32(c->flags);
  for (const Geometry* v : c->vertices) w.I32(RefNumber(v));
  GeoCloseChunk(w, at);
}

bool ContourLoad(Geometry* g, ByteReader& r, const GeoLoadContext& ctx) {
  std::span<const uint8_t> payload;
  if (!ReadChunk(r, kChunkContour, payload)) return false;
  ByteReader p(payload);
  GeoContourData* c = g->Contour();
  if (!p.U32(c->flags)) return false;
  std::size_t count = p.Remaining() / 4;
  c->vertices.assign(count, nullptr);
  for (std::size_t i = 0; i < count; ++i) {
    int32_t n = -1;
    p.I32(n);
    Pending(ctx, g, static_cast<int>(i), n);
  }
  return true;
}

std::unique_ptr<GeoKindData> ContourCopy(const Geometry* g) {
  auto c = std::unique_ptr<GeoContourData>(new (std::nothrow) GeoContourData);
  if (!c) return nullptr;
  *c = *g->Contour();
  return c;
}

struct SegmentSink {
  GeoCurveFn cb;
  intptr_t user;
};

int ContourEmit(Geometry* g, float time, bool closed_only, intptr_t user, GeoCurveFn cb) {
  const GeoContourData* c = g->Contour();
  if (closed_only && !c->Closed()) return 1;
  const std::size_t n = c->vertices.size();
  const std::size_t segments = c->Closed() ? n : (n > 0 ? n - 1 : 0);
  for (std::size_t i = 0; i < segments; ++i) {
    Geometry* a = c->vertices[i];
    Geometry* b = c->vertices[(i + 1) % n];
    float x0, y0, x1, y1, vx, vy, wx, wy;
    GeoWorldPosition(a, time, &x0, &y0);
    GeoWorldPosition(b, time, &x1, &y1);
    GeoVertexHandles(a, time, &vx, &vy, nullptr, nullptr);
    GeoVertexHandles(b, time, nullptr, nullptr, &wx, &wy);
    int r = cb(user, x0, y0, vx, vy, x1, y1, wx, wy);
    if (r != 1) return r;
  }
  return 1;
}

// Distance from a point to a contour's outline, each bezier flattened into short chords.
struct DistanceProbe {
  double x, y;
  double best;
};

double PointToChord(double px, double py, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double len2 = dx * dx + dy * dy;
  double u = len2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
  return std::hypot(px - (ax + u * dx), py - (ay + u * dy));
}

int ProbeSegment(intptr_t user, float x0, float y0, float vx, float vy, float x1, float y1,
                 float wx, float wy) {
  auto* probe = reinterpret_cast<DistanceProbe*>(user);
  constexpr int kSteps = 16;
  const double p1x = x0 + vx, p1y = y0 + vy, p2x = x1 + wx, p2y = y1 + wy;
  double ax = x0, ay = y0;
  for (int i = 1; i <= kSteps; ++i) {
    double t = static_cast<double>(i) / kSteps, u = 1 - t;
    double bx = u * u * u * x0 + 3 * u * u * t * p1x + 3 * u * t * t * p2x + t * t * t * x1;
    double by = u * u * u * y0 + 3 * u * u * t * p1y + 3 * u * t * t * p2y + t * t * t * y1;
    probe->best = std::min(probe->best, PointToChord(probe->x, probe->y, ax, ay, bx, by));
    ax = bx;
    ay = by;
  }
  return 1;
}

float ContourDistance(Geometry* g, float time, float x, float y) {
  const GeoContourData* c = g->Contour();
  if (c->vertices.empty()) return kGeoNoDistance;
  DistanceProbe probe{x, y, kGeoNoDistance};
  if (c->vertices.size() == 1) return PointDistance(c->vertices[0], time, x, y);
  ContourEmit(g, time, false, reinterpret_cast<intptr_t>(&probe), ProbeSegment);
  return static_cast<float>(probe.best);
}

// ---- Group and Morph Pair: their members' results in member order

float DistanceAt(Geometry* g, float time, float x, float y, int depth);
int EmitAt(Geometry* g, float time, bool closed_only, intptr_t user, GeoCurveFn cb, int depth);

float MembersDistance(Geometry* g, float time, float x, float y, int depth) {
  float best = kGeoNoDistance;
  GeoEnumerate(g, [&](Geometry** slot) {
    if (*slot != nullptr) best = std::min(best, DistanceAt(*slot, time, x, y, depth + 1));
    return 1;
  });
  return best;
}

int MembersEmit(Geometry* g, float time, bool closed_only, intptr_t user, GeoCurveFn cb,
                int depth) {
  int result = 1;
  GeoEnumerate(g, [&](Geometry** slot) {
    if (*slot == nullptr) return 1;
    result = EmitAt(*slot, time, closed_only, user, cb, depth + 1);
    return result == 1 ? 1 : 3;
  });
  return result;
}

float DistanceAt(Geometry* g, float time, float x, float y, int depth) {
  if (depth > kDepthMax) return kGeoNoDistance;
  if (g->kind == kGeoGroup || g->kind == kGeoMorphPair)
    return MembersDistance(g, time, x, y, depth);
  const GeoKindOps* ops = GeoKindTable(g->kind);
  return ops ? ops->distance(g, time, x, y) : kGeoNoDistance;
}

int EmitAt(Geometry* g, float time, bool closed_only, intptr_t user, GeoCurveFn cb, int depth) {
  if (depth > kDepthMax) return 1;
  if (g->kind == kGeoGroup || g->kind == kGeoMorphPair)
    return MembersEmit(g, time, closed_only, user, cb, depth);
  const GeoKindOps* ops = GeoKindTable(g->kind);
  return ops ? ops->emit_curves(g, time, closed_only, user, cb) : 1;
}

float CompositeDistance(Geometry* g, float time, float x, float y) {
  return MembersDistance(g, time, x, y, 0);
}
int CompositeEmit(Geometry* g, float time, bool closed_only, intptr_t user, GeoCurveFn cb) {
  return MembersEmit(g, time, closed_only, user, cb, 0);
}

std::size_t GroupSize(const Geometry* g) {
  return kChunkHeaderSize + 4 * g->Group()->members.size();
}

void GroupSave(const Geometry* g, ByteWriter& w) {
  std::size_t at = GeoOpenChunk(w, kChunkGroup);
  for (const Geometry* m : g->Group()->members) w.I32(RefNumber(m));
  GeoCloseChunk(w, at);
}

bool GroupLoad(Geometry* g, ByteReader& r, const GeoLoadContext& ctx) {
  std::span<const uint8_t> payload;
  if (!ReadChunk(r, kChunkGroup, payload)) return false;
  ByteReader p(payload);
  std::size_t count = p.Remaining() / 4;
  g->Group()->members.assign(count, nullptr);
  for (std::size_t i = 0; i < count; ++i) {
    int32_t n = -1;
    p.I32(n);
    Pending(ctx, g, static_cast<int>(i), n);
  }
  return true;
}

std::unique_ptr<GeoKindData> GroupCopy(const Geometry* g) {
  auto c = std::unique_ptr<GeoGroupData>(new (std::nothrow) GeoGroupData);
  if (!c) return nullptr;
  *c = *g->Group();
  return c;
}

std::size_t MorphSize(const Geometry*) {
  return 52;
}

void MorphSave(const Geometry* g, ByteWriter& w) {
  const GeoMorphPairData* m = g->MorphPair();
  std::size_t at = GeoOpenChunk(w, kChunkMorphPair);
  w.U32(m->word);
  w.U32(m->a ? m->a->id : kNoRef);
  w.U32(m->b ? m->b->id : kNoRef);
  w.U16(m->steps);
  for (int i = 0; i < 4; ++i) {
    w.F32(m->split_a[i]);
    w.F32(m->split_b[i]);
  }
  GeoCloseChunk(w, at);
}

bool MorphLoad(Geometry* g, ByteReader& r, const GeoLoadContext& ctx) {
  std::span<const uint8_t> payload;
  if (!ReadChunk(r, kChunkMorphPair, payload)) return false;
  ByteReader p(payload);
  GeoMorphPairData* m = g->MorphPair();
  int32_t a = -1, b = -1;
  uint16_t steps;
  float split[8];
  if (!p.U32(m->word) || !p.I32(a) || !p.I32(b) || !p.U16(steps)) return false;
  for (float& s : split)
    if (!p.F32(s)) return false;
  m->steps = static_cast<uint16_t>(std::clamp<int>(steps, 1, kGeoMorphStepsMax));
  for (int i = 0; i < 4; ++i) {
    if (std::isfinite(split[2 * i])) m->split_a[i] = split[2 * i];
    if (std::isfinite(split[2 * i + 1])) m->split_b[i] = split[2 * i + 1];
  }
  Pending(ctx, g, 0, a);
  Pending(ctx, g, 1, b);
  return true;
}

std::unique_ptr<GeoKindData> MorphCopy(const Geometry* g) {
  auto c = std::unique_ptr<GeoMorphPairData>(new (std::nothrow) GeoMorphPairData);
  if (!c) return nullptr;
  *c = *g->MorphPair();
  return c;
}

const GeoKindOps kVertexOps = {"Vertex",   nullptr,    FreeData,   Enumerate,     VertexSize,
                               VertexSave, VertexLoad, VertexCopy, PointDistance, EmitNothing};
const GeoKindOps kVectorOps = {"Vector", nullptr, FreeData, Enumerate,     NoSize,
                               NoSave,   NoLoad,  NoCopy,   PointDistance, EmitNothing};
const GeoKindOps kContourOps = {"Contour",       nullptr,     FreeData,    Enumerate,
                                ContourSize,     ContourSave, ContourLoad, ContourCopy,
                                ContourDistance, ContourEmit};
const GeoKindOps kMorphOps = {"Morph Pair", nullptr,   FreeData,  Enumerate,         MorphSize,
                              MorphSave,    MorphLoad, MorphCopy, CompositeDistance, CompositeEmit};
const GeoKindOps kGroupOps = {"Group",   nullptr,   FreeData,  Enumerate,         GroupSize,
                              GroupSave, GroupLoad, GroupCopy, CompositeDistance, CompositeEmit};

}  // namespace

const GeoKindOps* GeoKindTable(int kind) {
  switch (kind) {
    case kGeoVertex:
      return &kVertexOps;
    case kGeoVector:
      return &kVectorOps;
    case kGeoContour:
      return &kContourOps;
    case kGeoMorphPair:
      return &kMorphOps;
    case kGeoGroup:
      return &kGroupOps;
    default:
      return nullptr;
  }
}

std::unique_ptr<GeoKindData> GeoNewKindData(int kind) {
  switch (kind) {
    case kGeoVertex:
      return std::make_unique<GeoVertexData>();
    case kGeoContour:
      return std::make_unique<GeoContourData>();
    case kGeoMorphPair:
      return std::make_unique<GeoMorphPairData>();
    case kGeoGroup:
      return std::make_unique<GeoGroupData>();
    default:
      return nullptr;
  }
}

}  // namespace lumetra::geometry
