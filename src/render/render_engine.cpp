// The engine's public face: windows and their messages, and the operations clients call.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "model/clip.h"
#include "model/pseudo_track.h"
#include "model/track.h"
#include "render/pic.h"
#include "render/render_request.h"
#include "render/render_services.h"

namespace lumetra::render {

using project::Track;

namespace {
// Steps of one dependency walk before it answers conservatively.
constexpr int32_t kDependencyWalkSteps = 512;
}  // namespace

RenderEngine::RenderEngine(uint64_t memory_budget) : impl_(std::make_unique<Impl>(memory_budget)) {
  RenderInstallHostServices();
}

RenderEngine::~RenderEngine() {
  SetThreads(0);
  ForgetEditWindows(impl_.get());
  Operation op(*impl_);
  Impl& e = *impl_;
  {
    std::lock_guard<std::mutex> mail(e.mail_mutex);
    e.mailboxes.clear();
  }
  for (RenderRequest* rq : std::vector<RenderRequest*>(e.live.begin(), e.live.end())) {
    e.Abort(rq, nullptr);
  }
  for (RenderRequest* rq : std::vector<RenderRequest*>(e.live.begin(), e.live.end())) {
    rq->users.clear();
    rq->inputs.clear();
    rq->user_word = 0;
    rq->flags = 0;
  }
  e.deferred.clear();
  for (RenderRequest* rq : std::vector<RenderRequest*>(e.live.begin(), e.live.end())) e.Release(rq);
  e.deferred.clear();
}

bool RenderEngine::Impl::WindowOpen(WindowId window) const {
  std::lock_guard<std::mutex> mail(mail_mutex);
  return mailboxes.count(window) != 0;
}

bool RenderEngine::Impl::Post(WindowId window, WindowMessage message) {
  {
    std::lock_guard<std::mutex> mail(mail_mutex);
    auto box = mailboxes.find(window);
    if (box == mailboxes.end()) return false;
    box->second.push_back(std::move(message));
  }
  mail_cv.notify_all();
  return true;
}

WindowId RenderEngine::OpenWindow() {
  WindowId id = impl_->next_window.fetch_add(1);
  std::lock_guard<std::mutex> mail(impl_->mail_mutex);
  impl_->mailboxes[id];
  return id;
}

void RenderEngine::CloseWindow(WindowId window) {
  Impl& e = *impl_;
  Operation op(e);
  std::deque<WindowMessage> left;
  {
    std::lock_guard<std::mutex> mail(e.mail_mutex);
    auto box = e.mailboxes.find(window);
    if (box == e.mailboxes.end()) return;
    left = std::move(box->second);
    e.mailboxes.erase(box);
  }
  // Messages nobody will read: their pictures go back, their texts with them.
  for (const WindowMessage& m : left) {
    if (m.kind == WindowMessageKind::kPicture) e.FreePicLocked(m.picture, window);
  }
  for (RenderRequest* rq : e.live) {
    auto& users = rq->users;
    auto end = std::remove_if(users.begin(), users.end(), [&](const BackRef& r) {
      return r.user == nullptr && r.window == window;
    });
    if (end != users.end()) {
      users.erase(end, users.end());
      e.Touch(rq);
      e.Defer(rq);
    }
  }
}

std::optional<WindowMessage> RenderEngine::TakeMessage(WindowId window, bool wait) {
  Impl& e = *impl_;
  for (;;) {
    {
      std::unique_lock<std::mutex> mail(e.mail_mutex);
      auto box = e.mailboxes.find(window);
      if (box == e.mailboxes.end()) return std::nullopt;
      if (!box->second.empty()) {
        WindowMessage m = std::move(box->second.front());
        box->second.pop_front();
        return m;
      }
      if (!wait) return std::nullopt;
      if (e.thread_count.load() > 0 || e.running > 0) {
        e.mail_cv.wait_for(mail, std::chrono::milliseconds(20));
        if (!box->second.empty()) continue;
      }
    }
    if (e.thread_count.load() == 0 && RunOnce()) continue;
    // Give up only when nothing can come any more (another caller may be running a make).
    Operation op(e);
    if (Quiescent()) {
      std::lock_guard<std::mutex> mail(e.mail_mutex);
      auto box = e.mailboxes.find(window);
      if (box == e.mailboxes.end() || box->second.empty()) return std::nullopt;
    }
  }
}

int32_t RenderEngine::SetRequest(Track* track, float time, int32_t width, int32_t height,
                                 float aspect, WindowId window) {
  if (window == 0) return kRenderRefused;
  return impl_->SetRequest(track, time, width, height, aspect, nullptr, window).result;
}

bool RenderEngine::FreePic(const PIC* picture, WindowId window) {
  Operation op(*impl_);
  return impl_->FreePicLocked(picture, window);
}

int32_t RenderEngine::Cancel(Track* track, float time, WindowId window) {
  Impl& e = *impl_;
  Operation op(e);
  auto found = e.by_track.find(track);
  if (found == e.by_track.end()) return 0;
  int32_t answer = 0;
  for (RenderRequest* rq : std::vector<RenderRequest*>(found->second)) {
    if (std::fabs(rq->time - time) > 1e-6f || e.Picture(rq) != nullptr) continue;
    auto& users = rq->users;
    auto end = std::remove_if(users.begin(), users.end(), [&](const BackRef& r) {
      return r.user == nullptr && r.window == window;
    });
    if (end == users.end()) continue;
    users.erase(end, users.end());
    e.Defer(rq);
    answer = 1;
  }
  return answer;
}

void RenderEngine::TapeAbort(Track* track) {
  Impl& e = *impl_;
  Operation op(e);
  auto found = e.by_track.find(track);
  if (found != e.by_track.end()) {
    std::vector<RenderRequest*> requests = found->second;
    for (RenderRequest* rq : requests) e.Abort(rq, nullptr);
    for (RenderRequest* rq : requests) e.Detach(rq);
    e.by_track.erase(track);
  }
  // Clip copies name their track and input tracks directly; none may reach the freed track.
  for (RenderRequest* rq : std::vector<RenderRequest*>(e.live.begin(), e.live.end())) {
    project::Clip* copy = rq->clip_copy;
    if (copy == nullptr) continue;
    auto& inputs = copy->inputs;
    bool named = copy->track == track || std::find(inputs.begin(), inputs.end(), track) != inputs.end();
    if (!named) continue;
    if ((rq->flags & kRqRunning) != 0) {
      if (copy->track == track) copy->track = nullptr;
      std::replace(inputs.begin(), inputs.end(), track, static_cast<Track*>(nullptr));
      e.Abort(rq, nullptr);
    } else {
      Impl::FreeCopy(rq);
    }
  }
}

void RenderEngine::Invalidate(Track* track, float from, float to) {
  Impl& e = *impl_;
  Operation op(e);
  if (track == nullptr) return;
  // Windows hear of the stretch of their track that depends on the change: each track window
  // and each window using a request of a dependent track. The walk reads the input-usage
  // records, so it runs before they are reset.
  struct Told {
    WindowId window;
    int32_t number;
    float from, to;
  };
  std::vector<Told> told;
  e.static_depends.clear();
  auto tell = [&](WindowId window, int32_t number, std::pair<float, float> span) {
    if (window == 0) return;
    for (Told& t : told) {
      if (t.window == window && t.number == number) {
        t.from = std::min(t.from, span.first);
        t.to = std::max(t.to, span.second);
        return;
      }
    }
    told.push_back(Told{window, number, span.first, span.second});
  };
  if (track->project != nullptr) {
    project::TrackWalk(track->project->first_track, [&](Track* t) {
      if (t->window == 0) return;
      e.walk_budget = kDependencyWalkSteps;
      if (auto span = e.DependentSpan(t, -kRenderTimeBound, kRenderTimeBound, track, from, to)) {
        tell(t->window, t->number, *span);
      }
    });
  }
  for (auto& [t, list] : e.by_track) {
    e.walk_budget = kDependencyWalkSteps;
    auto span = e.DependentSpan(t, -kRenderTimeBound, kRenderTimeBound, track, from, to);
    if (!span) continue;
    for (RenderRequest* rq : list) {
      if (rq->time < span->first - 1e-6f || rq->time >= span->second) continue;
      for (const BackRef& ref : rq->users) {
        if (ref.user == nullptr) tell(ref.window, rq->track_number, *span);
      }
    }
  }
  auto abort_where = [&](const Track* t, auto&& which) {
    auto found = e.by_track.find(t);
    if (found == e.by_track.end()) return;
    for (RenderRequest* rq : std::vector<RenderRequest*>(found->second)) {
      if (rq->track != nullptr && which(rq)) e.Abort(rq, nullptr);
    }
  };
  abort_where(track, [&](const RenderRequest* rq) { return rq->time >= from - 1e-6f && rq->time < to; });
  if (from <= 0.0f && to >= kRenderTimeBound) {
    // The whole track changed: the track it shows through on, and the enclosing SuperClip's
    // track over the SuperClip's span, may hold pictures made from it that no link records.
    if (track->prev != nullptr) {
      abort_where(track->prev, [&](const RenderRequest* rq) {
        if ((rq->flags & kRqPassThrough) != 0) return true;
        const project::Clip* clip = project::ClipFindAt(rq->track, rq->time);
        if (clip == nullptr) return false;
        return std::any_of(clip->inputs.begin(), clip->inputs.end(), [](const Track* in) {
          return in != nullptr && in->number == project::kPreviousTrackNumber;
        });
      });
    }
    const project::Clip* owner = track->owner_clip;
    if (owner != nullptr && owner->track != nullptr) {
      abort_where(owner->track, [&](const RenderRequest* rq) {
        return rq->time >= owner->start - 1e-6f && rq->time < owner->end;
      });
    }
  }
  e.ResetUsage(track, from, to);
  for (const Told& t : told) {
    e.Post(t.window,
           MakeMessage(WindowMessageKind::kRegionChanged, nullptr, t.number, t.from, {}, t.from, t.to));
  }
}

const PIC* RenderEngine::GetPic(Track* track, float time, int32_t width, int32_t height) {
  Impl& e = *impl_;
  Operation op(e);
  auto found = e.by_track.find(track);
  if (found == e.by_track.end()) return nullptr;
  for (RenderRequest* rq : found->second) {
    if (rq->time == time && rq->width == width && rq->height == height) {
      if (PIC* pic = e.Picture(rq)) return pic;
    }
  }
  return nullptr;
}

void RenderEngine::SetProgressWindow(WindowId window) {
  Operation op(*impl_);
  impl_->progress_window = window;
  impl_->progress_made = 0;
  impl_->progress_set = 0;
}

void RenderEngine::SetMemoryBudget(uint64_t bytes) {
  Operation op(*impl_);
  impl_->memory_budget = bytes;
  impl_->Evict();
}

RenderStats RenderEngine::Stats() const {
  Operation op(*impl_);
  RenderStats s;
  s.live_requests = static_cast<int32_t>(impl_->live.size());
  s.cached_pictures = impl_->cached_count;
  s.cached_bytes = impl_->cached_bytes;
  s.makes = impl_->makes;
  s.lock_hold_max_ns = impl_->lock_hold_max_ns.load();
  return s;
}

bool RenderEngine::Quiescent() const {
  Impl& e = *impl_;
  Operation op(e);
  if (e.running != 0) return false;
  // Entries that went stale since they were queued leave from the front, each once.
  while (!e.ready.empty()) {
    RenderRequest* rq = e.ready.front();
    if (rq->queued && e.live.count(rq) != 0 && e.Ready(rq)) return false;
    if (rq->queued) rq->queued = false;
    e.ready.pop_front();
  }
  return true;
}

std::string RenderEngine::CheckInvariants() const {
  Impl& e = *impl_;
  Operation op(e);
  uint64_t bytes = 0;
  int32_t count = 0;
  for (RenderRequest* rq : e.live) {
    if (rq->picture != nullptr) {
      ++count;
      bytes += static_cast<uint64_t>(rq->picture->width) * rq->picture->height * 4;
      auto owner = e.pic_owner.find(rq->picture);
      if (owner == e.pic_owner.end() || owner->second != rq) return "picture without owner entry";
    }
    if ((rq->flags & kRqRunning) != 0 && (rq->flags & kRqPending) != 0) return "pending and running";
    for (RenderRequest* in : rq->inputs) {
      if (e.live.count(in) == 0) return "input is not live";
      if (e.FindRef(in, rq, 0) == nullptr) return "input without back reference";
    }
    for (const BackRef& ref : rq->users) {
      if (ref.count < 0) return "negative count";
      if (ref.user == nullptr) continue;
      if (e.live.count(ref.user) == 0) return "user is not live";
      const auto& in = ref.user->inputs;
      if (std::find(in.begin(), in.end(), rq) == in.end()) return "user without input reference";
    }
    if (rq->indexed) {
      auto it = e.index.find(KeyOf(rq->track, rq->time, rq->width, rq->height, rq->aspect));
      if (it == e.index.end() || it->second != rq) return "index entry missing";
      if ((rq->flags & kRqCorrected) != 0) return "corrected request indexed";
    }
    if (rq->cached != (rq->picture != nullptr && (rq->flags & kRqRunning) == 0 &&
                       rq->user_word == 0 && e.Outstanding(rq) == 0)) {
      return "eviction list out of step (flags " + std::to_string(rq->flags) + ", outstanding " +
             std::to_string(e.Outstanding(rq)) + ", cached " + std::to_string(rq->cached) + ")";
    }
    // Nothing may sit pending with no way to run.
    if ((rq->flags & (kRqPending | kRqRunning | kRqPassThrough | kRqCorrected)) == kRqPending &&
        rq->picture == nullptr && rq->track != nullptr && !rq->queued && !e.WaitsOnInput(rq)) {
      return "pending request neither queued nor waiting";
    }
  }
  // One make per live key: a running request that is still valid is the only one of its key.
  for (RenderRequest* rq : e.live) {
    if ((rq->flags & (kRqRunning | kRqCorrected)) != kRqRunning || rq->track == nullptr) continue;
    auto it = e.index.find(KeyOf(rq->track, rq->time, rq->width, rq->height, rq->aspect));
    if (it == e.index.end() || it->second != rq) return "a running request is not its key's";
  }
  if (bytes != e.cached_bytes || count != e.cached_count) return "cache counters out of step";
  for (auto& [key, rq] : e.index) {
    if (e.live.count(rq) == 0 || !rq->indexed) return "index names a dead request";
  }
  return {};
}

}  // namespace lumetra::render
