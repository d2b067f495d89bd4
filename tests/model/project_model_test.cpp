// Track numbering, input resolution, cycles, copies, merges, freeing and the current project.
#include <cstring>

#include "model/change_flags.h"
#include "model/clip_move.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"
#include "project_fixture.h"

namespace lumetra::project::testing {
namespace {

Track* Pseudo(PseudoTrack which) {
  return PseudoTrackGet(which);
}

TEST(PseudoTrackTest, NamesAndNumbers) {
  const char* names[] = {"*Previous", "*Input0", "*Input1", "*Input2"};
  for (int i = 0; i < 4; ++i) {
    Track* t = PseudoTrackGet(static_cast<PseudoTrack>(i));
    EXPECT_STREQ(t->name, names[i]);
    EXPECT_EQ(t->number, -9 - i);
    EXPECT_EQ(PseudoTrackByNumber(-9 - i), t);
    EXPECT_TRUE(IsPseudoTrack(t));
  }
  EXPECT_EQ(PseudoTrackByNumber(-8), nullptr);
  EXPECT_EQ(PseudoTrackByNumber(-13), nullptr);
}

TEST_F(ProjectTest, TrackNumbersRestartAndSkipTakenNumbers) {
  Track* t1 = AddTrack();
  EXPECT_STREQ(t1->name, "Track 1");
  Track* t2 = AddTrack();
  EXPECT_EQ(t2->number, 2);
  TrackFree(t1);
  TrackFree(t2);
  EXPECT_EQ(project_->first_track, nullptr);
  Track* again = AddTrack();
  EXPECT_STREQ(again->name, "Track 1");

  // A number taken inside a sub-project counts as taken.
  Clip* super = AddClip(again, 0, 1, SuperClipProcess());
  Track* sub = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub));
  EXPECT_EQ(TrackClaimNumber(sub, 3), 3);
  project_->next_track_number = 2;
  EXPECT_EQ(AddTrack()->number, 2);
  EXPECT_EQ(AddTrack()->number, 4);
  EXPECT_EQ(TrackFindByNumber(project_->first_track, 3), sub);
  EXPECT_EQ(ProjectFindTrack(project_, 3), sub);
  EXPECT_EQ(ProjectFindTrack(project_, 99), nullptr);
  EXPECT_EQ(TrackClaimNumber(AddTrack(), 2), 5);   // 2, 3 and 4 are taken
  EXPECT_EQ(TrackClaimNumber(AddTrack(), -4), 6);  // never negative
}

TEST_F(ProjectTest, TrackNameIsCut) {
  Track* t = AddTrack();
  TrackSetName(t, std::string(100, 'x'));
  EXPECT_EQ(std::strlen(t->name), kTrackNameKept);
}

TEST_F(ProjectTest, PreviousResolvesToTheNextTrackOfTheList) {
  Track* a = AddTrack();
  Clip* c = AddClip(a, 0, 1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ClipResolveInput(c, 0), nullptr);  // last track of the list
  Track* b = AddTrack();
  EXPECT_EQ(ClipResolveInput(c, 0), b);
  // On the last track it has none; moved to a track with one after it, it takes that one.
  ASSERT_NE(ClipMove(c, b, 0, 1, false), nullptr);
  EXPECT_EQ(ClipResolveInput(c, 0), nullptr);
  Track* below_a = TrackCreate(project_);
  ASSERT_TRUE(TrackLink(below_a, nullptr, a));
  ASSERT_NE(ClipMove(c, a, 0, 1, false), nullptr);
  EXPECT_EQ(ClipResolveInput(c, 0), below_a);
}

