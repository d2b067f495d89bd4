// The movie of a finished frame set: start, every frame saved in order, finish, sound pass.
#include "output/movie_assembly.h"

#include "host/object_error.h"
#include "output/output_validate.h"
#include "output/sound_pass.h"
#include "platform/file_ops.h"
#include "platform/format.h"
#include "render/pic.h"

namespace lumetra::output {

SessionOutcome AssembleMovie(OutputSettings& s, const AssemblyRequest& req,
                             SessionObserver& observer) {
  SessionOutcome out;
  auto fail = [&](uint32_t bit, const std::string& text) {
    out.error_bits |= bit;
    if (out.message.empty()) out.message = text;
    observer.Message(text);
    return out;
  };
  OutputComponent& video = s.components[kComponentVideo];
  const project::OutputFormat* format = video.format;
  project::Project* p = req.project;
  if (p == nullptr || format == nullptr || format->image_saver == nullptr || !req.frame ||
      req.last < req.first)
    return fail(kErrorStart, "Movie assembly: no project, movie format, frames or range.");
  project::Track* track = req.track != nullptr ? req.track : p->first_track;
  const bool with_sound = req.sound != nullptr && format->sound_saver != nullptr &&
                          (format->flags & kFormatCarriesSound) != 0 && track != nullptr;
  const int32_t fps = p->settings.time_base > 0 ? p->settings.time_base : 25;
  s.time_base = fps;
  s.step = 1;
  s.from = req.first;
  s.to = req.last;
  s.flags = (s.flags & ~(kOutputSound | kOutputJoinAudio)) | kOutputVideo | kOutputOverwrite;
  if (with_sound) {
    // Joined: the sound pass hands its chunks to the movie the video pass left open.
    s.components[kComponentSound].SetFormat(format);
    s.flags |= kOutputSound | kOutputJoinAudio;
  }
  HostCallContext ctx = OutputContext(&s);
  const FrameRange range{req.first, req.last};
  // The size the movie is opened with is the first picture's; the checks want it set.
  PIC* pending = nullptr;
  {
    std::string why;
    pending = req.frame(req.first, &why);
    if (pending == nullptr)
      return fail(kErrorRender, platform::Format("Movie assembly: frame %d: %s", req.first,
                                                 why.c_str()));
    s.width = pending->width;
    s.height = pending->height;
  }
  if (std::string e = ValidateOutputSettings(s, range, &ctx); !e.empty()) {
    render::PicFree(pending);
    return fail(kErrorStart, e);
  }
  out.started = true;
  const std::string name = OutputFullFileName(s, req.first, kComponentVideo, kRangeGiven);
  uintptr_t stream = 0;
  if (format->image_start != nullptr) {
    project::ObjectClearError(&ctx);
    stream = format->image_start(&ctx, video.params.get());
    if (std::string e = ContextErrorText(&ctx); !e.empty()) {
      render::PicFree(pending);
      return fail(kErrorStart, "Output file save error:\n\n" + e);
    }
  }
  for (int32_t n = req.first; n <= req.last; ++n) {
    std::string why;
    PIC* pic = n == req.first ? pending : req.frame(n, &why);
    if (pic != nullptr && (pic->width != s.width || pic->height != s.height)) {
      why = platform::Format("it is %dx%d, not %dx%d", pic->width, pic->height, s.width,
                             s.height);
      render::PicFree(pic);
      pic = nullptr;
    }
    if (pic == nullptr) {
      // No picture makes the format drop the movie it began.
      project::ObjectClearError(&ctx);
      format->image_saver(&ctx, video.params.get(), stream, nullptr, name.c_str(),
                          "VideoStream", n);
      fail(kErrorRender, platform::Format("Movie assembly: frame %d: %s", n, why.c_str()));
      break;
    }
    project::ObjectClearError(&ctx);
    const bool saved =
        format->image_saver(&ctx, video.params.get(), stream, pic, name.c_str(), "VideoStream",
                            n) == 1;
    render::PicFree(pic);
    if (!saved) {
      const std::string e = ContextErrorText(&ctx);
      fail(kErrorFrameSave, platform::Format("Frame #%d Save error:\n\n%s", n,
                                             e.empty() ? "Unrecognized error." : e.c_str()));
      break;
    }
    ++out.frames_saved;
  }
  if (format->image_finish != nullptr) {
    project::ObjectClearError(&ctx);
    // After a failed frame the format drops the movie; finishing releases its stream.
    format->image_finish(&ctx, video.params.get(), stream);
    if (std::string e = ContextErrorText(&ctx); !e.empty() && out.error_bits == 0)
      fail(kErrorFinish, "Image save error:\n\n" + e);
  }
  if (with_sound && out.error_bits == 0) {
    SoundPassInput in{s, track, p, kRangeGiven, req.first, req.last, fps, req.sound};
    SoundPassResult r = RunSoundPass(in, observer, [] { return false; });
    if (r.error_bits != 0) {
      // The format closes the movie whatever the sound did: one without its sound goes.
      platform::RemoveFile(name);
      fail(r.error_bits, r.message);
    }
  }
  project::ObjectClearError(&ctx);
  return out;
}

}  // namespace lumetra::output
