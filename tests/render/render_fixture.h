// A small project of in-process test effects for the render engine tests. A stamp effect
// reads up to three inputs and writes its track, time, data generation and the stamps of
// its inputs into its first pixels, so a test can tell which make produced a picture.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "clipdata/template.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/pseudo_track.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "render/pic.h"
#include "render/render_engine.h"

namespace lumetra::render::testing {

inline constexpr int32_t kW = 8;
inline constexpr int32_t kH = 4;
inline constexpr float kAspect = 1.0f;

// The clip data block of the stamp effect.
struct StampData {
  int32_t reads;          // inputs read, 0 to 3
  int32_t offset_ms[3];   // input i is read at time + offset_ms[i] / 1000
  int32_t mode;           // StampMode
  int32_t generation;     // written into the picture
  int32_t extra_input;    // mode kStampReadBeyond: reads this input number
  int32_t seed;           // for randomized modes
};

enum StampMode : int32_t {
  kStampNormal = 0,
  kStampFail = 1,       // reports an error
  kStampNothing = 2,    // returns no picture, reports nothing, waits for nothing
  kStampReadBeyond = 3, // reads input `extra_input` first
};

// First pixel words of a stamped picture.
struct Stamp {
  int32_t track;
  int32_t time_ms;
  int32_t generation;
  int32_t inputs_sum;  // sum of the inputs' generations
};

inline Stamp ReadStamp(const PIC* pic) {
  Stamp s{};
  std::memcpy(&s, pic->pixels, sizeof s);
  return s;
}

// Makes per (track number, time in ms); guarded for the threaded tests.
struct MakeLog {
  std::mutex mutex;
  std::map<std::pair<int32_t, int32_t>, int32_t> makes;
  void Add(int32_t track, float time) {
    std::lock_guard<std::mutex> lock(mutex);
    makes[{track, static_cast<int32_t>(time * 1000 + 0.5f)}] += 1;
  }
  int32_t Of(int32_t track, float time) {
    std::lock_guard<std::mutex> lock(mutex);
    return makes[{track, static_cast<int32_t>(time * 1000 + 0.5f)}];
  }
};
inline MakeLog& Log() {
  static MakeLog log;
  return log;
}

inline PIC* StampMake(HostCallContext* ctx, void* data, float, float, float time) {
  auto* d = static_cast<StampData*>(data);
  if (d->mode == kStampFail) {
    RenderClipReportError(ctx, "stamp failed");
    return nullptr;
  }
  if (d->mode == kStampNothing) return nullptr;
  if (d->mode == kStampReadBeyond) {
    if (GetInputFrame(ctx, d->extra_input, time) == nullptr) return nullptr;
  }
  if ((d->generation + static_cast<int32_t>(time * 1000)) % 3 == 0) std::this_thread::yield();
  PIC* got[3] = {};
  bool waiting = false;
  int32_t sum = 0;
  for (int32_t i = 0; i < d->reads && i < 3; ++i) {
    got[i] = GetInputFrame(ctx, i, time + static_cast<float>(d->offset_ms[i]) / 1000.0f);
    if (got[i] == nullptr && ctx->word[HCC_WORD_ERROR_TEXT] != 0) {
      for (PIC* p : got) {
        if (p != nullptr) FreeInputFrame(ctx, p);
      }
      return nullptr;  // the error stands
    }
    if (got[i] == nullptr) {
      waiting = true;
    } else {
      sum += ReadStamp(got[i]).generation;
    }
  }
  if (waiting) {
    for (PIC* p : got) {
      if (p != nullptr) FreeInputFrame(ctx, p);
    }
    return nullptr;
  }
  PIC* pic = PicCreate(kW, kH);
  Stamp s{d->seed, static_cast<int32_t>(time * 1000 + 0.5f), d->generation, sum};
  std::memcpy(pic->pixels, &s, sizeof s);
  for (PIC* p : got) {
    if (p != nullptr) FreeInputFrame(ctx, p);
  }
  Log().Add(d->seed, time);
  return pic;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmpl_.reset(project::TemplateNew(reinterpret_cast<uintptr_t>(&proto_)));
    ASSERT_EQ(project::TemplateAddField(*tmpl_, "words", "dword",
                                        reinterpret_cast<uintptr_t>(&proto_), sizeof proto_ / 4),
              "");
    for (int32_t n = 0; n < 4; ++n) {
      ProcessRecord& p = effects_[n];
      p.name = "Test/Stamp";
      p.signature = "Stamp test";
      p.inputs_number = n;
      p.previous_track_input = n > 0 ? 0 : -1;
      p.make = &StampMake;
      p.data_template = tmpl_.get();
    }
    project_ = project::ProjectCreate();
    project::ProjectSetDefaults(project_);
    {
      std::lock_guard<std::mutex> lock(Log().mutex);
      Log().makes.clear();
    }
  }
  void TearDown() override {
    engine_.reset();
    while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
  }

  using ProcessRecord = project::ProcessRecord;

  project::Track* AddTrack(project::Clip* owner = nullptr) {
    project::Track* t = project::TrackCreate(project_);
    if (owner != nullptr) {
      EXPECT_TRUE(project::SubProjectAppend(owner, t));
    } else {
      EXPECT_TRUE(project::TrackAppend(project_, t));
    }
    return t;
  }
  // A stamp clip with `inputs` inputs (input 0 starts as "*Previous").
  project::Clip* AddClip(project::Track* t, float start, float end, int32_t inputs = 0,
                         int32_t reads = 0) {
    project::Clip* c = project::ClipCreate(nullptr, &effects_[inputs], start, end, t);
    EXPECT_NE(c, nullptr);
    if (c != nullptr) {
      Data(c)->reads = reads;
      Data(c)->seed = t->number;
    }
    return c;
  }
  static StampData* Data(project::Clip* c) { return static_cast<StampData*>(c->data); }

  RenderEngine& Engine(uint64_t budget = uint64_t{1} << 30) {
    if (!engine_) engine_ = std::make_unique<RenderEngine>(budget);
    return *engine_;
  }

  StampData proto_{};
  project::TemplatePtr tmpl_;
  ProcessRecord effects_[4];
  project::Project* project_ = nullptr;
  std::unique_ptr<RenderEngine> engine_;
};

}  // namespace lumetra::render::testing
