#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sound/sound_block.h"
#include "sound/sound_convert.h"

namespace lumetra::sound {
namespace {

// A block holding exactly these bytes (samples derived from the format).
SoundPtr BlockOf(uint32_t rate, uint32_t bytes, uint32_t channels, std::vector<uint8_t> data) {
  const auto samples = static_cast<uint32_t>(data.size() / (bytes * channels));
  SoundPtr b(SoundCreateSamples(0.0f, static_cast<float>(samples) / static_cast<float>(rate), rate,
                                bytes, channels, samples));
  if (b) std::memcpy(b->data, data.data(), data.size());
  return b;
}

std::vector<uint8_t> BytesOf(const SoundBlock* b) {
  return {b->data, b->data + b->samples * SoundFrameBytes(*b)};
}

std::vector<int32_t> Values16(const SoundBlock* b) {
  std::vector<int32_t> v;
  for (std::size_t i = 0; i < b->samples * b->channels; ++i)
    v.push_back(static_cast<int16_t>(b->data[2 * i] | b->data[2 * i + 1] << 8));
  return v;
}

std::vector<uint8_t> Le16(std::initializer_list<int32_t> values) {
  std::vector<uint8_t> out;
  for (int32_t v : values) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8));
  }
  return out;
}

TEST(SoundConvertBytes, Table) {
  struct Case {
    uint32_t from;
    std::vector<uint8_t> in;
    int32_t to;
    std::vector<uint8_t> out;
  } cases[] = {
      // 8-bit: (v - 128) * 2^24; 0 is the most negative value, 255 the most positive.
      {1, {0, 128, 255, 129, 127}, 2, {0x00, 0x80, 0, 0, 0x00, 0x7F, 0x00, 0x01, 0x00, 0xFF}},
      {1, {0, 128, 255}, 4, {0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x7F}},
      {1, {0, 128, 255}, 3, {0, 0, 0x80, 0, 0, 0, 0, 0, 0x7F}},
      // An intermediate of -1 (32-bit) has the top byte 0 when rounded toward zero: 128.
      {4, {0xFF, 0xFF, 0xFF, 0xFF}, 1, {128}},
      {4, {0xFF, 0xFF, 0xFF, 0xFF}, 2, {0, 0}},
      {4, {0xFF, 0xFF, 0xFF, 0xFF}, 3, {0, 0, 0}},
      // 16-bit -1 and -256 toward zero: 128 and 127.
      {2, {0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x80, 0xFF, 0x7F}, 1, {128, 127, 0, 255}},
      // 24-bit little-endian in and out.
      {3, {0x56, 0x34, 0x12, 0x00, 0x00, 0x80}, 4, {0, 0x56, 0x34, 0x12, 0, 0, 0, 0x80}},
      {2, {0x34, 0x12, 0x00, 0x80}, 3, {0x00, 0x34, 0x12, 0x00, 0x00, 0x80}},
      {4, {0x78, 0x56, 0x34, 0x12}, 3, {0x56, 0x34, 0x12}},
  };
  for (const Case& c : cases) {
    SoundPtr in = BlockOf(1000, c.from, 1, c.in);
    ASSERT_NE(in, nullptr);
    SoundPtr out(SoundConvertBytes(in.get(), c.to));
    ASSERT_NE(out, nullptr);
    ASSERT_NE(out.get(), in.get());
    EXPECT_EQ(out->bytes, c.to);
    EXPECT_EQ(out->samples, in->samples);
    EXPECT_EQ(BytesOf(out.get()), c.out) << c.from << " -> " << c.to;
  }
}

TEST(SoundConvertBytes, RoundTripsThroughWiderWidths) {
  std::vector<uint8_t> all8;
  for (int v = 0; v < 256; ++v) all8.push_back(static_cast<uint8_t>(v));
  std::vector<uint8_t> some16 = Le16({-32768, -12345, -1, 0, 1, 255, 256, 32767});
  struct Case {
    uint32_t from;
    std::vector<uint8_t> data;
    int32_t via;
  } cases[] = {{1, all8, 2}, {1, all8, 3}, {1, all8, 4}, {2, some16, 3}, {2, some16, 4}};
  for (const Case& c : cases) {
    SoundPtr in = BlockOf(8000, c.from, 1, c.data);
    SoundPtr wide(SoundConvertBytes(in.get(), c.via));
    ASSERT_NE(wide, nullptr);
    SoundPtr back(SoundConvertBytes(wide.get(), static_cast<int32_t>(c.from)));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(BytesOf(back.get()), c.data) << c.from << " via " << c.via;
  }
}

TEST(SoundConvertBytes, SameWidthIsTheSameBlockAndOthersAreRefused) {
  SoundPtr in = BlockOf(1000, 2, 1, Le16({1, 2}));
  EXPECT_EQ(SoundConvertBytes(in.get(), 2), in.get());
  EXPECT_EQ(SoundConvertBytes(in.get(), 0), nullptr);
  EXPECT_EQ(SoundConvertBytes(in.get(), 5), nullptr);
  EXPECT_EQ(SoundConvertBytes(nullptr, 1), nullptr);
}

