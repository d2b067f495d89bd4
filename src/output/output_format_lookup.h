// Finding a registered output format by its extension or its name. Kept on its own so that
// the format registry's lookup can take its place.
#pragma once

#include <string_view>

#include "host/plugin_registry.h"

namespace lumetra::output {

// The first (newest) output format whose extension matches without regard to case; a
// leading "." is ignored. Null when none does.
const project::OutputFormat* FindOutputFormat(std::string_view extension);
// The first output format of that name (case-blind); null when none.
const project::OutputFormat* FindOutputFormatByName(std::string_view name);

}  // namespace lumetra::output
