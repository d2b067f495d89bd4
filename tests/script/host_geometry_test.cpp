// Host functions for morph pairs, geometry deletion, showing and hiding.
#include <cmath>
#include <vector>

#include "script/host_fixture.h"

namespace lumetra::script::test {
namespace {

using geometry::Geometry;

class MorphTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    left_ = AddSquare("Left", 0.1f, 0.1f, 0.2f);
    right_ = AddSquare("Right", 0.5f, 0.2f, 0.1f);
  }
  // Makes a pair of the two squares through a script and stores it in gpair[0].
  Geometry* MakePair() {
    EXPECT_EQ(Run("*(unsigned *)$U = GeometryMpairCreate(" + Hex(left_) + ", " + Hex(right_) + ");"), 1);
    Data().gpair[0] = reinterpret_cast<void*>(mem_.u);
    return reinterpret_cast<Geometry*>(mem_.u);
  }
  Geometry* left_ = nullptr;
  Geometry* right_ = nullptr;
};

TEST_F(MorphTest, CreateNamesFlagsAndOwnsThePair) {
  Geometry* pair = MakePair();
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->name, "MorphPair001");
  EXPECT_EQ(pair->kind, geometry::kGeoMorphPair);
  EXPECT_EQ(pair->MorphPair()->a, left_);
  EXPECT_EQ(pair->MorphPair()->b, right_);
  EXPECT_EQ(pair->MorphPair()->steps, 1);
  EXPECT_EQ(pair->owner_clip, clip_);
  EXPECT_NE(pair->flags & geometry::kGeoTemporary, 0u);
  EXPECT_TRUE(project_->geometry.Holds(pair));
  // The run flags what its functions marked.
  EXPECT_NE(pair->flags & geometry::kGeoChanged, 0u);
  EXPECT_EQ(MakePair()->name, "MorphPair002");
}

TEST_F(MorphTest, CreateRefusals) {
  Geometry* vertex = left_->Contour()->vertices[0];
  struct Case {
    std::string arguments;
    const char* message;  // "" none
  } cases[] = {
      {"0, 0", "GeometryMpairCreate: specified geometries are not exist."},
      {"0x1234, 0", "GeometryMpairCreate: specified geometries are not exist."},
      {Hex(left_) + ", " + Hex(left_), "GeometryMpairCreate: single geometry specified; must be two different geometries."},
      {Hex(vertex) + ", " + Hex(vertex->next), ""},  // no contour on either side
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const std::size_t before = project_->geometry.Size();
    mem_.u = 1;
    EXPECT_EQ(Run("*(unsigned *)$U = GeometryMpairCreate(" + c.arguments + ");"), 1);
    EXPECT_EQ(mem_.u, 0u);
    EXPECT_EQ(project_->geometry.Size(), before);
    if (*c.message) {
      EXPECT_EQ(LastStatus(), Prefixed(c.message));
    }
  }
  // One contour: the other side stays empty.
  EXPECT_EQ(Run("*(unsigned *)$U = GeometryMpairCreate(" + Hex(left_) + ", " + Hex(vertex) + ");"), 1);
  auto* pair = reinterpret_cast<Geometry*>(mem_.u);
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->MorphPair()->a, left_);
  EXPECT_EQ(pair->MorphPair()->b, nullptr);
}

