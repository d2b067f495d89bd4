// Host functions for clips, tracks and clip inputs, and the call protocol they share.
#include <string>
#include <vector>

#include "script/host_fixture.h"

namespace lumetra::script::test {
namespace {

std::vector<std::string> TrackNames(const project::Project* p) {
  std::vector<std::string> out;
  for (const project::Track* t = p->first_track; t != nullptr; t = t->next) out.emplace_back(t->name);
  return out;
}

TEST_F(HostTest, WrongArgumentCountFailsTheRun) {
  struct Case {
    const char* script;
    const char* message;
  } cases[] = {
      {"ClipCreate(\"Blur\", LastTrack, 1.0);", "ClipCreate() needs 4 parameters"},
      {"TrackInsertAfter();", "TrackInsertAfter() needs at least 1 parameter"},
      {"ClipInputAdd();", "ClipInputAdd() needs 1 parameter, exist 0 parameter(s)"},
      {"ClipInputRemove(CurrentClip);", "ClipInputRemove() needs 2 parameters, exist 1 parameter(s)"},
      {"KeyfloatKeyAdd(CurrentClip.d.curve, 1.0);",
       "KeyfloatKeyAdd() needs at least 3 parameters, 2 parameter(s) specified"},
      {"KeyfloatDelete(1, 2);", "KeyfloatDelete() needs 1 parameters, 2 parameter(s) specified"},
      {"KeyfloatCopy();", "KeyfloatCopy() needs 1 parameters, 0 parameter(s) specified"},
      {"KeyTime(1, 2);", "KeyTime() needs 1 parameters, 2 parameter(s) specified"},
      {"TranslateFileName($SRC);", "TranslateFileName() needs 2 parameters, 1 parameter(s) specified"},
      {"DialogChooseColor(0, $COLOUR);", "DialogChooseColor() needs 3 parameters, 2 parameter(s) specified"},
      {"DialogChooseGeometry(0, 0);",
       "DialogChooseGeometry() needs at least 3 parameters, 2 parameter(s) specified"},
      {"CheckboxCreate(0, 1);", "CheckboxCreate() needs at least 3 parameters, 2 parameter(s) specified"},
      {"PolydiaControl(0, 1);", "PolydiaControl() needs at least 3 parameters, 2 parameter(s) specified"},
      {"GeometryMpairCreate(0);", "GeometryCreateMpair() needs 2 parameters, exist 1 parameter(s)"},
      {"GeometryMpairAssign(0, 0);", "GeometryMpairAssign() needs 3 parameters, exist 2 parameter(s)"},
      {"GeometryMpairGet(0);", "GeometryMpairGet() needs 3 parameters, exist 1 parameter(s)"},
      {"GeometryMpairSwap();", "GeometryMpairSwap() needs 1 parameter, exist 0 parameter(s)"},
      {"GeometryMpairSteps(0, 1, 2);", "GeometryMpairSteps() needs 1 or 2 parameter(s), exist 3 parameter(s)"},
      {"GeoMpairGetSplitting(0, 1.0);", "GeoMpairGetSplitting() needs 1 or 4 parameters, 2 parameter(s) specified"},
      {"GeometryDelete(1, 2);", "GeometryDelete() needs 1 parameter, exist 2 parameter(s)"},
      {"GeometryShowSubtree();", "GeometryShow() needs 1 parameter, exist 0 parameter(s)"},
      {"GeometryHide(1, 2);", "GeometryHide() needs 1 parameter, exist 2 parameter(s)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    reported_.clear();
    EXPECT_EQ(Run(c.script), 0);
    EXPECT_TRUE(SawStatus(Prefixed(c.message))) << LastStatus();
    EXPECT_EQ(reported_, std::vector<std::string>{"Script error"});
  }
}

TEST_F(HostTest, FailedConversionReportsAndGoesOnWithZero) {
  struct Case {
    const char* script;
    const char* message;
  } cases[] = {
      {"*(int *)$I = ClipInputAdd(7);", "illegal parameter for ClipInputAdd()."},
      {"*(int *)$I = ClipInputRemove(CurrentClip, CurrentClip.d);", "illegal parameter 2 for ClipInputRemove()."},
      {"*(int *)$I = TrackInsertAfter(CurrentClip) == 0;", "illegal parameter 1 for TrackInsertAfter()."},
      {"*(int *)$I = GeometryMpairSwap(CurrentClip);", "illegal parameter for GeometryMpairSwap()."},
      {"*(int *)$I = GeometryMpairAssign(CurrentClip, 0, 0);",
       "parameter 1 for GeometryMpairAssign() must be geometry."},
      {"*(int *)$I = GeometryMpairGet(0, CurrentClip.d, 0);", "parameter 2 for GeometryMpairGet() must be pointer."},
      {"*(int *)$I = GeometryDelete(CurrentClip);", "illegal parameter for GeometryDelete()."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    mem_.i = 99;
    EXPECT_EQ(Run(c.script), 1);
    EXPECT_TRUE(SawStatus(Prefixed(c.message))) << LastStatus();
    EXPECT_EQ(mem_.i, 0);
  }
  // A new track was made after "track 0" by the TrackInsertAfter case.
  EXPECT_EQ(TrackNames(project_).size(), 3u);
}

TEST_F(HostTest, ClipCreate) {
  project::Track* b = project_->first_track->next;
  struct Case {
    const char* script;
    bool made;
    const char* message;  // "" for none
  } cases[] = {
      {"*(unsigned *)$U = ClipCreate(\"Filters/Blur\", LastTrack, 1.0, 2.0);", true, ""},
      {"*(unsigned *)$U = ClipCreate(\"bLUR\", LastTrack, 2.0, 3.0, 77);", true, ""},
      {"*(unsigned *)$U = ClipCreate(\"Sharpen\", LastTrack, 5.0, 6.0);", false,
       "specified effect is not exist"},
      {"*(unsigned *)$U = ClipCreate(\"Blur\", 0, 5.0, 6.0);", false, "specified track is not exist"},
      {"*(unsigned *)$U = ClipCreate(\"Blur\", LastTrack, 1.5, 2.5);", false,
       "can't put clip to track 'B'[1.500000,2.500000]"},
      {"*(unsigned *)$U = ClipCreate(\"Blur\", LastTrack, 6.0, 9000.0);", false,
       "can't put clip to track 'B'[6.000000,9000.000000]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    mem_.u = 1;
    EXPECT_EQ(Run(c.script), 1);
    auto* made = reinterpret_cast<project::Clip*>(mem_.u);
    if (c.made) {
      ASSERT_NE(made, nullptr);
      EXPECT_EQ(made->track, b);
      EXPECT_EQ(made->process, &effect_);
      EXPECT_TRUE(project::ClipIsLinked(made));
    } else {
      EXPECT_EQ(made, nullptr);
      EXPECT_EQ(LastStatus(), Prefixed(c.message));
    }
  }
  std::vector<std::pair<float, float>> spans;
  for (const project::Clip* c = b->first_clip; c != nullptr; c = c->next) spans.emplace_back(c->start, c->end);
  EXPECT_EQ(spans, (std::vector<std::pair<float, float>>{{1.f, 2.f}, {2.f, 3.f}}));
}

TEST_F(HostTest, TrackInsertAfterFirstLastAndMiddle) {
  project::Track* a = project_->first_track;
  project::Track* b = a->next;
  a->flags |= project::kTrackCompact;
  // Track 0: the new track comes first.
  EXPECT_EQ(Run("TrackInsertAfter(0, \"Head\");"), 1);
  EXPECT_EQ(TrackNames(project_), (std::vector<std::string>{"Head", "A", "B"}));
  // The new first track took the compact view over from the track it displaced.
  EXPECT_NE(project_->first_track->flags & project::kTrackCompact, 0u);
  EXPECT_EQ(a->flags & project::kTrackCompact, 0u);
  EXPECT_EQ(project_->first_track->next, a);
  EXPECT_EQ(a->prev, project_->first_track);

  // The last track: the new one becomes the last.
  EXPECT_EQ(Run("TrackInsertAfter(LastTrack, \"Tail\");"), 1);
  EXPECT_EQ(TrackNames(project_), (std::vector<std::string>{"Head", "A", "B", "Tail"}));
  EXPECT_EQ(b->next->next, nullptr);
  EXPECT_EQ(b->next->prev, b);

  // A middle track: after A, between A and B, both links updated.
  ScriptFunctions().Add("TrackA", [](ScriptCall& call) {
    call.Return(Value::Pointer(kTypeTrack, reinterpret_cast<uintptr_t>(call.RunProject()->first_track->next)));
    return true;
  });
  EXPECT_EQ(Run("*(unsigned *)$U = TrackInsertAfter(TrackA());"), 1);
  ScriptFunctions().Remove("TrackA");
  auto* mid = reinterpret_cast<project::Track*>(mem_.u);
  ASSERT_NE(mid, nullptr);
  EXPECT_EQ(a->next, mid);
  EXPECT_EQ(mid->prev, a);
  EXPECT_EQ(mid->next, b);
  EXPECT_EQ(b->prev, mid);
  EXPECT_EQ(mid->project, project_);
  EXPECT_EQ(std::string(mid->name).rfind("Track ", 0), 0u);  // unnamed: the default name
}

TEST_F(HostTest, TrackInsertAfterRefusesForeignTracksAndCutsNames) {
  project::Project* other = project::ProjectCreate();
  project::Track* foreign = project::TrackCreate(other);
  ASSERT_TRUE(project::TrackAppend(other, foreign));
  ScriptFunctions().Add("Foreign", [](ScriptCall& call) {
    call.Return(Value::Pointer(kTypeTrack, reinterpret_cast<uintptr_t>(project::ProjectListHead()->first_track)));
    return true;
  });
  ASSERT_EQ(project::ProjectListHead(), other);
  mem_.u = 1;
  EXPECT_EQ(Run("*(unsigned *)$U = TrackInsertAfter(Foreign());"), 1);
  ScriptFunctions().Remove("Foreign");
  EXPECT_EQ(mem_.u, 0u);
  EXPECT_EQ(LastStatus(), Prefixed("specified track is not exists"));
  EXPECT_EQ(TrackNames(project_).size(), 2u);

  const std::string long_name(80, 'n');
  EXPECT_EQ(Run("TrackInsertAfter(LastTrack, \"" + long_name + "\");"), 1);
  EXPECT_EQ(TrackNames(project_).back(), std::string(62, 'n'));
}

TEST_F(HostTest, ClipInputs) {
  const std::size_t start = clip_->inputs.size();
  struct Case {
    const char* script;
    int result;
    std::size_t inputs;
  } cases[] = {
      {"*(int *)$I = ClipInputAdd(CurrentClip);", 1, start + 1},
      {"*(int *)$I = ClipInputAdd(CurrentClip);", 1, start + 2},
      {"*(int *)$I = ClipInputRemove(CurrentClip, -1);", 0, start + 2},
      {"*(int *)$I = ClipInputRemove(CurrentClip, 2);", 0, start + 2},
      {"*(int *)$I = ClipInputRemove(CurrentClip, 0);", 1, start + 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    mem_.i = 99;
    EXPECT_EQ(Run(c.script), 1);
    EXPECT_EQ(mem_.i, c.result);
    EXPECT_EQ(clip_->inputs.size(), c.inputs);
  }
}

TEST_F(HostTest, ClipInputRemoveMovesLaterSlotsDown) {
  project::Track* a = project_->first_track;
  project::Track* b = a->next;
  clip_->inputs = {b, nullptr, b, a};
  EXPECT_EQ(Run("*(int *)$I = ClipInputRemove(CurrentClip, 1);"), 1);
  EXPECT_EQ(mem_.i, 1);
  EXPECT_EQ(clip_->inputs, (std::vector<project::Track*>{b, b, a}));
}

TEST_F(HostTest, ClipInputAddStopsAtTheLimitAndUsesTheEditingCopy) {
  clip_->inputs.assign(kClipInputsMax - 1, nullptr);
  EXPECT_EQ(Run("*(int *)$I = ClipInputAdd(CurrentClip);"), 1);
  EXPECT_EQ(mem_.i, 1);
  EXPECT_EQ(Run("*(int *)$I = ClipInputAdd(CurrentClip);"), 1);
  EXPECT_EQ(mem_.i, 0);
  EXPECT_EQ(clip_->inputs.size(), kClipInputsMax);

  clip_->inputs.clear();
  project::ClipPtr copy(project::ClipCopy(clip_, project::ClipCopyMode::kRecordOnly));
  ASSERT_NE(copy, nullptr);
  clip_->edit_copy = copy.get();
  EXPECT_EQ(Run("*(int *)$I = ClipInputAdd(CurrentClip);"), 1);
  clip_->edit_copy = nullptr;
  EXPECT_EQ(mem_.i, 1);
  EXPECT_EQ(copy->inputs.size(), 1u);
  EXPECT_TRUE(clip_->inputs.empty());
}

}  // namespace
}  // namespace lumetra::script::test
