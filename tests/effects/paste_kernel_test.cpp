// Paste against its steps written out pixel by pixel: every blend, opacity sources and
// methods, full and partial opacity, foregrounds whose alpha is 255 in some blocks of four
// pixels and not in others, offset pictures and row tails.
#include "paste_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using namespace lumetra::effects;

struct Image {
  int32_t w, h, x, y;
  std::vector<uint8_t> px;
  Image(int32_t w_, int32_t h_, int32_t x_, int32_t y_)
      : w(w_), h(h_), x(x_), y(y_), px(static_cast<size_t>(w_) * h_ * 4) {}
  uint8_t* At(int32_t ax, int32_t ay) {
    const int32_t cx = ax - x, cy = ay - y;
    if (cx < 0 || cy < 0 || cx >= w || cy >= h) return nullptr;
    return px.data() + 4 * (static_cast<size_t>(cy) * w + cx);
  }
  PlacedView Placed() const { return {{px.data(), w * 4, w, h}, x, y}; }
  PlacedImage Out() { return {{px.data(), w * 4, w, h}, x, y}; }
};

// Random bytes; alpha 255 in most pixels, so that whole blocks of four are opaque and others
// hold one pixel that is not.
void Fill(Image& im, uint32_t seed) {
  std::mt19937 gen(seed);
  for (size_t i = 0; i < im.px.size(); ++i) {
    im.px[i] = static_cast<uint8_t>(gen());
    if (i % 4 == 3 && gen() % 8 != 0) im.px[i] = 255;
  }
}

int32_t Source(int32_t code, const uint8_t* px) {
  switch (code) {
    case 0:
      return px[2];
    case 1:
      return px[1];
    case 2:
      return px[0];
    case 3:
      return px[3];
    case 4:
      return (px[0] + px[1] + px[2]) / 3;
    case 5:
      return 255;
    default:
      return 0;
  }
}

Image Reference(const Image& bg_in, const Image& fg_in, const Image& ext_in, const PasteParams& p) {
  Image bg = bg_in, fg = fg_in, ext = ext_in;
  Image out(bg.w, bg.h, bg.x, bg.y);
  const float o = std::clamp(p.opacity, 0.f, 1.f);
  const bool premultiplied = p.source == 5 || p.method == 1;
  for (int32_t y = out.y; y < out.y + out.h; ++y) {
    for (int32_t x = out.x; x < out.x + out.w; ++x) {
      uint8_t* d = out.At(x, y);
      const uint8_t* b = bg.At(x, y);
      for (int c = 0; c < 3; ++c) d[c] = b[c];
      d[3] = 0;
      if (const uint8_t* e = ext.At(x, y)) d[3] = static_cast<uint8_t>(Source(p.source, e));
      const uint8_t* f = fg.At(x, y);
      if (f == nullptr) continue;
      int32_t alpha = d[3];
      const int32_t s = Source(p.source, f);
      if (p.method == 2) alpha = 255 - alpha;
      if (p.method == 3) alpha = std::max(alpha, s);
      if (p.method == 4) alpha = std::min(alpha, s);
      if (p.method == 5) alpha = alpha * s / 255;
      const auto e = static_cast<int32_t>(static_cast<float>(alpha) * o);
      d[3] = static_cast<uint8_t>(e);
      if (e == 0) continue;
      const int32_t sf = std::max({f[0], f[1], f[2]}) - std::min({f[0], f[1], f[2]});
      const int32_t sg = std::max({d[0], d[1], d[2]}) - std::min({d[0], d[1], d[2]});
      for (int c = 0; c < 3; ++c) {
        const int32_t g = d[c];
        const int32_t col = PasteBlendChannel(static_cast<PasteBlend>(p.blend), f[c], g, sf, sg);
        int32_t v;
        if (e >= 255) {
          v = col;
        } else if (premultiplied) {
          const auto k = static_cast<int32_t>(o * 4096.f);
          v = std::min(g * (4096 - (e * 4096) / 255) + col * k, 0xFF000) >> 12;
        } else {
          const int32_t k = (e * 4096) / 255;
          v = (g * (4096 - k) + col * k) >> 12;
        }
        d[c] = static_cast<uint8_t>(v);
      }
    }
  }
  return out;
}

TEST(PasteKernel, EveryBlendMatchesThePixelSteps) {
  Image bg(37, 5, 0, 0), fg(29, 4, 3, 1), ext(41, 6, -2, 0);
  Fill(bg, 1);
  Fill(fg, 2);
  Fill(ext, 3);
  struct Case {
    float opacity;
    int32_t source, method;
    bool own_alpha;  // the foreground serves as the external alpha picture
  };
  const Case cases[] = {
      {1.f, 5, 0, true}, {1.f, 3, 0, true},  {1.f, 3, 0, false}, {0.6f, 3, 0, true},
      {1.f, 3, 3, true}, {1.f, 0, 5, false}, {1.f, 4, 2, true},  {0.9f, 5, 1, false},
  };
  for (int32_t blend = 0; blend < kPasteBlends; ++blend) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "blend " << blend << " opacity " << c.opacity << " source "
                                      << c.source << " method " << c.method);
      const PasteParams p{c.opacity, c.source, c.method, blend};
      const Image& e = c.own_alpha ? fg : ext;
      const Image want = Reference(bg, fg, e, p);
      Image out(bg.w, bg.h, bg.x, bg.y);
      ASSERT_EQ(Paste(bg.Placed(), fg.Placed(), e.Placed(), out.Out(), p, BandRunner{}),
                KernelStatus::kOk);
      EXPECT_EQ(out.px, want.px);
    }
  }
}

}  // namespace
