#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "anim/keyfloat.h"
#include "effects/fake_host.h"
#include "runtime.h"

namespace effects_test {
namespace {

using namespace effects;

TEST(EffectsRuntime, NormalisedTime) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float from, to, t, want;
  } cases[] = {
      {1.f, 3.f, 2.f, 0.5f}, {1.f, 3.f, 1.f, 0.f}, {1.f, 3.f, 3.f, 1.f},
      {2.f, 2.f, 2.f, 0.f},  {2.f, 2.f, 7.f, 0.f}, {3.f, 1.f, 2.f, 0.f},
      {nan, 1.f, 0.5f, 0.f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormalisedTime(c.from, c.to, c.t), c.want) << c.from << " " << c.to << " " << c.t;
  }
}

TEST(EffectsRuntime, SaturateToInt) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float in;
    int32_t want;
  } cases[] = {
      {std::numeric_limits<float>::quiet_NaN(), 0}, {2.9f, 2}, {-2.9f, -2}, {0.f, 0},
      {1e10f, INT32_MAX}, {-1e10f, INT32_MIN}, {inf, INT32_MAX}, {-inf, INT32_MIN},
      {2147483520.f, 2147483520},
  };
  for (const Case& c : cases) EXPECT_EQ(SaturateToInt(c.in), c.want) << c.in;
}

TEST(EffectsRuntime, CodeInRange) {
  EXPECT_EQ(CodeInRange(0, 4, 9), 0);
  EXPECT_EQ(CodeInRange(3, 4, 9), 3);
  EXPECT_EQ(CodeInRange(4, 4, 9), 9);
  EXPECT_EQ(CodeInRange(-1, 4, 9), 9);
  EXPECT_EQ(CodeInRange(255, 0, 0), 0);
}

TEST(EffectsRuntime, RowProgress) {
  EXPECT_EQ(RowProgress(0, 5), 0.f);
  EXPECT_EQ(RowProgress(2, 5), 0.5f);
  EXPECT_EQ(RowProgress(4, 5), 1.f);
  EXPECT_EQ(RowProgress(0, 1), 1.f);  // one row: no division by zero
}

TEST(EffectsRuntime, HueCircleRoundTripsEveryHue) {
  for (int32_t h = 0; h < kHueSteps; ++h) {
    const Rgb c = HueToColor(h);
    EXPECT_EQ(ColorToHue(c.r, c.g, c.b), h) << h;
    EXPECT_TRUE(c.r == 255 || c.g == 255 || c.b == 255) << h;
    EXPECT_TRUE(c.r == 0 || c.g == 0 || c.b == 0) << h;
  }
}

TEST(EffectsRuntime, HueOfColours) {
  struct Case {
    uint8_t r, g, b;
    int32_t hue;
  } cases[] = {
      {255, 0, 0, 0},     {255, 255, 0, 255},  {0, 255, 0, 510},  {0, 255, 255, 765},
      {0, 0, 255, 1020},  {255, 0, 255, 1275}, {0, 0, 0, 1020},   {128, 128, 128, 1020},
      {200, 100, 150, 1480}, {100, 200, 50, 460}, {10, 20, 30, 1010},
  };
  for (const Case& c : cases) EXPECT_EQ(ColorToHue(c.r, c.g, c.b), c.hue);
  const Rgb wrapped = HueToColor(kHueSteps + 255);
  EXPECT_EQ(wrapped.r, 255);
  EXPECT_EQ(wrapped.g, 255);
  EXPECT_EQ(wrapped.b, 0);
}

