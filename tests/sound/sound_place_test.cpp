#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sound/sound_block.h"
#include "sound/sound_convert.h"

namespace lumetra::sound {
namespace {

void Fill16(SoundBlock* b, int32_t left, int32_t right) {
  for (uint32_t s = 0; s < b->samples; ++s) {
    for (uint32_t c = 0; c < b->channels; ++c) {
      const int32_t v = c == 0 ? left : right;
      b->data[(s * b->channels + c) * 2] = static_cast<uint8_t>(v);
      b->data[(s * b->channels + c) * 2 + 1] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8);
    }
  }
}

int16_t At16(const SoundBlock* b, std::size_t i) {
  return static_cast<int16_t>(b->data[2 * i] | b->data[2 * i + 1] << 8);
}

TEST(SoundPlace, StereoSixteenBitBecomesMonoEightBitAtHalfTheRate) {
  SoundPtr src(SoundCreate(0.0f, 1.0f, 44100, 2, 2));
  ASSERT_NE(src, nullptr);
  Fill16(src.get(), 0x4000, 0x2000);  // mono 0x3000 -> 8-bit 0x30 + 128
  SoundPtr dst(SoundCreate(0.0f, 1.0f, 22050, 1, 1));
  ASSERT_NE(dst, nullptr);
  ASSERT_EQ(SoundPlace(dst.get(), src.get(), 0.0f), 1);
  ASSERT_EQ(dst->samples, 22050u);
  for (uint32_t i = 0; i < dst->samples; ++i) ASSERT_EQ(dst->data[i], 0x30 + 128) << i;
}

TEST(SoundPlace, ASourceBeforeTheDestinationIsClippedAtItsStart) {
  // Source [0.5, 1.5) at 1000 Hz: value k at sample k; destination [1.0, 2.0).
  SoundPtr src(SoundCreate(0.5f, 1.5f, 1000, 2, 1));
  for (uint32_t k = 0; k < src->samples; ++k) {
    src->data[2 * k] = static_cast<uint8_t>(k);
    src->data[2 * k + 1] = static_cast<uint8_t>(k >> 8);
  }
  SoundPtr dst(SoundCreate(1.0f, 2.0f, 1000, 2, 1));
  ASSERT_EQ(SoundPlace(dst.get(), src.get(), 0.5f), 1);
  // The first 500 destination samples are source samples 500..999, the rest stay silent.
  for (uint32_t i = 0; i < 500; ++i) ASSERT_EQ(At16(dst.get(), i), static_cast<int16_t>(500 + i));
  for (uint32_t i = 500; i < 1000; ++i) ASSERT_EQ(At16(dst.get(), i), 0) << i;
}

TEST(SoundPlace, ASourceInsideStartsAtItsOwnPositionAndStopsAtItsEnd) {
  SoundPtr src(SoundCreate(0.0f, 0.25f, 1000, 2, 1));
  Fill16(src.get(), 77, 0);
  SoundPtr dst(SoundCreate(1.0f, 2.0f, 1000, 2, 1));
  ASSERT_EQ(SoundPlace(dst.get(), src.get(), 1.5f), 1);
  for (uint32_t i = 0; i < 1000; ++i) {
    const int16_t want = i >= 500 && i < 750 ? 77 : 0;
    ASSERT_EQ(At16(dst.get(), i), want) << i;
  }
}

TEST(SoundPlace, ASourcePastTheEndIsCutToTheSamplesLeft) {
  SoundPtr src(SoundCreate(0.0f, 1.0f, 1000, 2, 1));
  Fill16(src.get(), 5, 0);
  SoundPtr dst(SoundCreate(0.0f, 1.0f, 1000, 2, 1));
  ASSERT_EQ(SoundPlace(dst.get(), src.get(), 0.9f), 1);
  for (uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(At16(dst.get(), i), i >= 900 ? 5 : 0) << i;
}

TEST(SoundPlace, NeighbouringPiecesLeaveNoGap) {
  // Thirds of a second at 44.1 kHz: positions by the absolute rule meet exactly.
  SoundPtr dst(SoundCreate(0.0f, 1.0f, 44100, 2, 1));
  const float cuts[] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f};
  for (int i = 0; i < 3; ++i) {
    SoundPtr piece(SoundCreate(cuts[i], cuts[i + 1], 44100, 2, 1));
    Fill16(piece.get(), 1000 + i, 0);
    ASSERT_EQ(SoundPlace(dst.get(), piece.get(), cuts[i]), 1);
  }
  for (uint32_t s = 0; s < dst->samples; ++s) ASSERT_NE(At16(dst.get(), s), 0) << s;
}

TEST(SoundPlace, NothingOverlappingIsSuccessAndBadArgumentsFail) {
  SoundPtr src(SoundCreate(0.0f, 1.0f, 1000, 2, 1));
  Fill16(src.get(), 9, 0);
  SoundPtr dst(SoundCreate(2.0f, 3.0f, 1000, 2, 1));
  EXPECT_EQ(SoundPlace(dst.get(), src.get(), 3.0f), 1);
  EXPECT_EQ(SoundPlace(dst.get(), src.get(), 1.0f), 1);
  for (uint32_t i = 0; i < dst->samples; ++i) ASSERT_EQ(At16(dst.get(), i), 0);
  EXPECT_EQ(SoundPlace(nullptr, src.get(), 0.0f), 0);
  EXPECT_EQ(SoundPlace(dst.get(), nullptr, 0.0f), 0);
}

}  // namespace
}  // namespace lumetra::sound
