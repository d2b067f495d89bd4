#include "safe_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>
#include <system_error>

namespace formats {
namespace fs = std::filesystem;
namespace {

std::string UniqueSuffix() {
  static std::atomic<uint64_t> counter{0};
  thread_local std::mt19937_64 random(std::random_device{}() ^
                                      static_cast<uint64_t>(
                                          std::chrono::steady_clock::now().time_since_epoch()
                                              .count()));
  char text[48];
  std::snprintf(text, sizeof text, ".%016llx%04llx.tmp",
                static_cast<unsigned long long>(random()),
                static_cast<unsigned long long>(counter++ & 0xffff));
  return text;
}

}  // namespace

Status CheckRegularFile(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) return Status::Error(PIC_ERROR_FILE_OPEN, "no file " + path);
  if (!fs::is_regular_file(status)) {
    return Status::Error(PIC_ERROR_FILE_OPEN, path + " is not a regular file");
  }
  return Status::Ok();
}

Status ReadRegularFile(const std::string& path, std::uintmax_t max_bytes,
                       std::vector<uint8_t>* bytes) {
  if (Status s = CheckRegularFile(path); !s.ok()) return s;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return Status::Error(PIC_ERROR_FILE_OPEN, "cannot open " + path);
  // The size is taken from the open file, so that a file swapped in meanwhile is measured.
  Status result;
  if (std::fseek(f, 0, SEEK_END) != 0) {
    result = Status::Error(PIC_ERROR_FILE_READ, "cannot seek in " + path);
  } else {
    const long size = std::ftell(f);
    if (size < 0 || static_cast<std::uintmax_t>(size) > max_bytes) {
      result = Status::Error(PIC_ERROR_FILE_READ, path + " is too large");
    } else {
      bytes->resize(static_cast<size_t>(size));
      std::rewind(f);
      if (size > 0 && std::fread(bytes->data(), 1, bytes->size(), f) != bytes->size()) {
        result = Status::Error(PIC_ERROR_FILE_READ, "cannot read " + path);
      }
    }
  }
  std::fclose(f);
  return result;
}

AtomicOutput::~AtomicOutput() { Abort(); }

Status AtomicOutput::Open(const std::string& target) {
  Abort();
  std::error_code ec;
  fs::path real = target;
  // Links are written through: the file they name is the one replaced.
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(real, ec)); ++hops) {
    const fs::path link = fs::read_symlink(real, ec);
    if (ec) return Status::Error(PIC_ERROR_FILE_CREATE, "cannot follow " + target);
    real = link.is_absolute() ? link : real.parent_path() / link;
  }
  const fs::file_status status = fs::symlink_status(real, ec);
  keep_mode_ = false;
  if (fs::exists(status)) {
    if (!fs::is_regular_file(status)) {
      return Status::Error(PIC_ERROR_FILE_CREATE, target + " is not a regular file");
    }
    keep_mode_ = true;
    mode_ = status.permissions();
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string name = real.string() + UniqueSuffix();
    // "x": created exclusively, never an existing file or link.
    std::FILE* f = std::fopen(name.c_str(), "wbx");
    if (f != nullptr) {
      file_ = f;
      temporary_ = std::move(name);
      target_ = real;
      return Status::Ok();
    }
    if (errno != EEXIST) break;
  }
  return Status::Error(PIC_ERROR_FILE_CREATE, "cannot create a file beside " + target);
}

Status AtomicOutput::Commit() {
  if (file_ == nullptr) return Status::Error(PIC_ERROR_FILE_WRITE, "no file open");
  const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    Abort();
    return Status::Error(PIC_ERROR_FILE_WRITE, "cannot write " + target_.string());
  }
  std::error_code ec;
  if (keep_mode_) fs::permissions(temporary_, mode_, ec);
  // The target may have been replaced by something else meanwhile.
  const fs::file_status now = fs::symlink_status(target_, ec);
  if (fs::exists(now) && !fs::is_regular_file(now)) {
    Abort();
    return Status::Error(PIC_ERROR_FILE_CREATE, target_.string() + " is not a regular file");
  }
  fs::rename(temporary_, target_, ec);
  if (ec) {
    Abort();
    return Status::Error(PIC_ERROR_FILE_WRITE, "cannot rename to " + target_.string());
  }
  temporary_.clear();
  return Status::Ok();
}

void AtomicOutput::Abort() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) {
    std::error_code ec;
    fs::remove(temporary_, ec);
    temporary_.clear();
  }
}

}  // namespace formats
