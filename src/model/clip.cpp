// Clips: creation, placement on a track, copies, inputs and their cycles, freeing.
#include "model/clip.h"

#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "clipdata/clip_data.h"
#include "model/change_flags.h"
#include "model/model_internal.h"
#include "model/project.h"
#include "model/project_hooks.h"
#include "model/pseudo_track.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "platform/ui_host.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

using internal::TrackMap;
using internal::TrackSet;

bool SpanValid(float start, float end) {
  return std::isfinite(start) && std::isfinite(end) && start >= 0.0f && start < end &&
         end <= kTimeLineEnd;
}

namespace {

// Copies made by ClipCopy and not yet freed; guarded by the render lock. Services called
// with a copy in their context (render and sound makes run on copies) accept these.
std::unordered_set<const Clip*>& LiveCopies() {
  static std::unordered_set<const Clip*> copies;
  return copies;
}

}  // namespace

namespace internal {

Project* ClipProject(const Clip* clip) {
  return clip != nullptr && clip->track != nullptr ? clip->track->project : nullptr;
}

bool IsSuperClip(const Clip* clip) {
  return clip != nullptr && clip->process != nullptr &&
         (clip->process == SuperClipProcess() || clip->process->signature == kSuperClipSignature);
}

bool TrackInsideClip(const Track* track, const Clip* clip) {
  // Walks up the owner chain; sub-projects nest as a tree, the bound only stops corruption.
  for (int depth = 0; track != nullptr && depth < 4096; ++depth) {
    const Clip* owner = track->owner_clip;
    if (owner == nullptr) return false;
    if (owner == clip) return true;
    track = owner->track;
  }
  return false;
}

void ClipFreeTree(Clip* clip, TrackSet& freed) {
  if (clip == nullptr) return;
  if (clip->edit_window != 0) {
    auto destroy = Hooks().destroy_edit_window;
    if (destroy != nullptr && !destroy(clip->edit_window)) {
      platform::Ui().ErrorBox("Can't destroy clip edit window");
    }
    clip->edit_window = 0;
  }
  ClipUnlink(clip);
  // An edit copy going away must not stay named by the clip it belongs to.
  if (Clip* owner = clip->edited_clip) {
    if (owner->backup_copy == clip) owner->backup_copy = nullptr;
    if (owner->edit_copy == clip) owner->edit_copy = nullptr;
  }
  for (Clip* copy : {clip->backup_copy, clip->edit_copy}) {
    if (copy != nullptr) {
      copy->edited_clip = nullptr;
      ClipFreeTree(copy, freed);
    }
  }
  clip->backup_copy = clip->edit_copy = nullptr;
  while (clip->sub_first_track != nullptr) FreeTrackTree(clip->sub_first_track, freed);
  ClipDataFree(clip->process != nullptr ? clip->process->data_template : nullptr, clip->data);
  LiveCopies().erase(clip);
  delete clip;
}

void ScrubInputs(Project* project, const TrackSet& gone) {
  if (gone.empty()) return;
  auto scrub = [&](Clip* c) {
    for (Track*& in : c->inputs) {
      if (in != nullptr && gone.count(in) != 0) in = nullptr;
    }
  };
  for (auto& [number, track] : project->track_index) {
    for (Clip* c = track->first_clip; c != nullptr; c = c->next) {
      scrub(c);
      if (c->backup_copy != nullptr) scrub(c->backup_copy);
      if (c->edit_copy != nullptr) scrub(c->edit_copy);
    }
  }
}

Clip* CopyClipRecord(const Clip* clip) {
  auto copy = std::make_unique<Clip>();
  copy->process = clip->process;
  copy->start = clip->start;
  copy->end = clip->end;
  copy->track = clip->track;
  copy->flags = clip->flags;
  copy->inputs = clip->inputs;
  copy->display_mode = clip->display_mode;
  std::memcpy(copy->edit_params, clip->edit_params, sizeof copy->edit_params);
  std::memcpy(copy->edit_window_position, clip->edit_window_position,
              sizeof copy->edit_window_position);
  if (clip->icon != nullptr) {
    copy->icon = std::make_unique<uint8_t[]>(kClipIconBytes);
    std::memcpy(copy->icon.get(), clip->icon.get(), kClipIconBytes);
  }
  if (clip->data != nullptr) {
    const Template* tmpl = clip->process != nullptr ? clip->process->data_template : nullptr;
    copy->data = ClipDataCopy(tmpl, clip->data);
    if (copy->data == nullptr) return nullptr;
  }
  return copy.release();
}

bool CopyTrackList(const Track* list, Project* project, Clip* owner, TrackMap& map,
                   Track** out_head) {
  Track* head = nullptr;
  Track* tail = nullptr;
  bool ok = true;
  for (const Track* src = list; src != nullptr; src = src->next) {
    auto t = std::make_unique<Track>();
    t->flags = src->flags;
    std::memcpy(t->name, src->name, sizeof t->name);
    std::memcpy(t->view, src->view, sizeof t->view);
    std::memcpy(t->window_position, src->window_position, sizeof t->window_position);
    t->project = project;
    TrackClaimNumber(t.get(), src->number);
    Track* track = t.release();
    map[src] = track;
    track->owner_clip = owner;
    track->prev = tail;
    if (tail != nullptr) {
      tail->next = track;
    } else if (owner != nullptr) {
      owner->sub_first_track = track;
    } else {
      head = track;
    }
    tail = track;
    for (const Clip* c = src->first_clip; c != nullptr; c = c->next) {
      Clip* cc = CopyClipRecord(c);
      if (cc == nullptr) {
        ok = false;
        continue;
      }
      cc->track = track;
      // Same order as the source: appending keeps the list sorted.
      cc->prev = track->last_clip;
      if (track->last_clip != nullptr) {
        track->last_clip->next = cc;
      } else {
        track->first_clip = cc;
      }
      track->last_clip = cc;
      ClipAppended(track, cc);
      if (c->sub_first_track != nullptr) {
        ok = CopyTrackList(c->sub_first_track, project, cc, map, nullptr) && ok;
      }
    }
  }
  if (out_head != nullptr) *out_head = owner != nullptr ? nullptr : head;
  return ok;
}

void RepointClipInputs(Clip* clip, const TrackMap& map, Project* project, bool by_number) {
  for (Track*& in : clip->inputs) {
    if (in == nullptr || IsPseudoTrack(in)) continue;
    auto it = map.find(in);
    if (it != map.end()) {
      in = it->second;
    } else if (by_number) {
      in = ProjectFindTrack(project, in->number);
    }
  }
}

void RepointInputs(Track* list, const TrackMap& map, Project* project, bool by_number) {
  TrackWalk(list, [&](Track* t) {
    for (Clip* c = t->first_clip; c != nullptr; c = c->next) {
      RepointClipInputs(c, map, project, by_number);
    }
  });
}

void AdoptSubProject(Clip* super_clip, Project* to) {
  if (super_clip->sub_first_track == nullptr) return;
  Project* from = super_clip->sub_first_track->project;
  if (from == to) return;
  TrackSet moved;
  TrackWalk(super_clip->sub_first_track, [&](Track* t) {
    IndexRemove(t);
    moved.insert(t);
  });
  TrackWalk(super_clip->sub_first_track, [&](Track* t) {
    t->project = to;
    TrackClaimNumber(t, t->number);
  });
  // Inputs inside that named tracks left behind follow them by number, or go.
  TrackWalk(super_clip->sub_first_track, [&](Track* t) {
    for (Clip* c = t->first_clip; c != nullptr; c = c->next) {
      for (Track*& in : c->inputs) {
        if (in != nullptr && !IsPseudoTrack(in) && moved.count(in) == 0) {
          in = ProjectFindTrack(to, in->number);
        }
      }
      if (auto repoint = Hooks().clip_data_repoint_geometry) repoint(c, to);
    }
  });
  if (from != nullptr) ScrubInputs(from, moved);
}

}  // namespace internal

