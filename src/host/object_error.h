// Error texts reported on a host call context (word 3 holds a host-owned copy).
#pragma once

#include <string_view>

#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

// Replaces the context's error text with a copy of text (a null context is ignored).
void ObjectReportError(HostCallContext* ctx, std::string_view text);
// The current error text, empty when there is none.
std::string_view ObjectErrorText(const HostCallContext* ctx);
// Frees the error text; the host calls this after each library call.
void ObjectClearError(HostCallContext* ctx);

}  // namespace lumetra::project
