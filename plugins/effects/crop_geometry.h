// The coverage of Crop's geometry, kept apart so that the outline filler can take over
// this one step.
#pragma once

#include "host_api.h"

namespace effects {

// Multiplies every alpha of out by the geometry's coverage at t. False (the message
// reported) when the coverage could not be made.
bool CropGeometryCoverage(HostCallContext* ctx, LumetraGeometry geometry, float t, PIC* out);

}  // namespace effects
