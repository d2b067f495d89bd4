// Snapshot file names: step numbers that wrap at 10000, instance prefixes, and the parts of a
// name the recovery scan accepts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumetra::undo {

inline constexpr int kStepCount = 10000;  // step numbers 0000 to 9999
inline constexpr const char* kFirstPrefix = "Orcr";
inline constexpr const char* kGiveUpPrefix = "aaaa";
inline constexpr std::size_t kPrefixLength = 4;

// The step number `value` stands for, in 0..9999 also for negative values (a step counter
// minus a depth).
int StepWrap(int64_t value);

// "<directory>/<prefix><step:%.4d>.sav".
std::string SnapshotFileName(const std::string& directory, std::string_view prefix, int step);

// The next prefix to try after `prefix` is taken: the fourth character steps through the
// letters to "z", then wraps to "a" and carries into the third, and the third into the second.
// Nothing when the second character passes "Z": the search gives up.
std::optional<std::string> NextPrefix(std::string_view prefix);

struct SnapshotNameParts {
  std::string series;  // third and fourth characters
  int step = 0;
};
// A file name (no directory) of a snapshot of the family named by the prefix's first two
// characters: exactly 12 characters, two letters, four digits, ".sav".
std::optional<SnapshotNameParts> ParseSnapshotName(std::string_view name, std::string_view family);
// True when the file name is a snapshot (or one being written) of exactly this prefix.
bool IsOwnSnapshotName(std::string_view name, std::string_view prefix);

}  // namespace lumetra::undo
