// Where the program lives and where its per-user temporary files go.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumetra::platform {

// The running program's own path (/proc/self/exe); empty when it cannot be read.
std::string ProgramPath();

struct ProgramLocation {
  std::string home;  // directory, always ending in "/"
  std::string name;  // file name without its extension
};
// Splits a program path into its directory and its name without extension.
ProgramLocation SplitProgramPath(std::string_view path);

// The environment that chooses the per-user temporary directory, gathered for testing.
struct TempEnvironment {
  std::string xdg_runtime_dir;  // $XDG_RUNTIME_DIR, empty when unset
  std::string tmpdir;           // $TMPDIR, empty when unset ("/tmp" then)
  unsigned uid = 0;
};
TempEnvironment CurrentTempEnvironment();

// The per-user temporary directory name (no trailing "/"): $XDG_RUNTIME_DIR/lumetra, else
// $TMPDIR/lumetra-<uid>, with /tmp when TMPDIR is unset.
std::string UserTempDirectoryName(const TempEnvironment& env);
// Creates (mode 0700) or checks that directory: it must be a real directory (no symlink)
// owned by the user and private to them. Nothing when it cannot be made safe.
std::optional<std::string> UserTempDirectory(const TempEnvironment& env);

// True when `path` is a directory the process may read, write and enter.
bool IsReadWriteDirectory(const std::string& path);
// Creates a directory with the given mode; true when it exists afterwards as a directory.
bool MakeDirectory(const std::string& path, unsigned mode = 0755);

}  // namespace lumetra::platform
