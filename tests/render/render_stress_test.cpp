// Seeded random projects rendered by several clients while the interface thread edits,
// invalidates, deletes tracks and changes the thread count.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "model/superclip.h"
#include "render/render_client.h"
#include "render/render_fixture.h"

namespace lumetra::render::testing {
namespace {

using project::Track;
using Clock = std::chrono::steady_clock;

constexpr int32_t kClients = 3;
constexpr int32_t kRequestsPerClient = 60;
constexpr float kTimes[] = {0.0f, 0.04f, 0.5f, 0.96f, 1.5f, 2.0f};

class RenderStress : public RenderTest, public ::testing::WithParamInterface<int32_t> {
 protected:
  // Tracks clients may ask for; changed only under the render lock.
  std::vector<Track*> tracks_;
  std::atomic<int32_t> generation_{1};
  std::vector<int32_t> track_generation_ = std::vector<int32_t>(256, 0);

  void Build(std::mt19937& rng) {
    project::RenderLockGuard lock(project::RenderLock());
    int32_t n = 5;
    for (int32_t i = 0; i < n; ++i) tracks_.push_back(AddTrack());
    // A SuperClip on the second track with two tracks of its own.
    project::Clip* super = project::ClipCreate(nullptr, project::SuperClipProcess(), 1.0f, 2.5f,
                                               tracks_[1]);
    if (super != nullptr) {
      for (int32_t i = 0; i < 2; ++i) tracks_.push_back(AddTrack(super));
    }
    for (Track* t : tracks_) {
      float at = 0.0f;
      while (at < 2.5f) {
        float len = 0.3f + static_cast<float>(rng() % 100) / 100.0f;
        if (rng() % 4 == 0) {  // a gap
          at += len;
          continue;
        }
        int32_t inputs = static_cast<int32_t>(rng() % 4);
        project::Clip* c = project::ClipCreate(nullptr, &effects_[inputs], at, at + len, t);
        at += len;
        if (c == nullptr) continue;
        StampData* d = Data(c);
        d->seed = t->number;
        d->reads = inputs;
        d->mode = rng() % 12 == 0 ? kStampFail : kStampNormal;
        for (int32_t i = 0; i < inputs; ++i) {
          d->offset_ms[i] = rng() % 3 == 0 ? static_cast<int32_t>(rng() % 3) * 40 : 0;
          if (i > 0 || rng() % 2 == 0) {
            // Any track: loops are refused by the model or fail in the engine.
            project::ClipSetInput(c, static_cast<uint32_t>(i), tracks_[rng() % tracks_.size()]);
          }
        }
      }
    }
  }

