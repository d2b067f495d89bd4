// A render session: one track rendered frame by frame into output files (request ->
// picture -> save -> next), with fields, insert mode, pause, retries, timings and the sound
// pass in chunks on a thread of its own. It runs on the thread that owns the main queue,
// taking the engine's messages for its window and handling what the queue holds between
// them; an observer shows what happens and answers the Retry/Cancel question.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "output/output_frames.h"
#include "output/output_settings.h"
#include "output/session_clock.h"
#include "render/render_engine.h"

namespace lumetra::platform {
class MessageQueue;
}

namespace lumetra::output {

enum SessionErrorBit : uint32_t {
  kErrorStart = 0x01,
  kErrorFrameSave = 0x02,
  kErrorFinish = 0x04,
  kErrorRequest = 0x08,
  kErrorRender = 0x10,
  kErrorSoundSave = 0x20,
  kErrorSoundRender = 0x40,
  kErrorSoundStart = 0x80,
};

enum class RunState : int32_t { kRunning = 0, kStopping = 1, kPaused = 2, kWaitingRetry = 3 };

// Render errors offline: retried this many times, each after this many seconds.
inline constexpr int32_t kRenderRetries = 5;
inline constexpr int32_t kRetryWaitSeconds = 120;

struct SessionProgress {
  int32_t frame = 0;      // the frame just saved
  int32_t done = 0;       // frames saved
  int32_t of = 0;         // frames to make in this session
  double fps = 0;         // frames saved per second so far
  double eta_s = 0;       // seconds left at that rate
  double elapsed_s = 0;
};

enum class RetryAnswer { kRetry, kCancel };

class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  // The status line ("Rendering frame...").
  virtual void Status(std::string_view /*text*/) {}
  // The window's text lines 0 to 4 (track, result, frame, fields, free space / timings).
  virtual void Line(int32_t /*line*/, std::string_view /*text*/) {}
  virtual void Progress(const SessionProgress& /*progress*/) {}
  // On a writer thread right after a frame's file was written, while other frames may be
  // written and the session renders on: what the observer wants worked out from the
  // pixels off the session's thread (a digest). FrameSaved gets the answer as `note`.
  virtual std::string FrameNote(const PIC* /*pic*/) const { return {}; }
  // After a frame's file was written, in frame order, on the session's thread.
  virtual void FrameSaved(int32_t /*frame*/, const std::string& /*file*/, const PIC* /*pic*/,
                          const std::string& /*note*/) {}
  // A message the user must read (interactively in a box; offline on stderr).
  virtual void Message(std::string_view /*text*/) {}
  // Interactive only: Retry or Cancel for a save or render error.
  virtual RetryAnswer AskRetry(std::string_view /*text*/) { return RetryAnswer::kCancel; }
};

// The track's sound for samples [begin, end) at the output rate, bytes and channels,
// interleaved. False with `error` set when assembly failed.
class SoundSource {
 public:
  virtual ~SoundSource() = default;
  virtual bool Assemble(project::Track* track, int64_t begin, int64_t end, int32_t rate,
                        int32_t bytes, int32_t channels, std::vector<uint8_t>& out,
                        std::string* error) = 0;
};

struct SessionRequest {
  project::Project* project = nullptr;
  project::Track* track = nullptr;  // none: the track chosen last time, else the first
  float start = -1, end = 0;        // a start below 0: none given (the project's span)
  bool offline = true;
  bool current_only = false;        // range mode 2 at `current_time`
  float current_time = 0;
  // Offline switches; -1 keeps the settings' value.
  int32_t overwrite_override = -1, fields_override = -1, field_order_override = -1;
  int32_t retries = kRenderRetries;
  int32_t retry_wait_s = kRetryWaitSeconds;
  // Threads that save numbered frames while the next ones render (formats with a stream
  // get one, which sees the frames in order); 0 saves each frame before the next request.
  int32_t write_threads = 0;
};

struct SessionOutcome {
  bool started = false;       // validation passed and the passes ran
  bool nothing_to_do = false; // insert mode: every frame was there
  bool interrupted = false;   // stopped by Stop() or the stop flag
  uint32_t error_bits = 0;
  int32_t frames_saved = 0;
  std::string message;        // the first message shown (validation, errors)
  bool ok() const { return started && error_bits == 0 && !interrupted; }
};

class RenderSession {
 public:
  RenderSession(render::RenderEngine& engine, OutputSettings& settings, SessionObserver& observer,
                SessionClock& clock = SteadySessionClock());
  ~RenderSession();
  RenderSession(const RenderSession&) = delete;
  RenderSession& operator=(const RenderSession&) = delete;

  void SetSoundSource(SoundSource* source) { sound_source_ = source; }
  // Polled between messages: when it reads true the session stops as Stop() does.
  void SetStopFlag(const std::atomic<bool>* flag) { stop_flag_ = flag; }
  // Handled between the engine's messages (buttons, timers of the interface).
  void SetQueue(platform::MessageQueue* queue) { queue_ = queue; }

  // Runs the whole session; refused (message, started false) while another one runs.
  SessionOutcome Run(const SessionRequest& request);

  // The window's buttons; callable from the observer and from queue handlers.
  void Pause();
  void Continue();  // also Retry while waiting
  void Stop();
  RunState State() const { return state_; }

  static bool AnyRunning();

 private:
  struct Impl;
  Impl* impl_ = nullptr;
  render::RenderEngine& engine_;
  OutputSettings& settings_;
  SessionObserver& observer_;
  SessionClock& clock_;
  SoundSource* sound_source_ = nullptr;
  const std::atomic<bool>* stop_flag_ = nullptr;
  platform::MessageQueue* queue_ = nullptr;
  RunState state_ = RunState::kRunning;
};

}  // namespace lumetra::output
