// A small project of in-process sound effects for the assembly tests. The ramp effect makes
// a block whose samples are their own absolute sample positions, so a test can tell which
// samples landed where; every call is recorded.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "clipdata/template.h"
#include "host/object_error.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/render_lock.h"
#include "model/superclip.h"
#include "model/track.h"
#include "sound/sound_assemble.h"
#include "sound/sound_block.h"
#include "sound/sound_context.h"

namespace lumetra::sound::testing {

struct ToneData {
  int32_t mode;    // ToneMode
  int32_t value;   // kToneConstant: every sample
  int32_t input;   // kToneInput: the input asked for
  int32_t spare;
};

enum ToneMode : int32_t {
  kToneRamp = 0,      // sample = its absolute position (16-bit: low 15 bits)
  kToneConstant = 1,  // every sample `value`
  kToneFail = 2,      // reports an error
  kToneSilent = 3,    // answers none without an error
  kToneInput = 4,     // answers the sound of input `input`
  kToneDeleteTrack = 5,  // frees the track the test names, then ramps
};

struct Call {
  float start, end;
  uintptr_t clip;       // word 6 during the call
  bool error_was_clear;
};

struct CallLog {
  std::mutex mutex;
  std::vector<Call> calls;
  project::Track* delete_me = nullptr;
};
inline CallLog& Calls() {
  static CallLog log;
  return log;
}

inline SoundBlock* ToneMakeSound(HostCallContext* ctx, void* data, float start, float end,
                                 int32_t rate, int32_t bytes, int32_t channels) {
  auto* d = static_cast<ToneData*>(data);
  {
    std::lock_guard lock(Calls().mutex);
    Calls().calls.push_back({start, end, ctx->word[HCC_WORD_CLIP],
                             project::ObjectErrorText(ctx).empty()});
  }
  switch (d->mode) {
    case kToneFail:
      project::ObjectReportError(ctx, "tone failed");
      return nullptr;
    case kToneSilent:
      return nullptr;
    case kToneInput:
      return GetInputSound(ctx, d->input, start, end);
    case kToneDeleteTrack: {
      project::Track* t = nullptr;
      {
        std::lock_guard lock(Calls().mutex);
        std::swap(t, Calls().delete_me);
      }
      if (t != nullptr) project::TrackFree(t);
      break;
    }
    default:
      break;
  }
  SoundBlock* b = SoundCreate(start, end, rate, bytes, channels);
  if (b == nullptr) return nullptr;
  const int64_t first = SoundPosition(start, static_cast<uint32_t>(rate));
  for (uint32_t s = 0; s < b->samples; ++s) {
    const int32_t v = d->mode == kToneConstant ? d->value : static_cast<int32_t>((first + s) & 0x7FFF);
    for (int32_t c = 0; c < channels; ++c) {
      uint8_t* p = b->data + (static_cast<std::size_t>(s) * channels + c) * bytes;
      if (bytes == 1) {
        p[0] = static_cast<uint8_t>(v);
      } else {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
      }
    }
  }
  return b;
}

inline int16_t Sample16(const SoundBlock* b, std::size_t i) {
  return static_cast<int16_t>(b->data[2 * i] | b->data[2 * i + 1] << 8);
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tmpl_.reset(project::TemplateNew(reinterpret_cast<uintptr_t>(&proto_)));
    ASSERT_EQ(project::TemplateAddField(*tmpl_, "words", "dword",
                                        reinterpret_cast<uintptr_t>(&proto_), sizeof proto_ / 4),
              "");
    effect_.name = "Test/Tone";
    effect_.signature = "Tone test";
    effect_.flags = project::kProcessSound;
    effect_.inputs_number = 2;
    effect_.make_sound = &ToneMakeSound;
    effect_.data_template = tmpl_.get();
    picture_only_ = effect_;
    picture_only_.make_sound = nullptr;
    project_ = project::ProjectCreate();
    project::ProjectSetDefaults(project_);
    std::lock_guard lock(Calls().mutex);
    Calls().calls.clear();
    Calls().delete_me = nullptr;
  }
  void TearDown() override {
    project::ObjectClearError(&ctx_);
    while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
  }

  project::Track* AddTrack(project::Clip* owner = nullptr) {
    project::Track* t = project::TrackCreate(project_);
    if (owner != nullptr) {
      EXPECT_TRUE(project::SubProjectAppend(owner, t));
    } else {
      EXPECT_TRUE(project::TrackAppend(project_, t));
    }
    return t;
  }
  project::Clip* AddClip(project::Track* t, float start, float end, int32_t mode = kToneRamp,
                         int32_t value = 0) {
    project::Clip* c = project::ClipCreate(nullptr, &effect_, start, end, t);
    EXPECT_NE(c, nullptr);
    if (c != nullptr) {
      Data(c)->mode = mode;
      Data(c)->value = value;
    }
    return c;
  }
  project::Clip* AddSuperClip(project::Track* t, float start, float end) {
    project::Clip* c = project::ClipCreate(nullptr, project::SuperClipProcess(), start, end, t);
    EXPECT_NE(c, nullptr);
    return c;
  }
  static ToneData* Data(project::Clip* c) { return static_cast<ToneData*>(c->data); }

  SoundPtr Assemble(project::Track* t, float start, float end, int32_t rate = 1000,
                    int32_t bytes = 2, int32_t channels = 1) {
    return SoundPtr(AssembleTrackSound(&ctx_, t, start, end, rate, bytes, channels));
  }
  std::string ErrorText() const { return std::string(project::ObjectErrorText(&ctx_)); }
  static std::vector<Call> TakeCalls() {
    std::lock_guard lock(Calls().mutex);
    return std::move(Calls().calls);
  }

  ToneData proto_{};
  project::TemplatePtr tmpl_;
  project::ProcessRecord effect_;
  project::ProcessRecord picture_only_;
  project::Project* project_ = nullptr;
  HostCallContext ctx_{};
};

}  // namespace lumetra::sound::testing
