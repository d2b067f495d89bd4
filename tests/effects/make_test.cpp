#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "effect_table.h"
#include "effects/fake_host.h"

namespace effects_test {
namespace {

const effects::EffectDef& Effect(const std::string& signature) {
  for (const effects::LibraryRecord& r : effects::LibraryRecords()) {
    if (r.effect != nullptr && signature == r.effect->signature) return *r.effect;
  }
  ADD_FAILURE() << "no effect " << signature;
  return *effects::LibraryRecords()[0].effect;
}

class EffectsMake : public ::testing::Test {
 protected:
  void SetUp() override {
    effects::HostApiCopy(&host.table);
    host.ctx.word[HCC_WORD_KIND] = HCC_KIND_RENDER;
    input = FakeHost::MakePic(5, 4);
    input->x = 3;
    input->y = -2;
    for (int i = 0; i < 5 * 4 * 4; ++i) input->pixels[i] = static_cast<uint8_t>(i * 7 + 1);
    host.input0 = input;
  }
  void TearDown() override { FakeHost::FreePic(input); }

  FakeHost host;
  PIC* input = nullptr;
};

TEST_F(EffectsMake, LeastMakeCopiesInputZero) {
  for (const char* signature : {"Recolor 1.0 ZOLT Standard", "Bump 1.0 ZOLT Standard",
                                "Copy 1.0 ZOLT Standard", "Lightning, by Orvanta (D)"}) {
    SCOPED_TRACE(signature);
    host.progress.clear();
    PIC* out = Effect(signature).make(&host.ctx, nullptr, 0.f, 1.f, 0.5f);
    ASSERT_NE(out, nullptr);
    EXPECT_NE(out, input);
    EXPECT_EQ(out->width, 5);
    EXPECT_EQ(out->height, 4);
    EXPECT_EQ(out->x, 3);
    EXPECT_EQ(out->y, -2);
    EXPECT_EQ(std::memcmp(out->pixels, input->pixels, 5 * 4 * 4), 0);
    EXPECT_EQ(host.progress, (std::vector<float>{0.f, 1.f / 3, 2.f / 3, 1.f}));
    FakeHost::FreePic(out);
    ++host.pic_frees;
  }
  EXPECT_EQ(host.pic_creates, host.pic_frees);
}

TEST_F(EffectsMake, AbortMidFrameGivesNoPictureAndFreesWhatItMade) {
  for (int abort_at = 1; abort_at <= 4; ++abort_at) {
    host.check_aborts = 0;
    host.abort_after_checks = abort_at;
    EXPECT_EQ(Effect("Mix 1.0 ZOLT Standard").make(&host.ctx, nullptr, 0.f, 1.f, 0.f), nullptr);
    EXPECT_EQ(host.check_aborts, abort_at);
    EXPECT_EQ(host.pic_creates, abort_at);
    EXPECT_EQ(host.pic_creates, host.pic_frees);
  }
}

TEST_F(EffectsMake, MissingInputGivesNoPictureWithoutAllocating) {
  host.input0 = nullptr;
  EXPECT_EQ(Effect("Blur 1.0 ZOLT Standard").make(&host.ctx, nullptr, 0.f, 1.f, 0.f), nullptr);
  EXPECT_EQ(host.pic_creates, 0);
  EXPECT_TRUE(host.last_error.empty());  // not an error: the input may come later
}

TEST_F(EffectsMake, NoMemoryIsReported) {
  host.pic_create_fails = true;
  EXPECT_EQ(Effect("Blur 1.0 ZOLT Standard").make(&host.ctx, nullptr, 0.f, 1.f, 0.f), nullptr);
  EXPECT_EQ(host.last_error, "No memory");
}

TEST_F(EffectsMake, SourcesWithoutInputsMakeATransparentFrame) {
  host.input0 = nullptr;
  host.image_width = 7;
  host.image_height = 3;
  for (const char* signature : {"Wipe 1.0 ZOLT Standard", "Matte 1.0 ZOLT Standard",
                                "Clouds Generator 1.0 ZOLT Standard",
                                "Video Source v0.9 ZOLT Standard"}) {
    SCOPED_TRACE(signature);
    PIC* out = Effect(signature).make(&host.ctx, nullptr, 2.f, 2.f, 2.f);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->width, 7);
    EXPECT_EQ(out->height, 3);
    for (int i = 0; i < 7 * 3 * 4; ++i) ASSERT_EQ(out->pixels[i], 0);
    FakeHost::FreePic(out);
  }
}

TEST_F(EffectsMake, FrameOfUnusableSizeIsAnIllegalParameter) {
  host.image_width = 0;
  EXPECT_EQ(Effect("Wipe 1.0 ZOLT Standard").make(&host.ctx, nullptr, 0.f, 1.f, 0.f), nullptr);
  EXPECT_EQ(host.last_error, "Illegal parameter");
  EXPECT_EQ(host.pic_creates, 0);
}

TEST_F(EffectsMake, InitLeavesTheZeroedBlockAndAnswers1) {
  for (const effects::LibraryRecord& r : effects::LibraryRecords()) {
    if (r.effect == nullptr) continue;
    alignas(8) unsigned char block[1024] = {};
    ASSERT_LE(r.effect->block_size, sizeof block);
    EXPECT_EQ(r.effect->init(&host.ctx, block), 1) << r.effect->signature;
  }
}

}  // namespace
}  // namespace effects_test
