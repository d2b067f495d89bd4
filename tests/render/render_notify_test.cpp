// What windows hear: region changes clipped by the input times clips used, whole-track
// changes reaching the track above, progress counts, and aborts seen from inside a make.
#include <gtest/gtest.h>

#include "host/host_services.h"
#include "render/render_client.h"
#include "render_fixture.h"

namespace lumetra::render::testing {
namespace {

using project::Clip;
using project::Track;

std::vector<WindowMessage> Drain(RenderEngine& e, WindowId w) {
  e.RunUntilIdle();
  std::vector<WindowMessage> out;
  while (auto m = e.TakeMessage(w, false)) out.push_back(std::move(*m));
  return out;
}

TEST_F(RenderTest, RegionChangedCoversWhatTheRecordedReadsReach) {
  struct Case {
    float clip_end;  // track 1's clip starts at 0; after it track 2 shows through
    float from, to;  // the change on track 2
    bool told;
    float want_from, want_to;
  };
  // Track 1 at 0.5 read track 2 at 1.5; its first slice is [0, 1[.
  const Case cases[] = {
      {4.0f, 3.0f, 4.0f, false, 0, 0},  // no read reached [3, 4[
      {4.0f, 1.0f, 2.0f, true, 0.0f, 1.0f},
      {4.0f, 1.4f, 1.6f, true, 0.4f - 2e-5f, 0.6f},
      {1.0f, 3.0f, 4.0f, true, 3.0f, 4.0f},  // shown through the gap after the clip
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    Track* t1 = AddTrack();
    Track* t2 = AddTrack();
    Clip* top = AddClip(t1, 0.0f, c.clip_end, 1, 1);
    Data(top)->offset_ms[0] = 1000;
    AddClip(t2, 0.0f, 6.0f);
    RenderEngine e;
    WindowId w = e.OpenWindow();
    t1->window = w;
    RenderClientResult r = RenderTrackPicture(e, t1, 0.5f, kW, kH);
    ASSERT_TRUE(r.ok()) << r.error;
    e.Invalidate(t2, c.from, c.to);
    auto told = Drain(e, w);
    if (!c.told) {
      EXPECT_TRUE(told.empty());
    } else {
      ASSERT_EQ(told.size(), 1u);
      EXPECT_EQ(told[0].kind, WindowMessageKind::kRegionChanged);
      EXPECT_EQ(told[0].track, t1->number);
      EXPECT_NEAR(told[0].from, c.want_from, 1e-4);
      EXPECT_NEAR(told[0].to, c.want_to, 1e-4);
    }
    t1->window = 0;
    e.TapeAbort(t1);
    e.TapeAbort(t2);
    project::TrackUnlink(t1);
    project::TrackUnlink(t2);
    project::TrackFree(t1);
    project::TrackFree(t2);
  }
}

TEST_F(RenderTest, WholeTrackChangeReachesTheTrackAboveThatNamesIt) {
  Track* t1 = AddTrack();
  Track* t2 = AddTrack();
  AddClip(t1, 0.0f, 2.0f, 1, 0);  // input 0 is "*Previous", never read
  AddClip(t2, 0.0f, 2.0f);
  RenderEngine& e = Engine();
  ASSERT_TRUE(RenderTrackPicture(e, t1, 0.0f, kW, kH).ok());
  e.Invalidate(t2, 0.0f, 1.0f);  // a span: no link, so track 1's picture stands
  ASSERT_TRUE(RenderTrackPicture(e, t1, 0.0f, kW, kH).ok());
  EXPECT_EQ(Log().Of(t1->number, 0.0f), 1);
  e.Invalidate(t2, 0.0f, 7200.0f);  // the whole track
  ASSERT_TRUE(RenderTrackPicture(e, t1, 0.0f, kW, kH).ok());
  EXPECT_EQ(Log().Of(t1->number, 0.0f), 2);
  EXPECT_EQ(e.CheckInvariants(), "");
}

TEST_F(RenderTest, ProgressCountsMadePicturesAndSetRequests) {
  Track* t1 = AddTrack();
  Track* t2 = AddTrack();
  AddClip(t1, 0.0f, 2.0f);
  AddClip(t2, 0.0f, 2.0f);
  RenderEngine& e = Engine();
  WindowId progress = e.OpenWindow();
  WindowId w = e.OpenWindow();
  e.SetProgressWindow(progress);
  e.SetRequest(t1, 0.0f, kW, kH, kAspect, w);
  e.SetRequest(t2, 0.0f, kW, kH, kAspect, w);
  for (const WindowMessage& m : Drain(e, w)) e.FreePic(m.picture, w);
  auto p = Drain(e, progress);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].kind, WindowMessageKind::kProgress);
  EXPECT_EQ(p[0].made, 1);
  EXPECT_EQ(p[1].made, 2);
  EXPECT_EQ(p[1].set, 2);
  e.SetProgressWindow(0);
  ASSERT_TRUE(RenderTrackPicture(e, t1, 1.0f, kW, kH).ok());
  EXPECT_TRUE(Drain(e, progress).empty());
}

RenderEngine* g_engine = nullptr;
std::atomic<int32_t> g_abort_seen{-1};

PIC* InvalidatingMake(HostCallContext* ctx, void*, float, float, float) {
  const HostServiceTable* host = project::HostServices();
  auto* copy = reinterpret_cast<Clip*>(ctx->word[HCC_WORD_CLIP]);
  bool first = g_abort_seen.load() < 0;
  if (first) g_engine->Invalidate(copy->track, 0.0f, 7200.0f);  // the clip changed meanwhile
  g_abort_seen = host->CheckAbort(ctx, 0.5f);
  if (first) {
    EXPECT_EQ(host->GetInputFrame(ctx, 0, 0.0f), nullptr);
  }
  return PicCreate(kW, kH);
}

TEST_F(RenderTest, CheckAbortSeesAChangeDuringTheMake) {
  Track* t = AddTrack();
  effects_[0].make = &InvalidatingMake;
  AddClip(t, 0.0f, 1.0f);
  RenderEngine& e = Engine();
  g_engine = &e;
  WindowId w = e.OpenWindow();
  e.SetRequest(t, 0.0f, kW, kH, kAspect, w);
  auto m = Drain(e, w);
  ASSERT_FALSE(m.empty());
  EXPECT_EQ(m[0].kind, WindowMessageKind::kDropped);
  EXPECT_EQ(g_abort_seen.load(), 1);
  // Asked again, the make runs undisturbed and the picture comes.
  RenderClientResult r = RenderTrackPicture(e, t, 0.0f, kW, kH);
  EXPECT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(g_abort_seen.load(), 0);
  EXPECT_EQ(e.Stats().live_requests, 1);  // the cached picture
  g_engine = nullptr;
}

}  // namespace
}  // namespace lumetra::render::testing
