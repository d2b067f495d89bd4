// What the compositing makes share: pictures seen as placed views, the abort check and
// and making or copying output pictures with their own texts.
#pragma once

#include "placed_view.h"
#include "runtime.h"

namespace effects {

using lumetra::effects::AbortCheck;
using lumetra::effects::BandRunner;
using lumetra::effects::KernelStatus;
using lumetra::effects::PlacedImage;
using lumetra::effects::PlacedView;

// A picture that can be read: pixels and a positive size.
inline bool PicUsable(const PIC* pic) {
  return pic != nullptr && pic->pixels != nullptr && pic->width > 0 && pic->height > 0;
}

PlacedView PlacedOf(const PIC* pic);  // an empty view for no picture
PlacedImage PlacedOut(PIC* pic);

// The render request's abort check on ctx.
AbortCheck AbortOf(HostCallContext* ctx);

// The union of two pictures' rectangles: x, y, width, height.
struct FrameRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
};
FrameRect UnionOf(const PIC* a, const PIC* b);

// A zeroed picture at rect; on failure reports `text` and answers empty.
OutputPic NewPic(HostCallContext* ctx, const FrameRect& rect, const char* text);
// A copy of `in` (header and pixels) made over the bands; on failure reports `text`; an
// abort answers empty without a report.
OutputPic CopyPic(HostCallContext* ctx, const PIC* in, const char* text);

// The first component of a keyfloat at nt clamped to 0..1 (an absent curve or NaN: 0).
float Unit(const KeyfloatKey* curve, float nt);

}  // namespace effects
