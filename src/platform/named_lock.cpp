// flock-based named lock; the lock file stays in place so every instance locks the same inode.
#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

#include "platform/error_text.h"

namespace lumetra::platform {

NamedLock::NamedLock(NamedLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

NamedLock& NamedLock::operator=(NamedLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

NamedLock::~NamedLock() {
  if (fd_ >= 0) close(fd_);  // closing the descriptor releases the flock
}

std::optional<NamedLock> NamedLock::Acquire(const std::string& directory, const std::string& name,
                                            bool wait, std::string* error) {
  std::string path = directory + "/" + name + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (error != nullptr) *error = SystemErrorText(errno);
    return std::nullopt;
  }
  int rc;
  do {
    rc = flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    if (error != nullptr) *error = SystemErrorText(errno);
    close(fd);
    return std::nullopt;
  }
  return NamedLock(fd, std::move(path));
}

std::optional<NamedLock> NamedLock::AcquireWithin(
    const std::string& directory, const std::string& name, std::chrono::milliseconds limit,
    const std::function<void(const std::string&)>& on_wait, std::string* error) {
  std::string path = directory + "/" + name + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    int e = errno;
    if (error != nullptr) *error = SystemErrorText(e);
    errno = e;
    return std::nullopt;
  }
  constexpr std::chrono::milliseconds kPoll{50};
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool told = false;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return NamedLock(fd, std::move(path));
    int e = errno;
    if (e == EINTR) continue;
    if (e != EWOULDBLOCK) {
      if (error != nullptr) *error = SystemErrorText(e);
      close(fd);
      errno = e;
      return std::nullopt;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    if (!told && on_wait) on_wait(path);
    told = true;
    std::this_thread::sleep_for(kPoll);
  }
  close(fd);
  if (error != nullptr) *error = SystemErrorText(ETIMEDOUT);
  errno = ETIMEDOUT;
  return std::nullopt;
}

}  // namespace lumetra::platform
