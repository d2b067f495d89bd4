// Whether render settings may be used: the first problem's text, or empty.
#pragma once

#include <string>

#include "output/output_frames.h"
#include "output/output_settings.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::output {

// `ctx` is the session's context (kind 64, word 11 = the settings); the formats' check
// functions report their errors on it.
std::string ValidateOutputSettings(OutputSettings& s, FrameRange range, HostCallContext* ctx);

// The session context for these settings.
HostCallContext OutputContext(OutputSettings* s);
// The text a format reported on the context; empty when none.
std::string ContextErrorText(HostCallContext* ctx);

}  // namespace lumetra::output
