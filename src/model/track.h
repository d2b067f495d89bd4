// Track operations: creation and numbering, track lists, lookup, freeing.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/model.h"

namespace lumetra::project {

// A new track of the project with the defaults, the next free number and the name
// "Track %d"; it belongs to the project but is in no list until linked. None for a null
// project.
Track* TrackCreate(Project* project);

// Links an unlinked track of the same project into the top-level list (owner none) or into
// a SuperClip's sub-project, after `after` (none: at the head). Refused (false) when the
// track is already linked, belongs to another project, or would sit inside its own
// sub-project.
bool TrackLink(Track* track, Clip* owner, Track* after);
// Links at the end of the top-level list, or of a SuperClip's sub-project.
bool TrackAppend(Project* project, Track* track);
bool SubProjectAppend(Clip* super_clip, Track* track);
// Takes the track out of its list; it stays in its project.
void TrackUnlink(Track* track);
// Head of the list that holds the track (the project's, or its owner clip's sub-project).
Track* TrackListHead(const Track* track);

// Gives the track `wanted`, or the first number above it that no other track of the project
// carries (the rule for loading and merging). Returns the number taken.
int32_t TrackClaimNumber(Track* track, int32_t wanted);
// "Track %d" with the track's number.
void TrackSetDefaultName(Track* track);
// Copies at most kTrackNameKept characters.
void TrackSetName(Track* track, std::string_view name);

// Searches the list and, recursively, every clip's sub-project (a walk).
Track* TrackFindByNumber(Track* list, int32_t number);
// Any track of the project by number, through its index.
Track* ProjectFindTrack(const Project* project, int32_t number);
// The clip covering time on the track, or none.
Clip* ClipFindAt(const Track* track, float time);

// Unlinks the track and frees it with its clips and their sub-projects. Inputs elsewhere in
// the project that named a freed track become none.
void TrackFree(Track* track);

// Every track of the list and of the sub-projects below, in list order, each track before
// the sub-projects of its clips.
template <class Fn>
void TrackWalk(Track* list, Fn&& fn);

}  // namespace lumetra::project

#include "model/track_walk.inl"
