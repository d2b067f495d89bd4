// Offline rendering: Render Last with the stored render settings, and "--render".
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>

#include "app/app_hooks.h"
#include "app/app_state.h"
#include "app/exit_status.h"
#include "app/project_store.h"
#include "app/render_output.h"
#include "app/settings.h"
#include "app/track_sound_source.h"
#include "host/host_services.h"
#include "host/library_loader.h"
#include "host/typed_object.h"
#include "model/project.h"
#include "model/track.h"
#include "app/options_store.h"
#include "media/format_registry.h"
#include "output/output_get_value.h"
#include "platform/atomic_write.h"
#include "platform/stop_signals.h"
#include "platform/system_info.h"
#include "platform/system_paths.h"
#include "platform/terminal.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_io.h"
#include "render/pic_error.h"

namespace lumetra::app {
namespace {

// Frames of every track an offline render keeps cached behind the one it renders.
constexpr uint64_t kCachedFramesPerTrack = 8;

constexpr const char* kRenderUsage =
    "--render OUT_PATTERN PROJECT.ZTP [--track N] [--frames A-B[:STEP]] [--threads N] "
    "[--format NAME] [--manifest FILE] [--skip-existing] [--quiet]";

std::optional<int32_t> ParseInt(std::string_view text) {
  int32_t v = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || p != end || text.empty()) return std::nullopt;
  return v;
}

int UsageError(const std::string& why) {
  std::fprintf(stderr, "--render: %s\nUsage: %s\n", why.c_str(), kRenderUsage);
  return kExitCommandLine;
}

int StatusOf(const output::SessionOutcome& r) {
  if (r.interrupted) return kExitInterrupted;
  if (r.nothing_to_do) return kExitOk;
  return r.ok() ? kExitOk : kExitOfflineRenderFailed;
}

project::Track* TrackByNumber(project::Project* p, int32_t number) {
  for (project::Track* t = p->first_track; t != nullptr; t = t->next)
    if (t->number == number) return t;
  return nullptr;
}

}  // namespace

std::string OutputPatternProblem(const std::string& pattern) {
  const std::size_t slash = pattern.find_last_of('/');
  const std::string name = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
    return "'" + pattern + "' has no extension to choose a format by";
  // One run of '#' right before the extension is the frame number; a '#' anywhere else in
  // the name would be written as it is, and a farm's join would look for other names.
  std::size_t run = dot;
  while (run > 0 && name[run - 1] == '#') --run;
  if (name.find('#') < run)
    return "'" + pattern + "' has a '#' that is not in one run right before the extension";
  if (dot - run > static_cast<std::size_t>(output::kDigitsMax))
    return "'" + pattern + "' asks for more than " + std::to_string(output::kDigitsMax) +
           " digits";
  return {};
}

std::optional<OutputPattern> ParseOutputPattern(const std::string& pattern) {
  if (!OutputPatternProblem(pattern).empty()) return std::nullopt;
  const std::size_t slash = pattern.find_last_of('/');
  OutputPattern out;
  std::string name = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  out.directory = slash == std::string::npos ? "." : pattern.substr(0, slash);
  if (out.directory.empty()) out.directory = "/";
  const std::size_t dot = name.find_last_of('.');
  out.extension = name.substr(dot + 1);
  std::string base = name.substr(0, dot);
  while (!base.empty() && base.back() == '#') {
    base.pop_back();
    ++out.digits;
  }
  out.base_name = base;
  return out;
}

std::optional<FrameSpec> ParseFrameSpec(const std::string& text) {
  FrameSpec f;
  std::string_view t = text;
  if (std::size_t colon = t.find(':'); colon != std::string_view::npos) {
    auto step = ParseInt(t.substr(colon + 1));
    if (!step || *step == 0) return std::nullopt;
    f.step = *step;
    t = t.substr(0, colon);
  }
  // The range separator is the first '-' after the first character (A may be negative).
  const std::size_t dash = t.find('-', 1);
  auto a = ParseInt(t.substr(0, dash));
  if (!a) return std::nullopt;
  f.first = f.last = *a;
  if (dash != std::string_view::npos) {
    auto b = ParseInt(t.substr(dash + 1));
    if (!b) return std::nullopt;
    f.last = *b;
  }
  // The bound of the farm's ranges (7200 s at 1000 fps fits); it keeps B + 1 and the
  // frame times far from overflow.
  constexpr int32_t kLimit = 10'000'000;
  if (f.first < 0 || f.last < f.first || f.last >= kLimit || f.step <= -kLimit ||
      f.step >= kLimit)
    return std::nullopt;
  return f;
}

