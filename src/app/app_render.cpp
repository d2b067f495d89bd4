// The program's one render engine and the settings applied to it.
#include "app/app_render.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "app/app_state.h"
#include "app/settings.h"

namespace lumetra::app {

namespace {
std::mutex g_mutex;  // guards g_engine's making and ending, never held across a render
std::unique_ptr<render::RenderEngine> g_engine;
}  // namespace

render::RenderEngine& AppRenderEngine() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_engine) {
    uint64_t budget = State().picture_memory_budget;
    g_engine = std::make_unique<render::RenderEngine>(budget != 0 ? budget
                                                                  : render::DefaultMemoryProxy());
  }
  return *g_engine;
}

bool AppRenderEngineMade() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_engine != nullptr;
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
    std::lock_guard<std::mutex> lock(g_mutex);
    engine = std::move(g_engine);
  }
  engine.reset();  // joins the threads first
}

}  // namespace lumetra::app