TEST_F(ProjectTest, SuperClipInputsResolveThroughNestedSubProjects) {
  Track* top = AddTrack();
  Track* background = AddTrack();
  Track* input = AddTrack();
  Clip* super = AddClip(top, 0, 10, SuperClipProcess());
  ASSERT_NE(super, nullptr);
  ASSERT_TRUE(ClipSetInput(super, 0, background));
  ASSERT_TRUE(ClipSetInput(super, 1, input));
  Track* sub = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub));
  Clip* inner = AddClip(sub, 0, 5);
  ASSERT_TRUE(ClipSetInput(inner, 1, Pseudo(PseudoTrack::kInput1)));
  EXPECT_EQ(ClipResolveInput(inner, 1), input);
  // Nested: the inner SuperClip passes "*Input0" on as its own input 2.
  Clip* nested = AddClip(sub, 5, 10, SuperClipProcess());
  ASSERT_TRUE(ClipSetInput(nested, 2, Pseudo(PseudoTrack::kInput0)));
  Track* deep = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(nested, deep));
  Clip* leaf = AddClip(deep, 5, 6);
  ASSERT_TRUE(ClipSetInput(leaf, 1, Pseudo(PseudoTrack::kInput2)));
  EXPECT_EQ(ClipResolveInput(leaf, 1), background);
  // The same input at the top level gives none.
  Clip* plain = AddClip(input, 0, 1);
  ASSERT_TRUE(ClipSetInput(plain, 1, Pseudo(PseudoTrack::kInput1)));
  EXPECT_EQ(ClipResolveInput(plain, 1), nullptr);
  // A missing track: freeing it clears every input that named it.
  TrackFree(input);
  EXPECT_EQ(super->inputs[1], nullptr);
  EXPECT_EQ(ClipResolveInput(inner, 1), nullptr);
}

TEST_F(ProjectTest, InputCyclesAreRefused) {
  Track* a = AddTrack();
  Track* b = AddTrack();
  Track* c = AddTrack();
  Clip* on_a = AddClip(a, 0, 1);  // "*Previous": a needs b
  Clip* on_b = AddClip(b, 0, 1);  // b needs c
  Clip* on_c = AddClip(c, 0, 1);
  EXPECT_FALSE(ClipSetInput(on_c, 1, a));  // c -> a -> b -> c
  EXPECT_FALSE(ClipSetInput(on_b, 1, b));  // itself
  EXPECT_FALSE(ClipSetInput(on_a, 5, c));  // no such input
  EXPECT_TRUE(ClipSetInput(on_a, 1, c));
  EXPECT_TRUE(TrackDependsOn(a, c));
  EXPECT_FALSE(TrackDependsOn(c, a));
  // A foreign track is refused.
  ProjectPtr other(ProjectCreate());
  EXPECT_FALSE(ClipSetInput(on_a, 1, TrackCreate(other.get())));
  // A cycle from a file is broken by clearing the closing input.
  on_c->inputs[1] = a;
  EXPECT_GE(ProjectBreakInputCycles(project_), 1);
  EXPECT_FALSE(TrackDependsOn(c, a) && TrackDependsOn(a, c));
  EXPECT_EQ(ProjectBreakInputCycles(project_), 0);
}

TEST_F(ProjectTest, MoveRepointsInputsByNumberAndSuperClipInputs) {
  Track* top = AddTrack();         // 1
  Track* background = AddTrack();  // 2
  Clip* super = AddClip(top, 0, 10, SuperClipProcess());
  ASSERT_TRUE(ClipSetInput(super, 0, background));
  Track* sub1 = TrackCreate(project_);
  Track* sub2 = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub1));
  ASSERT_TRUE(SubProjectAppend(super, sub2));
  Clip* c = AddClip(sub1, 0, 1);
  ASSERT_TRUE(ClipSetInput(c, 1, Pseudo(PseudoTrack::kInput0)));
  // Moved out to the top: "*Input0" stood for track 2, which follows the destination.
  ASSERT_NE(ClipMove(c, top, 20, 21, false), nullptr);
  EXPECT_EQ(c->inputs[1], background);
  // Moved back inside, the real track 2 is not among the tracks after sub1: it goes.
  ASSERT_NE(ClipMove(c, sub1, 2, 3, false), nullptr);
  EXPECT_EQ(c->inputs[1], nullptr);
  // "*Input0" seen from the top resolves to none: it stays none.
  ASSERT_TRUE(ClipSetInput(c, 1, Pseudo(PseudoTrack::kInput0)));
  ASSERT_NE(ClipMove(c, sub2, 4, 5, false), nullptr);
  EXPECT_EQ(c->inputs[1], Pseudo(PseudoTrack::kInput0));  // same SuperClip, same input
  // A real input that doesn't follow the destination goes.
  ASSERT_NE(ClipMove(c, sub1, 2, 3, false), nullptr);
  ASSERT_TRUE(ClipSetInput(c, 1, sub2));
  ASSERT_NE(ClipMove(c, sub2, 2, 3, false), nullptr);
  EXPECT_EQ(c->inputs[1], nullptr);
}

