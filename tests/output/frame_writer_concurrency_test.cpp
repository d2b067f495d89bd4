// Frames saved on writer threads: results in frame order whatever order the saves end in,
// the same files and digests for any thread count, cancelled jobs never written, a save
// error failing the session with every frame before it kept.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "output/frame_writer.h"
#include "output/output_frames.h"
#include "output_fixture.h"

namespace lumetra::output::testing {
namespace {

namespace fs = std::filesystem;

TEST(FrameWriter, ResultsComeBackInOrderForAnyThreadCount) {
  for (int32_t threads : {0, 1, 4}) {
    std::mutex m;
    std::vector<int32_t> saved;
    FrameWriter w(
        threads, 3,
        [&](const FrameJob& j, std::string* e) {
          // Later frames of a group of three finish first.
          std::this_thread::sleep_for(std::chrono::milliseconds(2 * (2 - j.frame % 3)));
          std::lock_guard lock(m);
          saved.push_back(j.frame);
          if (j.frame == 7) *e = "seven";
          return j.frame != 7;
        },
        [](const FrameJob& j) { return "note " + std::to_string(j.frame); });
    std::vector<FrameResult> back;
    for (int32_t f = 0; f < 12; ++f) {
      while (w.Full()) back.push_back(*w.Take(true));
      w.Submit({f, "f" + std::to_string(f), nullptr, false});
    }
    while (auto r = w.Take(true)) back.push_back(std::move(*r));
    ASSERT_EQ(back.size(), 12u) << threads;
    EXPECT_EQ(saved.size(), 12u) << threads;
    for (int32_t f = 0; f < 12; ++f) {
      const FrameResult& r = back[static_cast<std::size_t>(f)];
      EXPECT_EQ(r.job.frame, f) << threads;
      EXPECT_TRUE(r.started);
      EXPECT_EQ(r.written, f != 7) << f;
      EXPECT_EQ(r.error, f == 7 ? "seven" : "") << f;
      EXPECT_EQ(r.note, f == 7 ? "" : "note " + std::to_string(f)) << f;
    }
  }
}

TEST(FrameWriter, CancelDropsTheJobsNoThreadTook) {
  std::mutex m;
  std::condition_variable cv;
  bool running = false, release = false;
  std::atomic<int32_t> saves{0};
  FrameWriter w(
      1, 4,
      [&](const FrameJob&, std::string*) {
        ++saves;
        std::unique_lock lock(m);
        running = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
        return true;
      },
      nullptr);
  for (int32_t f = 0; f < 3; ++f) w.Submit({f, {}, nullptr, false});
  EXPECT_FALSE(w.Full());
  {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return running; });
  }
  w.Cancel();
  {
    std::lock_guard lock(m);
    release = true;
  }
  cv.notify_all();
  auto first = w.Take(true);
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->started && first->written);
  for (int32_t f = 1; f < 3; ++f) {
    auto r = w.Take(true);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->job.frame, f);
    EXPECT_FALSE(r->started);
  }
  EXPECT_FALSE(w.Take(true));
  EXPECT_EQ(saves.load(), 1);
}

TEST(FrameWriter, DepthStaysWithinTheMemoryBudget) {
  EXPECT_EQ(FrameWriterDepth(0, 1024), 2);
  EXPECT_EQ(FrameWriterDepth(4, 1024), 6);
  EXPECT_EQ(FrameWriterDepth(4, kFrameWriterBudgetBytes / 3), 3);
  EXPECT_EQ(FrameWriterDepth(4, kFrameWriterBudgetBytes * 2), 1);
}

// A numbered format without a stream, safe to call from several threads: each file holds
// the frame's pixels; frame `fail_at` cannot be saved.
struct SharedLog {
  std::mutex m;
  std::vector<int32_t> frames;
  int32_t fail_at = -1;
};
SharedLog& Shared() {
  static SharedLog log;
  return log;
}
int32_t SharedSave(HostCallContext* ctx, void*, uintptr_t, const PIC* pic, const char* file,
                   const char*, int32_t frame) {
  if (frame == Shared().fail_at) {
    project::ObjectReportError(ctx, "disk full");
    return 0;
  }
  // Uneven save times, so that later frames can finish first.
  std::this_thread::sleep_for(std::chrono::milliseconds(frame % 3));
  const auto* p = reinterpret_cast<const char*>(pic->pixels);
  if (!platform::AtomicWriteFile(file, std::string(p, p + pic->width * pic->height * 4)).ok())
    return 0;
  std::lock_guard lock(Shared().m);
  Shared().frames.push_back(frame);
  return 1;
}

struct NotingObserver : RecordingObserver {
  std::vector<std::string> lines;
  std::string FrameNote(const PIC* pic) const override { return std::to_string(pic->pixels[0]); }
  void FrameSaved(int32_t frame, const std::string& file, const PIC*,
                  const std::string& note) override {
    RecordingObserver::FrameSaved(frame, file, nullptr, note);
    lines.push_back(std::to_string(frame) + " " + fs::path(file).filename().string() + " " + note);
  }
};

