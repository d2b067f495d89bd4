// Render threads: pick a ready request, copy its clip, run the make function outside the
// render lock, then store, deliver and evict under it.
#include <algorithm>
#include <chrono>

#include "host/object_error.h"
#include "model/clip.h"
#include "model/superclip.h"
#include "model/track.h"
#include "platform/thread_priority.h"
#include "render/pic.h"
#include "render/render_request.h"

namespace lumetra::render {

namespace {

using Clock = std::chrono::steady_clock;

void NoteHold(RenderEngine::Impl& e, Clock::time_point since) {
  int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - since).count();
  int64_t seen = e.lock_hold_max_ns.load(std::memory_order_relaxed);
  while (ns > seen && !e.lock_hold_max_ns.compare_exchange_weak(seen, ns)) {
  }
}

void WorkerMain(RenderEngine::Impl* e, RenderWorker* w) {
  platform::SetCurrentThreadLowestPriority();
  while (!w->quit.load()) {
    if (e->RunOne(w->id)) continue;
    std::unique_lock<std::mutex> lock(e->wake_mutex);
    w->idle = true;
    e->wake_cv.wait(lock, [&] { return e->wake_signaled || w->quit.load(); });
    // The work event resets when a thread that goes on working takes it.
    if (!w->quit.load()) e->wake_signaled = false;
    w->idle = false;
  }
}

}  // namespace

void RenderEngine::Impl::WakeOne() {
  {
    std::lock_guard<std::mutex> lock(wake_mutex);
    wake_signaled = true;
  }
  wake_cv.notify_one();
}

RenderRequest* RenderEngine::Impl::Pick() {
  while (!ready.empty()) {
    RenderRequest* rq = ready.front();
    ready.pop_front();
    if (!rq->queued) continue;  // taken or released since it was queued
    rq->queued = false;
    if (live.count(rq) != 0 && Ready(rq)) return rq;
  }
  return nullptr;
}

bool RenderEngine::Impl::RunOne(int32_t thread_id) {
  RenderRequest* rq = nullptr;
  LumetraMakeFn make = nullptr;
  void* data = nullptr;
  project::Clip* copy = nullptr;
  float start = 0, end = 0, time = 0;
  {
    Operation op(*this);
    Clock::time_point locked = Clock::now();
    rq = Pick();
    if (rq == nullptr) {
      NoteHold(*this, locked);
      return false;
    }
    if (rq->clip_copy == nullptr) {
      project::Clip* clip = project::ClipFindAt(rq->track, rq->time);
      // The clip changed since the request was resolved without an invalidate.
      if (clip == nullptr || clip->process == nullptr || clip->process->make == nullptr ||
          (clip->flags & project::kClipTransparent) != 0 ||
          project::IsSuperClipProcess(clip->process)) {
        Fail(rq, "No video clip to render");
        NoteHold(*this, locked);
        return true;
      }
      rq->clip_copy = project::ClipCopy(clip, project::ClipCopyMode::kRecordOnly);
      if (rq->clip_copy == nullptr) {
        Fail(rq, "Can't allocate memory");
        NoteHold(*this, locked);
        return true;
      }
    }
    rq->flags = (rq->flags | kRqRunning) & ~(kRqPending | kRqDone);
    rq->thread = thread_id;
    rq->error.clear();
    rq->waited = false;
    running += 1;
    make = rq->clip_copy->process->make;
    data = rq->clip_copy->data;
    copy = rq->clip_copy;
    start = rq->clip_copy->start;
    end = rq->clip_copy->end;
    time = rq->time;
    if (!ready.empty()) WakeOne();
    NoteHold(*this, locked);
  }

  HostCallContext ctx{};
  ctx.word[HCC_WORD_KIND] = HCC_KIND_RENDER;
  ctx.word[HCC_WORD_RENDER_REQUEST] = reinterpret_cast<uintptr_t>(rq);
  ctx.word[HCC_WORD_THREAD] = static_cast<uintptr_t>(thread_id);
  ctx.word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(copy);  // for ClipGetValue
  PIC* pic = make(&ctx, data, start, end, time);
  // A text reported past the engine (a service's own failure) counts as the make's error.
  std::string reported(project::ObjectErrorText(&ctx));
  project::ObjectClearError(&ctx);

  Operation op(*this);
  Clock::time_point locked = Clock::now();
  running -= 1;
  makes += 1;
  rq->flags &= ~kRqRunning;
  std::string error = std::move(rq->error);
  rq->error.clear();
  if (error.empty()) error = std::move(reported);
  bool failed = (rq->flags & kRqFailed) != 0;
  if (rq->track == nullptr || (rq->flags & kRqCorrected) != 0) {
    // Invalidated or its track deleted while it ran: nothing it made may be used.
    PicFree(pic);
    rq->flags = (rq->flags & ~(kRqPending | kRqFailed)) | kRqDone;
    for (RenderRequest* in : std::vector<RenderRequest*>(rq->inputs)) Unlink(in, rq);
    Touch(rq);
    Defer(rq);
  } else if (pic != nullptr && PicUsable(pic)) {
    FreeCopy(rq);
    StorePicture(rq, pic);
    if (progress_window != 0) {
      progress_made += 1;
      WindowMessage m = MakeMessage(WindowMessageKind::kProgress, nullptr, rq->track_number, rq->time);
      m.made = progress_made;
      m.set = progress_set;
      if (!Post(progress_window, std::move(m))) progress_window = 0;
    }
    InputsFree(rq);
    Deliver(rq);
    Evict();
  } else if (pic != nullptr || failed || !error.empty()) {
    PicFree(pic);
    rq->flags &= ~kRqFailed;
    FreeCopy(rq);
    Fail(rq, error.empty() ? std::string("Internal error") : error);
  } else if (rq->waited) {
    rq->flags |= kRqPending;  // "wait inputs": picked again once they are there
    PushReady(rq);
  } else {
    // Nothing made, nothing reported, nothing awaited: running it again would spin.
    FreeCopy(rq);
    Fail(rq, "Effect returned no picture");
  }
  if (running == 0 && ready.empty()) mail_cv.notify_all();
  NoteHold(*this, locked);
  return true;
}

