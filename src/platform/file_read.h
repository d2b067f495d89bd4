// Reading whole files safely: the type is checked before anything can block, and nothing
// larger than the file itself (and the caller's limit) is ever allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/atomic_write.h"

namespace lumetra::platform {

// Opens without blocking (a FIFO never hangs) and checks that `path` is a regular file the
// process may read.
FileResult CheckRegularFile(const std::string& path);

// The whole file, when it is a regular file of at most max_bytes (else EFBIG, "File too
// large"). A file that grows while being read is cut at max_bytes.
FileResult ReadRegularFile(const std::string& path, std::size_t max_bytes,
                           std::vector<uint8_t>& out);
FileResult ReadRegularFile(const std::string& path, std::size_t max_bytes, std::string& out);

}  // namespace lumetra::platform
