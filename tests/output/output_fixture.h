// A one-track project whose effect paints each frame with values from its time, and a fake
// output format that records every call and writes small files.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "clipdata/template.h"
#include "host/object_error.h"
#include "host/plugin_registry.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"
#include "output/render_session.h"
#include "platform/atomic_write.h"
#include "render/pic.h"
#include "render/pic_error.h"
#include "render/render_engine.h"
#include "temp_dir.h"

namespace lumetra::output::testing {

struct PaintData {
  int32_t fail_make;  // reports an error instead of a picture
};

// Every pixel's blue byte is the frame time in half frames at 25 fps, green the row.
inline PIC* PaintMake(HostCallContext* ctx, void* data, float, float, float time) {
  if (static_cast<PaintData*>(data)->fail_make) {
    render::RenderClipReportError(ctx, "paint failed");
    return nullptr;
  }
  PIC* pic = render::PicCreate(4, 4);
  const auto halves = static_cast<uint8_t>(std::lround(time * 50.0f));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      uint8_t* p = pic->pixels + (y * 4 + x) * 4;
      p[0] = halves;
      p[1] = static_cast<uint8_t>(y);
      p[2] = 0;
      p[3] = 255;
    }
  return pic;
}

// The calls the fake format received.
struct FormatLog {
  std::vector<std::string> calls;  // "start", "save <frame> <file>", "finish", "sound ..."
  std::vector<PIC> saved;          // copies of the pictures' headers
  std::vector<std::vector<uint8_t>> pixels;
  std::vector<uint8_t> sound;      // concatenated sound data
  std::vector<float> sound_times;
  int32_t fail_save_at = -1;       // the frame whose save fails
  bool refuse_check = false;
};
inline FormatLog& Log() {
  static FormatLog log;
  return log;
}

inline uintptr_t FakeStart(HostCallContext*, void*) {
  Log().calls.push_back("start");
  return 77;
}
inline int32_t FakeFinish(HostCallContext*, void*, uintptr_t stream) {
  Log().calls.push_back("finish " + std::to_string(stream));
  return 1;
}
inline int32_t FakeCheck(HostCallContext* ctx, void*) {
  if (!Log().refuse_check) return 1;
  project::ObjectReportError(ctx, "fake format refuses");
  return 0;
}
inline int32_t FakeSave(HostCallContext* ctx, void*, uintptr_t, const PIC* pic, const char* file,
                        const char* stream, int32_t frame) {
  if (frame == Log().fail_save_at) {
    project::ObjectReportError(ctx, "disk full");
    return 0;
  }
  Log().calls.push_back("save " + std::to_string(frame) + " " + stream);
  Log().saved.push_back(*pic);
  Log().pixels.emplace_back(pic->pixels, pic->pixels + pic->width * pic->height * 4);
  platform::AtomicWriteFile(file, std::string("frame ") + std::to_string(frame));
  return 1;
}
inline int32_t FakeSoundSave(HostCallContext*, void*, uintptr_t, const SoundBlock* s,
                             const char*, const char* stream, float time) {
  Log().calls.push_back(std::string("sound ") + stream);
  Log().sound.insert(Log().sound.end(), s->data, s->data + s->samples * s->channels * s->bytes);
  Log().sound_times.push_back(time);
  return 1;
}

// A format record of our own (never registered): numbered or one file for the range.
inline std::unique_ptr<project::OutputFormat> FakeFormat(bool numbered, const char* ext = "tga") {
  auto f = std::make_unique<project::OutputFormat>();
  project::CopyFixedText(f->ext, sizeof f->ext, ext);
  project::CopyFixedText(f->name, sizeof f->name, "Fake");
  f->flags = numbered ? kFormatNumberedFiles : 0;
  f->image_start = &FakeStart;
  f->image_finish = &FakeFinish;
  f->image_check = &FakeCheck;
  f->image_saver = &FakeSave;
  f->sound_saver = &FakeSoundSave;
  return f;
}

