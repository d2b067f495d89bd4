// Host functions hand control to library code (an effect's init, dialog and walk callbacks)
// only without the render and geometry locks, so that code may run scripts of its own; and
// render threads read the project while scripts change it. Run under ThreadSanitizer.
#include <atomic>
#include <thread>

#include "anim/keyfloat.h"
#include "script/host_fixture.h"

namespace lumetra::script::test {
namespace {

// Whether another thread could take each lock at this moment.
struct LocksFree {
  bool render = false;
  bool geometry = false;
};

LocksFree ProbeLocks() {
  LocksFree free;
  std::thread([&] {
    if ((free.render = project::RenderLock().try_lock())) project::RenderLock().unlock();
    if ((free.geometry = geometry::GeoLock().try_lock())) geometry::GeoLock().unlock();
  }).join();
  return free;
}

std::vector<LocksFree> g_probes;
int g_nested_ok = 0;

// Library code that runs a script of its own and notes the locks around it.
void LibraryCode() {
  g_probes.push_back(ProbeLocks());
  g_nested_ok += ScriptRun(nullptr, "Probe();");
}

int32_t InitRunningScript(HostCallContext*, void*) {
  LibraryCode();
  return 1;
}
void ColourRunningScript(LumetraWindow, uint8_t*) {
  LibraryCode();
}
int32_t SegmentRunningScript(intptr_t, float, float, float, float, float, float, float, float) {
  LibraryCode();
  return 1;
}

class HostLockTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_probes.clear();
    g_nested_ok = 0;
    ScriptFunctions().Add("Probe", [](ScriptCall&) {
      g_probes.push_back(ProbeLocks());
      return true;
    });
  }
  void TearDown() override {
    ScriptFunctions().Remove("Probe");
    HostTest::TearDown();  // frees the clips first
    project::ProcessRegistryRemove(&nesting_);
  }
  // An effect whose init runs a script.
  void RegisterNesting() {
    nesting_.name = "Test/Nesting";
    nesting_.init = InitRunningScript;
    nesting_.data_template = tmpl_.get();
    project::ProcessRegistryPush(&nesting_);
  }
  project::ProcessRecord nesting_;
};

TEST_F(HostLockTest, LibraryCallbacksRunWithoutTheProjectLocks) {
  RegisterNesting();
  geometry::Geometry* a = AddSquare("Left", 0.1f, 0.1f, 0.2f);
  geometry::Geometry* b = AddSquare("Right", 0.5f, 0.1f, 0.2f);
  struct Case {
    std::string script;
    int nested_runs;
  } cases[] = {
      {"ClipCreate(\"Nesting\", LastTrack, 1.0, 2.0);", 1},
      {"DialogChooseColor(0, $COLOUR, " + Hex(reinterpret_cast<void*>(&ColourRunningScript)) + ");", 1},
      {"p = GeometryMpairCreate(" + Hex(a) + ", " + Hex(b) + "); GeometryMpairSteps(p, 0);"
       "GeoMpairGetSplitting(p, 0.0, 0, " + Hex(reinterpret_cast<void*>(&SegmentRunningScript)) + ");", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    g_probes.clear();
    g_nested_ok = 0;
    EXPECT_EQ(Run(c.script), 1);
    EXPECT_EQ(g_nested_ok, c.nested_runs);
    ASSERT_EQ(g_probes.size(), 2u * c.nested_runs);
    for (const LocksFree& f : g_probes) {
      EXPECT_TRUE(f.render);
      EXPECT_TRUE(f.geometry);
    }
  }
}

TEST_F(HostLockTest, RenderThreadsReadWhileScriptsEdit) {
  std::atomic<bool> done{false};
  std::atomic<int> started{0};
  std::atomic<long> seen{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      int first = 0;
      do {
        {
          project::RenderLockGuard lock(project::RenderLock());
          for (project::Track* t = project_->first_track; t != nullptr; t = t->next) {
            for (project::Clip* c = t->first_clip; c != nullptr; c = c->next) {
              seen.fetch_add(static_cast<long>(c->inputs.size()));
              if (c->data != nullptr && c->process == &effect_) {
                float x = 0, y = 0, z = 0;
                anim::KeyfloatEvaluate(static_cast<HostEffectData*>(c->data)->curve, 0.5f, &x, &y, &z);
              }
            }
          }
        }
        if (!first++) started.fetch_add(1);
        std::this_thread::yield();
      } while (!done.load(std::memory_order_acquire));
    });
  }
  while (started.load() < 2) std::this_thread::yield();
  for (int i = 0; i < 20; ++i) {
    const std::string t = std::to_string(i);
    ASSERT_EQ(Run("KeyfloatKeyAdd(CurrentClip.d.curve, " + t + ".0, 1.0); ClipInputAdd(CurrentClip);"
                  "TrackInsertAfter(LastTrack); ClipCreate(\"Blur\", LastTrack, 1.0, 2.0);"),
              1);
  }
  done.store(true, std::memory_order_release);
  for (std::thread& t : readers) t.join();
  int tracks = 0;
  for (project::Track* t = project_->first_track; t != nullptr; t = t->next) ++tracks;
  EXPECT_EQ(tracks, 22);
  EXPECT_GE(clip_->inputs.size(), 20u);
}

}  // namespace
}  // namespace lumetra::script::test
