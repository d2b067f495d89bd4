// Every picture kernel gives the same bytes on one thread as on several.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/parallel_rows.h"
#include "render/bitmap.h"
#include "render/pic_convert.h"
#include "render/pic_field.h"
#include "render/pic_fixture.h"
#include "render/pic_place.h"
#include "render/pic_scale.h"

namespace lumetra::render {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Take(PIC* pic) {
  PicPtr owned(pic);
  if (!pic) return {};
  Bytes out(pic->pixels, pic->pixels + PicRowBytes(*pic) * pic->height);
  out.push_back(static_cast<uint8_t>(pic->x));
  out.push_back(static_cast<uint8_t>(pic->y));
  return out;
}

Bytes Take(void* buffer, std::size_t size) {
  if (!buffer) return {};
  const auto* b = static_cast<const uint8_t*>(buffer);
  Bytes out(b, b + size);
  PicBufferFree(buffer);
  return out;
}

// Sizes big enough that the row splitter really splits them.
std::vector<std::pair<std::string, Bytes>> RunAll() {
  auto src = testing::NoisePic(640, 360);
  auto other = testing::NoisePic(600, 300, 99);
  other->y = 1;
  std::vector<std::pair<std::string, Bytes>> out;
  out.emplace_back("scale up", Take(PicScale(src.get(), 1919, 1081)));
  out.emplace_back("scale down", Take(PicScale(src.get(), 333, 177)));
  out.emplace_back("rgb24 scaled", Take(PicToRgb24Scaled(src.get(), 1001, 555), 1001 * 555 * 3));
  out.emplace_back("555 scaled", Take(PicToRgb555Scaled(src.get(), 1001, 555), 1001 * 555 * 2));
  out.emplace_back("555 fit", Take(PicToRgb555Fit(src.get(), 1000, 1000), 1000 * 1000 * 2));
  out.emplace_back("rgb24", Take(PicToRgb24(src.get()), 640 * 360 * 3));
  out.emplace_back("deinterlace copy", Take(PicDeinterlaceCopy(src.get(), 0)));
  PicPtr inplace(PicCopy(src.get()));
  PicDeinterlace(inplace.get(), 1);
  out.emplace_back("deinterlace", Take(inplace.release()));
  PicPtr woven(PicCopy(src.get()));
  PicWeaveField(woven.get(), other.get(), 1);
  out.emplace_back("weave", Take(woven.release()));
  out.emplace_back("place", Take(PicPlaceInRect(src.get(), {3.3f, 7.6f, 1203.4f, 705.2f})));
  auto target = Bitmap::Create(900, 700);
  DrawContext dc{target.get()};
  PicDraw(&dc, {-10, 5, 890, 690}, src->pixels, 640, 360, PIC_DRAW_32BIT, {2, 3, 630, 350});
  out.emplace_back("draw", Bytes(target->Row(0), target->Row(0) + 900 * 700 * 4));
  return out;
}

TEST(PicThreads, OneThreadAndManyGiveTheSameBytes) {
  platform::ParallelRowsSetThreads(1);
  const auto single = RunAll();
  platform::ParallelRowsSetThreads(5);
  const auto many = RunAll();
  platform::ParallelRowsSetThreads(0);
  ASSERT_EQ(single.size(), many.size());
  for (std::size_t i = 0; i < single.size(); ++i) {
    EXPECT_FALSE(single[i].second.empty()) << single[i].first;
    EXPECT_TRUE(single[i].second == many[i].second) << single[i].first;
  }
}

}  // namespace
}  // namespace lumetra::render
