// Snapshot file names, step arithmetic and the prefix sequence.
#include "undo/snapshot_name.h"

#include <cstdio>

#include "platform/atomic_write.h"

namespace lumetra::undo {
namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr std::string_view kExtension = ".sav";
constexpr std::string_view kTempExtension = ".sav.tmp";  // left by earlier versions

}  // namespace

int StepWrap(int64_t value) {
  int64_t r = value % kStepCount;
  return static_cast<int>(r < 0 ? r + kStepCount : r);
}

std::string SnapshotFileName(const std::string& directory, std::string_view prefix, int step) {
  char number[8];
  std::snprintf(number, sizeof number, "%.4d", StepWrap(step));
  std::string name = directory;
  name += '/';
  name += prefix;
  name += number;
  name += kExtension;
  return name;
}

std::optional<std::string> NextPrefix(std::string_view prefix) {
  if (prefix.size() != kPrefixLength) return std::nullopt;
  std::string next(prefix);
  if (next[3] < 'z') {
    ++next[3];
    return next;
  }
  next[3] = 'a';
  if (next[2] < 'z') {
    ++next[2];
    return next;
  }
  next[2] = 'a';
  ++next[1];
  if (next[1] > 'Z') return std::nullopt;
  return next;
}

std::optional<SnapshotNameParts> ParseSnapshotName(std::string_view name, std::string_view family) {
  if (name.size() != 12 || family.size() < 2) return std::nullopt;
  if (name[0] != family[0] || name[1] != family[1]) return std::nullopt;
  if (!IsLetter(name[2]) || !IsLetter(name[3])) return std::nullopt;
  int step = 0;
  for (int i = 4; i < 8; ++i) {
    if (!IsDigit(name[i])) return std::nullopt;
    step = step * 10 + (name[i] - '0');
  }
  if (name.substr(8) != kExtension) return std::nullopt;
  return SnapshotNameParts{std::string(name.substr(2, 2)), step};
}

bool IsOwnSnapshotName(std::string_view name, std::string_view prefix) {
  if (name.size() < prefix.size() + 4 || name.substr(0, prefix.size()) != prefix) return false;
  std::string_view rest = name.substr(prefix.size());
  for (int i = 0; i < 4; ++i)
    if (rest[i] == '/') return false;
  rest.remove_prefix(4);
  if (rest == kExtension || rest == kTempExtension) return true;
  return rest.starts_with(kExtension) && rest.substr(kExtension.size()).starts_with(platform::kAtomicTempMarker) &&
         platform::IsAtomicTempName(rest);
}

}  // namespace lumetra::undo
