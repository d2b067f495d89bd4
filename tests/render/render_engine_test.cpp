// The render engine on the calling thread (no render threads): sharing, pass-through,
// waiting for inputs, errors, invalidation, eviction and the release of held pictures.
#include <string>
#include <vector>

#include "render/render_fixture.h"

namespace lumetra::render::testing {
namespace {

using project::Track;

// Every message the window has now, running ready requests first.
std::vector<WindowMessage> Drain(RenderEngine& e, WindowId w) {
  e.RunUntilIdle();
  std::vector<WindowMessage> out;
  while (auto m = e.TakeMessage(w, false)) out.push_back(std::move(*m));
  return out;
}

TEST_F(RenderTest, TwoWindowsShareOneMake) {
  Track* t = AddTrack();
  AddClip(t, 0, 2);
  RenderEngine& e = Engine();
  WindowId a = e.OpenWindow(), b = e.OpenWindow();
  EXPECT_NE(a, b);
  EXPECT_EQ(e.SetRequest(t, 0.5f, kW, kH, kAspect, a), kRenderPending);
  EXPECT_EQ(e.SetRequest(t, 0.5f, kW, kH, kAspect, b), kRenderPending);
  auto ma = Drain(e, a), mb = Drain(e, b);
  ASSERT_EQ(ma.size(), 1u);
  ASSERT_EQ(mb.size(), 1u);
  EXPECT_EQ(ma[0].kind, WindowMessageKind::kPicture);
  EXPECT_EQ(ma[0].picture, mb[0].picture);
  EXPECT_EQ(ma[0].track, t->number);
  EXPECT_EQ(Log().Of(t->number, 0.5f), 1);
  EXPECT_FLOAT_EQ(ma[0].picture->tag, 0.5f);
  // Asking again while the picture is there answers at once, with one more reference.
  EXPECT_EQ(e.SetRequest(t, 0.5f, kW, kH, kAspect, a), kRenderAvailable);
  EXPECT_EQ(Drain(e, a).size(), 1u);
  EXPECT_TRUE(e.FreePic(ma[0].picture, a));
  EXPECT_TRUE(e.FreePic(ma[0].picture, a));
  EXPECT_FALSE(e.FreePic(ma[0].picture, a));
  EXPECT_TRUE(e.FreePic(mb[0].picture, b));
  EXPECT_EQ(Log().Of(t->number, 0.5f), 1);
  EXPECT_EQ(e.CheckInvariants(), "");
}

TEST_F(RenderTest, EmptyTrackShowsTheNextTrackOrFails) {
  struct Case {
    bool next_has_clip;
    bool has_next;
    int32_t result;
    const char* text;
  };
  const Case cases[] = {
      {true, true, kRenderPending, ""},
      {false, true, kRenderFailed, "No video clip on track 'Track 2' in frame 12.0"},
      {false, false, kRenderFailed, "No video clip on track 'Track 1' in frame 12.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TearDown();
    SetUp();
    Track* t1 = AddTrack();
    Track* t2 = c.has_next ? AddTrack() : nullptr;
    if (c.next_has_clip) AddClip(t2, 0, 1);
    RenderEngine& e = Engine();
    WindowId w = e.OpenWindow();
    EXPECT_EQ(e.SetRequest(t1, 0.48f, kW, kH, kAspect, w), c.result);
    auto m = Drain(e, w);
    ASSERT_EQ(m.size(), 1u);
    if (c.next_has_clip) {
      ASSERT_EQ(m[0].kind, WindowMessageKind::kPicture);
      EXPECT_EQ(m[0].track, t1->number);
      EXPECT_EQ(ReadStamp(m[0].picture).track, t2->number);
      EXPECT_TRUE(e.FreePic(m[0].picture, w));
    } else {
      EXPECT_EQ(m[0].kind, WindowMessageKind::kError);
      EXPECT_EQ(m[0].text, c.text);
    }
    EXPECT_EQ(e.CheckInvariants(), "");
  }
}

TEST_F(RenderTest, MissingInputWaitsAndRunsAgain) {
  Track* t1 = AddTrack();
  Track* t2 = AddTrack();
  AddClip(t1, 0, 1, 1, 1);  // reads "*Previous": track 2
  project::Clip* below = AddClip(t2, 0, 1);
  Data(below)->generation = 7;
  RenderEngine& e = Engine();
  WindowId w = e.OpenWindow();
  EXPECT_EQ(e.SetRequest(t1, 0.2f, kW, kH, kAspect, w), kRenderPending);
  EXPECT_TRUE(e.RunOnce());  // track 1 asks for track 2 and waits
  EXPECT_FALSE(e.TakeMessage(w, false).has_value());
  EXPECT_EQ(e.CheckInvariants(), "");
  auto m = Drain(e, w);
  ASSERT_EQ(m.size(), 1u);
  ASSERT_EQ(m[0].kind, WindowMessageKind::kPicture);
  EXPECT_EQ(ReadStamp(m[0].picture).inputs_sum, 7);
  EXPECT_EQ(Log().Of(t1->number, 0.2f), 1);
  EXPECT_EQ(Log().Of(t2->number, 0.2f), 1);
  EXPECT_EQ(e.Stats().makes, 3);  // track 1 twice, track 2 once
  EXPECT_TRUE(e.FreePic(m[0].picture, w));
}

TEST_F(RenderTest, MakeErrorsReachTheWindow) {
  struct Case {
    int32_t mode;
    int32_t extra_input;
    const char* text;
  };
  const Case cases[] = {
      {kStampReadBeyond, 1,
       "Error on track 'Track 1' in frame 5 (0.20): Illegal input 1 in 'Test/Stamp' clip on "
       "Track 1[0,25]"},
      {kStampFail, 0, "Error on track 'Track 1' in frame 5 (0.20): stamp failed"},
      {kStampNothing, 0, "Effect returned no picture"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TearDown();
    SetUp();
    Track* t = AddTrack();
    AddTrack();
    project::Clip* clip = AddClip(t, 0, 1, 1, 0);
    Data(clip)->mode = c.mode;
    Data(clip)->extra_input = c.extra_input;
    RenderEngine& e = Engine();
    WindowId w = e.OpenWindow();
    EXPECT_EQ(e.SetRequest(t, 0.2f, kW, kH, kAspect, w), kRenderPending);
    auto m = Drain(e, w);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].kind, WindowMessageKind::kError);
    EXPECT_EQ(m[0].text, c.text);
    EXPECT_EQ(e.Stats().live_requests, 0);
    EXPECT_EQ(e.CheckInvariants(), "");
  }
}

TEST_F(RenderTest, InvalidateDropsPicturesAndTellsDependentWindows) {
  Track* t1 = AddTrack();
  Track* t2 = AddTrack();
  AddClip(t1, 0, 1, 1, 1);
  AddClip(t2, 0, 1);
  RenderEngine& e = Engine();
  WindowId w = e.OpenWindow();
  t1->window = w;  // the window shows track 1, which depends on track 2
  e.SetRequest(t1, 0.0f, kW, kH, kAspect, w);
  auto m = Drain(e, w);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_TRUE(e.FreePic(m[0].picture, w));
  int32_t before = PicCount();
  EXPECT_EQ(e.Stats().cached_pictures, 2);
  e.Invalidate(t2, 0.0f, 0.5f);
  EXPECT_EQ(PicCount(), before - 2);  // track 2's picture and track 1's made from it
  auto told = Drain(e, w);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].kind, WindowMessageKind::kRegionChanged);
  EXPECT_EQ(told[0].track, t1->number);
  EXPECT_FLOAT_EQ(told[0].to, 0.5f);
  // Asked again, both are made afresh.
  e.SetRequest(t1, 0.0f, kW, kH, kAspect, w);
  m = Drain(e, w);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(Log().Of(t2->number, 0.0f), 2);
  EXPECT_TRUE(e.FreePic(m[0].picture, w));
  EXPECT_EQ(e.CheckInvariants(), "");
}

