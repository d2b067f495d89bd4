// Whole-file reads that check the file type first and allocate no more than the file holds.
#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/error_text.h"

namespace lumetra::platform {
namespace {

FileResult Fail(int error) {
  return {error, SystemErrorText(error)};
}

FileResult Refuse(unsigned st_mode) {
  return {S_ISDIR(st_mode) ? EISDIR : EINVAL, NotRegularFileText(st_mode)};
}

// A descriptor of a regular file opened for reading, or the reason there is none. The type is
// checked before the open (a device is never opened) and again on the descriptor (the name
// may have changed in between); O_NONBLOCK keeps a FIFO from blocking the open.
struct OpenedFile {
  int fd = -1;
  struct stat st {};
  FileResult result;
  ~OpenedFile() {
    if (fd >= 0) ::close(fd);
  }
};

void OpenRegular(const std::string& path, OpenedFile& f) {
  if (path.empty()) {
    f.result = Fail(ENOENT);
    return;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    f.result = Fail(errno);
    return;
  }
  if (!S_ISREG(st.st_mode)) {
    f.result = Refuse(st.st_mode);
    return;
  }
  f.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (f.fd < 0) {
    f.result = Fail(errno);
    return;
  }
  if (::fstat(f.fd, &f.st) != 0) {
    f.result = Fail(errno);
    return;
  }
  if (!S_ISREG(f.st.st_mode)) {
    f.result = Refuse(f.st.st_mode);
    return;
  }
  const int flags = ::fcntl(f.fd, F_GETFL);
  if (flags >= 0) ::fcntl(f.fd, F_SETFL, flags & ~O_NONBLOCK);
}

template <typename Buffer>
FileResult ReadInto(const std::string& path, std::size_t max_bytes, Buffer& out) {
  out.clear();
  OpenedFile f;
  OpenRegular(path, f);
  if (!f.result.ok()) return f.result;
  const auto size = static_cast<uint64_t>(std::max<off_t>(f.st.st_size, 0));
  if (size > max_bytes) return Fail(EFBIG);
  out.resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  for (;;) {
    if (done == out.size()) {
      // The file may have grown since fstat: take what fits under the limit, a block at a time.
      if (out.size() >= max_bytes) break;
      out.resize(std::min<std::size_t>(max_bytes, out.size() + 65536));
    }
    const ssize_t n = ::read(f.fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      out.clear();
      return Fail(error);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  return {};
}

}  // namespace

FileResult CheckRegularFile(const std::string& path) {
  OpenedFile f;
  OpenRegular(path, f);
  return f.result;
}

FileResult ReadRegularFile(const std::string& path, std::size_t max_bytes,
                           std::vector<uint8_t>& out) {
  return ReadInto(path, max_bytes, out);
}

FileResult ReadRegularFile(const std::string& path, std::size_t max_bytes, std::string& out) {
  return ReadInto(path, max_bytes, out);
}

}  // namespace lumetra::platform
