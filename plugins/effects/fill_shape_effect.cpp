// Fill Shape and Fill Shape with Drop Shadow: the shape in one colour over the input (or
// over nothing), softened by an alpha blur and laid on with an opacity; the drop shadow
// variant first lays the moved shape in the shadow colour and fills over that.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effect_blocks.h"
#include "fill_effects.h"
#include "pic_blur.h"
#include "runtime.h"
#include "shape_fill.h"

namespace effects {
namespace {

using lumetra::effects::RunBands;

// Members nested deeper than this are not filled: a damaged group tree cannot recurse
// without end.
constexpr int kMaxGroupDepth = 64;
constexpr double kBlurPerWidth = 5.0 / 36.0;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

struct Rgb8 {
  uint32_t r = 0, g = 0, b = 0;
};

float Unit(float v) { return v > 0.f ? std::min(v, 1.f) : 0.f; }

uint32_t UnitByte(float v) { return static_cast<uint32_t>(Unit(v) * 255.f); }

Rgb8 ColourAt(const KeyfloatKey* curve, float nt) {
  float c[3];
  HostKeyfloatEvaluate(curve, nt, &c[0], &c[1], &c[2]);
  return {UnitByte(c[0]), UnitByte(c[1]), UnitByte(c[2])};
}

float ValueAt(const KeyfloatKey* curve, float nt) {
  float v;
  HostKeyfloatEvaluate(curve, nt, &v, nullptr, nullptr);
  return v;
}

size_t PixelBytes(const PIC* p) { return static_cast<size_t>(p->width) * p->height * 4; }

// Runs fn(row) over row bands of pic.
template <typename RowFn>
void ForRows(const PIC* pic, RowFn&& fn) {
  auto band = [&fn](int32_t b, int32_t e) {
    for (int32_t y = b; y < e; ++y) fn(y);
  };
  RunBands(MakeBands(), pic->height, pic->width, band);
}

// What one render of the shape needs.
struct ShapeJob {
  HostCallContext* ctx;
  LumetraGeometry geometry;
  float time;
  Rgb8 colour;
  int32_t mode;
  bool shadow;  // offsets apply; members are filled whole
  float ox = 0.f, oy = 0.f;
};

bool FillOne(const ShapeJob& job, PIC* pic, LumetraGeometry g, uint32_t word, int index) {
  char error[256];
  int32_t result;
  if (job.shadow) {
    if (index < 0) {
      Trace("FillS my_render: calling FillShapeXYOffset(%d,%d)", SaturateToInt(job.ox),
            SaturateToInt(job.oy));
    } else {
      Trace("FillS my_render: calling FillShapeXYOffset(%d,%d) [%d]", SaturateToInt(job.ox),
            SaturateToInt(job.oy), index);
    }
    result = FillShapeXYOffset(job.ctx, error, sizeof error, pic, g, job.time, word, job.ox, job.oy);
  } else {
    result = FillShape(job.ctx, error, sizeof error, pic, g, job.time, word);
  }
  if (result != 1 && error[0] != '\0') HostReportError(job.ctx, error);
  return result == 1;
}

bool FillMembers(const ShapeJob& job, PIC* pic, LumetraGeometry group, int depth) {
  const int32_t count = HostGeoSubgeoGet(group, nullptr, 0);
  std::vector<LumetraGeometry> members;
  try {
    members.resize(static_cast<size_t>(std::max(count, 0)));
  } catch (const std::bad_alloc&) {
    HostReportError(job.ctx, "Memory allocation failure");
    return false;
  }
  if (HostGeoSubgeoGet(group, members.data(), count) != count) {
    HostReportError(job.ctx, "V_GeoSubgeoGet returns error");
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    const LumetraGeometry m = members[static_cast<size_t>(i)];
    if (!job.shadow && depth + 1 < kMaxGroupDepth && HostGeoSubgeoGet(m, nullptr, 0) > 0) {
      if (!FillMembers(job, pic, m, depth + 1)) return false;
    } else if (!FillOne(job, pic, m, kWhite, i)) {
      return false;
    }
  }
  return true;
}

// The shape into pic: each member in white and their union tinted, or the whole outline
// at once (members of a group cancel where they overlap). bg is the background or null.
bool RenderShape(const ShapeJob& job, PIC* pic, const PIC* bg) {
  if (job.geometry == nullptr) return true;
  const Rgb8 c = job.colour;
  if ((job.mode & kFillModeMask) == kFillModeUnion && HostGeoSubgeoGet(job.geometry, nullptr, 0) > 1) {
    Trace("FillS my_render: combine method");
    std::memset(pic->pixels, 0, PixelBytes(pic));
    if (!FillMembers(job, pic, job.geometry, 0)) {
      Trace("FillS my_render: return");
      return false;
    }
    ForRows(pic, [&](int32_t y) {
      uint8_t* p = pic->pixels + static_cast<size_t>(y) * pic->width * 4;
      const uint8_t* q = bg ? bg->pixels + static_cast<size_t>(y) * pic->width * 4 : nullptr;
      for (int32_t x = 0; x < pic->width; ++x, p += 4) {
        const uint32_t m = p[2];
        const uint32_t k = m * 255u * 4096u / 65025u;
        p[3] = static_cast<uint8_t>(m);
        if (q != nullptr) {
          p[0] = static_cast<uint8_t>((q[0] * (4096 - k) + c.b * k) >> 12);
          p[1] = static_cast<uint8_t>((q[1] * (4096 - k) + c.g * k) >> 12);
          p[2] = static_cast<uint8_t>((q[2] * (4096 - k) + c.r * k) >> 12);
          q += 4;
        } else {
          p[0] = static_cast<uint8_t>(c.b * k >> 12);
          p[1] = static_cast<uint8_t>(c.g * k >> 12);
          p[2] = static_cast<uint8_t>(c.r * k >> 12);
        }
      }
    });
  } else {
    Trace("FillS my_render: standard method");
    if (!FillOne(job, pic, job.geometry, ColourWord(c.r, c.g, c.b, 255), -1)) {
      Trace("FillS my_render: return");
      return false;
    }
  }
  Trace("FillS my_render: succ end");
  return true;
}

// Opacity p over the coverage in the alpha bytes: towards the background's colours when
// there is one (12-bit blend), else premultiplied on black. Alpha keeps the coverage.
void OpacityPass(PIC* pic, const PIC* bg, Rgb8 c, float p) {
  uint32_t k[256];
  for (uint32_t m = 0; m < 256; ++m) {
    k[m] = bg != nullptr ? static_cast<uint32_t>(m * static_cast<double>(p) * 16.062746)
                         : static_cast<uint32_t>(static_cast<float>(m) * p);
  }
  ForRows(pic, [&](int32_t y) {
    uint8_t* d = pic->pixels + static_cast<size_t>(y) * pic->width * 4;
    const uint8_t* q = bg ? bg->pixels + static_cast<size_t>(y) * pic->width * 4 : nullptr;
    for (int32_t x = 0; x < pic->width; ++x, d += 4) {
      const uint32_t kk = k[d[3]];
      if (q != nullptr) {
        d[0] = static_cast<uint8_t>((q[0] * (4096 - kk) + c.b * kk) >> 12);
        d[1] = static_cast<uint8_t>((q[1] * (4096 - kk) + c.g * kk) >> 12);
        d[2] = static_cast<uint8_t>((q[2] * (4096 - kk) + c.r * kk) >> 12);
        q += 4;
      } else {
        d[0] = static_cast<uint8_t>(kk * c.b / 255);
        d[1] = static_cast<uint8_t>(kk * c.g / 255);
        d[2] = static_cast<uint8_t>(kk * c.r / 255);
      }
    }
  });
}

// Render, alpha blur and opacity: one colour pass over pic against bg (or none). Empty
// when a step failed (the failing step has reported what it knows).
OutputPic ColourPass(const ShapeJob& job, OutputPic pic, const PIC* bg, float blur, float p,
                     int32_t image_width) {
  if (!RenderShape(job, pic.get(), bg)) return {};
  if (blur > 0.f) {
    const double r = static_cast<double>(image_width) * blur * kBlurPerWidth;
    OutputPic soft(PicTentBlur(job.ctx, pic.get(), r, lumetra::effects::TentChannels::kAlpha));
    if (!soft) return {};
    pic = std::move(soft);
  }
  OpacityPass(pic.get(), bg, job.colour, p);
  return pic;
}

// The input (when assigned) and a picture to draw in: a copy of the input, or a new frame.
// Empty without a report while the input is not there yet.
OutputPic StartPicture(HostCallContext* ctx, float t, const PIC** input, int32_t* width) {
  *input = nullptr;
  int32_t w = 0, h = 0;
  if (!FrameSize(ctx, &w, &h)) {
    HostReportError(ctx, kTextIllegalParameter);
    return {};
  }
  *width = w;
  OutputPic pic;
  if (HostIsInputAssigned(ctx, 0)) {
    const PIC* in = HostGetInputFrame(ctx, 0, t);
    if (in == nullptr || in->pixels == nullptr || in->width < 1 || in->height < 1) return {};
    *input = in;
    pic = OutputPic(HostPicCopy(in));
  } else {
    pic = OutputPic(HostPicCreate(w, h));
  }
  if (!pic) HostReportError(ctx, kTextAllocationError);
  return pic;
}

}  // namespace

PIC* FillShapeMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    static constexpr FillShapeData kEmpty{};
    const auto* d = data != nullptr ? static_cast<const FillShapeData*>(data) : &kEmpty;
    const PIC* input = nullptr;
    int32_t width = 0;
    OutputPic pic = StartPicture(ctx, t, &input, &width);
    if (!pic) return nullptr;
    const float nt = NormalisedTime(from, to, t);
    const ShapeJob job{ctx, reinterpret_cast<LumetraGeometry>(d->Geo), t, ColourAt(d->clr, nt),
                       d->flags, false};
    OutputPic out = ColourPass(job, std::move(pic), input, ValueAt(d->blur, nt),
                               Unit(ValueAt(d->a, nt)), width);
    return out.release();
  });
}

