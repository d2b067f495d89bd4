// Chunk headers, bounds and the writer's container lengths.
#include <gtest/gtest.h>

#include "chunk_builder.h"
#include "projectfile/chunk_reader.h"
#include "projectfile/chunk_writer.h"

namespace lumetra::project {
namespace {

using test::CB;

TEST(Chunk, ListWalksChildrenByLength) {
  auto bytes = CB().add(CB(0x1111).u32(7)).add(CB(0x2222)).add(CB(0x3333).cstr("ab")).build();
  ChunkList list(bytes);
  Chunk c;
  std::vector<std::pair<uint16_t, size_t>> seen;
  while (list.Next(c)) seen.push_back({c.id, c.payload.size()});
  EXPECT_EQ(list.Fault(), ChunkFault::kNone);
  EXPECT_EQ(seen,
            (std::vector<std::pair<uint16_t, size_t>>{{0x1111, 4}, {0x2222, 0}, {0x3333, 3}}));
}

TEST(Chunk, ListFaults) {
  struct Case {
    std::vector<uint8_t> bytes;
    ChunkFault fault;
    int good;
  } cases[] = {
      {CB().add(CB(1).length(5)).build(), ChunkFault::kShortLength, 0},
      {CB().add(CB(1).length(0)).build(), ChunkFault::kShortLength, 0},
      {CB().add(CB(1)).add(CB(2).u32(0).length(11)).build(), ChunkFault::kBeyondParent, 1},
      {CB().add(CB(1)).raw({1, 2, 3}).build(), ChunkFault::kTruncatedHeader, 1},
      {CB().add(CB(1).length(0xFFFFFFFF)).build(), ChunkFault::kBeyondParent, 0},
  };
  for (const Case& k : cases) {
    ChunkList list(k.bytes);
    Chunk c;
    int good = 0;
    while (list.Next(c)) ++good;
    EXPECT_EQ(list.Fault(), k.fault);
    EXPECT_EQ(good, k.good);
  }
}

TEST(Chunk, ChildCannotReadPastItsParent) {
  // The inner chunk claims 10 bytes but its parent holds only 8 of payload.
  auto bytes = CB(0xAAAA).add(CB(0xBBBB).u32(1).length(10)).build();
  Chunk outer;
  ASSERT_EQ(ChunkAt(bytes, outer), ChunkFault::kNone);
  Chunk inner;
  EXPECT_EQ(ChunkAt(outer.payload, inner), ChunkFault::kNone);
  bytes = CB(0xAAAA).add(CB(0xBBBB).u32(1).length(11)).build();
  ASSERT_EQ(ChunkAt(bytes, outer), ChunkFault::kNone);
  EXPECT_EQ(ChunkAt(outer.payload, inner), ChunkFault::kBeyondParent);
}

TEST(Chunk, CursorStopsAtEnd) {
  auto bytes = CB().u32(0x04030201).u16(0x0605).raw({'h', 'i', 0, 'x'}).build();
  ChunkCursor c(bytes);
  uint32_t a;
  uint16_t b;
  std::string s;
  EXPECT_TRUE(c.U32(a) && c.U16(b) && c.CString(10, s));
  EXPECT_EQ(a, 0x04030201u);
  EXPECT_EQ(b, 0x0605u);
  EXPECT_EQ(s, "hi");
  EXPECT_FALSE(c.CString(10, s));  // no NUL left
  EXPECT_FALSE(c.Ok());
  uint8_t u;
  EXPECT_FALSE(c.U8(u));  // a failed cursor stays failed
}

TEST(Chunk, WriterFillsNestedLengths) {
  std::vector<uint8_t> out;
  ChunkWriter w(out);
  size_t outer = w.Open(0xBF00);
  w.TextChunk(0xCF23, "abc");
  w.EmptyChunk(0xEF03);
  size_t inner = w.Open(0xCF26);
  w.I32(-1);
  w.Close(inner);
  w.Close(outer);
  auto expected = CB(0xBF00).text(0xCF23, "abc").add(CB(0xEF03)).add(CB(0xCF26).i32(-1)).build();
  EXPECT_EQ(out, expected);
  EXPECT_EQ(out.size(), 6u + 10 + 6 + 10);
}

}  // namespace
}  // namespace lumetra::project
