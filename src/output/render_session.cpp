// The render session's video pass: start, request, picture, save, next, finish.
#include "output/render_session.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "host/object_error.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "output/frame_writer.h"
#include "output/output_validate.h"
#include "output/sound_pass.h"
#include "platform/file_ops.h"
#include "platform/format.h"
#include "platform/launcher.h"
#include "platform/message_queue.h"
#include "platform/system_info.h"
#include "platform/system_paths.h"
#include "render/pic.h"
#include "render/pic_field.h"

namespace lumetra::output {
namespace {

using platform::Format;

std::atomic<bool> g_running{false};
project::Track* g_last_track = nullptr;

std::string Clock3(double seconds) {
  const int64_t t = seconds > 0 ? static_cast<int64_t>(seconds) : 0;
  return Format("%.2d:%.2d:%.2d", static_cast<int>(t / 3600), static_cast<int>(t / 60 % 60),
                static_cast<int>(t % 60));
}

bool TrackInProject(project::Project* p, project::Track* t) {
  for (project::Track* x = p->first_track; x != nullptr; x = x->next)
    if (x == t) return true;
  return false;
}

}  // namespace

struct RenderSession::Impl {
  RenderSession& self;
  SessionRequest req;
  SessionOutcome out;
  HostCallContext ctx{};
  render::WindowId window = 0;
  project::Track* track = nullptr;
  int32_t fps = 25;
  RangeMode mode = kRangeProject;
  int32_t first = 0, last = 0;
  float current = 0;
  float requested_time = 0;
  bool request_pending = false;
  uintptr_t stream = 0;
  PIC* held = nullptr;
  std::unique_ptr<FrameWriter> writer;
  int32_t to_make = 0;
  int32_t retries = kRenderRetries;
  int32_t countdown = kRetryWaitSeconds;
  double next_tick = 0;
  double started_at = 0, last_saved_at = 0;
  bool video_done = false;

  explicit Impl(RenderSession& s) : self(s) {}

  OutputSettings& S() { return self.settings_; }
  SessionObserver& Obs() { return self.observer_; }

  void Fail(uint32_t bit, const std::string& text) {
    out.error_bits |= bit;
    Say(text);
  }
  void Say(const std::string& text) {
    if (out.message.empty()) out.message = text;
    Obs().Message(text);
  }

  std::string FreeSpaceLine(int32_t component) {
    auto bytes = platform::FreeDiskSpace(NativePath(S().components[component].path));
    if (!bytes) return {};
    return Format("Output drive free space:  %d Mb", static_cast<int>(*bytes >> 20));
  }

  std::string FrameLine() {
    if (mode == kRangeCurrent) return Format("Single frame:  %.1f", current);
    return Format("Frame:  %.1f  (from  %d  to  %d,  step  %d)", current, first, last, S().step);
  }

  // Steps 1 to 6 of starting, and the validation; false with the message when refused.
  bool Prepare() {
    project::Project* p = req.project;
    if (p == nullptr || p->first_track == nullptr) {
      Say("Project has no tracks to render.");
      return false;
    }
    OutputSettings& s = S();
    fps = p->settings.time_base > 0 ? p->settings.time_base : 25;
    s.time_base = fps;
    if (req.overwrite_override != -1)
      s.flags = req.overwrite_override ? s.flags | kOutputOverwrite : s.flags & ~kOutputOverwrite;
    if (req.fields_override != -1)
      s.flags = req.fields_override ? s.flags | kOutputFields : s.flags & ~kOutputFields;
    if (req.field_order_override != -1)
      s.flags = req.field_order_override ? s.flags | kOutputLowerFieldFirst
                                         : s.flags & ~kOutputLowerFieldFirst;
    const OutputComponent& video = s.components[kComponentVideo];
    const OutputComponent& sound = s.components[kComponentSound];
    if (((s.flags & kOutputVideo) && !video.ParamsReady()) ||
        ((s.flags & kOutputSound) && sound.format == nullptr)) {
      Say("Output file format settings are invalid.");
      return false;
    }
    FrameRange range;
    if (req.current_only) {
      mode = kRangeCurrent;
      range.first = range.last = FrameOfTime(req.current_time, fps);
    } else if (req.start >= 0) {
      mode = kRangeGiven;
      range = FramesOfSpan(req.start, req.end, fps);
    } else {
      mode = kRangeProject;
      range = FramesOfSpan(p->active_start, p->active_end, fps);
    }
    if (std::string e = ValidateOutputSettings(s, range, &ctx); !e.empty()) {
      Say(e);
      return false;
    }
    const bool joined = (s.flags & kOutputJoinAudio) != 0;
    if ((s.flags & kOutputVideo) && video.path.empty()) {
      Say("No output path defined for Video component.");
      return false;
    }
    if ((s.flags & kOutputSound) && !joined && sound.path.empty()) {
      Say("No output path defined for Sound component.");
      return false;
    }
    if ((s.flags & kOutputVideo) && !platform::IsReadWriteDirectory(NativePath(video.path))) {
      Say("Output path for Video component could not be found or is read only.");
      return false;
    }
    if ((s.flags & kOutputSound) && !joined &&
        !platform::IsReadWriteDirectory(NativePath(sound.path))) {
      Say("Output path for Sound component could not be found or is read only.");
      return false;
    }
    first = range.first;
    last = range.last;
    if (s.step < 0) std::swap(first, last);
    current = static_cast<float>(first);
    s.from = first;
    s.to = last;
    track = req.track;
    if (track == nullptr || !TrackInProject(p, track))
      track = g_last_track != nullptr && TrackInProject(p, g_last_track) ? g_last_track
                                                                        : p->first_track;
    g_last_track = track;
    return true;
  }