TEST_F(RenderTest, NoThreadsLeaveRequestsPending) {
  Track* t = AddTrack();
  AddClip(t, 0, 1);
  RenderEngine& e = Engine();
  EXPECT_EQ(e.SetThreads(2), 2);
  EXPECT_EQ(e.SetThreads(0), 0);
  WindowId w = e.OpenWindow();
  EXPECT_EQ(e.SetRequest(t, 0.0f, kW, kH, kAspect, w), kRenderPending);
  EXPECT_FALSE(e.TakeMessage(w, false).has_value());
  EXPECT_FALSE(e.Quiescent());
  EXPECT_EQ(e.Stats().makes, 0);
  EXPECT_EQ(e.SetThreads(1), 1);
  auto m = e.TakeMessage(w, true);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->kind, WindowMessageKind::kPicture);
  EXPECT_TRUE(e.FreePic(m->picture, w));
  EXPECT_EQ(e.SetThreads(0), 0);
}

TEST_F(RenderTest, EvictionTakesTheLeastRecentlyServed) {
  struct Case {
    std::vector<float> asked;
    float evicted;
  };
  const Case cases[] = {
      {{0.0f, 0.1f, 0.2f}, 0.0f},
      {{0.0f, 0.1f, 0.0f, 0.2f}, 0.1f},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    Track* t = AddTrack();
    AddClip(t, 0, 1);
    RenderEngine& e = Engine(kW * kH * 4 * 5 / 2);  // room for two and a half pictures
    WindowId w = e.OpenWindow();
    for (float time : c.asked) {
      e.SetRequest(t, time, kW, kH, kAspect, w);
      auto m = Drain(e, w);
      ASSERT_EQ(m.size(), 1u);
      EXPECT_TRUE(e.FreePic(m[0].picture, w));
    }
    for (float time : {0.0f, 0.1f, 0.2f}) {
      EXPECT_EQ(e.GetPic(t, time, kW, kH) == nullptr, time == c.evicted) << time;
    }
    EXPECT_EQ(e.Stats().cached_pictures, 2);
    EXPECT_EQ(e.CheckInvariants(), "");
  }
}

