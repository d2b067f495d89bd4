// Placing, moving and copying clips on tracks: the span rules, snapping and re-timing.
#include <cmath>
#include <limits>

#include "model/change_flags.h"
#include "model/clip_move.h"
#include "model/render_lock.h"
#include "platform/ui_host.h"
#include "project_fixture.h"

namespace lumetra::project::testing {
namespace {

TEST_F(ProjectTest, PlaceFollowsTheSpanRules) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  struct Case {
    float start, end;
    bool fits;
  } cases[] = {
      {2, 4, true},        {1.9f, 4, false},     {2, 4.1f, false}, {0.5f, 1, false},
      {6, 7200, true},     {6, 7200.01f, false}, {kNaN, 4, false}, {2, kNaN, false},
      {2, kInf, false},    {-1, 0, false},       {3, 3, false},    {3.5f, 3, false},
      {7200, 7201, false}, {7199, 7200, true},
  };
  for (const Case& k : cases) {
    Track* t = AddTrack();
    ASSERT_NE(AddClip(t, 0, 2), nullptr);
    ASSERT_NE(AddClip(t, 4, 6), nullptr);
    ClipPtr clip(ClipCopy(t->first_clip));
    ClearChangeFlags();
    int r = ClipPlace(clip.get(), t, k.start, k.end);
    EXPECT_EQ(r, k.fits ? 1 : 0) << k.start << ".." << k.end;
    EXPECT_EQ(ChangeFlags() & kChangedTracks, k.fits ? kChangedTracks : 0u);
    if (r == 1) {
      clip.release();
      EXPECT_EQ(ClipFindAt(t, k.start)->start, k.start);
    }
    // Order and links stay consistent either way.
    SpanList spans = SpansOf(t);
    for (std::size_t i = 1; i < spans.size(); ++i) EXPECT_LE(spans[i - 1].second, spans[i].first);
    EXPECT_EQ(t->last_clip->next, nullptr);
    EXPECT_EQ(t->first_clip->prev, nullptr);
  }
}

TEST_F(ProjectTest, PlaceInFrontAndOutOfOrderKeepsTheListSorted) {
  Track* t = AddTrack();
  ASSERT_NE(AddClip(t, 10, 12), nullptr);
  ASSERT_NE(AddClip(t, 2, 4), nullptr);    // before the first
  ASSERT_NE(AddClip(t, 20, 30), nullptr);  // at the end
  ASSERT_NE(AddClip(t, 4, 10), nullptr);   // exactly fills a gap
  EXPECT_EQ(AddClip(t, 11, 13), nullptr);
  EXPECT_EQ(SpansOf(t), (SpanList{{2, 4}, {4, 10}, {10, 12}, {20, 30}}));
  EXPECT_EQ(t->last_clip->start, 20);
  EXPECT_EQ(t->last_clip->prev->start, 10);
  EXPECT_EQ(ClipFindAt(t, 9.99f)->start, 4);
  EXPECT_EQ(ClipFindAt(t, 12), nullptr);
  EXPECT_EQ(ClipFindAt(t, 30), nullptr);
}

TEST_F(ProjectTest, PlaceRefusesLinkedClipsPseudoTracksAndUnknownTracks) {
  Track* t = AddTrack();
  Clip* c = AddClip(t, 0, 1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(ClipPlace(c, t, 5, 6), 0);  // already on a track
  ClipPtr copy(ClipCopy(c));
  EXPECT_EQ(ClipPlace(copy.get(), PseudoTrackGet(PseudoTrack::kPrevious), 5, 6), 0);
  EXPECT_EQ(ClipPlace(copy.get(), nullptr, 5, 6), 0);
  ProcessRecord greedy = effect_;
  greedy.inputs_number = kMaxProcessInputs + 1;
  EXPECT_EQ(AddClip(t, 5, 6, &greedy), nullptr);
}

TEST_F(ProjectTest, CreateSetsInputsAndDisplayMode) {
  Track* t = AddTrack();
  effect_.display_mode = 3;
  effect_.previous_track_input = 1;
  Clip* c = AddClip(t, 0, 1);
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(c->inputs.size(), 2u);
  EXPECT_EQ(c->inputs[0], nullptr);
  EXPECT_EQ(c->inputs[1], PseudoTrackGet(PseudoTrack::kPrevious));
  EXPECT_EQ(c->display_mode, 3);
  effect_.previous_track_input = 2;  // out of range: no "*Previous"
  Clip* d = AddClip(t, 1, 2);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->inputs, (std::vector<Track*>{nullptr, nullptr}));
}

class ClipMoveTest : public ProjectTest {
 protected:
  void SetUp() override {
    ProjectTest::SetUp();
    platform::SetUi(std::make_unique<platform::HeadlessUiHost>());
    track_ = AddTrack();
    ASSERT_NE(AddClip(track_, 0, 2), nullptr);
    ASSERT_NE(AddClip(track_, 4, 6), nullptr);
    moving_ = AddClip(AddTrack(), 10, 12);
    ASSERT_NE(moving_, nullptr);
  }
  std::string Status() {
    return static_cast<platform::HeadlessUiHost&>(platform::Ui()).LastStatus();
  }
  Track* track_ = nullptr;
  Clip* moving_ = nullptr;
};

TEST_F(ClipMoveTest, SnapsWithinTheToleranceOfTheTimeSnap) {
  EXPECT_FLOAT_EQ(ClipMoveTolerance(track_, nullptr), 0.008f);
  Clip* moved = ClipMove(moving_, track_, 1.995f, 4, false);
  ASSERT_EQ(moved, moving_);
  EXPECT_EQ(SpansOf(track_), (SpanList{{0, 2}, {2, 4}, {4, 6}}));
  EXPECT_EQ(moving_->track, track_);
}

TEST_F(ClipMoveTest, SnapsToTheEndsOfTheTimeLine) {
  Track* empty = AddTrack();
  ASSERT_NE(ClipMove(moving_, empty, 0.005f, 7199.995f, false), nullptr);
  EXPECT_EQ(SpansOf(empty), (SpanList{{0, 7200}}));
}

TEST_F(ClipMoveTest, ABlockedOrInvalidMoveChangesNothing) {
  struct Case {
    float start, end;
  } cases[] = {{1.9f, 4}, {1, 5},       {5, 7},
               {-1, 1},   {7000, 7300}, {std::numeric_limits<float>::quiet_NaN(), 8},
               {9, 8}};
  Track* home = moving_->track;
  for (const Case& k : cases) {
    EXPECT_EQ(ClipMove(moving_, track_, k.start, k.end, false), nullptr) << k.start;
    EXPECT_EQ(SpansOf(track_), (SpanList{{0, 2}, {4, 6}}));
    EXPECT_EQ(home->first_clip, moving_);
    EXPECT_EQ(moving_->start, 10);
  }
  EXPECT_EQ(ClipMove(moving_, track_, 1.9f, 4, false), nullptr);
  EXPECT_EQ(Status(), "Here is not empty place");
}

TEST_F(ClipMoveTest, MovesWithinItsOwnTrackIgnoringItself) {
  Track* home = moving_->track;
  ASSERT_NE(ClipMove(moving_, home, 11, 13, false), nullptr);
  EXPECT_EQ(SpansOf(home), (SpanList{{11, 13}}));
  ASSERT_NE(ClipMove(moving_, track_, 2, 4, false), nullptr);
  EXPECT_EQ(home->first_clip, nullptr);
  EXPECT_EQ(home->last_clip, nullptr);
}

TEST_F(ClipMoveTest, CopyLeavesTheOriginalInPlace) {
  Clip* copy = ClipMove(moving_, track_, 2, 4, true);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, moving_);
  EXPECT_EQ(moving_->start, 10);
  EXPECT_EQ(SpansOf(track_), (SpanList{{0, 2}, {2, 4}, {4, 6}}));
  // A copy onto its own span is blocked by the original.
  EXPECT_EQ(ClipMove(moving_, moving_->track, 10, 12, true), nullptr);
}

