// Writing the sound preview file, and its thread.
#include "sound/sound_preview.h"

#include <algorithm>
#include <span>

#include "host/object_error.h"
#include "platform/atomic_write.h"
#include "platform/format.h"
#include "platform/ui_host.h"
#include "sound/sound_assemble.h"
#include "sound/sound_block.h"

namespace lumetra::sound {
namespace {

// A context for the assembly whose error text is freed with it.
struct SoundCallContext {
  HostCallContext ctx{};
  ~SoundCallContext() { project::ObjectClearError(&ctx); }
};

int32_t Percent(float done, float total) {
  if (!(total > 0.0f)) return 100;
  return std::clamp(static_cast<int32_t>(done / total * 100.0f), 0, 100);
}

}  // namespace

std::string SoundPreviewFileName(const std::string& temp_dir, int32_t track_number) {
  return temp_dir + "/" + platform::Format("%.4dtemp.wav", track_number);
}

SoundPreviewResult SoundPreviewWrite(const SoundPreviewRequest& rq,
                                     const std::atomic<bool>& cancel,
                                     const SoundPreviewProgress& progress) {
  SoundPreviewResult result;
  result.state = kPreviewStopped;
  const auto fail = [&result](const std::string& reason) {
    if (result.error.empty()) result.error = platform::Format(kPreviewErrorFormat, reason.c_str());
  };
  const float total = std::max(0.0f, rq.end - rq.start);
  if (progress) progress(0, 0.0f, total);

  const WaveFormat wave{static_cast<uint32_t>(std::max(rq.format.rate, 0)),
                        static_cast<uint32_t>(std::max(rq.format.channels, 0)),
                        static_cast<uint32_t>(std::max(rq.format.bytes, 0))};
  // While writing, both sizes say one second of sound; they are set at the close.
  const uint64_t second = uint64_t{wave.rate} * wave.channels * wave.bytes;
  const auto header = WaveHeader(wave, std::min(second, kWaveDataMax));
  if (!header || wave.bytes > static_cast<uint32_t>(kSoundMaxBytes)) {
    fail("Sound format is invalid.");
    return result;
  }
  platform::AtomicFile file;
  if (platform::FileResult r = file.Open(rq.path); !r.ok()) {
    result.error = platform::Format(kPreviewErrorFormat, r.message.c_str()) + "\n";
    return result;
  }
  if (platform::FileResult r = file.Write(*header); !r.ok()) {
    fail(r.message);
    return result;  // the temporary goes with `file`: nothing was written under the name
  }

  const uint64_t limit = std::min(rq.data_limit, kWaveDataMax);
  SoundCallContext call;
  float t = rq.start;
  while (t < rq.end) {
    if (cancel.load()) break;
    const float chunk_end = std::min(t + 1.0f, rq.end);
    SoundPtr block(AssembleTrackSound(&call.ctx, rq.track, t, chunk_end, rq.format.rate,
                                      rq.format.bytes, rq.format.channels));
    if (!block) {
      const std::string_view why = project::ObjectErrorText(&call.ctx);
      fail(why.empty() ? std::string(kNoMemoryText) : std::string(why));
      break;
    }
    const std::size_t n = static_cast<std::size_t>(block->samples) * SoundFrameBytes(*block);
    if (n > limit - result.data_size) {
      fail(kPreviewTooLargeText);
      break;
    }
    if (platform::FileResult r = file.Write(std::span<const uint8_t>(block->data, n)); !r.ok()) {
      fail(r.message);
      break;
    }
    result.data_size += n;
    result.chunks += 1;
    t = chunk_end;
    if (progress) progress(Percent(t - rq.start, total), t - rq.start, total);
  }

  // Closed with the sizes of what was written, whatever stopped the loop.
  const auto data = WaveU32(static_cast<uint32_t>(result.data_size));
  const auto riff = WaveU32(static_cast<uint32_t>(result.data_size + kWaveRiffOverhead));
  if (platform::FileResult r = file.WriteAt(kWaveDataSizeOffset, data); !r.ok()) fail(r.message);
  if (platform::FileResult r = file.WriteAt(kWaveRiffSizeOffset, riff); !r.ok()) fail(r.message);
  if (platform::FileResult r = file.Commit(); !r.ok()) fail(r.message);
  if (result.error.empty() && !(t < rq.end)) result.state = kPreviewReady;
  return result;
}

SoundPreview::SoundPreview(platform::MessageQueue& queue, uintptr_t window)
    : queue_(queue), window_(window) {}

SoundPreview::~SoundPreview() {
  Cancel();
  Join();
}

bool SoundPreview::Start(SoundPreviewRequest request) {
  if (state_.load() == kPreviewFilling) return false;
  Join();
  cancel_.store(false);
  state_.store(kPreviewFilling);
  thread_ = std::thread([this, rq = std::move(request)]() mutable { Run(std::move(rq)); });
  return true;
}

void SoundPreview::Cancel() {
  cancel_.store(true);
}

void SoundPreview::Join() {
  if (thread_.joinable()) thread_.join();
}

SoundPreviewResult SoundPreview::LastResult() const {
  std::lock_guard lock(mutex_);
  return result_;
}

void SoundPreview::Run(SoundPreviewRequest request) {
  const auto progress = [this](int32_t percent, float done, float total) {
    {
      std::lock_guard lock(mutex_);
      done_ = done;
      total_ = total;
    }
    queue_.Post({kPreviewProgressMessage, window_, percent});
  };
  SoundPreviewResult result;
  try {
    result = SoundPreviewWrite(request, cancel_, progress);
  } catch (...) {
    // Nothing may end the thread early: the window still gets its done message.
    result.state = kPreviewStopped;
    result.error = platform::Format(kPreviewErrorFormat, std::string(kNoMemoryText).c_str());
  }
  {
    std::lock_guard lock(mutex_);
    result_ = result;
  }
  state_.store(result.state);
  queue_.Post({kPreviewDoneMessage, window_, result.state});
  // A complete span starts playback: the window handles the play key as a key press.
  if (result.state == kPreviewReady)
    queue_.Post({kKeyDownMessage, kPlayKey, static_cast<intptr_t>(window_)});
}

bool SoundPreview::HandleMessage(const platform::Message& message) {
  if (message.wparam != window_) return false;
  if (message.id == kPreviewProgressMessage) {
    float done = 0.0f, total = 0.0f;
    {
      std::lock_guard lock(mutex_);
      done = done_;
      total = total_;
    }
    platform::Status(platform::Format(kPreviewProgressFormat, static_cast<int>(message.lparam),
                                      static_cast<double>(done), static_cast<double>(total)));
    return true;
  }
  if (message.id == kPreviewDoneMessage) {
    const SoundPreviewResult result = LastResult();
    if (!result.error.empty()) platform::ShowError(result.error);
    return true;
  }
  return false;
}

}  // namespace lumetra::sound