// Messages and progress as a test reads them; Retry answers from a list.
struct RecordingObserver : SessionObserver {
  std::vector<std::string> messages, statuses;
  std::vector<SessionProgress> progress;
  std::vector<RetryAnswer> answers;
  std::function<void(int32_t)> on_saved;
  void Message(std::string_view t) override { messages.emplace_back(t); }
  void Status(std::string_view t) override { statuses.emplace_back(t); }
  void Progress(const SessionProgress& p) override { progress.push_back(p); }
  void FrameSaved(int32_t frame, const std::string&, const PIC*, const std::string&) override {
    if (on_saved) on_saved(frame);
  }
  RetryAnswer AskRetry(std::string_view t) override {
    messages.emplace_back(t);
    if (answers.empty()) return RetryAnswer::kCancel;
    RetryAnswer a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
};

// A clock that moves only by Sleep.
struct FakeClock : SessionClock {
  double now = 1000;
  double Seconds() override { return now; }
  void Sleep(double s) override { now += s; }
};

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    render::PicInit();
    Log() = FormatLog{};
    tmpl_.reset(project::TemplateNew(reinterpret_cast<uintptr_t>(&proto_)));
    ASSERT_EQ(project::TemplateAddField(*tmpl_, "fail", "dword",
                                        reinterpret_cast<uintptr_t>(&proto_.fail_make), 1),
              "");
    effect_.name = "Test/Paint";
    effect_.signature = "Paint test";
    effect_.previous_track_input = -1;
    effect_.make = &PaintMake;
    effect_.data_template = tmpl_.get();
    project_ = project::ProjectCreate();
    project::ProjectSetDefaults(project_);
    project_->active_start = 0;
    project_->active_end = 0.4f;  // frames 0 to 9 at 25 fps
    track_ = project::TrackCreate(project_);
    ASSERT_TRUE(project::TrackAppend(project_, track_));
    clip_ = project::ClipCreate(nullptr, &effect_, 0, 10, track_);
    ASSERT_NE(clip_, nullptr);
    numbered_ = FakeFormat(true);
    single_ = FakeFormat(false, "mov");
    engine_ = std::make_unique<render::RenderEngine>(uint64_t{1} << 28);
  }
  void TearDown() override {
    engine_.reset();
    while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
  }

  OutputSettings Settings(const project::OutputFormat* format, uint32_t flags = 0) {
    OutputSettings s;
    s.components[kComponentVideo].SetFormat(format);
    s.components[kComponentVideo].path = dir_.path().string();
    s.components[kComponentVideo].base_name = "take";
    s.width = 4;
    s.height = 4;
    s.flags = kOutputVideo | kOutputOverwrite | flags;
    return s;
  }
  SessionRequest Request() {
    SessionRequest r;
    r.project = project_;
    r.track = track_;
    return r;
  }
  // Pictures still alive once the engine and its cache are gone (a new engine follows).
  int32_t PicturesLeft() {
    engine_ = std::make_unique<render::RenderEngine>(uint64_t{1} << 28);
    return render::PicCount();
  }
  std::vector<int32_t> SavedFrames() const {
    std::vector<int32_t> frames;
    for (const std::string& c : Log().calls)
      if (c.rfind("save ", 0) == 0) frames.push_back(std::stoi(c.substr(5)));
    return frames;
  }

  PaintData proto_{};
  project::TemplatePtr tmpl_;
  project::ProcessRecord effect_;
  project::Project* project_ = nullptr;
  project::Track* track_ = nullptr;
  project::Clip* clip_ = nullptr;
  std::unique_ptr<project::OutputFormat> numbered_, single_;
  std::unique_ptr<render::RenderEngine> engine_;
  test_dir::TempDir dir_{"lumetra-output"};
  FakeClock clock_;
};

}  // namespace lumetra::output::testing
