// Nearest-neighbour index tables, PicScale and the 24-bit and 555 conversions.
#include "render/pic_scale.h"

#include <gtest/gtest.h>

#include <vector>

#include "render/nearest_index.h"
#include "render/pic_convert.h"
#include "render/pic_fixture.h"

namespace lumetra::render {
namespace {

using testing::Bgra;
using testing::MakePic;
using testing::Px;

struct BufferFree {
  void operator()(void* p) const { PicBufferFree(p); }
};
template <class T>
using Buffer = std::unique_ptr<T[], BufferFree>;

TEST(NearestIndex, Tables) {
  struct Case {
    int32_t source, dest;
    std::vector<int32_t> index;
  };
  const Case cases[] = {
      {2, 4, {0, 0, 1, 1}},          {4, 2, {0, 2}},          {3, 2, {0, 1}}, {10, 3, {0, 3, 6}},
      {3, 7, {0, 0, 0, 1, 1, 2, 2}}, {5, 5, {0, 1, 2, 3, 4}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NearestIndex(NearestStep(c.source, c.dest), c.source, c.dest), c.index)
        << c.source << "->" << c.dest;
  }
  // A step that runs past the source ends the table: later positions are not produced.
  EXPECT_EQ(NearestIndex(2.0f, 3, 3), (std::vector<int32_t>{0, 2}));
}

TEST(PicScale, TwoByTwoToFourByFourRepeatsBlocks) {
  const uint32_t colours[2][2] = {{Bgra(1, 2, 3, 4), Bgra(5, 6, 7, 8)},
                                  {Bgra(9, 10, 11, 12), Bgra(13, 14, 15, 16)}};
  auto src = MakePic(2, 2, [&](int32_t x, int32_t r) { return colours[r][x]; });
  src->x = 3;
  src->y = -4;
  src->tag = 2.5f;
  const int32_t before = PicCount();
  PicPtr out(PicScale(src.get(), 4, 4));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(PicLastError(), PIC_OK);
  EXPECT_EQ(PicCount(), before + 1);
  EXPECT_EQ(out->x, 3);
  EXPECT_EQ(out->y, -4);
  EXPECT_EQ(out->tag, 2.5f);
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(Px(*out, x, r), colours[r / 2][x / 2]) << x << "," << r;
}

TEST(PicScale, SizeLimits) {
  auto src = MakePic(2, 2, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
  struct Case {
    int32_t width, height;
    bool ok;
  };
  const Case cases[] = {{4097, 10, false}, {10, 4097, false}, {0, 5, false},
                        {5, -1, false},    {4096, 1, true},   {1, 4096, true}};
  for (const auto& c : cases) {
    PicPtr out(PicScale(src.get(), c.width, c.height));
    EXPECT_EQ(out != nullptr, c.ok) << c.width << "x" << c.height;
    if (!c.ok) {
      EXPECT_STREQ(PicErrorText(), "Pic Memory allocation error");
    }
  }
  EXPECT_EQ(PicScale(nullptr, 4, 4), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
}

TEST(PicConvert, Rgb24AndRgb555PixelForms) {
  const uint32_t a = Bgra(0xFF, 0x80, 0x08, 0x11);
  const uint32_t b = Bgra(0x07, 0x10, 0xF8, 0x22);
  auto src = MakePic(2, 1, [&](int32_t x, int32_t) { return x == 0 ? a : b; });

  Buffer<uint8_t> rgb(PicToRgb24(src.get()));
  ASSERT_NE(rgb, nullptr);
  const uint8_t want24[] = {0xFF, 0x80, 0x08, 0x07, 0x10, 0xF8};
  EXPECT_EQ(std::memcmp(rgb.get(), want24, 6), 0);

  Buffer<uint16_t> words(PicToRgb555Scaled(src.get(), 2, 1));
  ASSERT_NE(words, nullptr);
  EXPECT_EQ(words[0], (1 << 10) | (16 << 5) | 31);
  EXPECT_EQ(words[1], (31 << 10) | (2 << 5) | 0);
  const auto* bytes = reinterpret_cast<const uint8_t*>(words.get());
  EXPECT_EQ(bytes[0], ((1 << 10) | (16 << 5) | 31) & 0xFF);  // little-endian

  Buffer<uint8_t> scaled(PicToRgb24Scaled(src.get(), 4, 2));
  ASSERT_NE(scaled, nullptr);
  const uint8_t row[] = {0xFF, 0x80, 0x08, 0xFF, 0x80, 0x08, 0x07, 0x10, 0xF8, 0x07, 0x10, 0xF8};
  EXPECT_EQ(std::memcmp(scaled.get(), row, 12), 0);
  EXPECT_EQ(std::memcmp(scaled.get() + 12, row, 12), 0);
}

TEST(PicConvert, ScaledSizeLimits) {
  auto src = MakePic(2, 2, [](int32_t, int32_t) { return 0u; });
  struct Case {
    int32_t width, height;
    bool ok;
  };
  const Case cases[] = {
      {2561, 1, false}, {1, 2049, false}, {0, 1, false}, {1, -2, false}, {2560, 2048, true}};
  for (const auto& c : cases) {
    Buffer<uint8_t> a(PicToRgb24Scaled(src.get(), c.width, c.height));
    EXPECT_EQ(a != nullptr, c.ok);
    EXPECT_EQ(PicLastError(), c.ok ? PIC_OK : PIC_ERROR_MEMORY);
    Buffer<uint16_t> b(PicToRgb555Scaled(src.get(), c.width, c.height));
    EXPECT_EQ(b != nullptr, c.ok);
    Buffer<uint16_t> f(PicToRgb555Fit(src.get(), c.width, c.height));
    EXPECT_EQ(f != nullptr, c.ok);
  }
  EXPECT_EQ(PicToRgb555Fit(nullptr, 4, 4), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
  EXPECT_EQ(PicToRgb24(nullptr), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
}

// Which pixels of a fitted white picture are lit: the image spans the rows and columns
// given, the rest is black.
TEST(PicConvert, FitLetterboxesAndPillarboxes) {
  auto src = MakePic(100, 50, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
  struct Case {
    int32_t width, height;
    int32_t col0, col1, row0, row1;  // lit: [col0, col1) x [row0, row1)
  };
  const Case cases[] = {
      {100, 100, 0, 100, 25, 75},  // 25 black rows below and above
      {200, 50, 50, 150, 0, 50},   // 50 black columns at each side
      {100, 50, 0, 100, 0, 50},    // same size: all lit
      {50, 50, 0, 50, 12, 37},     // half size, letterboxed
  };
  for (const auto& c : cases) {
    Buffer<uint16_t> buf(PicToRgb555Fit(src.get(), c.width, c.height));
    ASSERT_NE(buf, nullptr);
    int wrong = 0;
    for (int32_t r = 0; r < c.height; ++r) {
      for (int32_t x = 0; x < c.width; ++x) {
        const bool lit = x >= c.col0 && x < c.col1 && r >= c.row0 && r < c.row1;
        if (buf[static_cast<std::size_t>(r) * c.width + x] != (lit ? 0x7FFF : 0)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace lumetra::render