TEST_F(ProjectTest, MergeRenumbersLaterDuplicatesSubProjectsIncluded) {
  for (int i = 0; i < 3; ++i) AddTrack();
  Project* loaded = ProjectCreate();
  ProjectSetDefaults(loaded);
  AddTrack(loaded);
  Track* l2 = AddTrack(loaded);
  Clip* super = AddClip(l2, 0, 4, SuperClipProcess());
  Track* sub = TrackCreate(loaded);  // number 3 in the loaded project
  ASSERT_TRUE(SubProjectAppend(super, sub));
  Clip* inner = AddClip(sub, 0, 1);
  ASSERT_TRUE(ClipSetInput(inner, 1, nullptr));
  loaded->active_start = 1;
  loaded->active_end = 9;
  project_->active_end = 4;
  ClearChangeFlags();
  ProjectMerge(project_, loaded);
  // The loaded 1, 2 come first; sub-project track 3 keeps 3; the old 1, 2, 3 move up.
  EXPECT_EQ(Numbers(project_->first_track), (std::vector<int>{1, 2, 4, 5, 6}));
  EXPECT_EQ(sub->number, 3);
  EXPECT_EQ(sub->project, project_);
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(ProjectFindTrack(project_, n)->number, n);
  EXPECT_EQ(project_->active_start, 0);
  EXPECT_EQ(project_->active_end, 9);
  EXPECT_EQ(ChangeFlags(), kChangedTracks | kChangedGeometries);
  EXPECT_EQ(ProjectListHead(), project_);  // the loaded record is gone
  EXPECT_EQ(AddTrack()->number, 7);
}

TEST_F(ProjectTest, ACopyOutlivesItsOriginal) {
  Track* a = AddTrack();
  Track* b = AddTrack();
  project_->description = "kept";
  Clip* super = AddClip(a, 0, 10, SuperClipProcess());
  ASSERT_TRUE(ClipSetInput(super, 1, b));
  Track* sub = TrackCreate(project_);
  Track* sub_mask = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub));
  ASSERT_TRUE(SubProjectAppend(super, sub_mask));
  Clip* inner = AddClip(sub, 1, 2);
  ASSERT_TRUE(ClipSetInput(inner, 1, sub_mask));
  ASSERT_NE(AddClip(b, 3, 4), nullptr);
  inner->icon = std::make_unique<uint8_t[]>(kClipIconBytes);
  inner->icon[7] = 42;

  Project* copy = ProjectCopy(project_);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(ProjectListHead(), copy);
  ProjectFree(project_);
  project_ = nullptr;

  EXPECT_EQ(copy->status, 1);
  EXPECT_EQ(copy->description, "kept");
  EXPECT_EQ(Numbers(copy->first_track), (std::vector<int>{1, 2}));
  Track* ca = copy->first_track;
  Track* cb = ca->next;
  Clip* csuper = ca->first_clip;
  ASSERT_NE(csuper, nullptr);
  EXPECT_EQ(csuper->inputs[1], cb);
  EXPECT_EQ(csuper->inputs[0], nullptr);
  Track* csub = csuper->sub_first_track;
  ASSERT_NE(csub, nullptr);
  EXPECT_EQ(csub->owner_clip, csuper);
  EXPECT_EQ(csub->project, copy);
  EXPECT_EQ(csub->number, 3);
  Clip* cinner = csub->first_clip;
  EXPECT_EQ(cinner->inputs[1], csub->next);
  EXPECT_EQ(cinner->icon[7], 42);
  EXPECT_EQ(ProjectFindTrack(copy, 4), csub->next);
  EXPECT_EQ(SpansOf(cb), (SpanList{{3, 4}}));
}

