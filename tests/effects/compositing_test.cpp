#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "anim/keyfloat.h"
#include "compositing_effects.h"
#include "effect_blocks.h"
#include "effect_table.h"
#include "effects/fake_host.h"
#include "paste_kernel.h"

namespace effects_test {
namespace {

const effects::EffectDef& Effect(const std::string& signature) {
  for (const effects::LibraryRecord& r : effects::LibraryRecords()) {
    if (r.effect != nullptr && signature == r.effect->signature) return *r.effect;
  }
  ADD_FAILURE() << "no effect " << signature;
  return *effects::LibraryRecords()[0].effect;
}

struct PicDeleter {
  void operator()(PIC* p) const { FakeHost::FreePic(p); }
};
using Pic = std::unique_ptr<PIC, PicDeleter>;

// A w x h picture at (x, y) with every pixel b, g, r, a.
Pic Solid(int w, int h, int x, int y, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  Pic p(FakeHost::MakePic(w, h));
  p->x = static_cast<int16_t>(x);
  p->y = static_cast<int16_t>(y);
  for (int i = 0; i < w * h; ++i) {
    p->pixels[4 * i] = b;
    p->pixels[4 * i + 1] = g;
    p->pixels[4 * i + 2] = r;
    p->pixels[4 * i + 3] = a;
  }
  return p;
}

const uint8_t* Px(const PIC* p, int x, int y) { return p->pixels + 4 * (y * p->width + x); }

// A constant curve.
struct Curve {
  KeyfloatKey* first = nullptr;
  explicit Curve(float v) { lumetra::anim::KeyfloatKeySet(&first, 0.f, 1, v, 0.f, 0.f); }
  ~Curve() { lumetra::anim::KeyfloatFree(first); }
  Curve(const Curve&) = delete;
  Curve& operator=(const Curve&) = delete;
};

class Compositing : public ::testing::Test {
 protected:
  void SetUp() override {
    effects::HostApiCopy(&host.table);
    host.ctx.word[HCC_WORD_KIND] = HCC_KIND_RENDER;
  }
  Pic Make(const char* signature, void* data, float t = 0.f) {
    return Pic(Effect(signature).make(&host.ctx, data, 0.f, 1.f, t));
  }
  FakeHost host;
};

constexpr const char* kMix = "Mix 1.0 ZOLT Standard";
constexpr const char* kChainedMix = "ChainedMix 1.0 ZOLT Standard";
constexpr const char* kPaste = "Paste 11.02.1997 ZOLT Standard";
constexpr const char* kCrop = "Crop ZOLT Standard";
constexpr const char* kSwitcher = "Multitrack switcher (Quadrel)";
constexpr const char* kChannels = "Channel Processor 1.0 ZOLT Standard";

// ---- Mix ---------------------------------------------------------------------------------

TEST_F(Compositing, HalfMixOfBlackAndWhiteAlternatesThroughTheCarry) {
  Pic a = Solid(6, 2, 0, 0, 0, 0, 0, 0);
  Pic b = Solid(6, 2, 0, 0, 255, 255, 255, 255);
  host.inputs = {{0, a.get()}, {1, b.get()}};
  Curve half(0.5f);
  effects::MixData d{half.first, 0};
  Pic out = Make(kMix, &d);
  ASSERT_TRUE(out);
  for (int y = 0; y < 2; ++y) {  // the carry starts again on every row
    for (int x = 0; x < 6; ++x) {
      for (int c = 0; c < 4; ++c) EXPECT_EQ(Px(out.get(), x, y)[c], x % 2 ? 128 : 127);
    }
  }
}

TEST_F(Compositing, MixOfOffsetPicturesCoversTheUnionWithTransparentGaps) {
  Pic a = Solid(2, 2, -1, 0, 200, 100, 40, 255);
  Pic b = Solid(2, 2, 2, 1, 100, 60, 20, 255);
  host.inputs = {{0, a.get()}, {1, b.get()}};
  Curve half(0.5f);
  effects::MixData d{half.first, 0};
  Pic out = Make(kMix, &d);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->x, -1);
  EXPECT_EQ(out->y, 0);
  EXPECT_EQ(out->width, 5);
  EXPECT_EQ(out->height, 3);
  // Rows bottom-up: A covers columns 0-1 of rows 0-1, B columns 3-4 of rows 1-2.
  const char* map[3] = {"AA...", "AA.BB", "...BB"};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      SCOPED_TRACE(testing::Message() << x << "," << y);
      const uint8_t* p = Px(out.get(), x, y);
      const char k = map[y][x];
      const uint8_t want[3][4] = {{0, 0, 0, 0}, {100, 50, 20, 127}, {50, 30, 10, 127}};
      const int row = k == '.' ? 0 : k == 'A' ? 1 : 2;
      // 255 x 2048 carries half a step: alpha alternates like the half mix above.
      for (int c = 0; c < 3; ++c) EXPECT_EQ(p[c], want[row][c]);
      if (k == '.') EXPECT_EQ(p[3], 0);
      else EXPECT_TRUE(p[3] == 127 || p[3] == 128);
    }
  }
}

