// Render threads read clips, ClipGetValue and the process registry while the interface
// thread places, moves and frees clips and registers processes. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "plugin/lumetra_plugin.h"
#include "host/clip_get_value.h"
#include "model/clip_move.h"
#include "projectfile/project_file_processes.h"
#include "model/render_lock.h"
#include "model/project_fixture.h"

namespace lumetra::project {
namespace {

using testing::ProjectTest;

constexpr int kReaders = 3;
constexpr int kRounds = 200;

// Readers run until the writer is done, and always at least once.
template <typename Read>
std::vector<std::thread> StartReaders(std::atomic<bool>& done, std::atomic<int>& reads, Read read) {
  std::vector<std::thread> readers;
  for (int i = 0; i < kReaders; ++i) {
    readers.emplace_back([&done, &reads, read] {
      do {
        read();
        reads.fetch_add(1, std::memory_order_relaxed);
        std::this_thread::yield();
      } while (!done.load(std::memory_order_acquire));
    });
  }
  // The writer starts once every reader has read, so that writes overlap reads.
  while (reads.load() < kReaders) std::this_thread::yield();
  return readers;
}

class ClipThreadsTest : public ProjectTest {};

TEST_F(ClipThreadsTest, ReadersSeeWholeClipListsWhileClipsMove) {
  Track* track = AddTrack();
  // The clip every reader's context names; it moves between two spans but is never freed.
  Clip* steady = AddClip(track, 10.f, 12.f);
  ASSERT_NE(steady, nullptr);
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::atomic<int> torn{0};

  auto read = [&] {
    HostCallContext ctx{};
    ctx.word[HCC_WORD_KIND] = HCC_KIND_CLIP;
    ctx.word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(steady);
    float from = -1.f, to = -1.f;
    intptr_t inputs = -1;
    if (ClipGetValue(&ctx, "clip_from", 0, nullptr, nullptr, &from, nullptr, 0) != 1 ||
        ClipGetValue(&ctx, "clip_to", 0, nullptr, nullptr, &to, nullptr, 0) != 1 ||
        ClipGetValue(&ctx, "clip_inputs", 0, &inputs, nullptr, nullptr, nullptr, 0) != 1)
      torn.fetch_add(1);
    if ((from != 10.f && from != 20.f) || (to != 12.f && to != 22.f) || inputs != 2)
      torn.fetch_add(1);
    intptr_t base = 0;
    if (ClipGetValue(nullptr, "timebase", 0, &base, nullptr, nullptr, nullptr, 0) != 1 || base <= 0)
      torn.fetch_add(1);
    // The list as the render engine walks it: ordered, spans valid and apart.
    RenderLockGuard lock(RenderLock());
    float last_end = 0.f;
    for (const Clip* c = track->first_clip; c != nullptr; c = c->next) {
      if (!(c->start < c->end) || c->start < last_end || c->track != track) torn.fetch_add(1);
      last_end = c->end;
    }
  };
  std::vector<std::thread> readers = StartReaders(done, reads, read);

  for (int round = 0; round < kRounds; ++round) {
    Clip* churn = AddClip(track, 30.f, 31.f);
    ASSERT_NE(churn, nullptr);
    Clip* moved = ClipMove(churn, track, 40.f, 41.f, false);
    ASSERT_EQ(moved, churn);
    const bool odd = round % 2 != 0;
    ASSERT_EQ(ClipMove(steady, track, odd ? 10.f : 20.f, odd ? 12.f : 22.f, false), steady);
    ClipFree(moved);
  }
  done.store(true, std::memory_order_release);
  for (std::thread& t : readers) t.join();

  EXPECT_EQ(torn.load(), 0);
  EXPECT_GE(reads.load(), kReaders);
  EXPECT_EQ(SpansOf(track), (testing::SpanList{{10.f, 12.f}}));
}

TEST_F(ClipThreadsTest, RegistryWalksWhileProcessesRegister) {
  std::vector<std::unique_ptr<ProcessRecord>> records;
  for (int i = 0; i < kRounds; ++i) {
    records.push_back(std::make_unique<ProcessRecord>());
    records.back()->signature = "Threads " + std::to_string(i) + " test";
    records.back()->version = i;
  }
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::atomic<int> torn{0};
  auto read = [&] {
    // Newest first: the versions of the records pushed here descend without a gap.
    int expected = -1;
    for (const ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next) {
      if (p->signature.rfind("Threads ", 0) != 0) continue;
      if (expected >= 0 && p->version != expected) torn.fetch_add(1);
      expected = p->version - 1;
    }
    if (ProcessFindForFile("", "Threads 0 test") == nullptr && expected >= 0) torn.fetch_add(1);
  };
  std::vector<std::thread> readers = StartReaders(done, reads, read);
  for (auto& r : records) ProcessRegistryPush(r.get());
  done.store(true, std::memory_order_release);
  for (std::thread& t : readers) t.join();

  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(ProcessFindForFile("", "Threads 199 test"), records.back().get());
  for (auto& r : records) ProcessRegistryRemove(r.get());
  EXPECT_EQ(ProcessFindForFile("", "Threads 0 test"), nullptr);
}

}  // namespace
}  // namespace lumetra::project