TEST_F(RenderTest, HeldPicturesOutliveWindowsAndTracks) {
  struct Case {
    bool close_window;
    bool delete_track;
  };
  for (Case c : {Case{false, false}, Case{true, false}, Case{false, true}}) {
    TearDown();
    SetUp();
    Track* t = AddTrack();
    AddClip(t, 0, 1);
    RenderEngine& e = Engine();
    int32_t before = PicCount();
    WindowId w = e.OpenWindow();
    e.SetRequest(t, 0.0f, kW, kH, kAspect, w);
    e.RunUntilIdle();
    if (c.close_window) {
      e.CloseWindow(w);  // the unread picture goes back with the window
      EXPECT_FALSE(e.TakeMessage(w, false).has_value());
      EXPECT_EQ(e.SetRequest(t, 0.0f, kW, kH, kAspect, w), kRenderRefused);
    } else {
      auto m = e.TakeMessage(w, false);
      ASSERT_TRUE(m.has_value());
      if (c.delete_track) {
        e.TapeAbort(t);
        project::TrackFree(t);
        EXPECT_EQ(PicCount(), before + 1);  // still held by the window
      }
      e.SetMemoryBudget(0);
      EXPECT_EQ(PicCount(), before + 1);
      EXPECT_TRUE(e.FreePic(m->picture, w));
    }
    e.SetMemoryBudget(0);
    EXPECT_EQ(PicCount(), before);
    EXPECT_EQ(e.Stats().live_requests, 0);
    EXPECT_EQ(e.CheckInvariants(), "");
  }
}

TEST_F(RenderTest, InputLoopFailsInsteadOfWaitingForever) {
  Track* t1 = AddTrack();
  Track* t2 = AddTrack();
  project::Clip* lower = AddClip(t2, 0, 1, 1, 1);
  ASSERT_TRUE(project::ClipSetInput(lower, 0, t1));
  // A clip whose input starts as "*Previous" is placed without a loop check.
  AddClip(t1, 0, 1, 1, 1);
  RenderEngine& e = Engine();
  WindowId w = e.OpenWindow();
  e.SetRequest(t1, 0.0f, kW, kH, kAspect, w);
  auto m = Drain(e, w);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].kind, WindowMessageKind::kError);
  EXPECT_NE(m[0].text.find("Input loop on track 'Track 1'"), std::string::npos) << m[0].text;
  EXPECT_TRUE(e.Quiescent());
  EXPECT_EQ(e.Stats().live_requests, 0);
}

