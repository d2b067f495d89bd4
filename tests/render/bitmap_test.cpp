// The in-memory bitmap bridges: picture to bitmap and back, and drawing pixel buffers.
#include "render/bitmap.h"

#include <gtest/gtest.h>

#include <vector>

#include "render/pic_fixture.h"

namespace lumetra::render {
namespace {

using testing::Bgra;
using testing::MakePic;
using testing::Px;

uint32_t BitmapPx(const Bitmap& bmp, int32_t x, int32_t row) {
  uint32_t v;
  std::memcpy(&v, bmp.Row(row) + x * 4, 4);
  return v;
}

TEST(Bitmap, PictureRoundTripAndSharedPart) {
  auto pic = MakePic(3, 2, [](int32_t x, int32_t r) { return Bgra(x, r, 5, 128); });
  DrawContext dc;
  auto bmp = PicToBitmap(&dc, pic.get());
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->Width(), 3);
  EXPECT_EQ(bmp->Height(), 2);
  EXPECT_EQ(BitmapPx(*bmp, 2, 1), Bgra(2, 1, 5, 128));

  const int32_t before = PicCount();
  PicPtr back(PicFromBitmap(&dc, bmp.get(), 3, 2));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(PicCount(), before + 1);
  EXPECT_EQ(std::memcmp(back->pixels, pic->pixels, 3 * 2 * 4), 0);

  // A larger picture than the bitmap: the shared bottom-left part, zero elsewhere.
  PicPtr big(PicFromBitmap(&dc, bmp.get(), 4, 3));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(Px(*big, 2, 1), Bgra(2, 1, 5, 128));
  EXPECT_EQ(Px(*big, 3, 0), 0u);
  EXPECT_EQ(Px(*big, 0, 2), 0u);
  PicPtr small(PicFromBitmap(&dc, bmp.get(), 1, 1));
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(Px(*small, 0, 0), Bgra(0, 0, 5, 128));

  EXPECT_EQ(PicFromBitmap(&dc, nullptr, 1, 1), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
  EXPECT_EQ(PicFromBitmap(&dc, bmp.get(), 0, 1), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_MEMORY);
  EXPECT_EQ(PicToBitmap(&dc, nullptr), nullptr);
  EXPECT_EQ(Bitmap::Create(0, 4), nullptr);
}

// Draws a 3x2 buffer of each format (rows unpadded, bottom-up) onto a 6x4 target at 2x.
TEST(PicDraw, StretchesEveryFormatUpright) {
  // Top row of the image: red, green, blue; bottom row: white, black, grey.
  const uint32_t image[2][3] = {
      {Bgra(0, 0, 255, 255), Bgra(0, 255, 0, 255), Bgra(255, 0, 0, 255)},
      {Bgra(255, 255, 255, 255), Bgra(0, 0, 0, 255), Bgra(132, 132, 132, 255)}};
  auto pic = MakePic(3, 2, [&](int32_t x, int32_t r) { return image[1 - r][x]; });
  std::vector<uint8_t> rgb24;
  std::vector<uint16_t> rgb555;
  for (int32_t r = 0; r < 2; ++r) {
    for (int32_t x = 0; x < 3; ++x) {
      const uint32_t p = Px(*pic, x, r);
      for (int c = 0; c < 3; ++c) rgb24.push_back(static_cast<uint8_t>(p >> (8 * c)));
      rgb555.push_back(
          static_cast<uint16_t>(((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31)));
    }
  }
  struct Case {
    const void* buffer;
    uint32_t format;
  };
  const Case cases[] = {
      {pic->pixels, PIC_DRAW_32BIT}, {rgb24.data(), PIC_DRAW_24BIT}, {rgb555.data(), 0}};
  for (const auto& c : cases) {
    auto target = Bitmap::Create(6, 4);
    DrawContext dc{target.get()};
    PicDraw(&dc, {0, 0, 6, 4}, c.buffer, 3, 2, c.format, {0, 0, 3, 2});
    for (int32_t y = 0; y < 4; ++y) {  // device rows, top first
      for (int32_t x = 0; x < 6; ++x) {
        const uint32_t want = image[y / 2][x / 2];
        // 555 keeps five bits: 132 -> 16 -> 132 again, 255 -> 31 -> 255.
        EXPECT_EQ(BitmapPx(*target, x, 3 - y), want)
            << "format " << c.format << " at " << x << "," << y;
      }
    }
  }
}

TEST(PicDraw, ClipsToTargetAndBuffer) {
  auto pic = MakePic(2, 2, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
  auto target = Bitmap::Create(4, 4);
  DrawContext dc{target.get()};
  // Half off the target's left and top, the source rectangle half outside the buffer.
  PicDraw(&dc, {-2, -2, 2, 2}, pic->pixels, 2, 2, PIC_DRAW_32BIT, {-1, -1, 3, 3});
  int lit = 0;
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t x = 0; x < 4; ++x) lit += BitmapPx(*target, x, r) != 0;
  EXPECT_EQ(lit, 1);  // only device pixel (0, 0) maps into the buffer and the target
  EXPECT_EQ(BitmapPx(*target, 0, 3), 0xFFFFFFFFu);

  // Nothing drawn, and nothing read, for no buffer, no target or inverted rectangles.
  auto clean = Bitmap::Create(4, 4);
  DrawContext dc2{clean.get()};
  PicDraw(&dc2, {0, 0, 4, 4}, nullptr, 2, 2, PIC_DRAW_32BIT, {0, 0, 2, 2});
  PicDraw(&dc2, {4, 0, 0, 4}, pic->pixels, 2, 2, PIC_DRAW_32BIT, {0, 0, 2, 2});
  PicDraw(&dc2, {0, 0, 4, 4}, pic->pixels, 2, 2, PIC_DRAW_32BIT, {0, 2, 2, 0});
  DrawContext none;
  PicDraw(&none, {0, 0, 4, 4}, pic->pixels, 2, 2, PIC_DRAW_32BIT, {0, 0, 2, 2});
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(BitmapPx(*clean, x, r), 0u);
}

}  // namespace
}  // namespace lumetra::render