TEST_F(MorphTest, AssignGetAndSwap) {
  Geometry* pair = MakePair();
  Geometry* third = AddSquare("Third", 0.f, 0.f, 0.5f);
  auto* m = pair->MorphPair();
  struct Case {
    std::string script;
    int result;
    Geometry* a;
    Geometry* b;
  } cases[] = {
      {"GeometryMpairAssign(CurrentClip.d.gpair[0], " + Hex(third) + ", 1)", 1, left_, third},
      {"GeometryMpairAssign(CurrentClip.d.gpair[0], " + Hex(left_) + ", 1)", 0, left_, third},  // A == B
      {"GeometryMpairAssign(CurrentClip.d.gpair[0], 0, 0)", 1, nullptr, third},
      {"GeometryMpairAssign(CurrentClip.d.gpair[0], 0, 1)", 0, nullptr, third},  // both empty
      {"GeometryMpairAssign(CurrentClip.d.gpair[0], " + Hex(right_) + ", 2)", 0, nullptr, third},
      {"GeometryMpairAssign(CurrentClip.d.gpair[0], " + Hex(right_->Contour()->vertices[0]) + ", 0)", 0,
       nullptr, third},
      {"GeometryMpairAssign(CurrentClip.d.gpair[0], " + Hex(right_) + ", 0)", 1, right_, third},
      {"GeometryMpairAssign(CurrentClip.d.gpair[0], 0x1234, 0)", 0, right_, third},
      {"GeometryMpairAssign(" + Hex(left_) + ", " + Hex(right_) + ", 0)", 0, right_, third},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    mem_.i = 7;
    EXPECT_EQ(Run("*(int *)$I = " + c.script + ";"), 1);
    EXPECT_EQ(mem_.i, c.result);
    EXPECT_EQ(m->a, c.a);
    EXPECT_EQ(m->b, c.b);
  }
  EXPECT_NE(pair->flags & geometry::kGeoSelected, 0u);

  m->split_a[1] = 0.3f;
  EXPECT_EQ(Run("*(int *)$I = GeometryMpairSwap(CurrentClip.d.gpair[0]);"), 1);
  EXPECT_EQ(mem_.i, 1);
  EXPECT_EQ(m->a, third);
  EXPECT_EQ(m->b, right_);
  EXPECT_EQ(m->split_b[1], 0.3f);
  EXPECT_EQ(m->split_a[1], 0.25f);

  EXPECT_EQ(Run("*(int *)$I = GeometryMpairGet(CurrentClip.d.gpair[0], $U, $U2);"), 1);
  EXPECT_EQ(mem_.i, 1);
  EXPECT_EQ(mem_.u, reinterpret_cast<uintptr_t>(third));
  EXPECT_EQ(mem_.u2, reinterpret_cast<uintptr_t>(right_));
  // Zero addresses are skipped; an unknown pair reports.
  mem_.u = 3;
  EXPECT_EQ(Run("*(int *)$I = GeometryMpairGet(CurrentClip.d.gpair[0], 0, $U2);"), 1);
  EXPECT_EQ(mem_.u, 3u);
  for (const char* script : {"*(int *)$I = GeometryMpairGet(CurrentClip.d.gpair[1], $U, $U2);",
                             "*(int *)$I = GeometryMpairSwap(CurrentClip.d.gpair[1]);"}) {
    mem_.i = 7;
    EXPECT_EQ(Run(script), 1);
    EXPECT_EQ(mem_.i, 0);
  }
  EXPECT_EQ(LastStatus(), Prefixed("pecified geometry not exists."));
}

