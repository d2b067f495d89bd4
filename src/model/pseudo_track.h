// The four pseudo tracks that clips name as inputs, and input resolution.
#pragma once

#include <cstdint>

namespace lumetra::project {

struct Track;

enum class PseudoTrack { kPrevious, kInput0, kInput1, kInput2 };

inline constexpr int32_t kPreviousTrackNumber = -9;  // "*Previous"
inline constexpr int32_t kInput0TrackNumber = -10;   // "*Input0"; -11, -12 follow

// Process-wide records, never in a track list; they live for the whole run.
Track* PseudoTrackGet(PseudoTrack which);
// The pseudo track with that number (-9 to -12), or none.
Track* PseudoTrackByNumber(int32_t number);
bool IsPseudoTrack(const Track* track);

// The track that input stands for when seen from a clip on track: "*Previous" is the next
// track of the same list; "*Input0".."*Input2" are the owning SuperClip's inputs resolved
// again from its own track (none at the top level); a real track is itself.
Track* InputResolve(const Track* track, Track* input);

}  // namespace lumetra::project