bool ClipIsLinked(const Clip* clip) {
  return clip != nullptr && clip->track != nullptr &&
         (clip->prev != nullptr || clip->track->first_clip == clip);
}

void ClipUnlink(Clip* clip) {
  RenderLockGuard lock(RenderLock());
  if (!ClipIsLinked(clip)) return;
  Track* t = clip->track;
  if (clip->prev != nullptr) {
    clip->prev->next = clip->next;
  } else {
    t->first_clip = clip->next;
  }
  if (clip->next != nullptr) {
    clip->next->prev = clip->prev;
  } else {
    t->last_clip = clip->prev;
  }
  clip->prev = clip->next = nullptr;
  internal::ClipsChanged(t);
}

int ClipPlace(Clip* clip, Track* track, float start, float end) {
  if (clip == nullptr || track == nullptr || IsPseudoTrack(track) || track->project == nullptr ||
      !SpanValid(start, end)) {
    return 0;
  }
  RenderLockGuard lock(RenderLock());
  if (ClipIsLinked(clip) || internal::TrackInsideClip(track, clip)) return 0;

  Clip* after = nullptr;  // none: the clip becomes the first
  Clip* first = track->first_clip;
  Clip* last = track->last_clip;
  if (last != nullptr && last->end <= start) {
    after = last;  // the common case of placing in time order
  } else if (first != nullptr && first->start < end) {
    // The last clip starting before the new end, found from the tail.
    Clip* c = last;
    while (c->start >= end) c = c->prev;
    if (c->end > start) return 0;
    after = c;
  }

  // Inputs other than "*Previous" may close a cycle through the tracks below.
  Track* old_track = clip->track;
  clip->track = track;
  for (Track* in : clip->inputs) {
    if (in == nullptr || in == PseudoTrackGet(PseudoTrack::kPrevious)) continue;
    const Track* r = InputResolve(track, in);
    if (r != nullptr && (r == track || TrackDependsOn(r, track, clip))) {
      clip->track = old_track;
      return 0;
    }
  }
  if (IsSuperClipProcess(clip->process) || clip->sub_first_track != nullptr) {
    internal::AdoptSubProject(clip, track->project);
  }

  clip->start = start;
  clip->end = end;
  clip->prev = after;
  clip->next = after != nullptr ? after->next : first;
  if (clip->next != nullptr) {
    clip->next->prev = clip;
  } else {
    track->last_clip = clip;
  }
  if (after != nullptr) {
    after->next = clip;
  } else {
    track->first_clip = clip;
  }
  if (clip->next == nullptr) {
    internal::ClipAppended(track, clip);
  } else {
    internal::ClipsChanged(track);
  }
  SetChangeFlags(kChangedTracks);
  return 1;
}

