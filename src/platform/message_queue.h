// The main thread's queue of posted and sent messages and its timers: the message loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace lumetra::platform {

struct Message {
  uint32_t id = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

// Message id that carries a timer's id in wparam.
inline constexpr uint32_t kTimerMessage = 0x0113;

// How a run of the loop ended: a quit request with its code, or an idle queue (nothing
// posted, no timer, nobody holding the loop open) which nothing could ever wake again.
struct LoopEnd {
  int quit_code = 0;
  bool idle = false;
};

// "Post" queues a message and returns at once; "send" runs the handler and returns its
// result: directly when called on the owning thread, otherwise by handing the message to the
// loop and waiting for it (answered 0 if the loop has ended). The owning thread is the one
// that created the queue; only it may call Run.
class MessageQueue {
 public:
  using Handler = std::function<intptr_t(const Message&)>;
  using Clock = std::chrono::steady_clock;

  MessageQueue();
  explicit MessageQueue(Handler handler);
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  void SetHandler(Handler handler);
  void Post(const Message& message);
  intptr_t Send(const Message& message);
  // Ends Run with `code` once the message being handled returns (at once when posted before
  // Run); later messages stay queued.
  void PostQuit(int code);

  // A periodic timer: a kTimerMessage with `timer_id` in wparam every `period`. Setting an
  // existing id restarts it.
  void SetTimer(uint32_t timer_id, std::chrono::milliseconds period);
  void KillTimer(uint32_t timer_id);

  // Something that will post later (a render in progress) keeps an idle loop waiting.
  void Hold();
  void Release();

  // Runs until a quit request, or until the queue is idle.
  LoopEnd Run();
  // Handles what is queued now (and due timers) without waiting; returns how many ran.
  int RunPending();

  std::size_t PendingCount() const;
  bool Running() const;

 private:
  struct Sent;
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
  };
  // Takes the next thing to handle under the lock; false when there is none ready.
  bool TakeNext(std::unique_lock<std::mutex>& lock, Message* message, Sent** sent);
  void Dispatch(const Message& message, Sent* sent);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread::id owner_;
  Handler handler_;
  std::deque<Message> posted_;
  std::deque<Sent*> sent_;
  std::map<uint32_t, Timer> timers_;
  int holds_ = 0;
  bool quit_ = false;
  int quit_code_ = 0;
  bool running_ = false;
  bool ended_ = false;
};

}  // namespace lumetra::platform
