// The render engine: requests for a track's picture at a time, size and aspect, the graph
// of their users and inputs, the picture cache, the render threads and window messages.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/model.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

struct RenderRequest;
struct RenderWorker;

// Windows are 64-bit ids handed out by the engine and never reused, so a late message or
// release for a closed window can never reach another one.
using WindowId = uint64_t;

enum RenderResult : int32_t {
  kRenderRefused = 0,    // nothing was set (unknown track or window, bad size, input loop)
  kRenderPending = 1,    // the picture will be posted
  kRenderFailed = 2,     // the error was posted to the users
  kRenderAvailable = 3,  // the picture was posted (or, for a request user, is there)
};

enum class WindowMessageKind : uint32_t {
  kPicture = 0x411,        // VV_RETPIC: the window holds one reference on `picture`
  kError = 0x410,          // render error with its text
  kDropped = 0x40A,        // a request the window used was invalidated: ask again
  kRegionChanged = 0x40D,  // pictures of `track` in [from, to[ changed
  kProgress = 0x474,       // `made` pictures made, `set` requests set since progress began
};

struct WindowMessage {
  WindowMessageKind kind = WindowMessageKind::kPicture;
  PIC* picture = nullptr;
  int32_t track = 0;  // the track's number
  float time = 0.0f;
  float from = 0.0f, to = 0.0f;
  std::string text;
  int32_t made = 0, set = 0;
};

// The "RenderThreads" setting's range; the engine itself also accepts 0 (no threads).
inline constexpr int32_t kRenderThreadsMin = 1;
inline constexpr int32_t kRenderThreadsMax = 32;
inline constexpr const char* kRenderThreadsKey = "RenderThreads";
// Chains of inputs (times, SuperClips, "*Previous") deeper than this fail.
inline constexpr int32_t kRenderMaxDepth = 64;

// (physical memory - 16 MiB) / 2, physical memory capped by the control group's limit.
uint64_t DefaultMemoryProxy(uint64_t physical, std::optional<uint64_t> cgroup_limit);
uint64_t DefaultMemoryProxy();

// Slices of a clip's span for its input-usage records: 1 s while more than 2 s remain, then
// half of the rest when 1 to 2 s remain, then the rest.
std::vector<float> InputUsageSlices(float length);

struct RenderStats {
  int32_t live_requests = 0;
  int32_t cached_pictures = 0;
  uint64_t cached_bytes = 0;
  int64_t makes = 0;
  int64_t lock_hold_max_ns = 0;  // longest render-lock hold of a worker step
};

class RenderEngine {
 public:
  explicit RenderEngine(uint64_t memory_budget = DefaultMemoryProxy());
  ~RenderEngine();  // stops the threads, then aborts every request
  RenderEngine(const RenderEngine&) = delete;
  RenderEngine& operator=(const RenderEngine&) = delete;

  WindowId OpenWindow();
  // Releases the pictures still queued to the window and its references.
  void CloseWindow(WindowId window);
  // The window's next message, if any; with `wait`, blocks until one comes or nothing can
  // come (0 threads: runs ready requests on the calling thread meanwhile).
  std::optional<WindowMessage> TakeMessage(WindowId window, bool wait);

  int32_t SetRequest(project::Track* track, float time, int32_t width, int32_t height,
                     float aspect, WindowId window);
  // The window gives back one reference on a picture it was posted. False when unknown.
  bool FreePic(const PIC* picture, WindowId window);
  int32_t Cancel(project::Track* track, float time, WindowId window);
  // Before a track is freed: aborts and detaches its requests.
  void TapeAbort(project::Track* track);
  void Invalidate(project::Track* track, float from, float to);
  // A picture of an existing request with exactly these values; no reference is taken.
  const PIC* GetPic(project::Track* track, float time, int32_t width, int32_t height);

  // Threads: 0 to kRenderThreadsMax; removed threads are joined. Call without the render
  // lock and never from a make function. Answers the count afterwards.
  int32_t SetThreads(int32_t count);
  int32_t Threads() const;
  // Runs one ready request on the calling thread; false when none is ready.
  bool RunOnce();
  // RunOnce until nothing is ready; answers how many ran.
  int32_t RunUntilIdle();
  void Wake();

  // The window of a clip's edit session: GetInputFrame from the session's context sets its
  // requests for that window at the project's preview size (0: the session ended).
  void SetEditWindow(const project::Clip* clip, WindowId window);

  // The window that hears of progress (0: none); the counters start again from 0.
  void SetProgressWindow(WindowId window);

  void SetMemoryBudget(uint64_t bytes);
  RenderStats Stats() const;
  // Empty when the graph is consistent, else the first fault found.
  std::string CheckInvariants() const;
  // True when no request is ready, running or waiting on an input that can still come.
  bool Quiescent() const;

  // Internal: used by the engine's own files.
  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// Host services for make functions (render context, kind 1).
PIC* GetInputFrame(HostCallContext* ctx, int32_t input, float time);
int32_t FreeInputFrame(HostCallContext* ctx, PIC* picture);
// Sets (text) or clears (null) the error of a make call; 1 when the context was usable.
int32_t RenderClipReportError(HostCallContext* ctx, const char* text);
// 1 when the context's request was aborted, corrected or detached (its error is cleared).
int32_t RenderCheckAbort(HostCallContext* ctx);
intptr_t RequestGetUserWord(HostCallContext* ctx);
int32_t RequestSetUserWord(HostCallContext* ctx, intptr_t word);

}  // namespace lumetra::render
