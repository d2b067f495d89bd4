// A project that uses every effect of the standard library once: each effect's track renders
// a frame through the render engine, its inputs all reading a solid background.
#include <gtest/gtest.h>

#include <string>

#include "app/app_hooks.h"
#include "host/library_loader.h"
#include "host/plugin_registry.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"
#include "render/render_client.h"
#include "render/render_engine.h"

namespace lumetra::app {
namespace {

#ifdef LUMETRA_EFFECTS_LIBRARY
TEST(EveryEffect, RendersAFrameThroughTheEngine) {
  StartHeadlessTool();
  ASSERT_EQ(project::LibraryLoad(LUMETRA_EFFECTS_LIBRARY).result, 1);
  project::ProcessRecord* matte = nullptr;
  std::vector<project::ProcessRecord*> effects;
  for (project::ProcessRecord* r = project::ProcessRegistryHead(); r != nullptr; r = r->next) {
    if (r->signature == "Matte 1.0 ZOLT Standard") matte = r;
    if (r->make != nullptr) effects.push_back(r);
  }
  ASSERT_NE(matte, nullptr);
  ASSERT_GE(effects.size(), 30u);

  project::Project* p = project::ProjectCreate();
  project::ProjectSetDefaults(p);
  std::vector<project::Track*> tracks;
  for (std::size_t i = 0; i < effects.size(); ++i) {
    tracks.push_back(project::TrackCreate(p));
    ASSERT_TRUE(project::TrackAppend(p, tracks.back()));
  }
  project::Track* background = project::TrackCreate(p);
  ASSERT_TRUE(project::TrackAppend(p, background));
  ASSERT_NE(project::ClipCreate(nullptr, matte, 0.0f, 2.0f, background), nullptr);
  for (std::size_t i = 0; i < effects.size(); ++i) {
    project::Clip* c = project::ClipCreate(nullptr, effects[i], 0.0f, 2.0f, tracks[i]);
    ASSERT_NE(c, nullptr) << effects[i]->signature;
    for (uint32_t k = 0; k < c->inputs.size(); ++k)
      EXPECT_TRUE(project::ClipSetInput(c, k, background)) << effects[i]->signature;
  }

  render::RenderEngine engine;
  for (std::size_t i = 0; i < effects.size(); ++i) {
    render::RenderClientResult r = render::RenderTrackPicture(engine, tracks[i], 0.5f, 64, 48);
    EXPECT_TRUE(r.ok()) << effects[i]->signature << ": " << r.error;
  }
  EXPECT_EQ(engine.CheckInvariants(), "");
  engine.SetThreads(0);
  for (project::Track* t : tracks) engine.TapeAbort(t);
  engine.TapeAbort(background);
  project::ProjectFree(p);
}
#endif

}  // namespace
}  // namespace lumetra::app
