// The time segments of a track's sound: the spans between the boundaries of every clip
// that can sound there (the track, the tracks after it, the sub-projects of SuperClips),
// cut to the request and to pieces of at most kSoundSegmentMax seconds.
#pragma once

#include <vector>

#include "model/model.h"

namespace lumetra::sound {

struct SoundSegment {
  float start = 0.0f;
  float end = 0.0f;
};

// Under the render lock. Segments of [start, end) in order, covering it without gaps.
std::vector<SoundSegment> SoundSegments(const project::Track* track, float start, float end,
                                        float longest);

// Under the render lock: the clip that sounds at `time` on the track or, when none does, on
// the tracks after it; a SuperClip's sub-project is searched the same way. Transparent clips
// and clips without a make-sound function pass the question on. None when nothing sounds.
const project::Clip* SoundClipAt(const project::Track* track, float time);

}  // namespace lumetra::sound