  // The frames to make are counted once, at the start.
  bool Skip(bool count) {
    SkipResult r = SkipExistingFrames(S(), kComponentVideo, current, first, last, mode,
                                      [](const std::string& f) { return platform::FileExists(f); });
    if (count) to_make = r.to_make;
    current = r.current;
    return !r.all_exist;
  }

  void StatusLines() {
    const OutputSettings& s = S();
    const OutputComponent& v = s.components[kComponentVideo];
    Obs().Line(0, Format("Track: %s  %s   %d x %d", track->name,
                         track == req.project->first_track ? "(final)" : "", s.width, s.height));
    Obs().Line(1, Format("Result: %s/%s.%s", NativePath(v.path).c_str(), v.base_name.c_str(),
                         v.format->ext));
    Obs().Line(2, FrameLine());
    Obs().Line(3, Format("Fields: %s      Replace: %s", (s.flags & kOutputFields) ? "YES" : "no",
                         (s.flags & kOutputOverwrite) ? "YES" : "no"));
    Obs().Line(4, FreeSpaceLine(kComponentVideo));
  }

  // Asks for the current frame (or field); false when the engine refused.
  bool Request() {
    Obs().Status("Rendering frame...");
    requested_time = current / static_cast<float>(fps);
    const OutputSettings& s = S();
    const int32_t r = self.engine_.SetRequest(track, requested_time, s.width, s.height, s.aspect,
                                              window);
    if (r == render::kRenderRefused) {
      request_pending = false;
      Fail(kErrorRequest, "Render:\nSetRequest Error");
      return false;
    }
    request_pending = true;
    return true;
  }

  void CancelPending() {
    if (request_pending) self.engine_.Cancel(track, requested_time, window);
    request_pending = false;
  }

  // Saves a job's frame through the format (a writer thread or the session's).
  bool SaveJob(const FrameJob& job, std::string* error) {
    OutputComponent& v = S().components[kComponentVideo];
    HostCallContext c = OutputContext(&S());
    const bool ok = v.format->image_saver != nullptr &&
                    v.format->image_saver(&c, v.params.get(), stream, job.pic, job.file.c_str(),
                                          "VideoStream", job.frame) == 1;
    if (!ok) *error = ContextErrorText(&c);
    project::ObjectClearError(&c);
    return ok;
  }

  void StartWriter() {
    const OutputComponent& v = S().components[kComponentVideo];
    // A stream sees its frames in order on one thread; numbered files go in parallel.
    const bool parallel =
        (v.format_flags & kFormatNumberedFiles) && v.format->image_start == nullptr;
    const int32_t threads =
        std::max(0, parallel ? req.write_threads : std::min(req.write_threads, 1));
    const uint64_t bytes = uint64_t{4} * std::max(S().width, 1) * std::max(S().height, 1);
    writer = std::make_unique<FrameWriter>(
        threads, FrameWriterDepth(threads, bytes),
        [this](const FrameJob& j, std::string* e) { return SaveJob(j, e); },
        [this](const FrameJob& j) { return Obs().FrameNote(j.pic); });
  }

