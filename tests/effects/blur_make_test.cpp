// Blur, Spread and Motion Blur through their make functions and the fake host: the curves
// read at the frame time reach the kernels, and the pictures are the kernels' pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "anim/keyfloat.h"
#include "effect_blocks.h"
#include "effect_table.h"
#include "effects/fake_host.h"
#include "motion_blur.h"
#include "spread.h"
#include "tent_blur.h"

namespace effects_test {
namespace {

namespace k = lumetra::effects;

const effects::EffectDef& Effect(const std::string& signature) {
  for (const effects::LibraryRecord& r : effects::LibraryRecords()) {
    if (r.effect != nullptr && signature == r.effect->signature) return *r.effect;
  }
  ADD_FAILURE() << "no effect " << signature;
  return *effects::LibraryRecords()[0].effect;
}

PIC* Noise(int32_t w, int32_t h, uint32_t seed) {
  PIC* p = FakeHost::MakePic(w, h);
  for (int i = 0; i < w * h * 4; ++i) {
    seed = seed * 1664525u + 1013904223u;
    p->pixels[i] = static_cast<uint8_t>(seed >> 24);
  }
  return p;
}

std::vector<uint8_t> Bytes(const PIC* p) {
  return {p->pixels, p->pixels + static_cast<size_t>(p->width) * p->height * 4};
}
k::ConstImageView View(const PIC* p) { return {p->pixels, p->width * 4, p->width, p->height}; }

class BlurMakes : public ::testing::Test {
 protected:
  void SetUp() override {
    effects::HostApiCopy(&host.table);
    host.ctx.word[HCC_WORD_KIND] = HCC_KIND_RENDER;
    host.image_width = 40;
    host.image_height = 30;
    input = Noise(9, 7, 7);
    input->x = 3;
    input->y = -2;
    host.input0 = input;
  }
  void TearDown() override {
    for (KeyfloatKey* c : curves_) lumetra::anim::KeyfloatFree(c);
    for (PIC* p : pics_) FakeHost::FreePic(p);
    FakeHost::FreePic(input);
  }
  // A curve from 0 at time 0 to `v` at time 1, so the frame time matters.
  KeyfloatKey* Ramp(float v) {
    KeyfloatKey* c = nullptr;
    lumetra::anim::KeyfloatKeySet(&c, 0.f, 1, 0.f, 0.f, 0.f);
    lumetra::anim::KeyfloatKeySet(&c, 1.f, 1, v, 0.f, 0.f);
    curves_.push_back(c);
    return c;
  }
  KeyfloatKey* Constant(float v) {
    KeyfloatKey* c = nullptr;
    lumetra::anim::KeyfloatKeySet(&c, 0.5f, 1, v, 0.f, 0.f);
    curves_.push_back(c);
    return c;
  }
  static float At(const KeyfloatKey* c, float nt) {
    float v;
    lumetra::anim::KeyfloatEvaluate(c, nt, &v, nullptr, nullptr);
    return v;
  }
  PIC* Own(PIC* p) {
    if (p != nullptr) pics_.push_back(p);
    return p;
  }

  FakeHost host;
  PIC* input = nullptr;

 private:
  std::vector<KeyfloatKey*> curves_;
  std::vector<PIC*> pics_;
};

TEST_F(BlurMakes, BlurIsTheTentBlurOfTheFactorAtTheFrameTime) {
  effects::BlurData d{};
  d.Factor = Ramp(0.4f);
  // Clip 2 .. 6 at t = 5: nt = 0.75, factor 0.3, r = 40 x 0.3 x 5 / 36.
  PIC* out = Own(Effect("Blur 1.0 ZOLT Standard").make(&host.ctx, &d, 2.f, 6.f, 5.f));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->x, 3);
  EXPECT_EQ(out->y, -2);
  ASSERT_EQ(out->width, 9);
  ASSERT_EQ(out->height, 7);
  std::vector<uint8_t> want(9 * 7 * 4);
  ASSERT_EQ(k::TentBlur(View(input), {want.data(), 9 * 4, 9, 7}, k::BlurRadius(40, At(d.Factor, 0.75f)),
                        k::TentChannels::kAll, {}),
            k::KernelStatus::kOk);
  EXPECT_EQ(Bytes(out), want);
  EXPECT_NE(Bytes(out), Bytes(input));
  EXPECT_EQ(host.pic_creates, 1);
}

TEST_F(BlurMakes, SpreadRunsTheCopiesOfItsCurves) {
  effects::SpreadData d{};
  d.Length = Constant(0.1f);       // 4 pixels at width 40
  d.Direction = Constant(0.125f);  // 45 degrees
  d.Weight = Ramp(1.f);
  for (uint8_t method : {uint8_t{0}, uint8_t{2}, uint8_t{3}}) {
    SCOPED_TRACE(static_cast<int>(method));
    d.Method = method;
    PIC* out = Own(Effect("Spread (Quarn)").make(&host.ctx, &d, 0.f, 1.f, 0.5f));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->x, 3);
    const k::SpreadMethod m = k::SpreadMethodFrom(method);
    const auto steps = k::SpreadSteps(40.0 * 0.1f, 0.125f * 6.283185307179586, m,
                                      [](void* c, double t) {
                                        return At(static_cast<const KeyfloatKey*>(c), static_cast<float>(t));
                                      },
                                      d.Weight);
    ASSERT_EQ(steps.size(), 5u);
    std::vector<uint8_t> want(9 * 7 * 4);
    ASSERT_EQ(k::Spread(View(input), {want.data(), 9 * 4, 9, 7}, steps, m, {}), k::KernelStatus::kOk);
    EXPECT_EQ(Bytes(out), want);
    EXPECT_NE(Bytes(out), Bytes(input));
  }
}

