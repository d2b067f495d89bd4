// Moving and copying a clip to a span of a track, and re-timing a SuperClip's sub-project.
#pragma once

#include "model/model.h"

namespace lumetra::project {

// Moves the clip (or, with copy, a copy of it) to [start, end[ on the destination track.
// The move is checked whole before anything changes; a refused move shows its reason in the
// status line ("Here is not empty place" when the span is taken) and gives none. Spans
// within the snap tolerance of a neighbour or of the time line's ends snap to them; inputs
// are re-pointed for the destination. Returns the moved clip or the copy.
Clip* ClipMove(Clip* clip, Track* track, float start, float end, bool copy);

// Snap tolerance on a track: 0.2 / time snap of its project (of `fallback`, or the current
// project, when the track has none); a missing or bad snap counts as 25.
float ClipMoveTolerance(const Track* track, const Project* fallback);

// The one map of a time t from the span [a, b[ to [c, d[: shifted before a and after b,
// scaled inside. Clip starts and ends both go through it, so adjacent clips stay adjacent.
float RetimeMap(float t, float a, float b, float c, float d);

// Re-times every clip of a SuperClip's sub-project (and the sub-projects inside it) from
// [a, b[ to [c, d[. False, with nothing changed, when a clip would leave the time line.
bool SubProjectRetime(Clip* super_clip, float a, float b, float c, float d);

}  // namespace lumetra::project
