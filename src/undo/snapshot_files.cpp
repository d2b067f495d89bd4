// Snapshot files: atomic writes, reads, listing and removal.
#include "undo/snapshot_files.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/atomic_write.h"
#include "platform/file_ops.h"
#include "projectfile/project_file_io.h"
#include "undo/snapshot_name.h"

namespace lumetra::undo {

SnapshotWriteResult WriteSnapshotFile(const std::string& path, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return {SnapshotWriteStatus::kWriteFailed, EINVAL};
  // Snapshots hold the user's work: private to the user like the folder they live in.
  platform::FileResult r = platform::AtomicWriteFile(path, bytes, {0600});
  if (r.ok()) return {};
  return {r.create_failed ? SnapshotWriteStatus::kCannotCreate : SnapshotWriteStatus::kWriteFailed,
          r.error};
}

bool ReadSnapshotFile(const std::string& path, std::vector<uint8_t>& out) {
  return project::ReadWholeFile(path, out, nullptr);
}

std::vector<DirectoryEntry> ListFiles(const std::string& directory) {
  namespace fs = std::filesystem;
  std::vector<DirectoryEntry> out;
  std::error_code ec;
  fs::directory_iterator it(directory, ec);
  if (ec) return out;
  for (const fs::directory_entry& e : it) {
    std::error_code e2;
    if (!e.is_regular_file(e2)) continue;
    DirectoryEntry entry;
    entry.name = e.path().filename().string();
    fs::file_time_type t = e.last_write_time(e2);
    if (!e2) {
      auto since = std::chrono::file_clock::to_sys(t).time_since_epoch();
      entry.modified = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
    }
    out.push_back(std::move(entry));
  }
  return out;
}

bool AnySnapshotOf(const std::string& directory, const std::string& prefix) {
  for (const DirectoryEntry& e : ListFiles(directory)) {
    std::string_view name = e.name;
    if (IsOwnSnapshotName(name, prefix) && name.ends_with(".sav")) return true;
  }
  return false;
}

void RemoveSnapshotsOf(const std::string& directory, const std::string& prefix) {
  for (const DirectoryEntry& e : ListFiles(directory)) {
    if (IsOwnSnapshotName(e.name, prefix)) platform::RemoveFile(directory + "/" + e.name);
  }
}

}  // namespace lumetra::undo
