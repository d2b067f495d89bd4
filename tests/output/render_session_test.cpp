// The render session against the fake format: order of calls, insert mode, backward steps,
// fields, errors and retries, stopping and resuming, the chunked sound pass.
#include <gtest/gtest.h>

#include <filesystem>

#include "output/output_frames.h"
#include "output_fixture.h"

namespace lumetra::output::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(OutputTest, RendersEveryFrameInOrderBetweenStartAndFinish) {
  OutputSettings s = Settings(numbered_.get());
  RecordingObserver obs;
  RenderSession session(*engine_, s, obs, clock_);
  SessionOutcome r = session.Run(Request());
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.frames_saved, 10);
  ASSERT_EQ(Log().calls.size(), 12u);
  EXPECT_EQ(Log().calls.front(), "start");
  EXPECT_EQ(Log().calls.back(), "finish 77");  // the start's stream handle
  EXPECT_EQ(SavedFrames(), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(Log().calls[1], "save 0 VideoStream");
  for (std::size_t i = 0; i < Log().pixels.size(); ++i)
    EXPECT_EQ(Log().pixels[i][0], 2 * i);  // frame i made at time i / 25
  EXPECT_TRUE(fs::exists(dir_.path() / "take0009.tga"));
  ASSERT_EQ(obs.progress.size(), 10u);
  EXPECT_EQ(obs.progress.back().done, 10);
  EXPECT_EQ(obs.progress.back().of, 10);
  EXPECT_EQ(PicturesLeft(), 0) << "every picture was given back";
}

TEST_F(OutputTest, InsertModeStartsAtTheFirstMissingFrame) {
  OutputSettings s = Settings(numbered_.get());
  s.flags &= ~kOutputOverwrite;
  for (int32_t f = 0; f <= 3; ++f)
    platform::AtomicWriteFile(OutputFullFileName(s, f, 0, kRangeProject), "old");
  platform::AtomicWriteFile(OutputFullFileName(s, 6, 0, kRangeProject), "old");
  RecordingObserver obs;
  SessionOutcome r = RenderSession(*engine_, s, obs, clock_).Run(Request());
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(SavedFrames(), (std::vector<int32_t>{4, 5, 7, 8, 9}));
  EXPECT_EQ(obs.progress.back().of, 5);

  Log() = FormatLog{};
  RecordingObserver again;
  SessionOutcome all = RenderSession(*engine_, s, again, clock_).Run(Request());
  EXPECT_TRUE(all.nothing_to_do);
  EXPECT_EQ(all.message, "All requested frames are already exist");
  EXPECT_TRUE(SavedFrames().empty());
}

TEST_F(OutputTest, NegativeStepRendersBackwardAndNeverPastTheRange) {
  project_->active_end = 0.44f;  // frames 0 to 10
  OutputSettings s = Settings(numbered_.get());
  s.step = -2;
  RecordingObserver obs;
  SessionOutcome r = RenderSession(*engine_, s, obs, clock_).Run(Request());
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(SavedFrames(), (std::vector<int32_t>{10, 8, 6, 4, 2, 0}));

  Log() = FormatLog{};
  s.step = 3;  // 0, 3, 6, 9: never 12
  ASSERT_TRUE(RenderSession(*engine_, s, obs, clock_).Run(Request()).ok());
  EXPECT_EQ(SavedFrames(), (std::vector<int32_t>{0, 3, 6, 9}));

  OutputSettings single = Settings(single_.get());
  single.step = -2;
  RecordingObserver refused;
  SessionOutcome no = RenderSession(*engine_, single, refused, clock_).Run(Request());
  EXPECT_FALSE(no.started);
  EXPECT_EQ(no.message,
            "Output format doesn't support backward rendering.\nFrame step must be positive.");
}

