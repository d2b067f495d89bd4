// Assembling a track's sound, and the input sound of sound effects.
#include "sound/sound_assemble.h"

#include <new>

#include "host/object_error.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/pseudo_track.h"
#include "model/render_lock.h"
#include "platform/format.h"
#include "platform/memory_log.h"
#include "render/input_text.h"
#include "render/render_engine.h"
#include "sound/sound_block.h"
#include "sound/sound_context.h"
#include "sound/sound_convert.h"
#include "sound/sound_segments.h"

namespace lumetra::sound {
namespace {

using project::Clip;
using project::RenderLock;
using project::RenderLockGuard;
using project::Track;

void Report(HostCallContext* ctx, std::string_view text) {
  project::ObjectReportError(ctx, text);
}

// How deep sound inputs are nested on this thread: effects asking for their inputs' sound,
// whose clips ask again. A loop of inputs would never end; the depth bounds it.
thread_local int32_t t_input_depth = 0;

}  // namespace

bool SoundTrackExists(const Track* track) {
  if (track == nullptr) return false;
  if (project::IsPseudoTrack(track)) return true;
  for (const project::Project* p = project::ProjectListHead(); p != nullptr; p = p->next) {
    for (const auto& [number, t] : p->track_index) {
      if (t == track) return true;
    }
  }
  return false;
}

SoundBlock* AssembleTrackSound(HostCallContext* ctx, Track* track, float start, float end,
                               int32_t rate, int32_t bytes, int32_t channels) {
  if (ctx == nullptr) return nullptr;
  SoundContextSetFormat(ctx, {rate, bytes, channels});
  const uintptr_t own_clip = ctx->word[HCC_WORD_CLIP];

  std::vector<SoundSegment> segments;
  {
    RenderLockGuard lock(RenderLock());
    if (!SoundTrackExists(track)) {
      Report(ctx, kTrackGoneText);
      return nullptr;
    }
    try {
      segments = SoundSegments(track, start, end, kSoundSegmentMax);
    } catch (const std::bad_alloc&) {
      Report(ctx, kSegmentsFailedText);
      return nullptr;
    }
  }

  SoundPtr result(SoundCreate(start, end, rate, bytes, channels));
  if (!result) {
    Report(ctx, kNoMemoryText);
    platform::DebugLog(platform::Format("[%.3f,%.3f] sps=%d, bps=%d, channels=%d",
                                        static_cast<double>(start), static_cast<double>(end),
                                        rate, bytes, channels));
    return nullptr;
  }

  for (const SoundSegment& segment : segments) {
    project::ClipPtr copy;
    project::ProcessMakeSoundFn make = nullptr;
    {
      RenderLockGuard lock(RenderLock());
      if (!SoundTrackExists(track)) {
        Report(ctx, kTrackGoneText);
        return nullptr;
      }
      const Clip* clip = SoundClipAt(track, segment.start);
      if (clip == nullptr) continue;  // silence
      // The make-sound function runs without the lock, on a copy that no edit can change.
      copy.reset(project::ClipCopy(clip, project::ClipCopyMode::kRecordOnly));
      if (!copy) {
        Report(ctx, kNoMemoryText);
        return nullptr;
      }
      make = clip->process->make_sound;
    }
    project::ObjectClearError(ctx);
    ctx->word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(copy.get());
    SoundPtr block(make(ctx, copy->data, segment.start, segment.end, rate, bytes, channels));
    ctx->word[HCC_WORD_CLIP] = own_clip;
    {
      // The copy owns no sub-project and is in no list: its track (perhaps freed meanwhile)
      // has nothing to do with freeing it.
      RenderLockGuard lock(RenderLock());
      copy->track = nullptr;
      copy.reset();
    }
    if (!block) {
      if (!project::ObjectErrorText(ctx).empty()) return nullptr;
      continue;  // the clip is silent here
    }
    if (SoundPlace(result.get(), block.get(), block->start) == 0) {
      Report(ctx, kNoMemoryText);
      return nullptr;
    }
  }
  return result.release();
}

SoundBlock* GetInputSound(HostCallContext* ctx, int32_t input, float start, float end) {
  if (ctx == nullptr) return nullptr;
  Track* source = nullptr;
  SoundFormat format;
  {
    RenderLockGuard lock(RenderLock());
    const auto* clip = reinterpret_cast<const Clip*>(ctx->word[HCC_WORD_CLIP]);
    if (ctx->word[HCC_WORD_KIND] != HCC_KIND_CLIP || clip == nullptr) {
      Report(ctx, kIllegalRequestText);
      return nullptr;
    }
    if (!SoundTrackExists(clip->track)) {
      Report(ctx, kTrackGoneText);
      return nullptr;
    }
    const char* effect = clip->process != nullptr ? clip->process->name.c_str() : "";
    if (input < 0 || static_cast<std::size_t>(input) >= clip->inputs.size()) {
      const int32_t frame_rate =
          clip->track->project != nullptr ? clip->track->project->settings.time_base : 0;
      Report(ctx, render::IllegalInputText(input, effect, clip->track->name, clip->start,
                                           clip->end, frame_rate));
      return nullptr;
    }
    // The copy's inputs are those of the clip when it was copied: a track freed since
    // counts as none.
    Track* entry = clip->inputs[static_cast<std::size_t>(input)];
    if (!SoundTrackExists(entry)) entry = nullptr;
    source = project::InputResolve(clip->track, entry);
    if (source == nullptr) {
      Report(ctx, render::UnassignedInputText(clip->track, entry, input, effect));
      return nullptr;
    }
    if (source == clip->track || t_input_depth >= render::kRenderMaxDepth) {
      Report(ctx, render::InputLoopText(source->name));
      return nullptr;
    }
    format = SoundContextFormat(ctx);
  }
  SoundContextWords keep(ctx);
  ++t_input_depth;
  SoundBlock* block =
      AssembleTrackSound(ctx, source, start, end, format.rate, format.bytes, format.channels);
  --t_input_depth;
  return block;
}

}  // namespace lumetra::sound