class WriterSessionTest : public OutputTest {
 protected:
  void SetUp() override {
    OutputTest::SetUp();
    Shared().frames.clear();
    Shared().fail_at = -1;
    parallel_ = FakeFormat(true);
    parallel_->image_start = nullptr;
    parallel_->image_finish = nullptr;
    parallel_->image_saver = &SharedSave;
  }
  std::unique_ptr<project::OutputFormat> parallel_;
};

TEST_F(WriterSessionTest, SameFilesAndLinesForAnyWriterCount) {
  project_->active_end = 0.8f;  // frames 0 to 19
  std::vector<std::string> first_lines;
  for (int32_t threads : {0, 1, 3}) {
    Shared().frames.clear();
    OutputSettings s = Settings(parallel_.get());
    s.components[kComponentVideo].path = (dir_.path() / std::to_string(threads)).string();
    fs::create_directories(s.components[kComponentVideo].path);
    NotingObserver obs;
    SessionRequest req = Request();
    req.write_threads = threads;
    SessionOutcome r = RenderSession(*engine_, s, obs, clock_).Run(req);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.frames_saved, 20);
    ASSERT_EQ(obs.lines.size(), 20u);
    ASSERT_EQ(obs.progress.size(), 20u);
    for (int32_t f = 0; f < 20; ++f) {
      EXPECT_EQ(obs.progress[static_cast<std::size_t>(f)].done, f + 1);
      std::ifstream in(OutputFullFileName(s, f, kComponentVideo, kRangeProject), std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      ASSERT_EQ(bytes.str().size(), 64u) << f;
      EXPECT_EQ(static_cast<uint8_t>(bytes.str()[0]), 2 * f) << threads;
    }
    if (first_lines.empty()) first_lines = obs.lines;
    EXPECT_EQ(obs.lines, first_lines) << threads;
    EXPECT_EQ(PicturesLeft(), 0) << "every picture was given back";
  }
  EXPECT_EQ(first_lines.front(), "0 take0000.tga 0");
}

TEST_F(WriterSessionTest, ASaveErrorFailsTheRenderAndKeepsTheFramesBeforeIt) {
  project_->active_end = 0.8f;
  Shared().fail_at = 6;
  OutputSettings s = Settings(parallel_.get());
  NotingObserver obs;
  SessionRequest req = Request();
  req.write_threads = 3;
  SessionOutcome r = RenderSession(*engine_, s, obs, clock_).Run(req);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.error_bits, uint32_t{kErrorFrameSave});
  EXPECT_EQ(r.message, "Frame #6 Save error:\n\ndisk full");
  // Frames a writer had taken before the error are complete and reported; none after the
  // render stopped is begun.
  ASSERT_GE(obs.lines.size(), 6u);
  EXPECT_LE(obs.lines.size(), 6u + 4u);
  for (std::size_t i = 0; i < obs.lines.size(); ++i) {
    const int32_t f = static_cast<int32_t>(i < 6 ? i : i + 1);
    EXPECT_EQ(obs.lines[i].substr(0, obs.lines[i].find(' ')), std::to_string(f));
    EXPECT_TRUE(fs::exists(OutputFullFileName(s, f, kComponentVideo, kRangeProject)));
  }
  EXPECT_FALSE(fs::exists(OutputFullFileName(s, 6, kComponentVideo, kRangeProject)));
  EXPECT_EQ(static_cast<int32_t>(obs.lines.size()), r.frames_saved);
  EXPECT_EQ(PicturesLeft(), 0);
}

TEST_F(WriterSessionTest, AStopKeepsOnlyWholeFramesInOrder) {
  project_->active_end = 0.8f;
  OutputSettings s = Settings(parallel_.get());
  NotingObserver obs;
  std::atomic<bool> stop{false};
  obs.on_saved = [&](int32_t frame) {
    if (frame == 4) stop = true;
  };
  SessionRequest req = Request();
  req.write_threads = 2;
  RenderSession session(*engine_, s, obs, clock_);
  session.SetStopFlag(&stop);
  SessionOutcome r = session.Run(req);
  EXPECT_TRUE(r.interrupted);
  ASSERT_GE(obs.lines.size(), 5u);
  EXPECT_LT(obs.lines.size(), 20u);
  // The files are exactly the frames reported, a run from the first.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), obs.lines.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(names[i], fs::path(OutputFullFileName(s, static_cast<int32_t>(i), kComponentVideo,
                                                    kRangeProject))
                            .filename()
                            .string());
  EXPECT_EQ(PicturesLeft(), 0);
}

}  // namespace
}  // namespace lumetra::output::testing
