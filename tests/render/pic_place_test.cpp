// PicPlaceInRect: whole-pixel cover, nearest fill and edge alpha.
#include "render/pic_place.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/pic_fixture.h"

namespace lumetra::render {
namespace {

using testing::Bgra;
using testing::MakePic;
using testing::Px;

uint8_t Alpha(uint32_t px) {
  return static_cast<uint8_t>(px >> 24);
}

TEST(PicPlaceInRect, CoverAndEdgeAlpha) {
  struct Case {
    RectF rect;
    int16_t x, y, width, height;
    int32_t left_alpha, right_alpha, top_alpha, bottom_alpha;  // row 0 is the top edge
  };
  // Alpha 255 scaled by 192/256 is 191, by 128/256 is 127.
  const Case cases[] = {
      {{10.25f, 0.0f, 20.5f, 4.0f}, 10, 0, 11, 4, 191, 127, 255, 255},
      {{0.0f, 3.5f, 4.0f, 7.75f}, 0, 3, 4, 5, 255, 255, 127, 191},
      {{5.0f, 5.0f, 5.0f, 5.0f}, 5, 5, 1, 1, 255, 255, 255, 255},  // empty becomes one pixel
      // Truncation runs toward zero: left' = -2 lies inside the rectangle, so column 0's
      // weight of 1.5 pixels is clamped to full cover.
      {{-2.5f, 0.0f, 1.0f, 4.0f}, -2, 0, 3, 4, 255, 255, 255, 255},
  };
  for (const auto& c : cases) {
    auto src = MakePic(2, 2, [](int32_t x, int32_t r) { return Bgra(x * 100, r * 100, 9, 255); });
    src->tag = 3.0f;
    PicPtr out(PicPlaceInRect(src.get(), c.rect));
    ASSERT_NE(out, nullptr) << c.rect.left;
    EXPECT_EQ(PicLastError(), PIC_OK);
    EXPECT_EQ(out->x, c.x);
    EXPECT_EQ(out->y, c.y);
    EXPECT_EQ(out->width, c.width);
    EXPECT_EQ(out->height, c.height);
    EXPECT_EQ(out->tag, 3.0f);
    const int32_t w = out->width;
    const int32_t h = out->height;
    const int32_t mid_row = h / 2;
    if (h > 2) {
      EXPECT_EQ(Alpha(Px(*out, 0, mid_row)), c.left_alpha);
      EXPECT_EQ(Alpha(Px(*out, w - 1, mid_row)), c.right_alpha);
    }
    if (w > 2) {
      EXPECT_EQ(Alpha(Px(*out, w / 2, 0)), c.top_alpha);
      EXPECT_EQ(Alpha(Px(*out, w / 2, h - 1)), c.bottom_alpha);
    }
    // Colour comes from source (2 * i / w, 2 * j / h) and is never faded.
    for (int32_t j = 0; j < h; ++j)
      for (int32_t i = 0; i < w; ++i)
        EXPECT_EQ(Px(*out, i, j) & 0xFFFFFF, Px(*src, 2 * i / w, 2 * j / h) & 0xFFFFFF);
  }
}

TEST(PicPlaceInRect, CornerTakesBothWeights) {
  auto src = MakePic(1, 1, [](int32_t, int32_t) { return Bgra(1, 2, 3, 200); });
  PicPtr out(PicPlaceInRect(src.get(), {0.5f, 0.25f, 3.0f, 3.0f}));
  ASSERT_NE(out, nullptr);
  // Column weight 128, row weight 192: alpha 200 * 128 * 192 >> 16.
  EXPECT_EQ(Alpha(Px(*out, 0, 0)), (200 * 128 * 192) >> 16);
  EXPECT_EQ(Alpha(Px(*out, 1, 1)), 200);
}

TEST(PicPlaceInRect, RefusesBadRectangles) {
  auto src = MakePic(2, 2, [](int32_t, int32_t) { return 0u; });
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const RectF bad[] = {
      {nan, 0, 1, 1},      {0, 0, inf, 1}, {0, -inf, 1, 1},
      {10, 0, 2, 1},       {0, 10, 1, 2},  // inverted
      {-1e9f, 0, 1e9f, 1},                 // clamped, still wider than a picture can be
  };
  for (const auto& r : bad) {
    EXPECT_EQ(PicPlaceInRect(src.get(), r), nullptr) << r.left << " " << r.right;
    EXPECT_EQ(PicLastError(), PIC_ERROR_MEMORY);
  }
  EXPECT_EQ(PicPlaceInRect(nullptr, {0, 0, 1, 1}), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
}

}  // namespace
}  // namespace lumetra::render
