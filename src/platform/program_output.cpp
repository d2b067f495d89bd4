// posix_spawnp with stdout on a pipe: the child's output is read to its end before waiting.
#include "platform/program_output.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/error_text.h"

extern char** environ;

namespace lumetra::platform {
namespace {

struct FileActions {
  posix_spawn_file_actions_t actions;
  FileActions() { posix_spawn_file_actions_init(&actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
};

bool IsExecutableFile(const std::string& path) {
  return access(path.c_str(), X_OK) == 0 && access(path.c_str(), F_OK) == 0;
}

}  // namespace

ProgramOutput RunProgramOutput(const std::string& program, const std::vector<std::string>& args) {
  ProgramOutput result;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    result.error = SystemErrorText(errno);
    return result;
  }
  FileActions fa;
  posix_spawn_file_actions_addopen(&fa.actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fa.actions, fds[1], 1);
  std::vector<std::string> copies = args;
  std::string argv0 = program;
  std::vector<char*> argv{argv0.data()};
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, program.c_str(), &fa.actions, nullptr, argv.data(), environ);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    result.error = SystemErrorText(rc);
    return result;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const std::size_t room = kProgramOutputLimit - result.out.size();
    result.out.append(buffer, std::min<std::size_t>(room, static_cast<std::size_t>(n)));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.error = SystemErrorText(errno);
      return result;
    }
  }
  if (!WIFEXITED(status)) {
    result.error = "program ended abnormally";
    return result;
  }
  result.status = WEXITSTATUS(status);
  if (result.status == 127 && FindProgram(program).empty()) result.error = SystemErrorText(ENOENT);
  return result;
}

std::string FindProgram(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return IsExecutableFile(program) ? program : "";
  const char* path = std::getenv("PATH");
  std::string list = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + program;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace lumetra::platform
