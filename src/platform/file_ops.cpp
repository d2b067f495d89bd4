// stat/unlink/rename/open wrappers returning the errno value instead of setting it.
#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_read.h"

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
  return CheckRegularFile(path).error;
}

}  // namespace lumetra::platform
