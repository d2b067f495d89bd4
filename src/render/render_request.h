// The engine's internal records: requests, reference nodes and the engine state. Every
// field is guarded by the render lock unless said otherwise.
#pragma once

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "model/render_lock.h"
#include "render/render_engine.h"

namespace lumetra::render {

enum RequestFlag : uint32_t {
  kRqPending = 0x001,
  kRqRunning = 0x004,
  kRqDone = 0x008,
  kRqCorrected = 0x020,
  kRqAborting = 0x040,
  kRqFailed = 0x080,
  kRqPassThrough = 0x100,
  kRqOtherTime = 0x200,
};

// A user of a request's picture: a request (window 0) or a window (user none). On a window
// node the count is the pictures handed and not given back; on a request node it is 1
// while the user wants the input plus the pictures handed to its make call.
struct BackRef {
  RenderRequest* user = nullptr;
  WindowId window = 0;
  int32_t count = 0;
};

struct RequestKey {
  const project::Track* track;
  uint32_t time_bits;
  int32_t width, height;
  uint32_t aspect_bits;
  bool operator==(const RequestKey&) const = default;
};
struct RequestKeyHash {
  std::size_t operator()(const RequestKey& k) const;
};

struct RenderRequest {
  RenderEngine::Impl* engine = nullptr;
  project::Track* track = nullptr;  // none once detached
  int32_t track_number = 0;         // kept for messages after a detach
  float time = 0.0f;
  int32_t width = 0, height = 0;
  float aspect = 0.0f;
  uint32_t flags = 0;
  int32_t thread = 0;
  int32_t depth = 0;
  project::Clip* clip_copy = nullptr;  // owned while set
  PIC* picture = nullptr;              // owned
  intptr_t user_word = 0;
  std::string error;  // text reported by the running make
  bool waited = false;  // the running make asked for an input that is not there yet
  std::vector<BackRef> users;
  std::vector<RenderRequest*> inputs;  // each has a node for this request in its users
  bool indexed = false;                // in the key index
  bool queued = false;                 // in the ready queue
  bool cached = false;                 // in the eviction list
  bool deferred = false;               // waits in the engine's collection list
  std::list<RenderRequest*>::iterator cache_pos;
  std::size_t track_pos = 0;  // place in its track's list
};

// Input times one input of a clip was read at from one slice of the clip's span, and the
// offsets from the request's time they were read at. Empty: lo above hi.
struct InputUsageSpan {
  InputUsageSpan();
  float lo, hi;
  float offset_min, offset_max;
};
struct UsageSlice {
  float from = 0, to = 0;
  std::vector<InputUsageSpan> spans;  // one per input
};
// A clip's records; the span and input count tell a record of a freed clip at the same address.
struct ClipUsage {
  float start = 0, end = 0;
  std::size_t inputs = 0;
  std::vector<UsageSlice> slices;
};

// Track time runs within +-7200 s.
inline constexpr float kRenderTimeBound = 7200.0f;

// Drops the edit-session windows of an engine that ends.
void ForgetEditWindows(RenderEngine::Impl* engine);

// The track whose picture shows through where `track` has none.
project::Track* ShowThrough(const project::Track* track);

// A render thread. `idle` is guarded by the engine's wake mutex.
struct RenderWorker {
  std::thread thread;
  int32_t id = 0;
  std::atomic<bool> quit{false};
  bool idle = false;
};

struct RenderEngine::Impl {
  explicit Impl(uint64_t budget) : memory_budget(budget) {}

  // --- graph (render_request.cpp, render_graph.cpp) ---
  struct SetResult {
    int32_t result = kRenderRefused;
    RenderRequest* request = nullptr;
  };
  SetResult SetRequest(project::Track* track, float time, int32_t width, int32_t height,
                       float aspect, RenderRequest* user, WindowId window);
  int32_t Resolve(RenderRequest* rq, WindowId window);
  RenderRequest* NewRequest();
  void Release(RenderRequest* rq);
  // Frees the clip copy; it is linked nowhere, so no project walk is needed.
  static void FreeCopy(RenderRequest* rq);
  bool Abort(RenderRequest* rq, const std::string* text);
  void Fail(RenderRequest* rq, const std::string& text);
  void Deliver(RenderRequest* rq);
  void Collect(RenderRequest* rq);
  void InputsFree(RenderRequest* rq);
  void Unlink(RenderRequest* input, RenderRequest* user);
  void Detach(RenderRequest* rq);
  bool Ready(const RenderRequest* rq) const;
  bool WaitsOnInput(const RenderRequest* rq) const;
  void PushReady(RenderRequest* rq);
  void WakeUsers(RenderRequest* rq);
  BackRef* FindRef(RenderRequest* rq, RenderRequest* user, WindowId window);
  bool IsAncestor(const RenderRequest* candidate, const RenderRequest* of) const;
  PIC* Picture(const RenderRequest* rq) const;  // own or through the pass-through chain
  RenderRequest* Source(RenderRequest* rq) const;
  int64_t Outstanding(const RenderRequest* rq, int32_t depth = 0) const;
  bool FreePicLocked(const PIC* picture, WindowId window);
  std::string NoClipText(const RenderRequest* rq) const;

