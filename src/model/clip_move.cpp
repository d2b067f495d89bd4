// Moving and copying clips between spans and tracks, and re-timing SuperClip sub-projects.
#include "model/clip_move.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/change_flags.h"
#include "model/clip.h"
#include "model/model_internal.h"
#include "model/project.h"
#include "model/project_hooks.h"
#include "model/pseudo_track.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"

namespace lumetra::project {
namespace {

constexpr const char* kNoPlace = "Here is not empty place";

void Refuse(const char* text) {
  platform::Ui().SetStatus(text);
}

void SpanChanged(Clip* clip, Track* track, float start, float end) {
  if (clip->process == nullptr || track == nullptr) return;
  if (clip->process->make != nullptr && Hooks().invalidate_span != nullptr) {
    Hooks().invalidate_span(track, start, end);
  }
  if (clip->process->make_sound != nullptr && Hooks().sound_changed != nullptr) {
    Hooks().sound_changed(track, start, end);
  }
}

template <class Fn>
void ForEachSubClip(Clip* super_clip, Fn&& fn) {
  TrackWalk(super_clip->sub_first_track, [&](Track* t) {
    for (Clip* c = t->first_clip; c != nullptr; c = c->next) fn(c);
  });
}

// True when `track` comes after `dst` in dst's list.
bool Follows(const Track* track, const Track* dst) {
  for (const Track* t = dst->next; t != nullptr; t = t->next) {
    if (t == track) return true;
  }
  return false;
}

// The inputs the clip gets on dst, resolved from its old track as the move rule says.
std::vector<Track*> MovedInputs(const Clip* clip, const Track* old_track, const Track* dst) {
  std::vector<Track*> out = clip->inputs;
  for (Track*& in : out) {
    if (in == nullptr || in == PseudoTrackGet(PseudoTrack::kPrevious)) continue;
    if (!IsPseudoTrack(in)) {
      Track* same = nullptr;
      for (Track* t = dst->next; t != nullptr && same == nullptr; t = t->next) {
        if (t->number == in->number) same = t;
      }
      in = same;
      continue;
    }
    Track* target = InputResolve(old_track, in);
    if (target == nullptr || Follows(target, dst)) {
      in = target;
      continue;
    }
    in = nullptr;
    for (auto which : {PseudoTrack::kInput0, PseudoTrack::kInput1, PseudoTrack::kInput2}) {
      if (InputResolve(dst, PseudoTrackGet(which)) == target) {
        in = PseudoTrackGet(which);
        break;
      }
    }
  }
  return out;
}

}  // namespace

float ClipMoveTolerance(const Track* track, const Project* fallback) {
  const Project* p = track != nullptr && track->project != nullptr ? track->project : fallback;
  if (p == nullptr) p = CurrentProject();
  int32_t snap = p != nullptr ? p->settings.time_snap : 0;
  if (snap <= 0) snap = 25;
  return 0.2f / static_cast<float>(snap);
}

float RetimeMap(float t, float a, float b, float c, float d) {
  double td = t;
  double r;
  if (td <= a) {
    r = td - a + c;
  } else if (td >= b) {
    r = td - b + d;
  } else {
    r = (td - a) / (static_cast<double>(b) - a) * (static_cast<double>(d) - c) + c;
    r = std::clamp(r, static_cast<double>(c), static_cast<double>(d));
  }
  return static_cast<float>(r);
}

bool SubProjectRetime(Clip* super_clip, float a, float b, float c, float d) {
  if (super_clip == nullptr || !SpanValid(a, b) || !SpanValid(c, d)) return false;
  RenderLockGuard lock(RenderLock());
  bool ok = true;
  ForEachSubClip(super_clip, [&](Clip* clip) {
    ok = ok && SpanValid(RetimeMap(clip->start, a, b, c, d), RetimeMap(clip->end, a, b, c, d));
  });
  if (!ok) return false;
  ForEachSubClip(super_clip, [&](Clip* clip) {
    float old_start = clip->start;
    float old_end = clip->end;
    clip->start = RetimeMap(old_start, a, b, c, d);
    clip->end = RetimeMap(old_end, a, b, c, d);
    if (auto retime = Hooks().geometry_retime_clip) retime(clip, a, b, c, d);
    if (auto invalidate = Hooks().invalidate_span) {
      invalidate(clip->track, old_start, old_end);
      invalidate(clip->track, clip->start, clip->end);
    }
    if (clip->edit_window != 0 && clip->edit_copy != nullptr) {
      clip->edit_copy->start = clip->start;
      clip->edit_copy->end = clip->end;
      if (auto refresh = Hooks().edit_window_refresh) refresh(clip);
    }
  });
  return true;
}

Clip* ClipMove(Clip* clip, Track* dst, float start, float end, bool copy) {
  if (clip == nullptr || dst == nullptr || IsPseudoTrack(dst) || dst->project == nullptr ||
      !std::isfinite(start) || !std::isfinite(end) || !(start < end)) {
    Refuse(kNoPlace);
    return nullptr;
  }
  RenderLockGuard lock(RenderLock());
  platform::DebugLog("move_clip: moving correct");
  Track* old_track = clip->track;
  const Clip* self = copy ? nullptr : clip;
  if (internal::TrackInsideClip(dst, clip)) {
    Refuse("A SuperClip can't be put inside its own sub-project");
    return nullptr;
  }
  const float eps = ClipMoveTolerance(dst, internal::ClipProject(clip));

  // Everything is checked before the clip leaves its place.
  for (const Clip* c = dst->first_clip; c != nullptr && c->start + eps < end; c = c->next) {
    if (c != self && c->end - eps > start) {
      Refuse(kNoPlace);
      return nullptr;
    }
  }
  Clip* prev = dst->last_clip;
  while (prev != nullptr && (prev == self || prev->start > start)) prev = prev->prev;
  Clip* next = prev != nullptr ? prev->next : dst->first_clip;
  if (next != nullptr && next == self) next = next->next;

  float s = start;
  float e = end;
  if (prev != nullptr ? std::fabs(prev->end - s) <= eps : std::fabs(s) <= eps) {
    s = prev != nullptr ? prev->end : 0.0f;
  }
  if (next != nullptr ? std::fabs(next->start - e) <= eps : std::fabs(kTimeLineEnd - e) <= eps) {
    e = next != nullptr ? next->start : kTimeLineEnd;
  }
  if (!SpanValid(s, e) || (prev != nullptr && prev->end > s) ||
      (next != nullptr && next->start < e)) {
    platform::DebugLog("move_clip: internal error -- bad check");
    Refuse(kNoPlace);
    return nullptr;
  }

  const float a = clip->start;
  const float b = clip->end;
  const bool retime = clip->sub_first_track != nullptr && (a != s || b != e);
  if (retime) {
    bool fits = SpanValid(a, b);
    ForEachSubClip(clip, [&](Clip* c) {
      fits = fits && SpanValid(RetimeMap(c->start, a, b, s, e), RetimeMap(c->end, a, b, s, e));
    });
    if (!fits) {
      Refuse("A clip of the sub-project would leave the time line");
      return nullptr;
    }
  }

  std::vector<Track*> inputs = MovedInputs(clip, old_track, dst);
  for (Track* in : inputs) {
    const Track* r = InputResolve(dst, in);
    if (r != nullptr && (r == dst || TrackDependsOn(r, dst, self))) {
      Refuse("The clip's inputs would form a cycle here");
      return nullptr;
    }
  }

  Clip* moving = clip;
  if (copy) {
    moving = ClipCopy(clip, ClipCopyMode::kDeep);
    if (moving == nullptr) {
      Refuse("No memory to copy clip");
      return nullptr;
    }
  } else {
    SpanChanged(clip, old_track, a, b);
    ClipUnlink(clip);
    platform::DebugLog("move_clip: clip removed from old position");
  }
  if (internal::ClipProject(moving) != dst->project) {
    if (auto repoint = Hooks().clip_data_repoint_geometry) repoint(moving, dst->project);
  }
  moving->track = dst;
  internal::AdoptSubProject(moving, dst->project);
  if (retime) SubProjectRetime(moving, a, b, s, e);
  moving->start = s;
  moving->end = e;
  moving->inputs = std::move(inputs);

  moving->prev = prev;
  moving->next = next;
  if (prev != nullptr) {
    prev->next = moving;
  } else {
    dst->first_clip = moving;
  }
  if (next != nullptr) {
    next->prev = moving;
  } else {
    dst->last_clip = moving;
  }
  internal::ClipsChanged(dst);
  SpanChanged(moving, dst, s, e);
  SetChangeFlags(kChangedTracks);
  platform::DebugLog("move_clip: exit");
  return moving;
}

}  // namespace lumetra::project
