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
// The memory limit of the process's control group in bytes; none when no limit is set.
std::optional<uint64_t> CgroupMemoryLimit();
// The limit as a cgroup file states it ("max" or a decimal byte count); none for no limit
// or text that is not a count.
std::optional<uint64_t> ParseCgroupMemoryLimit(const std::string& text);
// Bytes free for an unprivileged user on the file system holding `path`.
std::optional<uint64_t> FreeDiskSpace(const std::string& path);

}  // namespace lumetra::platform
