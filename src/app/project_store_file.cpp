// The project store over project files. A load or merge works on a record of its own and
// touches the current project only once that record loaded with status 1.
#include "app/project_store_file.h"

#include "model/project.h"
#include "model/track.h"
#include "projectfile/project_file_io.h"
#include "projectfile/project_reader.h"

namespace lumetra::app {
namespace {

using project::Project;

class FileProjectStore final : public ProjectStore {
 public:
  ~FileProjectStore() override { project::ProjectFree(pending_); }

  bool CreateInitialProject() override {
    Project* p = project::ProjectCreate();
    if (p == nullptr) return false;
    project::ProjectSetDefaults(p);
    project::TrackAppend(p, project::TrackCreate(p));
    project::ProjectMakeCurrent(p);
    return true;
  }

  bool BeginNewProject() override {
    project::ProjectFree(pending_);
    pending_ = project::ProjectCreate();
    if (pending_ == nullptr) return false;
    project::ProjectSetDefaults(pending_);
    return true;
  }

  void CommitNewProject() override {
    if (pending_ == nullptr) return;
    project::SetNewProjectDefaults(pending_->settings);
    project::TrackAppend(pending_, project::TrackCreate(pending_));
    project::ProjectMakeCurrent(pending_);
    pending_ = nullptr;
  }

  void DiscardNewProject() override {
    project::ProjectFree(pending_);
    pending_ = nullptr;
  }

  LoadResult Load(const std::string& path, uint32_t mask) override {
    LoadResult result;
    Project* p = Read(path, mask, result);
    if (p == nullptr) return result;
    project::ProjectMakeCurrent(p);
    result.status = LoadStatus::kLoaded;
    return result;
  }

  LoadResult Merge(const std::string& path) override {
    LoadResult result;
    Project* current = project::CurrentProject();
    if (current == nullptr) return result;
    Project* p = Read(path, project::kLoadMaskMerge, result);
    if (p == nullptr) return result;
    project::ProjectMerge(current, p);
    result.status = LoadStatus::kLoaded;
    return result;
  }

  SaveResult Save(const std::string& path) override {
    SaveResult result;
    Project* p = project::CurrentProject();
    if (p == nullptr) return result;
    std::string error;
    if (project::ProjectSaveFile(p, path, {}, &error) == project::kSaveOk) {
      result.status = SaveStatus::kSaved;
    } else {
      result.status = SaveStatus::kWriteFailed;
      result.error = error;
    }
    return result;
  }

  int ReadFileVersion(const std::string& path) override {
    std::vector<uint8_t> bytes;
    if (!project::ReadWholeFile(path, bytes, nullptr)) return -1;
    return project::PeekVersion(bytes);
  }

  void RemoveProjectPresets() override { project::FileSession().render_preset.reset(); }

  // Undo steps go to the undo store through the base class (undo_wiring.cpp).

 private:
  // A loaded record with status 1, or null with result filled in (a failed record freed).
  static Project* Read(const std::string& path, uint32_t mask, LoadResult& result) {
    std::string error;
    Project* p = project::ProjectLoadFile(path, mask, &error);
    if (p == nullptr) {
      result.status = LoadStatus::kFailed;
      result.error = error;
      return nullptr;
    }
    if (p->status != project::kLoadOk) {
      project::ProjectFree(p);
      result.status = LoadStatus::kFailed;
      return nullptr;
    }
    return p;
  }

  Project* pending_ = nullptr;
};

}  // namespace

std::unique_ptr<ProjectStore> MakeFileProjectStore() {
  return std::make_unique<FileProjectStore>();
}

}  // namespace lumetra::app
