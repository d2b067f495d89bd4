// The script lock and nesting depth, and the geometry marks around a run.
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "geometry/geometry.h"
#include "script_fixture.h"

namespace lumetra::script {
namespace {

TEST_F(ScriptTest, NestedRunsCountTheirDepth) {
  static std::vector<int> depths;
  depths.clear();
  ScriptFunctions().Add("Depth", [](ScriptCall& call) {
    depths.push_back(ScriptRunDepth());
    call.Return(Value::Int(ScriptRunDepth()));
    return true;
  });
  ScriptFunctions().Add("Nested", [](ScriptCall& call) {
    std::string text = call.String(0, "%sbad");
    call.Return(Value::Int(ScriptRun(call.RunClip(), text.c_str())));
    return true;
  });
  EXPECT_EQ(Run("Depth(); *(int *)$I = Nested(\"Depth(); Nested(\\\"Depth();\\\");\"); Depth();"),
            1);
  EXPECT_EQ(depths, (std::vector<int>{1, 2, 3, 1}));
  EXPECT_EQ(mem_.i, 1);
  EXPECT_EQ(ScriptRunDepth(), 0);

  // A failing nested run reports for itself; the outer run goes on.
  EXPECT_EQ(Run("*(int *)$I = Nested(\"x = ;\");"), 1);
  EXPECT_EQ(mem_.i, 0);
  EXPECT_EQ(reported_, std::vector<std::string>{"Script error"});

  // Runs that start runs without end stop at the depth limit.
  reported_.clear();
  ScriptFunctions().Add("Forever", [](ScriptCall& call) {
    call.Return(Value::Int(ScriptRun(call.RunClip(), "*(int *)$I = Forever();")));
    return true;
  });
  EXPECT_EQ(Run("Forever();"), 1);
  EXPECT_EQ(reported_.size(), 1u);  // the run beyond the limit failed
  EXPECT_EQ(ScriptRunDepth(), 0);
  for (const char* name : {"Depth", "Nested", "Forever"}) ScriptFunctions().Remove(name);
}

TEST_F(ScriptTest, RunsOnOtherThreadsWaitForTheLock) {
  std::atomic<int> result{-1};
  std::thread other;
  {
    std::lock_guard lock(ScriptLock());
    other = std::thread([&] { result = ScriptRun(&clip_, "x = 1;"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(result.load(), -1);  // still waiting
  }
  other.join();
  EXPECT_EQ(result.load(), 1);
}

TEST_F(ScriptTest, GeometryMarksAreClearedAndChangedOnesFlagged) {
  project::Project project;
  project::Track track;
  track.project = &project;
  clip_.track = &track;
  geometry::Geometry& stale = *project.geometry.Append(std::make_unique<geometry::Geometry>());
  geometry::Geometry& touched = *project.geometry.Append(std::make_unique<geometry::Geometry>());
  geometry::Geometry& child = *project.geometry.Append(std::make_unique<geometry::Geometry>());
  geometry::Geometry& grandchild = *project.geometry.Append(std::make_unique<geometry::Geometry>());
  geometry::Geometry& bystander = *project.geometry.Append(std::make_unique<geometry::Geometry>());
  // Linked below the touched one: they move with it.
  child.parent = &touched;
  touched.children.push_back(&child);
  grandchild.parent = &child;
  child.children.push_back(&grandchild);
  stale.flags = geometry::kGeoScriptChanged;  // left over from an earlier run
  static geometry::Geometry* target;
  static int refreshes;
  target = &touched;
  refreshes = 0;
  ScriptRunHooks().refresh_work_windows = [] { ++refreshes; };
  ScriptFunctions().Add("Touch", [](ScriptCall& call) {
    target->flags |= geometry::kGeoScriptChanged;
    call.NoteGeometriesChanged();
    return true;
  });

  EXPECT_EQ(Run("x = 1;"), 1);
  EXPECT_EQ(stale.flags & geometry::kGeoScriptChanged, 0u);
  EXPECT_EQ(refreshes, 0);  // nothing changed: nothing flagged

  stale.flags = geometry::kGeoScriptChanged;
  EXPECT_EQ(Run("Touch();"), 1);
  EXPECT_EQ(stale.flags, 0u);
  EXPECT_NE(touched.flags & geometry::kGeoChanged, 0u);
  EXPECT_EQ(touched.cache_time, geometry::kGeoCacheInvalid);
  EXPECT_NE(child.flags & geometry::kGeoChanged, 0u);
  EXPECT_NE(grandchild.flags & geometry::kGeoChanged, 0u);
  EXPECT_EQ(grandchild.cache_time, geometry::kGeoCacheInvalid);
  EXPECT_EQ(bystander.flags & geometry::kGeoChanged, 0u);
  EXPECT_EQ(child.flags & geometry::kGeoScriptChanged, 0u);  // only the touched one is marked
  EXPECT_EQ(refreshes, 1);

  // A child flagged changed before still passes the flag on to its own children.
  touched.flags = 0;
  child.flags = geometry::kGeoChanged;
  grandchild.flags = 0;
  EXPECT_EQ(Run("Touch();"), 1);
  EXPECT_NE(grandchild.flags & geometry::kGeoChanged, 0u);

  ScriptFunctions().Remove("Touch");
  clip_.track = nullptr;
}

TEST_F(ScriptTest, PredefinedVariablesReadTheProject) {
  project::Project project;
  project.active_start = 2.0f;
  project.active_end = 6.0f;
  project::Track first, last;
  first.project = last.project = &project;
  first.next = &last;
  last.prev = &first;
  project.first_track = &first;
  clip_.track = &first;
  static project::Track* seen;
  ScriptFunctions().Add("SeeTrack", [](ScriptCall& call) {
    seen = call.Track(0, "%sbad");
    return true;
  });
  ScriptRunHooks().current_time = [](project::Clip*) { return 0.75f; };
  EXPECT_EQ(Run("*(float *)$F = TimeSegEnd - TimeSegBegin + CurrentTime; SeeTrack(LastTrack);"), 1);
  EXPECT_EQ(mem_.f, 4.75f);
  EXPECT_EQ(seen, &last);
  ScriptFunctions().Remove("SeeTrack");
  project.first_track = nullptr;
  clip_.track = nullptr;
}

TEST(ScriptMemoryPolicy, AreasAndTheDefault) {
  unsigned char area[16] = {};
  AreaMemoryPolicy policy;
  policy.AddArea(area, sizeof area);
  uint64_t a = reinterpret_cast<uintptr_t>(area);
  EXPECT_TRUE(policy.Allows(a, 16, true));
  EXPECT_TRUE(policy.Allows(a + 12, 4, false));
  EXPECT_FALSE(policy.Allows(a + 13, 4, true));
  EXPECT_FALSE(policy.Allows(a - 1, 4, false));
  EXPECT_FALSE(policy.Allows(UINT64_MAX - 1, 4, false));

  DefaultMemoryPolicy def;
  EXPECT_TRUE(def.Allows(a, 16, true));
  EXPECT_FALSE(def.Allows(0, 4, true));
  EXPECT_FALSE(def.Allows(0xFFF0, 4, false));
  EXPECT_FALSE(def.Allows(UINT64_MAX - 2, 4, true));  // would wrap
  EXPECT_FALSE(def.Allows(uint64_t{1} << 50, 4, true));
}

}  // namespace
}  // namespace lumetra::script