TEST_F(MorphTest, StepsAreClamped) {
  Geometry* pair = MakePair();
  struct Case {
    const char* script;
    int result;
    int stored;
  } cases[] = {
      {"GeometryMpairSteps(CurrentClip.d.gpair[0])", 1, 1},
      {"GeometryMpairSteps(CurrentClip.d.gpair[0], 100)", 24, 24},
      {"GeometryMpairSteps(CurrentClip.d.gpair[0], 3)", 3, 3},
      {"GeometryMpairSteps(CurrentClip.d.gpair[0], -5)", 0, 0},
      {"GeometryMpairSteps(CurrentClip.d.gpair[0], 7)", 7, 7},
      {"GeoMpairGetSplitting(CurrentClip.d.gpair[0])", 32, 7},
      {"GeometryMpairSteps(CurrentClip.d.gpair[1], 7)", 0, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    mem_.i = -1;
    EXPECT_EQ(Run(std::string("*(int *)$I = ") + c.script + ";"), 1);
    EXPECT_EQ(mem_.i, c.result);
    EXPECT_EQ(pair->MorphPair()->steps, c.stored);
  }
}

struct Segment {
  float v[8];
};
std::vector<Segment> g_segments;
int g_stop_after = -1;
intptr_t g_user = 0;

int32_t Collect(intptr_t user, float ax0, float ay0, float ax1, float ay1, float bx0, float by0,
                float bx1, float by1) {
  g_user = user;
  g_segments.push_back({{ax0, ay0, ax1, ay1, bx0, by0, bx1, by1}});
  return static_cast<int>(g_segments.size()) == g_stop_after ? 0 : 1;
}

TEST_F(MorphTest, SplittingTwoSquaresDeliversTheAnnouncedCount) {
  MakePair();
  const float w = static_cast<float>(project_->settings.width);
  const float sy = w * project_->settings.pixel_aspect;  // y times H / A
  for (int steps : {0, 1, 3, 24}) {
    SCOPED_TRACE(steps);
    ASSERT_EQ(Run("GeometryMpairSteps(CurrentClip.d.gpair[0], " + std::to_string(steps) + ");"), 1);
    ASSERT_EQ(Run("*(int *)$I = GeoMpairGetSplitting(CurrentClip.d.gpair[0]);"), 1);
    const int announced = mem_.i;
    EXPECT_EQ(announced, 4 * steps + 4);
    g_segments.clear();
    g_stop_after = -1;
    mem_.i = -1;
    ASSERT_EQ(Run("*(int *)$I = GeoMpairGetSplitting(CurrentClip.d.gpair[0], 0.0, 0x5A, " +
                  Hex(reinterpret_cast<void*>(&Collect)) + ");"), 1);
    EXPECT_EQ(mem_.i, announced);
    ASSERT_EQ(static_cast<int>(g_segments.size()), announced);
    EXPECT_EQ(g_user, 0x5A);
    // A chain on each side: every segment starts where the last ended, and the last closes
    // back at the first point, the first vertex of each square.
    for (std::size_t i = 0; i < g_segments.size(); ++i) {
      const Segment& s = g_segments[i];
      const Segment& next = g_segments[(i + 1) % g_segments.size()];
      for (int k : {0, 1, 4, 5}) EXPECT_NEAR(next.v[k], s.v[k + 2], 1e-3f) << i;
    }
    EXPECT_NEAR(g_segments[0].v[0], 0.1f * w, 1e-3f);
    EXPECT_NEAR(g_segments[0].v[1], 0.1f * sy, 1e-3f);
    EXPECT_NEAR(g_segments[0].v[4], 0.5f * w, 1e-3f);
    EXPECT_NEAR(g_segments[0].v[5], 0.2f * sy, 1e-3f);
    // No degenerate segment: the closing pair is one of the announced ones.
    for (const Segment& s : g_segments)
      EXPECT_GT(std::hypot(s.v[2] - s.v[0], s.v[3] - s.v[1]), 1e-3f);
  }
}

TEST_F(MorphTest, SplittingPointsFollowTheSplittings) {
  Geometry* pair = MakePair();
  const float w = static_cast<float>(project_->settings.width);
  const float sy = w * project_->settings.pixel_aspect;
  // Steps 0: the four splitting points themselves; the square's corners at 0, .25, .5, .75.
  pair->MorphPair()->steps = 0;
  g_segments.clear();
  g_stop_after = -1;
  ASSERT_EQ(Run("GeoMpairGetSplitting(CurrentClip.d.gpair[0], 0.0, 0, " +
                Hex(reinterpret_cast<void*>(&Collect)) + ");"), 1);
  ASSERT_EQ(g_segments.size(), 4u);
  const float corners[4][2] = {{0.1f, 0.1f}, {0.3f, 0.1f}, {0.3f, 0.3f}, {0.1f, 0.3f}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(g_segments[i].v[0], corners[i][0] * w, 1e-3f);
    EXPECT_NEAR(g_segments[i].v[1], corners[i][1] * sy, 1e-3f);
  }
  // An interval whose end is not above its start wraps around the outline.
  pair->MorphPair()->split_a[0] = 0.5f;
  g_segments.clear();
  ASSERT_EQ(Run("GeoMpairGetSplitting(CurrentClip.d.gpair[0], 0.0, 0, " +
                Hex(reinterpret_cast<void*>(&Collect)) + ");"), 1);
  ASSERT_EQ(g_segments.size(), 4u);
  EXPECT_NEAR(g_segments[0].v[0], 0.3f * w, 1e-3f);  // starts at 0.5: the third corner
  EXPECT_NEAR(g_segments[0].v[2], 0.3f * w, 1e-3f);  // 0.5 -> 0.25 + 1: wraps to the second
  EXPECT_NEAR(g_segments[0].v[3], 0.1f * sy, 1e-3f);
}

TEST_F(MorphTest, SplittingStopsWhenTheCallbackSaysSoAndCopiesALoneSide) {
  Geometry* pair = MakePair();
  g_segments.clear();
  g_stop_after = 3;
  mem_.i = 7;
  ASSERT_EQ(Run("*(int *)$I = GeoMpairGetSplitting(CurrentClip.d.gpair[0], 0.0, 0, " +
                Hex(reinterpret_cast<void*>(&Collect)) + ");"), 1);
  EXPECT_EQ(mem_.i, 0);
  EXPECT_EQ(g_segments.size(), 3u);

  geometry::GeoMpairAssign(pair, 0, nullptr);
  g_segments.clear();
  g_stop_after = -1;
  ASSERT_EQ(Run("*(int *)$I = GeoMpairGetSplitting(CurrentClip.d.gpair[0], 0.0, 0, " +
                Hex(reinterpret_cast<void*>(&Collect)) + ");"), 1);
  EXPECT_EQ(mem_.i, 8);
  ASSERT_EQ(g_segments.size(), 8u);
  for (const Segment& s : g_segments)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(s.v[k], s.v[k + 4]);
}

TEST_F(MorphTest, DeleteShowAndHide) {
  Geometry* pair = MakePair();
  Geometry* corner = left_->Contour()->vertices[0];
  auto hidden = [](const Geometry* g) { return (g->flags & geometry::kGeoHidden) != 0; };
  struct Case {
    const char* function;
    bool pair, contour, vertex;
  } cases[] = {
      {"GeometryHide", true, false, false},
      {"GeometryHideSubtree", true, true, true},
      {"GeometryShow", false, true, true},
      {"GeometryShowSubtree", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    mem_.i = 7;
    EXPECT_EQ(Run(std::string("*(int *)$I = ") + c.function + "(CurrentClip.d.gpair[0]);"), 1);
    EXPECT_EQ(mem_.i, 1);
    EXPECT_EQ(hidden(pair), c.pair);
    EXPECT_EQ(hidden(left_), c.contour);
    EXPECT_EQ(hidden(right_), c.contour);
    EXPECT_EQ(hidden(corner), c.vertex);
  }
  for (const char* function : {"GeometryHide", "GeometryShowSubtree", "GeometryDelete"}) {
    SCOPED_TRACE(function);
    mem_.i = 7;
    EXPECT_EQ(Run(std::string("*(int *)$I = ") + function + "(0x1234);"), 1);
    EXPECT_EQ(mem_.i, 0);
    EXPECT_EQ(LastStatus(), Prefixed("specified geometry not exists."));
  }

  // Not executed: nothing is deleted.
  EXPECT_EQ(Run("if (0) { GeometryDelete(CurrentClip.d.gpair[0]); }"), 1);
  EXPECT_TRUE(project_->geometry.Holds(pair));
  static int refreshed;
  refreshed = 0;
  ScriptRunHooks().refresh_work_windows = [] { ++refreshed; };
  EXPECT_EQ(Run("*(int *)$I = GeometryDelete(CurrentClip.d.gpair[0]);"), 1);
  EXPECT_EQ(mem_.i, 1);
  EXPECT_FALSE(project_->geometry.Holds(pair));
  EXPECT_EQ(Data().gpair[0], nullptr);  // the clip's reference is cleared
  EXPECT_TRUE(project_->geometry.Holds(left_));
  EXPECT_GE(refreshed, 1);
}

}  // namespace
}  // namespace lumetra::script::test
