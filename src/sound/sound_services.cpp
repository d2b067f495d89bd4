// The sound services as the host table offers them: nothing escapes across the boundary.
#include "sound/sound_services.h"

#include "host/object_error.h"
#include "host/host_services.h"
#include "sound/sound_assemble.h"
#include "sound/sound_block.h"
#include "sound/sound_convert.h"

namespace lumetra::sound {
namespace {

SoundBlock* SvcSoundCreate(float start, float end, int32_t rate, int32_t bytes,
                           int32_t channels) {
  return SoundCreate(start, end, rate, bytes, channels);
}
void SvcSoundFree(SoundBlock* block) {
  SoundFree(block);
}
SoundBlock* SvcSoundConvertBytes(SoundBlock* block, int32_t bytes) {
  return SoundConvertBytes(block, bytes);
}
SoundBlock* SvcSoundConvertChannels(SoundBlock* block, int32_t channels) {
  try {
    return SoundConvertChannels(block, channels);
  } catch (...) {
    return nullptr;
  }
}
SoundBlock* SvcSoundResample(SoundBlock* block, int32_t rate) {
  return SoundResample(block, rate);
}
int32_t SvcSoundPlace(SoundBlock* dest, const SoundBlock* source, float time) {
  try {
    return SoundPlace(dest, source, time);
  } catch (...) {
    return 0;
  }
}
SoundBlock* SvcGetInputSound(HostCallContext* ctx, int32_t input, float start, float end) {
  try {
    return GetInputSound(ctx, input, start, end);
  } catch (...) {
    project::ObjectReportError(ctx, kNoMemoryText);
    return nullptr;
  }
}

}  // namespace

void SoundRegisterHostServices() {
  using project::HostServiceInstall;
  HostServiceInstall(73, SvcSoundCreate);
  HostServiceInstall(74, SvcSoundFree);
  HostServiceInstall(75, SvcSoundConvertBytes);
  HostServiceInstall(76, SvcSoundConvertChannels);
  HostServiceInstall(77, SvcSoundResample);
  HostServiceInstall(78, SvcSoundPlace);
  HostServiceInstall(99, SvcGetInputSound);
}

}  // namespace lumetra::sound
