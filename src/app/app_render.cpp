// The program's one render engine and the settings applied to it.
#include "app/app_render.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "app/app_state.h"
#include "app/settings.h"
#include "model/render_lock.h"

namespace lumetra::app {

namespace {
struct EngineSlot {
  std::mutex mutex;  // guards the making and ending, never held across a render
  std::unique_ptr<render::RenderEngine> engine;
};
EngineSlot& Slot() {
  // The render lock is made first, so that it outlives an engine still there at exit.
  project::RenderLock();
  static EngineSlot slot;
  return slot;
}
}  // namespace

render::RenderEngine& AppRenderEngine() {
  EngineSlot& slot = Slot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  if (!slot.engine) {
    uint64_t budget = State().picture_memory_budget;
    slot.engine = std::make_unique<render::RenderEngine>(
        budget != 0 ? budget : render::DefaultMemoryProxy());
  }
  return *slot.engine;
}

bool AppRenderEngineMade() {
  EngineSlot& slot = Slot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  return slot.engine != nullptr;
}

int32_t AppRenderSetThreads(int32_t count) {
  return AppRenderEngine().SetThreads(std::clamp(count, 1, kRenderThreadsMax));
}

void AppRenderSetMemory(uint64_t bytes) {
  if (!AppRenderEngineMade() || bytes == 0) return;
  AppRenderEngine().SetMemoryBudget(bytes);
}

void AppRenderStop() {
  std::unique_ptr<render::RenderEngine> engine;
  {
    EngineSlot& slot = Slot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    engine = std::move(slot.engine);
  }
  engine.reset();  // joins the threads first
}

}  // namespace lumetra::app