TEST_F(ProjectTest, ClipCopyOfASuperClipIsDeepAndNewlyNumbered) {
  Track* a = AddTrack();
  Clip* super = AddClip(a, 0, 10, SuperClipProcess());
  Track* sub = TrackCreate(project_);
  Track* sub2 = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub));
  ASSERT_TRUE(SubProjectAppend(super, sub2));
  Clip* inner = AddClip(sub, 1, 2);
  ASSERT_TRUE(ClipSetInput(inner, 1, sub2));
  Track* b = AddTrack();
  Clip* copy = ClipMove(super, b, 20, 30, true);
  ASSERT_NE(copy, nullptr);
  Track* csub = copy->sub_first_track;
  ASSERT_NE(csub, nullptr);
  EXPECT_NE(csub, sub);
  EXPECT_NE(csub->number, sub->number);
  EXPECT_EQ(csub->first_clip->inputs[1], csub->next);
  EXPECT_EQ(csub->first_clip->start, 21);  // re-timed with its SuperClip
  EXPECT_EQ(inner->start, 1);
  const int32_t sub_number = sub->number;
  ClipFree(super);  // the original goes; the copy keeps its own tracks
  EXPECT_EQ(ProjectFindTrack(project_, sub_number), nullptr);
  EXPECT_EQ(ProjectFindTrack(project_, csub->number), csub);
  EXPECT_EQ(csub->first_clip->inputs[1], csub->next);
}

TEST_F(ProjectTest, FreeingAnEditCopyClearsItsOwner) {
  Track* a = AddTrack();
  Clip* c = AddClip(a, 0, 1);
  c->backup_copy = ClipCopy(c, ClipCopyMode::kRecordOnly);
  c->edit_copy = ClipCopy(c, ClipCopyMode::kRecordOnly);
  c->edit_copy->edited_clip = c;
  c->backup_copy->edited_clip = c;
  ClipFree(c->edit_copy);
  EXPECT_EQ(c->edit_copy, nullptr);
  platform::SetUi(std::make_unique<platform::HeadlessUiHost>());
  Hooks().destroy_edit_window = [](uintptr_t) { return false; };
  c->edit_window = 1;
  ClipFree(c);  // frees the backup too
  EXPECT_EQ(a->first_clip, nullptr);
  EXPECT_NE(platform::LogText().find("Can't destroy clip edit window"), std::string::npos);
}

TEST_F(ProjectTest, FreeingALinkedClipUnlinksIt) {
  Track* a = AddTrack();
  AddClip(a, 0, 1);
  Clip* mid = AddClip(a, 1, 2);
  AddClip(a, 2, 3);
  ClipFree(mid);
  EXPECT_EQ(SpansOf(a), (SpanList{{0, 1}, {2, 3}}));
  ClipFree(a->last_clip);
  EXPECT_EQ(a->last_clip, a->first_clip);
  EXPECT_NE(AddClip(a, 1, 7200), nullptr);
}

