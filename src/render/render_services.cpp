// Thin guarded wrappers of the render services as the host service table holds them: no
// exception crosses the plug-in boundary.
#include "render/render_services.h"

#include <mutex>
#include <new>
#include <type_traits>

#include "host/service_guard.h"
#include "host/host_services.h"
#include "host/object_error.h"
#include "render/render_engine.h"

namespace lumetra::render {

namespace {

bool RenderCall(const HostCallContext* ctx) {
  return ctx != nullptr && ctx->word[HCC_WORD_KIND] == HCC_KIND_RENDER &&
         ctx->word[HCC_WORD_RENDER_REQUEST] != 0;
}

PIC* SvcGetInputFrame(HostCallContext* ctx, int32_t input, float time) {
  return project::ServiceGuard<PIC*>(ctx, [&] { return GetInputFrame(ctx, input, time); });
}
int32_t SvcFreeInputFrame(HostCallContext* ctx, PIC* picture) {
  return project::ServiceGuard<int32_t>(ctx, [&] { return FreeInputFrame(ctx, picture); });
}
int32_t SvcClipReportError(HostCallContext* ctx, const char* text) {
  if (!RenderCall(ctx)) return project::ServiceClipReportError(ctx, text);
  return project::ServiceGuard<int32_t>(ctx, [&] { return RenderClipReportError(ctx, text); });
}
int32_t SvcCheckAbort(HostCallContext* ctx, float) {
  return project::ServiceGuard<int32_t>(ctx, [&] { return RenderCheckAbort(ctx); });
}
intptr_t SvcGetUserWord(HostCallContext* ctx) {
  return project::ServiceGuard<intptr_t>(ctx, [&] { return RequestGetUserWord(ctx); });
}
int32_t SvcSetUserWord(HostCallContext* ctx, intptr_t word) {
  return project::ServiceGuard<int32_t>(ctx, [&] { return RequestSetUserWord(ctx, word); });
}

template <typename Fn>
LumetraUnassignedFn Slot(Fn fn) {
  using Generic = void (*)();
  return reinterpret_cast<LumetraUnassignedFn>(reinterpret_cast<Generic>(fn));
}

// Slot numbers of the table, with the typed function each holds.
void InstallOnce() {
  // The casts are checked against the header's slot types.
  static_assert(std::is_same_v<decltype(&SvcGetInputFrame), GetInputFrameFn>);
  static_assert(std::is_same_v<decltype(&SvcClipReportError), ClipReportErrorFn>);
  static_assert(std::is_same_v<decltype(&SvcCheckAbort), CheckAbortFn>);
  static_assert(std::is_same_v<decltype(&SvcGetUserWord), RequestGetUserWordFn>);
  static_assert(std::is_same_v<decltype(&SvcSetUserWord), RequestSetUserWordFn>);
  static_assert(std::is_same_v<decltype(&SvcFreeInputFrame), FreeInputFrameFn>);
  project::HostServiceInstall(16, Slot(&SvcGetInputFrame));
  project::HostServiceInstall(20, Slot(&SvcClipReportError));
  project::HostServiceInstall(30, Slot(&SvcCheckAbort));
  project::HostServiceInstall(53, Slot(&SvcGetUserWord));
  project::HostServiceInstall(54, Slot(&SvcSetUserWord));
  project::HostServiceInstall(56, Slot(&SvcFreeInputFrame));
}

}  // namespace

void RenderInstallHostServices() {
  static std::once_flag once;
  std::call_once(once, InstallOnce);
}

}  // namespace lumetra::render
