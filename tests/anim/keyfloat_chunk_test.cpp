// The curve chunk: exact bytes, round trips and hostile input.
#include "anim/keyfloat_chunk.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "anim/curve_fixture.h"

using namespace lumetra::anim;
using lumetra::anim::test::Curve;
using lumetra::anim::test::LinksConsistent;
using lumetra::platform::ByteReader;
using lumetra::platform::ByteWriter;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Write(const KeyfloatKey* head) {
  Bytes out;
  ByteWriter w(out);
  EXPECT_EQ(KeyfloatChunkWrite(w, head), 1);
  return out;
}

// A chunk of raw keys: time, tension, continuity, bias, ease from, ease to, x, y, z,
// components, flags.
struct RawKey {
  float f[9];
  uint8_t components, flags;
};

Bytes Chunk(std::initializer_list<RawKey> keys, int extra_bytes = 0) {
  Bytes out;
  ByteWriter w(out);
  w.U16(kKeyfloatChunkId);
  w.U32(static_cast<uint32_t>(6 + 38 * keys.size() + extra_bytes));
  for (const RawKey& k : keys) {
    for (float v : k.f) w.F32(v);
    w.U8(k.components);
    w.U8(k.flags);
  }
  for (int i = 0; i < extra_bytes; ++i) w.U8(0xAB);
  return out;
}

RawKey Key(float time, float x, uint8_t components = 1, uint8_t flags = 0) {
  return RawKey{{time, 0.f, 0.f, 0.f, 0.f, 0.f, x, 0.f, 0.f}, components, flags};
}

int Read(const Bytes& bytes, Curve& into) {
  ByteReader r(bytes);
  return KeyfloatChunkRead(r, &into.head);
}

}  // namespace

TEST(KeyfloatChunk, ExactBytesOfOneKey) {
  Curve c;
  KeyfloatKey* k = c.Add(1.f, 2.f, -2.f, 0.5f, 3);
  k->tension = 0.25f;
  k->continuity = 1.f;
  k->bias = -1.f;
  k->ease_from = 0.75f;
  k->ease_to = 0.125f;
  k->flags = KEYFLOAT_FLAG_LOOP | KEYFLOAT_FLAG_SELECTED | KEYFLOAT_FLAG_Y_SELECTED;
  const Bytes expected = {
      0x09, 0xBF, 0x2C, 0x00, 0x00, 0x00,  // id 0xBF09, length 44
      0x00, 0x00, 0x80, 0x3F,              // time 1
      0x00, 0x00, 0x80, 0x3E,              // tension 0.25
      0x00, 0x00, 0x80, 0x3F,              // continuity 1
      0x00, 0x00, 0x80, 0xBF,              // bias -1
      0x00, 0x00, 0x40, 0x3F,              // ease from 0.75
      0x00, 0x00, 0x00, 0x3E,              // ease to 0.125
      0x00, 0x00, 0x00, 0x40,              // x 2
      0x00, 0x00, 0x00, 0xC0,              // y -2
      0x00, 0x00, 0x00, 0x3F,              // z 0.5
      0x03,                                // components
      0x15,                                // flags
  };
  EXPECT_EQ(Write(c.head), expected);
  EXPECT_EQ(Write(nullptr), (Bytes{0x09, 0xBF, 0x06, 0x00, 0x00, 0x00}));
}

TEST(KeyfloatChunk, WriteReadWriteRoundTrip) {
  Curve c;
  for (int i = 0; i < 5; ++i) {
    KeyfloatKey* k = c.Add(0.3f * i, 1.f * i, -2.f * i, 3.5f, int8_t(1 + i % 3));
    k->tension = 0.1f * i;
    k->ease_to = 0.2f * i;
  }
  int i = 0;
  for (KeyfloatKey* k = c.head; k; k = k->next) k->flags = uint8_t(9 * i++);
  const Bytes first = Write(c.head);
  EXPECT_EQ(first.size(), 6u + 38u * 5u);
  Curve back;
  ByteReader r(first);
  ASSERT_EQ(KeyfloatChunkRead(r, &back.head), 1);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_TRUE(LinksConsistent(back.head));
  EXPECT_EQ(Write(back.head), first);

  Curve empty;
  EXPECT_EQ(Read(Write(nullptr), empty), 1);
  EXPECT_EQ(empty.head, nullptr);
}