namespace {

thread_local const Clip* g_clip_in_init = nullptr;

// Marks the clip as the one in init for the scope's life; nested creations restore the outer.
class InitScope {
 public:
  explicit InitScope(const Clip* clip) : previous_(g_clip_in_init) { g_clip_in_init = clip; }
  ~InitScope() { g_clip_in_init = previous_; }
  InitScope(const InitScope&) = delete;
  InitScope& operator=(const InitScope&) = delete;

 private:
  const Clip* previous_;
};

}  // namespace

const Clip* ClipInInit() {
  return g_clip_in_init;
}

Clip* ClipCreate(HostCallContext* ctx, ProcessRecord* process, float start, float end,
                 Track* track) {
  if (process == nullptr || process->inputs_number > kMaxProcessInputs || !SpanValid(start, end) ||
      track == nullptr) {
    return nullptr;
  }
  ClipPtr clip(new Clip);
  clip->process = process;
  clip->start = start;
  clip->end = end;
  clip->track = track;
  clip->display_mode = static_cast<uint16_t>(process->display_mode);
  int32_t n = process->inputs_number > 0 ? process->inputs_number : 0;
  clip->inputs.assign(static_cast<std::size_t>(n), nullptr);
  if (process->previous_track_input >= 0 && process->previous_track_input < n) {
    clip->inputs[static_cast<std::size_t>(process->previous_track_input)] =
        PseudoTrackGet(PseudoTrack::kPrevious);
  }
  clip->data = ClipDataCreate(process->data_template);
  if (clip->data != nullptr && process->init != nullptr) {
    // The process reads its clip (span, project) through the context's clip word.
    auto call = Hooks().call_init;
    const InitScope in_init(clip.get());
    int32_t r;
    if (call != nullptr) {
      r = call(ctx, clip.get());
    } else {
      HostCallContext own{};
      if (ctx != nullptr) own = *ctx;
      own.word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(clip.get());
      r = process->init(&own, clip->data);
      if (ctx != nullptr) ctx->word[HCC_WORD_ERROR_TEXT] = own.word[HCC_WORD_ERROR_TEXT];
    }
    if (r != 1) return nullptr;
  }
  if (ClipPlace(clip.get(), track, start, end) != 1) return nullptr;
  SetChangeFlags(kChangedTracks);
  return clip.release();
}

