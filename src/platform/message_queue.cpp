// The message loop: posted messages in order, sent messages before them, timers when due.
#include "platform/message_queue.h"

namespace lumetra::platform {

struct MessageQueue::Sent {
  Message message;
  intptr_t result = 0;
  bool done = false;
};

MessageQueue::MessageQueue() : owner_(std::this_thread::get_id()) {}
MessageQueue::MessageQueue(Handler handler)
    : owner_(std::this_thread::get_id()), handler_(std::move(handler)) {}

void MessageQueue::SetHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void MessageQueue::Post(const Message& message) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(message);
  }
  wake_.notify_all();
}

intptr_t MessageQueue::Send(const Message& message) {
  if (std::this_thread::get_id() == owner_) {
    Handler handler;
    {
      std::lock_guard lock(mutex_);
      handler = handler_;
    }
    return handler ? handler(message) : 0;
  }
  Sent sent{message};
  std::unique_lock lock(mutex_);
  if (ended_) return 0;
  sent_.push_back(&sent);
  wake_.notify_all();
  wake_.wait(lock, [&] { return sent.done; });
  return sent.result;
}

void MessageQueue::PostQuit(int code) {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    quit_code_ = code;
  }
  wake_.notify_all();
}

void MessageQueue::SetTimer(uint32_t timer_id, std::chrono::milliseconds period) {
  if (period < std::chrono::milliseconds(1)) period = std::chrono::milliseconds(1);
  {
    std::lock_guard lock(mutex_);
    timers_[timer_id] = Timer{period, Clock::now() + period};
  }
  wake_.notify_all();
}

void MessageQueue::KillTimer(uint32_t timer_id) {
  std::lock_guard lock(mutex_);
  timers_.erase(timer_id);
}

void MessageQueue::Hold() {
  std::lock_guard lock(mutex_);
  ++holds_;
}

void MessageQueue::Release() {
  {
    std::lock_guard lock(mutex_);
    if (holds_ > 0) --holds_;
  }
  wake_.notify_all();
}

bool MessageQueue::TakeNext(std::unique_lock<std::mutex>&, Message* message, Sent** sent) {
  *sent = nullptr;
  if (!sent_.empty()) {
    *sent = sent_.front();
    sent_.pop_front();
    *message = (*sent)->message;
    return true;
  }
  if (!posted_.empty()) {
    *message = posted_.front();
    posted_.pop_front();
    return true;
  }
  Clock::time_point now = Clock::now();
  for (auto& [id, timer] : timers_) {
    if (timer.due <= now) {
      timer.due = now + timer.period;
      *message = Message{kTimerMessage, id, 0};
      return true;
    }
  }
  return false;
}

void MessageQueue::Dispatch(const Message& message, Sent* sent) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    handler = handler_;
  }
  intptr_t result = handler ? handler(message) : 0;
  if (sent != nullptr) {
    {
      std::lock_guard lock(mutex_);
      sent->result = result;
      sent->done = true;
    }
    wake_.notify_all();
  }
}

LoopEnd MessageQueue::Run() {
  std::unique_lock lock(mutex_);
  running_ = true;
  ended_ = false;
  LoopEnd end;
  for (;;) {
    if (quit_) {
      end.quit_code = quit_code_;
      quit_ = false;
      break;
    }
    Message message;
    Sent* sent = nullptr;
    if (TakeNext(lock, &message, &sent)) {
      lock.unlock();
      Dispatch(message, sent);
      lock.lock();
      continue;
    }
    if (timers_.empty() && holds_ == 0) {
      end.idle = true;
      break;
    }
    if (timers_.empty()) {
      wake_.wait(lock);
    } else {
      Clock::time_point due = Clock::time_point::max();
      for (const auto& [id, timer] : timers_) due = std::min(due, timer.due);
      wake_.wait_until(lock, due);
    }
  }
  running_ = false;
  ended_ = true;
  // Senders still waiting get 0: nothing will handle their messages now.
  for (Sent* s : sent_) s->done = true;
  sent_.clear();
  lock.unlock();
  wake_.notify_all();
  return end;
}

int MessageQueue::RunPending() {
  int count = 0;
  std::unique_lock lock(mutex_);
  std::size_t budget = posted_.size() + sent_.size() + timers_.size();
  while (budget-- > 0 && !quit_) {
    Message message;
    Sent* sent = nullptr;
    if (!TakeNext(lock, &message, &sent)) break;
    lock.unlock();
    Dispatch(message, sent);
    ++count;
    lock.lock();
  }
  return count;
}

std::size_t MessageQueue::PendingCount() const {
  std::lock_guard lock(mutex_);
  return posted_.size() + sent_.size();
}

bool MessageQueue::Running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

}  // namespace lumetra::platform
