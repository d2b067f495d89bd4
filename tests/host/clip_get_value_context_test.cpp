// ClipGetValue through a call context: the clip of word 6 in a two-track project, and the
// clip word a process's init sees when ClipCreate calls it.
#include <gtest/gtest.h>

#include <cstring>

#include "clipdata/template.h"
#include "host/clip_get_value.h"
#include "host/object_error.h"
#include "model/clip.h"
#include "model/project_fixture.h"

using namespace lumetra::project;
using namespace lumetra::project::testing;

namespace {

struct InitParams {
  int32_t level;
};

// What the init function saw: the clip's span read back through the service.
float g_seen_from = -1.0f;
float g_seen_to = -1.0f;

int32_t InitReadsSpan(HostCallContext* ctx, void* data) {
  static_cast<InitParams*>(data)->level = 7;
  float from = 0.0f, to = 0.0f;
  if (ClipGetValue(ctx, "clip_from", 0, nullptr, nullptr, &from, nullptr, 0) != 1 ||
      ClipGetValue(ctx, "CLIP_TO", 0, nullptr, nullptr, &to, nullptr, 0) != 1)
    return 0;
  g_seen_from = from;
  g_seen_to = to;
  return 1;
}

class ClipGetValueContextTest : public ProjectTest {
 protected:
  HostCallContext ContextOf(Clip* clip) {
    HostCallContext ctx{};
    ctx.word[HCC_WORD_KIND] = HCC_KIND_EDIT;
    ctx.word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(clip);
    return ctx;
  }

