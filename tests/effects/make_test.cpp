#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "anim/keyfloat.h"
#include "effect_blocks.h"
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

TEST_F(EffectsMake, InitAnswers1AndKeepsItsCurvesInTheBlock) {
  for (const effects::LibraryRecord& r : effects::LibraryRecords()) {
    if (r.effect == nullptr) continue;
    alignas(8) unsigned char block[1024] = {};
    ASSERT_LE(r.effect->block_size, sizeof block);
    EXPECT_EQ(r.effect->init(&host.ctx, block), 1) << r.effect->signature;
    // The block owns what init made: the host frees it with the block.
    for (const effects::FieldDef& f : r.effect->fields) {
      if (std::string(f.type) != "keyfloat" && std::string(f.type) != "KEYFLOAT") continue;
      for (int32_t i = 0; i < f.count; ++i) {
        KeyfloatKey** curve = reinterpret_cast<KeyfloatKey**>(block + f.offset) + i;
        lumetra::anim::KeyfloatFree(*curve);
      }
    }
  }
}

TEST_F(EffectsMake, ShapeAndBlurDefaults) {
  auto first = [](const KeyfloatKey* c) {
    return c == nullptr ? std::vector<float>{} : std::vector<float>{c->time, c->x, c->y, c->z};
  };
  alignas(8) unsigned char block[1024] = {};
  ASSERT_EQ(Effect("Fill Shape/Drop Shadow 1.0 ZOLT Standard").init(&host.ctx, block), 1);
  auto* s = reinterpret_cast<effects::FillShapeDropShadowData*>(block);
  EXPECT_EQ(first(s->clr), (std::vector<float>{0.5f, 0.f, 0.f, 1.f}));
  EXPECT_EQ(first(s->sx), (std::vector<float>{0.7f, 0.5f, 0.f, 0.f}));
  EXPECT_EQ(first(s->sa), (std::vector<float>{0.25f, 0.f, 0.f, 0.f}));
  EXPECT_EQ(first(s->sblur), (std::vector<float>{0.9f, 0.f, 0.f, 0.f}));
  for (KeyfloatKey* c : {s->clr, s->a, s->blur, s->sx, s->sy, s->sclr, s->sa, s->sblur}) {
    lumetra::anim::KeyfloatFree(c);
  }
  std::memset(block, 0, sizeof block);
  ASSERT_EQ(Effect("Motion Blur 2 by Brevik").init(&host.ctx, block), 1);
  auto* m = reinterpret_cast<effects::MotionBlurData*>(block);
  ASSERT_NE(m->f, nullptr);
  ASSERT_NE(m->f->next, nullptr);
  EXPECT_EQ(first(m->f), (std::vector<float>{0.1f, 0.f, 0.f, 0.f}));
  EXPECT_EQ(first(m->f->next), (std::vector<float>{1.f, 1.f, 0.f, 0.f}));
  EXPECT_EQ(m->f->continuity, 1.f);
  EXPECT_EQ(m->opc->continuity, 1.f);
  EXPECT_EQ(m->steps, 15.f);
  for (KeyfloatKey* c : {m->f, m->t, m->opc}) lumetra::anim::KeyfloatFree(c);
  // A new Fill Shape fills in opaque blue.
  std::memset(block, 0, sizeof block);
  ASSERT_EQ(Effect("Fill Shape 1.0 ZOLT Standard").init(&host.ctx, block), 1);
  auto* f = reinterpret_cast<effects::FillShapeData*>(block);
  int handle = 0;
  const auto g = reinterpret_cast<LumetraGeometry>(&handle);
  host.shapes[g].segments = {{0, 0, 0, 0, 4, 0, 0, 0}, {4, 0, 0, 0, 4, 4, 0, 0},
                             {4, 4, 0, 0, 0, 4, 0, 0}, {0, 4, 0, 0, 0, 0, 0, 0}};
  f->Geo = reinterpret_cast<LumetraObject>(g);
  host.input0 = nullptr;
  PIC* out = Effect("Fill Shape 1.0 ZOLT Standard").make(&host.ctx, block, 0.f, 1.f, 0.3f);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(out->pixels, out->pixels + 4), (std::vector<uint8_t>{255, 0, 0, 255}));
  FakeHost::FreePic(out);
  for (KeyfloatKey* c : {f->clr, f->a, f->blur}) lumetra::anim::KeyfloatFree(c);
}

}  // namespace
}  // namespace effects_test
