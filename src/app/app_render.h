// The program's render engine: made when start-up applies the "RenderThreads" setting, its
// cache bounded by the picture memory budget, its threads changeable while the program runs.
#pragma once

#include <cstdint>

#include "render/render_engine.h"

namespace lumetra::app {

// The engine, made on first use with State().picture_memory_budget (the default budget when
// that is 0) and no threads.
render::RenderEngine& AppRenderEngine();
bool AppRenderEngineMade();
// Applies the setting: 1 to kRenderThreadsMax (other values are clamped); answers the count.
int32_t AppRenderSetThreads(int32_t count);
// Applies the picture memory budget to the engine when there is one.
void AppRenderSetMemory(uint64_t bytes);
// At exit, before projects go: joins the threads and releases every request.
void AppRenderStop();

}  // namespace lumetra::app
