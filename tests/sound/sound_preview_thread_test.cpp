#include <filesystem>

#include "platform/ui_host.h"
#include "sound/sound_preview.h"
#include "sound_fixture.h"
#include "temp_dir.h"

namespace lumetra::sound::testing {
namespace {

// Runs the queue on this thread until the preview's done message came.
std::vector<platform::Message> RunUntilDone(platform::MessageQueue& queue, SoundPreview& preview) {
  std::vector<platform::Message> seen;
  bool done = false;
  queue.SetHandler([&](const platform::Message& m) -> intptr_t {
    seen.push_back(m);
    preview.HandleMessage(m);
    if (m.id == kPreviewDoneMessage) done = true;
    return 0;
  });
  preview.Join();
  queue.RunPending();
  EXPECT_TRUE(done);
  return seen;
}

TEST_F(SoundTest, PreviewThreadPostsProgressAndThePlayKey) {
  test_dir::TempDir dir("lumetra-preview-thread");
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 2.0f);
  platform::MessageQueue queue;
  const uintptr_t window = 77;
  SoundPreview preview(queue, window);
  SoundPreviewRequest rq;
  rq.track = t;
  rq.start = 0.0f;
  rq.end = 2.0f;
  rq.format = {8000, 1, 1};
  rq.path = SoundPreviewFileName(dir.path().string(), t->number);
  ASSERT_TRUE(preview.Start(rq));
  const std::vector<platform::Message> seen = RunUntilDone(queue, preview);
  EXPECT_EQ(preview.State(), kPreviewReady);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front().id, kPreviewProgressMessage);
  EXPECT_EQ(seen.back().id, kKeyDownMessage);
  EXPECT_EQ(seen.back().wparam, kPlayKey);
  EXPECT_EQ(seen.back().lparam, static_cast<intptr_t>(window));
  EXPECT_EQ(std::filesystem::file_size(rq.path), kWaveHeaderSize + 16000);
}

TEST_F(SoundTest, ACancelledPreviewPostsNoPlayKey) {
  test_dir::TempDir dir("lumetra-preview-cancel");
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 600.0f);
  platform::MessageQueue queue;
  SoundPreview preview(queue, 5);
  SoundPreviewRequest rq;
  rq.track = t;
  rq.start = 0.0f;
  rq.end = 600.0f;
  rq.format = {8000, 1, 1};
  rq.path = SoundPreviewFileName(dir.path().string(), t->number);
  ASSERT_TRUE(preview.Start(rq));
  preview.Cancel();
  const std::vector<platform::Message> seen = RunUntilDone(queue, preview);
  EXPECT_EQ(preview.State(), kPreviewStopped);
  for (const platform::Message& m : seen) EXPECT_NE(m.id, kKeyDownMessage);
  const SoundPreviewResult r = preview.LastResult();
  EXPECT_EQ(r.error, "");
  EXPECT_LT(r.chunks, 600);
  EXPECT_EQ(std::filesystem::file_size(rq.path), kWaveHeaderSize + r.data_size);
}

}  // namespace
}  // namespace lumetra::sound::testing
