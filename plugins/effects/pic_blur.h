// The tent blurs on pictures, as the effects call them: a new picture of the input's size
// and origin, "No memory" when one cannot be made, nothing after an abort.
#pragma once

#include "host_api.h"
#include "tent_blur.h"

namespace effects {

// All four channels (kAll) or alpha only with the colour bytes copied (kAlpha); r in pixels.
PIC* PicTentBlur(HostCallContext* ctx, const PIC* in, double r,
                 lumetra::effects::TentChannels channels);

}  // namespace effects