TEST_F(Compositing, MixAtEitherEndFetchesOnlyTheInputItShows) {
  Pic a = Solid(3, 2, 1, 1, 10, 20, 30, 40);
  Pic b = Solid(2, 2, 0, 0, 50, 60, 70, 80);
  host.inputs = {{0, a.get()}, {1, b.get()}};
  for (const float f : {0.f, 1.f, 2.f}) {
    SCOPED_TRACE(f);
    host.fetches.clear();
    Curve factor(f);
    effects::MixData d{factor.first, 0};
    Pic out = Make(kMix, &d);
    ASSERT_TRUE(out);
    const int only = f == 0.f ? 0 : 1;
    ASSERT_EQ(host.fetches.size(), 1u);
    EXPECT_EQ(host.fetches[0].first, only);
    const PIC* in = only == 0 ? a.get() : b.get();
    EXPECT_EQ(out->x, in->x);
    EXPECT_EQ(out->width, in->width);
    EXPECT_EQ(std::memcmp(out->pixels, in->pixels, in->width * in->height * 4), 0);
  }
}

TEST_F(Compositing, MixWithoutEitherInputGivesNothing) {
  Pic a = Solid(2, 2, 0, 0, 1, 2, 3, 4);
  host.inputs = {{0, a.get()}};
  Curve half(0.5f);
  effects::MixData d{half.first, 0};
  EXPECT_FALSE(Make(kMix, &d));
  EXPECT_EQ(host.pic_creates, 0);
}

// ---- Chained Mix ---------------------------------------------------------------------------

TEST_F(Compositing, ChainedMixWithoutMixedFramesOnlyHolds) {
  Pic a = Solid(2, 1, 0, 0, 9, 8, 7, 6);
  host.inputs = {{0, a.get()}};
  host.frame_rate = 25;
  effects::ChainedMixData d{1, 3.f, 2.f, 0.f, 0};
  for (int frame = 0; frame < 7; ++frame) {
    SCOPED_TRACE(frame);
    host.fetches.clear();
    Pic out(Effect(kChainedMix).make(&host.ctx, &d, 0.f, 10.f, frame / 25.f));
    ASSERT_TRUE(out);
    ASSERT_EQ(host.fetches.size(), 1u);
    const int k = frame / 2;
    EXPECT_FLOAT_EQ(host.fetches[0].second, (k * 3 + 1) / 25.f);
    EXPECT_EQ(std::memcmp(out->pixels, a->pixels, 8), 0);
  }
}

TEST_F(Compositing, ChainedMixMixesInTheSecondPartOfACycle) {
  Pic a = Solid(2, 1, 0, 0, 0, 0, 0, 0);
  host.inputs = {{0, a.get()}};
  effects::ChainedMixData d{0, 2.f, 0.5f, 1.5f, 0};
  Pic out(Effect(kChainedMix).make(&host.ctx, &d, 0.f, 10.f, 1 / 25.f));
  ASSERT_TRUE(out);
  ASSERT_EQ(host.fetches.size(), 2u);  // frame 1 is in the mix: this frame and the next cycle's
  EXPECT_FLOAT_EQ(host.fetches[0].second, 0.f);
  EXPECT_FLOAT_EQ(host.fetches[1].second, 2 / 25.f);
}