int RenderLastOffline(bool offline) {
  project::Project* p = project::CurrentProject();
  const auto& preset = project::FileSession().render_preset;
  StderrSessionObserver observer;
  if (p == nullptr || !preset) {
    observer.Message("Render settings are invalid.");
    return 0;
  }
  output::OutputSettings settings =
      output::SettingsFromPreset(*preset, output::DefaultOutputDirectory(State().home_directory));
  output::RenderSession session(AppRenderEngine(), settings, observer);
  TrackSoundSource sound;
  session.SetSoundSource(&sound);
  session.SetStopFlag(&platform::InstallStopSignals());
  output::SetCurrentOutputSettings(&settings);
  output::SessionRequest req;
  req.project = p;
  req.offline = offline;
  req.overwrite_override = State().overwrite_override;
  req.fields_override = State().fields_override;
  req.field_order_override = State().field_order_override;
  if (offline)
    req.write_threads = std::clamp(platform::ProcessorCount(), 1, render::kRenderThreadsMax);
  output::SessionOutcome r = session.Run(req);
  output::SetCurrentOutputSettings(nullptr);
  if (r.interrupted) State().offline_render_interrupted = true;
  return r.ok() || r.nothing_to_do ? 1 : 0;
}

std::optional<int> RunRenderCommand(const std::vector<std::string>& args,
                                    const std::string& program_path) {
  if (args.empty() || args[0] != "--render") return std::nullopt;
  std::vector<std::string> files;
  std::optional<int32_t> track_number, threads;
  std::optional<FrameSpec> frames;
  std::string format_name, manifest;
  bool quiet = false, skip_existing = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      (void)what;
      return args[++i];
    };
    if (a == "--quiet") {
      quiet = true;
    } else if (a == "--skip-existing") {
      skip_existing = true;
    } else if (a == "--track" || a == "--threads") {
      auto v = value(a.c_str());
      auto n = v ? ParseInt(*v) : std::nullopt;
      if (!n) return UsageError(a + " needs a number");
      (a == "--track" ? track_number : threads) = *n;
    } else if (a == "--frames") {
      auto v = value("frames");
      if (!v || !(frames = ParseFrameSpec(*v))) return UsageError("--frames needs A-B[:STEP]");
    } else if (a == "--format") {
      auto v = value("format");
      if (!v || v->empty()) return UsageError("--format needs a name");
      format_name = *v;
    } else if (a == "--manifest") {
      auto v = value("manifest");
      if (!v || v->empty()) return UsageError("--manifest needs a file name");
      manifest = *v;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return UsageError("unknown option '" + a + "'");
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return UsageError("an output pattern and a project file are needed");
  auto pattern = ParseOutputPattern(files[0]);
  if (!pattern) return UsageError(OutputPatternProblem(files[0]));
  if (threads && (*threads < 1 || *threads > render::kRenderThreadsMax))
    return UsageError("--threads must be 1 to 32");

  // Headless start: services, object kinds, the libraries (before the project, so that its
  // clips find their effects), the user's settings read but never written.
  StartHeadlessTool();
  const platform::ProgramLocation where =
      platform::SplitProgramPath(program_path.empty() ? platform::ProgramPath() : program_path);
  project::LibraryLoadFolders(project::LibraryFolders(where.home));

  const project::OutputFormat* format = format_name.empty()
                                            ? media::OutputFormatFind(pattern->extension)
                                            : media::OutputFormatFindByName(format_name);
  if (format == nullptr && !format_name.empty()) format = media::OutputFormatFind(format_name);
  if (format == nullptr) {
    std::fprintf(stderr, "No output format for '%s'.\n",
                 (format_name.empty() ? "." + pattern->extension : format_name).c_str());
    return kExitCommandLine;
  }
  LoadResult loaded = Store().Load(files[1], project::kLoadMaskLoad);
  project::Project* p = project::CurrentProject();
  if (loaded.status != LoadStatus::kLoaded || p == nullptr) {
    std::fprintf(stderr, "Project file load error:\n%s\n\n%s\n", files[1].c_str(),
                 loaded.error.c_str());
    return kExitOfflineLoadFailed;
  }
  project::Track* track = p->first_track;
  if (track_number) {
    track = TrackByNumber(p, *track_number);
    if (track == nullptr) {
      std::fprintf(stderr, "The project has no track %d.\n", *track_number);
      return kExitCommandLine;
    }
  }
  if (!platform::IsReadWriteDirectory(pattern->directory) &&
      !platform::MakeDirectory(pattern->directory)) {
    std::fprintf(stderr, "Output folder '%s' could not be made.\n", pattern->directory.c_str());
    return kExitOfflineRenderFailed;
  }

  // A file may declare any frame size; a render takes what the Project settings accept.
  constexpr int32_t kFrameSideMax = 4096;
  if (p->settings.width < 1 || p->settings.width > kFrameSideMax || p->settings.height < 1 ||
      p->settings.height > kFrameSideMax) {
    std::fprintf(stderr, "The project's frame size %d x %d cannot be rendered: each side is 1 to %d.\n",
                 p->settings.width, p->settings.height, kFrameSideMax);
    return kExitOfflineRenderFailed;
  }
  // A manifest that cannot be written is found before any frame is rendered.
  if (!manifest.empty()) {
    const std::size_t slash = manifest.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : slash == 0 ? "/" : manifest.substr(0, slash);
    platform::FileResult m = platform::CheckWriteTarget(manifest);
    if (m.ok() && !platform::IsReadWriteDirectory(folder))
      m = {1, "the folder '" + folder + "' does not exist or cannot be written"};
    if (!m.ok()) {
      std::fprintf(stderr, "Could not write the manifest '%s': %s\n", manifest.c_str(),
                   m.message.c_str());
      return kExitSaveFailed;
    }
  }

  output::OutputSettings s;
  output::OutputComponent& video = s.components[output::kComponentVideo];
  video.SetFormat(format);
  video.path = pattern->directory;
  video.base_name = pattern->base_name;
  s.width = p->settings.width;
  s.height = p->settings.height;
  s.aspect = p->settings.pixel_aspect;
  s.step = frames ? frames->step : 1;
  s.flags = output::kOutputVideo | (skip_existing ? 0u : uint32_t{output::kOutputOverwrite});
  const int32_t fps = p->settings.time_base > 0 ? p->settings.time_base : 25;
  output::SessionRequest req;
  req.project = p;
  req.track = track;
  req.offline = true;
  // A farm retries a failed job itself: render errors end the run at once.
  req.retries = 0;
  if (frames) {
    req.start = static_cast<float>(frames->first) / static_cast<float>(fps);
    req.end = static_cast<float>(frames->last + 1) / static_cast<float>(fps);
  }
  const output::FrameRange range =
      frames ? output::FrameRange{frames->first, frames->last}
             : output::FramesOfSpan(p->active_start, p->active_end, fps);
  s.digits = pattern->digits > 0
                 ? pattern->digits
                 : std::max(4, std::max(output::DigitsOf(range.first), output::DigitsOf(range.last)));

  const int32_t thread_count =
      threads ? *threads : std::clamp(platform::ProcessorCount(), 1, render::kRenderThreadsMax);
  AppRenderSetThreads(thread_count);
  // A render walks forward and asks for each frame once: a cache of past frames as large as
  // the interactive budget only costs fresh pages for every picture. A window of frames per
  // track stays for effects that look back.
  uint64_t tracks = 0;
  for (const project::Track* t = p->first_track; t != nullptr; t = t->next) ++tracks;
  const uint64_t frame_bytes = uint64_t(p->settings.width) * uint64_t(p->settings.height) * 4;
  const uint64_t window = std::max<uint64_t>(
      32ull << 20, kCachedFramesPerTrack * frame_bytes * std::max<uint64_t>(tracks, 1));
  const uint64_t budget = State().picture_memory_budget;
  AppRenderSetMemory(budget != 0 ? std::min(budget, window) : window);
  // As many savers as render threads: frame N is written while N + 1 renders.
  req.write_threads = thread_count;
  const ProgressStyle style = quiet ? ProgressStyle::kQuiet
                              : platform::IsTerminal(platform::kStderrDescriptor)
                                  ? ProgressStyle::kBar
                                  : ProgressStyle::kJsonLines;
  ProgressObserver observer(style);
  if (!manifest.empty()) observer.SetManifestFile(manifest);
  output::RenderSession session(AppRenderEngine(), s, observer);
  TrackSoundSource sound;
  session.SetSoundSource(&sound);
  session.SetStopFlag(&platform::InstallStopSignals());
  output::SetCurrentOutputSettings(&s);
  output::SessionOutcome r = session.Run(req);
  output::SetCurrentOutputSettings(nullptr);
  observer.Finish();
  AppRenderStop();
  if (r.interrupted) std::fprintf(stderr, "Interrupted after %d frames.\n", r.frames_saved);
  if (!manifest.empty() && !observer.ManifestWritten()) {
    std::string text;
    for (const std::string& line : observer.ManifestLines()) text += line + "\n";
    platform::FileResult w = platform::AtomicWriteFile(manifest, text);
    if (!w.ok()) {
      std::fprintf(stderr, "Could not write the manifest '%s': %s\n", manifest.c_str(),
                   w.message.c_str());
      if (StatusOf(r) == kExitOk) return kExitSaveFailed;
    }
  }
  return StatusOf(r);
}

}  // namespace lumetra::app
