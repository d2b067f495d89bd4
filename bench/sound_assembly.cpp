// Sound conversion and assembly speed. BM_ConvertTenMinutes converts 10 minutes of 44.1 kHz
// stereo 16-bit sound to 22.05 kHz mono 8-bit through the same chain as SoundPlace
// (channels, rate, width); bench/sound_vs_sox.sh runs sox on the same conversion beside it.
// BM_AssembleBySeconds assembles a track in one-second requests, as the preview writer does:
// the time per second of sound must not grow with the length.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "clipdata/template.h"
#include "host/object_error.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"
#include "sound/sound_assemble.h"
#include "sound/sound_block.h"
#include "sound/sound_convert.h"

namespace {

using namespace lumetra;

constexpr float kTenMinutes = 600.0f;

sound::SoundPtr Tone(float seconds) {
  sound::SoundPtr b(sound::SoundCreate(0.0f, seconds, 44100, 2, 2));
  auto* p = b->data;
  for (uint32_t s = 0; s < b->samples; ++s, p += 4) {
    const auto v = static_cast<uint16_t>((s * 37) & 0x7FFF);
    p[0] = p[2] = static_cast<uint8_t>(v);
    p[1] = p[3] = static_cast<uint8_t>(v >> 8);
  }
  return b;
}

void BM_ConvertTenMinutes(benchmark::State& state) {
  const sound::SoundPtr src = Tone(kTenMinutes);
  for (auto _ : state) {
    sound::SoundPtr mono(sound::SoundConvertChannels(src.get(), 1));
    sound::SoundPtr half(sound::SoundResample(mono.get(), 22050));
    sound::SoundPtr bytes(sound::SoundConvertBytes(half.get(), 1));
    benchmark::DoNotOptimize(bytes->data);
  }
  state.counters["Mframes/s"] = benchmark::Counter(
      static_cast<double>(src->samples) * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ConvertTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime();

SoundBlock* RampSound(HostCallContext*, void*, float start, float end, int32_t rate,
                      int32_t bytes, int32_t channels) {
  SoundBlock* b = sound::SoundCreate(start, end, rate, bytes, channels);
  if (b != nullptr) std::memset(b->data, 0x11, b->samples * sound::SoundFrameBytes(*b));
  return b;
}

// A track of clips of 7 s (so segments are cut at 4 s and at clip ends) over the length.
void BM_AssembleBySeconds(benchmark::State& state) {
  const auto seconds = static_cast<int32_t>(state.range(0));
  uint32_t proto[4] = {};
  project::TemplatePtr tmpl(project::TemplateNew(reinterpret_cast<uintptr_t>(proto)));
  project::TemplateAddField(*tmpl, "words", "dword", reinterpret_cast<uintptr_t>(proto), 4);
  project::ProcessRecord effect;
  effect.name = "Bench/Ramp";
  effect.signature = "Ramp bench";
  effect.flags = project::kProcessSound;
  effect.make_sound = &RampSound;
  effect.data_template = tmpl.get();
  project::Project* p = project::ProjectCreate();
  project::ProjectSetDefaults(p);
  project::Track* t = project::TrackCreate(p);
  project::TrackAppend(p, t);
  int32_t clips = 0;
  for (float a = 0.0f; a < static_cast<float>(seconds); a += 7.0f) {
    if (project::ClipCreate(nullptr, &effect, a, std::min(a + 7.0f, static_cast<float>(seconds)),
                            t) != nullptr)
      ++clips;
  }
  state.counters["clips"] = clips;
  HostCallContext ctx{};
  for (auto _ : state) {
    for (int32_t s = 0; s < seconds; ++s) {
      SoundBlock* b = sound::AssembleTrackSound(&ctx, t, static_cast<float>(s),
                                                static_cast<float>(s + 1), 44100, 2, 2);
      if (b == nullptr) {
        state.SkipWithError(std::string(project::ObjectErrorText(&ctx)).c_str());
        break;
      }
      benchmark::DoNotOptimize(b->data);
      sound::SoundFree(b);
    }
  }
  project::ObjectClearError(&ctx);
  project::ProjectFree(p);
  // Seconds of sound per second of work: the same for every length when assembly is linear.
  state.counters["sound s/s"] = benchmark::Counter(
      static_cast<double>(seconds) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
  state.SetComplexityN(seconds);
}
BENCHMARK(BM_AssembleBySeconds)
    ->Arg(60)
    ->Arg(150)
    ->Arg(300)
    ->Arg(600)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

}  // namespace