TEST_F(Compositing, ChainedMixWithAnEmptyCycleOrNoFrameRateHoldsTheFirstFrame) {
  Pic a = Solid(2, 1, 0, 0, 5, 5, 5, 5);
  host.inputs = {{0, a.get()}};
  struct Case {
    float sn, mn;
    int32_t rate;
  };
  for (const Case c : {Case{0.f, 0.f, 25}, Case{1.f, -1.f, 25}, Case{-3.f, 1.f, 25},
                       Case{0.5f, 1.5f, 0}}) {
    SCOPED_TRACE(testing::Message() << c.sn << " " << c.mn << " " << c.rate);
    host.fetches.clear();
    host.frame_rate = c.rate;
    effects::ChainedMixData d{2, 1.f, c.sn, c.mn, 1};
    Pic out(Effect(kChainedMix).make(&host.ctx, &d, 0.f, 10.f, 0.f));
    ASSERT_TRUE(out);
    ASSERT_FALSE(host.fetches.empty());
    EXPECT_TRUE(std::isfinite(host.fetches[0].second));
    EXPECT_FLOAT_EQ(host.fetches[0].second, 2 / 25.f);
  }
}

// ---- Paste -------------------------------------------------------------------------------

// Paste's Overlay, straight from its formula.
int OverlayReference(int F, int G) {
  const double f = F / 255.0, g = G / 255.0;
  const double p = 255.0 * std::pow(g, 4.0 - f - g);
  const double q = 255.0 * std::pow(g, 1.0 - std::sqrt(2.0 * f * g));
  return static_cast<int>(std::min(std::trunc(p + f * (q - p)), 255.0));
}

TEST(PasteOverlay, TableMatchesTheFormulaForEveryPair) {
  const uint8_t* table = lumetra::effects::OverlayTable();
  for (int f = 0; f < 256; ++f) {
    for (int g = 0; g < 256; ++g) ASSERT_EQ(table[f * 256 + g], OverlayReference(f, g)) << f << "," << g;
  }
  EXPECT_EQ(table[200 * 256 + 100], 167);
}

TEST_F(Compositing, PasteAtFullOpacityBlendsEveryMode) {
  // Channel 0 pastes F 200 over G 100, channel 1 F 50 over G 200; the colour spreads are
  // 150 (foreground) and 100 (background).
  Pic bg = Solid(1, 1, 0, 0, 100, 200, 100, 77);
  Pic fg = Solid(1, 1, 0, 0, 200, 50, 200, 0);
  host.inputs = {{0, bg.get()}, {1, fg.get()}};
  struct Row {
    int mode;
    int c0, c1;  // -1: from the Overlay formula
  };
  const Row table[] = {
      {0, 200, 50},  {1, 78, 39},   {2, 221, 210}, {3, 200, 200}, {4, 100, 50},   {5, 100, 150},
      {6, 160, 110}, {7, 178, 171}, {8, 21, 160},  {9, 211, 188}, {10, 166, 170}, {11, -1, -1},
  };
  Curve full(1.f);
  for (const Row& r : table) {
    SCOPED_TRACE(r.mode);
    effects::PasteData d{full.first, 5, static_cast<uint8_t>(r.mode)};  // source "Opaque"
    Pic out = Make(kPaste, &d);
    ASSERT_TRUE(out);
    const uint8_t* p = Px(out.get(), 0, 0);
    EXPECT_EQ(p[0], r.c0 >= 0 ? r.c0 : OverlayReference(200, 100));
    EXPECT_EQ(p[1], r.c1 >= 0 ? r.c1 : OverlayReference(50, 200));
    EXPECT_EQ(p[2], p[0]);
    EXPECT_EQ(p[3], 255);
  }
}

