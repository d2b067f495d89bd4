// The sound pass: start, the chunks (half-open, from integer sample positions), finish.
#include "output/sound_pass.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "host/object_error.h"
#include "model/track.h"
#include "output/output_validate.h"
#include "output/render_session.h"
#include "platform/file_ops.h"
#include "platform/format.h"

namespace lumetra::output {
namespace {

using platform::Format;

// The texts of the sound thread, handed to the session's thread, which alone talks to the
// observer. Line -1 is the status line.
class Texts {
 public:
  void Line(int32_t line, std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.emplace_back(line, std::move(text));
  }
  void Status(std::string text) { Line(-1, std::move(text)); }
  void Deliver(SessionObserver& obs) {
    std::vector<std::pair<int32_t, std::string>> now;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      now.swap(queued_);
    }
    for (const auto& [line, text] : now) {
      if (line < 0) {
        obs.Status(text);
      } else {
        obs.Line(line, text);
      }
    }
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<int32_t, std::string>> queued_;
};

struct Pass {
  const SoundPassInput& in;
  Texts obs;
  std::atomic<bool> quit{false};
  SoundPassResult r;

  void Fail(uint32_t bit, const std::string& text) {
    r.error_bits |= bit;
    if (r.message.empty()) r.message = text;
  }

  void Run() {
    OutputSettings& s = in.settings;
    const OutputComponent& sound = s.components[kComponentSound];
    const OutputComponent& video = s.components[kComponentVideo];
    const bool joined = (s.flags & kOutputJoinAudio) != 0 && video.format != nullptr;
    const std::string file = joined ? OutputFullFileName(s, in.first, kComponentVideo, in.mode)
                                    : OutputFullFileName(s, in.first, kComponentSound, in.mode);
    // Overwrite mode replaces a single sound file; joined, the video pass wrote it.
    if ((s.flags & kOutputOverwrite) && !joined && !s.Numbered(kComponentSound))
      platform::RemoveFile(file);
    const int32_t lo = std::min(in.first, in.last), hi = std::max(in.first, in.last);
    obs.Line(0, Format("Track: %s  %s    %d Khz,  %d Channels,  %d bps", in.track->name,
                       in.track == in.project->first_track ? "(final)" : "", s.sample_rate,
                       s.channels, s.bytes_per_sample * 8));
    obs.Line(1, "Result: " + file);
    obs.Line(2, Format("Time segment:  from  %.3fs  to  %.3fs, Length %.3fs",
                       double(lo) / in.fps, double(hi + 1) / in.fps,
                       double(hi + 1 - lo) / in.fps));
    obs.Status("Rendering sound...");
    void* params = joined && (video.format->flags & kFormatCarriesSound) ? video.params.get()
                                                                         : sound.params.get();
    HostCallContext ctx = OutputContext(&s);
    uintptr_t stream = 0;
    if (sound.format->sound_start != nullptr) {
      stream = sound.format->sound_start(&ctx, params);
      if (std::string e = ContextErrorText(&ctx); !e.empty()) {
        Fail(kErrorSoundStart, "Sound:\nOutput file save error:\n\n" + e);
        project::ObjectClearError(&ctx);
        return;
      }
    }
    const bool chunked = (sound.format->flags & kFormatSoundInChunks) != 0;
    const auto chunks =
        SoundChunks(lo, hi, in.fps, s.sample_rate, chunked ? s.sound_buffering : 0);
    std::vector<uint8_t> data;
    for (const SoundChunk& c : chunks) {
      if (quit.load()) {
        r.stopped = true;
        break;
      }
      std::string why;
      data.clear();
      if (in.source == nullptr) {
        Fail(kErrorSoundRender,
             "Sound render error occured:\n\nSound assembly is not available in this build.");
        break;
      }
      if (!in.source->Assemble(in.track, c.begin, c.end, s.sample_rate, s.bytes_per_sample,
                               s.channels, data, &why)) {
        Fail(kErrorSoundRender, "Sound render error occured:\n\n" + why);
        break;
      }
      const std::size_t want = static_cast<std::size_t>(c.end - c.begin) *
                               static_cast<std::size_t>(s.channels * s.bytes_per_sample);
      if (data.size() != want) {
        Fail(kErrorSoundRender, "Sound render error occured:\n\nAssembled sound has a wrong size.");
        break;
      }
      SoundBlock block{};
      block.start = static_cast<float>(double(c.begin) / s.sample_rate);
      block.end = static_cast<float>(double(c.end) / s.sample_rate);
      block.samples = static_cast<uint32_t>(c.end - c.begin);
      block.rate = static_cast<uint32_t>(s.sample_rate);
      block.channels = static_cast<uint16_t>(s.channels);
      block.bytes = static_cast<uint16_t>(s.bytes_per_sample);
      block.data = data.data();
      project::ObjectClearError(&ctx);
      if (sound.format->sound_saver(&ctx, params, stream, &block, file.c_str(), "AudioStream",
                                    c.time) != 1) {
        std::string e = ContextErrorText(&ctx);
        Fail(kErrorSoundSave, "Sound:\nSave error:\n\n" + (e.empty() ? "Unrecognized error." : e));
        break;
      }
      ++r.chunks;
    }
    if (sound.format->sound_finish != nullptr) {
      project::ObjectClearError(&ctx);
      sound.format->sound_finish(&ctx, params, stream);
    }
    obs.Status("Assembling output audio...");
    project::ObjectClearError(&ctx);
  }
};

}  // namespace

SoundPassResult RunSoundPass(const SoundPassInput& in, SessionObserver& observer,
                             const std::function<bool()>& poll) {
  Pass pass{in, {}, {}, {}};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    pass.Run();
    done.store(true);
  });
  while (!done.load()) {
    pass.obs.Deliver(observer);
    if (poll && poll() && !pass.quit.load()) {
      observer.Status("Stopping rendering sound, please wait...");
      pass.quit.store(true);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  worker.join();
  pass.obs.Deliver(observer);
  return pass.r;
}

}  // namespace lumetra::output
