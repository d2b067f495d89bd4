// What the file commands need from the project model and the project file reader and writer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "projectfile/project_file.h"

namespace lumetra::app {

enum class LoadStatus {
  kLoaded,    // the record's status is 1
  kFailed,    // a record came back with another status
  kNoRecord,  // no record at all (memory)
};
struct LoadResult {
  LoadStatus status = LoadStatus::kFailed;
  std::string error;  // what went wrong, shown under the path
};

enum class SaveStatus {
  kSaved,
  kCannotCreate,  // the file (or its temporary) could not be created
  kWriteFailed,   // writing failed; the old file is untouched
};
struct SaveResult {
  SaveStatus status = SaveStatus::kWriteFailed;
  std::string error;  // the system's error text
};

class ProjectStore {
 public:
  virtual ~ProjectStore() = default;
  // The initial empty project with one track and the pseudo tracks; false when out of memory.
  virtual bool CreateInitialProject() = 0;
  // New: a record with the default and "New Project" settings, kept aside until committed
  // (the dialog edits it) or discarded.
  virtual bool BeginNewProject() = 0;
  // Stores the dialog's values as the "New Project" defaults, gives the record one track,
  // makes it current and frees the old project.
  virtual void CommitNewProject() = 0;
  virtual void DiscardNewProject() = 0;
  // Reads a project file with the load mask; on kLoaded the project is current and named.
  virtual LoadResult Load(const std::string& path, uint32_t mask) = 0;
  // Reads a file with project::kLoadMaskMerge into a temporary project and merges it into the
  // current one; the current project is unchanged on failure.
  virtual LoadResult Merge(const std::string& path) = 0;
  // Writes the current project (save mask 0) through a temporary file renamed over `path`.
  virtual SaveResult Save(const std::string& path) = 0;
  // The file's version number; -1 when it has no version chunk or cannot be read.
  virtual int ReadFileVersion(const std::string& path) = 0;
  // Drops the render presets that came with the previous project.
  virtual void RemoveProjectPresets() = 0;
  // Records the undo step that ends an editing command (undo_wiring.cpp).
  virtual void RecordUndoStep(std::string_view description);
};

// Until the project file format lands: new projects work, files cannot be read or written.
class UnavailableProjectStore final : public ProjectStore {
 public:
  bool CreateInitialProject() override { return true; }
  bool BeginNewProject() override { return true; }
  void CommitNewProject() override {}
  void DiscardNewProject() override {}
  LoadResult Load(const std::string& path, uint32_t mask) override;
  LoadResult Merge(const std::string& path) override;
  SaveResult Save(const std::string& path) override;
  int ReadFileVersion(const std::string&) override { return -1; }
  void RemoveProjectPresets() override {}
};

ProjectStore& Store();
std::unique_ptr<ProjectStore> SetStore(std::unique_ptr<ProjectStore> store);

}  // namespace lumetra::app