TEST_F(RenderTest, SuperClipShowsItsFirstTrack) {
  Track* t = AddTrack();
  project::Clip* super = project::ClipCreate(nullptr, project::SuperClipProcess(), 0, 1, t);
  ASSERT_NE(super, nullptr);
  Track* inner = AddTrack(super);
  AddClip(inner, 0, 1);
  RenderEngine& e = Engine();
  WindowId w = e.OpenWindow();
  e.SetRequest(t, 0.5f, kW, kH, kAspect, w);
  auto m = Drain(e, w);
  ASSERT_EQ(m.size(), 1u);
  ASSERT_EQ(m[0].kind, WindowMessageKind::kPicture);
  EXPECT_EQ(ReadStamp(m[0].picture).track, inner->number);
  EXPECT_TRUE(e.FreePic(m[0].picture, w));
}

TEST_F(RenderTest, CancelRemovesOnlyAWaitingWindow) {
  struct Case {
    bool made_first;
    int32_t answer;
    std::size_t messages;
  };
  for (Case c : {Case{false, 1, 0}, Case{true, 0, 1}}) {
    TearDown();
    SetUp();
    Track* t = AddTrack();
    AddClip(t, 0, 1);
    RenderEngine& e = Engine();
    WindowId w = e.OpenWindow();
    e.SetRequest(t, 0.3f, kW, kH, kAspect, w);
    if (c.made_first) e.RunUntilIdle();
    EXPECT_EQ(e.Cancel(t, 0.3f, w), c.answer);
    auto m = Drain(e, w);
    EXPECT_EQ(m.size(), c.messages);
    for (const WindowMessage& msg : m) EXPECT_TRUE(e.FreePic(msg.picture, w));
    EXPECT_EQ(e.Stats().makes, c.made_first ? 1 : 0);
    EXPECT_EQ(e.CheckInvariants(), "");
  }
}

TEST_F(RenderTest, ThreadCountIsBounded) {
  RenderEngine& e = Engine();
  const std::pair<int32_t, int32_t> cases[] = {{-1, 0}, {3, 3}, {40, kRenderThreadsMax}, {0, 0}};
  for (auto [asked, got] : cases) {
    EXPECT_EQ(e.SetThreads(asked), got) << asked;
    EXPECT_EQ(e.Threads(), got);
  }
}

TEST(InputUsageSlices, CutFromTheStart) {
  struct Case {
    float length;
    std::vector<float> slices;
  };
  const Case cases[] = {
      {2.0f, {1, 1}},        {2.5f, {1, .75f, .75f}}, {3.7f, {1, 1, .85f, .85f}},
      {0.5f, {0.5f}},        {1.0f, {1}},             {0.0f, {}},
  };
  for (const Case& c : cases) {
    auto got = InputUsageSlices(c.length);
    ASSERT_EQ(got.size(), c.slices.size()) << c.length;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.slices[i], 1e-5f);
  }
}

TEST(MemoryProxy, HalfOfWhatIsLeftCappedByTheGroup) {
  constexpr uint64_t kMiB = 1ull << 20;
  EXPECT_EQ(DefaultMemoryProxy(1040 * kMiB, std::nullopt), 512 * kMiB);
  EXPECT_EQ(DefaultMemoryProxy(1040 * kMiB, 272 * kMiB), 128 * kMiB);
  EXPECT_EQ(DefaultMemoryProxy(1040 * kMiB, 4096 * kMiB), 512 * kMiB);
  EXPECT_EQ(DefaultMemoryProxy(8 * kMiB, std::nullopt), 0u);
}

}  // namespace
}  // namespace lumetra::render::testing
