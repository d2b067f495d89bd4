// The project file fuzz fixture: the reader with both load masks, the peek calls, and the
// load, save and reload of the live model.
#include "project_harness.h"

#include <vector>

#include "model/project.h"
#include "projectfile/project_file.h"
#include "projectfile/project_file_io.h"
#include "projectfile/project_file_processes.h"
#include "projectfile/project_reader.h"

namespace lumetra::fuzz {
namespace {

bool KnownStatus(int status) {
  switch (status) {
    case project::kLoadOk:
    case project::kLoadSettingsFailed:
    case project::kLoadReadError:
    case project::kLoadBadProcess:
    case project::kLoadNoMemory:
    case project::kLoadBadChunk:
      return true;
    default:
      return false;
  }
}

// A load replaces the file session's values and registers the file's unknown processes:
// each input starts from, and leaves, the state it found.
class SessionGuard {
 public:
  SessionGuard() : saved_(project::FileSession()) {}
  ~SessionGuard() {
    project::VirtualProcessesClear();
    project::FileSession() = saved_;
  }
  SessionGuard(const SessionGuard&) = delete;
  SessionGuard& operator=(const SessionGuard&) = delete;

 private:
  project::ProjectFileSession saved_;
};

}  // namespace

std::string ProjectFuzzOne(const uint8_t* data, std::size_t size) {
  SessionGuard guard;
  project::ByteSpan bytes(data, size);
  for (uint32_t mask : {uint32_t{project::kLoadMaskLoad}, uint32_t{project::kLoadMaskMerge}}) {
    project::ReadOptions options;
    options.mask = mask;
    project::FileProject doc = project::ReadProjectBytes(bytes, options);
    if (!KnownStatus(doc.status)) return "reader status " + std::to_string(doc.status);
    if ((doc.status == project::kLoadOk) != doc.error.empty())
      return "reader status " + std::to_string(doc.status) + " with reason '" + doc.error + "'";
  }
  (void)project::PeekVersion(bytes);
  (void)project::PeekUndoLabel(bytes);
  (void)project::PeekSnapshotPath(bytes);
  (void)project::PeekDescription(bytes);

  std::string reason;
  project::ProjectPtr loaded(project::ProjectLoadBytes(bytes, project::kLoadMaskLoad, &reason));
  if (!loaded) return "load returned no record";
  if (!KnownStatus(loaded->status)) return "load status " + std::to_string(loaded->status);
  if (loaded->status != project::kLoadOk)
    return reason.empty() ? "a failed load without a reason" : "";

  std::vector<uint8_t> saved = project::ProjectSaveBytes(loaded.get());
  if (saved.empty()) return "a loaded project did not save";
  project::ProjectPtr again(project::ProjectLoadBytes(saved, project::kLoadMaskLoad));
  if (!again || again->status != project::kLoadOk)
    return "the save of a loaded project does not load (status " +
           std::to_string(again ? again->status : 0) + ")";
  if (project::ProjectSaveBytes(again.get()) != saved)
    return "a reloaded project saves to other bytes";
  return "";
}

}  // namespace lumetra::fuzz
