// stat/unlink/rename/open wrappers returning the errno value instead of setting it.
#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace lumetra::platform {

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

int RemoveFile(const std::string& path) {
  return unlink(path.c_str()) == 0 ? 0 : errno;
}

int RenameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int CheckReadable(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st {};
  int result = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? EISDIR : 0;
  close(fd);
  return result;
}

}  // namespace lumetra::platform