TEST_F(Compositing, PasteOverlayOverBlackStaysBlack) {
  Pic bg = Solid(3, 2, 0, 0, 0, 0, 0, 0);
  Pic fg = Solid(3, 2, 0, 0, 0, 0, 0, 255);
  for (int i = 0; i < 6; ++i) {
    for (int c = 0; c < 3; ++c) fg->pixels[4 * i + c] = static_cast<uint8_t>(i * 50 + c * 20);
  }
  host.inputs = {{0, bg.get()}, {1, fg.get()}};
  Curve full(1.f);
  effects::PasteData d{full.first, 3, 11};
  Pic out = Make(kPaste, &d);
  ASSERT_TRUE(out);
  for (int i = 0; i < 6; ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(out->pixels[4 * i + c], 0);
    EXPECT_EQ(out->pixels[4 * i + 3], 255);
  }
}

TEST_F(Compositing, PasteWithoutExternalAlphaTakesTheForegroundsOpacity) {
  Pic bg = Solid(4, 1, 0, 0, 0, 0, 0, 200);
  Pic fg = Solid(2, 1, 1, 0, 255, 255, 255, 128);
  host.inputs = {{0, bg.get()}, {1, fg.get()}};
  Curve full(1.f);
  effects::PasteData d{full.first, 3, 0};
  Pic out = Make(kPaste, &d);
  ASSERT_TRUE(out);
  // e = 128: k = 128 x 4096 / 255 = 2056, 255 x 2056 >> 12 = 127.
  const uint8_t want[4][4] = {{0, 0, 0, 0}, {127, 127, 127, 128}, {127, 127, 127, 128}, {0, 0, 0, 0}};
  for (int x = 0; x < 4; ++x) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(Px(out.get(), x, 0)[c], want[x][c]) << x << "," << c;
  }
  // Connected but not delivered yet: nothing.
  host.assigned_empty = {2};
  EXPECT_FALSE(Make(kPaste, &d));
}

TEST_F(Compositing, PasteOpacitySourceCodesNameTheSameBytesInBothSteps) {
  // The external picture sets alpha 0 everywhere; Max(A,eA) then takes the foreground's
  // channel by the same code as the external step: R byte 2, G byte 1, B byte 0.
  Pic bg = Solid(1, 1, 0, 0, 0, 0, 0, 0);
  Pic fg = Solid(1, 1, 0, 0, 10, 200, 30, 0);
  Pic ext = Solid(1, 1, 0, 0, 0, 0, 0, 0);
  host.inputs = {{0, bg.get()}, {1, fg.get()}, {2, ext.get()}};
  Curve full(1.f);
  const int want[] = {30, 200, 10, 0, 80, 255};
  for (int source = 0; source < 6; ++source) {
    SCOPED_TRACE(source);
    effects::PasteData d{full.first, static_cast<int16_t>(source | 3 << 8), 0};
    Pic out = Make(kPaste, &d);
    ASSERT_TRUE(out);
    EXPECT_EQ(Px(out.get(), 0, 0)[3], want[source]);
  }
}

TEST_F(Compositing, PasteExternalAlphaTakesTheByteItsSourceCodeNames) {
  // The external picture covers the left pixel only; the foreground covers both. Method
  // "Normal": the pasted alpha is the external value where it lies, 0 beside it.
  Pic bg = Solid(2, 1, 0, 0, 0, 0, 0, 0);
  Pic fg = Solid(2, 1, 0, 0, 0, 0, 0, 0);
  Pic ext = Solid(1, 1, 0, 0, 10, 200, 30, 77);
  host.inputs = {{0, bg.get()}, {1, fg.get()}, {2, ext.get()}};
  Curve full(1.f);
  const int want[] = {30, 200, 10, 77, 80, 255, 0};  // R, G, B, Alpha, Intensity, Opaque, 6
  for (int source = 0; source < 7; ++source) {
    SCOPED_TRACE(source);
    effects::PasteData d{full.first, static_cast<int16_t>(source), 0};
    Pic out = Make(kPaste, &d);
    ASSERT_TRUE(out);
    EXPECT_EQ(Px(out.get(), 0, 0)[3], want[source]);
    EXPECT_EQ(Px(out.get(), 1, 0)[3], 0);
  }
}