  // Members, so that clips still on the project at tear-down find their process.
  InitParams proto_{};
  TemplatePtr tmpl_;
  ProcessRecord process_;
};

TEST_F(ClipGetValueContextTest, AnswersFromTheClipOfTheContext) {
  Track* first = AddTrack();
  Track* second = AddTrack();
  project_->settings.time_base = 30;
  project_->settings.width = 320;
  Clip* clip = AddClip(first, 1.0f, 2.5f);
  ASSERT_NE(clip, nullptr);
  clip->inputs[1] = second;
  HostCallContext ctx = ContextOf(clip);

  intptr_t value = 0;
  float seconds = 0.0f;
  EXPECT_EQ(ClipGetValue(&ctx, "clip_to", 0, &value, nullptr, &seconds, nullptr, 0), 1);
  EXPECT_EQ(value, 75);  // 30 frames a second
  EXPECT_EQ(seconds, 2.5f);
  EXPECT_EQ(ClipGetValue(&ctx, "TimeBase", 0, &value, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(value, 30);
  EXPECT_EQ(ClipGetValue(&ctx, "image_width", 0, &value, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(value, 320);
  EXPECT_EQ(ClipGetValue(&ctx, "clip_inputs", 0, &value, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(value, 2);

  struct NameCase {
    int32_t index;
    int32_t answered;
    std::string name;
  };
  for (const NameCase& c : {NameCase{0, 1, "*Previous"}, NameCase{1, 1, second->name},
                            NameCase{2, 0, ""}, NameCase{-1, 0, ""}}) {
    char text[64] = "unchanged";
    EXPECT_EQ(ClipGetValue(&ctx, "clip_input_name", c.index, nullptr, nullptr, nullptr, text,
                           sizeof text),
              c.answered)
        << c.index;
    if (c.answered == 1) {
      EXPECT_EQ(std::string(text), c.name);
    }
  }
  clip->inputs[1] = nullptr;  // unconnected: no name
  char text[8] = "";
  EXPECT_EQ(ClipGetValue(&ctx, "clip_input_name", 1, nullptr, nullptr, nullptr, text, 8), 0);

  // A name cut to the buffer.
  std::snprintf(second->name, sizeof second->name, "%s", "A long track name");
  clip->inputs[1] = second;
  EXPECT_EQ(ClipGetValue(&ctx, "clip_input_name", 1, nullptr, nullptr, nullptr, text, 5), 1);
  EXPECT_STREQ(text, "A lo");

  // Without a clip the project keys still answer (from the current project); clip keys not.
  ProjectMakeCurrent(project_);
  HostCallContext bare{};
  EXPECT_EQ(ClipGetValue(&bare, "timebase", 0, &value, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(value, 30);
  EXPECT_EQ(ClipGetValue(&bare, "clip_from", 0, &value, nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(ClipGetValue(nullptr, "clip_from", 0, &value, nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(ClipGetValue(&ctx, nullptr, 0, &value, nullptr, nullptr, nullptr, 0), 0);
}

TEST_F(ClipGetValueContextTest, AClipWordTheHostDoesNotKnowIsRefused) {
  Track* track = AddTrack();
  project_->settings.time_base = 30;
  ProjectMakeCurrent(project_);
  Clip* placed = AddClip(track, 1.0f, 2.0f);
  ASSERT_NE(placed, nullptr);
  // A clip record on no track (a foreign or stale pointer) and one that was taken off its
  // track: neither is read, project keys included, and the context carries the reason.
  Clip stranger;
  stranger.start = 5.0f;
  Clip* unlinked = ClipCopy(placed, ClipCopyMode::kRecordOnly);
  ASSERT_NE(unlinked, nullptr);
  ClipFree(unlinked);
  for (const Clip* clip : {static_cast<const Clip*>(&stranger), static_cast<const Clip*>(unlinked)}) {
    HostCallContext ctx = ContextOf(const_cast<Clip*>(clip));
    intptr_t value = -1;
    EXPECT_EQ(ClipGetValue(&ctx, "clip_from", 0, &value, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(ClipGetValue(&ctx, "timebase", 0, &value, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(value, -1);
    EXPECT_NE(ObjectErrorText(&ctx).find("No clip"), std::string_view::npos);
    ObjectClearError(&ctx);
  }
  HostCallContext ctx = ContextOf(placed);
  intptr_t value = 0;
  EXPECT_EQ(ClipGetValue(&ctx, "clip_from", 0, &value, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(value, 30);
}

TEST_F(ClipGetValueContextTest, InitSeesItsClipAndDataOnlyWithAnOpenEditWindow) {
  tmpl_.reset(TemplateNew(reinterpret_cast<uintptr_t>(&proto_)));
  ASSERT_EQ(
      TemplateAddField(*tmpl_, "level", "dword", reinterpret_cast<uintptr_t>(&proto_.level), 1),
      "");
  process_.name = "Test/Init";
  process_.data_template = tmpl_.get();
  process_.init = InitReadsSpan;
  Track* track = AddTrack();
  AddTrack();

  HostCallContext caller{};  // no clip word: ClipCreate puts the new clip there for init
  Clip* clip = ClipCreate(&caller, &process_, 0.5f, 3.0f, track);
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(g_seen_from, 0.5f);
  EXPECT_EQ(g_seen_to, 3.0f);
  EXPECT_EQ(caller.word[HCC_WORD_CLIP], 0u);  // the caller's context is left as it was
  EXPECT_EQ(static_cast<InitParams*>(clip->data)->level, 7);

  HostCallContext ctx = ContextOf(clip);
  intptr_t value = 0;
  EXPECT_EQ(ClipGetValue(&ctx, "clip_data", 0, &value, nullptr, nullptr, nullptr, 0), 0);
  Clip* copy = ClipCopy(clip, ClipCopyMode::kRecordOnly);
  ASSERT_NE(copy, nullptr);
  copy->edited_clip = clip;
  clip->edit_copy = copy;
  clip->edit_window = 1;
  EXPECT_EQ(ClipGetValue(&ctx, "clip_data", 0, &value, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(value, reinterpret_cast<intptr_t>(copy->data));
  clip->edit_window = 0;
}

}  // namespace
