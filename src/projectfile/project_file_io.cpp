// Project files on disk: the whole file read before parsing; saves through a temporary
// file renamed over the old one.
#include "projectfile/project_file_io.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/error_text.h"
#include "platform/file_ops.h"

namespace lumetra::project {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A file larger than any root chunk can describe is not a project file.
constexpr size_t kMaxFileSize = size_t{UINT32_MAX} + 1;

void SetError(std::string* error, int err) {
  if (error != nullptr) *error = platform::SystemErrorText(err);
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string* error) {
  out.clear();
  errno = 0;
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    SetError(error, errno != 0 ? errno : ENOENT);
    return false;
  }
  uint8_t buf[1 << 16];
  for (;;) {
    size_t n = std::fread(buf, 1, sizeof buf, f.get());
    out.insert(out.end(), buf, buf + n);
    if (out.size() > kMaxFileSize) {
      SetError(error, EFBIG);
      return false;
    }
    if (n < sizeof buf) break;
  }
  if (std::ferror(f.get())) {
    SetError(error, EIO);
    return false;
  }
  return true;
}

Project* ProjectLoadFile(const std::string& path, uint32_t mask, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return nullptr;
  return ProjectLoadBytes(bytes, mask, error);
}

int ProjectSaveFile(Project* project, const std::string& path, const SaveOptions& options,
                    std::string* error) {
  std::vector<uint8_t> bytes = ProjectSaveBytes(project, options);
  if (bytes.empty()) {
    SetError(error, EFBIG);
    return kSaveWriteError;
  }
  const std::string temp = path + ".tmp";
  errno = 0;
  FilePtr f(std::fopen(temp.c_str(), "wb"));
  if (!f) {
    SetError(error, errno != 0 ? errno : EACCES);
    return kSaveWriteError;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  ok = std::fflush(f.get()) == 0 && ok;
  int err = errno != 0 ? errno : EIO;
  ok = std::fclose(f.release()) == 0 && ok;
  if (!ok) {
    platform::RemoveFile(temp);
    SetError(error, err);
    return kSaveWriteError;
  }
  if (int rc = platform::RenameFile(temp, path); rc != 0) {
    platform::RemoveFile(temp);
    SetError(error, rc);
    return kSaveWriteError;
  }
  return kSaveOk;
}

}  // namespace lumetra::project