// ---- Channel Processor -------------------------------------------------------------------

TEST_F(Compositing, ChannelProcessorOperationByModeTable) {
  Pic first = Solid(1, 1, 0, 0, 0, 0, 200, 0);
  Pic second = Solid(1, 1, 0, 0, 0, 0, 100, 0);
  Pic low = Solid(1, 1, 0, 0, 0, 0, 100, 0);
  Pic high = Solid(1, 1, 0, 0, 0, 0, 200, 0);
  struct Row {
    int op;
    int normalize, wrap, cut;
  };
  // x = 200, y = 100
  const Row big[] = {{0, 200, 200, 200}, {1, 150, 44, 255}, {2, 100, 100, 100},
                     {3, 78, 32, 255},   {4, 200, 200, 200}, {5, 100, 100, 100},
                     {6, 100, 100, 100}};
  // x = 100, y = 200
  const Row small[] = {{0, 100, 100, 100}, {1, 150, 44, 255}, {2, 0, 156, 0},
                       {3, 78, 32, 255},   {4, 200, 200, 200}, {5, 100, 100, 100},
                       {6, 100, 100, 100}};
  for (int pass = 0; pass < 2; ++pass) {
    host.inputs = pass == 0 ? std::map<int32_t, PIC*>{{0, first.get()}, {1, second.get()}}
                            : std::map<int32_t, PIC*>{{0, low.get()}, {1, high.get()}};
    for (const Row& r : pass == 0 ? big : small) {
      const int want[3] = {r.normalize, r.wrap, r.cut};
      for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(testing::Message() << pass << " op " << r.op << " mode " << mode);
        effects::ChannelProcessorData d{};
        effects::ChannelProcessorInit(&host.ctx, &d);
        d.Operation[0] = static_cast<int16_t>(r.op);
        d.Mode[0] = static_cast<int16_t>(mode);
        Pic out = Make(kChannels, &d);
        ASSERT_TRUE(out);
        EXPECT_EQ(Px(out.get(), 0, 0)[2], want[mode]);
      }
    }
  }
}

TEST_F(Compositing, ChannelProcessorDefaultsReproduceInputOne) {
  Pic first = Solid(3, 2, 1, 0, 0, 0, 0, 0);
  for (int i = 0; i < 6 * 4; ++i) first->pixels[i] = static_cast<uint8_t>(i * 11 + 3);
  Pic second = Solid(2, 2, 0, 1, 90, 91, 92, 93);
  host.inputs = {{0, first.get()}, {1, second.get()}};
  effects::ChannelProcessorData d{};
  ASSERT_EQ(effects::ChannelProcessorInit(&host.ctx, &d), 1);
  Pic out = Make(kChannels, &d);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->x, 0);
  EXPECT_EQ(out->y, 0);
  EXPECT_EQ(out->width, 4);
  EXPECT_EQ(out->height, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool inside = x >= 1 && y < 2;
      for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(Px(out.get(), x, y)[c], inside ? Px(first.get(), x - 1, y)[c] : 0)
            << x << "," << y << "," << c;
      }
    }
  }
}

TEST_F(Compositing, ChannelProcessorCodesFromAFileOutOfRangeReadZero) {
  Pic first = Solid(1, 1, 0, 0, 10, 20, 30, 40);
  Pic second = Solid(1, 1, 0, 0, 50, 60, 70, 80);
  host.inputs = {{0, first.get()}, {1, second.get()}};
  effects::ChannelProcessorData d{};
  effects::ChannelProcessorInit(&host.ctx, &d);
  d.Operand1[0] = 99;    // red: "=" of an unknown operand
  d.Operand1[1] = -1;    // green: the same
  d.Operation[2] = 42;   // blue: an unknown operation is "="
  d.Mode[3] = 7;         // alpha: MUL in an unknown mode normalises
  d.Operation[3] = 3;
  d.Operand2[3] = 1000;  // ... by an unknown operand: 0
  Pic out = Make(kChannels, &d);
  ASSERT_TRUE(out);
  const uint8_t* p = Px(out.get(), 0, 0);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[0], 10);
  EXPECT_EQ(p[3], 0);
}

