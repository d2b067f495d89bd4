// Files as the formats touch them: reads of regular files of bounded size, and writes that
// go to a unique temporary beside the target and are renamed over it at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host.h"

namespace formats {

// Image files larger than this are refused before they are read.
inline constexpr std::uintmax_t kMaxImageFileBytes = 512u << 20;

// The whole file, when it is a regular file (links followed) of at most max_bytes.
Status ReadRegularFile(const std::string& path, std::uintmax_t max_bytes,
                       std::vector<uint8_t>* bytes);
// PIC_OK when path names a regular file.
Status CheckRegularFile(const std::string& path);

// A write in progress: Open creates the temporary exclusively (a planted file or link at
// its name is never opened), Commit renames it over the target keeping the target's mode,
// and anything else removes it. A target that exists and is not a regular file is refused;
// a link is written through (the temporary goes beside the file it names).
class AtomicOutput {
 public:
  AtomicOutput() = default;
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  Status Open(const std::string& target);
  std::FILE* file() const { return file_; }
  const std::string& temporary() const { return temporary_; }
  Status Commit();
  void Abort();

 private:
  std::FILE* file_ = nullptr;
  std::filesystem::path target_;
  std::string temporary_;
  bool keep_mode_ = false;
  std::filesystem::perms mode_ = std::filesystem::perms::none;
};

}  // namespace formats
