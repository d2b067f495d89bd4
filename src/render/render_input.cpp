// Host services of make functions: inputs, their release, error reports and user words.
#include <cmath>
#include <unordered_map>

#include "model/clip.h"
#include "host/object_error.h"
#include "model/project.h"
#include "model/pseudo_track.h"
#include "platform/format.h"
#include "render/input_text.h"
#include "render/render_request.h"

namespace lumetra::render {

using project::Clip;
using project::Track;

namespace {

// The running request of a render context, or none.
RenderRequest* ContextRequest(HostCallContext* ctx) {
  if (ctx == nullptr || ctx->word[HCC_WORD_KIND] != HCC_KIND_RENDER) return nullptr;
  return reinterpret_cast<RenderRequest*>(ctx->word[HCC_WORD_RENDER_REQUEST]);
}

int32_t FrameRate(const RenderRequest* rq) {
  return rq->track != nullptr && rq->track->project != nullptr
             ? rq->track->project->settings.time_base
             : 0;
}

// Edit sessions whose dialog receives input pictures, by edited clip; guarded by the render
// lock.
struct EditUser {
  RenderEngine::Impl* engine;
  WindowId window;
};
std::unordered_map<const Clip*, EditUser>& EditUsers() {
  static std::unordered_map<const Clip*, EditUser> users;
  return users;
}

// The edited clip of an edit context (the session's copy names it) and its window.
const EditUser* EditUserOf(const HostCallContext* ctx, const Clip** edited) {
  auto* copy = reinterpret_cast<const Clip*>(ctx->word[HCC_WORD_CLIP]);
  if (copy == nullptr) return nullptr;
  *edited = copy->edited_clip != nullptr ? copy->edited_clip : copy;
  auto found = EditUsers().find(*edited);
  return found != EditUsers().end() ? &found->second : nullptr;
}

// An edit dialog asks: the picture comes to its window as a posted picture, never here.
PIC* EditGetInputFrame(HostCallContext* ctx, int32_t input, float time) {
  project::RenderLockGuard lock(project::RenderLock());
  const auto* copy = reinterpret_cast<const Clip*>(ctx->word[HCC_WORD_CLIP]);
  const Clip* edited = nullptr;
  const EditUser* user = EditUserOf(ctx, &edited);
  if (user == nullptr || edited->track == nullptr || edited->track->project == nullptr) {
    project::ObjectReportError(ctx, "Can't set request from non-clip window");
    return nullptr;
  }
  Track* track = edited->track;
  if (input < 0 || static_cast<std::size_t>(input) >= copy->inputs.size()) {
    project::ObjectReportError(ctx, IllegalInputText(input, copy->process->name.c_str(), track->name,
                                                      copy->start, copy->end,
                                                      track->project->settings.time_base));
    return nullptr;
  }
  Track* entry = copy->inputs[static_cast<std::size_t>(input)];
  Track* source = project::InputResolve(track, entry);
  if (source == nullptr) {
    project::ObjectReportError(ctx, UnassignedInputText(track, entry, input, copy->process->name.c_str()));
    return nullptr;
  }
  const project::ProjectSettings& settings = track->project->settings;
  project::DerivedValues preview = project::ComputeDerivedValues(settings);
  user->engine->SetRequest(source, time, preview.preview_width, preview.preview_height,
                           settings.pixel_aspect, nullptr, user->window);
  return nullptr;
}

int32_t EditFreeInputFrame(HostCallContext* ctx, PIC* picture) {
  project::RenderLockGuard lock(project::RenderLock());
  const Clip* edited = nullptr;
  const EditUser* user = EditUserOf(ctx, &edited);
  if (user == nullptr) {
    project::ObjectReportError(ctx, "Can't free input frame: no clip edit window found :(");
    return 0;
  }
  Operation op(*user->engine);
  return user->engine->FreePicLocked(picture, user->window) ? 1 : 0;
}

}  // namespace

void RenderEngine::SetEditWindow(const project::Clip* clip, WindowId window) {
  Operation op(*impl_);
  if (clip == nullptr) return;
  if (window == 0) {
    EditUsers().erase(clip);
  } else {
    EditUsers()[clip] = EditUser{impl_.get(), window};
  }
}

void ForgetEditWindows(RenderEngine::Impl* engine) {
  project::RenderLockGuard lock(project::RenderLock());
  std::erase_if(EditUsers(), [&](const auto& entry) { return entry.second.engine == engine; });
}

int32_t RenderClipReportError(HostCallContext* ctx, const char* text) {
  RenderRequest* rq = ContextRequest(ctx);
  if (rq == nullptr) return 0;
  Operation op(*rq->engine);
  if (text == nullptr) {
    rq->error.clear();
    project::ObjectClearError(ctx);
    return 1;
  }
  std::string built;
  if (rq->track != nullptr) {
    double frame = static_cast<double>(rq->time) * FrameRate(rq);
    if (std::fabs(frame - std::round(frame)) < 1e-6) {
      built = platform::Format("%s '%s' %s %d (%.2f): %s", "Error on track", rq->track->name,
                               "in frame", static_cast<int>(frame + 0.01),
                               static_cast<double>(rq->time), text);
    } else {
      built = platform::Format("%s '%s' %s %.1f (%.2f): %s", "Error on track", rq->track->name,
                               "in frame", frame, static_cast<double>(rq->time), text);
    }
  }
  if (built.size() > 511) built.resize(511);
  rq->error = built.empty() ? std::string(text).substr(0, 511) : built;
  // The context's copy is plain C memory, freed when the make call returns.
  project::ObjectReportError(ctx, rq->error);
  return 1;
}

int32_t RenderCheckAbort(HostCallContext* ctx) {
  RenderRequest* rq = ContextRequest(ctx);
  if (rq == nullptr) return 0;
  Operation op(*rq->engine);
  if (rq->track != nullptr && (rq->flags & (kRqCorrected | kRqFailed)) == 0) return 0;
  rq->error.clear();
  project::ObjectClearError(ctx);
  return 1;
}

PIC* GetInputFrame(HostCallContext* ctx, int32_t input, float time) {
  if (ctx != nullptr && ctx->word[HCC_WORD_KIND] == HCC_KIND_EDIT) {
    return EditGetInputFrame(ctx, input, time);
  }
  RenderRequest* rq = ContextRequest(ctx);
  if (rq == nullptr) return nullptr;
  RenderEngine::Impl& e = *rq->engine;
  Operation op(e);
  if ((rq->flags & (kRqCorrected | kRqFailed)) != 0 || rq->track == nullptr) {
    project::ObjectClearError(ctx);
    return nullptr;
  }
  if ((rq->flags & kRqRunning) == 0 || rq->clip_copy == nullptr) {
    RenderClipReportError(ctx, "Internal error");
    return nullptr;
  }
  const project::Clip* clip = rq->clip_copy;
  const char* effect = clip->process->name.c_str();
  if (input < 0 || static_cast<std::size_t>(input) >= clip->inputs.size()) {
    RenderClipReportError(ctx, IllegalInputText(input, effect, rq->track->name, clip->start,
                                                clip->end, FrameRate(rq))
                                   .c_str());
    return nullptr;
  }
  Track* entry = clip->inputs[static_cast<std::size_t>(input)];
  Track* source = project::InputResolve(rq->track, entry);
  if (source == nullptr) {
    RenderClipReportError(ctx, UnassignedInputText(rq->track, entry, input, effect).c_str());
    return nullptr;
  }
  e.RecordUsage(rq, input, time);
  auto set = e.SetRequest(source, time, rq->width, rq->height, rq->aspect, rq, 0);
  switch (set.result) {
    case kRenderAvailable: {
      PIC* pic = e.Picture(set.request);
      BackRef* ref = e.FindRef(set.request, rq, 0);
      if (pic == nullptr || ref == nullptr) {
        RenderClipReportError(ctx, "Internal error");
        return nullptr;
      }
      ref->count += 1;
      e.Touch(set.request);
      return pic;
    }
    case kRenderRefused:
      RenderClipReportError(ctx, InputLoopText(source->name).c_str());
      return nullptr;
    case kRenderPending:
      rq->waited = true;
      return nullptr;
    default:
      return nullptr;  // the input failed and so did this request
  }
}

int32_t FreeInputFrame(HostCallContext* ctx, PIC* picture) {
  if (ctx != nullptr && ctx->word[HCC_WORD_KIND] == HCC_KIND_EDIT && picture != nullptr) {
    return EditFreeInputFrame(ctx, picture);
  }
  RenderRequest* rq = ContextRequest(ctx);
  if (rq == nullptr || picture == nullptr) return 0;
  RenderEngine::Impl& e = *rq->engine;
  Operation op(e);
  for (RenderRequest* in : rq->inputs) {
    RenderRequest* src = e.Source(in);
    if (src == nullptr || src->picture != picture) continue;
    BackRef* ref = e.FindRef(in, rq, 0);
    if (ref == nullptr || ref->count < 1) return 0;
    ref->count -= 1;
    e.Touch(in);
    e.Defer(in);
    return 1;
  }
  return 0;
}

intptr_t RequestGetUserWord(HostCallContext* ctx) {
  RenderRequest* rq = ContextRequest(ctx);
  if (rq == nullptr) return 0;
  Operation op(*rq->engine);
  return rq->user_word;
}

int32_t RequestSetUserWord(HostCallContext* ctx, intptr_t word) {
  RenderRequest* rq = ContextRequest(ctx);
  if (rq == nullptr) return 0;
  Operation op(*rq->engine);
  rq->user_word = word;
  rq->engine->Touch(rq);
  rq->engine->Defer(rq);
  return 1;
}

}  // namespace lumetra::render
