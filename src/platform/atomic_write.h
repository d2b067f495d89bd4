// The one way Lumetra writes a file: a unique temporary file beside the target, synced and
// renamed over it. Links are written through, anything but a regular file is refused, the
// target's mode and owner are kept. docs/files.md describes the rules for every writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lumetra::platform {

// The outcome of a file operation: the errno value (0 on success) and the text the user
// reads (the system's text, or why the path was refused).
struct FileResult {
  int error = 0;
  std::string message;
  bool create_failed = false;  // writes: failed before anything was created (no folder, refused)
  bool ok() const { return error == 0; }
};

// Why a file of this st_mode type cannot be read or replaced: empty for a regular file.
// "Is a directory" for a directory; devices, FIFOs and sockets are named.
std::string NotRegularFileText(unsigned st_mode);

// The file a path finally names: symbolic links followed (relative ones against their own
// folder), at most 40 of them. The path itself when it is no link.
FileResult ResolveLinks(const std::string& path, std::string& final_path);

// Whether `path` may be written: missing (then it will be created), or a regular file
// reached through any links. `exists` tells which.
FileResult CheckWriteTarget(const std::string& path, bool* exists = nullptr);

struct AtomicWriteOptions {
  unsigned new_file_mode = 0666;  // for a new file, before the umask; a target keeps its own
};

// Replaces the contents of `path` (through links) with `bytes`. On failure the target is
// untouched and no temporary file is left.
FileResult AtomicWriteFile(const std::string& path, std::span<const uint8_t> bytes,
                           const AtomicWriteOptions& options = {});
FileResult AtomicWriteFile(const std::string& path, std::string_view text,
                           const AtomicWriteOptions& options = {});

// A file written in pieces (headers patched at the end) under the same rules: the bytes go
// to a unique temporary beside the target, which Commit syncs and renames over it. Until
// then the target is untouched; a file never committed leaves nothing behind.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();  // discards an uncommitted temporary
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Checks the target and creates the temporary; create_failed tells a refusal.
  FileResult Open(const std::string& path, const AtomicWriteOptions& options = {});
  bool IsOpen() const { return fd_ >= 0; }
  // Appends at the current end.
  FileResult Write(std::span<const uint8_t> bytes);
  // Overwrites bytes already written, without moving the end.
  FileResult WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
  // Syncs, closes and renames over the target; on failure the temporary is removed.
  FileResult Commit();
  void Discard();

 private:
  int fd_ = -1;
  std::string temp_;
  std::string final_;
};

// Keeps the current contents of `target` under `backup` (itself replaced atomically) while
// `target` stays in place: a hard link, else a copy. Nothing to do when the target is
// missing or both names reach the same file.
FileResult KeepBackup(const std::string& target, const std::string& backup);

// True when a file can be created in `dir` and removed again: a probe file of a unique
// name, made without following links, removed at once.
bool ProbeWritableDirectory(const std::string& dir);

// The temporary files of AtomicWriteFile are "<target name>.tmp-" and six letters or digits.
inline constexpr std::string_view kAtomicTempMarker = ".tmp-";
inline constexpr std::size_t kAtomicTempSuffixLength = 6;
// True for a file name AtomicWriteFile may have left behind (a killed process).
bool IsAtomicTempName(std::string_view file_name);

}  // namespace lumetra::platform
