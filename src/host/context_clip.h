// Checking the clip a host call context names before a service reads through it.
#pragma once

#include "model/model.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

// The clip in the context's clip word when it is one the host knows: a clip on a track of a
// listed project (sub-projects included), the edit copy of one, a live render copy or the
// clip whose init is running (ClipInInit). Null for no context, no
// clip, or a pointer that is no such clip (foreign or freed). The caller holds the render
// lock for as long as it uses the answer.
Clip* ContextClip(const HostCallContext* ctx);
// True when the clip is on a track of a listed project (sub-projects included).
bool ClipIsKnown(const Clip* clip);
// True when the track is one of a listed project's (sub-projects included).
bool TrackIsKnown(const Track* track);

}  // namespace lumetra::project
