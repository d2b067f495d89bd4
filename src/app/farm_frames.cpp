// Frames read back through their input format; the probe of a format's exactness; the movie.
#include "app/farm_frames.h"

#include <algorithm>
#include <array>
#include <optional>

#include "app/app_hooks.h"
#include "app/project_store.h"
#include "app/render_output.h"
#include "app/track_sound_source.h"
#include "host/library_loader.h"
#include "host/object_error.h"
#include "media/format_registry.h"
#include "media/media_load.h"
#include "model/project.h"
#include "model/track.h"
#include "output/movie_assembly.h"
#include "output/output_get_value.h"
#include "output/output_validate.h"
#include "platform/file_ops.h"
#include "platform/system_paths.h"
#include "render/pic.h"

namespace lumetra::app {
namespace {

constexpr int32_t kProbeSide = 16;  // 16 x 16 x 4 bytes: every byte value four times

std::size_t PixelBytes(const PIC& pic) {
  return static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(pic.height) * 4;
}

render::PicPtr ReadFrame(const std::string& file, std::string* error) {
  HostCallContext ctx{};
  render::PicPtr pic(media::MediaLoadImage(&ctx, file.c_str(), "", 0));
  if (!render::PicUsable(pic.get())) {
    const std::string why(project::ObjectErrorText(&ctx));
    if (error != nullptr) *error = why.empty() ? "no picture" : why;
    pic.reset();
  }
  project::ObjectClearError(&ctx);
  return pic;
}

// The manifest's hash of a frame file: the digest of its pixels as read back.
std::string PixelHash(const std::string& file, std::string* error) {
  render::PicPtr pic = ReadFrame(file, error);
  return pic ? PixelDigest(pic.get()) : std::string();
}

}  // namespace

void LoadFarmLibraries() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  StartHeadlessTool();
  const platform::ProgramLocation where = platform::SplitProgramPath(platform::ProgramPath());
  project::LibraryLoadFolders(project::LibraryFolders(where.home));
}

bool FormatKeepsPixels(const project::OutputFormat& format, const std::string& folder) {
  if (format.image_saver == nullptr) return false;
  render::PicPtr probe(render::PicCreate(kProbeSide, kProbeSide));
  if (!probe) return false;
  const std::size_t bytes = PixelBytes(*probe);
  for (std::size_t i = 0; i < bytes; ++i) probe->pixels[i] = static_cast<uint8_t>(i * 37 + 11);
  output::OutputSettings s;
  output::OutputComponent& video = s.components[output::kComponentVideo];
  video.SetFormat(&format);
  s.width = s.height = kProbeSide;
  HostCallContext ctx = output::OutputContext(&s);
  const std::string file = folder + "/.format-probe." + format.ext;
  uintptr_t stream = format.image_start != nullptr ? format.image_start(&ctx, video.params.get())
                                                   : 0;
  const bool saved = format.image_saver(&ctx, video.params.get(), stream, probe.get(),
                                        file.c_str(), "VideoStream", 0) == 1;
  if (format.image_finish != nullptr) format.image_finish(&ctx, video.params.get(), stream);
  project::ObjectClearError(&ctx);
  bool same = false;
  if (saved) {
    render::PicPtr back = ReadFrame(file, nullptr);
    same = back && back->width == kProbeSide && back->height == kProbeSide &&
           std::equal(probe->pixels, probe->pixels + bytes, back->pixels);
  }
  platform::RemoveFile(file);
  return same;
}

std::size_t VerifyFarmFrames(const FarmPlan& plan, FarmFrames& frames) {
  LoadFarmLibraries();
  const project::OutputFormat* format =
      media::OutputFormatFind(media::FileExtension(plan.pattern));
  const bool exact = format != nullptr && FormatKeepsPixels(*format, plan.farm_dir);
  if (exact) return VerifyFrameHashes(frames, PixelHash);
  return VerifyFrameHashes(
      frames,
      [](const std::string& file, std::string* error) {
        return ReadFrame(file, error) ? std::string("readable") : std::string();
      },
      false);
}

std::string AssembleFarmMovie(const FarmPlan& plan, int32_t* frames_written) {
  *frames_written = 0;
  LoadFarmLibraries();
  const project::OutputFormat* format = media::OutputFormatFind(media::FileExtension(plan.movie));
  if (format == nullptr) return "no output format for " + plan.movie;
  const LoadResult loaded = Store().Load(plan.project, project::kLoadMaskLoad);
  project::Project* p = project::CurrentProject();
  if (loaded.status != LoadStatus::kLoaded || p == nullptr)
    return "the project " + plan.project + " did not load: " + loaded.error;
  project::Track* track = p->first_track;
  if (plan.track >= 0) {
    for (track = p->first_track; track != nullptr && track->number != plan.track;)
      track = track->next;
    if (track == nullptr) return "the project has no track " + std::to_string(plan.track);
  }
  const std::optional<OutputPattern> name = ParseOutputPattern(plan.movie);
  if (!name) return OutputPatternProblem(plan.movie);
  output::OutputSettings s;
  output::OutputComponent& video = s.components[output::kComponentVideo];
  video.SetFormat(format);
  video.path = name->directory;
  video.base_name = name->base_name;
  s.aspect = p->settings.pixel_aspect > 0 ? p->settings.pixel_aspect : 1.0f;
  if (p->settings.sampling_rate > 0) s.sample_rate = p->settings.sampling_rate;
  if (p->settings.channels > 0) s.channels = p->settings.channels;
  if (p->settings.bytes_per_sample > 0) s.bytes_per_sample = p->settings.bytes_per_sample;
  output::AssemblyRequest request;
  request.project = p;
  request.track = track;
  request.first = plan.frames.first;
  request.last = plan.frames.last;
  request.frame = [&plan](int32_t n, std::string* error) {
    return ReadFrame(FrameFileName(plan.pattern, n), error).release();
  };
  TrackSoundSource sound;
  request.sound = &sound;
  StderrSessionObserver observer;
  output::SetCurrentOutputSettings(&s);
  const output::SessionOutcome r = output::AssembleMovie(s, request, observer);
  output::SetCurrentOutputSettings(nullptr);
  *frames_written = r.frames_saved;
  if (!r.ok()) return r.message.empty() ? std::string("the movie could not be written") : r.message;
  return {};
}

MovieFacts ReadMovieFacts(const std::string& file) {
  MovieFacts facts;
  const project::InputFormat* f = media::InputFormatFind(media::FileExtension(file));
  if (f == nullptr || f->image_informator == nullptr) {
    facts.error = "no input format reads " + file;
    return facts;
  }
  alignas(8) std::array<uint8_t, 256> info{};
  HostCallContext ctx{};
  int32_t first = 0, last = -1, bits = 0, channels = 0;
  if (f->image_informator(&ctx, file.c_str(), info.data(), &first, &last, &facts.width,
                          &facts.height, &bits, &channels) != 1) {
    facts.error = std::string(project::ObjectErrorText(&ctx));
    if (facts.error.empty()) facts.error = "it holds no picture";
  }
  facts.frames = last - first + 1;
  project::ObjectClearError(&ctx);
  int32_t rate = 0, sound_channels = 0;
  if (f->sound_informator != nullptr &&
      f->sound_informator(&ctx, file.c_str(), info.data(), &first, &last, &rate, &sound_channels,
                          &bits) == 1) {
    facts.sample_rate = rate;
    facts.channels = sound_channels;
  }
  project::ObjectClearError(&ctx);
  return facts;
}

}  // namespace lumetra::app
