// Snapshot files on disk: written whole through the atomic-write helper, listed
// and removed by prefix.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lumetra::undo {

enum class SnapshotWriteStatus {
  kOk,
  kCannotCreate,  // the file could not be created; `error` holds the system's error number
  kWriteFailed,   // writing or renaming failed; nothing was put in place
};
struct SnapshotWriteResult {
  SnapshotWriteStatus status = SnapshotWriteStatus::kOk;
  int error = 0;
};

// Writes through platform::AtomicWriteFile (a unique "<path>.tmp-XXXXXX" renamed over
// `path`), so the scan never meets a half-written snapshot under a snapshot's name.
SnapshotWriteResult WriteSnapshotFile(const std::string& path, std::span<const uint8_t> bytes);

// The whole file; false when it cannot be opened or read.
bool ReadSnapshotFile(const std::string& path, std::vector<uint8_t>& out);

struct DirectoryEntry {
  std::string name;      // file name without the directory
  int64_t modified = 0;  // modification time, nanoseconds since 1970 (UTC)
};
// The regular files of a directory; empty when it cannot be read.
std::vector<DirectoryEntry> ListFiles(const std::string& directory);

// True when any snapshot of exactly this prefix ("<prefix>????.sav") is in the directory.
bool AnySnapshotOf(const std::string& directory, const std::string& prefix);
// Removes every snapshot of the prefix, and any left half-written.
void RemoveSnapshotsOf(const std::string& directory, const std::string& prefix);

}  // namespace lumetra::undo
