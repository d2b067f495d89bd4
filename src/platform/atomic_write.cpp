// Atomic file replacement: unique temporary beside the target, fsync, rename; links written
// through; non-regular targets refused; mode and owner kept.
#include "platform/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <limits>
#include <random>
#include <vector>

#include "platform/error_text.h"
#include "platform/file_read.h"

namespace lumetra::platform {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit for one path
constexpr int kTempAttempts = 100;

FileResult Fail(int error) {
  return {error, SystemErrorText(error)};
}

FileResult Refuse(unsigned st_mode) {
  return {S_ISDIR(st_mode) ? EISDIR : EINVAL, NotRegularFileText(st_mode)};
}

std::string Directory(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string out;
  for (std::size_t i = 0; i < kAtomicTempSuffixLength; ++i) out.push_back(kLetters[pick(generator)]);
  return out;
}

std::string TempNameFor(const std::string& final_path) {
  return final_path + std::string(kAtomicTempMarker) + RandomSuffix();
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Makes the rename itself durable; a folder that cannot be synced is no reason to fail.
void SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The final target's lstat: exists, or missing (ENOENT), or an error.
FileResult StatTarget(const std::string& final_path, struct stat& st, bool& exists) {
  exists = ::lstat(final_path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return Fail(errno);
  if (exists && !S_ISREG(st.st_mode)) return Refuse(st.st_mode);
  return {};
}

}  // namespace

std::string NotRegularFileText(unsigned st_mode) {
  if (S_ISREG(st_mode)) return {};
  if (S_ISDIR(st_mode)) return SystemErrorText(EISDIR);
  if (S_ISFIFO(st_mode)) return "Is a named pipe (FIFO), not a regular file";
  if (S_ISCHR(st_mode) || S_ISBLK(st_mode)) return "Is a device, not a regular file";
  if (S_ISSOCK(st_mode)) return "Is a socket, not a regular file";
  return "Is not a regular file";
}

FileResult ResolveLinks(const std::string& path, std::string& final_path) {
  if (path.empty()) return Fail(ENOENT);
  std::string current = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno != ENOENT) return Fail(errno);
      final_path = current;  // missing: a dangling link is written through to its target
      return {};
    }
    if (!S_ISLNK(st.st_mode)) {
      final_path = current;
      return {};
    }
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) return Fail(errno);
    std::string target(buf.data(), static_cast<std::size_t>(n));
    if (target.empty()) return Fail(ENOENT);
    current = target.front() == '/' ? target : Directory(current) + "/" + target;
  }
  return Fail(ELOOP);
}

FileResult CheckWriteTarget(const std::string& path, bool* exists) {
  if (exists != nullptr) *exists = false;
  std::string final_path;
  if (FileResult r = ResolveLinks(path, final_path); !r.ok()) return r;
  struct stat st {};
  bool found = false;
  if (FileResult r = StatTarget(final_path, st, found); !r.ok()) return r;
  if (exists != nullptr) *exists = found;
  return {};
}

AtomicFile::~AtomicFile() {
  Discard();
}

FileResult AtomicFile::Open(const std::string& path, const AtomicWriteOptions& options) {
  Discard();
  const auto not_created = [](FileResult r) {
    r.create_failed = true;
    return r;
  };
  std::string final_path;
  if (FileResult r = ResolveLinks(path, final_path); !r.ok()) return not_created(r);
  struct stat st {};
  bool exists = false;
  if (FileResult r = StatTarget(final_path, st, exists); !r.ok()) return not_created(r);

  // O_EXCL with O_CREAT never follows a link planted at the name; O_NOFOLLOW says so twice.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < kTempAttempts && fd < 0; ++attempt) {
    temp = TempNameFor(final_path);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                exists ? 0600 : options.new_file_mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return not_created(Fail(errno));
  if (exists) {
    // Owner first: a change of owner clears the set-id bits that the mode then restores.
    // Only root may give a file away; others keep their own owner (and, failing that, group).
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
      const bool owned = ::fchown(fd, st.st_uid, st.st_gid) == 0 ||
                         ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) == 0;
      static_cast<void>(owned);
    }
    if (::fchmod(fd, st.st_mode & 07777) != 0) {
      const int error = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return Fail(error);
    }
  }
  fd_ = fd;
  temp_ = std::move(temp);
  final_ = std::move(final_path);
  return {};
}

