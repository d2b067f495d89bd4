// One fuzz input run through ScriptRun in a confined fixture; shared by the fuzz target and
// the corpus replay test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumetra::fuzz {

// Runs the bytes as a script (cut at the first NUL, as ScriptRun reads text). Every "$" in
// the text stands for the address of a writable arena, the only memory the run may touch.
// Returns "" when the run kept its contract (result 0 or 1, "Script error" reported
// exactly when 0), else what went wrong.
std::string ScriptFuzzOne(const uint8_t* data, std::size_t size);

}  // namespace lumetra::fuzz
