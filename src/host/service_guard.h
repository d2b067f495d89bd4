// The frame of every host service: nothing may escape across the plug-in boundary, so an
// exception inside becomes the context's error text and the service answers its fallback.
#pragma once

#include <new>
#include <utility>

#include "host/object_error.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

template <typename Result, typename Body>
Result ServiceGuard(HostCallContext* ctx, Result fallback, Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    ObjectReportError(ctx, "No memory");
  } catch (...) {
    ObjectReportError(ctx, "Internal error");
  }
  return fallback;
}

template <typename Result, typename Body>
Result ServiceGuard(HostCallContext* ctx, Body body) noexcept {
  return ServiceGuard<Result>(ctx, Result{}, std::move(body));
}

}  // namespace lumetra::project
