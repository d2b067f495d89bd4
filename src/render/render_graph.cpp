// The request graph: users and inputs, delivery, failure, abort, collection and release.
#include <algorithm>
#include <unordered_set>

#include "model/clip.h"
#include "render/pic.h"
#include "render/render_request.h"

namespace lumetra::render {

BackRef* RenderEngine::Impl::FindRef(RenderRequest* rq, RenderRequest* user, WindowId window) {
  for (BackRef& ref : rq->users) {
    if (ref.user == user && (user != nullptr || ref.window == window)) return &ref;
  }
  return nullptr;
}

RenderRequest* RenderEngine::Impl::Source(RenderRequest* rq) const {
  for (int32_t i = 0; rq != nullptr && (rq->flags & kRqPassThrough) != 0 && i <= kRenderMaxDepth;
       ++i) {
    rq = rq->inputs.empty() ? nullptr : rq->inputs[0];
  }
  return rq;
}

PIC* RenderEngine::Impl::Picture(const RenderRequest* rq) const {
  if (rq == nullptr || (rq->flags & kRqCorrected) != 0) return nullptr;
  const RenderRequest* src = Source(const_cast<RenderRequest*>(rq));
  return src != nullptr && (src->flags & kRqCorrected) == 0 ? src->picture : nullptr;
}

int64_t RenderEngine::Impl::Outstanding(const RenderRequest* rq, int32_t depth) const {
  int64_t sum = 0;
  for (const BackRef& ref : rq->users) {
    if (ref.user != nullptr && (ref.user->flags & kRqPassThrough) != 0 && depth < kRenderMaxDepth) {
      sum += Outstanding(ref.user, depth + 1);
    } else {
      sum += ref.count;
    }
  }
  return sum;
}

bool RenderEngine::Impl::IsAncestor(const RenderRequest* candidate, const RenderRequest* of) const {
  std::vector<const RenderRequest*> stack{of};
  std::unordered_set<const RenderRequest*> seen;
  while (!stack.empty()) {
    const RenderRequest* r = stack.back();
    stack.pop_back();
    if (!seen.insert(r).second) continue;
    for (const BackRef& ref : r->users) {
      if (ref.user == nullptr) continue;
      if (ref.user == candidate) return true;
      stack.push_back(ref.user);
    }
  }
  return false;
}

bool RenderEngine::Impl::WaitsOnInput(const RenderRequest* rq) const {
  for (RenderRequest* in : rq->inputs) {
    const BackRef* ref = const_cast<Impl*>(this)->FindRef(in, const_cast<RenderRequest*>(rq), 0);
    if (ref != nullptr && ref->count > 0 && Picture(in) == nullptr && (in->flags & kRqDone) == 0) {
      return true;
    }
  }
  return false;
}

bool RenderEngine::Impl::Ready(const RenderRequest* rq) const {
  if ((rq->flags & (kRqRunning | kRqPassThrough)) != 0 || rq->picture != nullptr) return false;
  if (rq->track == nullptr) return false;
  bool wanted = (rq->flags & kRqPending) != 0 && (rq->flags & kRqCorrected) == 0;
  if (!wanted && rq->user_word == 0) return false;
  return !WaitsOnInput(rq);
}

void RenderEngine::Impl::PushReady(RenderRequest* rq) {
  if (rq->queued || !Ready(rq)) return;
  rq->queued = true;
  ready.push_back(rq);
  WakeOne();
}

void RenderEngine::Impl::WakeUsers(RenderRequest* rq) {
  for (const BackRef& ref : rq->users) {
    if (ref.user != nullptr && (ref.user->flags & kRqPassThrough) == 0) PushReady(ref.user);
  }
}

void RenderEngine::Impl::Defer(RenderRequest* rq) {
  if (rq->deferred) return;
  rq->deferred = true;
  deferred.push_back(rq);
}

void RenderEngine::Impl::Sweep() {
  ++op_depth;
  while (!deferred.empty()) {
    RenderRequest* rq = deferred.back();
    deferred.pop_back();
    rq->deferred = false;
    Collect(rq);
  }
  --op_depth;
}

void RenderEngine::Impl::Unlink(RenderRequest* input, RenderRequest* user) {
  auto& users = input->users;
  users.erase(std::remove_if(users.begin(), users.end(),
                             [&](const BackRef& r) { return r.user == user; }),
              users.end());
  auto& inputs = user->inputs;
  inputs.erase(std::remove(inputs.begin(), inputs.end(), input), inputs.end());
  Touch(input);
  Defer(input);
}

void RenderEngine::Impl::InputsFree(RenderRequest* rq) {
  for (RenderRequest* in : rq->inputs) {
    if (BackRef* ref = FindRef(in, rq, 0)) ref->count = 0;
    Touch(in);
    Defer(in);
  }
}

void RenderEngine::Impl::Collect(RenderRequest* rq) {
  if ((rq->flags & (kRqRunning | kRqAborting)) != 0 || rq->user_word != 0) return;
  if (!rq->users.empty()) return;
  if (rq->track == nullptr || (rq->flags & kRqCorrected) != 0 || rq->picture == nullptr ||
      (rq->flags & kRqPassThrough) != 0) {
    Release(rq);
  }
  // Otherwise the picture stays as cache until evicted.
}

void RenderEngine::Impl::Detach(RenderRequest* rq) {
  if (rq->indexed) {
    auto it = index.find(KeyOf(rq->track, rq->time, rq->width, rq->height, rq->aspect));
    if (it != index.end() && it->second == rq) index.erase(it);
    rq->indexed = false;
  }
  if (rq->track != nullptr) {
    auto found = by_track.find(rq->track);
    if (found != by_track.end()) {
      auto& list = found->second;
      std::size_t pos = rq->track_pos;
      list[pos] = list.back();
      list[pos]->track_pos = pos;
      list.pop_back();
      if (list.empty()) by_track.erase(found);
    }
    rq->track = nullptr;
  }
}

void RenderEngine::Impl::FreeCopy(RenderRequest* rq) {
  if (rq->clip_copy == nullptr) return;
  rq->clip_copy->track = nullptr;
  project::ClipFree(rq->clip_copy);
  rq->clip_copy = nullptr;
}

void RenderEngine::Impl::Release(RenderRequest* rq) {
  for (RenderRequest* in : std::vector<RenderRequest*>(rq->inputs)) Unlink(in, rq);
  FreeCopy(rq);
  DropPicture(rq);
  // Detach needs the track for its index key.
  Detach(rq);
  rq->queued = false;
  rq->users.clear();
  rq->flags = 0;
  live.erase(rq);
  free_records.push_back(rq);
}

void RenderEngine::Impl::Deliver(RenderRequest* rq) {
  rq->flags = (rq->flags & ~kRqPending) | kRqDone;
  PIC* pic = Picture(rq);
  for (BackRef& ref : rq->users) {
    if (ref.user == nullptr) {
      if (pic != nullptr && Post(ref.window, MakeMessage(WindowMessageKind::kPicture, pic,
                                                           rq->track_number, rq->time))) {
        ref.count += 1;
      } else {
        ref.window = 0;  // closed: the node goes below
      }
    } else if ((ref.user->flags & kRqPassThrough) != 0) {
      Deliver(ref.user);
    } else {
      PushReady(ref.user);
    }
  }
  rq->users.erase(std::remove_if(rq->users.begin(), rq->users.end(),
                                 [](const BackRef& r) { return r.user == nullptr && r.window == 0; }),
                  rq->users.end());
  Touch(Source(rq));
  Defer(rq);
}

void RenderEngine::Impl::Fail(RenderRequest* rq, const std::string& text) {
  if ((rq->flags & kRqAborting) != 0) return;
  if ((rq->flags & kRqRunning) != 0 || rq->user_word != 0) {
    rq->flags |= kRqFailed;
    if (rq->error.empty()) rq->error = text;
    if ((rq->flags & kRqRunning) != 0) return;
  } else {
    rq->flags = (rq->flags & ~kRqPending) | kRqDone;
    InputsFree(rq);
  }
  rq->flags |= kRqAborting;  // guards the recursion through users
  std::vector<RenderRequest*> users;
  for (BackRef& ref : rq->users) {
    if (ref.user == nullptr) {
      Post(ref.window, MakeMessage(WindowMessageKind::kError, nullptr, rq->track_number, rq->time, text));
    } else {
      users.push_back(ref.user);
    }
  }
  rq->users.erase(std::remove_if(rq->users.begin(), rq->users.end(),
                                 [](const BackRef& r) { return r.user == nullptr && r.count < 1; }),
                  rq->users.end());
  for (RenderRequest* user : users) Fail(user, text);
  rq->flags &= ~kRqAborting;
  Touch(rq);
  Defer(rq);
}

bool RenderEngine::Impl::Abort(RenderRequest* rq, const std::string* text) {
  if ((rq->flags & kRqAborting) != 0) return false;
  bool was_wanted = (rq->flags & (kRqPending | kRqRunning)) != 0;
  rq->flags |= (text != nullptr ? kRqFailed : kRqCorrected) | kRqAborting;
  if (text != nullptr && rq->error.empty()) rq->error = *text;
  if (rq->indexed) {
    auto it = index.find(KeyOf(rq->track, rq->time, rq->width, rq->height, rq->aspect));
    if (it != index.end() && it->second == rq) index.erase(it);
    rq->indexed = false;
  }
  // A pass-through keeps its link so that pictures windows still hold stay alive.
  if ((rq->flags & (kRqRunning | kRqPassThrough)) == 0 && rq->user_word == 0) {
    for (RenderRequest* in : std::vector<RenderRequest*>(rq->inputs)) Unlink(in, rq);
  }
  std::vector<RenderRequest*> users;
  for (BackRef& ref : rq->users) {
    if (ref.user == nullptr) {
      WindowMessage m = MakeMessage(text != nullptr && was_wanted ? WindowMessageKind::kError
                                                                   : WindowMessageKind::kDropped,
                                    nullptr, rq->track_number, rq->time);
      if (text != nullptr) m.text = *text;
      Post(ref.window, std::move(m));
    } else {
      users.push_back(ref.user);
    }
  }
  rq->users.erase(std::remove_if(rq->users.begin(), rq->users.end(),
                                 [](const BackRef& r) { return r.user == nullptr && r.count < 1; }),
                  rq->users.end());
  for (RenderRequest* user : users) Abort(user, text);
  // Users that let go of this request no longer need its link.
  for (RenderRequest* user : users) {
    if ((user->flags & (kRqRunning | kRqPassThrough)) == 0 && user->user_word == 0 &&
        std::find(user->inputs.begin(), user->inputs.end(), rq) != user->inputs.end()) {
      Unlink(rq, user);
    }
  }
  rq->flags &= ~kRqAborting;
  Touch(rq);
  Defer(rq);
  return true;
}

bool RenderEngine::Impl::FreePicLocked(const PIC* picture, WindowId window) {
  auto owner = pic_owner.find(picture);
  if (owner == pic_owner.end()) return false;
  // The window's node is on the owner or on a pass-through user of it, up the chain.
  std::vector<RenderRequest*> stack{owner->second};
  for (std::size_t guard = 0; !stack.empty() && guard < 4096; ++guard) {
    RenderRequest* rq = stack.back();
    stack.pop_back();
    for (BackRef& ref : rq->users) {
      if (ref.user == nullptr && ref.window == window && ref.count > 0) {
        ref.count -= 1;
        if (ref.count < 1) {
          rq->users.erase(rq->users.begin() + (&ref - rq->users.data()));
        }
        Touch(owner->second);
        Defer(rq);
        return true;
      }
      if (ref.user != nullptr && (ref.user->flags & kRqPassThrough) != 0) stack.push_back(ref.user);
    }
  }
  return false;
}

}  // namespace lumetra::render
