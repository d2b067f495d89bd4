// Machine facts: processors, physical memory, free disk space.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumetra::platform {

// Processors available to the process; at least 1.
int ProcessorCount();
// Total physical memory in bytes; 0 when unknown.
uint64_t PhysicalMemory();
// Bytes free for an unprivileged user on the file system holding `path`.
std::optional<uint64_t> FreeDiskSpace(const std::string& path);

}  // namespace lumetra::platform