// ---- Multitrack switcher -----------------------------------------------------------------

TEST_F(Compositing, SwitcherDefaultsCopyTheFirstInput) {
  Pic a = Solid(2, 2, 3, 1, 1, 2, 3, 4);
  a->pixels[0] = 99;
  Pic b = Solid(5, 5, 0, 0, 9, 9, 9, 9);
  host.inputs = {{0, a.get()}, {1, b.get()}};
  host.clip_inputs = 2;
  effects::MultiswitcherData d{};
  effects::SwitcherInit(&host.ctx, &d);
  Pic out = Make(kSwitcher, &d);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->x, 3);
  EXPECT_EQ(out->y, 1);
  EXPECT_EQ(out->width, 2);
  EXPECT_EQ(std::memcmp(out->pixels, a->pixels, 16), 0);
}

TEST_F(Compositing, SwitcherOperationsOverTheCoveringInputs) {
  // Red 30, 90 and 150 from three inputs; the third does not cover the pixel.
  Pic a = Solid(1, 1, 0, 0, 0, 0, 30, 255);
  Pic b = Solid(1, 1, 0, 0, 60, 60, 90, 0);
  Pic c = Solid(1, 1, 4, 4, 0, 0, 150, 0);
  host.inputs = {{0, a.get()}, {1, b.get()}, {2, c.get()}};
  host.clip_inputs = 3;
  struct Row {
    int op, ch1, in1, ch2, in2, want;
  };
  const Row table[] = {
      {0, 0, 1, 0, 0, 90},  {1, 0, 0, 0, 0, 30},   {2, 0, 0, 0, 0, 90}, {3, 0, 0, 0, 0, 60},
      {4, 0, 0, 0, 1, 30},  {5, 0, 0, 0, 1, 90},   {6, 0, 0, 0, 1, 60}, {7, 0, 0, 0, 1, 60},
      {8, 0, 1, 0, 0, 60},  {8, 0, 0, 0, 1, 0},    {9, 0, 0, 0, 0, 0},  {10, 0, 0, 0, 0, 255},
      {0, 4, 1, 0, 0, 70},  {0, 3, 0, 0, 0, 255},  {0, 0, 2, 0, 0, 0},  // input 2 misses
      {0, 0, 9, 0, 0, 0},   {0, 7, 0, 0, 0, 0},    {4, 0, 0, 0, 200, 0},  // out of range: 0
      {33, 0, 0, 0, 0, 0},
  };
  for (const Row& r : table) {
    SCOPED_TRACE(testing::Message() << r.op << " " << r.ch1 << " " << r.in1 << " " << r.ch2
                                    << " " << r.in2);
    effects::MultiswitcherData d{};
    effects::SwitcherInit(&host.ctx, &d);
    d.Op_r = static_cast<uint8_t>(r.op);
    d.Ch1_r = static_cast<uint8_t>(r.ch1);
    d.In1_r = static_cast<uint8_t>(r.in1);
    d.Ch2_r = static_cast<uint8_t>(r.ch2);
    d.In2_r = static_cast<uint8_t>(r.in2);
    Pic out = Make(kSwitcher, &d);
    ASSERT_TRUE(out);
    EXPECT_EQ(Px(out.get(), 0, 0)[2], r.want);
    EXPECT_EQ(Px(out.get(), 0, 0)[3], 255);  // alpha "=" of input 0
  }
}

TEST_F(Compositing, SwitcherWaitsForEveryInputAndNeedsSome) {
  Pic a = Solid(1, 1, 0, 0, 1, 1, 1, 1);
  host.inputs = {{0, a.get()}};
  host.assigned_empty = {1};
  host.clip_inputs = 2;
  effects::MultiswitcherData d{};
  EXPECT_FALSE(Make(kSwitcher, &d));
  EXPECT_TRUE(host.last_error.empty());
  EXPECT_EQ(host.pic_creates, 0);
  host.clip_inputs = 0;
  EXPECT_FALSE(Make(kSwitcher, &d));
  EXPECT_EQ(host.last_error, "No inputs");
}

