// A named lock shared between instances: flock on a lock file, freed by the kernel when the
// holder dies.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace lumetra::platform {

class NamedLock {
 public:
  NamedLock(NamedLock&& other) noexcept;
  NamedLock& operator=(NamedLock&& other) noexcept;
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;
  ~NamedLock();

  // Locks `<directory>/<name>.lock` (created mode 0600). Waits for another holder when
  // `wait` is set; otherwise gives nothing while it is held. `error` receives the system's
  // text when the file cannot be opened or locked.
  static std::optional<NamedLock> Acquire(const std::string& directory, const std::string& name,
                                          bool wait, std::string* error = nullptr);

  // Like Acquire with waiting, but gives up after `limit` with ETIMEDOUT's text in `error`
  // (and errno ETIMEDOUT). `on_wait` runs once, when the lock is found held, so the caller
  // can tell the user why nothing happens.
  static std::optional<NamedLock> AcquireWithin(const std::string& directory,
                                                const std::string& name,
                                                std::chrono::milliseconds limit,
                                                const std::function<void(const std::string&)>& on_wait,
                                                std::string* error = nullptr);

  const std::string& Path() const { return path_; }

 private:
  NamedLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_ = -1;
  std::string path_;
};

}  // namespace lumetra::platform
