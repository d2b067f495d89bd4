// Tracks: numbering, the track lists and the project's track index, lookup and freeing.
#include "model/track.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "model/model_internal.h"
#include "model/pseudo_track.h"
#include "model/render_lock.h"

namespace lumetra::project {

using internal::TrackSet;

namespace internal {

void IndexRemove(Track* track) {
  Project* p = track->project;
  if (p == nullptr) return;
  auto it = p->track_index.find(track->number);
  if (it != p->track_index.end() && it->second == track) p->track_index.erase(it);
}

void FreeTrackTree(Track* track, TrackSet& freed) {
  TrackUnlink(track);
  Clip* c = track->first_clip;
  track->first_clip = track->last_clip = nullptr;
  ClipsChanged(track);
  while (c != nullptr) {
    Clip* next = c->next;
    c->prev = c->next = nullptr;
    ClipFreeTree(c, freed);
    c = next;
  }
  IndexRemove(track);
  freed.insert(track);
  delete track;
}

}  // namespace internal

namespace {

bool TrackIsLinked(const Track* track) {
  return track->prev != nullptr || TrackListHead(track) == track;
}

Track** ListHeadSlot(Project* project, Clip* owner) {
  return owner != nullptr ? &owner->sub_first_track : &project->first_track;
}

}  // namespace

Track* TrackListHead(const Track* track) {
  if (track == nullptr) return nullptr;
  if (track->owner_clip != nullptr) return track->owner_clip->sub_first_track;
  return track->project != nullptr ? track->project->first_track : nullptr;
}

int32_t TrackClaimNumber(Track* track, int32_t wanted) {
  RenderLockGuard lock(RenderLock());
  Project* p = track->project;
  if (p == nullptr) return track->number;
  internal::IndexRemove(track);
  // Real tracks are numbered from 1; the negative numbers belong to the pseudo tracks.
  int32_t n = wanted > 0 ? wanted : 1;
  for (;;) {
    auto it = p->track_index.find(n);
    if (it == p->track_index.end() || it->second == track) break;
    n = n == INT32_MAX ? 1 : n + 1;
  }
  track->number = n;
  p->track_index[n] = track;
  return n;
}

void TrackSetDefaultName(Track* track) {
  std::snprintf(track->name, sizeof track->name, "Track %d", static_cast<int>(track->number));
}

void TrackSetName(Track* track, std::string_view name) {
  std::size_t n = std::min(name.size(), kTrackNameKept);
  std::memcpy(track->name, name.data(), n);
  track->name[n] = '\0';
}

Track* TrackCreate(Project* project) {
  if (project == nullptr) return nullptr;
  RenderLockGuard lock(RenderLock());
  auto track = std::make_unique<Track>();
  track->project = project;
  if (project->track_index.empty() || project->next_track_number < 1) {
    project->next_track_number = 1;
  }
  int32_t n = TrackClaimNumber(track.get(), project->next_track_number);
  project->next_track_number = n == INT32_MAX ? 1 : n + 1;
  TrackSetDefaultName(track.get());
  // The fourth view value is the pixel ratio as an f32.
  float ratio = 1.0f;
  if (project->settings.width > 0 && project->settings.pixel_aspect > 0.0f) {
    ratio = static_cast<float>(project->settings.height) /
            (project->settings.pixel_aspect * static_cast<float>(project->settings.width));
  }
  std::memcpy(&track->view[3], &ratio, sizeof ratio);
  return track.release();
}

bool TrackLink(Track* track, Clip* owner, Track* after) {
  if (track == nullptr || IsPseudoTrack(track) || track->project == nullptr) return false;
  RenderLockGuard lock(RenderLock());
  if (TrackIsLinked(track)) return false;
  Project* p = track->project;
  if (owner != nullptr) {
    if (!internal::IsSuperClip(owner) || internal::ClipProject(owner) != p) return false;
    // A SuperClip inside the track's own sub-projects would contain itself.
    for (const Track* t = owner->track; t != nullptr;
         t = t->owner_clip != nullptr ? t->owner_clip->track : nullptr) {
      if (t == track) return false;
    }
  }
  if (after != nullptr &&
      (after->owner_clip != owner || after->project != p || !TrackIsLinked(after))) {
    return false;
  }
  Track** head = ListHeadSlot(p, owner);
  track->owner_clip = owner;
  track->prev = after;
  track->next = after != nullptr ? after->next : *head;
  if (track->next != nullptr) track->next->prev = track;
  if (after != nullptr) {
    after->next = track;
  } else {
    *head = track;
  }
  return true;
}

bool TrackAppend(Project* project, Track* track) {
  if (project == nullptr || track == nullptr || track->project != project) return false;
  RenderLockGuard lock(RenderLock());
  Track* last = project->first_track;
  while (last != nullptr && last->next != nullptr) last = last->next;
  return TrackLink(track, nullptr, last);
}

bool SubProjectAppend(Clip* super_clip, Track* track) {
  if (super_clip == nullptr || track == nullptr) return false;
  RenderLockGuard lock(RenderLock());
  Track* last = super_clip->sub_first_track;
  while (last != nullptr && last->next != nullptr) last = last->next;
  return TrackLink(track, super_clip, last);
}

void TrackUnlink(Track* track) {
  if (track == nullptr || IsPseudoTrack(track)) return;
  RenderLockGuard lock(RenderLock());
  if (!TrackIsLinked(track)) return;
  if (track->prev != nullptr) {
    track->prev->next = track->next;
  } else if (track->owner_clip != nullptr) {
    track->owner_clip->sub_first_track = track->next;
  } else {
    track->project->first_track = track->next;
  }
  if (track->next != nullptr) track->next->prev = track->prev;
  track->prev = track->next = nullptr;
  track->owner_clip = nullptr;
}

Track* TrackFindByNumber(Track* list, int32_t number) {
  RenderLockGuard lock(RenderLock());
  Track* found = nullptr;
  TrackWalk(list, [&](Track* t) {
    if (found == nullptr && t->number == number) found = t;
  });
  return found;
}

Track* ProjectFindTrack(const Project* project, int32_t number) {
  if (project == nullptr) return nullptr;
  RenderLockGuard lock(RenderLock());
  auto it = project->track_index.find(number);
  return it != project->track_index.end() ? it->second : nullptr;
}

Clip* ClipFindAt(const Track* track, float time) {
  if (track == nullptr) return nullptr;
  RenderLockGuard lock(RenderLock());
  if (track->clip_lookup_stale) {
    track->clip_lookup.clear();
    for (Clip* c = track->first_clip; c != nullptr; c = c->next) track->clip_lookup.push_back(c);
    track->clip_lookup_stale = false;
  }
  // Clips are sorted by start and never overlap: the last one starting at or before the
  // time covers it or nothing does.
  const auto& clips = track->clip_lookup;
  auto it = std::upper_bound(clips.begin(), clips.end(), time,
                             [](float t, const Clip* c) { return t < c->start; });
  if (it == clips.begin()) return nullptr;
  Clip* c = *(it - 1);
  return time < c->end ? c : nullptr;
}

void TrackFree(Track* track) {
  if (track == nullptr || IsPseudoTrack(track)) return;
  RenderLockGuard lock(RenderLock());
  Project* p = track->project;
  TrackSet freed;
  internal::FreeTrackTree(track, freed);
  if (p != nullptr) internal::ScrubInputs(p, freed);
}

}  // namespace lumetra::project