TEST_F(BlurMakes, SpreadAbortFreesItsPicture) {
  effects::SpreadData d{};
  d.Length = Constant(0.1f);
  host.abort_after_checks = 1;
  EXPECT_EQ(Effect("Spread (Quarn)").make(&host.ctx, &d, 0.f, 1.f, 0.5f), nullptr);
  EXPECT_EQ(host.pic_creates, host.pic_frees);
}

class MotionBlurMake : public BlurMakes {
 protected:
  void SetUp() override {
    BlurMakes::SetUp();
    host.image_width = 6;
    host.image_height = 5;
    d.f = Constant(0.f);
    d.t = Constant(1.f);
    d.opc = Constant(1.f);
    d.steps = 3.f;
    d.alignment = 3;  // Constant Value: three samples over the segment
    host.input0 = nullptr;
    host.input_at = [this](float time) -> PIC* {
      if (ready == 0) return nullptr;
      --ready;
      auto it = frames.find(time);
      if (it == frames.end()) {
        it = frames.emplace(time, Noise(4, 3, static_cast<uint32_t>(frames.size() + 1))).first;
        it->second->x = static_cast<int16_t>(frames.size());
      }
      return it->second;
    };
  }
  void TearDown() override {
    for (auto& [t, p] : frames) FakeHost::FreePic(p);
    BlurMakes::TearDown();
  }
  PIC* Make() { return Effect("Motion Blur 2 by Brevik").make(&host.ctx, &d, 0.f, 1.f, 0.5f); }

  effects::MotionBlurData d{};
  std::map<float, PIC*> frames;
  int ready = 1000;
};

TEST_F(MotionBlurMake, WaitsForItsFramesAndMixesThemAsTheKernelDoes) {
  ready = 1;
  EXPECT_EQ(Make(), nullptr);
  EXPECT_NE(host.user_word, 0);  // the progress stays with the request
  EXPECT_EQ(host.input_frees, 1);
  ready = 1000;
  PIC* out = Own(Make());
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(host.user_word, 0);
  EXPECT_EQ(host.input_frees, 3);
  ASSERT_EQ(out->width, 6);
  ASSERT_EQ(out->height, 5);
  // The segment ends on the last whole field before the clip's end: 0 .. 0.98.
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ((std::vector<float>{host.input_times.front(), host.input_times.back()}),
            (std::vector<float>{0.f, static_cast<float>(49.0 / 50.0)}));
  // The same frames through the kernel.
  k::MotionBlurState* state = k::MotionBlurStateCreate(
      6, 5, 0, k::MotionBlurSamples({0.0, 49.0 / 50.0, 3}, nullptr, nullptr));
  ASSERT_NE(state, nullptr);
  for (auto& [t, p] : frames) k::MotionBlurAdd(*state, View(p), p->x, p->y, 1.f, {});
  std::vector<uint8_t> want(6 * 5 * 4);
  k::MotionBlurFinish(*state, {want.data(), 6 * 4, 6, 5}, {});
  k::MotionBlurStateFree(state);
  EXPECT_EQ(Bytes(out), want);
  EXPECT_EQ(host.pic_creates, host.pic_frees + 1);
}

TEST_F(MotionBlurMake, AbortWhileWaitingFreesTheStateAndClearsTheWord) {
  ready = 1;
  EXPECT_EQ(Make(), nullptr);
  ASSERT_NE(host.user_word, 0);
  host.abort_after_checks = host.check_aborts + 1;
  EXPECT_EQ(Make(), nullptr);
  EXPECT_EQ(host.user_word, 0);
  EXPECT_EQ(host.pic_creates, host.pic_frees);
}

TEST_F(MotionBlurMake, NeedsItsInput) {
  host.input_assigned = 0;
  EXPECT_EQ(Make(), nullptr);
  EXPECT_EQ(host.last_error, "No input assigned");
  EXPECT_EQ(host.user_word, 0);
  EXPECT_EQ(host.pic_creates, 0);
}

}  // namespace
}  // namespace effects_test
