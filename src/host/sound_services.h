// The sound slots of the host service table (73 to 78 and 99). Sound blocks and their
// assembly belong to the sound module, which sits above the host: it installs its
// functions here once at start-up. Until then the slots report the call and answer 0.
#pragma once

#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

struct SoundServiceHooks {
  SoundCreateFn create = nullptr;
  SoundFreeFn free = nullptr;
  SoundConvertFn convert_bytes = nullptr;
  SoundConvertFn convert_channels = nullptr;
  SoundConvertFn resample = nullptr;
  SoundPlaceFn place = nullptr;
  GetInputSoundFn get_input_sound = nullptr;
};

// Installs (or, with null members, removes) the functions behind the slots; any thread
// may call the slots meanwhile.
void SoundServicesInstall(const SoundServiceHooks& hooks);

// The functions the table's rows hold.
SoundBlock* ServiceSoundCreate(float start, float end, int32_t rate, int32_t bytes,
                               int32_t channels);
void ServiceSoundFree(SoundBlock* block);
SoundBlock* ServiceSoundConvertBytes(SoundBlock* block, int32_t bytes);
SoundBlock* ServiceSoundConvertChannels(SoundBlock* block, int32_t channels);
SoundBlock* ServiceSoundResample(SoundBlock* block, int32_t rate);
int32_t ServiceSoundPlace(SoundBlock* dest, const SoundBlock* source, float time);
SoundBlock* ServiceGetInputSound(HostCallContext* ctx, int32_t input, float start, float end);

}  // namespace lumetra::project