int32_t RenderEngine::SetThreads(int32_t count) {
  Impl& e = *impl_;
  std::vector<std::unique_ptr<RenderWorker>> stopped;
  {
    std::lock_guard<std::mutex> lock(e.threads_mutex);
    count = std::clamp(count, 0, kRenderThreadsMax);
    for (const auto& w : e.workers) {
      // A make function cannot stop its own thread: joining it would never return.
      if (w->thread.get_id() == std::this_thread::get_id() &&
          count < static_cast<int32_t>(e.workers.size())) {
        return static_cast<int32_t>(e.workers.size());
      }
    }
    while (static_cast<int32_t>(e.workers.size()) < count) {
      auto w = std::make_unique<RenderWorker>();
      w->id = e.next_thread_id.fetch_add(1);
      RenderWorker* raw = w.get();
      e.workers.push_back(std::move(w));
      raw->thread = std::thread(WorkerMain, &e, raw);
    }
    if (static_cast<int32_t>(e.workers.size()) > count) {
      // Idle threads go first.
      {
        std::lock_guard<std::mutex> wake(e.wake_mutex);
        std::stable_partition(e.workers.begin(), e.workers.end(),
                              [](const auto& w) { return !w->idle; });
      }
      while (static_cast<int32_t>(e.workers.size()) > count) {
        e.workers.back()->quit.store(true);
        stopped.push_back(std::move(e.workers.back()));
        e.workers.pop_back();
      }
      {
        std::lock_guard<std::mutex> wake(e.wake_mutex);
      }
      e.wake_cv.notify_all();
    }
    e.thread_count.store(static_cast<int32_t>(e.workers.size()));
    // A thread that leaves mid-make finishes it first: wait for each, outside the lock.
    for (auto& w : stopped) w->thread.join();
    if (!stopped.empty() && count > 0) e.WakeOne();
  }
  return e.thread_count.load();
}

int32_t RenderEngine::Threads() const { return impl_->thread_count.load(); }

bool RenderEngine::RunOnce() { return impl_->RunOne(0); }

int32_t RenderEngine::RunUntilIdle() {
  int32_t n = 0;
  while (impl_->RunOne(0)) ++n;
  return n;
}

void RenderEngine::Wake() { impl_->WakeOne(); }

}  // namespace lumetra::render
