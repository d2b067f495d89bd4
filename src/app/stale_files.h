// Leftovers of writers that died mid-write: temporary files beside their targets and the
// temporary directory's probe files.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace lumetra::app {

// A leftover is removed once it is older than this: none of these writes (a settings file,
// a probe) lasts that long, so a file that old has no live writer.
inline constexpr std::chrono::seconds kStaleAfter{10};

// Removes from `dir` the regular files named "<target>.XXXXXX" (six letters or digits, as
// mkstemp makes them) or "<target>.tmp" for each of `targets`, and "lumetra_probe_<n>.tmp",
// when last written more than `grace` before `now`. Returns the names removed.
std::vector<std::string> RemoveStaleTemporaries(const std::filesystem::path& dir,
                                                const std::vector<std::string>& targets,
                                                std::chrono::seconds grace,
                                                std::filesystem::file_time_type now =
                                                    std::filesystem::file_time_type::clock::now());

}  // namespace lumetra::app