FileResult AtomicFile::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) return Fail(EBADF);
  if (!WriteAll(fd_, bytes)) return Fail(errno != 0 ? errno : EIO);
  return {};
}

FileResult AtomicFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
  if (fd_ < 0) return Fail(EBADF);
  if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return Fail(EINVAL);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n == 0 ? EIO : errno);
    done += static_cast<std::size_t>(n);
  }
  return {};
}

FileResult AtomicFile::Commit() {
  if (fd_ < 0) return Fail(EBADF);
  int error = 0;
  if (::fsync(fd_) != 0) error = errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error == 0 && ::rename(temp_.c_str(), final_.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp_.c_str());
    temp_.clear();
    return Fail(error);
  }
  temp_.clear();
  SyncDirectory(Directory(final_));
  return {};
}

void AtomicFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

FileResult AtomicWriteFile(const std::string& path, std::span<const uint8_t> bytes,
                           const AtomicWriteOptions& options) {
  AtomicFile file;
  if (FileResult r = file.Open(path, options); !r.ok()) return r;
  if (FileResult r = file.Write(bytes); !r.ok()) return r;  // the temporary goes with `file`
  return file.Commit();
}

FileResult AtomicWriteFile(const std::string& path, std::string_view text,
                           const AtomicWriteOptions& options) {
  return AtomicWriteFile(
      path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
      options);
}

FileResult KeepBackup(const std::string& target, const std::string& backup) {
  std::string target_final, backup_final;
  if (FileResult r = ResolveLinks(target, target_final); !r.ok()) return r;
  struct stat tst {};
  bool target_exists = false;
  if (FileResult r = StatTarget(target_final, tst, target_exists); !r.ok()) return r;
  if (!target_exists) return {};
  if (FileResult r = ResolveLinks(backup, backup_final); !r.ok()) return r;
  struct stat bst {};
  bool backup_exists = false;
  if (FileResult r = StatTarget(backup_final, bst, backup_exists); !r.ok()) return r;
  if (target_final == backup_final ||
      (backup_exists && bst.st_dev == tst.st_dev && bst.st_ino == tst.st_ino))
    return {};

  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    const std::string temp = TempNameFor(backup_final);
    if (::link(target_final.c_str(), temp.c_str()) == 0) {
      if (::rename(temp.c_str(), backup_final.c_str()) == 0) return {};
      const int error = errno;
      ::unlink(temp.c_str());
      return Fail(error);
    }
    if (errno == EEXIST) continue;
    if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP &&
        errno != ENOSYS)
      return Fail(errno);
    // No hard link here (another file system, or none supported): copy.
    std::vector<uint8_t> bytes;
    if (FileResult r = ReadRegularFile(target_final, SIZE_MAX, bytes); !r.ok()) return r;
    return AtomicWriteFile(backup_final, bytes, {static_cast<unsigned>(tst.st_mode & 0777)});
  }
  return Fail(EEXIST);
}

bool ProbeWritableDirectory(const std::string& dir) {
  if (dir.empty()) return false;
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    const std::string probe = TempNameFor(dir + "/lumetra_probe");
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const bool written = WriteAll(fd, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("x"), 1));
    ::close(fd);
    ::unlink(probe.c_str());
    return written;
  }
  return false;
}

bool IsAtomicTempName(std::string_view file_name) {
  const std::size_t tail = kAtomicTempMarker.size() + kAtomicTempSuffixLength;
  if (file_name.size() <= tail) return false;
  const std::string_view end = file_name.substr(file_name.size() - tail);
  if (!end.starts_with(kAtomicTempMarker)) return false;
  for (const char c : end.substr(kAtomicTempMarker.size())) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) return false;
  }
  return true;
}

}  // namespace lumetra::platform
