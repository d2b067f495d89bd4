// The sound call context: a HostCallContext of kind 4 that carries the requested format,
// and the clip (word 6) while its make-sound function runs.
#pragma once

#include <cstdint>

#include "plugin/lumetra_plugin.h"

namespace lumetra::sound {

inline constexpr int kSoundWordRate = 7;    // samples per second
inline constexpr int kSoundWordFormat = 8;  // bytes per sample | channels << 16

struct SoundFormat {
  int32_t rate = 0;
  int32_t bytes = 0;
  int32_t channels = 0;
};

inline void SoundContextSetFormat(HostCallContext* ctx, const SoundFormat& f) {
  ctx->word[HCC_WORD_KIND] = HCC_KIND_CLIP;
  ctx->word[kSoundWordRate] = static_cast<uint32_t>(f.rate);
  ctx->word[kSoundWordFormat] = (static_cast<uint32_t>(f.bytes) & 0xFFFFu) |
                                (static_cast<uint32_t>(f.channels) & 0xFFFFu) << 16;
}

inline SoundFormat SoundContextFormat(const HostCallContext* ctx) {
  return {static_cast<int32_t>(static_cast<uint32_t>(ctx->word[kSoundWordRate])),
          static_cast<int32_t>(ctx->word[kSoundWordFormat] & 0xFFFFu),
          static_cast<int32_t>((ctx->word[kSoundWordFormat] >> 16) & 0xFFFFu)};
}

// The words an assembly changes, so that a nested one (an effect asking for its input's
// sound) leaves its caller's context as it found it.
struct SoundContextWords {
  explicit SoundContextWords(HostCallContext* ctx)
      : ctx_(ctx),
        kind_(ctx->word[HCC_WORD_KIND]),
        clip_(ctx->word[HCC_WORD_CLIP]),
        rate_(ctx->word[kSoundWordRate]),
        format_(ctx->word[kSoundWordFormat]) {}
  ~SoundContextWords() {
    ctx_->word[HCC_WORD_KIND] = kind_;
    ctx_->word[HCC_WORD_CLIP] = clip_;
    ctx_->word[kSoundWordRate] = rate_;
    ctx_->word[kSoundWordFormat] = format_;
  }
  SoundContextWords(const SoundContextWords&) = delete;
  SoundContextWords& operator=(const SoundContextWords&) = delete;

 private:
  HostCallContext* ctx_;
  uintptr_t kind_, clip_, rate_, format_;
};

}  // namespace lumetra::sound