TEST_F(ClipMoveTest, InvalidatesOldAndNewSpans) {
  static SpanList spans;
  spans.clear();
  effect_.make = [](HostCallContext*, void*, float, float, float) -> PIC* { return nullptr; };
  Hooks().invalidate_span = [](Track*, float s, float e) { spans.emplace_back(s, e); };
  ASSERT_NE(ClipMove(moving_, track_, 2, 4, false), nullptr);
  EXPECT_EQ(spans, (SpanList{{10, 12}, {2, 4}}));
}

TEST(RetimeMapTest, MapsShiftedOutsideAndScaledInside) {
  struct Case {
    float t, expect;
  } cases[] = {{0, 10}, {1, 11}, {2, 13}, {3, 15}, {4, 17}, {5, 18}};
  for (const Case& k : cases) EXPECT_FLOAT_EQ(RetimeMap(k.t, 1, 4, 11, 17), k.expect) << k.t;
}

TEST_F(ProjectTest, MovingASuperClipRetimesItsSubProjectKeepingNeighboursAdjacent) {
  Track* top = AddTrack();
  Clip* super = AddClip(top, 1, 4, SuperClipProcess());
  ASSERT_NE(super, nullptr);
  Track* sub = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub));
  // Odd boundaries: two formulas for start and end would drift apart here.
  const float cuts[] = {0.3f, 1.1f, 1.7f, 2.3f, 2.9f, 3.7f, 4.4f};
  for (int i = 0; i + 1 < 7; ++i) ASSERT_NE(AddClip(sub, cuts[i], cuts[i + 1]), nullptr);
  ASSERT_NE(ClipMove(super, top, 2.13f, 9.71f, false), nullptr);
  EXPECT_EQ(super->start, 2.13f);
  for (Clip* c = sub->first_clip; c->next != nullptr; c = c->next) {
    EXPECT_EQ(c->end, c->next->start);
    EXPECT_LT(c->start, c->end);
  }
  EXPECT_FLOAT_EQ(sub->first_clip->start, 0.3f - 1 + 2.13f);
  EXPECT_FLOAT_EQ(sub->last_clip->end, 4.4f - 4 + 9.71f);
}

