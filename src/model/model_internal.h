// Helpers shared by the project model's own files; not for other modules.
#pragma once

#include <unordered_map>
#include <unordered_set>

#include "model/model.h"

namespace lumetra::project::internal {

using TrackSet = std::unordered_set<const Track*>;
using TrackMap = std::unordered_map<const Track*, Track*>;

Project* ClipProject(const Clip* clip);
// True when the track lies inside the clip's sub-project, at any depth.
bool TrackInsideClip(const Track* track, const Clip* clip);

void IndexRemove(Track* track);

// Frees without clearing inputs elsewhere; every freed track is added to `freed`.
void FreeTrackTree(Track* track, TrackSet& freed);
void ClipFreeTree(Clip* clip, TrackSet& freed);
// Inputs of the project's clips (and their edit copies) naming a track of `gone` become none.
void ScrubInputs(Project* project, const TrackSet& gone);

// Copies a track list with clips and sub-projects into `project` (numbers claimed there),
// linked under `owner` (none: returned unlinked as a list). Records old -> new in `map`.
// False when memory ran out (what was made is in the list).
bool CopyTrackList(const Track* list, Project* project, Clip* owner, TrackMap& map,
                   Track** out_head);
// Clip record copy: no sub-project, not linked.
Clip* CopyClipRecord(const Clip* clip);
// Inputs in the tree naming a track of `map` are re-pointed to its copy; with
// `by_number`, other real inputs go to the track with their number in `project`, or none.
void RepointInputs(Track* list, const TrackMap& map, Project* project, bool by_number);
void RepointClipInputs(Clip* clip, const TrackMap& map, Project* project, bool by_number);

// Moves a SuperClip's sub-project tracks into another project, renumbered there when taken.
void AdoptSubProject(Clip* super_clip, Project* to);

bool IsSuperClip(const Clip* clip);

// The track's clip list changed: its lookup table must be rebuilt.
inline void ClipsChanged(Track* track) {
  track->clip_lookup_stale = true;
  track->clip_lookup.clear();
}
// A clip was appended at the tail: the table grows in place when it is current.
inline void ClipAppended(Track* track, Clip* clip) {
  if (!track->clip_lookup_stale) track->clip_lookup.push_back(clip);
}

}  // namespace lumetra::project::internal