TEST(EffectsRuntime, ColorStripSamplesClampsAndBlacksOutAnAbsentCurve) {
  FakeHost host;
  HostApiCopy(&host.table);
  uint8_t rgb[3 * kColorStripMaxSamples];
  std::memset(rgb, 7, sizeof rgb);
  EXPECT_EQ(ColorStripSample(nullptr, 40, rgb), 40);
  for (int i = 0; i < 3 * 40; ++i) ASSERT_EQ(rgb[i], 0) << i;
  EXPECT_EQ(ColorStripSample(nullptr, 0, rgb), 0);

  // Red ramps 0 -> 1 over the strip, green is above 1, blue below 0.
  KeyfloatKey* curve = nullptr;
  ASSERT_NE(lumetra::anim::KeyfloatKeySet(&curve, 0.f, 3, 0.f, 2.f, -1.f), nullptr);
  ASSERT_NE(lumetra::anim::KeyfloatKeySet(&curve, 1.f, 3, 1.f, 2.f, -1.f), nullptr);
  EXPECT_EQ(ColorStripSample(curve, 1000, rgb), kColorStripMaxSamples);
  for (int i = 0; i < kColorStripMaxSamples; ++i) {
    float x = 0, y = 0, z = 0;
    lumetra::anim::KeyfloatEvaluate(curve, static_cast<float>(i) / kColorStripMaxSamples, &x, &y,
                                    &z);
    EXPECT_EQ(rgb[3 * i], static_cast<uint8_t>(x * 255.f)) << i;
    EXPECT_EQ(rgb[3 * i + 1], 255) << i;
    EXPECT_EQ(rgb[3 * i + 2], 0) << i;
  }
  EXPECT_EQ(rgb[0], 0);
  EXPECT_GT(rgb[3 * (kColorStripMaxSamples - 1)], 240);
  lumetra::anim::KeyfloatFree(curve);
}

TEST(EffectsRuntime, ScriptRunnerFormatsAddressesInUpperCaseHex) {
  FakeHost host;
  HostApiCopy(&host.table);
  int value = 0;
  const auto address = reinterpret_cast<uintptr_t>(&value);
  EXPECT_EQ(ScriptRunf(&host.ctx, kScriptChooseColor, address, uintptr_t{0xABCDEF},
                       uintptr_t{1}, uintptr_t{2}),
            1);
  ASSERT_EQ(host.scripts.size(), 1u);
  char want[128];
  std::snprintf(want, sizeof want, "*(int *)0x%" PRIXPTR " = DialogChooseColor( 0xABCDEF,0x1,0x2 );",
                address);
  EXPECT_EQ(host.scripts[0], want);
  EXPECT_EQ(ScriptRunf(&host.ctx, kScriptInputRemove, 2), 1);
  EXPECT_EQ(host.scripts[1], "ClipInputRemove( CurrentClip, 2 );");
  EXPECT_TRUE(host.last_error.empty());
}

TEST(EffectsRuntime, ScriptRunnerReportsRefusedAndOverlongStatements) {
  FakeHost host;
  HostApiCopy(&host.table);
  host.script_answer = 0;
  EXPECT_EQ(ScriptRunf(&host.ctx, "%s", "ClipInputAdd( CurrentClip );"), 0);
  EXPECT_EQ(host.last_error, "Script error");

  host.script_answer = 1;
  host.last_error.clear();
  const std::string long_text(kScriptBufferSize, 'x');
  EXPECT_EQ(ScriptRunf(&host.ctx, "%s", long_text.c_str()), 0);
  EXPECT_EQ(host.last_error, "Script error");
  EXPECT_EQ(host.scripts.size(), 1u);  // the cut statement never ran
}

std::string g_trace;
void CaptureTrace(const char* line) { g_trace = line; }

TEST(EffectsRuntime, TraceCutsLinesTo255Characters) {
  TraceSetSink(&CaptureTrace);
  Trace("row %d of %s", 3, "Blur");
  EXPECT_EQ(g_trace, "row 3 of Blur");
  const std::string long_text(1000, 'y');
  Trace("%s", long_text.c_str());
  EXPECT_EQ(g_trace.size(), static_cast<size_t>(kTraceLineSize - 1));
  TraceSetSink(nullptr);
  g_trace.clear();
  Trace("nothing");
  EXPECT_TRUE(g_trace.empty());
}

TEST(EffectsRuntime, GuardKeepsFailuresInsideTheLibrary) {
  FakeHost host;
  HostApiCopy(&host.table);
  EXPECT_EQ(Guarded<int32_t>(&host.ctx, 0, []() -> int32_t { throw std::bad_alloc(); }), 0);
  EXPECT_EQ(host.last_error, "No memory");
  EXPECT_EQ(Guarded<int32_t>(&host.ctx, 0, [] { return 5; }), 5);
}

}  // namespace
}  // namespace effects_test