TEST_F(ProjectTest, AMoveThatWouldPushSubProjectClipsOffTheTimeLineIsRefused) {
  Track* top = AddTrack();
  Clip* super = AddClip(top, 100, 200, SuperClipProcess());
  Track* sub = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub));
  ASSERT_NE(AddClip(sub, 0, 10), nullptr);
  EXPECT_EQ(ClipMove(super, top, 50, 150, false), nullptr);  // [0, 10[ would start at -50
  EXPECT_EQ(super->start, 100);
  EXPECT_EQ(sub->first_clip->start, 0);
  EXPECT_EQ(top->first_clip, super);
}

TEST_F(ProjectTest, ASuperClipCannotEnterItsOwnSubProject) {
  Track* top = AddTrack();
  Clip* super = AddClip(top, 0, 10, SuperClipProcess());
  Track* sub = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub));
  Clip* inner = AddClip(sub, 0, 5, SuperClipProcess());
  Track* deeper = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(inner, deeper));
  EXPECT_EQ(ClipMove(super, sub, 20, 30, false), nullptr);
  EXPECT_EQ(ClipMove(super, deeper, 20, 30, true), nullptr);
  EXPECT_EQ(top->first_clip, super);
  // Nor can a track holding a SuperClip be linked below it.
  TrackUnlink(top);
  EXPECT_FALSE(SubProjectAppend(inner, top));
  EXPECT_TRUE(TrackAppend(project_, top));
}

}  // namespace
}  // namespace lumetra::project::testing

namespace lumetra::project::testing {
namespace {

// The lookup table must follow every change of the list: compare with a walk.
TEST_F(ProjectTest, FindAtFollowsPlacesMovesAndFrees) {
  platform::SetUi(std::make_unique<platform::HeadlessUiHost>());
  Track* t = AddTrack();
  Track* other = AddTrack();
  auto check = [&] {
    for (float time = 0; time < 40; time += 0.25f) {
      Clip* walk = nullptr;
      for (Clip* c = t->first_clip; c != nullptr; c = c->next) {
        if (c->start <= time && time < c->end) walk = c;
      }
      ASSERT_EQ(ClipFindAt(t, time), walk) << time;
    }
  };
  for (int i = 0; i < 10; ++i) ASSERT_NE(AddClip(t, 2.0f * i, 2.0f * i + 1), nullptr);
  check();
  ASSERT_NE(AddClip(t, 30, 31), nullptr);  // appended while the table is current
  check();
  ASSERT_NE(AddClip(t, 1, 2), nullptr);  // inserted in the middle
  check();
  ASSERT_NE(ClipMove(t->first_clip->next->next, t, 25, 26, false), nullptr);
  check();
  ASSERT_NE(ClipMove(t->last_clip, other, 0, 1, false), nullptr);
  check();
  ClipFree(t->first_clip);
  check();
  Clip* moved = other->first_clip;
  ASSERT_NE(ClipMove(moved, t, 35, 36, true), nullptr);
  check();
}

}  // namespace
}  // namespace lumetra::project::testing
