// Weaving fields into frames and de-interlacing.
#include "render/pic_field.h"

#include <gtest/gtest.h>

#include "render/pic_fixture.h"

namespace lumetra::render {
namespace {

using testing::Bgra;
using testing::MakePic;
using testing::Px;

// Row r of the 4-row source is uniformly kRows[r], with odd byte sums to check the floor.
constexpr uint32_t kRows[4] = {Bgra(10, 20, 30, 40), Bgra(11, 101, 201, 255), Bgra(30, 0, 3, 1),
                               Bgra(200, 50, 0, 255)};

uint32_t Avg(uint32_t a, uint32_t b) {
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) out |= (((a >> s & 0xFF) + (b >> s & 0xFF)) >> 1) << s;
  return out;
}

TEST(PicDeinterlace, BothFieldsInPlaceAndAsCopy) {
  struct Case {
    int32_t field;
    uint32_t rows[4];
  };
  const Case cases[] = {
      {0, {kRows[1], kRows[1], Avg(kRows[1], kRows[3]), kRows[3]}},
      {1, {kRows[0], Avg(kRows[0], kRows[2]), kRows[2], kRows[2]}},
  };
  for (const auto& c : cases) {
    auto pic = MakePic(3, 4, [](int32_t, int32_t r) { return kRows[r]; });
    pic->x = 1;
    pic->y = 2;
    pic->tag = 0.5f;
    PicPtr copy(PicDeinterlaceCopy(pic.get(), c.field));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->x, 1);
    EXPECT_EQ(copy->y, 2);
    EXPECT_EQ(copy->tag, 0.5f);
    for (int32_t r = 0; r < 4; ++r) EXPECT_EQ(Px(*pic, 2, r), kRows[r]) << "source untouched";

    EXPECT_EQ(PicDeinterlace(pic.get(), c.field), 1);
    for (int32_t r = 0; r < 4; ++r) {
      for (int32_t x = 0; x < 3; ++x) {
        EXPECT_EQ(Px(*pic, x, r), c.rows[r]) << "field " << c.field << " row " << r;
        EXPECT_EQ(Px(*copy, x, r), c.rows[r]) << "copy, field " << c.field << " row " << r;
      }
    }
  }
}

TEST(PicDeinterlace, OneRowAndMissingPicture) {
  auto pic = MakePic(2, 1, [](int32_t x, int32_t) { return x + 1u; });
  EXPECT_EQ(PicDeinterlace(pic.get(), 0), 1);
  EXPECT_EQ(Px(*pic, 0, 0), 1u);
  PicPtr copy(PicDeinterlaceCopy(pic.get(), 1));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(Px(*copy, 1, 0), 2u);

  EXPECT_EQ(PicDeinterlace(nullptr, 0), 0);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
  EXPECT_EQ(PicDeinterlaceCopy(nullptr, 0), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
}

TEST(PicWeaveField, CopiesRowsOfOneAbsoluteParity) {
  struct Case {
    int16_t dest_y, source_y;
    int32_t odd;
    int32_t source_width;
    // Expected source row per dest row, -1 where the row stays 0.
    int32_t from[4];
  };
  const Case cases[] = {
      {0, 0, 1, 2, {-1, 1, -1, 3}},   {0, 0, 0, 2, {0, -1, 2, -1}},
      {1, 0, 1, 2, {1, -1, 3, -1}},    // absolute rows 1..4; row 4 has no source row
      {0, 2, 0, 2, {-1, -1, 0, -1}},   // source starts at absolute row 2
      {-1, 0, 1, 2, {-1, -1, 1, -1}},  // absolute row -1 is odd but has no source row
      {0, 0, 0, 1, {0, -1, 2, -1}},    // a narrower source fills only its own columns
  };
  for (const auto& c : cases) {
    auto dest = MakePic(2, 4, [](int32_t, int32_t) { return 0u; });
    dest->y = c.dest_y;
    auto source =
        MakePic(c.source_width, 4, [](int32_t x, int32_t r) { return 100u * (r + 1) + x; });
    source->y = c.source_y;
    EXPECT_EQ(PicWeaveField(dest.get(), source.get(), c.odd), 1);
    EXPECT_EQ(PicLastError(), PIC_OK);
    for (int32_t r = 0; r < 4; ++r) {
      for (int32_t x = 0; x < 2; ++x) {
        const bool copied = c.from[r] >= 0 && x < c.source_width;
        EXPECT_EQ(Px(*dest, x, r), copied ? 100u * (c.from[r] + 1) + x : 0u)
            << "dest y " << c.dest_y << " source y " << c.source_y << " odd " << c.odd << " row "
            << r << " col " << x;
      }
    }
  }
  // A picture woven into itself one row lower: odd rows take the even rows below them.
  auto self = MakePic(1, 4, [](int32_t, int32_t r) { return 10u + r; });
  PIC shifted = *self;
  shifted.y = 1;
  EXPECT_EQ(PicWeaveField(self.get(), &shifted, 1), 1);
  for (int32_t r = 0; r < 4; ++r) EXPECT_EQ(Px(*self, 0, r), 10u + (r & ~1)) << r;

  auto pic = MakePic(1, 1, [](int32_t, int32_t) { return 0u; });
  EXPECT_EQ(PicWeaveField(nullptr, pic.get(), 0), 0);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
  EXPECT_EQ(PicWeaveField(pic.get(), nullptr, 0), 0);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
}

}  // namespace
}  // namespace lumetra::render