// ---- Crop --------------------------------------------------------------------------------

struct CropCurves {
  Curve l, r, t, b, blur;
  CropCurves(float l_, float r_, float t_, float b_, float blur_)
      : l(l_), r(r_), t(t_), b(b_), blur(blur_) {}
  effects::CropData Data(int16_t flags, int16_t mode) const {
    return {nullptr, flags, mode, l.first, r.first, t.first, b.first, blur.first};
  }
};

TEST_F(Compositing, CropByPictureResolutionFollowsAMovedInput) {
  Pic in = Solid(8, 4, 0, 0, 0, 0, 0, 255);
  for (int i = 0; i < 32; ++i) in->pixels[4 * i] = static_cast<uint8_t>(i);
  host.inputs = {{0, in.get()}};
  const CropCurves m(0.25f, 0.75f, 1.f, 0.5f, 0.f);
  effects::CropData d = m.Data(2 | 1 << 10, 1);
  Pic at_origin = Make(kCrop, &d);
  in->x = 5;
  in->y = 3;
  Pic moved = Make(kCrop, &d);
  ASSERT_TRUE(at_origin);
  ASSERT_TRUE(moved);
  EXPECT_EQ(at_origin->x, 2);
  EXPECT_EQ(at_origin->y, 2);
  EXPECT_EQ(at_origin->width, 4);
  EXPECT_EQ(at_origin->height, 2);
  EXPECT_EQ(moved->x, 7);
  EXPECT_EQ(moved->y, 5);
  EXPECT_EQ(moved->width, 4);
  EXPECT_EQ(moved->height, 2);
  EXPECT_EQ(std::memcmp(at_origin->pixels, moved->pixels, 4 * 2 * 4), 0);
  EXPECT_EQ(Px(moved.get(), 0, 0)[0], 2 * 8 + 2);  // input column 2, row 2
  EXPECT_EQ(Px(moved.get(), 0, 0)[3], 255);
}

TEST_F(Compositing, CropEdgesAreAntiAliasedAndInvertedMarginsCoverNothing) {
  Pic in = Solid(8, 6, 0, 0, 50, 50, 50, 255);
  host.inputs = {{0, in.get()}};
  {
    const CropCurves m(1.25f / 8, 1.f, 1.f, 0.f, 0.f);  // by project resolution, W = 8
    effects::CropData d = m.Data(2, 0);
    Pic out = Make(kCrop, &d);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->x, 1);
    EXPECT_EQ(out->width, 7);
    EXPECT_EQ(Px(out.get(), 0, 0)[3], 191);  // 255 x 0.75
    EXPECT_EQ(Px(out.get(), 1, 0)[3], 255);
  }
  {
    const CropCurves m(0.75f, 0.25f, 0.2f, 0.8f, 0.f);
    effects::CropData d = m.Data(2, 0);
    Pic out = Make(kCrop, &d);
    ASSERT_TRUE(out);
    EXPECT_GE(out->width, 1);
    for (int i = 0; i < out->width * out->height; ++i) EXPECT_EQ(out->pixels[4 * i + 3], 0);
  }
}

TEST_F(Compositing, CropBySourceTakesTheInputsAlpha) {
  Pic in = Solid(4, 2, 0, 0, 10, 20, 30, 100);
  host.inputs = {{0, in.get()}};
  const CropCurves m(0.f, 1.f, 1.f, 0.f, 0.f);
  effects::CropData d = m.Data(2 | 1 << 10, 1);
  Pic out = Make(kCrop, &d);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->width, 4);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(out->pixels[4 * i + 2], 30);
    EXPECT_EQ(out->pixels[4 * i + 3], 100);
  }
  // Blur widens the cut by the blur radius on every side (W 8 x 0.5 x 5/36 = 0.56).
  const CropCurves soft(0.f, 1.f, 1.f, 0.f, 0.5f);
  d = soft.Data(2 | 1 << 10, 0);
  Pic blurred = Make(kCrop, &d);
  ASSERT_TRUE(blurred);
  EXPECT_EQ(blurred->x, -1);
  EXPECT_EQ(blurred->y, -1);
  EXPECT_EQ(blurred->width, 5);  // the far sides widen by fl(0.56) = 0
  EXPECT_EQ(blurred->height, 3);
}

