// The media service thread: the newest thumbnail request wins, results are handed over by
// callback, sound overviews are made in their fixed format for clips that still exist.
#include "media/service_thread.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "clipdata/clip_data_memory.h"
#include "host/plugin_registry.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"

using namespace lumetra;
using namespace lumetra::media;

namespace {

std::atomic<int> g_browsed{0};

uint16_t* Browse(HostCallContext* ctx, const char*, void*, int32_t, int32_t width, int32_t height) {
  EXPECT_EQ(ctx->word[HCC_WORD_KIND], uintptr_t{HCC_KIND_MEDIA_THUMBNAIL});
  ++g_browsed;
  auto* buffer = static_cast<uint16_t*>(project::ClipDataAlloc(
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 2));
  if (buffer != nullptr) buffer[0] = 0x7C00;
  return buffer;
}

class ServiceThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    project::PluginRegistryClear();
    project::InputFormat* f = project::InputFormatNew("Browsed");
    project::CopyFixedText(f->ext[0], FORMAT_EXT_SIZE, "brw");
    f->image_browser = Browse;
    HostCallContext ctx{};
    ASSERT_NE(project::InputFormatRegister(&ctx, f), nullptr);
    g_browsed = 0;
  }
  void TearDown() override { project::PluginRegistryClear(); }

  struct Delivered {
    int32_t request;
    bool has_buffer;
    int32_t width;
  };
  std::mutex mutex_;
  std::vector<Delivered> delivered_;
};

TEST_F(ServiceThreadTest, TwoRequestsBeforeTheThreadWakesGiveOneThumbnailForTheLater) {
  MediaServiceThread thread;
  ASSERT_TRUE(thread.Running());
  MediaItem item;
  item.name = "pic";
  item.extension = "brw";
  item.kind = kMediaImage;
  auto deliver = [&](MediaItemPtr got) {
    std::lock_guard lock(mutex_);
    delivered_.push_back({got->request, got->buffer != nullptr, got->width});
    int32_t w = 0, h = 0;
    void* buffer = MediaItemTakeBuffer(got.release(), delivered_.back().request, &w, &h);
    project::ClipDataRelease(buffer);
  };
  thread.Pause();
  const int32_t first = thread.RequestThumbnail(item, 8, 6, deliver);
  const int32_t second = thread.RequestThumbnail(item, 16, 12, deliver);
  EXPECT_NE(first, second);
  thread.Resume();
  thread.WaitIdle();
  std::lock_guard lock(mutex_);
  ASSERT_EQ(delivered_.size(), 1u);
  EXPECT_EQ(delivered_[0].request, second);
  EXPECT_TRUE(delivered_[0].has_buffer);
  EXPECT_EQ(delivered_[0].width, 16);
  EXPECT_EQ(g_browsed.load(), 1);
}

TEST_F(ServiceThreadTest, AnItemWithoutAFormatStillArrivesWithAnEmptyBuffer) {
  MediaServiceThread thread;
  MediaItem item;
  item.extension = "none";
  item.kind = kMediaImage;
  thread.RequestThumbnail(item, 4, 4, [&](MediaItemPtr got) {
    std::lock_guard lock(mutex_);
    delivered_.push_back({got->request, got->buffer != nullptr, got->width});
  });
  thread.WaitIdle();
  std::lock_guard lock(mutex_);
  ASSERT_EQ(delivered_.size(), 1u);
  EXPECT_FALSE(delivered_[0].has_buffer);
}

TEST_F(ServiceThreadTest, SoundOverviewAtOneThousandSamplesEightBitMono) {
  project::ProcessRecord effect;
  effect.signature = "Sound 1.0 test";
  project::Project* p = project::ProjectCreate();
  project::ProjectSetDefaults(p);
  project::Track* t = project::TrackCreate(p);
  ASSERT_TRUE(project::TrackAppend(p, t));
  project::Clip* clip = project::ClipCreate(nullptr, &effect, 1.0f, 3.0f, t);
  ASSERT_NE(clip, nullptr);

  struct Asked {
    float start, end;
    int32_t rate, bytes, channels;
  };
  std::vector<Asked> asked;
  std::vector<project::Clip*> got;
  MediaServiceThread thread;
  auto assemble = [&](const project::Clip&, float start, float end, int32_t rate, int32_t bytes,
                      int32_t channels) -> SoundBlock* {
    asked.push_back({start, end, rate, bytes, channels});
    return nullptr;
  };
  auto deliver = [&](project::Clip* c, SoundBlock*) { got.push_back(c); };
  thread.RequestSoundOverview(clip, assemble, deliver);
  thread.WaitIdle();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].rate, 1000);
  EXPECT_EQ(asked[0].bytes, 1);
  EXPECT_EQ(asked[0].channels, 1);
  EXPECT_FLOAT_EQ(asked[0].start, 1.0f);
  EXPECT_FLOAT_EQ(asked[0].end, 3.0f);
  EXPECT_EQ(got, std::vector<project::Clip*>{clip});

  // A clip gone by the time the thread gets to it is skipped.
  project::ClipFree(clip);
  thread.RequestSoundOverview(clip, assemble, deliver);
  thread.WaitIdle();
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(got.size(), 1u);
  project::ProjectFree(p);
}

}  // namespace
