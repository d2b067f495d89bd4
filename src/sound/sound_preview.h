// The sound preview file: a track's sound over a span, assembled second by second into a
// wave file that the work window's player opens once it is complete.
//
// The file is written through platform::AtomicFile: into a temporary beside the target,
// renamed over it when closed. Nothing reads the file while it is written (the player is
// started only by the play key posted at the end), so a player still holding the previous
// preview keeps it whole, and a crash never leaves a half-written file under the name.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "model/model.h"
#include "platform/message_queue.h"
#include "sound/sound_context.h"
#include "sound/wave_header.h"

namespace lumetra::sound {

// States of a window's sound preview file.
enum SoundPreviewState : int32_t {
  kPreviewNone = 0,
  kPreviewFilling = 1,
  kPreviewReady = 2,
  kPreviewStopped = -1,  // cancelled, stopped early or failed
};

// Messages the preview posts to the interface thread's queue; wparam is the window.
inline constexpr uint32_t kPreviewProgressMessage = 0x0480;  // lparam: percent done
inline constexpr uint32_t kPreviewDoneMessage = 0x0481;      // lparam: the final state
// The play key: a key-down of the letter P, lparam the window.
inline constexpr uint32_t kKeyDownMessage = 0x0100;
inline constexpr uintptr_t kPlayKey = 'P';

inline constexpr const char* kPreviewErrorFormat = "Sound preview error:\n\n%s";
inline constexpr const char* kPreviewProgressFormat = "Rendering audio: %d%% (%.2fs of %.2fs)";
inline constexpr const char* kPreviewTooLargeText =
    "The sound preview would pass 4 GiB, the largest size a wave file can hold.";

// "<dir>/%.4dtemp.wav" with the track's number (3 gives 0003temp.wav).
std::string SoundPreviewFileName(const std::string& temp_dir, int32_t track_number);

struct SoundPreviewRequest {
  project::Track* track = nullptr;
  float start = 0.0f;
  float end = 0.0f;
  SoundFormat format;  // the project's sound settings
  std::string path;
  uint64_t data_limit = kWaveDataMax;  // the data chunk never grows past this
};

struct SoundPreviewResult {
  int32_t state = kPreviewNone;  // kPreviewReady or kPreviewStopped
  std::string error;             // the text the user is shown; empty when none
  uint64_t data_size = 0;
  int32_t chunks = 0;
};

// After each chunk (and once at 0 before the first): percent done, seconds done, seconds
// in the span.
using SoundPreviewProgress = std::function<void(int32_t percent, float done, float total)>;

// Writes the whole file on the calling thread. Stops at the next chunk when `cancel` is
// set. The file is closed with consistent sizes whenever it was opened.
SoundPreviewResult SoundPreviewWrite(const SoundPreviewRequest& request,
                                     const std::atomic<bool>& cancel,
                                     const SoundPreviewProgress& progress = {});

// The preview render thread of one work window.
class SoundPreview {
 public:
  SoundPreview(platform::MessageQueue& queue, uintptr_t window);
  ~SoundPreview();  // cancels and joins
  SoundPreview(const SoundPreview&) = delete;
  SoundPreview& operator=(const SoundPreview&) = delete;

  // Starts a new file; false while one is being written.
  bool Start(SoundPreviewRequest request);
  // Asks the writer to stop at the next chunk boundary (a key press, Escape).
  void Cancel();
  // Waits for the writer to end.
  void Join();
  int32_t State() const { return state_.load(); }
  SoundPreviewResult LastResult() const;

  // On the interface thread, for this preview's messages: the progress line for a progress
  // message, the error box for a failed end. False for any other message.
  bool HandleMessage(const platform::Message& message);

 private:
  void Run(SoundPreviewRequest request);

  platform::MessageQueue& queue_;
  uintptr_t window_;
  std::thread thread_;
  std::atomic<bool> cancel_{false};
  std::atomic<int32_t> state_{kPreviewNone};
  mutable std::mutex mutex_;
  SoundPreviewResult result_;  // guarded by mutex_
  float done_ = 0.0f, total_ = 0.0f;  // guarded by mutex_
};

}  // namespace lumetra::sound