  // --- input usage (input_usage.cpp) ---
  ClipUsage* UsageOf(const project::Clip* clip);
  void RecordUsage(const RenderRequest* rq, int32_t input, float time);
  void ResetUsage(const project::Track* track, float from, float to);
  // The hull of the stretch of `t` in [a, b[ whose pictures depend on `changed` in [c, d[.
  // Set walk_budget before each outer call: it bounds the steps of one walk. Past it the
  // answer comes from StaticallyDepends (memo in static_depends, cleared per change).
  std::optional<std::pair<float, float>> DependentSpan(const project::Track* t, float a, float b,
                                                       const project::Track* changed, float c,
                                                       float d, int32_t depth = 0);
  bool StaticallyDepends(const project::Track* t, const project::Track* changed);

  // --- cache (render_cache.cpp) ---
  void StorePicture(RenderRequest* rq, PIC* picture);
  void DropPicture(RenderRequest* rq);
  void Touch(RenderRequest* rq);
  void Evict();

  // --- windows (render_engine.cpp) ---
  bool WindowOpen(WindowId window) const;
  // False when the window is closed: the message is dropped and nothing was handed.
  bool Post(WindowId window, WindowMessage message);

  // --- threads (render_threads.cpp) ---
  bool RunOne(int32_t thread_id);
  RenderRequest* Pick();
  void WakeOne();

  // Requests whose users or inputs changed; collected when the outermost operation ends, so
  // no record is released while a caller up the stack still uses it.
  void Defer(RenderRequest* rq);
  void Sweep();
  int32_t op_depth = 0;
  std::vector<RenderRequest*> deferred;

  // state
  uint64_t memory_budget;
  std::unordered_map<RequestKey, RenderRequest*, RequestKeyHash> index;
  std::unordered_map<const project::Track*, std::vector<RenderRequest*>> by_track;
  std::unordered_map<const PIC*, RenderRequest*> pic_owner;
  std::unordered_set<RenderRequest*> live;
  std::vector<std::unique_ptr<RenderRequest>> records;
  std::vector<RenderRequest*> free_records;
  std::deque<RenderRequest*> ready;
  std::list<RenderRequest*> cache_lru;  // evictable pictures, least recently served first
  int32_t cached_count = 0;
  uint64_t cached_bytes = 0;
  std::atomic<int32_t> running{0};  // makes under way; written under the render lock
  int64_t makes = 0;
  std::atomic<int64_t> lock_hold_max_ns{0};
  std::unordered_map<const project::Clip*, ClipUsage> usage;
  int32_t walk_budget = 0;
  std::unordered_map<const project::Track*, bool> static_depends;
  // progress: counted while a progress window is set
  WindowId progress_window = 0;
  int32_t progress_made = 0;
  int32_t progress_set = 0;

  // windows: guarded by mail_mutex (posted under the render lock, read without it)
  mutable std::mutex mail_mutex;
  std::condition_variable mail_cv;
  std::unordered_map<WindowId, std::deque<WindowMessage>> mailboxes;
  std::atomic<WindowId> next_window{1};

  // threads: the work event is wake_signaled under wake_mutex
  std::mutex wake_mutex;
  std::condition_variable wake_cv;
  bool wake_signaled = false;
  mutable std::mutex threads_mutex;  // serialises SetThreads
  std::vector<std::unique_ptr<RenderWorker>> workers;
  std::atomic<int32_t> thread_count{0};
  std::atomic<int32_t> next_thread_id{1};
};

// One engine operation: holds the render lock and collects deferred requests at the end.
class Operation {
 public:
  explicit Operation(RenderEngine::Impl& engine) : engine_(engine), lock_(project::RenderLock()) {
    ++engine_.op_depth;
  }
  ~Operation() {
    if (--engine_.op_depth == 0) engine_.Sweep();
  }
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

 private:
  RenderEngine::Impl& engine_;
  project::RenderLockGuard lock_;
};

inline WindowMessage MakeMessage(WindowMessageKind kind, PIC* picture, int32_t track, float time,
                                 std::string text = {}, float from = 0, float to = 0) {
  WindowMessage m;
  m.kind = kind;
  m.picture = picture;
  m.track = track;
  m.time = time;
  m.from = from;
  m.to = to;
  m.text = std::move(text);
  return m;
}

inline RequestKey KeyOf(const project::Track* track, float time, int32_t w, int32_t h,
                        float aspect) {
  uint32_t tb, ab;
  static_assert(sizeof(float) == 4);
  std::memcpy(&tb, &time, 4);
  std::memcpy(&ab, &aspect, 4);
  return RequestKey{track, tb, w, h, ab};
}

}  // namespace lumetra::render