PIC* FillShapeDropShadowMake(HostCallContext* ctx, void* data, float from, float to, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    Trace("FillS make: START");
    static constexpr FillShapeDropShadowData kEmpty{};
    const auto* d =
        data != nullptr ? static_cast<const FillShapeDropShadowData*>(data) : &kEmpty;
    const PIC* input = nullptr;
    int32_t width = 0;
    OutputPic pic = StartPicture(ctx, t, &input, &width);
    if (!pic) return nullptr;
    const float nt = NormalisedTime(from, to, t);
    const auto geometry = reinterpret_cast<LumetraGeometry>(d->Geo);
    const PIC* background = input;
    OutputPic shadow;
    const float q = Unit(ValueAt(d->sa, nt));
    if (q != 0.f) {
      ShapeJob job{ctx, geometry, t, ColourAt(d->sclr, nt), d->flags, true};
      job.ox = static_cast<float>((ValueAt(d->sx, nt) - 0.5) * 2.0 * width * 0.1);
      job.oy = static_cast<float>((ValueAt(d->sy, nt) - 0.5) * 2.0 * width * 0.1);
      Trace("FillS_S make: call my_render");
      shadow = ColourPass(job, std::move(pic), input, ValueAt(d->sblur, nt), q, width);
      if (!shadow) {
        Trace("FillS_S make: my_render returns NULL");
        return nullptr;
      }
      Trace("FillS_S make: my_render completed successfully");
      if (input != nullptr && (d->flags & kFillShadowAlphaOutput) != 0) {
        const auto alpha = static_cast<uint8_t>(q * 255.f);
        const size_t n = PixelBytes(shadow.get());
        for (size_t i = 3; i < n; i += 4) shadow->pixels[i] = alpha;
      }
      background = shadow.get();
      pic = OutputPic(HostPicCopy(shadow.get()));
      if (!pic) {
        HostReportError(ctx, kTextAllocationError);
        return nullptr;
      }
    } else {
      Trace("FillS make: no shadow, fill vulgaris");
    }
    Trace("FillS_M make: begining main fill");
    const ShapeJob job{ctx, geometry, t, ColourAt(d->clr, nt), d->flags, false};
    Trace("FillS_M make: calling my_render");
    OutputPic out = ColourPass(job, std::move(pic), background, ValueAt(d->blur, nt),
                               Unit(ValueAt(d->a, nt)), width);
    if (!out) {
      Trace("FillS_M make: my_render returns NULL");
      return nullptr;
    }
    Trace("FillS_M make: END");
    return out.release();
  });
}

}  // namespace effects