  void Release(const PIC* pic, bool owned) {
    if (pic == nullptr) return;
    if (owned)
      render::PicFree(const_cast<PIC*>(pic));
    else
      self.engine_.FreePic(pic, window);
  }

  // Hands a complete frame (released here) to the writers; false when the session must end.
  bool Save(const PIC* frame, bool owned) {
    const int32_t n = static_cast<int32_t>(std::floor(current));
    bool go_on = true;
    while (go_on && writer->Full()) go_on = Deliver(*writer->Take(true));
    if (!go_on) {
      Release(frame, owned);
      return false;
    }
    writer->Submit({n, OutputFullFileName(S(), n, kComponentVideo, mode), frame, owned});
    return DeliverReady();
  }

  bool DeliverReady() {
    while (std::optional<FrameResult> r = writer->Take(false))
      if (!Deliver(std::move(*r))) return false;
    return true;
  }

  // Every job still out; after a stop or a save error the ones no writer took are dropped
  // (frames before a render error are still worth their files).
  void DrainWriter() {
    if (writer == nullptr) return;
    if (self.state_ == RunState::kStopping || (out.error_bits & kErrorFrameSave)) writer->Cancel();
    while (std::optional<FrameResult> r = writer->Take(true)) Deliver(std::move(*r));
    writer.reset();
  }

  // A job back from the writers, in frame order: a save error asks Retry or Cancel
  // (interactively, saving again here) or fails the session; false when it must end.
  bool Deliver(FrameResult r) {
    const FrameJob& job = r.job;
    bool ok = r.written;
    std::string why = r.error;
    while (r.started && !ok) {
      const std::string text =
          why.empty() ? Format("Frame #%d Save error:\n\nUnrecognized error.", job.frame)
                      : Format("Frame #%d Save error:\n\n%s", job.frame, why.c_str());
      if (req.offline || self.state_ == RunState::kStopping || out.error_bits != 0 ||
          Obs().AskRetry(text) == RetryAnswer::kCancel) {
        Fail(kErrorFrameSave, text);
        break;
      }
      why.clear();
      if ((ok = SaveJob(job, &why))) r.note = Obs().FrameNote(job.pic);
    }
    if (ok) Saved(job, r.note);
    Release(job.pic, job.owned);
    return ok || !r.started;
  }

  void Saved(const FrameJob& job, const std::string& note) {
    ++out.frames_saved;
    Obs().FrameSaved(job.frame, job.file, job.pic, note);
    Obs().Status("Computing time...");
    const double now = self.clock_.Seconds();
    const double elapsed = now - started_at;
    const int32_t left = std::max(0, to_make - out.frames_saved);
    const double remaining = out.frames_saved > 0 ? left * elapsed / out.frames_saved : 0;
    Obs().Line(4, "Last frame time: " + Clock3(now - last_saved_at) + ",    Elapsed: " +
                      Clock3(elapsed) + ",    Remaining: " + Clock3(remaining));
    last_saved_at = now;
    SessionProgress pr;
    pr.frame = job.frame;
    pr.done = out.frames_saved;
    pr.of = to_make;
    pr.elapsed_s = elapsed;
    pr.fps = elapsed > 0 ? out.frames_saved / elapsed : 0;
    pr.eta_s = remaining;
    Obs().Progress(pr);
  }

  // The next frame or field; false when the video pass is done.
  bool Next(bool complete) {
    const int32_t step = S().step;
    if (!complete) {
      current += 0.5f;
    } else {
      // Done once the frame just saved is the last one the step reaches (never past it).
      const int64_t n = static_cast<int64_t>(std::floor(current));
      const int64_t next = n + step;
      if (step > 0 ? next > last : next < last) return false;
      current = static_cast<float>(next);
      if (!Skip(false)) return false;
    }
    Obs().Line(2, FrameLine());
    Obs().Line(4, FreeSpaceLine(kComponentVideo));
    return Request();
  }