TEST_F(OutputTest, FieldsWeaveTheSecondHalfFrameByParity) {
  project_->active_end = 0.12f;  // frames 0 to 2
  for (uint32_t order : {0u, uint32_t{kOutputLowerFieldFirst}}) {
    for (int32_t step : {1, -1}) {
      Log() = FormatLog{};
      OutputSettings s = Settings(numbered_.get(), kOutputFields | order);
      s.step = step;
      RecordingObserver obs;
      SessionOutcome r = RenderSession(*engine_, s, obs, clock_).Run(Request());
      ASSERT_TRUE(r.ok()) << r.message;
      const std::vector<int32_t> want =
          step > 0 ? std::vector<int32_t>{0, 1, 2} : std::vector<int32_t>{2, 1, 0};
      ASSERT_EQ(SavedFrames(), want) << "step " << step;  // the last frame is saved too
      for (std::size_t i = 0; i < want.size(); ++i) {
        const auto& px = Log().pixels[i];
        for (int32_t row = 0; row < 4; ++row) {
          const bool second = (row % 2 == 1) == (order != 0);
          // Rows of the field's parity come from the picture made at n + 0.5.
          EXPECT_EQ(px[row * 16], 2 * want[i] + (second ? 1 : 0))
              << "frame " << want[i] << " row " << row << " order " << order;
        }
      }
      EXPECT_EQ(PicturesLeft(), 0);
    }
  }
}

TEST_F(OutputTest, OfflineSaveErrorEndsWithItsBit) {
  OutputSettings s = Settings(numbered_.get());
  Log().fail_save_at = 3;
  RecordingObserver obs;
  SessionOutcome r = RenderSession(*engine_, s, obs, clock_).Run(Request());
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.error_bits, uint32_t{kErrorFrameSave});
  EXPECT_EQ(r.message, "Frame #3 Save error:\n\ndisk full");
  EXPECT_EQ(SavedFrames(), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(Log().calls.back(), "finish 77");  // the stream is still finished
  EXPECT_EQ(PicturesLeft(), 0);
}

TEST_F(OutputTest, InteractiveRetrySavesTheSamePictureAgain) {
  OutputSettings s = Settings(numbered_.get());
  Log().fail_save_at = 3;
  RecordingObserver obs;
  obs.answers = {RetryAnswer::kRetry};
  // The retry succeeds once the disk has room again.
  obs.on_saved = [](int32_t) {};
  struct Clearing : RecordingObserver {
    RetryAnswer AskRetry(std::string_view t) override {
      Log().fail_save_at = -1;
      return RecordingObserver::AskRetry(t);
    }
  } clearing;
  clearing.answers = {RetryAnswer::kRetry};
  SessionRequest req = Request();
  req.offline = false;
  SessionOutcome r = RenderSession(*engine_, s, clearing, clock_).Run(req);
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.frames_saved, 10);
  ASSERT_EQ(clearing.messages.size(), 1u);
  EXPECT_EQ(clearing.messages[0], "Frame #3 Save error:\n\ndisk full");
}

TEST_F(OutputTest, RenderErrorsRetryOfflineAfterTheCountdown) {
  static_cast<PaintData*>(clip_->data)->fail_make = 1;
  OutputSettings s = Settings(numbered_.get());
  RecordingObserver obs;
  const double before = clock_.now;
  SessionOutcome r = RenderSession(*engine_, s, obs, clock_).Run(Request());
  EXPECT_EQ(r.error_bits, uint32_t{kErrorRender});
  // Five retries, each after 120 seconds of the injected clock.
  EXPECT_NEAR(clock_.now - before, 5 * kRetryWaitSeconds, 1.0);
  int32_t countdowns = 0;
  for (const std::string& st : obs.statuses)
    if (st == "Render Error. Retry in 120 seconds.") ++countdowns;
  EXPECT_EQ(countdowns, 5);
  EXPECT_TRUE(SavedFrames().empty());
}

