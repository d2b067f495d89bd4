// Frames saved on writer threads while the session renders the next ones: a bounded list
// of save jobs that a pool takes in the order they came (one thread for a format that must
// see its frames in order), each result handed back in that same order.
//
// Threads: Submit, Take, Cancel and Full on one thread (the session's); the save and note
// functions on the writer threads, several jobs at once when there are several threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "render/pic.h"

namespace lumetra::output {

struct FrameJob {
  int32_t frame = 0;
  std::string file;
  const PIC* pic = nullptr;  // kept alive by the submitter until the job comes back
  bool owned = false;        // the submitter's own picture, else the engine's
};

struct FrameResult {
  FrameJob job;
  bool started = false;  // false: dropped by Cancel before a thread took it
  bool written = false;
  std::string error;  // the saver's text when not written
  std::string note;   // the note function's answer for a written frame
};

// Pictures waiting in the writers' list hold at most this much memory (at least one job).
inline constexpr uint64_t kFrameWriterBudgetBytes = uint64_t{256} << 20;

// Jobs worth keeping out at once for `threads` writers and frames of `frame_bytes`: one per
// writer and two more to cover an uneven frame, within the memory budget.
int32_t FrameWriterDepth(int32_t threads, uint64_t frame_bytes);

class FrameWriter {
 public:
  // Saves a job's picture to its file; false with `error` set.
  using SaveFn = std::function<bool(const FrameJob& job, std::string* error)>;
  // Worked out on the writer thread after a successful save.
  using NoteFn = std::function<std::string(const FrameJob& job)>;

  // threads 0: Submit saves on the caller's thread. max_jobs: jobs out at once (at least 1).
  FrameWriter(int32_t threads, int32_t max_jobs, SaveFn save, NoteFn note);
  ~FrameWriter();  // cancels what no thread took, waits for the rest
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // True when Submit must wait: take a result back first.
  bool Full() const;
  void Submit(FrameJob job);
  // The oldest job's result once it is done; with `wait`, blocks until it is. Nothing when
  // no job is out (or, without wait, when the oldest is not done).
  std::optional<FrameResult> Take(bool wait);
  // Jobs no thread has taken yet come back from Take as not started.
  void Cancel();

 private:
  enum class SlotState { kQueued, kRunning, kDone };
  struct Slot {
    FrameResult result;
    SlotState state = SlotState::kQueued;
  };
  void Work();
  void Run(Slot& slot);

  SaveFn save_;
  NoteFn note_;
  int32_t max_jobs_;
  mutable std::mutex mutex_;
  std::condition_variable work_, done_;
  std::deque<Slot> slots_;  // oldest first; the queued ones are the last `queued_`
  std::size_t queued_ = 0;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace lumetra::output