TEST(SoundConvertChannels, DownMixAveragesEvenGroups) {
  struct Case {
    uint32_t from;
    std::vector<int32_t> in;  // one frame
    int32_t to;
    std::vector<int32_t> out;
  } cases[] = {
      {2, {100, 301}, 1, {200}},
      {2, {-100, -301}, 1, {-200}},  // toward zero
      {3, {30, 60, 90}, 1, {60}},
      // Five into four: {0}, {1}, {2}, {3, 4}; groups of ceil(5 / 4) would leave one empty.
      {5, {10, 20, 30, 40, 60}, 4, {10, 20, 30, 50}},
      {6, {1, 3, 10, 20, 100, 300}, 3, {2, 15, 200}},
      {5, {10, 20, 30, 40, 60}, 2, {15, 43}},  // {0, 1} and {2, 3, 4}
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> frame;
    for (int32_t v : c.in) {
      const auto le = Le16({v});
      frame.insert(frame.end(), le.begin(), le.end());
    }
    SoundPtr in = BlockOf(1000, 2, c.from, frame);
    SoundPtr out(SoundConvertChannels(in.get(), c.to));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->channels, c.to);
    EXPECT_EQ(Values16(out.get()), c.out) << c.from << " -> " << c.to;
  }
}

TEST(SoundConvertChannels, EightBitAveragesAroundTheMiddle) {
  SoundPtr in = BlockOf(1000, 1, 2, {0, 255, 128, 130});
  SoundPtr out(SoundConvertChannels(in.get(), 1));
  ASSERT_NE(out, nullptr);
  // (-128 + 127) / 2 = 0 toward zero -> 128; (0 + 2) / 2 = 1 -> 129.
  EXPECT_EQ(BytesOf(out.get()), (std::vector<uint8_t>{128, 129}));
}

TEST(SoundConvertChannels, ThirtyTwoBitSumsDoNotOverflow) {
  std::vector<uint8_t> frame = {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F};
  SoundPtr in = BlockOf(1000, 4, 2, frame);
  SoundPtr out(SoundConvertChannels(in.get(), 1));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(BytesOf(out.get()), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(SoundConvertChannels, UpMixSpreadsTheSourceChannels) {
  SoundPtr mono = BlockOf(1000, 2, 1, Le16({7, -9}));
  SoundPtr stereo(SoundConvertChannels(mono.get(), 2));
  ASSERT_NE(stereo, nullptr);
  EXPECT_EQ(Values16(stereo.get()), (std::vector<int32_t>{7, 7, -9, -9}));
  SoundPtr four(SoundConvertChannels(stereo.get(), 4));
  ASSERT_NE(four, nullptr);
  EXPECT_EQ(Values16(four.get()), (std::vector<int32_t>{7, 7, 7, 7, -9, -9, -9, -9}));
  SoundPtr lr = BlockOf(1000, 2, 2, Le16({1, 2}));
  SoundPtr lr4(SoundConvertChannels(lr.get(), 4));
  EXPECT_EQ(Values16(lr4.get()), (std::vector<int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(SoundConvertChannels(lr.get(), 2), lr.get());
  EXPECT_EQ(SoundConvertChannels(lr.get(), 0), nullptr);
}

TEST(SoundResample, UpInterpolatesAndHoldsTheLastValue) {
  SoundPtr in = BlockOf(1000, 2, 1, Le16({0, 100, -100}));  // 3 ms
  SoundPtr out(SoundResample(in.get(), 4000));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->rate, 4000u);
  ASSERT_EQ(out->samples, 12u);
  EXPECT_EQ(Values16(out.get()),
            (std::vector<int32_t>{0, 25, 50, 75, 100, 50, 0, -50, -100, -100, -100, -100}));
}

TEST(SoundResample, DownAveragesBoxes) {
  SoundPtr in = BlockOf(4000, 2, 2, Le16({0, 10, 4, 20, 8, 30, 12, 40, 1, 1, 3, 3, 5, 5, 7, 7}));
  SoundPtr out(SoundResample(in.get(), 2000));
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->samples, 4u);
  EXPECT_EQ(Values16(out.get()), (std::vector<int32_t>{2, 15, 10, 35, 2, 2, 6, 6}));
  // Three into two: boxes [0, 1.5) and [1.5, 3) hold samples {0, 1} and {2}.
  SoundPtr odd = BlockOf(3000, 2, 1, Le16({30, 60, 90}));
  SoundPtr two(SoundResample(odd.get(), 2000));
  ASSERT_NE(two, nullptr);
  ASSERT_EQ(two->samples, 2u);
  EXPECT_EQ(Values16(two.get()), (std::vector<int32_t>{45, 90}));
  EXPECT_EQ(SoundResample(odd.get(), 3000), odd.get());
  EXPECT_EQ(SoundResample(odd.get(), 0), nullptr);
}

}  // namespace
}  // namespace lumetra::sound
