// The message loop: post and send, quit, idle end, timers and holds.
#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace lumetra::platform;
using namespace std::chrono_literals;

TEST(MessageQueue, PostedMessagesRunInOrderThenTheIdleLoopEnds) {
  std::vector<uint32_t> seen;
  MessageQueue queue;
  queue.SetHandler([&](const Message& m) -> intptr_t {
    seen.push_back(m.id);
    if (m.id == 1) queue.Post({3});  // posted from a handler: runs after what was queued
    return 0;
  });
  queue.Post({1});
  queue.Post({2});
  LoopEnd end = queue.Run();
  EXPECT_TRUE(end.idle);
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3}));
}

TEST(MessageQueue, QuitEndsAfterTheCurrentMessageAndKeepsTheRestQueued) {
  std::vector<uint32_t> seen;
  MessageQueue queue([&](const Message& m) -> intptr_t {
    seen.push_back(m.id);
    return 0;
  });
  queue.SetHandler([&](const Message& m) -> intptr_t {
    seen.push_back(m.id);
    if (m.id == 1) queue.PostQuit(7);
    return 0;
  });
  queue.Post({1});
  queue.Post({2});
  LoopEnd end = queue.Run();
  EXPECT_FALSE(end.idle);
  EXPECT_EQ(end.quit_code, 7);
  EXPECT_EQ(seen, (std::vector<uint32_t>{1}));
  EXPECT_EQ(queue.PendingCount(), 1u);
}

TEST(MessageQueue, SendRunsAtOnceOnTheOwnerAndWaitsFromOtherThreads) {
  MessageQueue queue;
  std::thread::id handled_on;
  queue.SetHandler([&](const Message& m) -> intptr_t {
    handled_on = std::this_thread::get_id();
    if (m.id == 99) queue.PostQuit(1);
    return static_cast<intptr_t>(m.wparam) * 2;
  });
  EXPECT_EQ(queue.Send({5, 21}), 42);  // owner thread: direct call, no loop needed
  EXPECT_EQ(queue.PendingCount(), 0u);

  intptr_t from_worker = 0;
  // Held so the loop waits for the worker instead of ending idle.
  queue.Hold();
  std::thread worker([&] {
    from_worker = queue.Send({5, 50});
    queue.Post({99});
    queue.Release();
  });
  LoopEnd end = queue.Run();
  worker.join();
  EXPECT_EQ(from_worker, 100);
  EXPECT_EQ(handled_on, std::this_thread::get_id());
  EXPECT_EQ(end.quit_code, 1);

  // After the loop has ended a sender from another thread is answered 0, not left hanging.
  intptr_t late = -1;
  std::thread([&] { late = queue.Send({5, 1}); }).join();
  EXPECT_EQ(late, 0);
}

TEST(MessageQueue, TimersKeepTheLoopAliveUntilKilled) {
  MessageQueue queue;
  int ticks = 0;
  queue.SetHandler([&](const Message& m) -> intptr_t {
    if (m.id == kTimerMessage && m.wparam == 4 && ++ticks == 3) queue.KillTimer(4);
    return 0;
  });
  queue.SetTimer(4, 1ms);
  LoopEnd end = queue.Run();
  EXPECT_TRUE(end.idle);
  EXPECT_EQ(ticks, 3);
}

TEST(MessageQueue, RunPendingHandlesOnlyWhatIsQueued) {
  MessageQueue queue;
  int count = 0;
  queue.SetHandler([&](const Message&) -> intptr_t {
    if (++count < 10) queue.Post({1});
    return 0;
  });
  queue.Post({1});
  EXPECT_EQ(queue.RunPending(), 1);
  EXPECT_EQ(queue.PendingCount(), 1u);
  EXPECT_FALSE(queue.Running());
}