TEST(KeyfloatChunk, HostileHeadersAreBadChunks) {
  const Bytes good = Chunk({Key(0.f, 1.f), Key(1.f, 2.f)});
  Bytes wrong_id = good;
  wrong_id[0] = 0x0A;
  Bytes short_length = good;
  short_length[2] = 5;
  Bytes long_length = good;
  long_length[2] = 0x53;  // one byte more than there is
  Bytes huge_length = good;
  huge_length[5] = 0xFF;
  for (const Bytes& bytes :
       {wrong_id, short_length, long_length, huge_length, Bytes{0x09, 0xBF, 0x06}}) {
    Curve c;
    ByteReader r(bytes);
    EXPECT_EQ(KeyfloatChunkRead(r, &c.head), kKeyfloatReadBadChunk);
    EXPECT_EQ(c.head, nullptr);
    EXPECT_EQ(r.Position(), 0u);
  }
}

TEST(KeyfloatChunk, HostileKeysAreMended) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  RawKey nan_values = Key(2.f, kNaN, 2);
  nan_values.f[1] = kInf;  // tension
  const Bytes bytes = Chunk({Key(3.f, 30.f, 0), Key(kNaN, 99.f), Key(1.f, 10.f, 200),
                             Key(-kInf, 99.f), Key(5e30f, 99.f), nan_values, Key(1.f, 11.f, 3)},
                            20);
  Curve c;
  ASSERT_EQ(Read(bytes, c), 1);
  EXPECT_TRUE(LinksConsistent(c.head));
  std::vector<KeyfloatKey*> k = c.Keys();
  ASSERT_EQ(k.size(), 4u);
  // Sorted by time, keys of equal time kept in stored order.
  EXPECT_EQ(k[0]->x, 10.f);
  EXPECT_EQ(k[1]->x, 11.f);
  EXPECT_EQ(k[2]->time, 2.f);
  EXPECT_EQ(k[3]->x, 30.f);
  // Component counts clamped to 1..3, NaN fields zeroed, others clamped.
  EXPECT_EQ(k[0]->components, 3);
  EXPECT_EQ(k[3]->components, 1);
  EXPECT_EQ(k[2]->x, 0.f);
  EXPECT_EQ(k[2]->tension, kKeyfloatShapeLimit);
  float x = 0.f;
  KeyfloatEvaluate(c.head, 2.5f, &x, nullptr, nullptr);
  EXPECT_TRUE(std::isfinite(x));
}

TEST(KeyfloatChunk, TruncatedAndCorruptedSweep) {
  Curve c{{0.f, 1.f}, {0.5f, -3.f}, {1.f, 2.f}};
  c.Keys()[2]->flags = KEYFLOAT_FLAG_LOOP;
  const Bytes good = Write(c.head);
  for (std::size_t n = 0; n <= good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + n);
    Curve back;
    EXPECT_EQ(Read(cut, back), n == good.size() ? 1 : kKeyfloatReadBadChunk) << n;
    // The payload alone, cut anywhere: whole keys are read, the rest ignored.
    Curve payload;
    if (n >= 6) {
      ASSERT_EQ(KeyfloatPayloadRead(std::span(cut).subspan(6), &payload.head), 1);
      EXPECT_EQ(payload.Keys().size(), (n - 6) / 38);
    }
  }
  for (std::size_t i = 6; i < good.size(); ++i) {
    for (uint8_t v : {0x00, 0x7F, 0x80, 0xFF}) {
      Bytes bad = good;
      bad[i] = v;
      Curve back;
      ASSERT_EQ(Read(bad, back), 1);
      ASSERT_TRUE(LinksConsistent(back.head));
      for (KeyfloatKey* k = back.head; k; k = k->next) {
        ASSERT_TRUE(KeyfloatTimeValid(k->time));
        ASSERT_GE(k->components, 1);
        ASSERT_LE(k->components, 3);
        if (k->next) {
          ASSERT_LE(k->time, k->next->time);
        }
      }
      float x = 0.f;
      for (float t : {-1.f, 0.25f, 0.75f, 3.3f}) {
        KeyfloatEvaluate(back.head, t, &x, nullptr, nullptr);
        ASSERT_FALSE(std::isnan(x)) << i << " " << int(v) << " " << t;
      }
    }
  }
}