Clip* ClipCopy(const Clip* clip, ClipCopyMode mode) {
  if (clip == nullptr) return nullptr;
  RenderLockGuard lock(RenderLock());
  ClipPtr copy(internal::CopyClipRecord(clip));
  if (copy == nullptr) return nullptr;
  if (mode == ClipCopyMode::kDeep && clip->sub_first_track != nullptr) {
    Project* p = clip->sub_first_track->project;
    TrackMap map;
    if (!internal::CopyTrackList(clip->sub_first_track, p, copy.get(), map, nullptr)) {
      return nullptr;
    }
    internal::RepointInputs(copy->sub_first_track, map, p, false);
  }
  LiveCopies().insert(copy.get());
  return copy.release();
}

bool ClipIsLiveCopy(const Clip* clip) {
  if (clip == nullptr) return false;
  RenderLockGuard lock(RenderLock());
  return LiveCopies().count(clip) != 0;
}

bool TrackDependsOn(const Track* from, const Track* target, const Clip* ignore) {
  if (from == nullptr || target == nullptr) return false;
  RenderLockGuard lock(RenderLock());
  TrackSet seen;
  std::vector<const Track*> stack{from};
  while (!stack.empty()) {
    const Track* t = stack.back();
    stack.pop_back();
    if (t == target) return true;
    if (!seen.insert(t).second) continue;
    for (const Clip* c = t->first_clip; c != nullptr; c = c->next) {
      if (c == ignore) continue;
      for (Track* in : c->inputs) {
        if (const Track* r = InputResolve(t, in)) stack.push_back(r);
      }
      for (const Track* s = c->sub_first_track; s != nullptr; s = s->next) stack.push_back(s);
    }
  }
  return false;
}

bool ClipSetInput(Clip* clip, uint32_t index, Track* input) {
  if (clip == nullptr || index >= clip->inputs.size()) return false;
  RenderLockGuard lock(RenderLock());
  if (input != nullptr && !IsPseudoTrack(input)) {
    Project* p = internal::ClipProject(clip);
    if (p == nullptr || input->project != p || ProjectFindTrack(p, input->number) != input ||
        input == clip->track) {
      return false;
    }
  }
  if (input != nullptr && clip->track != nullptr) {
    const Track* r = InputResolve(clip->track, input);
    if (r != nullptr && (r == clip->track || TrackDependsOn(r, clip->track))) return false;
  }
  clip->inputs[index] = input;
  SetChangeFlags(kChangedTracks);
  return true;
}

Track* ClipResolveInput(const Clip* clip, uint32_t index) {
  if (clip == nullptr || index >= clip->inputs.size()) return nullptr;
  RenderLockGuard lock(RenderLock());
  return InputResolve(clip->track, clip->inputs[index]);
}

int ProjectBreakInputCycles(Project* project) {
  if (project == nullptr) return 0;
  RenderLockGuard lock(RenderLock());
  int broken = 0;
  TrackWalk(project->first_track, [&](Track* t) {
    for (Clip* c = t->first_clip; c != nullptr; c = c->next) {
      for (Track*& in : c->inputs) {
        const Track* r = InputResolve(t, in);
        if (r != nullptr && (r == t || TrackDependsOn(r, t))) {
          in = nullptr;
          ++broken;
        }
      }
    }
  });
  return broken;
}

void ClipFree(Clip* clip) {
  if (clip == nullptr) return;
  RenderLockGuard lock(RenderLock());
  Project* p = internal::ClipProject(clip);
  TrackSet freed;
  internal::ClipFreeTree(clip, freed);
  if (p != nullptr) internal::ScrubInputs(p, freed);
}

}  // namespace lumetra::project
