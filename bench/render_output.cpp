// The render output driver end to end in one process: 250 frames of a one-clip track
// rendered through the session to a null output format, at 720x576 and 1920x1080, with the
// engine's threads. Frames per second is items_per_second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "clipdata/template.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"
#include "output/render_session.h"
#include "platform/system_info.h"
#include "render/pic.h"
#include "render/pic_error.h"

int32_t g_width = 720, g_height = 576;

namespace {

using namespace lumetra;

struct Gradient {
  int32_t unused;
};

// A frame whose pixels depend on the time: the cost of a simple generator.
PIC* GradientMake(HostCallContext*, void*, float, float, float time) {
  PIC* pic = render::PicCreate(g_width, g_height);
  if (pic == nullptr) return nullptr;
  const uint8_t t = static_cast<uint8_t>(time * 25);
  for (int32_t y = 0; y < pic->height; ++y) {
    uint8_t* row = pic->pixels + static_cast<std::size_t>(y) * pic->width * 4;
    for (int32_t x = 0; x < pic->width; ++x) {
      row[x * 4 + 0] = static_cast<uint8_t>(x + t);
      row[x * 4 + 1] = static_cast<uint8_t>(y);
      row[x * 4 + 2] = t;
      row[x * 4 + 3] = 255;
    }
  }
  return pic;
}

int32_t NullSave(HostCallContext*, void*, uintptr_t, const PIC* pic, const char*, const char*,
                 int32_t) {
  benchmark::DoNotOptimize(pic->pixels[0]);
  return 1;
}

}  // namespace

static void BM_RenderToNullFormat(benchmark::State& state) {
  g_width = static_cast<int32_t>(state.range(0));
  g_height = static_cast<int32_t>(state.range(1));
  render::PicInit();
  Gradient proto{};
  project::TemplatePtr tmpl(project::TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
  project::TemplateAddField(*tmpl, "unused", "dword", reinterpret_cast<uintptr_t>(&proto.unused),
                            1);
  project::ProcessRecord effect;
  effect.name = "Bench/Gradient";
  effect.signature = "Gradient bench";
  effect.previous_track_input = -1;
  effect.make = &GradientMake;
  effect.data_template = tmpl.get();
  project::Project* p = project::ProjectCreate();
  project::ProjectSetDefaults(p);
  p->active_start = 0;
  p->active_end = 10;  // 250 frames at 25 fps
  project::Track* t = project::TrackCreate(p);
  project::TrackAppend(p, t);
  project::ClipCreate(nullptr, &effect, 0, 10, t);
  project::OutputFormat null_format;
  project::CopyFixedText(null_format.ext, sizeof null_format.ext, "null");
  null_format.flags = output::kFormatNumberedFiles;
  null_format.image_saver = &NullSave;
  const std::string dir = std::filesystem::temp_directory_path().string();
  struct Quiet : output::SessionObserver {} quiet;
  int64_t frames = 0;
  for (auto _ : state) {
    render::RenderEngine engine(uint64_t{1} << 29);
    engine.SetThreads(std::clamp(platform::ProcessorCount(), 1, 32));
    output::OutputSettings s;
    s.components[0].SetFormat(&null_format);
    s.components[0].path = dir;
    s.components[0].base_name = "bench";
    s.width = g_width;
    s.height = g_height;
    output::SessionRequest req;
    req.project = p;
    req.track = t;
    output::RenderSession session(engine, s, quiet);
    frames += session.Run(req).frames_saved;
  }
  state.SetItemsProcessed(frames);
  project::ProjectFree(p);
}
BENCHMARK(BM_RenderToNullFormat)->Args({720, 576})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();
