// One fuzz input run through the project file reader and the model load; shared by the fuzz
// target and the corpus replay test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumetra::fuzz {

// Reads the bytes as a project file (records, then the live model) and, when they load,
// saves the model and reads the save back. Returns "" when the reader kept its contract
// (a known status; a failed load says why; what loads saves to a file that loads again and
// saves to the same bytes), else what went wrong.
std::string ProjectFuzzOne(const uint8_t* data, std::size_t size);

}  // namespace lumetra::fuzz