TEST_F(Compositing, CropWithNeitherMarginsNorGeometryCopies) {
  Pic in = Solid(3, 2, 4, 5, 1, 2, 3, 4);
  host.inputs = {{0, in.get()}};
  const CropCurves m(0.25f, 0.75f, 1.f, 0.f, 0.f);
  effects::CropData d = m.Data(1, 0);  // "By geometry" without a geometry
  Pic out = Make(kCrop, &d);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->x, 4);
  EXPECT_EQ(out->width, 3);
  EXPECT_EQ(std::memcmp(out->pixels, in->pixels, 24), 0);
}

TEST_F(Compositing, CropByGeometryCutsAlongTheOutlineNotItsBox) {
  host.image_width = host.image_height = 8;
  Pic in = Solid(8, 8, 0, 0, 10, 20, 30, 255);
  host.inputs = {{0, in.get()}};
  // A right triangle over the frame's left half: its box is the whole frame.
  FakeShape triangle;
  const float p[4][2] = {{0, 0}, {8, 0}, {0, 8}, {0, 0}};
  for (int i = 0; i < 3; ++i)
    triangle.segments.push_back({p[i][0], p[i][1], 0, 0, p[i + 1][0], p[i + 1][1], 0, 0});
  int handle = 0;
  auto geometry = reinterpret_cast<LumetraGeometry>(&handle);
  host.shapes[geometry] = triangle;
  const CropCurves m(0.f, 1.f, 1.f, 0.f, 0.f);
  effects::CropData d = m.Data(1, 0);  // "By geometry", alpha by geometry
  d.Geo = reinterpret_cast<LumetraObject>(geometry);
  Pic out = Make(kCrop, &d);
  ASSERT_TRUE(out);
  ASSERT_EQ(out->width, 8);
  ASSERT_EQ(out->height, 8);
  const uint8_t* inside = out->pixels + 4 * (3 * 8 + 1);
  const uint8_t* outside = out->pixels + 4 * (3 * 8 + 6);
  EXPECT_EQ(inside[3], 255);
  EXPECT_EQ(inside[0], 10);
  EXPECT_EQ(outside[3], 0);
}

// ---- Defaults ----------------------------------------------------------------------------

TEST_F(Compositing, InitsWriteTheDefaults) {
  effects::PasteData paste{};
  effects::PasteInit(&host.ctx, &paste);
  EXPECT_EQ(paste.AlphaSource, 3);
  float v = 0.f;
  lumetra::anim::KeyfloatEvaluate(paste.Operation, 0.3f, &v, nullptr, nullptr);
  EXPECT_FLOAT_EQ(v, 1.f);
  lumetra::anim::KeyfloatFree(paste.Operation);

  effects::CropData crop{};
  effects::CropInit(&host.ctx, &crop);
  EXPECT_EQ(crop.Flags, 2);
  lumetra::anim::KeyfloatEvaluate(crop.l, 0.f, &v, nullptr, nullptr);
  EXPECT_FLOAT_EQ(v, 0.05f);
  for (KeyfloatKey* k : {crop.l, crop.r, crop.t, crop.b, crop.Blur}) lumetra::anim::KeyfloatFree(k);

  effects::ChainedMixData chained{};
  effects::ChainedMixInit(&host.ctx, &chained);
  EXPECT_FLOAT_EQ(chained.inn, 2.f);
  EXPECT_FLOAT_EQ(chained.mn, 1.5f);
}

}  // namespace
}  // namespace effects_test