TEST_F(OutputTest, StopLeavesCompleteFramesAndInsertModeResumes) {
  OutputSettings s = Settings(numbered_.get(), kOutputFields);
  s.flags &= ~kOutputOverwrite;
  std::atomic<bool> stop{false};
  RecordingObserver obs;
  obs.on_saved = [&](int32_t frame) {
    if (frame == 4) stop = true;
  };
  RenderSession first(*engine_, s, obs, clock_);
  first.SetStopFlag(&stop);
  SessionOutcome r = first.Run(Request());
  EXPECT_TRUE(r.interrupted);
  EXPECT_EQ(SavedFrames(), (std::vector<int32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(PicturesLeft(), 0) << "the held field and pending pictures are freed";

  Log() = FormatLog{};
  RecordingObserver next;
  SessionOutcome resumed = RenderSession(*engine_, s, next, clock_).Run(Request());
  ASSERT_TRUE(resumed.ok()) << resumed.message;
  EXPECT_EQ(SavedFrames(), (std::vector<int32_t>{5, 6, 7, 8, 9}));
}

TEST_F(OutputTest, OneSessionAtATime) {
  OutputSettings s = Settings(numbered_.get());
  RecordingObserver inner;
  SessionOutcome nested;
  RecordingObserver outer;
  outer.on_saved = [&](int32_t frame) {
    if (frame == 0) nested = RenderSession(*engine_, s, inner, clock_).Run(Request());
  };
  ASSERT_TRUE(RenderSession(*engine_, s, outer, clock_).Run(Request()).ok());
  EXPECT_FALSE(nested.started);
  EXPECT_EQ(nested.message, "A render is already in progress.");
}

// Sound whose sample i of channel c is (i * 3 + c) & 0xFF: any chunking gives the same bytes.
struct RampSound : SoundSource {
  bool Assemble(project::Track*, int64_t begin, int64_t end, int32_t, int32_t bytes,
                int32_t channels, std::vector<uint8_t>& out, std::string*) override {
    for (int64_t i = begin; i < end; ++i)
      for (int32_t c = 0; c < channels; ++c)
        for (int32_t b = 0; b < bytes; ++b) out.push_back(static_cast<uint8_t>(i * 3 + c + b));
    return true;
  }
};

TEST_F(OutputTest, ChunkedSoundEqualsOneShot) {
  RampSound ramp;
  std::vector<uint8_t> whole;
  for (uint32_t chunked : {0u, uint32_t{kFormatSoundInChunks}}) {
    Log() = FormatLog{};
    auto sound = FakeFormat(false, "wav");
    sound->flags = chunked;
    OutputSettings s = Settings(numbered_.get(), kOutputSound);
    s.components[kComponentSound].SetFormat(sound.get());
    s.components[kComponentSound].path = dir_.path().string();
    s.components[kComponentSound].base_name = "sound";
    s.sample_rate = 8000;
    s.channels = 2;
    s.sound_buffering = 333;
    RecordingObserver obs;
    RenderSession session(*engine_, s, obs, clock_);
    session.SetSoundSource(&ramp);
    ASSERT_TRUE(session.Run(Request()).ok());
    EXPECT_EQ(Log().sound.size(), 10u * 8000 / 25 * 2 * 2);  // frames 0-9: 3200 samples
    if (chunked == 0) {
      EXPECT_EQ(Log().sound_times.size(), 1u);
      whole = Log().sound;
    } else {
      EXPECT_EQ(Log().sound_times.size(), 10u);  // ceil(3200 / 333)
      EXPECT_EQ(Log().sound, whole);
    }
  }
}

TEST_F(OutputTest, SoundWithoutAssemblyReportsIt) {
  auto sound = FakeFormat(false, "wav");
  OutputSettings s = Settings(numbered_.get(), kOutputSound);
  s.components[kComponentSound].SetFormat(sound.get());
  s.components[kComponentSound].path = dir_.path().string();
  RecordingObserver obs;
  SessionOutcome r = RenderSession(*engine_, s, obs, clock_).Run(Request());
  EXPECT_EQ(r.error_bits, uint32_t{kErrorSoundRender});
  EXPECT_EQ(r.frames_saved, 10);
}

TEST_F(OutputTest, RefusalsBeforeTheStart) {
  RecordingObserver obs;
  OutputSettings s = Settings(numbered_.get());
  s.components[0].path = (dir_.path() / "missing").string();
  EXPECT_EQ(RenderSession(*engine_, s, obs, clock_).Run(Request()).message,
            "Output path for Video component could not be found or is read only.");
  s.components[0].path.clear();
  EXPECT_EQ(RenderSession(*engine_, s, obs, clock_).Run(Request()).message,
            "No output path defined for Video component.");
  project::Project* empty = project::ProjectCreate();
  SessionRequest req = Request();
  req.project = empty;
  EXPECT_EQ(RenderSession(*engine_, s, obs, clock_).Run(req).message,
            "Project has no tracks to render.");
  EXPECT_TRUE(Log().calls.empty());
}

}  // namespace
}  // namespace lumetra::output::testing
