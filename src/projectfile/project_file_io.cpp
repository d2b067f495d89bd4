// Project files on disk: the whole file read before parsing (regular files only, never more
// than their size); saves through the atomic-write helper.
#include "projectfile/project_file_io.h"

#include <cerrno>

#include "platform/error_text.h"
#include "platform/atomic_write.h"
#include "platform/file_read.h"

namespace lumetra::project {

namespace {

// A file larger than any root chunk can describe is not a project file.
constexpr size_t kMaxFileSize = size_t{UINT32_MAX} + 1;

void SetError(std::string* error, int err) {
  if (error != nullptr) *error = platform::SystemErrorText(err);
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string* error) {
  platform::FileResult r = platform::ReadRegularFile(path, kMaxFileSize, out);
  if (!r.ok() && error != nullptr) *error = r.message;
  return r.ok();
}

Project* ProjectLoadFile(const std::string& path, uint32_t mask, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return nullptr;
  return ProjectLoadBytes(bytes, mask);
}

int ProjectSaveFile(Project* project, const std::string& path, const SaveOptions& options,
                    std::string* error) {
  std::vector<uint8_t> bytes = ProjectSaveBytes(project, options);
  if (bytes.empty()) {
    SetError(error, EFBIG);
    return kSaveWriteError;
  }
  if (platform::FileResult r = platform::AtomicWriteFile(path, bytes); !r.ok()) {
    if (error != nullptr) *error = r.message;
    return kSaveWriteError;
  }
  return kSaveOk;
}

}  // namespace lumetra::project
