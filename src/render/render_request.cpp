// Setting a request: find or create it for a user, then work out what makes its frame.
#include <cmath>

#include "model/clip.h"
#include "model/render_lock.h"
#include "model/superclip.h"
#include "model/track.h"
#include "platform/format.h"
#include "render/pic.h"
#include "render/render_request.h"

namespace lumetra::render {

using project::Clip;
using project::Track;

std::size_t RequestKeyHash::operator()(const RequestKey& k) const {
  uint64_t h = reinterpret_cast<uintptr_t>(k.track);
  for (uint64_t v : {uint64_t{k.time_bits}, uint64_t(uint32_t(k.width)), uint64_t(uint32_t(k.height)),
                     uint64_t{k.aspect_bits}}) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  }
  return static_cast<std::size_t>(h);
}

namespace {

bool TrackLive(const Track* track) {
  return track != nullptr && track->project != nullptr &&
         project::ProjectFindTrack(track->project, track->number) == track;
}

}  // namespace

Track* ShowThrough(const Track* track) {
  if (track->next != nullptr) return track->next;
  const Clip* owner = track->owner_clip;
  if (owner != nullptr && owner->track != nullptr) return owner->track->next;
  return nullptr;
}

std::string RenderEngine::Impl::NoClipText(const RenderRequest* rq) const {
  int32_t rate = rq->track != nullptr && rq->track->project != nullptr
                     ? rq->track->project->settings.time_base
                     : 0;
  return platform::Format("No video clip on track '%s' in frame %.1f",
                          rq->track != nullptr ? rq->track->name : "",
                          static_cast<double>(rq->time) * rate);
}

RenderRequest* RenderEngine::Impl::NewRequest() {
  RenderRequest* rq;
  if (!free_records.empty()) {
    rq = free_records.back();
    free_records.pop_back();
  } else {
    records.push_back(std::make_unique<RenderRequest>());
    rq = records.back().get();
  }
  live.insert(rq);
  return rq;
}

RenderEngine::Impl::SetResult RenderEngine::Impl::SetRequest(Track* track, float time,
                                                             int32_t width, int32_t height,
                                                             float aspect, RenderRequest* user,
                                                             WindowId window) {
  Operation op(*this);
  if (user != nullptr) window = 0;
  if (!TrackLive(track) || !std::isfinite(time) || !std::isfinite(aspect) || width < 1 ||
      height < 1 || width > kPicMaxSide || height > kPicMaxSide) {
    return {};
  }
  if (user == nullptr && !WindowOpen(window)) return {};
  int32_t depth = user != nullptr ? user->depth + 1 : 0;

  RequestKey key = KeyOf(track, time, width, height, aspect);
  auto found = index.find(key);
  if (found != index.end()) {
    RenderRequest* rq = found->second;
    // A request that already uses the caller would close a loop: both would wait forever.
    if (user != nullptr && (rq == user || IsAncestor(rq, user))) return {};
    rq->flags &= ~kRqFailed;
    BackRef* ref = FindRef(rq, user, window);
    if (ref == nullptr) {
      rq->users.push_back(BackRef{user, window, user != nullptr ? 1 : 0});
      if (user != nullptr) user->inputs.push_back(rq);
    } else if (user != nullptr && ref->count < 1) {
      ref->count = 1;
    }
    Touch(rq);
    if (PIC* pic = Picture(rq)) {
      if (window != 0 &&
          Post(window, MakeMessage(WindowMessageKind::kPicture, pic, rq->track_number, rq->time))) {
        FindRef(rq, nullptr, window)->count += 1;
        Touch(rq);
      }
      rq->flags = (rq->flags & ~kRqPending) | kRqDone;
      return {kRenderAvailable, rq};
    }
    if ((rq->flags & (kRqPassThrough | kRqDone)) == 0) {
      if ((rq->flags & kRqRunning) == 0) PushReady(rq);
      return {kRenderPending, rq};
    }
    if ((rq->flags & kRqPassThrough) != 0 && !rq->inputs.empty() &&
        (rq->inputs[0]->flags & kRqDone) == 0) {
      return {kRenderPending, rq};  // its input is still being made
    }
    // Done without a picture (failed) or a stale pass-through: resolve again.
    for (RenderRequest* in : std::vector<RenderRequest*>(rq->inputs)) Unlink(in, rq);
    rq->flags = (rq->flags & ~(kRqDone | kRqPassThrough)) | kRqPending;
    return {Resolve(rq, window), rq};
  }

  if (depth > kRenderMaxDepth) return {};
  RenderRequest* rq = NewRequest();
  *rq = RenderRequest{};
  rq->engine = this;
  rq->track = track;
  rq->track_number = track->number;
  rq->time = time;
  rq->width = width;
  rq->height = height;
  rq->aspect = aspect;
  rq->depth = depth;
  rq->flags = kRqPending;
  rq->users.push_back(BackRef{user, window, user != nullptr ? 1 : 0});
  index.emplace(key, rq);
  rq->indexed = true;
  auto& list = by_track[track];
  rq->track_pos = list.size();
  list.push_back(rq);
  if (user != nullptr) {
    user->inputs.push_back(rq);
    if (std::fabs(rq->time - user->time) > 1e-5f) rq->flags |= kRqOtherTime;
  }
  return {Resolve(rq, window), rq};
}

int32_t RenderEngine::Impl::Resolve(RenderRequest* rq, WindowId window) {
  Track* track = rq->track;
  Clip* clip = project::ClipFindAt(track, rq->time);
  Track* through = nullptr;
  bool pass = false;
  if (clip != nullptr && project::IsSuperClipProcess(clip->process)) {
    through = clip->sub_first_track;
    pass = true;
  } else if (clip == nullptr || clip->process == nullptr || clip->process->make == nullptr ||
             (clip->flags & project::kClipTransparent) != 0) {
    through = ShowThrough(track);
    pass = true;
  }
  int32_t result = kRenderPending;
  if (!pass) {
    if (progress_window != 0) progress_set += 1;
    PushReady(rq);
    return kRenderPending;
  }
  rq->flags |= kRqPassThrough;
  if (through == nullptr) {
    Fail(rq, NoClipText(rq));
    return kRenderFailed;
  }
  SetResult inner = SetRequest(through, rq->time, rq->width, rq->height, rq->aspect, rq, 0);
  if (inner.result == kRenderRefused) {
    Fail(rq, rq->depth >= kRenderMaxDepth
                 ? platform::Format("Input loop on track '%s'", track->name)
                 : std::string("Internal error"));
    return kRenderFailed;
  }
  result = inner.result;
  if (result == kRenderAvailable) {
    BackRef* ref = window != 0 ? FindRef(rq, nullptr, window) : nullptr;
    if (ref != nullptr && Post(window, MakeMessage(WindowMessageKind::kPicture, Picture(rq),
                                                     rq->track_number, rq->time))) {
      ref->count += 1;
    }
    rq->flags = (rq->flags & ~kRqPending) | kRqDone;
    Touch(rq);
  } else if (result == kRenderFailed) {
    rq->flags = (rq->flags & ~kRqPending) | kRqDone;
  }
  return result;
}

}  // namespace lumetra::render
