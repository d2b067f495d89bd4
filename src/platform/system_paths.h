// Where the program lives and where its per-user temporary files go.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// Every per-user temporary directory to try, in order: $XDG_RUNTIME_DIR/lumetra, then
// $TMPDIR/lumetra-<uid>, then /tmp/lumetra-<uid> (relative or unset variables are skipped,
// a name is listed once).
std::vector<std::string> UserTempCandidates(const TempEnvironment& env);
// Creates (mode 0700) or checks one directory: it must be a real directory (no symlink)
// owned by `uid` and private to them. Empty when usable, else why it was refused.
std::string CheckUserTempDirectory(const std::string& dir, unsigned uid);
// The first candidate that can be made safe. Each refused one adds a line
// "Temporary directory '<dir>' refused: <why>" to `refusals` when given.
std::optional<std::string> UserTempDirectory(const TempEnvironment& env,
                                             std::vector<std::string>* refusals = nullptr);

// True when `path` is a directory the process may read, write and enter.
bool IsReadWriteDirectory(const std::string& path);
// Creates a directory with the given mode; true when it exists afterwards as a directory.
bool MakeDirectory(const std::string& path, unsigned mode = 0755);

}  // namespace lumetra::platform