TEST_F(ProjectTest, MakeCurrentInheritsTimeBaseAndSnapAndFreesTheOld) {
  project_->settings.time_snap = 100;
  ProjectMakeCurrent(project_);
  EXPECT_EQ(CurrentProject(), project_);
  struct Case {
    int32_t base, expect_snap;
  } cases[] = {{200, 200}, {60, 120}, {30, 120}, {25, 200}, {0, 200}};
  for (const Case& k : cases) {
    Project* p = ProjectCreate();
    p->settings = kProjectDefaults;
    p->settings.time_base = k.base;
    p->settings.time_snap = 0;
    Project* old = CurrentProject();
    int32_t old_base = old->settings.time_base;
    ProjectMakeCurrent(p);
    if (k.base == 0) {
      EXPECT_EQ(p->settings.time_base, old_base);
    }
    EXPECT_EQ(p->settings.time_snap, k.expect_snap) << k.base;
    EXPECT_EQ(CurrentProject(), p);
    EXPECT_NE(ProjectListHead()->next, old);  // the old current was freed
    // Put snap 100 back so each case starts from the same current snap.
    p->settings.time_snap = 100;
  }
  project_ = nullptr;
}

TEST(DerivedValuesTest, FollowTheFrameAndDetailWithoutDividingByZero) {
  ProjectSettings s = kProjectDefaults;
  DerivedValues v = ComputeDerivedValues(s);
  EXPECT_FLOAT_EQ(v.pixel_ratio, 576.0f / (1.0667f * 720.0f));
  EXPECT_EQ(v.preview_width, 324);
  EXPECT_EQ(v.preview_height, 259);
  s.width = 0;
  s.pixel_aspect = 0;
  s.detail = 0;
  v = ComputeDerivedValues(s);
  EXPECT_EQ(v.pixel_ratio, 1.0f);
  EXPECT_EQ(v.preview_width, 4);
  EXPECT_GE(v.preview_height, 1);
}

TEST_F(ProjectTest, NewProjectDefaultsAreClampedIntoRange) {
  ProjectSettings d = kProjectDefaults;
  d.detail = 500;
  d.time_base = 0;
  d.bytes_per_sample = 9;
  d.width = 1920;
  SetNewProjectDefaults(d);
  Project* p = ProjectCreate();
  ProjectSetDefaults(p);
  SetNewProjectDefaults(std::nullopt);
  EXPECT_EQ(p->settings.width, 1920);
  EXPECT_EQ(p->settings.detail, 100);
  EXPECT_EQ(p->settings.time_base, 1);
  EXPECT_EQ(p->settings.bytes_per_sample, 4);
}

}  // namespace
}  // namespace lumetra::project::testing

namespace lumetra::project::testing {
namespace {

TEST_F(ProjectTest, AMoveToAnotherProjectTakesTheSubProjectAlong) {
  Track* home = AddTrack();        // 1
  Track* background = AddTrack();  // 2
  Clip* super = AddClip(home, 0, 10, SuperClipProcess());
  Track* sub = TrackCreate(project_);  // 3
  ASSERT_TRUE(SubProjectAppend(super, sub));
  Clip* inner = AddClip(sub, 1, 2);
  ASSERT_TRUE(ClipSetInput(inner, 1, background));  // track 2 of the old project

  Project* other = ProjectCreate();
  ProjectSetDefaults(other);
  Track* dst = AddTrack(other);  // 1
  AddTrack(other);               // 2
  AddTrack(other);               // 3: the sub-project track must move up
  ASSERT_EQ(ClipMove(super, dst, 0, 10, false), super);
  EXPECT_EQ(sub->project, other);
  EXPECT_EQ(sub->number, 4);
  EXPECT_EQ(ProjectFindTrack(other, 4), sub);
  EXPECT_EQ(ProjectFindTrack(project_, 3), nullptr);
  EXPECT_EQ(inner->inputs[1], ProjectFindTrack(other, 2));  // followed by number
  ProjectFree(project_);  // nothing of the moved clip may go with it
  project_ = nullptr;
  EXPECT_EQ(dst->first_clip, super);
  EXPECT_EQ(sub->first_clip, inner);
  EXPECT_EQ(ClipResolveInput(inner, 1)->project, other);
}

}  // namespace
}  // namespace lumetra::project::testing
