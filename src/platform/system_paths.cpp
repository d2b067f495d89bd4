// Program path from /proc/self/exe and the private per-user temporary directory.
#include "platform/system_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/error_text.h"

namespace lumetra::platform {

std::string ProgramPath() {
  std::vector<char> buffer(4096);
  for (int attempt = 0; attempt < 4; ++attempt) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

ProgramLocation SplitProgramPath(std::string_view path) {
  ProgramLocation loc;
  std::size_t slash = path.rfind('/');
  std::string_view file = path;
  if (slash == std::string_view::npos) {
    loc.home = "./";
  } else {
    loc.home.assign(path.substr(0, slash + 1));
    file = path.substr(slash + 1);
  }
  std::size_t dot = file.rfind('.');
  loc.name.assign(dot == std::string_view::npos || dot == 0 ? file : file.substr(0, dot));
  return loc;
}

TempEnvironment CurrentTempEnvironment() {
  TempEnvironment env;
  if (const char* x = std::getenv("XDG_RUNTIME_DIR")) env.xdg_runtime_dir = x;
  if (const char* t = std::getenv("TMPDIR")) env.tmpdir = t;
  env.uid = static_cast<unsigned>(getuid());
  return env;
}

namespace {
std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}
}  // namespace

std::string UserTempDirectoryName(const TempEnvironment& env) {
  return UserTempCandidates(env).front();
}

std::vector<std::string> UserTempCandidates(const TempEnvironment& env) {
  std::vector<std::string> out;
  auto add = [&](std::string dir) {
    for (const std::string& known : out)
      if (known == dir) return;
    out.push_back(std::move(dir));
  };
  if (!env.xdg_runtime_dir.empty() && env.xdg_runtime_dir[0] == '/')
    add(WithoutTrailingSlash(env.xdg_runtime_dir) + "/lumetra");
  const std::string user = "/lumetra-" + std::to_string(env.uid);
  if (!env.tmpdir.empty() && env.tmpdir[0] == '/') {
    std::string base = WithoutTrailingSlash(env.tmpdir);
    if (base == "/") base.clear();
    add(base + user);
  }
  add("/tmp" + user);
  return out;
}

std::string CheckUserTempDirectory(const std::string& dir, unsigned uid) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return SystemErrorText(errno);
  struct stat st {};
  // lstat: a symlink planted by another user must not redirect our snapshots.
  if (lstat(dir.c_str(), &st) != 0) return SystemErrorText(errno);
  if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
  if (!S_ISDIR(st.st_mode)) return "it is not a directory";
  if (st.st_uid != uid) return "it belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  if ((st.st_mode & 0777) != 0700 && chmod(dir.c_str(), 0700) != 0)
    return "its mode cannot be set to 0700: " + SystemErrorText(errno);
  if (access(dir.c_str(), R_OK | W_OK | X_OK) != 0)
    return "it cannot be read and written: " + SystemErrorText(errno);
  return {};
}

std::optional<std::string> UserTempDirectory(const TempEnvironment& env,
                                             std::vector<std::string>* refusals) {
  for (const std::string& dir : UserTempCandidates(env)) {
    std::string why = CheckUserTempDirectory(dir, env.uid);
    if (why.empty()) return dir;
    if (refusals != nullptr)
      refusals->push_back("Temporary directory '" + dir + "' refused: " + why);
  }
  return std::nullopt;
}

bool IsReadWriteDirectory(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return access(path.c_str(), R_OK | W_OK | X_OK) == 0;
}

bool MakeDirectory(const std::string& path, unsigned mode) {
  if (mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace lumetra::platform
