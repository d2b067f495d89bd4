// Picture records: create, copy, free, the live counter and the per-thread error code.
#include "render/pic.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "render/pic_error.h"
#include "render/pic_fixture.h"

namespace lumetra::render {
namespace {

using testing::Bgra;
using testing::MakePic;
using testing::Px;

TEST(PicCreate, FourByTwoIsZeroedAndCounted) {
  PicInit();
  const int32_t before = PicCount();
  PIC* pic = PicCreate(4, 2);
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(PicLastError(), PIC_OK);
  EXPECT_EQ(PicCount(), before + 1);
  EXPECT_EQ(pic->x, 0);
  EXPECT_EQ(pic->y, 0);
  EXPECT_EQ(pic->width, 4);
  EXPECT_EQ(pic->height, 2);
  EXPECT_EQ(pic->tag, 0.0f);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(pic->pixels[i], 0) << i;
  PicFree(pic);
  EXPECT_EQ(PicCount(), before);
  PicFree(nullptr);
  EXPECT_EQ(PicCount(), before);
}

TEST(PicCreate, RefusesSizesOutsideTheHeaderRange) {
  PicInit();
  struct Case {
    int32_t width, height;
    bool ok;
  };
  const Case cases[] = {{0, 1, false},     {1, 0, false},     {-3, 4, false},
                        {32768, 1, false}, {1, 32768, false}, {70000, 70000, false},
                        {32767, 1, true},  {1, 1, true}};
  for (const auto& c : cases) {
    const int32_t before = PicCount();
    PicPtr pic(PicCreate(c.width, c.height));
    EXPECT_EQ(pic != nullptr, c.ok) << c.width << "x" << c.height;
    EXPECT_EQ(PicLastError(), c.ok ? PIC_OK : PIC_ERROR_MEMORY);
    EXPECT_EQ(PicCount(), before + (c.ok ? 1 : 0));
  }
}

TEST(PicCopy, CopiesHeaderAndPixelsIntoNewMemory) {
  auto src = MakePic(3, 2, [](int32_t x, int32_t r) { return Bgra(x, r, 7, 200); });
  src->x = -5;
  src->y = 9;
  src->tag = 1.25f;
  const int32_t before = PicCount();
  PicPtr copy(PicCopy(src.get()));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(PicCount(), before + 1);
  EXPECT_EQ(copy->x, -5);
  EXPECT_EQ(copy->y, 9);
  EXPECT_EQ(copy->tag, 1.25f);
  EXPECT_NE(copy->pixels, src->pixels);
  EXPECT_EQ(std::memcmp(copy->pixels, src->pixels, 3 * 2 * 4), 0);

  EXPECT_EQ(PicCopy(nullptr), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
  EXPECT_STREQ(PicErrorText(), "PIC is NULL");
  PIC broken = *src;
  broken.pixels = nullptr;
  EXPECT_EQ(PicCopy(&broken), nullptr);
  EXPECT_EQ(PicLastError(), PIC_ERROR_NULL);
}

TEST(PicError, FreshThreadReadsNoInfo) {
  PicInit();
  PicSetError(PIC_ERROR_MEMORY);
  std::string fresh;
  int32_t fresh_code = -1;
  std::thread([&] {
    fresh_code = PicLastError();
    fresh = PicErrorText();
  }).join();
  EXPECT_EQ(fresh_code, PIC_ERROR_NO_INFO);
  EXPECT_EQ(fresh, "Error info not available (TLS error)");
  // The other thread's reading leaves ours alone.
  EXPECT_STREQ(PicErrorText(), "Pic Memory allocation error");
  PicInit();
  EXPECT_STREQ(PicErrorText(), "Pic operation OK");
}

TEST(PicError, MessageTable) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "Error info not available (TLS error)"},
      {1, "Pic operation OK"},
      {2, "Pic Memory allocation error"},
      {3, "Bitmap corrupted"},
      {7, "File does not contain color map"},
      {12, "Image format not supported"},
      {13, "PIC is NULL"},
      {14, "Error info not available (TLS error)"},
      {-1, "Error info not available (TLS error)"},
  };
  for (const auto& [code, text] : cases) EXPECT_STREQ(PicErrorTextOf(code), text) << code;
}

}  // namespace
}  // namespace lumetra::render
