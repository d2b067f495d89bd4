// The sound slots of the host service table, forwarding to the installed functions.
#include "host/sound_services.h"

#include <atomic>

#include "host/host_services.h"
#include "platform/ui_host.h"

namespace lumetra::project {
namespace {

std::atomic<SoundCreateFn> g_create{nullptr};
std::atomic<SoundFreeFn> g_free{nullptr};
std::atomic<SoundConvertFn> g_convert_bytes{nullptr};
std::atomic<SoundConvertFn> g_convert_channels{nullptr};
std::atomic<SoundConvertFn> g_resample{nullptr};
std::atomic<SoundPlaceFn> g_place{nullptr};
std::atomic<GetInputSoundFn> g_get_input_sound{nullptr};

// As the table's stub for a slot without a service.
void NotInstalled() noexcept {
  try {
    platform::Status(kUnassignedServiceText);
  } catch (...) {
  }
}

}  // namespace

void SoundServicesInstall(const SoundServiceHooks& hooks) {
  g_create.store(hooks.create);
  g_free.store(hooks.free);
  g_convert_bytes.store(hooks.convert_bytes);
  g_convert_channels.store(hooks.convert_channels);
  g_resample.store(hooks.resample);
  g_place.store(hooks.place);
  g_get_input_sound.store(hooks.get_input_sound);
}

SoundBlock* ServiceSoundCreate(float start, float end, int32_t rate, int32_t bytes,
                               int32_t channels) {
  if (SoundCreateFn fn = g_create.load()) return fn(start, end, rate, bytes, channels);
  NotInstalled();
  return nullptr;
}

void ServiceSoundFree(SoundBlock* block) {
  if (SoundFreeFn fn = g_free.load()) return fn(block);
  NotInstalled();
}

SoundBlock* ServiceSoundConvertBytes(SoundBlock* block, int32_t bytes) {
  if (SoundConvertFn fn = g_convert_bytes.load()) return fn(block, bytes);
  NotInstalled();
  return nullptr;
}

SoundBlock* ServiceSoundConvertChannels(SoundBlock* block, int32_t channels) {
  if (SoundConvertFn fn = g_convert_channels.load()) return fn(block, channels);
  NotInstalled();
  return nullptr;
}

SoundBlock* ServiceSoundResample(SoundBlock* block, int32_t rate) {
  if (SoundConvertFn fn = g_resample.load()) return fn(block, rate);
  NotInstalled();
  return nullptr;
}

int32_t ServiceSoundPlace(SoundBlock* dest, const SoundBlock* source, float time) {
  if (SoundPlaceFn fn = g_place.load()) return fn(dest, source, time);
  NotInstalled();
  return 0;
}

SoundBlock* ServiceGetInputSound(HostCallContext* ctx, int32_t input, float start, float end) {
  if (GetInputSoundFn fn = g_get_input_sound.load()) return fn(ctx, input, start, end);
  NotInstalled();
  return nullptr;
}

}  // namespace lumetra::project