  // A picture for the current request; false when the video pass ends.
  bool OnPicture(PIC* pic) {
    request_pending = false;
    Obs().Status("Saving frame...");
    retries = req.retries;
    const OutputSettings& s = S();
    const PIC* frame = pic;
    bool owned = false, complete = true;
    if (s.flags & kOutputFields) {
      if (current != std::floor(current)) {
        render::PicWeaveField(held, pic, (s.flags & kOutputLowerFieldFirst) ? 1 : 0);
        self.engine_.FreePic(pic, window);
        frame = held;
        owned = true;
        held = nullptr;  // the writers own the woven frame now
      } else {
        if (held != nullptr) render::PicFree(held);
        held = render::PicCopy(pic);
        self.engine_.FreePic(pic, window);
        pic = nullptr;
        if (held == nullptr) {
          Fail(kErrorRender, "Render error:\nNo memory");
          return false;
        }
        complete = false;
      }
    }
    if (complete && !Save(frame, owned)) return false;
    return Next(complete);
  }

  // A render error for the current request; false when the video pass ends.
  bool OnRenderError(const std::string& text) {
    request_pending = false;
    Obs().Status("Render Error");
    const std::string shown =
        text.empty() ? "Render:\nUnknown error!\n\nPlease inform us if this happened." : text;
    if (req.offline) {
      if (retries <= 0) {
        Fail(kErrorRender, shown);
        return false;
      }
      Obs().Message(shown);
      self.state_ = RunState::kWaitingRetry;
      countdown = req.retry_wait_s;
      next_tick = self.clock_.Seconds() + 1;
      Obs().Status(Format("Render Error. Retry in %d seconds.", countdown));
      return true;
    }
    if (Obs().AskRetry(shown) == RetryAnswer::kRetry) return Request();
    Fail(kErrorRender, shown);
    return false;
  }

  // One second of the retry countdown; false when the video pass ends.
  bool Tick() {
    const double now = self.clock_.Seconds();
    if (now < next_tick) {
      self.clock_.Sleep(std::min(next_tick - now, 0.1));
      return true;
    }
    next_tick += 1;
    --countdown;
    if (countdown > 0) {
      Obs().Status(Format("Render Error. Retry in %d seconds.", countdown));
      return true;
    }
    --retries;
    countdown = req.retry_wait_s;
    self.state_ = RunState::kRunning;
    return Request();
  }

  void Poll() {
    if (self.queue_ != nullptr) self.queue_->RunPending();
    if (self.stop_flag_ != nullptr && self.stop_flag_->load() &&
        self.state_ != RunState::kStopping)
      self.Stop();
  }

  void VideoPass() {
    OutputComponent& v = S().components[kComponentVideo];
    if (!Skip(true)) {
      out.nothing_to_do = true;
      Say("All requested frames are already exist");
      return;
    }
    StatusLines();
    if (v.format->image_start != nullptr) {
      project::ObjectClearError(&ctx);
      stream = v.format->image_start(&ctx, v.params.get());
      if (std::string e = ContextErrorText(&ctx); !e.empty()) {
        Fail(kErrorStart, "Output file save error:\n\n" + e);
        return;
      }
    }
    StartWriter();
    if (Request()) Loop();
    FinishVideo();
  }

  void Loop() {
    for (;;) {
      Poll();
      if (self.state_ == RunState::kStopping) {
        CancelPending();
        out.interrupted = true;
        return;
      }
      if (self.state_ == RunState::kPaused) {
        self.clock_.Sleep(0.05);
        continue;
      }
      if (self.state_ == RunState::kWaitingRetry) {
        if (!Tick()) return;
        continue;
      }
      if (!DeliverReady()) return;
      if (!request_pending) {
        if (!Request()) return;
        continue;
      }
      std::optional<render::WindowMessage> m = self.engine_.TakeMessage(window, true);
      if (!m) {
        if (!OnRenderError({})) return;
        continue;
      }
      switch (m->kind) {
        case render::WindowMessageKind::kPicture:
          if (m->picture == nullptr) break;
          if (self.state_ == RunState::kStopping || m->track != track->number ||
              std::fabs(m->time - requested_time) > 1e-6f) {
            self.engine_.FreePic(m->picture, window);
            break;
          }
          if (!OnPicture(m->picture)) return;
          break;
        case render::WindowMessageKind::kError:
          if (std::fabs(m->time - requested_time) > 1e-6f) break;
          if (!OnRenderError(m->text)) return;
          break;
        case render::WindowMessageKind::kDropped:
          if (!Request()) return;
          break;
        case render::WindowMessageKind::kRegionChanged:
        case render::WindowMessageKind::kProgress:
          break;
      }
    }
  }