  // Bumps the generation of a track's clips and invalidates it.
  void Edit(RenderEngine& e, Track* t) {
    project::RenderLockGuard lock(project::RenderLock());
    int32_t g = generation_.fetch_add(1) + 1;
    for (project::Clip* c = t->first_clip; c != nullptr; c = c->next) {
      if (c->data != nullptr && !project::IsSuperClipProcess(c->process)) Data(c)->generation = g;
    }
    track_generation_[static_cast<std::size_t>(t->number)] = g;
    e.Invalidate(t, 0.0f, project::kTimeLineEnd);
  }
};

struct ClientReport {
  int32_t pictures = 0, errors = 0, cancelled = 0;
  std::string fault;
};

void RunClient(RenderStress* test, RenderEngine& e, uint32_t seed, ClientReport& report,
               std::vector<Track*>& tracks, std::vector<int32_t>& generations) {
  std::mt19937 rng(seed);
  WindowId w = e.OpenWindow();
  auto deadline = Clock::now() + std::chrono::seconds(120);
  for (int32_t i = 0; i < kRequestsPerClient && report.fault.empty(); ++i) {
    float time = kTimes[rng() % std::size(kTimes)];
    Track* track = nullptr;
    int32_t number = 0;
    int32_t result = 0;
    std::vector<int32_t> seen;
    {
      project::RenderLockGuard lock(project::RenderLock());
      if (tracks.empty()) break;
      track = tracks[rng() % tracks.size()];
      number = track->number;
      seen = generations;
      result = e.SetRequest(track, time, kW, kH, kAspect, w);
    }
    if (result == kRenderRefused) {
      report.fault = "request refused";
      break;
    }
    if (rng() % 5 == 0) {
      project::RenderLockGuard lock(project::RenderLock());
      if (std::find(tracks.begin(), tracks.end(), track) != tracks.end() &&
          e.Cancel(track, time, w) == 1) {
        ++report.cancelled;
        continue;
      }
    }
    // Exactly one picture or error answers the request; "dropped" means ask again.
    for (;;) {
      if (Clock::now() > deadline) {
        report.fault = "no answer before the deadline";
        break;
      }
      auto m = e.TakeMessage(w, true);
      if (!m) {
        report.fault = "nothing pending, yet no answer (set " + std::to_string(result) + ") " +
                       e.CheckInvariants();
        break;
      }
      bool mine = m->time == time && m->track == number;
      if (m->kind == WindowMessageKind::kPicture) {
        Stamp s = ReadStamp(m->picture);
        if (mine && s.generation < seen[static_cast<std::size_t>(s.track)]) {
          report.fault = "stale picture after an invalidate";
        }
        e.FreePic(m->picture, w);
        if (mine) {
          ++report.pictures;
          break;
        }
      } else if (m->kind == WindowMessageKind::kError && mine) {
        ++report.errors;
        break;
      } else if (m->kind == WindowMessageKind::kDropped && mine) {
        project::RenderLockGuard lock(project::RenderLock());
        if (std::find(tracks.begin(), tracks.end(), track) == tracks.end()) break;
        seen = generations;
        if (e.SetRequest(track, time, kW, kH, kAspect, w) == kRenderRefused) break;
      }
    }
  }
  e.CloseWindow(w);
  (void)test;
}

TEST_P(RenderStress, ClientsAlwaysGetOneAnswer) {
  const int32_t threads = GetParam();
  for (uint32_t seed : {1u, 2u}) {
    SCOPED_TRACE(seed);
    TearDown();
    SetUp();
    tracks_.clear();
    std::fill(track_generation_.begin(), track_generation_.end(), 0);
    std::mt19937 rng(seed * 7919u + static_cast<uint32_t>(threads));
    Build(rng);
    int32_t pics_before = PicCount();
    RenderEngine& e = Engine(kW * kH * 4 * 24);
    e.SetThreads(threads);
    std::vector<ClientReport> reports(kClients);
    std::vector<std::thread> clients;
    std::atomic<int32_t> finished{0};
    for (int32_t c = 0; c < kClients; ++c) {
      clients.emplace_back([&, c] {
        RunClient(this, e, seed * 100 + static_cast<uint32_t>(c), reports[c], tracks_,
                  track_generation_);
        finished.fetch_add(1);
      });
    }
    int32_t deleted = 0;
    std::string fault;
    while (finished.load() < kClients && fault.empty()) {
      switch (rng() % 8) {
        case 0:
        case 1:
        case 2: {
          Track* t;
          {
            project::RenderLockGuard lock(project::RenderLock());
            t = tracks_[rng() % tracks_.size()];
          }
          Edit(e, t);
          break;
        }
        case 3:
          e.SetThreads(rng() % 2 == 0 ? 0 : threads);
          break;
        case 4:
          e.SetThreads(threads);
          break;
        case 5:
          if (deleted < 2) {
            project::RenderLockGuard lock(project::RenderLock());
            if (tracks_.size() > 3) {
              Track* t = tracks_.back();
              tracks_.pop_back();
              e.TapeAbort(t);
              project::TrackFree(t);
              ++deleted;
            }
          }
          break;
        default:
          std::this_thread::yield();
      }
      fault = e.CheckInvariants();
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(fault, "");
    for (const ClientReport& r : reports) {
      EXPECT_EQ(r.fault, "");
      EXPECT_GT(r.pictures + r.errors + r.cancelled, 0);
    }
    e.SetThreads(threads);
    auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!e.Quiescent() && Clock::now() < deadline) std::this_thread::yield();
    EXPECT_TRUE(e.Quiescent());
    EXPECT_EQ(e.CheckInvariants(), "");
    RenderStats s = e.Stats();
    EXPECT_LE(s.cached_bytes, uint64_t{kW * kH * 4 * 24});  // nothing is held any more
    {
      project::RenderLockGuard lock(project::RenderLock());
      for (Track* t : tracks_) e.TapeAbort(t);
    }
    EXPECT_EQ(e.Stats().live_requests, 0);
    EXPECT_EQ(PicCount(), pics_before);
    EXPECT_EQ(e.SetThreads(0), 0);
    EXPECT_EQ(e.Threads(), 0);
  }
}

// Blocking clients on their own threads while edits and thread changes go on; afterwards
// every picture matches one made on the calling thread by a fresh engine.
TEST_P(RenderStress, BlockingClientsMatchTheCallingThread) {
  const int32_t threads = GetParam();
  std::mt19937 rng(4242u + static_cast<uint32_t>(threads));
  Build(rng);
  const int32_t pics_before = PicCount();
  RenderEngine& e = Engine(kW * kH * 4 * 24);
  e.SetThreads(threads);
  std::vector<std::string> faults(kClients);
  std::atomic<int32_t> finished{0};
  std::vector<std::thread> clients;
  for (int32_t c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      std::mt19937 r(77u + static_cast<uint32_t>(c));
      for (int32_t i = 0; i < 30 && faults[c].empty(); ++i) {
        Track* t;
        std::vector<int32_t> seen;
        {
          project::RenderLockGuard lock(project::RenderLock());
          t = tracks_[r() % tracks_.size()];
          seen = track_generation_;
        }
        RenderClientResult got =
            RenderTrackPicture(e, t, kTimes[r() % std::size(kTimes)], kW, kH, kAspect);
        if (got.ok()) {
          Stamp st = ReadStamp(got.picture.get());
          if (st.generation < seen[static_cast<std::size_t>(st.track)]) faults[c] = "stale picture";
        } else if (got.error.empty()) {
          faults[c] = "neither picture nor error";
        }
      }
      finished.fetch_add(1);
    });
  }
  std::string fault;
  while (finished.load() < kClients && fault.empty()) {
    switch (rng() % 6) {
      case 0:
      case 1: {
        Track* t;
        {
          project::RenderLockGuard lock(project::RenderLock());
          t = tracks_[rng() % tracks_.size()];
        }
        Edit(e, t);
        break;
      }
      case 2:
        e.SetThreads(0);
        break;
      case 3:
        e.SetThreads(threads);
        break;
      default:
        std::this_thread::yield();
    }
    fault = e.CheckInvariants();
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(fault, "");
  for (const std::string& f : faults) EXPECT_EQ(f, "");
  e.SetThreads(threads);
  for (Track* t : tracks_) {
    for (float time : kTimes) {
      RenderClientResult threaded = RenderTrackPicture(e, t, time, kW, kH, kAspect);
      RenderEngine fresh;
      RenderClientResult calling = RenderTrackPicture(fresh, t, time, kW, kH, kAspect);
      ASSERT_EQ(threaded.ok(), calling.ok()) << threaded.error << " / " << calling.error;
      if (threaded.ok()) {
        EXPECT_EQ(0, std::memcmp(threaded.picture->pixels, calling.picture->pixels, kW * kH * 4));
      }
    }
  }
  EXPECT_EQ(e.CheckInvariants(), "");
  {
    project::RenderLockGuard lock(project::RenderLock());
    for (Track* t : tracks_) e.TapeAbort(t);
  }
  EXPECT_EQ(e.Stats().live_requests, 0);
  EXPECT_EQ(PicCount(), pics_before);
  EXPECT_EQ(e.SetThreads(0), 0);
}

INSTANTIATE_TEST_SUITE_P(Threads, RenderStress, ::testing::Values(1, 2, 8, 32));

}  // namespace
}  // namespace lumetra::render::testing
