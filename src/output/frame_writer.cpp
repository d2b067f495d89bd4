#include "output/frame_writer.h"

#include <algorithm>

namespace lumetra::output {

int32_t FrameWriterDepth(int32_t threads, uint64_t frame_bytes) {
  const uint64_t fit = frame_bytes > 0 ? kFrameWriterBudgetBytes / frame_bytes : 1;
  const uint64_t wanted = static_cast<uint64_t>(std::max(threads, 0)) + 2;
  return static_cast<int32_t>(std::clamp<uint64_t>(fit, 1, wanted));
}

FrameWriter::FrameWriter(int32_t threads, int32_t max_jobs, SaveFn save, NoteFn note)
    : save_(std::move(save)), note_(std::move(note)), max_jobs_(std::max(max_jobs, 1)) {
  for (int32_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

FrameWriter::~FrameWriter() {
  Cancel();
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  work_.notify_all();
  for (std::thread& t : threads_) t.join();
}

bool FrameWriter::Full() const {
  std::lock_guard lock(mutex_);
  return slots_.size() >= static_cast<std::size_t>(max_jobs_);
}

void FrameWriter::Submit(FrameJob job) {
  std::unique_lock lock(mutex_);
  Slot& slot = slots_.emplace_back();
  slot.result.job = std::move(job);
  if (threads_.empty()) {
    lock.unlock();
    Run(slot);  // nobody else touches the slot: no thread takes queued work
    return;
  }
  ++queued_;
  lock.unlock();
  work_.notify_one();
}

void FrameWriter::Run(Slot& slot) {
  FrameResult& r = slot.result;
  r.started = true;
  r.written = save_(r.job, &r.error);
  if (r.written && note_) r.note = note_(r.job);
  std::lock_guard lock(mutex_);
  slot.state = SlotState::kDone;
  done_.notify_all();
}

void FrameWriter::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return closing_ || queued_ > 0; });
    if (queued_ == 0) return;  // closing with nothing left
    // Slots only leave from the front, so a reference to one stays valid while it runs.
    Slot& slot = slots_[slots_.size() - queued_];
    --queued_;
    slot.state = SlotState::kRunning;
    lock.unlock();
    Run(slot);
    lock.lock();
  }
}

std::optional<FrameResult> FrameWriter::Take(bool wait) {
  std::unique_lock lock(mutex_);
  if (slots_.empty()) return std::nullopt;
  if (wait) done_.wait(lock, [this] { return slots_.front().state == SlotState::kDone; });
  if (slots_.front().state != SlotState::kDone) return std::nullopt;
  FrameResult r = std::move(slots_.front().result);
  slots_.pop_front();
  return r;
}

void FrameWriter::Cancel() {
  std::lock_guard lock(mutex_);
  for (std::size_t i = slots_.size() - queued_; i < slots_.size(); ++i)
    slots_[i].state = SlotState::kDone;
  queued_ = 0;
}

}  // namespace lumetra::output
