// The compositing kernels give the same bytes whatever the number of row bands.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "channel_processor_kernel.h"
#include "effects/mix_reference.h"
#include "mix_kernel.h"
#include "paste_kernel.h"
#include "switcher_kernel.h"

namespace {

using namespace lumetra::effects;

struct Image {
  int32_t w, h, x, y;
  std::vector<uint8_t> px;
  Image(int32_t w_, int32_t h_, int32_t x_, int32_t y_, uint32_t seed)
      : w(w_), h(h_), x(x_), y(y_), px(static_cast<size_t>(w_) * h_ * 4) {
    std::mt19937 gen(seed);
    for (uint8_t& b : px) b = static_cast<uint8_t>(gen());
  }
  PlacedView Placed() const { return {{px.data(), w * 4, w, h}, x, y}; }
  PlacedImage Out() { return {{px.data(), w * 4, w, h}, x, y}; }
};

template <class Run>
void ExpectSameBytes(Run run) {
  std::vector<uint8_t> first;
  for (const int32_t threads : {1, 2, 3, 7}) {
    SCOPED_TRACE(threads);
    const std::vector<uint8_t> bytes = run(BandRunner{nullptr, nullptr, threads});
    if (first.empty()) first = bytes;
    EXPECT_EQ(bytes, first);
  }
}

TEST(CompositingThreads, EveryKernelGivesTheSameBytesForAnyBandCount) {
  const Image a(300, 260, -7, 3, 1);
  const Image b(280, 250, 5, -4, 2);
  const Image e(200, 200, 20, 20, 3);
  // Bands start on odd and even rows, so the rows the mix runs side by side differ: the
  // bytes must still be the pixel-after-pixel carry's.
  Image want(312, 267, -7, -4, 0);
  effects_test::ReferenceMix(a.Placed(), b.Placed(), want.Out(), 1234);
  for (const MixLanes lanes :
       {MixLanes::kWidest, MixLanes::kOneRow, MixLanes::kTwoRows, MixLanes::kWideRow}) {
    if (!MixLanesAvailable(lanes)) continue;
    SCOPED_TRACE(static_cast<int>(lanes));
    ExpectSameBytes([&](const BandRunner& bands) {
      Image out(312, 267, -7, -4, 0);
      EXPECT_EQ(MixPictures(a.Placed(), b.Placed(), out.Out(), 1234, bands, {}, lanes),
                KernelStatus::kOk);
      EXPECT_EQ(out.px, want.px);
      return out.px;
    });
  }
  for (int32_t blend = 0; blend < kPasteBlends; ++blend) {
    SCOPED_TRACE(blend);
    ExpectSameBytes([&](const BandRunner& bands) {
      Image out(300, 260, -7, 3, 0);
      PasteParams p{0.7f, 4, 1, blend};
      EXPECT_EQ(Paste(a.Placed(), b.Placed(), e.Placed(), out.Out(), p, bands), KernelStatus::kOk);
      return out.px;
    });
  }
  ExpectSameBytes([&](const BandRunner& bands) {
    Image out(312, 267, -7, -4, 0);
    ChannelProgram program;
    program.operation[0] = 3;
    program.operand2[1] = 11;
    program.mode[2] = 1;
    EXPECT_EQ(ChannelProcess(a.Placed(), b.Placed(), out.Out(), program, bands), KernelStatus::kOk);
    return out.px;
  });
  ExpectSameBytes([&](const BandRunner& bands) {
    Image out(300, 260, -7, 3, 0);
    SwitcherProgram program;
    program.op[0] = 3;
    program.op[1] = 7;
    program.in2[1] = 2;
    EXPECT_EQ(Switch({a.Placed(), b.Placed(), e.Placed()}, out.Out(), program, bands),
              KernelStatus::kOk);
    return out.px;
  });
}

}  // namespace