  void FinishVideo() {
    DrainWriter();
    if (held != nullptr) {
      render::PicFree(held);
      held = nullptr;
    }
    OutputComponent& v = S().components[kComponentVideo];
    Obs().Status("Assembling output video...");
    if (v.format->image_finish != nullptr && !(out.error_bits & kErrorStart)) {
      project::ObjectClearError(&ctx);
      v.format->image_finish(&ctx, v.params.get(), stream);
      if (std::string e = ContextErrorText(&ctx); !e.empty())
        Fail(kErrorFinish, "Image save error:\n\n" + e);
    }
    video_done = true;
  }

  void SoundPassIfWanted() {
    OutputSettings& s = S();
    if (!(s.flags & kOutputSound) || out.interrupted) return;
    const OutputComponent& sound = s.components[kComponentSound];
    if (sound.format == nullptr || sound.format->sound_saver == nullptr) return;
    if (out.error_bits != 0) {
      const bool joined = (s.flags & kOutputJoinAudio) != 0;
      const bool start_or_finish = (out.error_bits & (kErrorStart | kErrorFinish)) != 0;
      if (req.offline || joined || start_or_finish) return;
      if (Obs().AskRetry("Image render error occured.\nContinue rendering sound ?") !=
          RetryAnswer::kRetry)
        return;
    }
    SoundPassInput in{s, track, req.project, mode, first, last, fps, self.sound_source_};
    SoundPassResult r = RunSoundPass(in, Obs(), [this] {
      Poll();
      return self.state_ == RunState::kStopping;
    });
    if (r.stopped) out.interrupted = true;
    if (r.error_bits != 0) Fail(r.error_bits, r.message);
  }

  void End() {
    const OutputSettings& s = S();
    if (!req.offline && (s.flags & kOutputViewer) && out.frames_saved > 0) {
      const int32_t c = (s.flags & kOutputVideo) ? kComponentVideo : kComponentSound;
      const std::string file = OutputFullFileName(s, first, c, mode);
      if (out.error_bits == 0 ||
          Obs().AskRetry("There was a render error.\nRun External Viewer anyway ?") ==
              RetryAnswer::kRetry)
        platform::OpenWithViewer(file);
    }
    Obs().Status("Total rendering time: " + Clock3(self.clock_.Seconds() - started_at));
  }
};

RenderSession::RenderSession(render::RenderEngine& engine, OutputSettings& settings,
                             SessionObserver& observer, SessionClock& clock)
    : engine_(engine), settings_(settings), observer_(observer), clock_(clock) {}

RenderSession::~RenderSession() = default;

bool RenderSession::AnyRunning() { return g_running.load(); }

SessionOutcome RenderSession::Run(const SessionRequest& request) {
  bool expected = false;
  if (!g_running.compare_exchange_strong(expected, true)) {
    SessionOutcome refused;
    refused.message = "A render is already in progress.";
    observer_.Message(refused.message);
    return refused;
  }
  Impl impl(*this);
  impl_ = &impl;
  impl.req = request;
  impl.retries = request.retries;
  impl.ctx = OutputContext(&settings_);
  state_ = RunState::kRunning;
  if (impl.Prepare()) {
    impl.out.started = true;
    impl.window = engine_.OpenWindow();
    impl.started_at = impl.last_saved_at = clock_.Seconds();
    if (settings_.flags & kOutputVideo) impl.VideoPass();
    if (!impl.out.nothing_to_do) impl.SoundPassIfWanted();
    engine_.CloseWindow(impl.window);
    impl.End();
  }
  project::ObjectClearError(&impl.ctx);
  impl_ = nullptr;
  g_running.store(false);
  return impl.out;
}

void RenderSession::Pause() {
  if (state_ != RunState::kRunning) return;
  state_ = RunState::kPaused;
  if (impl_ != nullptr) {
    impl_->CancelPending();
    observer_.Status("Render paused. Press button to continue.");
  }
}

void RenderSession::Continue() {
  if (state_ != RunState::kPaused && state_ != RunState::kWaitingRetry) return;
  state_ = RunState::kRunning;
  if (impl_ != nullptr) impl_->countdown = impl_->req.retry_wait_s;
  // The loop asks for the frame again: nothing is pending after a pause or an error.
}

void RenderSession::Stop() {
  state_ = RunState::kStopping;
  if (impl_ != nullptr && !impl_->video_done && impl_->out.started)
    impl_->Obs().Status("Stopping rendering...");
}

}  // namespace lumetra::output
