// posix_spawnp with an argument vector: a path is never parsed by a shell.
#include "platform/launcher.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/error_text.h"

extern char** environ;

namespace lumetra::platform {

int RunProgram(const std::string& program, const std::vector<std::string>& args,
               std::string* error) {
  std::vector<char*> argv;
  std::string argv0 = program;
  std::vector<std::string> copies = args;
  argv.push_back(argv0.data());
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    if (error != nullptr) *error = SystemErrorText(rc);
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      if (error != nullptr) *error = SystemErrorText(errno);
      return -1;
    }
  }
  if (!WIFEXITED(status)) {
    if (error != nullptr) *error = "program ended abnormally";
    return -1;
  }
  // posix_spawnp reports a missing program through the child's status 127.
  if (WEXITSTATUS(status) == 127 && error != nullptr) *error = SystemErrorText(ENOENT);
  return WEXITSTATUS(status);
}

bool OpenWithViewer(const std::string& path, std::string* error, const std::string& launcher) {
  int status = RunProgram(launcher, {path}, error);
  if (status == 0) return true;
  if (status > 0 && error != nullptr && status != 127)
    *error = launcher + " exited with status " + std::to_string(status);
  return false;
}

}  // namespace lumetra::platform
