// Snapshot files: atomic writes, reads, listing and removal.
#include "undo/snapshot_files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/file_ops.h"
#include "projectfile/project_file_io.h"
#include "undo/snapshot_name.h"

namespace lumetra::undo {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

SnapshotWriteResult WriteSnapshotFile(const std::string& path, std::span<const uint8_t> bytes) {
  const std::string temp = SnapshotTempName(path);
  errno = 0;
  FilePtr f(std::fopen(temp.c_str(), "wb"));
  if (!f) return {SnapshotWriteStatus::kCannotCreate, errno != 0 ? errno : EACCES};
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  ok = std::fflush(f.get()) == 0 && ok;
  int err = errno != 0 ? errno : EIO;
  ok = std::fclose(f.release()) == 0 && ok;
  if (ok && bytes.empty()) {
    ok = false;
    err = EINVAL;
  }
  if (ok) {
    if (int rc = platform::RenameFile(temp, path); rc != 0) {
      ok = false;
      err = rc;
    }
  }
  if (!ok) {
    platform::RemoveFile(temp);
    return {SnapshotWriteStatus::kWriteFailed, err};
  }
  return {};
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
    if (!e2) entry.modified = static_cast<int64_t>(t.time_since_epoch().count());
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
