// The geometry list chunk: round trip, links by number, and hostile input.
#include "geometry/geo_chunk.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "anim/keyfloat.h"
#include "geo_fixture.h"
#include "geometry/geo_internal.h"

namespace lumetra::geometry::test {
namespace {

std::vector<uint8_t> Write(GeometryList& list, const GeoWriteContext& ctx = {}) {
  std::vector<uint8_t> out;
  GeoListWrite(list, out, ctx);
  return out;
}

// A list of every kind, linked, attached and referenced.
void BuildSample(GeometryList& list) {
  Geometry* c = AddContour(list, "Contour001", {{0.1f, 0.1f}, {0.3f, 0.1f}, {0.2f, 0.4f}}, true);
  anim::KeyfloatKeySet(&c->rotation, 1.5f, 1, 45.f, 0.f, 0.f);
  Geometry* d = AddContour(list, "Contour002", {{0.5f, 0.5f}, {0.6f, 0.5f}}, false);
  Geometry* g = Add(list, kGeoGroup, "Group001");
  GeoAttach(g, c);
  GeoAttach(g, d);
  GeoLink(g, c, 0.f);
  Geometry* vec = Add(list, kGeoVector, "Vector", 0.7f, 0.7f);
  GeoLink(g, vec, 0.f);
  Geometry* pair = Add(list, kGeoMorphPair, "MorphPair001");
  GeoMpairAssign(pair, 0, c);
  GeoMpairAssign(pair, 1, d);
  pair->MorphPair()->steps = 5;
  pair->flags |= kGeoTemporary;
  pair->owner_clip = &list;
  GeoVertexSetRef(c->Contour()->vertices[0], 1, d->Contour()->vertices[1]);
}

void CheckConsistent(GeometryList& list) {
  std::size_t n = 0;
  for (Geometry* g = list.First(); g != nullptr; g = g->next, ++n) {
    ASSERT_TRUE(GeoKindValid(g->kind));
    ASSERT_EQ(g->owner, &list);
    std::size_t depth = 0;
    for (Geometry* p = g->parent; p != nullptr; p = p->parent) ASSERT_LT(++depth, list.Size());
    if (auto* c = g->Contour()) {
      for (Geometry* v : c->vertices) ASSERT_TRUE(v != nullptr && v->kind == kGeoVertex);
    }
    if (auto* gr = g->Group()) {
      for (Geometry* m : gr->members) ASSERT_FALSE(GeoContains(m, g));
    }
    if (auto* m = g->MorphPair()) {
      ASSERT_TRUE(m->a == nullptr || m->a->kind == kGeoContour);
      ASSERT_GE(m->steps, 1);
      ASSERT_LE(m->steps, kGeoMorphStepsMax);
    }
  }
  ASSERT_EQ(n, list.Size());
}

TEST(GeoChunk, RoundTripKeepsLinksAndBytes) {
  GeometryList list;
  BuildSample(list);
  GeoWriteContext ctx;
  ctx.clip_number = [](const void*) { return 42; };
  std::vector<uint8_t> bytes = Write(list, ctx);
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(bytes[0] | (bytes[1] << 8), 0xBF11);
  uint32_t len;
  std::memcpy(&len, &bytes[2], 4);
  EXPECT_EQ(len, bytes.size());

  GeometryList back;
  GeoReadResult r = GeoListRead(back, bytes, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.loaded, static_cast<int>(list.Size()));
  EXPECT_EQ(r.ignored, 0);
  CheckConsistent(back);

  Geometry* c = GeoFindByName(back, "Contour001");
  Geometry* d = GeoFindByName(back, "Contour002");
  Geometry* g = GeoFindByName(back, "Group001");
  Geometry* pair = GeoFindByName(back, "MorphPair001");
  ASSERT_TRUE(c && d && g && pair);
  EXPECT_EQ(c->parent, g);
  EXPECT_TRUE(c->Contour()->Closed());
  EXPECT_EQ(c->Contour()->vertices.size(), 3u);
  EXPECT_EQ(c->Contour()->vertices[0]->parent, c);
  EXPECT_EQ(g->Group()->members, (std::vector<Geometry*>{c, d}));
  EXPECT_EQ(pair->MorphPair()->a, c);
  EXPECT_EQ(pair->MorphPair()->b, d);
  EXPECT_EQ(pair->MorphPair()->steps, 5);
  EXPECT_EQ(pair->owner_clip_number, 42);
  EXPECT_EQ(c->Contour()->vertices[0]->Vertex()->refs[1], d->Contour()->vertices[1]);
  EXPECT_EQ(GeoFindByName(back, "Vector")->parent, g);
  // Indexes are rebuilt: deleting a contour empties the pair's side.
  GeoDeleteEx(c, true, 0.f);
  EXPECT_EQ(pair->MorphPair()->a, nullptr);

  GeometryList again;
  GeoListRead(again, bytes, {});
  // The project turns owner clip numbers back into clips.
  for (Geometry* h = again.First(); h != nullptr; h = h->next)
    if (h->owner_clip_number >= 0) h->owner_clip = &again;
  EXPECT_EQ(Write(again, ctx), bytes);
}

// A geometry chunk written by hand.
struct GeoChunk {
  uint16_t kind = kGeoVector;
  uint32_t flags = kGeoTimesInSeconds;
  int32_t number = 0;
  std::string name = "G";
  int32_t parent = -1;
  std::vector<std::array<float, 2>> position_keys = {{0.f, 0.f}};  // time, x
  std::vector<uint8_t> payload;
};

std::vector<uint8_t> ListOf(const std::vector<GeoChunk>& chunks) {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  std::size_t list_at = GeoOpenChunk(w, kChunkGeometryList);
  for (const GeoChunk& c : chunks) {
    std::size_t at = GeoOpenChunk(w, kChunkGeometry);
    w.U16(c.kind);
    w.U32(c.flags);
    w.I32(c.number);
    w.U32(0);
    w.U32(0);
    GeoCString(w, c.name);
    w.I32(c.parent);
    std::size_t curve = GeoOpenChunk(w, 0xBF09);
    for (auto [t, x] : c.position_keys) {
      for (float v : {t, 0.f, 0.f, 0.f, 0.f, 0.f, x, 0.f, 0.f}) w.F32(v);
      w.U8(2);
      w.U8(0);
    }
    GeoCloseChunk(w, curve);
    GeoCloseChunk(w, GeoOpenChunk(w, 0xBF09));
    GeoCloseChunk(w, GeoOpenChunk(w, 0xBF09));
    out.insert(out.end(), c.payload.begin(), c.payload.end());
    GeoCloseChunk(w, at);
  }
  GeoCloseChunk(w, list_at);
  return out;
}

std::vector<uint8_t> Members(uint16_t id, std::vector<int32_t> numbers, bool flags_word) {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  std::size_t at = GeoOpenChunk(w, id);
  if (flags_word) w.U32(1);
  for (int32_t n : numbers) w.I32(n);
  GeoCloseChunk(w, at);
  return out;
}

std::vector<uint8_t> Handles() {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  GeoCloseChunk(w, GeoOpenChunk(w, 0xBF09));
  GeoCloseChunk(w, GeoOpenChunk(w, 0xBF09));
  w.I32(-1);
  w.I32(-1);
  return out;
}

TEST(GeoChunk, UnknownKindsAndUnterminatedNamesAreIgnored) {
  GeoChunk ok;
  GeoChunk seven;
  seven.kind = 7;
  GeoChunk one;
  one.kind = 1;
  std::vector<uint8_t> bytes = ListOf({ok, seven, one});
  GeometryList list;
  GeoReadResult r = GeoListRead(list, bytes, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.loaded, 1);
  EXPECT_EQ(r.ignored, 2);

  // A name that runs to the end of its chunk.
  std::vector<uint8_t> cut = ListOf({ok});
  cut.resize(6 + 6 + 2 + 4 * 4 + 1);  // list and geometry headers, fields, "G" without NUL
  cut[2] = static_cast<uint8_t>(cut.size());
  cut[8] = static_cast<uint8_t>(cut.size() - 6);
  GeometryList list2;
  r = GeoListRead(list2, cut, {});
  EXPECT_EQ(r.loaded, 0);
  EXPECT_EQ(r.ignored, 1);

  // Names past the longest kept are cut to it.
  GeoChunk longname;
  longname.name = std::string(2000, 'n');
  GeometryList list3;
  GeoListRead(list3, ListOf({longname}), {});
  ASSERT_EQ(list3.Size(), 1u);
  EXPECT_EQ(list3.First()->name.size(), kGeoNameMax);
}

TEST(GeoChunk, BadNumbersAreMadeSafe) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  GeoChunk frames;  // key times in frames: no bit 15
  frames.flags = 0;
  frames.position_keys = {{0.f, 0.1f}, {50.f, 0.2f}};
  GeoChunk bad;
  bad.number = 1;
  bad.position_keys = {{nan, nan}, {1e30f, 0.5f}, {2.f, std::numeric_limits<float>::infinity()}};
  GeoChunk pair;
  pair.kind = kGeoMorphPair;
  pair.number = 2;
  {
    ByteWriter w(pair.payload);
    std::size_t at = GeoOpenChunk(w, 0xBF85);
    w.U32(0);
    w.I32(0x7FFFFFFF);  // no such geometry
    w.I32(1);           // not a contour
    w.U16(1000);
    for (int i = 0; i < 8; ++i) w.F32(nan);
    GeoCloseChunk(w, at);
  }
  GeometryList list;
  GeoLoadContext ctx;
  ctx.time_base = 25.f;
  GeoReadResult r = GeoListRead(list, ListOf({frames, bad, pair}), ctx);
  ASSERT_EQ(r.loaded, 3);
  CheckConsistent(list);
  Geometry* f = list.First();
  EXPECT_FLOAT_EQ(f->position->next->time, 2.f);
  Geometry* b = f->next;
  for (KeyfloatKey* k = b->position; k != nullptr; k = k->next) {
    EXPECT_TRUE(std::isfinite(k->time));
    EXPECT_TRUE(std::isfinite(k->x));
    EXPECT_GE(k->components, 1);
  }
  GeoMorphPairData* m = b->next->MorphPair();
  EXPECT_EQ(m->a, nullptr);
  EXPECT_EQ(m->b, nullptr);
  EXPECT_EQ(m->steps, kGeoMorphStepsMax);
  EXPECT_EQ(m->split_a[1], 0.25f);
}

TEST(GeoChunk, CyclesAndWrongKindsInFilesAreDropped) {
  GeoChunk a;  // parent of b, and b of a
  a.kind = kGeoGroup;
  a.number = 0;
  a.parent = 1;
  a.name = "A";
  a.payload = Members(0xBF84, {1, 0}, false);  // b, and itself
  GeoChunk b = a;
  b.number = 1;
  b.parent = 0;
  b.name = "B";
  b.payload = Members(0xBF84, {0}, false);  // a: closes a membership cycle
  GeoChunk c;
  c.kind = kGeoContour;
  c.number = 2;
  c.parent = 2;  // itself
  c.name = "C";
  c.payload = Members(0xBF82, {0, 3, -5, 99}, true);  // a group, a vertex, junk
  GeoChunk v;
  v.kind = kGeoVertex;
  v.number = 3;
  v.name = "V";
  v.payload = Handles();
  GeometryList list;
  GeoReadResult r = GeoListRead(list, ListOf({a, b, c, v}), {});
  ASSERT_EQ(r.loaded, 4);
  CheckConsistent(list);
  Geometry* ga = GeoFindByName(list, "A");
  Geometry* gb = GeoFindByName(list, "B");
  Geometry* gc = GeoFindByName(list, "C");
  EXPECT_TRUE(ga->parent == nullptr || gb->parent == nullptr);
  EXPECT_EQ(gc->parent, nullptr);
  EXPECT_EQ(ga->Group()->members, (std::vector<Geometry*>{gb}));
  EXPECT_TRUE(gb->Group()->members.empty());
  EXPECT_EQ(gc->Contour()->vertices, (std::vector<Geometry*>{GeoFindByName(list, "V")}));
}

TEST(GeoChunk, TruncatedAndCorruptedInputNeverReadsOutside) {
  // Every kind once, kept small so that each byte can be tried.
  GeometryList list;
  Geometry* c = AddContour(list, "C", {{0.1f, 0.1f}, {0.3f, 0.1f}}, true);
  Geometry* g = Add(list, kGeoGroup, "G");
  GeoAttach(g, c);
  GeoLink(g, Add(list, kGeoVector, "Vec"), 0.f);
  GeoMpairAssign(Add(list, kGeoMorphPair, "M"), 0, c);
  const std::vector<uint8_t> bytes = Write(list);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    // Cut short, once with the stated length kept and once with it matching the cut.
    for (bool fix_length : {false, true}) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
      if (fix_length && n >= 6)
        for (int i = 0; i < 4; ++i) cut[2 + i] = static_cast<uint8_t>(n >> (8 * i));
      GeometryList back;
      GeoReadResult r = GeoListRead(back, cut, {});
      if (!fix_length) {
        EXPECT_EQ(r.status, -2) << n;
      }
      CheckConsistent(back);
    }
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    for (uint8_t value : {static_cast<uint8_t>(~bytes[i]), static_cast<uint8_t>(bytes[i] ^ 0x01)}) {
      std::vector<uint8_t> bad = bytes;
      bad[i] = value;
      GeometryList back;
      GeoListRead(back, bad, {});
      CheckConsistent(back);
      std::vector<uint8_t> rewritten;
      GeoListWrite(back, rewritten, {});
      GeoEvaluateAll(back, 0.5f);
      while (back.First() != nullptr) GeoDeleteEx(back.First(), true, 0.f);
    }
  }
}

}  // namespace
}  // namespace lumetra::geometry::test
