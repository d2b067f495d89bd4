// The mix kernel against the pixel-after-pixel carry it replaces: the same bytes for every
// share, width, placement and row pairing.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "effects/mix_reference.h"
#include "mix_kernel.h"

namespace effects_test {
namespace {

using namespace lumetra::effects;

// A placed picture with rows padded beyond its width, so a stride slip shows.
struct Picture {
  int32_t w, h, x, y;
  std::ptrdiff_t stride;
  std::vector<uint8_t> px;
  Picture(int32_t w_, int32_t h_, int32_t x_, int32_t y_)
      : w(w_), h(h_), x(x_), y(y_), stride(w_ * 4 + 12),
        px(static_cast<size_t>(stride) * static_cast<size_t>(h_)) {}
  PlacedView Placed() const { return {{px.data(), stride, w, h}, x, y}; }
  PlacedImage Out() { return {{px.data(), stride, w, h}, x, y}; }
  // Bytes of the pictured pixels only.
  std::vector<uint8_t> Pixels() const {
    std::vector<uint8_t> v;
    for (int32_t r = 0; r < h; ++r) {
      v.insert(v.end(), px.begin() + r * stride, px.begin() + r * stride + w * 4);
    }
    return v;
  }
};

// Random bytes, or only 0 and 255 (the largest sums and the carry's edges).
void Fill(Picture& p, std::mt19937& gen, bool extremes) {
  for (uint8_t& v : p.px) v = static_cast<uint8_t>(extremes ? (gen() & 1) * 255 : gen());
}

// The output on the union of both, as the mix effect places it.
Picture Union(const Picture& a, const Picture& b) {
  const int32_t x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const int32_t x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
  return Picture(x1 - x0, y1 - y0, x0, y0);
}

// Every path the kernel has, each where this processor runs it.
struct Lanes {
  MixLanes lanes;
  const char* name;
};
constexpr Lanes kLanes[] = {{MixLanes::kWidest, "widest"},
                            {MixLanes::kOneRow, "one row"},
                            {MixLanes::kTwoRows, "two rows"},
                            {MixLanes::kWideRow, "wide row"}};

void ExpectLikeReference(const Picture& a, const Picture& b, int32_t kb) {
  Picture want = Union(a, b);
  ReferenceMix(a.Placed(), b.Placed(), want.Out(), kb);
  for (const Lanes& l : kLanes) {
    if (!MixLanesAvailable(l.lanes)) continue;
    SCOPED_TRACE(l.name);
    Picture got = Union(a, b);
    std::fill(got.px.begin(), got.px.end(), uint8_t{0x5A});  // every pixel must be written
    ASSERT_EQ(MixPictures(a.Placed(), b.Placed(), got.Out(), kb, BandRunner{}, {}, l.lanes),
              KernelStatus::kOk);
    ASSERT_EQ(got.Pixels(), want.Pixels());
  }
}

TEST(MixKernel, MatchesTheCarryPixelByPixelOverSharesWidthsAndPlacements) {
  std::mt19937 gen(7);
  const int32_t shares[] = {0,
                            4096,
                            MixShare(1.0 / 255),
                            MixShare(0.5),
                            MixShare(0.999),
                            static_cast<int32_t>(gen() % 4097),
                            static_cast<int32_t>(gen() % 4097)};
  struct Place {
    int32_t dx, dy, dw, dh;  // B against A: offset and size change
  };
  const Place places[] = {
      {0, 0, 0, 0},   // the same rectangle
      {-3, 2, 1, 0},  // overlapping, B starts left of A and higher
      {5, -1, -2, 3}, // B to the right with a gap on narrow rows, taller
      {1, 1, -2, -2}, // B inside A (where A is wide enough)
      {-21, 1, 19, 0},  // B alone for a block and more on the left, A alone at the right
      {23, 0, -40, 0},  // A alone on both sides of B, for more than a block where wide
  };
  for (const int32_t w : {1, 2, 3, 15, 16, 17, 1921}) {
    for (const Place& pl : places) {
      for (const bool extremes : {false, true}) {
        Picture a(w, 5, 0, 0);
        Picture b(std::max(1, w + pl.dw), std::max(1, 5 + pl.dh), pl.dx, pl.dy);
        Fill(a, gen, extremes);
        Fill(b, gen, extremes);
        for (const int32_t kb : shares) {
          SCOPED_TRACE(testing::Message() << "w " << w << " place " << pl.dx << "," << pl.dy
                                          << " extremes " << extremes << " kb " << kb);
          ExpectLikeReference(a, b, kb);
        }
      }
    }
  }
}

TEST(MixKernel, MatchesTheCarryForEveryShare) {
  std::mt19937 gen(11);
  Picture a(37, 3, 0, 0);
  Picture b(33, 3, 2, 1);
  Fill(a, gen, false);
  Fill(b, gen, false);
  for (int32_t kb = 0; kb <= 4096; ++kb) {
    SCOPED_TRACE(kb);
    ExpectLikeReference(a, b, kb);
    if (HasFailure()) return;
  }
}

TEST(MixKernel, HalfOfBlackAndWhiteAlternatesOnEveryRowAndPairing) {
  for (const int32_t w : {1, 5, 8, 9, 16, 17}) {
    Picture a(w, 3, 0, 0);
    Picture b(w, 3, 0, 0);
    std::fill(b.px.begin(), b.px.end(), uint8_t{255});
    for (const Lanes& l : kLanes) {
      if (!MixLanesAvailable(l.lanes)) continue;
      Picture out(w, 3, 0, 0);
      ASSERT_EQ(MixPictures(a.Placed(), b.Placed(), out.Out(), 2048, BandRunner{}, {}, l.lanes),
                KernelStatus::kOk);
      for (int32_t y = 0; y < 3; ++y) {
        for (int32_t i = 0; i < w * 4; ++i) {
          EXPECT_EQ(out.px[y * out.stride + i], (i / 4) % 2 ? 128 : 127) << w << " " << y << " " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace effects_test
