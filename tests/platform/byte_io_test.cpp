// The little-endian span reader and vector writer.
#include "platform/byte_io.h"

#include <gtest/gtest.h>

using namespace lumetra::platform;

TEST(ByteIo, WritesAndReadsLittleEndian) {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  w.U8(0xAB);
  w.U16(0x1234);
  w.U32(0xDEADBEEF);
  w.I32(-2);
  w.F32(1.f);
  EXPECT_EQ(out, (std::vector<uint8_t>{0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF, 0xFF,
                                       0xFF, 0x00, 0x00, 0x80, 0x3F}));
  ByteReader r(out);
  uint8_t a = 0;
  uint16_t b = 0;
  uint32_t c = 0;
  int32_t d = 0;
  float e = 0.f;
  ASSERT_TRUE(r.U8(a) && r.U16(b) && r.U32(c) && r.I32(d) && r.F32(e));
  EXPECT_EQ(a, 0xAB);
  EXPECT_EQ(b, 0x1234);
  EXPECT_EQ(c, 0xDEADBEEFu);
  EXPECT_EQ(d, -2);
  EXPECT_EQ(e, 1.f);
  EXPECT_TRUE(r.AtEnd());
}

TEST(ByteIo, ReadsPastTheEndFailWithoutMoving) {
  const std::vector<uint8_t> bytes = {1, 2, 3};
  ByteReader r(bytes);
  uint32_t v = 77;
  float f = 5.f;
  EXPECT_FALSE(r.U32(v));
  EXPECT_FALSE(r.F32(f));
  EXPECT_EQ(v, 77u);
  EXPECT_EQ(r.Position(), 0u);
  uint16_t h = 0;
  ASSERT_TRUE(r.U16(h));
  EXPECT_FALSE(r.U16(h));
  EXPECT_FALSE(r.Skip(2));
  EXPECT_EQ(r.Remaining(), 1u);

  // A child reader never reaches its parent's later bytes.
  ByteReader parent(bytes), child;
  EXPECT_FALSE(parent.Sub(4, child));
  ASSERT_TRUE(parent.Sub(2, child));
  EXPECT_EQ(parent.Position(), 2u);
  EXPECT_FALSE(child.U32(v));
  ASSERT_TRUE(child.U16(h));
  EXPECT_EQ(h, 0x0201);
  EXPECT_TRUE(child.AtEnd());
}

TEST(ByteIo, PatchesEarlierWords) {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  w.U16(0xBF09);
  w.U32(0);
  w.U8(7);
  EXPECT_TRUE(w.PatchU32(2, static_cast<uint32_t>(w.Size())));
  EXPECT_EQ(out, (std::vector<uint8_t>{0x09, 0xBF, 7, 0, 0, 0, 7}));
  EXPECT_FALSE(w.PatchU32(4, 1));
  EXPECT_FALSE(w.PatchU32(SIZE_MAX, 1));
}
